// The board's service on its local socket: where the socket is and who may
// use it, the limits on what clients send and leave unread, sockets left by
// a holder that ended, and the blocking client torvan60ctl uses.
#include "device/sim/Scenarios.h"
#include "service/ServiceClient.h"
#include "service/ServiceHost.h"
#include "service/ServicePaths.h"
#include "support/ServiceRig.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <thread>

#include <sys/stat.h>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

// A socket bound at path: listening (connections are taken into its queue)
// or not (closed at once: the file stays, nothing answers).
int bindSocket(const QString &path, bool listening)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        qFatal("cannot bind %s", name.constData());
    if (!listening) {
        ::close(fd);
        return -1;
    }
    ::listen(fd, 4);
    return fd;
}

// Another holder on listener: answers the first hello that comes as
// "othertool" (pid 777), then closes. Gives up when nobody asks.
void answerOneHello(int listener)
{
    while (true) {
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, 20000) != 1)
            return;
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0)
            return;
        QByteArray input;
        char buffer[4096];
        ssize_t count;
        while (!input.contains('\n') && (count = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            input.append(buffer, int(count));
        Rpc::Request request;
        QByteArray error;
        if (Rpc::parseRequest(input.left(input.indexOf('\n')), request, error)) {
            const QByteArray answer =
                Rpc::result(request.id, {{QStringLiteral("program"), QStringLiteral("othertool")},
                                         {QStringLiteral("pid"), 777},
                                         {QStringLiteral("serial"), QStringLiteral("SIM60-000001")}}) +
                '\n';
            ::send(fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
            ::close(fd);
            return;
        }
        ::close(fd); // a probe that only looked whether anything answers
    }
}

// This test as the holder names its clients: the process's name as the
// system keeps it, and its pid.
QString thisProcess()
{
    QFile comm("/proc/self/comm");
    comm.open(QIODevice::ReadOnly);
    return QStringLiteral("%1 (pid %2)").arg(QString(comm.readAll().trimmed())).arg(::getpid());
}

} // namespace

class TestServiceSocket : public QObject
{
    Q_OBJECT

    std::unique_ptr<ServiceRig> rig;

    QString boardSocket() const { return ServicePaths::socketPath(rig->link.board.serial); }

private slots:
    void init()
    {
        rig = std::make_unique<ServiceRig>();
        QVERIFY(rig->runtime.isValid());
    }
    void cleanup() { rig.reset(); }

