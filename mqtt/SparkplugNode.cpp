#include "mqtt/SparkplugNode.h"

#include "device/TorvanDRV.h"
#include "log/LogText.h"
#include "mqtt/MqttLink.h"
#include "service/BoardPresence.h"
#include "service/Rpc.h"
#include "service/StatusJson.h"

#include <QCoreApplication>
#include <QJsonArray>

using namespace Sparkplug;

namespace {

constexpr qint64 RebirthAlias = 1;

Metric metric(const char *name, qint64 alias, DataType type, const QVariant &value)
{
    Metric m;
    m.name = QString::fromUtf8(name);
    m.alias = alias;
    m.type = type;
    m.value = value;
    return m;
}

} // namespace

SparkplugNode::SparkplugNode(const MqttConfig &config, const QString &serial, TorvanDRV &drv, BoardPresence &presence,
                             const WallClock &wallClock, Hooks hooks, QObject *parent)
    : QObject(parent), config(config), deviceId(MqttTopics::level(serial)), drv(drv), presence(presence),
      wallClock(wallClock), hooks(std::move(hooks)), bdSeq(config.sparkplugGroup, config.sparkplugEdge)
{}

SparkplugNode::~SparkplugNode()
{
    if (!link)
        return;
    // A clean goodbye brings no will: the deaths are said in so many words.
    if (sessionUp && deviceBorn)
        put(deviceDeath());
    link->stop(nodeDeath(bdSeq.current()), 2000);
}

bool SparkplugNode::open(QString &error)
{
    QString note;
    if (!bdSeq.open(error, note))
        return false;
    if (!note.isEmpty())
        hooks.log(note);
    return true;
}

QByteArray SparkplugNode::topic(const char *type, bool device) const
{
    QString t =
        QStringLiteral("spBv1.0/%1/%2/%3").arg(config.sparkplugGroup, QLatin1String(type), config.sparkplugEdge);
    if (device)
        t += QLatin1Char('/') + deviceId;
    return t.toUtf8();
}

void SparkplugNode::start()
{
    const QByteArray clientId =
        QStringLiteral("torvan60ctl-spb-%1-%2").arg(deviceId).arg(QCoreApplication::applicationPid()).toUtf8();
    link = std::make_unique<MqttLink>(config, clientId, nodeDeath(bdSeq.next()),
                                      QList<QByteArray>{topic("NCMD", false), topic("DCMD", true)});
    link->setWillPerConnection([this] { return nodeDeath(bdSeq.next()); }, [this] { bdSeq.used(); });
    link->holdEachSession();
    connect(link.get(), &MqttLink::connected, this, &SparkplugNode::onConnected, Qt::QueuedConnection);
    connect(
        link.get(), &MqttLink::connectionLost, this, [this] { sessionUp = false; }, Qt::QueuedConnection);
    connect(link.get(), &MqttLink::received, this, &SparkplugNode::onReceived, Qt::QueuedConnection);
    connect(&presence, &BoardPresence::arrived, this, [this] {
        if (sessionUp)
            put(deviceBirth());
    });
    connect(&presence, &BoardPresence::left, this, [this] {
        if (sessionUp && deviceBorn)
            put(deviceDeath());
    });
    link->start();
}

// ---------------------------------------------------------------------------
// Out

MqttMessage SparkplugNode::message(const char *type, bool device, Payload payload, int qos)
{
    payload.timestampMs = wallClock.now().msSinceEpoch;
    payload.seq = nextSeq;
    nextSeq = (nextSeq + 1) % 256;
    MqttMessage m;
    m.topic = topic(type, device);
    m.payload = encode(payload);
    m.qos = qos;
    return m;
}

MqttMessage SparkplugNode::nodeDeath(int number) const
{
    // Also made on the link's thread, for each connection's will: the
    // system's clock, which any thread may read.
    Payload payload;
    payload.timestampMs = QDateTime::currentMSecsSinceEpoch();
    payload.metrics.push_back(metric(BdSeqMetric, -1, DataType::Int64, qint64(qMax(number, 0))));
    MqttMessage m;
    m.topic = topic("NDEATH", false);
    m.payload = encode(payload);
    m.qos = 1;
    return m;
}

MqttMessage SparkplugNode::nodeBirth()
{
    nextSeq = 0;
    Payload payload;
    payload.metrics.push_back(metric(BdSeqMetric, -1, DataType::Int64, qint64(bdSeq.current())));
    payload.metrics.push_back(metric(RebirthMetric, RebirthAlias, DataType::Boolean, false));
    return message("NBIRTH", false, payload);
}

MqttMessage SparkplugNode::deviceBirth()
{
    Payload payload;
    payload.metrics = deviceMetrics();
    for (const CommandMetric &command : commandMetrics()) {
        if (!config.allowed.contains(QLatin1String(command.method)))
            continue;
        payload.metrics.push_back(metric(command.name, command.alias, command.type,
                                         command.type == DataType::Boolean ? QVariant(false) : QVariant(qint64(0))));
    }
    sent = deviceMetrics();
    deviceBorn = true;
    return message("DBIRTH", true, payload);
}

MqttMessage SparkplugNode::deviceDeath()
{
    deviceBorn = false;
    return message("DDEATH", true, Payload());
}

