#include "service/LocalServer.h"

#include "log/LogText.h"
#include "log/Logger.h"
#include "service/BoardService.h"
#include "service/Rpc.h"
#include "service/ServicePaths.h"
#include "service/ServicePeer.h"

#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Lines of one client taken per turn of the event loop: a client that sends
// many at once still lets the board and the other clients have their turn.
// Its socket is read again once the lines read are taken.
constexpr int LinesPerTurn = 32;
constexpr int ReadChunkBytes = 64 * 1024;
// The time a live holder on the socket is given to say who it is.
constexpr int HolderProbeMs = 500;
// Out of descriptors: new connections wait this long before the next try.
constexpr int AcceptPauseMs = 1000;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

sockaddr_un socketAddress(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    // ServicePaths::socketPath refuses paths that do not fit.
    std::memcpy(address.sun_path, name.constData(), std::min(sizeof(address.sun_path) - 1, size_t(name.size())));
    return address;
}

// The name of a process as the system keeps it.
QString programOf(pid_t pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.read(256)).trimmed() : QString();
    return name.isEmpty() ? QStringLiteral("unknown program") : name;
}

} // namespace

// One connection: the lines it sent not yet taken, and what waits to be sent
// to it. send() only queues and tries a non-blocking write; it never calls
// back into the service or ends the connection itself.
class LocalServer::Client : public QObject, public ServicePeer
{
public:
    Client(LocalServer &server, int fd) : QObject(&server), server(server), fd(fd)
    {
        reader = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        writer = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        writer->setEnabled(false);
        connect(reader, &QSocketNotifier::activated, &server, [this] { this->server.readFrom(this); });
        connect(writer, &QSocketNotifier::activated, this, [this] { flush(); });
    }
    ~Client() override { shut(); }

    void send(const QByteArray &line) override
    {
        if (dropping || closing)
            return;
        if (unsent() == 0) {
            // Nothing waits: straight out, the line and its end in one call.
            iovec parts[2] = {{const_cast<char *>(line.constData()), size_t(line.size())},
                              {const_cast<char *>("\n"), 1}};
            msghdr message{};
            message.msg_iov = parts;
            message.msg_iovlen = 2;
            ssize_t count;
            do
                count = ::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
            while (count < 0 && errno == EINTR);
            if (count == line.size() + 1)
                return;
            if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return server.drop(this, QString()); // gone; its end is read as it leaves
            const int taken = int(std::max<ssize_t>(count, 0));
            output = taken < line.size() ? line.mid(taken) + '\n' : QByteArray("\n");
            outputAt = 0;
        } else {
            output += line;
            output += '\n';
        }
        if (unsent() > MaxUnsentBytes)
            return server.drop(this,
                               QStringLiteral("Remote client dropped: %1 does not read what it is sent (more than %2 "
                                              "bytes wait)")
                                   .arg(describe())
                                   .arg(MaxUnsentBytes));
        writer->setEnabled(true);
    }

