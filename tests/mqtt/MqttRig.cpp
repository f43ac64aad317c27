#include "MqttRig.h"

#include "support/TestLanes.h"

#include <QCoreApplication>
#include <QFile>

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace MqttRig {

QString brokerProgram()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return found;
}

int runWithBroker(QObject &test, int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (brokerProgram().isEmpty()) {
        std::printf("SKIP: mosquitto is not installed (scripts/setup.sh installs it)\n");
        return 77;
    }
    // Every row waits for a broker and a holder in real time: the rows run
    // side by side, each in a process of its own.
    return TestLanes::exec(&test, argc, argv);
}

namespace {

// A part of the rig that did not come up: why, in the test's output, and
// false for the test to check.
bool failed(const QString &why)
{
    qWarning("%s", qPrintable(why));
    return false;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

sockaddr_in loopback(int port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    return address;
}

bool accepting(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    else
        failed(QStringLiteral("no free port on 127.0.0.1: %1").arg(systemError()));
    ::close(fd);
    return port;
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// ---------------------------------------------------------------------------

bool Broker::start(const QByteArray &extra)
{
    Start outcome = startOnce(extra);
    for (int tries = 1; outcome == Start::PortTaken && portOfItsOwn && !startedBefore && tries < 5; ++tries) {
        port = freePort();
        outcome = startOnce(extra);
    }
    if (outcome == Start::PortTaken)
        return failed(QStringLiteral("the broker's port %1 is taken by another program").arg(port));
    startedBefore = startedBefore || outcome == Start::Listening;
    return outcome == Start::Listening;
}

Broker::Start Broker::startOnce(const QByteArray &extra)
{
    stop();
    QByteArray config = "listener " + QByteArray::number(port) + " 127.0.0.1\npersistence false\n";
    if (!extra.contains("allow_anonymous"))
        config += "allow_anonymous true\n";
    // Started by root, mosquitto would become the user mosquitto, who may
    // not read the test's files.
    if (::geteuid() == 0)
        config += "user root\n";
    const QString logFile = folder.filePath(QStringLiteral("broker.log"));
    QFile::remove(logFile);
    config += "log_dest file " + QFile::encodeName(logFile) + "\n";
    config += extra;
    const QString file = folder.filePath(QStringLiteral("mosquitto.conf"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(config) != config.size()) {
        failed(QStringLiteral("cannot write %1: %2").arg(file, out.errorString()));
        return Start::Failed;
    }
    out.close();
    // What it says before its log file is open (a configuration it does
    // not take) goes to its standard error.
    const QString errors = folder.filePath(QStringLiteral("broker.err"));
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(errors);
    const QString program = brokerProgram();
    process.start(program, {QStringLiteral("-c"), file});
    if (!process.waitForStarted()) {
        failed(QStringLiteral("the broker \"%1\" did not start: %2").arg(program, process.errorString()));
        return Start::Failed;
    }
    if (!waitUntil([this] { return process.state() != QProcess::Running || accepting(port); })) {
        failed(QStringLiteral("the broker did not listen on port %1 in time").arg(port));
        return Start::Failed;
    }
    if (process.state() == QProcess::Running)
        return Start::Listening;
    const QByteArray said = readFile(errors) + '\n' + readFile(logFile);
    if (said.contains("Address already in use"))
        return Start::PortTaken;
    failed(QStringLiteral("the broker ended at its start (exit code %1):\n%2")
               .arg(process.exitCode())
               .arg(QString::fromLocal8Bit(said)));
    return Start::Failed;
}

void Broker::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
}

// ---------------------------------------------------------------------------

Refuser::Refuser(int port)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const sockaddr_in address = loopback(port);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        failed(QStringLiteral("cannot listen on port %1: %2").arg(port).arg(systemError()));
        ::close(fd);
        fd = -1;
    }
}

Refuser::~Refuser()
{
    attempts();
    if (fd >= 0)
        ::close(fd);
}

int Refuser::attempts()
{
    int client = -1;
    while (fd >= 0 && (client = ::accept(fd, nullptr, nullptr)) >= 0) {
        ++count;
        ::close(client);
    }
    return count;
}

// ---------------------------------------------------------------------------

Watcher::Watcher()
{
    mosquitto_lib_init();
    clock.start();
    mosq = mosquitto_new(nullptr, true, this);
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_connect_v5_callback_set(mosq, &Watcher::onConnect);
    mosquitto_subscribe_v5_callback_set(mosq, &Watcher::onSubscribe);
    mosquitto_message_v5_callback_set(mosq, &Watcher::onMessage);
}

Watcher::~Watcher()
{
    if (started) {
        mosquitto_disconnect(mosq);
        mosquitto_loop_stop(mosq, true);
    }
    mosquitto_destroy(mosq);
}

bool Watcher::connect(int port, const QByteArray &topicFilter)
{
    filter = topicFilter;
    const int rc = mosquitto_connect(mosq, "127.0.0.1", port, 60);
    if (rc != MOSQ_ERR_SUCCESS)
        return failed(QStringLiteral("the subscriber could not connect to port %1: %2")
                          .arg(port)
                          .arg(QString::fromUtf8(mosquitto_strerror(rc))));
    started = mosquitto_loop_start(mosq) == MOSQ_ERR_SUCCESS;
    if (!started)
        return failed(QStringLiteral("the subscriber's network thread did not start"));
    // What is published before the broker granted the subscription never
    // comes.
    if (!waitUntil([this] { return subscription != Subscription::Pending || connectRc > 0; }))
        return failed(QStringLiteral("the subscription to %1 did not come up in time (%2)")
                          .arg(QString::fromUtf8(filter),
                               connectRc < 0 ? QStringLiteral("the broker never answered the connection")
                                             : QStringLiteral("connected")));
    if (connectRc > 0)
        return failed(QStringLiteral("the broker refused the subscriber: %1")
                          .arg(QString::fromUtf8(mosquitto_reason_string(connectRc))));
    if (subscription == Subscription::Refused)
        return failed(QStringLiteral("the broker refused the subscription to %1").arg(QString::fromUtf8(filter)));
    return true;
}

bool Watcher::publish(const QByteArray &topic, const QByteArray &payload)
{
    const int rc =
        mosquitto_publish_v5(mosq, nullptr, topic.constData(), payload.size(), payload.constData(), 1, false, nullptr);
    if (rc != MOSQ_ERR_SUCCESS)
        return failed(QStringLiteral("the subscriber could not publish to %1: %2")
                          .arg(QString::fromUtf8(topic), QString::fromUtf8(mosquitto_strerror(rc))));
    return true;
}

void Watcher::onConnect(mosquitto *mosq, void *self, int rc, int, const mqtt5__property *)
{
    auto *watcher = static_cast<Watcher *>(self);
    watcher->connectRc = rc;
    if (rc != 0)
        return;
    const int sent = mosquitto_subscribe_v5(mosq, nullptr, watcher->filter.constData(), 1, 0, nullptr);
    if (sent != MOSQ_ERR_SUCCESS)
        watcher->subscription = Subscription::Refused;
}

void Watcher::onSubscribe(mosquitto *, void *self, int, int count, const int *granted, const mqtt5__property *)
{
    // A granted QoS of 0x80 or more is the broker's refusal.
    const bool refused = count < 1 || granted[0] >= 0x80;
    static_cast<Watcher *>(self)->subscription = refused ? Subscription::Refused : Subscription::Granted;
}

void Watcher::onMessage(mosquitto *, void *self, const mosquitto_message *message, const mqtt5__property *properties)
{
    auto *watcher = static_cast<Watcher *>(self);
    Message m;
    m.topic = message->topic;
    m.payload = QByteArray(static_cast<const char *>(message->payload), message->payloadlen);
    m.retained = message->retain;
    char *name = nullptr;
    char *value = nullptr;
    if (mosquitto_property_read_string_pair(properties, MQTT_PROP_USER_PROPERTY, &name, &value, false)) {
        if (qstrcmp(name, "seq") == 0)
            m.seq = QByteArray(value).toLongLong();
        free(name);
        free(value);
    }
    std::lock_guard<std::mutex> lock(watcher->mutex);
    m.atMs = watcher->clock.elapsed();
    watcher->received.push_back(m);
}

std::vector<Message> Watcher::messages(const QByteArray &topic) const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Message> result;
    for (const Message &m : received)
        if (m.topic == topic)
            result.push_back(m);
    return result;
}