std::vector<MqttMessage> SparkplugNode::births()
{
    std::vector<MqttMessage> list{nodeBirth()};
    deviceBorn = false;
    if (presence.isPresent())
        list.push_back(deviceBirth());
    return list;
}

std::vector<Metric> SparkplugNode::deviceMetrics() const
{
    // The values of the JSON state, rounded alike, so that both tell the
    // same; the board's identity beside them.
    const QJsonObject live = StatusJson::live(drv.RTData, WallTime());
    const QJsonObject inputs = live.value(QLatin1String("inputs")).toObject();
    const QJsonObject identity = StatusJson::identity(drv);
    auto number = [&](const char *key) { return live.value(QLatin1String(key)).toDouble(); };
    auto integer = [&](const char *key) { return qint64(live.value(QLatin1String(key)).toInt()); };
    QStringList faultTexts;
    for (const QJsonValue &text : live.value(QLatin1String("fault_texts")).toArray())
        faultTexts << text.toString();
    std::vector<Metric> list = {
        metric("Status/Voltage", 100, DataType::Double, number("voltage")),
        metric("Status/Temperature", 101, DataType::Double, number("temperature")),
        metric("Status/Current", 102, DataType::Double, number("current")),
        metric("Status/Position", 103, DataType::Int32, integer("position")),
        metric("Status/Speed", 104, DataType::Int32, integer("speed")),
        metric("Status/Driver state", 105, DataType::Int32, integer("driver_state")),
        metric("Status/Driver text", 106, DataType::String, live.value(QLatin1String("driver_text")).toString()),
        metric("Status/Mode", 107, DataType::Int32, integer("mode")),
        metric("Status/Faults", 108, DataType::UInt32, integer("faults")),
        metric("Status/Fault texts", 109, DataType::String, faultTexts.join(QLatin1Char('\n'))),
        metric("Identity/Name", 150, DataType::String, identity.value(QLatin1String("name")).toString()),
        metric("Identity/Product", 151, DataType::String, identity.value(QLatin1String("product")).toString()),
        metric("Identity/Firmware version", 152, DataType::String,
               identity.value(QLatin1String("application_version")).toString()),
        metric("Identity/Firmware", 153, DataType::String, identity.value(QLatin1String("firmware")).toString()),
    };
    static const char *const inputNames[] = {"bootloader_override", "sleep", "step", "dir", "bin1", "bin2",
                                             "end_switch"};
    qint64 alias = 120;
    for (const char *input : inputNames) {
        const QByteArray name = QByteArray("Inputs/") + input;
        list.push_back(
            metric(name.constData(), alias++, DataType::Boolean, inputs.value(QLatin1String(input)).toBool()));
    }
    return list;
}

void SparkplugNode::put(MqttMessage m)
{
    if (!link->outbox().putKept(std::move(m))) {
        // A gap in seq: the host asks for a rebirth, as it should.
        hooks.log(QStringLiteral("Sparkplug: a message was dropped, more waited than the broker took"));
    }
    link->wake();
}

void SparkplugNode::tick()
{
    // Only once the host has heard everything before: the changes wait and
    // add up meanwhile, with nothing lost and no gap in seq.
    if (!sessionUp || !deviceBorn || !presence.isPresent() || link->outbox().keptCount() > 0)
        return;
    const std::vector<Metric> now = deviceMetrics();
    Payload payload;
    for (size_t i = 0; i < now.size(); ++i) {
        if (i < sent.size() && now[i].value == sent[i].value)
            continue;
        Metric changed = now[i];
        changed.name.clear(); // the birth tied the alias to the name
        payload.metrics.push_back(changed);
    }
    if (payload.metrics.empty())
        return;
    sent = now;
    put(message("DDATA", true, payload));
}

void SparkplugNode::onConnected()
{
    sessionUp = true;
    link->outbox().startSession(births());
    link->wake();
}

// ---------------------------------------------------------------------------
// In

void SparkplugNode::refuse(const QString &what, const QString &why)
{
    hooks.log(
        QStringLiteral("Sparkplug command refused from %1: %2: %3").arg(config.url, what, LogText::escaped(why, 200)));
    hooks.event(QStringLiteral("command_failed"),
                {{QStringLiteral("source"), QStringLiteral("sparkplug")},
                 {QStringLiteral("message_type"), what},
                 {QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), Rpc::Refused},
                                                       {QStringLiteral("message"), LogText::escaped(why, 200)}}}});
}

void SparkplugNode::onReceived(const QByteArray &topicName, const QByteArray &payload)
{
    link->incomingTaken();
    CommandRead read;
    QString error;
    if (topicName == topic("NCMD", false)) {
        if (!readNodeCommand(payload, read, error))
            return refuse(QStringLiteral("NCMD"), error);
        for (const QString &why : read.refused)
            refuse(QStringLiteral("NCMD"), why);
        // While the session has not begun, its births are on their way.
        if (read.rebirth && sessionUp) {
            hooks.log(QStringLiteral("Sparkplug: rebirth asked for by a host"));
            for (MqttMessage &m : births())
                put(std::move(m));
        }
        return;
    }
    if (topicName != topic("DCMD", true))
        return;
    if (!readDeviceCommand(payload, read, error))
        return refuse(QStringLiteral("DCMD"), error);
    for (const QString &why : read.refused)
        refuse(QStringLiteral("DCMD"), why);
    for (const Command &command : read.commands)
        hooks.submit(command);
}
