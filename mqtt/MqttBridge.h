#pragma once

#include "mqtt/MqttConfig.h"
#include "record/WallClock.h"
#include "service/Rpc.h"
#include "service/ServicePeer.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>

class BoardPresence;
class BoardService;
class Logger;
class MqttLink;
class SparkplugNode;
class TorvanDRV;
namespace Sparkplug {
struct Command;
}

// Publishes the held board to an MQTT broker (docs/mqtt.md) and takes the
// board service's requests from it: <prefix>/<serial>/online, identity,
// state, event, cmd and reply. It lives on the holder's thread and touches
// the device object and the service only there; the network is the link's
// thread's business, so the board's loop never waits for the broker.
//
// Over MQTT the bridge is one client of the service, limited to the methods
// the configuration allows (none unless named; never firmware.update). Each
// request is passed on under an id of the bridge's own, so that any number
// of MQTT clients may use any ids, and requests without an id are bounded
// like the others.
class MqttBridge : public QObject, public ServicePeer
{
    Q_OBJECT
public:
    MqttBridge(const MqttConfig &config, const QString &serial, BoardService &service, TorvanDRV &drv,
               BoardPresence &presence, const WallClock &wallClock, Logger *logger, QObject *parent = nullptr);
    // Says offline (retained) and disconnects, waiting for the broker at
    // most StopTimeoutMs: the holder's loop has ended by then.
    ~MqttBridge() override;

    // Requests passed to the service and not answered yet, at most.
    static constexpr int MaxPending = 64;
    static constexpr int StopTimeoutMs = 2000;

    // What must be had before start(): the Sparkplug node's bdSeq file.
    // False with error set when it cannot be.
    bool open(QString &error);
    void start();
    // ServicePeer: the service's answers, sent to the reply topic.
    void send(const QByteArray &line) override;

    QByteArray topic(const char *leaf) const;

private:
    struct Pending
    {
        qint64 id = 0; // the bridge's
        Rpc::Id clientId;
        bool notification = false;
        QString method;
        QJsonObject params;
        bool sparkplug = false; // a DCMD's
    };

    void onReceived(const QByteArray &topic, const QByteArray &payload);
    void onRequest(const QByteArray &payload);
    bool roomFor(const QString &method) const;
    // Passes a request on to the service under an id of the bridge's.
    void submit(const QString &method, const QJsonObject &params, const Rpc::Id &clientId, bool notification,
                bool sparkplug = false);
    void submitSparkplug(const Sparkplug::Command &command);
    void publishDiscovery();
    void removeDiscovery();
    void onLiveReport();
    void publishState();
    void updateIdentity();
    void publishEvent(const QString &event, QJsonObject fields = QJsonObject());
    void publishReply(const QByteArray &line);
    void publishKept(const char *leaf, const QByteArray &payload);
    void reportDrops();
    void log(const QString &text) const;

    const MqttConfig config;
    const QString serial;
    const QByteArray base; // "<prefix>/<serial>/"
    BoardService &service;
    TorvanDRV &drv;
    BoardPresence &presence;
    const WallClock &wallClock;
    Logger *logger;
    std::unique_ptr<MqttLink> link;
    std::unique_ptr<SparkplugNode> sparkplug;
    QList<QByteArray> discoveryTopics; // published and not removed yet

    QTimer stateTimer;
    bool reportSinceState = false;
    WallTime reportTime;
    qint64 stateSeq = 0;
    bool faultsKnown = false;
    int faults = 0;
    QJsonObject identity;

    std::deque<Pending> pending;
    qint64 nextId = 0;

    bool everConnected = false;
    bool outage = false;
    int keptDropped = 0;
    int incomingDropped = 0;
};