    // Writes what waits, as far as the socket takes it.
    void flush()
    {
        while (!dropping && unsent() > 0) {
            const ssize_t count =
                ::send(fd, output.constData() + outputAt, size_t(unsent()), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (count > 0) {
                outputAt += int(count);
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            } else {
                return server.drop(this, QString());
            }
        }
        if (dropping)
            return;
        if (unsent() == 0) {
            output.clear();
            outputAt = 0;
            writer->setEnabled(false);
            if (closing)
                server.drop(this, QString());
            return;
        }
        if (outputAt > ReadChunkBytes && outputAt > output.size() / 2) {
            output.remove(0, outputAt);
            outputAt = 0;
        }
        writer->setEnabled(true);
    }

    int unsent() const { return output.size() - outputAt; }

    // No more reading or writing; the descriptor is closed.
    void shut()
    {
        reader->setEnabled(false);
        writer->setEnabled(false);
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    LocalServer &server;
    int fd;
    QSocketNotifier *reader;
    QSocketNotifier *writer;
    QByteArray input;
    QByteArray output;
    int outputAt = 0;
    bool closing = false;  // closed once what waits is sent
    bool dropping = false; // ends at the next turn of the event loop
};

LocalServer::LocalServer(BoardService &service, QObject *parent)
    : QObject(parent), service(service), allowedUid(::getuid())
{}

LocalServer::~LocalServer()
{
    close();
}

int LocalServer::clientCount() const
{
    return int(std::count_if(clients.begin(), clients.end(), [](const Client *c) { return !c->dropping; }));
}

void LocalServer::log(const QString &text) const
{
    if (logger)
        logger->write(text);
}

QString LocalServer::listen(const QString &serial)
{
    close();
    otherHolder = false;
    QString error;
    const QString path = ServicePaths::socketPath(serial, &error);
    if (path.isEmpty() || !ServicePaths::prepareFolder(error))
        return error;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return QStringLiteral("cannot make a socket: %1").arg(systemError(errno));
    const sockaddr_un address = socketAddress(path);
    auto bindTo = [&] { return ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0; };
    bool bound = bindTo();
    if (!bound && errno == EADDRINUSE) {
        error = freePath(serial);
        bound = error.isEmpty() && bindTo();
    }
    if (!bound && error.isEmpty())
        error = QStringLiteral("cannot serve on %1: %2").arg(path, systemError(errno));
    // Only this user may connect; the folder already keeps others out.
    if (bound && ::chmod(QFile::encodeName(path).constData(), 0600) != 0)
        error = QStringLiteral("cannot set the mode of %1: %2").arg(path, systemError(errno));
    if (error.isEmpty() && ::listen(fd, MaxClients) != 0)
        error = QStringLiteral("cannot serve on %1: %2").arg(path, systemError(errno));
    if (!error.isEmpty()) {
        ::close(fd);
        if (bound)
            ::unlink(QFile::encodeName(path).constData());
        return error;
    }
    listenFd = fd;
    socketFile = path;
    listenNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(listenNotifier, &QSocketNotifier::activated, this, &LocalServer::acceptClients);
    return QString();
}

QString LocalServer::freePath(const QString &serial)
{
    const QString path = ServicePaths::socketPath(serial);
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::lstat(name.constData(), &info) != 0)
        return errno == ENOENT ? QString() : QStringLiteral("cannot read %1: %2").arg(path, systemError(errno));
    if (!S_ISSOCK(info.st_mode))
        return QStringLiteral("%1 is there and is no socket; remove it to serve board %2 here").arg(path, serial);
    // Whether anything answers there.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_un address = socketAddress(path);
    const int connected = ::connect(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    const int error = errno;
    ::close(probe);
    if (connected != 0 && error == ECONNREFUSED) {
        if (::unlink(name.constData()) != 0 && errno != ENOENT)
            return QStringLiteral("cannot remove %1: %2").arg(path, systemError(errno));
        log(QStringLiteral("Replaced the socket %1 left by a holder that ended").arg(path));
        return QString();
    }
    if (connected != 0 && error == ENOENT)
        return QString();
    if (connected != 0 && error != EAGAIN)
        return QStringLiteral("cannot tell whether %1 is in use: %2").arg(path, systemError(error));
    otherHolder = true;
    ServicePaths::Served holder;
    if (ServicePaths::probe(path, holder, HolderProbeMs))
        return QStringLiteral("board %1 is served already by %2 (pid %3) on %4")
            .arg(serial, holder.program)
            .arg(holder.pid)
            .arg(path);
    return QStringLiteral("board %1 is served already on %2 by a program that did not say who it is").arg(serial, path);
}

void LocalServer::close()
{
    const bool hadClients = clientCount() > 0;
    // When the board is gone, what the clients sent up to now is answered
    // first (with the lost-board error). What waits for a client (those
    // answers, its last notification) goes out as far as its socket takes
    // it now.
    const bool boardGone = !service.boardConnected();
    for (Client *client : clients) {
        if (boardGone)
            takeEverythingSent(client);
        if (!client->dropping)
            client->flush();
    }
    std::vector<Client *> leaving;
    leaving.swap(clients);
    for (Client *client : leaving) {
        client->dropping = true;
        client->shut();
        service.detach(client);
        client->deleteLater();
    }
    if (listenFd >= 0) {
        delete listenNotifier;
        listenNotifier = nullptr;
        ::close(listenFd);
        listenFd = -1;
        ::unlink(QFile::encodeName(socketFile).constData());
        socketFile.clear();
    }
    if (hadClients)
        emit clientsChanged(0);
}

void LocalServer::refuse(int fd, const QString &why, const QByteArray &answer)
{
    log(why);
    if (!answer.isEmpty())
        ::send(fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(fd);
}

void LocalServer::acceptClients()
{
    while (listenFd >= 0) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // The connection stays queued; trying again at once would spin.
                log(QStringLiteral("Remote client waits: %1").arg(systemError(errno)));
                listenNotifier->setEnabled(false);
                QTimer::singleShot(AcceptPauseMs, listenNotifier,
                                   [notifier = listenNotifier] { notifier->setEnabled(true); });
            }
            return;
        }
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) {
            refuse(fd,
                   QStringLiteral("Remote client refused: its user id cannot be read (%1)").arg(systemError(errno)));
            continue;
        }
        if (peer.uid != allowedUid) {
            refuse(fd, QStringLiteral("Remote client refused: user id %1 is not this user's").arg(peer.uid));
            continue;
        }
        const QString program = programOf(peer.pid);
        if (clientCount() >= MaxClients) {
            const QString why = QStringLiteral("the holder serves at most %1 clients at once").arg(MaxClients);
            refuse(fd,
                   QStringLiteral("Remote client refused: %1 (pid %2): %3")
                       .arg(LogText::escaped(program, ServicePeer::MaxProgramChars))
                       .arg(peer.pid)
                       .arg(why),
                   Rpc::error(Rpc::Id(), Rpc::Refused, why) + '\n');
            continue;
        }
        auto *client = new Client(*this, fd);
        client->program = program;
        client->pid = peer.pid;
        clients.push_back(client);
        service.attach(client);
        emit clientsChanged(clientCount());
    }
}

