#include "mqtt/HaDiscovery.h"

#include "device/StatusTexts.h"
#include "mqtt/MqttConfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace HaDiscovery {

namespace {

// A topic level of the board for Home Assistant's node id, which takes
// letters, digits, "_" and "-" only.
QString nodeId(const QString &serial)
{
    QString id;
    for (const QChar c : serial)
        id += (c.isLetterOrNumber() && c.unicode() < 0x80) || c == QLatin1Char('-') ? c : QLatin1Char('_');
    return id;
}

struct Entity
{
    const char *component;
    const char *object;
    QJsonObject fields;
};

// The fault bits of the state's "faults", in the groups an operator tells
// apart: the driver's temperature, a channel's current, a channel's
// predriver, the supply.
struct FaultGroup
{
    const char *object;
    const char *name;
    int mask;
};
const FaultGroup faultGroups[] = {
    {"overtemperature", "Overtemperature", 0x01},
    {"overcurrent", "Overcurrent", 0x06},
    {"predriver_fault", "Predriver fault", 0x18},
    {"undervoltage", "Supply undervoltage", 0x20},
};

struct Button
{
    const char *method;
    const char *name;
    const char *icon;
};
const Button buttons[] = {
    {"stop", "Stop", "mdi:stop"},
    {"sleep", "Sleep", "mdi:sleep"},
    {"reset_faults", "Reset faults", "mdi:restore-alert"},
    {"home", "Home", "mdi:home-import-outline"},
};

QJsonObject measurement(const char *name, const char *key, const char *unit, const char *deviceClass = nullptr)
{
    QJsonObject fields{
        {QStringLiteral("name"), QLatin1String(name)},
        {QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(QLatin1String(key))},
        {QStringLiteral("unit_of_measurement"), QString::fromUtf8(unit)},
        {QStringLiteral("state_class"), QStringLiteral("measurement")}};
    if (deviceClass)
        fields.insert(QStringLiteral("device_class"), QLatin1String(deviceClass));
    return fields;
}

// A Jinja mapping from the state's code to its text, as the window shows it.
QString textTemplate(const char *key, const QStringList &texts, int first)
{
    QStringList entries;
    for (int i = 0; i < texts.size(); ++i)
        entries << QStringLiteral("%1: '%2'").arg(first + i).arg(texts.at(i));
    return QStringLiteral("{{ {%1}.get(value_json.%2, value_json.%2 | string) }}")
        .arg(entries.join(QStringLiteral(", ")), QLatin1String(key));
}

std::vector<Entity> entities(const QString &cmdTopic, const QSet<QString> &allowed)
{
    QStringList modes;
    for (int mode = 1; OperatingModeText(mode).size(); ++mode)
        modes << OperatingModeText(mode);
    std::vector<Entity> list = {
        {"sensor", "voltage", measurement("Supply voltage", "voltage", "V", "voltage")},
        {"sensor", "temperature", measurement("Temperature", "temperature", "°C", "temperature")},
        {"sensor", "current", measurement("Motor current", "current", "A", "current")},
        {"sensor", "position", measurement("Position", "position", "steps")},
        {"sensor", "speed", measurement("Speed", "speed", "steps/s")},
        {"sensor",
         "driver_state",
         {{QStringLiteral("name"), QStringLiteral("Driver state")},
          {QStringLiteral("value_template"), QStringLiteral("{{ value_json.driver_text }}")},
          {QStringLiteral("icon"), QStringLiteral("mdi:engine")}}},
        {"sensor",
         "mode",
         {{QStringLiteral("name"), QStringLiteral("Operating mode")},
          {QStringLiteral("value_template"), textTemplate("mode", modes, 1)},
          {QStringLiteral("icon"), QStringLiteral("mdi:cog")}}},
    };
    for (const FaultGroup &group : faultGroups)
        list.push_back(
            {"binary_sensor",
             group.object,
             {{QStringLiteral("name"), QLatin1String(group.name)},
              {QStringLiteral("device_class"), QStringLiteral("problem")},
              {QStringLiteral("value_template"),
               QStringLiteral("{{ 'ON' if value_json.faults | bitwise_and(%1) else 'OFF' }}").arg(group.mask)},
              {QStringLiteral("payload_on"), QStringLiteral("ON")},
              {QStringLiteral("payload_off"), QStringLiteral("OFF")}}});
    // Commands go as JSON-RPC notifications: done without an answer on the
    // reply topic, which nobody in Home Assistant reads.
    for (const Button &button : buttons) {
        if (!allowed.contains(QLatin1String(button.method)))
            continue;
        list.push_back({"button",
                        button.method,
                        {{QStringLiteral("name"), QLatin1String(button.name)},
                         {QStringLiteral("icon"), QLatin1String(button.icon)},
                         {QStringLiteral("command_topic"), cmdTopic},
                         {QStringLiteral("payload_press"),
                          QStringLiteral(R"({"jsonrpc":"2.0","method":"%1"})").arg(QLatin1String(button.method))}}});
    }
    if (allowed.contains(QStringLiteral("move")))
        list.push_back({"number",
                        "move",
                        {{QStringLiteral("name"), QStringLiteral("Target position")},
                         {QStringLiteral("icon"), QStringLiteral("mdi:target")},
                         {QStringLiteral("command_topic"), cmdTopic},
                         {QStringLiteral("command_template"),
                          QStringLiteral(R"({"jsonrpc":"2.0","method":"move","params":{"target":{{ value | int }}}})")},
                         {QStringLiteral("value_template"), QStringLiteral("{{ value_json.position }}")},
                         {QStringLiteral("min"), -2147483648.0},
                         {QStringLiteral("max"), 2147483647.0},
                         {QStringLiteral("step"), 1},
                         {QStringLiteral("mode"), QStringLiteral("box")},
                         {QStringLiteral("unit_of_measurement"), QStringLiteral("steps")}}});
    return list;
}

} // namespace

