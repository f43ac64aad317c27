#pragma once

// What the MQTT tests and the benchmark share: Debian's mosquitto broker on
// a free localhost port with a configuration written for it, a subscriber
// that records what it receives, and torvan60ctl serve as a child process.
// Every wait is for something to happen, with a generous deadline.
//
// A part of the rig that does not come up says why in the test's output (a
// warning) and returns false, which the test checks: a missing broker or a
// subscription the broker never granted fails the test where it happened,
// not as a wait for messages that could never come.

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

struct mosquitto;
struct mosquitto_message;
struct mqtt5__property;

namespace MqttRig {

// Where CI and a developer's machine are loaded: waits end on what they wait
// for, and only a fault lets them run out.
constexpr int DeadlineMs = 60000;

// The broker's executable, or empty when mosquitto is not installed.
QString brokerProgram();

// The main() of a test that needs the broker: its application, and the
// test skipped (exit code 77, as CTest is told) where mosquitto is missing;
// otherwise its rows run side by side (tests/support/TestLanes.h).
int runWithBroker(QObject &test, int argc, char *argv[]);

// A port nobody listens on now.
int freePort();

// Waits, serving events, until done() holds or timeoutMs pass.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = DeadlineMs);

// A mosquitto of its own: anonymous clients on 127.0.0.1, no persistence,
// so a restart forgets the retained messages.
class Broker
{
public:
    Broker() : port(freePort()), portOfItsOwn(true) {}
    explicit Broker(int port) : port(port) {}
    ~Broker() { stop(); }
    // extra: configuration lines after the listener (it replaces
    // "allow_anonymous true" when it says allow_anonymous itself).
    // A port the broker picked itself that another program took in the
    // meantime (tests run side by side) is given up for another free one,
    // on the first start only: later ones keep the port its clients know.
    [[nodiscard]] bool start(const QByteArray &extra = QByteArray());
    void stop();
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port); }
    QString dir() const { return folder.path(); }

    // Read it after the first start, which may change it.
    int port;

private:
    enum class Start { Listening, PortTaken, Failed };
    Start startOnce(const QByteArray &extra);

    const bool portOfItsOwn = false;
    bool startedBefore = false;
    QTemporaryDir folder;
    QProcess process;
};

// A listener that takes connections and closes them at once, as a broker
// that is going away does: it counts the attempts to connect.
class Refuser
{
public:
    explicit Refuser(int port);
    ~Refuser();
    [[nodiscard]] bool listening() const { return fd >= 0; }
    // Takes the attempts that wait; the count so far.
    int attempts();

private:
    int fd = -1;
    int count = 0;
};

struct Message
{
    QByteArray topic;
    QByteArray payload;
    bool retained = false;
    qint64 seq = -1; // the user property "seq", when there is one
    qint64 atMs = 0; // when it came, on the subscriber's clock
    QJsonObject json() const { return QJsonDocument::fromJson(payload).object(); }
};

// A subscriber (MQTT 5) on its own network thread.
class Watcher
{
public:
    Watcher();
    ~Watcher();
    // Connected and subscribed: messages published from now on come in.
    [[nodiscard]] bool connect(int port, const QByteArray &filter);
    [[nodiscard]] bool publish(const QByteArray &topic, const QByteArray &payload);

    std::vector<Message> messages(const QByteArray &topic) const;
    std::vector<Message> all() const;
    int count(const QByteArray &topic) const { return int(messages(topic).size()); }
    // The first message on topic (after index from) that match accepts.
    bool waitFor(const QByteArray &topic, const std::function<bool(const Message &)> &match, Message *found = nullptr,
                 int timeoutMs = DeadlineMs);

private:
    static void onConnect(mosquitto *, void *self, int rc, int flags, const mqtt5__property *);
    static void onSubscribe(mosquitto *, void *self, int mid, int count, const int *granted, const mqtt5__property *);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message, const mqtt5__property *properties);

    mosquitto *mosq = nullptr;
    QByteArray filter;
    mutable std::mutex mutex;
    std::vector<Message> received;
    QElapsedTimer clock;
    bool started = false;
    // Set on the network thread: how the broker answered the connection
    // (-1 until it did) and the subscription.
    enum class Subscription { Pending, Granted, Refused };
    std::atomic<int> connectRc{-1};
    std::atomic<Subscription> subscription{Subscription::Pending};
};

// torvan60ctl with the given arguments, its stderr (the event log) kept.
// Its state (the Sparkplug bdSeq) goes in stateDir, a folder of its own
// when none is given.
class Serve
{
public:
    explicit Serve(const QStringList &args, const QString &stateDir = QString());
    ~Serve();
    QString log();
    bool waitForLog(const QString &text, int timeoutMs = DeadlineMs);
    int logCount(const QString &text) { return log().count(text); }
    bool running() const { return process.state() == QProcess::Running; }
    qint64 pid() const { return process.processId(); }
    void kill() { process.kill(); }
    // SIGTERM and the exit code, -1 when it did not end in time.
    int terminate();

    QProcess process;

private:
    QString text;
    // Its local socket goes in a folder of its own, apart from other tests'.
    QTemporaryDir runtime;
};

} // namespace MqttRig
