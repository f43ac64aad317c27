#pragma once

#include "mqtt/BdSeqStore.h"
#include "mqtt/MqttConfig.h"
#include "mqtt/MqttOutbox.h"
#include "mqtt/sparkplug/SparkplugCommands.h"
#include "record/WallClock.h"

#include <QJsonObject>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class BoardPresence;
class Logger;
class MqttLink;
class TorvanDRV;

// The MQTT bridge as a Sparkplug B edge node (docs/mqtt.md), with the held
// board as its one device, named by its serial. A connection of its own,
// since the node's death certificate is that connection's will:
//
// - every connection's will is an NDEATH with the next bdSeq (BdSeqStore),
//   and the connection begins with the NBIRTH (seq 0, the same bdSeq) and
//   the board's DBIRTH, before anything else;
// - then every message carries seq, 0 to 255 and round again;
// - DDATA carries the board's metrics that changed, by alias, at most at the
//   state rate, and only once the one before it was taken: a slow broker
//   delays the changes, it never loses one or leaves a gap in seq;
// - the board leaving the bus brings a DDEATH, its return a new DBIRTH;
// - NCMD "Node Control/Rebirth" true brings NBIRTH and DBIRTH again;
// - DCMD command metrics become requests of the board's service, through
//   the bridge and its allow-list, as the JSON requests do.
//
// It lives on the holder's thread, as the bridge does.
class SparkplugNode : public QObject
{
    Q_OBJECT
public:
    struct Hooks
    {
        // A command for the board's service.
        std::function<void(const Sparkplug::Command &)> submit;
        // An event for the bridge's event topic.
        std::function<void(const QString &event, const QJsonObject &fields)> event;
        // A line for the event log.
        std::function<void(const QString &line)> log;
    };

    SparkplugNode(const MqttConfig &config, const QString &serial, TorvanDRV &drv, BoardPresence &presence,
                  const WallClock &wallClock, Hooks hooks, QObject *parent = nullptr);
    // The board's DDEATH and the node's NDEATH, then the link ends.
    ~SparkplugNode() override;

    // Takes the bdSeq file; false with error set when it cannot.
    bool open(QString &error);
    void start();
    // One turn of the state rate: the changes since the last DDATA.
    void tick();

    QByteArray topic(const char *type, bool device) const;

private:
    void onConnected();
    void onReceived(const QByteArray &topic, const QByteArray &payload);
    void refuse(const QString &what, const QString &why);
    // NBIRTH and, with the board there, its DBIRTH.
    std::vector<MqttMessage> births();
    MqttMessage nodeBirth();
    MqttMessage deviceBirth();
    MqttMessage deviceDeath();
    MqttMessage nodeDeath(int bdSeq) const;
    MqttMessage message(const char *type, bool device, Sparkplug::Payload payload, int qos = 0);
    std::vector<Sparkplug::Metric> deviceMetrics() const;
    void put(MqttMessage message);

    const MqttConfig config;
    const QString deviceId; // the board's serial as one topic level
    TorvanDRV &drv;
    BoardPresence &presence;
    const WallClock &wallClock;
    Hooks hooks;
    BdSeqStore bdSeq;
    std::unique_ptr<MqttLink> link;

    bool sessionUp = false;
    bool deviceBorn = false;
    int nextSeq = 0;
    // The board's metrics as the host last heard them, by alias.
    std::vector<Sparkplug::Metric> sent;
};