QByteArray statusTopic(const QString &discoveryPrefix)
{
    return (discoveryPrefix + QStringLiteral("/status")).toUtf8();
}

std::vector<Config> configs(const QString &discoveryPrefix, const QString &topicPrefix, const Device &device,
                            const QSet<QString> &allowed)
{
    const QString base = topicPrefix + QLatin1Char('/') + MqttTopics::level(device.serial) + QLatin1Char('/');
    const QString node = nodeId(device.serial);
    const QJsonObject deviceObject{
        {QStringLiteral("identifiers"), QJsonArray{device.serial}},
        {QStringLiteral("name"), device.name.isEmpty() ? device.serial : device.name},
        {QStringLiteral("model"), device.model},
        {QStringLiteral("manufacturer"), device.manufacturer},
        {QStringLiteral("sw_version"), device.firmware},
        {QStringLiteral("serial_number"), device.serial},
    };
    std::vector<Config> result;
    for (const Entity &entity : entities(base + QStringLiteral("cmd"), allowed)) {
        QJsonObject fields = entity.fields;
        const QString object = QLatin1String(entity.object);
        fields.insert(QStringLiteral("unique_id"), QStringLiteral("torvan60_%1_%2").arg(node, object));
        fields.insert(QStringLiteral("availability_topic"), base + QStringLiteral("online"));
        fields.insert(QStringLiteral("payload_available"), QStringLiteral("true"));
        fields.insert(QStringLiteral("payload_not_available"), QStringLiteral("false"));
        fields.insert(QStringLiteral("device"), deviceObject);
        fields.insert(QStringLiteral("origin"), QJsonObject{{QStringLiteral("name"), QStringLiteral("torvan60ctl")}});
        if (QLatin1String(entity.component) != QLatin1String("button"))
            fields.insert(QStringLiteral("state_topic"), base + QStringLiteral("state"));
        const QString topic =
            QStringLiteral("%1/%2/%3/%4/config").arg(discoveryPrefix, QLatin1String(entity.component), node, object);
        result.push_back({topic.toUtf8(), QJsonDocument(fields).toJson(QJsonDocument::Compact)});
    }
    return result;
}

} // namespace HaDiscovery