    void socketPath_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("refusal"); // empty: taken
        QTest::newRow("plain") << "SIM60-000001"
                               << "";
        QTest::newRow("dots inside") << "A.b_c-1"
                                     << "";
        QTest::newRow("slash") << "a/b"
                               << "cannot name a socket file";
        QTest::newRow("parent") << ".."
                                << "cannot name a socket file";
        QTest::newRow("hidden") << ".sock"
                                << "cannot name a socket file";
        QTest::newRow("space") << "SIM 1"
                               << "cannot name a socket file";
        QTest::newRow("empty") << ""
                               << "without a serial number";
        QTest::newRow("too long for an address") << QString(100, QLatin1Char('x')) << "too long";
    }
    void socketPath()
    {
        QFETCH(QString, serial);
        QFETCH(QString, refusal);
        QString error;
        const QString path = ServicePaths::socketPath(serial, &error);
        if (refusal.isEmpty()) {
            QCOMPARE(path, rig->runtime.path() + "/torvan60/" + serial + ".sock");
            QVERIFY(error.isEmpty());
            return;
        }
        QVERIFY(path.isEmpty());
        QVERIFY2(error.contains(refusal), qPrintable(error));
        // The server refuses it with the same reason and makes no file.
        QCOMPARE(rig->server.listen(serial), error);
        QVERIFY(!rig->server.isListening());
    }

    void folder_data()
    {
        QTest::addColumn<QByteArray>("runtime");
        QTest::addColumn<QString>("folder");
        QTest::newRow("absolute") << QByteArray("/run/user/1000") << "/run/user/1000/torvan60";
        QTest::newRow("relative") << QByteArray("run/user/1000")
                                  << QDir::tempPath() + QStringLiteral("/torvan60-%1").arg(::getuid());
        QTest::newRow("empty") << QByteArray() << QDir::tempPath() + QStringLiteral("/torvan60-%1").arg(::getuid());
    }
    void folder()
    {
        QFETCH(QByteArray, runtime);
        QFETCH(QString, folder);
        qputenv("XDG_RUNTIME_DIR", runtime);
        QCOMPARE(ServicePaths::folder(), folder);
    }

    // Made with modes that keep other users out, whatever the umask says;
    // gone again on close.
    void listenAndClose()
    {
        const mode_t umaskBefore = ::umask(0);
        const bool started = rig->start();
        ::umask(umaskBefore);
        QVERIFY(started);
        const QString path = boardSocket();
        QCOMPARE(rig->server.path(), path);
        QVERIFY(rig->server.isListening());
        QCOMPARE(modeOf(ServicePaths::folder()) & 07777, mode_t(0700));
        QVERIFY(S_ISSOCK(modeOf(path)));
        QCOMPARE(modeOf(path) & 07777, mode_t(0600));

        RawClient client(path);
        QVERIFY(client.connected);
        QCOMPARE(client.call("hello").value("result").toObject().value("serial").toString(), QString("SIM60-000001"));
        QSignalSpy clients(&rig->server, &LocalServer::clientsChanged);
        rig->server.close();
        QVERIFY(!rig->server.isListening());
        QVERIFY(!QFile::exists(path));
        QVERIFY(client.waitForClose());
        QCOMPARE(clients.size(), 1);
        QCOMPARE(clients.at(0).at(0).toInt(), 0);
        QCOMPARE(rig->service.peerCount(), 0);
    }

    void unsafeFolderRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("open to others") << "open"
                                        << "is open to others";
        QTest::newRow("symbolic link") << "link"
                                       << "is a symbolic link";
        QTest::newRow("another owner") << "owner"
                                       << "belongs to user id";
        QTest::newRow("a file") << "file"
                                << "is not a folder";
    }
    void unsafeFolderRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        const QString folder = ServicePaths::folder();
        const QByteArray name = QFile::encodeName(folder);
        if (kind == "open") {
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(::chmod(name.constData(), 0755) == 0);
        } else if (kind == "link") {
            const QString target = rig->runtime.filePath("elsewhere");
            QVERIFY(::mkdir(QFile::encodeName(target).constData(), 0700) == 0);
            QVERIFY(QFile::link(target, folder));
        } else if (kind == "owner") {
            if (::geteuid() != 0)
                QSKIP("only root can give a folder to another user");
            QVERIFY(::mkdir(name.constData(), 0700) == 0);
            QVERIFY(::chown(name.constData(), 12345, 12345) == 0);
        } else {
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QString error;
        QVERIFY(!ServicePaths::prepareFolder(error));
        QVERIFY2(error.contains(refusal), qPrintable(error));
        rig->link.connectBoard();
        QCOMPARE(rig->server.listen(rig->link.board.serial), error);
        QVERIFY(!QFileInfo::exists(boardSocket()));
    }

    // A socket file that is there already: left by a holder that ended
    // (replaced), served by a live holder (named, left alone), or a file of
    // another kind (left alone).
    void existingSocketFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal"); // empty: replaced
        QTest::newRow("stale") << "stale"
                               << "";
        QTest::newRow("live holder") << "live"
                                     << "served already by othertool (pid 777)";
        QTest::newRow("not a socket") << "file"
                                      << "is no socket";
    }
    void existingSocketFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        QString error;
        QVERIFY(ServicePaths::prepareFolder(error));
        const QString path = boardSocket();
        int listener = -1;
        std::thread other;
        if (kind == "stale") {
            bindSocket(path, false);
        } else if (kind == "live") {
            listener = bindSocket(path, true);
            other = std::thread(answerOneHello, listener);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        rig->link.connectBoard();
        error = rig->server.listen(rig->link.board.serial);
        if (other.joinable())
            other.join();
        if (refusal.isEmpty()) {
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QVERIFY(rig->logged("Replaced the socket " + path + " left by a holder that ended"));
            RawClient client(path);
            QVERIFY(client.call("hello").contains("result"));
        } else {
            QVERIFY2(error.contains(refusal) && error.contains(path), qPrintable(error));
            QVERIFY(!rig->server.isListening());
            QVERIFY(QFileInfo::exists(path)); // not taken from its holder
            if (listener >= 0) {
                RawClient client(path);
                QVERIFY(client.connected); // still the other holder's
                ::close(listener);
            }
        }
    }

    void otherUserRefused()
    {
        QVERIFY(rig->start());
        rig->server.setAllowedUid(::getuid() + 1);
        RawClient stranger(boardSocket());
        QVERIFY(stranger.connected);
        stranger.writeLine(Rpc::request(1, "hello", {}));
        QVERIFY(stranger.waitForClose());
        QVERIFY(stranger.input.isEmpty()); // told nothing
        QVERIFY(rig->logged(QStringLiteral("Remote client refused: user id %1 is not this user's").arg(::getuid())));
        QCOMPARE(rig->service.peerCount(), 0);
        QCOMPARE(rig->server.clientCount(), 0);
    }

    // The client's program and pid come from the system, not from what it
    // says; the holder's log names it once it asks for something (a program
    // that only asks who serves the board leaves no line) and when it goes.
    void clientNamedByTheSystem()
    {
        QVERIFY(rig->start());
        const QString self = thisProcess();
        auto client = std::make_unique<RawClient>(boardSocket());
        QVERIFY(serveUntil([&] { return rig->server.clientCount() == 1; }));
        QVERIFY(client->call(QStringLiteral("hello")).contains(QLatin1String("result")));
        QVERIFY(!rig->logged("Remote client connected: " + self));
        QVERIFY(client->call(QStringLiteral("identity")).contains(QLatin1String("result")));
        QVERIFY(rig->logged("Remote client connected: " + self));
        client.reset();
        QVERIFY(serveUntil([&] { return rig->service.peerCount() == 0; }));
        QVERIFY(rig->logged("Remote client left: " + self));
        QCOMPARE(rig->server.clientCount(), 0);
    }

    void seventeenthClientRefused()
    {
        QVERIFY(rig->start());
        QSignalSpy counts(&rig->server, &LocalServer::clientsChanged);
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < LocalServer::MaxClients; ++i)
            clients.push_back(std::make_unique<RawClient>(boardSocket()));
        QVERIFY(serveUntil([&] { return rig->server.clientCount() == LocalServer::MaxClients; }));
        QCOMPARE(rig->service.peerCount(), LocalServer::MaxClients);

        RawClient extra(boardSocket());
        QVERIFY(extra.connected); // the system takes it; the holder closes it
        const QJsonObject refusal = QJsonDocument::fromJson(extra.readLine()).object();
        QCOMPARE(errorCode(refusal), int(Rpc::Refused));
        QCOMPARE(refusal.value("error").toObject().value("message").toString(),
                 QString("the holder serves at most 16 clients at once"));
        QVERIFY(extra.waitForClose());
        QVERIFY(rig->logged("Remote client refused: "));
        QCOMPARE(rig->server.clientCount(), LocalServer::MaxClients);
        QCOMPARE(counts.last().at(0).toInt(), LocalServer::MaxClients);

        // The others are served; once one leaves there is room again.
        QVERIFY(clients.back()->call("hello").contains("result"));
        clients.front().reset();
        QVERIFY(serveUntil([&] { return rig->server.clientCount() == LocalServer::MaxClients - 1; }));
        RawClient next(boardSocket());
        QVERIFY(next.call("hello").contains("result"));
    }

    void lineLimits_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code"); // 0: answered
        QTest::addColumn<bool>("closed");
        const QByteArray hello = Rpc::request(7, "hello", {});
        QByteArray padded = hello; // valid JSON padded with spaces to the limit
        padded.insert(padded.size() - 1, QByteArray(Rpc::MaxLineBytes - hello.size(), ' '));
        QTest::newRow("request with CR LF") << hello + "\r\n" << 0 << false;
        QTest::newRow("blank lines between") << "\n\r\n" + hello + "\n" << 0 << false;
        QTest::newRow("at the limit") << padded + "\n" << 0 << false;
        QTest::newRow("at the limit, CR LF") << padded + "\r\n" << 0 << false;
        QTest::newRow("over the limit") << QByteArray(padded).insert(1, ' ') + "\n" << int(Rpc::InvalidRequest) << true;
        QTest::newRow("over the limit, no end yet")
            << QByteArray(Rpc::MaxLineBytes + 2, 'x') << int(Rpc::InvalidRequest) << true;
    }
    void lineLimits()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        QFETCH(bool, closed);
        QVERIFY(rig->start());
        RawClient client(boardSocket());
        QVERIFY(client.write(bytes));
        const QJsonObject answer = QJsonDocument::fromJson(client.readLine()).object();
        QCOMPARE(errorCode(answer), code);
        if (closed) {
            QVERIFY(answer.value("id").isNull());
            QVERIFY(client.waitForClose());
            QVERIFY(rig->logged("Remote client " + thisProcess() +
                                " sent a line longer than 65536 bytes; its connection is closed"));
            QVERIFY(serveUntil([&] { return rig->service.peerCount() == 0; }));
        } else {
            QCOMPARE(answer.value("id").toInt(), 7);
            QVERIFY(client.call("status").contains("result"));
        }
    }

    // A client that asks and never reads is dropped once its unsent answers
    // pass the bound; the holder and its other clients go on.
    void nonReaderDropped()
    {
        QVERIFY(rig->start());
        RawClient reader(boardSocket());
        RawClient sleeper(boardSocket());
        QVERIFY(serveUntil([&] { return rig->server.clientCount() == 2; }));
        QByteArray batch;
        for (int i = 0; i < 200; ++i)
            batch += Rpc::request(i, "settings.get", {}) + '\n';
        QVERIFY(serveUntil([&] { return !sleeper.write(batch) || rig->server.clientCount() < 2; }));
        QVERIFY(rig->logged(QStringLiteral("Remote client dropped: ")));
        QVERIFY(serveUntil([&] { return rig->service.peerCount() == 1; }));
        QCOMPARE(rig->server.clientCount(), 1);
        QVERIFY(reader.call("settings.get").contains("result"));
        QVERIFY(sleeper.waitForClose());
    }

    // A client that sends many requests at once has them answered a few at a
    // time between the turns of others: another client's request is not
    // held up behind all of them, and none of them is lost.
    void floodAnsweredInTurns()
    {
        QVERIFY(rig->start());
        RawClient flood(boardSocket());
        RawClient other(boardSocket());
        QVERIFY(flood.call("hello", {{"program", "flood"}}).contains("result"));
        QVERIFY(other.call("hello", {{"program", "other"}}).contains("result"));
        constexpr int Requests = 2000;
        QByteArray lines;
        for (int i = 0; i < Requests; ++i)
            lines += Rpc::request(i, "sleep", {}) + '\n'; // answered at once: the driver sleeps
        QVERIFY(flood.write(lines));
        QVERIFY(other.call("sleep").contains("result"));
        // The holder logs each command as it takes it.
        const QString fromFlood = QStringLiteral("Remote command from flood (pid %1): sleep").arg(::getpid());
        const QStringList log = rig->link.pane.texts();
        const int otherAt = log.indexOf(QStringLiteral("Remote command from other (pid %1): sleep").arg(::getpid()));
        QVERIFY(otherAt > 0);
        const int floodBefore = log.mid(0, otherAt).count(fromFlood);
        QVERIFY2(floodBefore < 200, qPrintable(QString::number(floodBefore)));
        QVERIFY(serveUntil([&] { return flood.readAvailable() && flood.input.count('\n') == Requests; }, flood.fd));
        QCOMPARE(rig->link.pane.texts().count(fromFlood), Requests);
    }

    // A client that leaves while its request waits for the board takes only
    // its own answer with it.
    void clientLeavesMidRequest()
    {
        QVERIFY(rig->start());
        RawClient other(boardSocket());
        auto leaving = std::make_unique<RawClient>(boardSocket());
        QVERIFY(serveUntil([&] { return rig->server.clientCount() == 2; }));
        const int enables = rig->link.count(Report::CmdSetDriverEnable);
        leaving->writeLine(Rpc::request(1, "enable", {})); // answered after reports show it
        QVERIFY(serveUntil([&] { return rig->link.count(Report::CmdSetDriverEnable) > enables; }));
        leaving.reset();
        QVERIFY(serveUntil([&] { return rig->service.peerCount() == 1; }));
        rig->tick(5); // the wait ends without its client
        QVERIFY(other.call("status").value("result").toObject().value("inputs").toObject().value("sleep").toBool());
        QCOMPARE(rig->server.clientCount(), 1);
    }

    // ---- The blocking client ----

    void clientCallsAndNotifications()
    {
        QVERIFY(rig->start());
        const QString path = boardSocket();
        ServiceClient client;
        std::promise<void> reportsSent;
        auto first = std::async(std::launch::async, [&] {
            QString error = client.connectTo(path, 5000);
            const Rpc::Reply hello = client.call("hello");
            const Rpc::Reply subscribe = client.call("subscribe", {{"every", 1}});
            return std::make_tuple(error, hello, subscribe);
        });
        QVERIFY(serveUntil([&] { return first.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
        const auto [error, hello, subscribe] = first.get();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(hello.ok);
        QCOMPARE(hello.result.value("program").toString(), QString("torvan60"));
        QCOMPARE(hello.result.value("pid").toInt(), 4242);
        QVERIFY(subscribe.ok);

        // Three live reports go out before the next call: it passes them by
        // and they wait for nextNotification.
        rig->tick(3);
        const auto second = besideHolder([&] {
            const Rpc::Reply status = client.call("status");
            QStringList methods;
            QString method;
            QJsonObject params;
            while (client.nextNotification(0, method, params) == ServiceClient::Next::Notification)
                methods << method;
            return std::make_pair(status, methods);
        });
        QVERIFY(second.first.ok);
        QVERIFY(second.first.result.contains("position"));
        QCOMPARE(second.second, QStringList({"live", "live", "live"}));

        // A wrong request is an answer too, with its code.
        const Rpc::Reply wrong = besideHolder([&] { return client.call("subscribe", {{"every", "often"}}); });
        QVERIFY(!wrong.ok);
        QCOMPARE(wrong.code, int(Rpc::InvalidParams));
        QVERIFY(wrong.message.contains("every"));
    }

    // A board restarted from its boot loader into its application leaves
    // the bus once, and is served again once its identity, settings and
    // live reports are read anew, not on the identity of its boot loader.
    void restartFromTheBootLoaderServesOnceIdentified()
    {
        applySimulationScenario(rig->link.board, QStringLiteral("bootloader"));
        ServiceHost host(rig->service, rig->link.drv, &rig->link.logger);
        rig->link.connectBoard();
        for (int i = 0; i < 50 && !host.presence().isPresent(); ++i)
            rig->tick();
        QVERIFY(host.presence().isPresent());
        rig->link.pane.lines.clear();
        rig->link.drv.RestartDevice();
        bool left = false;
        for (int i = 0; i < 200 && !(left && host.presence().isPresent()); ++i) {
            rig->tick();
            rig->link.enumerationTick();
            left = left || !rig->link.drv.IsConnected();
        }
        QVERIFY(!rig->link.drv.DriverInfo.BootloaderActive);
        const QStringList log = rig->link.pane.texts();
        auto firstAt = [&log](const QString &start) {
            for (int i = 0; i < log.size(); ++i)
                if (log.at(i).startsWith(start))
                    return i;
            return -1;
        };
        QCOMPARE(log.filter(QRegularExpression(QStringLiteral("^Board lost: "))).size(), 1);
        QCOMPARE(log.filter(QRegularExpression(QStringLiteral("^Serving board "))).size(), 1);
        QVERIFY2(firstAt(QStringLiteral("Serving board ")) > firstAt(QStringLiteral("Device name: ")),
                 qPrintable(log.join(QLatin1Char('\n'))));
        QVERIFY(host.server().isListening());
    }

    void clientSeesTheHolderClose()
    {
        QVERIFY(rig->start());
        ServiceClient client;
        const QString path = boardSocket();
        QVERIFY(besideHolder([&] { return client.connectTo(path, 5000).isEmpty() && client.call("hello").ok; }));
        rig->server.close();
        const Rpc::Reply reply = client.call("status");
        QVERIFY(!reply.ok);
        QCOMPARE(reply.code, int(Rpc::BoardLost));
        QVERIFY2(reply.message.contains("closed the connection"), qPrintable(reply.message));
        QVERIFY(!client.isConnected());
        QString method;
        QJsonObject params;
        QCOMPARE(client.nextNotification(1000, method, params), ServiceClient::Next::Closed);
    }

    // A holder that ends tells its clients first; the client gives that as
    // why the board was lost.
    void clientIsToldTheHolderCloses()
    {
        auto host = std::make_unique<ServiceHost>(rig->service, rig->link.drv, &rig->link.logger);
        rig->link.connectBoard();
        for (int i = 0; i < 50 && !host->presence().isPresent(); ++i)
            rig->tick();
        QVERIFY(host->server().isListening());
        ServiceClient client;
        const QString path = boardSocket();
        QVERIFY(besideHolder([&] { return client.connectTo(path, 5000).isEmpty() && client.call("hello").ok; }));
        host.reset();
        QVERIFY(!QFile::exists(path));

        QString method;
        QJsonObject params;
        QCOMPARE(client.nextNotification(1000, method, params), ServiceClient::Next::Notification);
        QCOMPARE(method, QStringLiteral("closing"));
        QCOMPARE(params.value("holder").toString(), QStringLiteral("torvan60 (pid 4242)"));
        const QString message = params.value("message").toString();
        QCOMPARE(message, QStringLiteral("torvan60 (pid 4242) closes; board SIM60-000001 is no longer served"));
        const Rpc::Reply reply = client.call("status");
        QCOMPARE(reply.code, int(Rpc::BoardLost));
        QCOMPARE(reply.message, message);
        QCOMPARE(client.closingMessage(), message);
    }

    // A holder that never answers: the wait ends at the deadline, or at
    // once when interrupted, and the connection stays usable.
    void clientWaitsEnd()
    {
        QString error;
        QVERIFY(ServicePaths::prepareFolder(error));
        const int listener = bindSocket(boardSocket(), true);
        ServiceClient client;
        QCOMPARE(client.connectTo(boardSocket(), 1000), QString());
        QCOMPARE(client.connectTo(rig->runtime.filePath("none.sock"), 1000),
                 "there is no socket " + rig->runtime.filePath("none.sock"));
        QCOMPARE(client.connectTo(boardSocket(), 1000), QString());

        const Rpc::Reply late = client.call("status", {}, 100);
        QCOMPARE(late.code, int(Rpc::InternalError));
        QCOMPARE(late.message, QString("no answer to \"status\" within 100 ms"));
        int checks = 0;
        client.interrupted = [&] { return ++checks > 2; };
        const Rpc::Reply interrupted = client.call("status", {}, -1);
        QCOMPARE(interrupted.message, QString("interrupted"));
        QCOMPARE(checks, 3);
        QString method;
        QJsonObject params;
        checks = 0;
        QCOMPARE(client.nextNotification(-1, method, params), ServiceClient::Next::Interrupted);
        client.interrupted = nullptr;
        QCOMPARE(client.nextNotification(0, method, params), ServiceClient::Next::Timeout);
        QVERIFY(client.isConnected());
        ::close(listener);
    }

    // A holder that sends a line longer than any answer can be is broken:
    // the client stops taking its lines instead of keeping them all.
    void clientRefusesOverlongLines()
    {
        QString error;
        QVERIFY(ServicePaths::prepareFolder(error));
        const int listener = bindSocket(boardSocket(), true);
        ServiceClient client;
        QCOMPARE(client.connectTo(boardSocket(), 1000), QString());
        const int holder = ::accept(listener, nullptr, nullptr);
        std::thread talker([holder] {
            const QByteArray endless(ServiceClient::MaxLineBytes + 1, 'x');
            ::send(holder, endless.constData(), size_t(endless.size()), MSG_NOSIGNAL);
        });
        const Rpc::Reply reply = client.call("status", {}, 20000);
        talker.join();
        QCOMPARE(reply.code, int(Rpc::InternalError));
        QCOMPARE(reply.message, QString("the holder of the board sent a line longer than 1048576 bytes"));
        QVERIFY(!client.isConnected());
        ::close(holder);
        ::close(listener);
    }

    // Only sockets a holder answers on are listed.
    void servedBoards()
    {
        QVERIFY(rig->start());
        bindSocket(ServicePaths::folder() + "/STALE-1.sock", false);
        const auto served = besideHolder([] { return ServicePaths::served(5000); });
        QCOMPARE(int(served.size()), 1);
        QCOMPARE(served.front().serial, QString("SIM60-000001"));
        QCOMPARE(served.front().path, boardSocket());
        QCOMPARE(served.front().program, QString("torvan60"));
        QCOMPARE(served.front().pid, qint64(4242));
    }
};

QTEST_GUILESS_MAIN(TestServiceSocket)
#include "tst_servicesocket.moc"
