#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <vector>

// Home Assistant's MQTT discovery for one board (docs/mqtt.md): the retained
// config messages that make it a device with its entities, every reading
// taken from the board's JSON state topic and every command sent as a
// request on its cmd topic.
namespace HaDiscovery {

// The board as Home Assistant shows the device.
struct Device
{
    QString serial;
    QString name; // the board's own name; may be empty
    QString model;
    QString firmware; // the application's version
    QString manufacturer;
};

struct Config
{
    QByteArray topic;
    QByteArray payload; // compact JSON
};

// discoveryPrefix: Home Assistant's ("homeassistant"); topicPrefix: the
// board's topics' (<topicPrefix>/<serial>/state ...). Commands are offered
// only where allowed names their method.
std::vector<Config> configs(const QString &discoveryPrefix, const QString &topicPrefix, const Device &device,
                            const QSet<QString> &allowed);

// The topic Home Assistant announces itself on ("online" when it starts).
QByteArray statusTopic(const QString &discoveryPrefix);

} // namespace HaDiscovery
