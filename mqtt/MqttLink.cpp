#include "mqtt/MqttLink.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <QFile>

#include <chrono>
#include <cstring>
#include <mutex>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttLink::MqttLink(const MqttConfig &config, const QByteArray &clientId, const MqttMessage &will,
                   const QList<QByteArray> &subscriptions, QObject *parent)
    : QObject(parent), config(config), subscriptions(subscriptions)
{
    initLibrary();
    wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    mosq = mosquitto_new(clientId.constData(), true, this);
    // MQTT 5 for the user property that numbers the state messages.
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_connect_v5_callback_set(mosq, &MqttLink::onConnect);
    mosquitto_publish_v5_callback_set(mosq, &MqttLink::onPublish);
    mosquitto_message_v5_callback_set(mosq, &MqttLink::onMessage);
    setWill(will);
    if (!config.user.isEmpty())
        mosquitto_username_pw_set(mosq, config.user.toUtf8().constData(),
                                  config.password.isEmpty() ? nullptr : config.password.toUtf8().constData());
    if (config.tls) {
        if (config.caFile.isEmpty())
            mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            mosquitto_tls_set(mosq, QFile::encodeName(config.caFile).constData(), nullptr, nullptr, nullptr, nullptr);
    }
}

MqttLink::~MqttLink()
{
    stop(MqttMessage(), 0);
    mosquitto_destroy(mosq);
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void MqttLink::setWill(const MqttMessage &will)
{
    mosquitto_will_set_v5(mosq, will.topic.constData(), will.payload.size(), will.payload.constData(), will.qos,
                          will.retain, nullptr);
}

void MqttLink::setWillPerConnection(std::function<MqttMessage()> next, std::function<void()> accepted)
{
    nextWill = std::move(next);
    willAccepted = std::move(accepted);
}

void MqttLink::start()
{
    if (!thread.joinable())
        thread = std::thread([this] { run(); });
}

void MqttLink::stop(const MqttMessage &last, int timeoutMs)
{
    if (!thread.joinable())
        return;
    lastMessage = last;
    lastTimeoutMs = timeoutMs;
    stopping = true;
    wake();
    thread.join();
}

void MqttLink::wake()
{
    const uint64_t one = 1;
    if (wakeFd >= 0 && ::write(wakeFd, &one, sizeof one) < 0) {
        // Full only when the thread is already due to look.
    }
}

QString MqttLink::errorText(int rc) const
{
    if (!refusal.isEmpty())
        return refusal;
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_NO_CONN)
        return QStringLiteral("the broker closed the connection");
    return QString::fromUtf8(mosquitto_strerror(rc));
}

void MqttLink::run()
{
    int retryMs = FirstRetryMs;
    qint64 nextAttempt = 0;
    qint64 connectDeadline = 0;
    bool first = true;
    while (!stopping) {
        if (phase == Phase::Idle) {
            const qint64 now = steadyMs();
            if (now < nextAttempt) {
                waitForWake(int(nextAttempt - now));
                continue;
            }
            refusal.clear();
            if (nextWill)
                setWill(nextWill());
            const QByteArray host = config.host.toUtf8();
            const int rc = first ? mosquitto_connect_async(mosq, host.constData(), config.port, KeepAliveS)
                                 : mosquitto_reconnect_async(mosq);
            first = false;
            if (rc != MOSQ_ERR_SUCCESS) {
                emit connectFailed(errorText(rc));
                nextAttempt = steadyMs() + retryMs;
                retryMs = qMin(retryMs * 2, LastRetryMs);
                continue;
            }
            phase = Phase::Connecting;
            connectDeadline = steadyMs() + ConnectTimeoutMs;
        }
        if (phase == Phase::Up)
            pump();
        QString reason;
        const bool wasUp = phase == Phase::Up;
        bool alive = turn(1000, reason);
        if (alive && phase == Phase::Connecting && steadyMs() >= connectDeadline) {
            alive = false;
            reason = QStringLiteral("no answer from the broker");
        }
        if (alive)
            continue;
        // The next attempt replaces the socket; until then it is left alone.
        phase = Phase::Idle;
        if (wasUp) {
            emit connectionLost(reason);
            retryMs = FirstRetryMs;
        } else {
            emit connectFailed(reason);
        }
        nextAttempt = steadyMs() + retryMs;
        retryMs = qMin(retryMs * 2, LastRetryMs);
    }
    finish();
}

void MqttLink::waitForWake(int timeoutMs)
{
    pollfd fd = {wakeFd, POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs) > 0) {
        uint64_t count = 0;
        if (::read(wakeFd, &count, sizeof count) < 0) {
            // Nothing to take: another turn looks again.
        }
    }
}

