#pragma once

#include "mqtt/MqttConfig.h"
#include "mqtt/MqttOutbox.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

struct mosquitto;
struct mosquitto_message;
struct mqtt5__property;

// The connection to the broker, on a thread of its own: it connects (again
// and again, with a growing pause, while the broker cannot be reached),
// publishes what the outbox holds, hands the retained messages again after
// every connection, and passes the messages of the subscribed topic on.
// Nothing here waits for the thread that puts into the outbox, and that
// thread never waits for the network: every libmosquitto call is made on the
// link's own thread, its socket non-blocking.
//
// The signals are emitted on the link's thread; connect them queued.
class MqttLink : public QObject
{
    Q_OBJECT
public:
    // will: published by the broker when the link dies without saying
    // goodbye; subscriptions: the topics whose messages come as received().
    MqttLink(const MqttConfig &config, const QByteArray &clientId, const MqttMessage &will,
             const QList<QByteArray> &subscriptions, QObject *parent = nullptr);
    ~MqttLink() override;

    // Pauses between attempts, doubling from the first up to the last.
    static constexpr int FirstRetryMs = 500;
    static constexpr int LastRetryMs = 30000;
    // A broker that accepts the connection but does not answer it.
    static constexpr int ConnectTimeoutMs = 10000;
    static constexpr int KeepAliveS = 30;
    // QoS 1 messages sent but not yet acknowledged.
    static constexpr int MaxUnacknowledged = 20;
    // Received messages handed on but not yet taken (incomingTaken()).
    static constexpr int MaxIncoming = 64;

    MqttOutbox &outbox() { return box; }
    // After putting into the outbox: the link's thread looks at it at once.
    void wake();
    // The receiver took a message of received().
    void incomingTaken() { --incoming; }
    // Received messages dropped since the last call, as the receiver fell
    // behind.
    int takeIncomingDropped() { return incomingDropped.exchange(0); }
    // State messages published so far.
    qint64 statesPublished() const { return states; }

    // For a protocol whose will changes with each connection (a number in
    // it): nextWill gives the will of the next attempt and accepted says
    // that the broker took the connection it was sent with; both are called
    // on the link's thread. Set before start().
    void setWillPerConnection(std::function<MqttMessage()> nextWill, std::function<void()> accepted);
    // For a protocol whose every connection begins with messages of its
    // own: from each connection on, the outbox's kept messages wait until
    // the receiver of connected() starts the session (MqttOutbox::
    // startSession). Set before start().
    void holdEachSession() { holdSessions = true; }

    void start();
    // Ends the link. When connected, last goes out first (the broker has
    // up to timeoutMs to take it), then a clean disconnect, which leaves
    // the will unsent.
    void stop(const MqttMessage &last, int timeoutMs);

signals:
    void connected();
    // A connection that was up is gone.
    void connectionLost(const QString &reason);
    // An attempt to connect failed.
    void connectFailed(const QString &reason);
    // A message of a subscribed topic; payloads longer than
    // MaxPayloadSeen come cut to that length (the receiver refuses them).
    void received(const QByteArray &topic, const QByteArray &payload);

public:
    static constexpr int MaxPayloadSeen = 64 * 1024 + 1;

private:
    enum class Phase { Idle, Connecting, Up };

    void run();
    // Publishes what may go now without queueing inside libmosquitto.
    void pump();
    int publish(const MqttMessage &message, int *mid = nullptr);
    void setWill(const MqttMessage &will);
    // One turn of the socket: waits up to timeoutMs for it or a wake-up.
    // False when the connection ended (reason set).
    bool turn(int timeoutMs, QString &reason);
    void waitForWake(int timeoutMs);
    void finish();
    QString errorText(int rc) const;

    static void onConnect(mosquitto *, void *self, int rc, int flags, const mqtt5__property *);
    static void onPublish(mosquitto *, void *self, int mid, int reason, const mqtt5__property *);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message, const mqtt5__property *);

    const MqttConfig config;
    const QList<QByteArray> subscriptions;
    std::function<MqttMessage()> nextWill;
    std::function<void()> willAccepted;
    bool holdSessions = false;
    mosquitto *mosq = nullptr;
    int wakeFd = -1;
    MqttOutbox box;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<int> incoming{0};
    std::atomic<int> incomingDropped{0};
    std::atomic<qint64> states{0};
    MqttMessage lastMessage;
    int lastTimeoutMs = 0;

    // The link's thread only.
    Phase phase = Phase::Idle;
    std::set<int> unacknowledged;
    QString refusal; // the broker's reason for refusing the connection
};
