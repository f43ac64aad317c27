#include "mqtt/MqttBridge.h"

#include "device/StatusTexts.h"
#include "device/TorvanDRV.h"
#include "log/LogText.h"
#include "log/Logger.h"
#include "mqtt/HaDiscovery.h"
#include "mqtt/MqttLink.h"
#include "mqtt/SparkplugNode.h"
#include "record/LiveCsv.h"
#include "service/BoardPresence.h"
#include "service/BoardService.h"
#include "service/Rpc.h"
#include "service/StatusJson.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

MqttMessage message(const QByteArray &topic, const QByteArray &payload, int qos, bool retain)
{
    MqttMessage m;
    m.topic = topic;
    m.payload = payload;
    m.qos = qos;
    m.retain = retain;
    return m;
}

} // namespace

MqttBridge::MqttBridge(const MqttConfig &config, const QString &serial, BoardService &service, TorvanDRV &drv,
                       BoardPresence &presence, const WallClock &wallClock, Logger *logger, QObject *parent)
    : QObject(parent), config(config), serial(serial),
      base((config.prefix + QLatin1Char('/') + MqttTopics::level(serial)).toUtf8() + '/'), service(service), drv(drv),
      presence(presence), wallClock(wallClock), logger(logger)
{
    program = QStringLiteral("MQTT ") + config.url;
    // Never empty, so that the service limits this client: with nothing
    // named, only hello (which the service always takes) is left.
    allowed = config.allowed;
    allowed.insert(QStringLiteral("hello"));
    // Whoever speaks on the broker, the client is the broker connection.
    renamable = false;

    const QByteArray clientId =
        QStringLiteral("torvan60ctl-%1-%2").arg(serial).arg(QCoreApplication::applicationPid()).toUtf8();
    QList<QByteArray> subscriptions{topic("cmd")};
    if (!config.discoveryPrefix.isEmpty())
        subscriptions << HaDiscovery::statusTopic(config.discoveryPrefix);
    link = std::make_unique<MqttLink>(config, clientId, message(topic("online"), "false", 1, true), subscriptions);
    link->outbox().putRetained(message(topic("online"), "true", 1, true));

    connect(link.get(), &MqttLink::received, this, &MqttBridge::onReceived, Qt::QueuedConnection);
    connect(
        link.get(), &MqttLink::connected, this,
        [this] {
            if (!everConnected)
                log(QStringLiteral("MQTT connected to %1, publishing board %2 under %3")
                        .arg(this->config.url, this->serial, QString::fromUtf8(base.chopped(1))));
            else if (outage)
                log(QStringLiteral("MQTT connected to %1 again").arg(this->config.url));
            everConnected = true;
            outage = false;
        },
        Qt::QueuedConnection);
    auto outageBegins = [this](const char *what) {
        return [this, what](const QString &reason) {
            if (outage)
                return;
            outage = true;
            log(QString::fromLatin1(what).arg(this->config.url, LogText::escaped(reason, 200)));
        };
    };
    connect(link.get(), &MqttLink::connectFailed, this,
            outageBegins("MQTT broker %1 not reachable (%2); trying again in the background"), Qt::QueuedConnection);
    connect(link.get(), &MqttLink::connectionLost, this,
            outageBegins("MQTT connection to %1 lost (%2); reconnecting in the background"), Qt::QueuedConnection);

    connect(&drv, &TorvanDRV::newRTDataAvailable, this, &MqttBridge::onLiveReport);
    connect(&drv, &TorvanDRV::newDriverInfoAvailable, this, &MqttBridge::updateIdentity);
    connect(&drv, &TorvanDRV::newDriverValuesAvailable, this, &MqttBridge::updateIdentity);
    connect(&presence, &BoardPresence::arrived, this, [this] {
        updateIdentity();
        publishEvent(QStringLiteral("board_back"));
    });
    connect(&presence, &BoardPresence::left, this, [this] {
        faultsKnown = false;
        reportSinceState = false;
        publishEvent(QStringLiteral("board_lost"));
    });

    if (!config.sparkplugGroup.isEmpty()) {
        SparkplugNode::Hooks hooks;
        hooks.submit = [this](const Sparkplug::Command &command) { submitSparkplug(command); };
        hooks.event = [this](const QString &event, const QJsonObject &fields) { publishEvent(event, fields); };
        hooks.log = [this](const QString &line) { log(line); };
        sparkplug = std::make_unique<SparkplugNode>(config, serial, drv, presence, wallClock, std::move(hooks));
    }

    stateTimer.setTimerType(Qt::PreciseTimer);
    stateTimer.setInterval(qMax(1, int(std::lround(1000.0 / config.rate))));
    connect(&stateTimer, &QTimer::timeout, this, &MqttBridge::publishState);
}