std::vector<Message> Watcher::all() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

bool Watcher::waitFor(const QByteArray &topic, const std::function<bool(const Message &)> &match, Message *found,
                      int timeoutMs)
{
    return waitUntil(
        [&] {
            for (const Message &m : messages(topic)) {
                if (match(m)) {
                    if (found)
                        *found = m;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

// ---------------------------------------------------------------------------

Serve::Serve(const QStringList &args, const QString &stateDir)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("XDG_STATE_HOME"), stateDir.isEmpty() ? runtime.path() : stateDir);
    process.setProcessEnvironment(environment);
    process.setProgram(QStringLiteral(TORVAN60CTL));
    process.setArguments(args);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    if (!process.waitForStarted())
        failed(QStringLiteral("torvan60ctl did not start: %1").arg(process.errorString()));
}

Serve::~Serve()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

QString Serve::log()
{
    text += QString::fromUtf8(process.readAllStandardError());
    return text;
}

bool Serve::waitForLog(const QString &wanted, int timeoutMs)
{
    return waitUntil([&] { return log().contains(wanted) || process.state() == QProcess::NotRunning; }, timeoutMs) &&
           log().contains(wanted);
}

int Serve::terminate()
{
    process.terminate();
    if (!process.waitForFinished(DeadlineMs))
        return -1;
    log();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
}

} // namespace MqttRig
