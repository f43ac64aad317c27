#include "MqttRig.h"

#include <QCoreApplication>
#include <QFile>

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <arpa/inet.h>
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

namespace {

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
    stop();
    QByteArray config = "listener " + QByteArray::number(port) + " 127.0.0.1\npersistence false\n";
    if (!extra.contains("allow_anonymous"))
        config += "allow_anonymous true\n";
    // Started by root, mosquitto would become the user mosquitto, who may
    // not read the test's files.
    if (::geteuid() == 0)
        config += "user root\n";
    config += "log_dest file " + QFile::encodeName(folder.filePath(QStringLiteral("broker.log"))) + "\n";
    config += extra;
    const QString file = folder.filePath(QStringLiteral("mosquitto.conf"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(config) != config.size())
        return false;
    out.close();
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(brokerProgram(), {QStringLiteral("-c"), file});
    if (!process.waitForStarted())
        return false;
    return waitUntil([this] { return process.state() != QProcess::Running || accepting(port); }) &&
           process.state() == QProcess::Running;
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
    if (mosquitto_connect(mosq, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS)
        return false;
    started = mosquitto_loop_start(mosq) == MOSQ_ERR_SUCCESS;
    return started;
}

void Watcher::publish(const QByteArray &topic, const QByteArray &payload)
{
    mosquitto_publish_v5(mosq, nullptr, topic.constData(), payload.size(), payload.constData(), 1, false, nullptr);
}

void Watcher::onConnect(mosquitto *mosq, void *self, int rc, int, const mqtt5__property *)
{
    if (rc == 0)
        mosquitto_subscribe_v5(mosq, nullptr, static_cast<Watcher *>(self)->filter.constData(), 1, 0, nullptr);
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

Serve::Serve(const QStringList &args)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    process.setProcessEnvironment(environment);
    process.setProgram(QStringLiteral(TORVAN60CTL));
    process.setArguments(args);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
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