MqttBridge::~MqttBridge()
{
    service.detach(this);
    stateTimer.stop();
    sparkplug.reset();
    removeDiscovery();
    link->stop(message(topic("online"), "false", 1, true), StopTimeoutMs);
    if (everConnected)
        log(QStringLiteral("MQTT disconnected from %1 after %2 state messages")
                .arg(config.url)
                .arg(link->statesPublished()));
}

bool MqttBridge::open(QString &error)
{
    return !sparkplug || sparkplug->open(error);
}

void MqttBridge::start()
{
    updateIdentity();
    service.attach(this);
    stateTimer.start();
    link->start();
    if (sparkplug)
        sparkplug->start();
}

QByteArray MqttBridge::topic(const char *leaf) const
{
    return base + leaf;
}

void MqttBridge::log(const QString &text) const
{
    if (logger)
        logger->write(text);
}

// ---------------------------------------------------------------------------
// Out: state, identity, events

void MqttBridge::onLiveReport()
{
    // Disconnecting emits the signal too, with zeroed readings: no report.
    // Nor is a report of a board still being read in after it connected:
    // the state follows its identity out.
    if (!drv.IsConnected() || !presence.isPresent())
        return;
    reportTime = wallClock.now();
    reportSinceState = true;
    const int now = drv.RTData.FaultFlags;
    const int before = faultsKnown ? faults : 0;
    faults = now;
    faultsKnown = true;
    auto faultEvent = [&](const QString &event, int changed) {
        publishEvent(event, {{QStringLiteral("faults"), now},
                             {QStringLiteral("fault_texts"), QJsonArray::fromStringList(FaultTexts(now))},
                             {QStringLiteral("changed"), QJsonArray::fromStringList(FaultTexts(changed))}});
    };
    if (now & ~before)
        faultEvent(QStringLiteral("fault_raised"), now & ~before);
    if (before & ~now)
        faultEvent(QStringLiteral("fault_cleared"), before & ~now);
}

void MqttBridge::publishState()
{
    reportDrops();
    if (sparkplug)
        sparkplug->tick();
    if (!reportSinceState)
        return;
    reportSinceState = false;
    MqttMessage state = message(topic("state"), compact(StatusJson::live(drv.RTData, reportTime)), 0, false);
    state.seq = ++stateSeq;
    link->outbox().putState(std::move(state));
    link->wake();
}

void MqttBridge::updateIdentity()
{
    if (!presence.isPresent())
        return;
    const QJsonObject now = StatusJson::identity(drv);
    if (now == identity)
        return;
    identity = now;
    link->outbox().putRetained(message(topic("identity"), compact(now), 1, true));
    publishDiscovery();
    link->wake();
}

void MqttBridge::publishDiscovery()
{
    if (config.discoveryPrefix.isEmpty() || identity.isEmpty())
        return;
    HaDiscovery::Device device;
    device.serial = serial;
    device.name = identity.value(QLatin1String("name")).toString();
    device.model = identity.value(QLatin1String("product")).toString();
    device.firmware = identity.value(QLatin1String("application_version")).toString();
    device.manufacturer = drv.VendorString;
    discoveryTopics.clear();
    for (const HaDiscovery::Config &config :
         HaDiscovery::configs(this->config.discoveryPrefix, this->config.prefix, device, this->config.allowed)) {
        link->outbox().putRetained(message(config.topic, config.payload, 1, true));
        discoveryTopics << config.topic;
    }
    link->wake();
}

void MqttBridge::removeDiscovery()
{
    // The board is gone for good as far as this process knows: an empty
    // retained config takes each entity out of Home Assistant.
    for (const QByteArray &config : discoveryTopics)
        link->outbox().putRetained(message(config, QByteArray(), 1, true));
    discoveryTopics.clear();
}

void MqttBridge::publishEvent(const QString &event, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), event);
    fields.insert(QStringLiteral("time"), isoWallTime(wallClock.now()));
    publishKept("event", compact(fields));
}

void MqttBridge::publishReply(const QByteArray &line)
{
    publishKept("reply", line);
}

void MqttBridge::publishKept(const char *leaf, const QByteArray &payload)
{
    if (!link->outbox().putKept(message(topic(leaf), payload, 1, false)))
        ++keptDropped;
    link->wake();
}

