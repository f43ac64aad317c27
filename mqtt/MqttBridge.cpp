#include "mqtt/MqttBridge.h"

#include "device/StatusTexts.h"
#include "device/TorvanDRV.h"
#include "log/Logger.h"
#include "mqtt/MqttLink.h"
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
    : QObject(parent), config(config), serial(serial), base((config.prefix + QLatin1Char('/') + serial).toUtf8() + '/'),
      service(service), drv(drv), presence(presence), wallClock(wallClock), logger(logger)
{
    program = QStringLiteral("MQTT ") + config.url;
    // Never empty, so that the service limits this client: with nothing
    // named, only hello (which the service always takes) is left.
    allowed = config.allowed;
    allowed.insert(QStringLiteral("hello"));

    const QByteArray clientId =
        QStringLiteral("torvan60ctl-%1-%2").arg(serial).arg(QCoreApplication::applicationPid()).toUtf8();
    link = std::make_unique<MqttLink>(config, clientId, message(topic("online"), "false", 1, true), topic("cmd"));
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
            log(QString::fromLatin1(what).arg(this->config.url, reason));
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

    stateTimer.setTimerType(Qt::PreciseTimer);
    stateTimer.setInterval(qMax(1, int(std::lround(1000.0 / config.rate))));
    connect(&stateTimer, &QTimer::timeout, this, &MqttBridge::publishState);
}

MqttBridge::~MqttBridge()
{
    service.detach(this);
    stateTimer.stop();
    link->stop(message(topic("online"), "false", 1, true), StopTimeoutMs);
    if (everConnected)
        log(QStringLiteral("MQTT disconnected from %1 after %2 state messages")
                .arg(config.url)
                .arg(link->statesPublished()));
}

void MqttBridge::start()
{
    updateIdentity();
    service.attach(this);
    stateTimer.start();
    link->start();
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
    link->wake();
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

void MqttBridge::onReceived(const QByteArray &payload)
{
    link->incomingTaken();
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
    // A stop always gets through, up to a limit of its own.
    const bool stop = request.method == QLatin1String("stop");
    if (int(pending.size()) >= (stop ? 2 * MaxPending : MaxPending)) {
        if (!request.notification)
            publishReply(Rpc::error(request.id, Rpc::Refused,
                                    QStringLiteral("too many requests waiting over MQTT; send fewer at once")));
        return;
    }
    Pending entry;
    entry.id = ++nextId;
    entry.clientId = request.id;
    entry.notification = request.notification;
    entry.method = request.method;
    entry.params = request.params;
    pending.push_back(entry);
    service.receive(this, Rpc::request(double(entry.id), request.method, request.params));
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
