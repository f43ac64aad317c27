#pragma once

#include "service/BoardService.h"
#include "service/LocalServer.h"
#include "service/Rpc.h"
#include "support/LinkRig.h"
#include "support/TestWallClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// Serves the holder's event loop until done() holds or a generous deadline
// passes; waits on fd (when given) between turns, else a millisecond.
template <class Done> bool serveUntil(Done done, int fd = -1, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (true) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (done())
            return true;
        if (timer.elapsed() > timeoutMs)
            return false;
        pollfd entry{fd, POLLIN, 0};
        ::poll(&entry, fd >= 0 ? 1 : 0, 1);
    }
}

// Runs work on a thread of its own (a blocking client) while the holder's
// event loop is served here; the result once it is there.
template <class Work> auto besideHolder(Work work) -> decltype(work())
{
    auto result = std::async(std::launch::async, work);
    const bool finished =
        serveUntil([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    if (!finished)
        qFatal("a client thread did not finish"); // its future would block for ever
    return result.get();
}

// A client on a plain socket, as a script would be: it writes bytes, reads
// lines and sees the holder close the connection.
class RawClient
{
public:
    explicit RawClient(const QString &path)
    {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = path.toLocal8Bit();
        std::memcpy(address.sun_path, name.constData(), std::min(sizeof address.sun_path - 1, size_t(name.size())));
        connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    ~RawClient() { close(); }
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    // Writes everything, serving the holder while the socket is full.
    // False when the holder closed the connection.
    bool write(const QByteArray &bytes)
    {
        int sent = 0;
        while (sent < bytes.size()) {
            const ssize_t count = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (count > 0)
                sent += int(count);
            else if (errno == EAGAIN)
                serveUntil([] { return true; });
            else
                return false;
        }
        return true;
    }
    bool writeLine(const QByteArray &line) { return write(line + '\n'); }

    // Takes in what is there; false once the holder closed the connection.
    bool readAvailable()
    {
        char buffer[65536];
        while (true) {
            const ssize_t count = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (count > 0) {
                input.append(buffer, int(count));
                continue;
            }
            if (count < 0 && errno == EAGAIN)
                return true;
            closedByHolder = true;
            return false;
        }
    }

    // The next line, serving the holder until it comes. Empty on timeout or
    // when the holder closed the connection first.
    QByteArray readLine(int timeoutMs = 20000)
    {
        QByteArray line;
        serveUntil(
            [&] {
                readAvailable();
                const int end = input.indexOf('\n');
                if (end >= 0) {
                    line = input.left(end);
                    input.remove(0, end + 1);
                    return true;
                }
                return closedByHolder;
            },
            fd, timeoutMs);
        return line;
    }

    // True once the holder closed the connection (everything before read).
    bool waitForClose()
    {
        return serveUntil([&] { return !readAvailable(); }, fd);
    }

    // Sends a request and returns its answer; notifications that come first
    // are kept in notifications.
    QJsonObject call(const QString &method, const QJsonObject &params = QJsonObject())
    {
        const int id = nextId++;
        writeLine(Rpc::request(id, method, params));
        return answer(id);
    }
    QJsonObject answer(int id)
    {
        while (true) {
            const QByteArray line = readLine();
            if (line.isEmpty())
                return QJsonObject();
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (!object.contains(QLatin1String("id")))
                notifications.append(object);
            else if (object.value(QLatin1String("id")).toInt() == id)
                return object;
        }
    }
    // Notifications, serving the holder until count of them arrived.
    bool waitForNotifications(int count)
    {
        return serveUntil(
            [&] {
                const QByteArray line = readLine(0);
                if (!line.isEmpty())
                    notifications.append(QJsonDocument::fromJson(line).object());
                return notifications.size() >= count;
            },
            fd);
    }

    int fd = -1;
    bool connected = false;
    bool closedByHolder = false;
    QByteArray input;
    QList<QJsonObject> notifications;
    int nextId = 1;
};

inline int errorCode(const QJsonObject &answer)
{
    return answer.value(QLatin1String("error")).toObject().value(QLatin1String("code")).toInt();
}

// The simulated board connected on a manual clock, its service, and the
// service served on a socket in a runtime folder of the test's own.
struct ServiceRig
{
    QTemporaryDir runtime;
    LinkRig link;
    TestWallClock wallClock{link.clock, QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7), Qt::UTC), 3600};
    BoardService service{link.drv, link.clock, wallClock};
    LocalServer server{service};

    ServiceRig()
    {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        service.setHolder(QStringLiteral("torvan60"), 4242);
        service.setLogger(&link.logger);
        server.setLogger(&link.logger);
        link.drv.TrajectoryData.PosLimitUpper = 100000; // the holders' limits: 0 to 100000
    }

    // Connects the board and serves it; false (with the reason) when not.
    bool start()
    {
        link.connectBoard();
        if (!link.drv.IsConnected())
            return false;
        tick(); // what the connection asked for is in
        const QString error = server.listen(link.board.serial);
        if (!error.isEmpty())
            qWarning("%s", qPrintable(error));
        return error.isEmpty();
    }

    // One live report each: the board's clock moves on by one report period
    // and the device object takes in everything the board has ready (the
    // replies to commands besides the report).
    void tick(int reports = 1)
    {
        for (int i = 0; i < reports; ++i) {
            link.clock.advance(1000 / link.board.liveReportsPerSecond);
            for (int reads = 0; reads < 64 && link.drv.IsConnected(); ++reads) {
                link.receiveTick();
                if (link.board.readyReports() == 0)
                    break;
            }
        }
    }

    bool logged(const QString &start) const
    {
        for (const QString &line : link.pane.texts())
            if (line.startsWith(start))
                return true;
        return false;
    }
};
