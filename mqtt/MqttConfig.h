#pragma once

#include <QSet>
#include <QString>

// Where and how torvan60ctl serve publishes its board to an MQTT broker
// (docs/mqtt.md): read from the command line and checked before anything
// connects, so a wrong value is a usage error and never a retry loop.
struct MqttConfig
{
    QString url; // as given, for the log
    QString host;
    int port = 1883;
    bool tls = false;
    QString prefix = QStringLiteral("torvan60");
    double rate = 10.0; // state messages per second
    // The methods a client may call over MQTT: none unless named.
    QSet<QString> allowed;
    QString user; // empty: no credentials
    QString password;
    QString caFile; // empty: the system's store (mqtts only)
    // Home Assistant's discovery prefix; empty: no discovery configs.
    QString discoveryPrefix;
    // The Sparkplug B group and edge node; an empty group: no Sparkplug.
    QString sparkplugGroup;
    QString sparkplugEdge;

    static constexpr int DefaultPort = 1883;
    static constexpr int DefaultTlsPort = 8883;
    static constexpr double MaxRate = 100.0;
    static constexpr double MinRate = 0.01;
    // A credentials file is a few short lines; anything larger is not one.
    static constexpr qint64 MaxCredentialsBytes = 4096;
};

// Each reads one option into config; an empty text on success, else what is
// wrong with it, in words for a usage error.
namespace MqttOptions {

// mqtt://host[:port] or mqtts://host[:port]; IPv6 hosts in brackets.
QString parseUrl(const QString &url, MqttConfig &config);
// Topic level(s) without wildcards, empty levels or a leading "$".
QString parsePrefix(const QString &prefix, MqttConfig &config);
// Messages per second, MinRate to MaxRate.
QString parseRate(const QString &text, MqttConfig &config);
// Comma-separated method names of the board's service; firmware.update is
// never allowed over the network.
QString parseAllowList(const QString &list, MqttConfig &config);
// "user=NAME" and "password=SECRET" lines ("#" comments and blank lines are
// skipped); the file must not be readable by group or others.
QString readCredentials(const QString &fileName, MqttConfig &config);
// A readable file of CA certificates (PEM).
QString checkCaFile(const QString &fileName, MqttConfig &config);
// Home Assistant's discovery prefix: one or more topic levels, as the
// topics' prefix.
QString parseDiscoveryPrefix(const QString &prefix, MqttConfig &config);
// GROUP or GROUP/EDGE: each one topic level without wildcards; the edge
// node defaults to hostName.
QString parseSparkplug(const QString &text, MqttConfig &config, const QString &hostName);

} // namespace MqttOptions

namespace MqttTopics {

// A board's serial as one topic level: the board names itself, so a "/", a
// wildcard, a control character or a leading "$" (the broker's topics)
// becomes "_", and an empty serial is "_". The payloads keep the serial as
// the board tells it.
QString level(const QString &serial);

} // namespace MqttTopics