void MqttBridge::reportDrops()
{
    keptDropped += link->outbox().takeDropped();
    if (keptDropped > 0 && link->outbox().keptCount() < MqttOutbox::MaxKept / 2) {
        log(QStringLiteral("MQTT: %1 events and replies dropped, more waited than the broker took").arg(keptDropped));
        keptDropped = 0;
    }
    incomingDropped += link->takeIncomingDropped();
    if (incomingDropped > 0) {
        log(QStringLiteral("MQTT: %1 requests dropped, they came faster than the board's loop took them")
                .arg(incomingDropped));
        incomingDropped = 0;
    }
}

// ---------------------------------------------------------------------------
// In: requests on cmd, answers on reply

void MqttBridge::onReceived(const QByteArray &topicName, const QByteArray &payload)
{
    link->incomingTaken();
    if (topicName == topic("cmd"))
        return onRequest(payload);
    // Home Assistant (re)started: it forgot what it was told, unless the
    // broker kept it.
    if (!config.discoveryPrefix.isEmpty() && topicName == HaDiscovery::statusTopic(config.discoveryPrefix) &&
        payload == "online")
        publishDiscovery();
}

void MqttBridge::onRequest(const QByteArray &payload)
{
    if (payload.size() > Rpc::MaxLineBytes)
        return publishReply(Rpc::error(Rpc::Id(), Rpc::InvalidRequest,
                                       QStringLiteral("invalid request: longer than %1 bytes").arg(Rpc::MaxLineBytes)));
    Rpc::Request request;
    QByteArray errorReply;
    if (!Rpc::parseRequest(payload, request, errorReply)) {
        if (!errorReply.isEmpty())
            publishReply(errorReply);
        return;
    }
    if (!roomFor(request.method)) {
        if (!request.notification)
            publishReply(Rpc::error(request.id, Rpc::Refused,
                                    QStringLiteral("too many requests waiting over MQTT; send fewer at once")));
        return;
    }
    submit(request.method, request.params, request.id, request.notification);
}

bool MqttBridge::roomFor(const QString &method) const
{
    // A stop always gets through, up to a limit of its own.
    const bool stop = method == QLatin1String("stop");
    return int(pending.size()) < (stop ? 2 * MaxPending : MaxPending);
}

void MqttBridge::submit(const QString &method, const QJsonObject &params, const Rpc::Id &clientId, bool notification,
                        bool sparkplug)
{
    Pending entry;
    entry.id = ++nextId;
    entry.clientId = clientId;
    entry.notification = notification;
    entry.method = method;
    entry.params = params;
    entry.sparkplug = sparkplug;
    pending.push_back(entry);
    service.receive(this, Rpc::request(double(entry.id), method, params));
}

void MqttBridge::submitSparkplug(const Sparkplug::Command &command)
{
    // Bounded as the JSON requests are; there is nobody to answer, the
    // event and the log say what came of it.
    if (!roomFor(command.method)) {
        log(QStringLiteral("Sparkplug command refused from %1: too many requests waiting").arg(config.url));
        return;
    }
    submit(command.method, command.params, Rpc::Id(), true, true);
}

void MqttBridge::send(const QByteArray &line)
{
    Rpc::Reply reply;
    QString method;
    QJsonObject params;
    // Notifications (live reports of a subscription) are the state topic's.
    if (!Rpc::parseIncoming(line, reply, method, params))
        return;
    const qint64 id = qint64(reply.id.toDouble(-1));
    auto found = pending.begin();
    while (found != pending.end() && found->id != id)
        ++found;
    if (found == pending.end())
        return;
    const Pending entry = *found;
    pending.erase(found);
    if (BoardService::changesBoard(entry.method)) {
        QJsonObject fields{{QStringLiteral("method"), entry.method}, {QStringLiteral("params"), entry.params}};
        if (entry.sparkplug)
            fields.insert(QStringLiteral("source"), QStringLiteral("sparkplug"));
        if (reply.ok)
            fields.insert(QStringLiteral("result"), reply.result);
        else
            fields.insert(QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), reply.code},
                                                               {QStringLiteral("message"), reply.message}});
        publishEvent(reply.ok ? QStringLiteral("command_done") : QStringLiteral("command_failed"), fields);
    }
    if (!entry.notification)
        publishReply(reply.ok ? Rpc::result(entry.clientId, reply.result)
                              : Rpc::error(entry.clientId, reply.code, reply.message));
}
