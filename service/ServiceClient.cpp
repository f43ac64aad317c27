#include "service/ServiceClient.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 deadlineAfter(int timeoutMs)
{
    return timeoutMs < 0 ? -1 : steadyMs() + timeoutMs;
}

const QString ClosedMessage = QStringLiteral("the holder of the board closed the connection");

} // namespace

ServiceClient::~ServiceClient()
{
    close();
}

void ServiceClient::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    input.clear();
    ended = false;
    broken.clear();
}

QString ServiceClient::connectTo(const QString &path, int timeoutMs)
{
    close();
    holderClosing.clear();
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof(address.sun_path))
        return QStringLiteral("%1 cannot be a socket address").arg(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));

    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return QStringLiteral("cannot make a socket: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    // A holder whose queue of new connections is full makes connect wait;
    // the wait is cut into slices so that an interruption is seen.
    const qint64 deadline = deadlineAfter(timeoutMs);
    while (true) {
        const qint64 left = deadline < 0 ? InterruptCheckMs : deadline - steadyMs();
        const qint64 slice = std::max<qint64>(1, std::min<qint64>(left, InterruptCheckMs));
        timeval timeout{time_t(slice / 1000), suseconds_t((slice % 1000) * 1000)};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 || errno == EISCONN)
            break;
        const int error = errno;
        const bool busy = error == EAGAIN || error == EINPROGRESS || error == EALREADY || error == EINTR;
        QString why;
        if (!busy)
            why = error == ENOENT         ? QStringLiteral("there is no socket %1").arg(path)
                  : error == ECONNREFUSED ? QStringLiteral("nothing answers on %1").arg(path)
                                          : QStringLiteral("cannot connect to %1: %2")
                                                .arg(path, QString::fromLocal8Bit(std::strerror(error)));
        else if (interrupted && interrupted())
            why = QStringLiteral("interrupted while connecting to %1").arg(path);
        else if (deadline >= 0 && steadyMs() >= deadline)
            why = QStringLiteral("the holder on %1 takes no new connection").arg(path);
        if (!why.isEmpty()) {
            close();
            return why;
        }
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return QString();
}

ServiceClient::Wait ServiceClient::waitFor(short events, qint64 deadline)
{
    while (true) {
        if (interrupted && interrupted())
            return Wait::Interrupted;
        int slice = -1;
        if (deadline >= 0) {
            const qint64 left = deadline - steadyMs();
            if (left <= 0)
                return Wait::Timeout;
            slice = int(std::min<qint64>(left, InterruptCheckMs));
        } else if (interrupted) {
            slice = InterruptCheckMs;
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, slice);
        if (ready > 0)
            return Wait::Ready; // hang-ups and errors too: the next read tells
        if (ready < 0 && errno != EINTR)
            return Wait::Closed;
    }
}

bool ServiceClient::readSome()
{
    char buffer[64 * 1024];
    while (!ended) {
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count > 0) {
            input.append(buffer, int(count));
            const int end = input.indexOf('\n');
            if ((end < 0 ? input.size() : end) > MaxLineBytes) {
                // No line of the protocol is that long: the holder is broken.
                broken = QStringLiteral("the holder of the board sent a line longer than %1 bytes").arg(MaxLineBytes);
                ended = true;
            }
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        ended = true;
    }
    return false;
}

bool ServiceClient::takeLine(QByteArray &line)
{
    if (!broken.isEmpty())
        return false;
    const int end = input.indexOf('\n');
    if (end < 0)
        return false;
    line = input.left(end);
    input.remove(0, end + 1);
    return true;
}

ServiceClient::Wait ServiceClient::nextLine(QByteArray &line, qint64 deadline)
{
    while (!takeLine(line)) {
        // What the holder sent before it closed is taken first.
        const Wait wait = fd < 0 || ended ? Wait::Closed : waitFor(POLLIN, deadline);
        if (wait != Wait::Ready)
            return wait;
        readSome();
    }
    return Wait::Ready;
}