bool MqttLink::turn(int timeoutMs, QString &reason)
{
    const int socket = mosquitto_socket(mosq);
    if (socket < 0) {
        reason = errorText(MOSQ_ERR_NO_CONN);
        return false;
    }
    pollfd fds[2] = {{socket, short(POLLIN | (mosquitto_want_write(mosq) ? POLLOUT : 0)), 0}, {wakeFd, POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) < 0 && errno != EINTR) {
        reason = errorText(MOSQ_ERR_ERRNO);
        return false;
    }
    if (fds[1].revents & POLLIN) {
        uint64_t count = 0;
        if (::read(wakeFd, &count, sizeof count) < 0) {
            // Nothing to take: this turn looks anyway.
        }
    }
    int rc = MOSQ_ERR_SUCCESS;
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
        rc = mosquitto_loop_read(mosq, 1);
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq) >= 0 && (fds[0].revents & POLLOUT))
        rc = mosquitto_loop_write(mosq, 1);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_loop_misc(mosq);
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq) >= 0 && (fds[0].revents & (POLLERR | POLLHUP))) {
        // A TLS handshake on a socket whose connection failed reads as
        // "try again" to libmosquitto, which would spin until the timeout.
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size);
        reason = error ? QString::fromLocal8Bit(std::strerror(error)) : errorText(MOSQ_ERR_CONN_LOST);
        return false;
    }
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq) >= 0)
        return true;
    reason = errorText(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc);
    return false;
}

void MqttLink::pump()
{
    // A message goes only when libmosquitto has written all before it: what
    // the socket cannot take yet waits in the outbox, where a newer state
    // still replaces it.
    MqttMessage message;
    while (!mosquitto_want_write(mosq) && box.take(message, int(unacknowledged.size()) < MaxUnacknowledged)) {
        if (publish(message) != MOSQ_ERR_SUCCESS)
            break;
    }
}

int MqttLink::publish(const MqttMessage &message, int *mid)
{
    mosquitto_property *properties = nullptr;
    if (message.seq >= 0)
        mosquitto_property_add_string_pair(&properties, MQTT_PROP_USER_PROPERTY, "seq",
                                           QByteArray::number(message.seq).constData());
    int id = 0;
    const int rc = mosquitto_publish_v5(mosq, &id, message.topic.constData(), message.payload.size(),
                                        message.payload.constData(), message.qos, message.retain, properties);
    mosquitto_property_free_all(&properties);
    if (rc == MOSQ_ERR_SUCCESS && message.qos > 0)
        unacknowledged.insert(id);
    if (rc == MOSQ_ERR_SUCCESS && message.seq >= 0)
        ++states;
    if (mid)
        *mid = id;
    return rc;
}

void MqttLink::finish()
{
    if (phase != Phase::Up)
        return;
    // What waits goes first (the last messages of a protocol, retained
    // ones cleared), as far as the time allows.
    const qint64 deadline = steadyMs() + lastTimeoutMs;
    QString reason;
    for (;;) {
        pump();
        if (!box.pending() && !mosquitto_want_write(mosq))
            break;
        if (steadyMs() >= deadline)
            break;
        if (!turn(int(qMax<qint64>(1, deadline - steadyMs())), reason))
            return;
    }
    int mid = 0;
    if (!lastMessage.topic.isEmpty() && publish(lastMessage, &mid) == MOSQ_ERR_SUCCESS) {
        while (lastMessage.qos > 0 && unacknowledged.count(mid) && steadyMs() < deadline)
            if (!turn(int(qMax<qint64>(1, deadline - steadyMs())), reason))
                return;
    }
    mosquitto_disconnect(mosq);
    phase = Phase::Idle;
}

void MqttLink::onConnect(mosquitto *, void *self, int rc, int, const mqtt5__property *)
{
    auto *link = static_cast<MqttLink *>(self);
    if (rc != 0) {
        link->refusal =
            QStringLiteral("the broker refused the connection: %1").arg(QString::fromUtf8(mosquitto_reason_string(rc)));
        return;
    }
    link->phase = Phase::Up;
    // A new session: acknowledgements of the old one may never come.
    link->unacknowledged.clear();
    link->box.retainAgain();
    if (link->holdSessions)
        link->box.hold();
    if (link->willAccepted)
        link->willAccepted();
    for (const QByteArray &topic : link->subscriptions)
        mosquitto_subscribe_v5(link->mosq, nullptr, topic.constData(), 1, 0, nullptr);
    emit link->connected();
}

void MqttLink::onPublish(mosquitto *, void *self, int mid, int, const mqtt5__property *)
{
    static_cast<MqttLink *>(self)->unacknowledged.erase(mid);
}

void MqttLink::onMessage(mosquitto *, void *self, const mosquitto_message *message, const mqtt5__property *)
{
    auto *link = static_cast<MqttLink *>(self);
    if (link->incoming >= MaxIncoming) {
        ++link->incomingDropped;
        return;
    }
    ++link->incoming;
    emit link->received(QByteArray(message->topic), QByteArray(static_cast<const char *>(message->payload),
                                                               qMin(message->payloadlen, MaxPayloadSeen)));
}