void LocalServer::readFrom(Client *client)
{
    char buffer[ReadChunkBytes];
    ssize_t count;
    do
        count = ::recv(client->fd, buffer, sizeof buffer, MSG_DONTWAIT);
    while (count < 0 && errno == EINTR);
    if (count > 0) {
        client->input.append(buffer, int(count));
        takeLines(client, LinesPerTurn);
    } else if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
        // The client closed its side (or vanished): it left. What it sent
        // was obeyed; answers still to come are not sent.
        drop(client, QString());
    }
}

void LocalServer::takeEverythingSent(Client *client)
{
    if (client->dropping || client->closing)
        return;
    // What the socket holds, up to a bound: a client that keeps writing
    // does not keep the holder here.
    char buffer[ReadChunkBytes];
    for (int bytes = 0; bytes < MaxUnsentBytes;) {
        const ssize_t count = ::recv(client->fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        client->input.append(buffer, int(count));
        bytes += int(count);
    }
    takeLines(client, std::numeric_limits<int>::max());
}

void LocalServer::takeLines(Client *client, int maxLines)
{
    int start = 0;
    int taken = 0;
    bool overlong = false;
    bool more = false;
    while (!client->dropping && !client->closing) {
        const int end = client->input.indexOf('\n', start);
        if (end < 0) {
            // A line may end in "\r\n"; anything longer cannot be one.
            overlong = client->input.size() - start > Rpc::MaxLineBytes + 1;
            break;
        }
        if (taken == maxLines) {
            more = true;
            break;
        }
        QByteArray line = client->input.mid(start, end - start);
        start = end + 1;
        ++taken;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > Rpc::MaxLineBytes) {
            overlong = true;
            break;
        }
        if (!line.isEmpty())
            service.receive(client, line);
    }
    client->input.remove(0, start);
    if (client->dropping || client->closing)
        return;
    if (overlong) {
        log(QStringLiteral("Remote client %1 sent a line longer than %2 bytes; its connection is closed")
                .arg(client->describe())
                .arg(Rpc::MaxLineBytes));
        client->input.clear();
        client->send(
            Rpc::error(Rpc::Id(), Rpc::InvalidRequest,
                       QStringLiteral("invalid request: a line may be at most %1 bytes").arg(Rpc::MaxLineBytes)));
        client->closing = true;
        client->reader->setEnabled(false);
        client->flush();
        return;
    }
    // The rest after the other events waiting now; nothing more is read
    // from this client until then.
    client->reader->setEnabled(!more);
    if (more)
        QMetaObject::invokeMethod(
            this,
            [this, guard = QPointer<Client>(client)] {
                if (guard && !guard->dropping && !guard->closing)
                    takeLines(guard.data(), LinesPerTurn);
            },
            Qt::QueuedConnection);
}

void LocalServer::drop(Client *client, const QString &why)
{
    if (client->dropping)
        return;
    client->dropping = true;
    client->shut();
    if (!why.isEmpty())
        log(why);
    QMetaObject::invokeMethod(
        this, [this, guard = QPointer<Client>(client)] { finishDrop(guard.data()); }, Qt::QueuedConnection);
}

void LocalServer::finishDrop(Client *client)
{
    const auto found = std::find(clients.begin(), clients.end(), client);
    if (!client || found == clients.end())
        return; // closed with all the others meanwhile
    clients.erase(found);
    service.detach(client);
    client->deleteLater();
    emit clientsChanged(clientCount());
}