void ServiceClient::queue(const QString &method, const QJsonObject &params)
{
    if (method == QLatin1String("closing"))
        holderClosing = params.value(QLatin1String("message")).toString(ClosedMessage);
    if (int(notifications.size()) >= MaxQueuedNotifications) {
        notifications.pop_front();
        ++dropped;
    }
    notifications.push_back({method, params});
}

bool ServiceClient::sendLine(const QByteArray &line, qint64 deadline, QString &error)
{
    int sent = 0;
    while (sent < line.size()) {
        const ssize_t count = ::send(fd, line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
        if (count > 0) {
            sent += int(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The holder is busy; what it sends meanwhile is taken in, so
            // that it never has to drop this client for not reading.
            const bool roomToRead = input.size() < 2 * MaxLineBytes;
            const Wait wait = waitFor(short(POLLOUT | (roomToRead ? POLLIN : 0)), deadline);
            if (wait == Wait::Ready && roomToRead)
                readSome();
            else if (wait == Wait::Timeout)
                error = QStringLiteral("the holder of the board takes no request");
            else if (wait == Wait::Interrupted)
                error = QStringLiteral("interrupted");
            if (!error.isEmpty())
                return false;
            continue;
        }
        // Gone: what it sent before is still read (it may say why).
        error = ClosedMessage;
        return false;
    }
    return true;
}

Rpc::Reply ServiceClient::failure(int code, const QString &message) const
{
    Rpc::Reply reply;
    reply.code = code;
    reply.message = message;
    return reply;
}

Rpc::Reply ServiceClient::call(const QString &method, const QJsonObject &params, int timeoutMs)
{
    if (fd < 0)
        return failure(Rpc::BoardLost, QStringLiteral("not connected to the holder of the board"));
    const qint64 id = nextId++;
    const qint64 deadline = deadlineAfter(timeoutMs);
    QString sendError;
    if (!sendLine(Rpc::request(id, method, params) + '\n', deadline, sendError) && sendError != ClosedMessage) {
        close(); // part of the line may be out: the connection is of no more use
        return failure(Rpc::InternalError, sendError);
    }
    while (true) {
        QByteArray line;
        const Wait wait = nextLine(line, deadline);
        if (wait == Wait::Timeout)
            return failure(Rpc::InternalError,
                           QStringLiteral("no answer to \"%1\" within %2 ms").arg(method).arg(timeoutMs));
        if (wait == Wait::Interrupted)
            return failure(Rpc::InternalError, QStringLiteral("interrupted"));
        if (wait == Wait::Closed) {
            const Rpc::Reply closed = !broken.isEmpty()         ? failure(Rpc::InternalError, broken)
                                      : holderClosing.isEmpty() ? failure(Rpc::BoardLost, ClosedMessage)
                                                                : failure(Rpc::BoardLost, holderClosing);
            close();
            return closed;
        }
        Rpc::Reply reply;
        QString notified;
        QJsonObject notifiedParams;
        if (!Rpc::parseIncoming(line, reply, notified, notifiedParams)) {
            queue(notified, notifiedParams);
            continue;
        }
        // Its own answer, or an error the holder could not tie to a request
        // (this one is the only one waiting); answers to requests given up
        // on earlier are passed over.
        if (reply.id.isDouble() && qint64(reply.id.toDouble()) == id)
            return reply;
        if ((reply.id.isNull() || reply.id.isUndefined()) && !reply.ok)
            return reply;
    }
}

ServiceClient::Next ServiceClient::nextNotification(int timeoutMs, QString &method, QJsonObject &params)
{
    const qint64 deadline = deadlineAfter(timeoutMs);
    while (notifications.empty()) {
        QByteArray line;
        const Wait wait = nextLine(line, deadline);
        if (wait == Wait::Timeout)
            return Next::Timeout;
        if (wait == Wait::Interrupted)
            return Next::Interrupted;
        if (wait == Wait::Closed) {
            close();
            return Next::Closed;
        }
        Rpc::Reply reply;
        QString notified;
        QJsonObject notifiedParams;
        if (!Rpc::parseIncoming(line, reply, notified, notifiedParams))
            queue(notified, notifiedParams);
    }
    method = notifications.front().method;
    params = notifications.front().params;
    notifications.pop_front();
    return Next::Notification;
}
