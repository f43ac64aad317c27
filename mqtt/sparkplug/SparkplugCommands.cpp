#include "mqtt/sparkplug/SparkplugCommands.h"

namespace Sparkplug {

namespace {

// A metric of a command names what it means by name, by alias or both;
// both must then agree.
template <typename Entry, typename NameOf, typename AliasOf>
const Entry *find(const std::vector<Entry> &table, const Metric &metric, NameOf nameOf, AliasOf aliasOf)
{
    for (const Entry &entry : table) {
        const bool nameMatches = metric.name.isEmpty() || metric.name == QLatin1String(nameOf(entry));
        const bool aliasMatches = metric.alias < 0 || metric.alias == aliasOf(entry);
        if (nameMatches && aliasMatches && (!metric.name.isEmpty() || metric.alias >= 0))
            return &entry;
    }
    return nullptr;
}

QString named(const Metric &metric)
{
    if (!metric.name.isEmpty())
        return QLatin1Char('"') + metric.name + QLatin1Char('"');
    return metric.alias >= 0 ? QStringLiteral("alias %1").arg(metric.alias) : QStringLiteral("a metric without name");
}

QString wrongType(const Metric &metric, DataType wanted)
{
    return QStringLiteral("%1: a %2 is written as %3, not %4")
        .arg(named(metric), metric.value.isValid() ? QStringLiteral("value") : QStringLiteral("null"), typeName(wanted),
             metric.value.isValid() ? typeName(metric.type) : QStringLiteral("null"));
}

} // namespace

const std::vector<CommandMetric> &commandMetrics()
{
    static const std::vector<CommandMetric> table = {
        {"Commands/stop", 200, DataType::Boolean, "stop", nullptr},
        {"Commands/sleep", 201, DataType::Boolean, "sleep", nullptr},
        {"Commands/enable", 202, DataType::Boolean, "enable", nullptr},
        {"Commands/reset_faults", 203, DataType::Boolean, "reset_faults", nullptr},
        {"Commands/home", 204, DataType::Boolean, "home", nullptr},
        {"Commands/move", 205, DataType::Int32, "move", "target"},
        {"Commands/run", 206, DataType::Int32, "run", "speed"},
    };
    return table;
}

bool readNodeCommand(const QByteArray &bytes, CommandRead &read, QString &error)
{
    read = CommandRead();
    Payload payload;
    if (!decode(bytes, payload, error))
        return false;
    struct Node
    {
        const char *name;
        qint64 alias;
    };
    static const std::vector<Node> node = {{RebirthMetric, 1}};
    for (const Metric &metric : payload.metrics) {
        if (!find(
                node, metric, [](const Node &n) { return n.name; }, [](const Node &n) { return n.alias; }))
            read.refused << QStringLiteral("%1: not a metric of the edge node that can be written").arg(named(metric));
        else if (metric.type != DataType::Boolean || !metric.value.isValid())
            read.refused << wrongType(metric, DataType::Boolean);
        else if (metric.value.toBool())
            read.rebirth = true;
    }
    return true;
}

bool readDeviceCommand(const QByteArray &bytes, CommandRead &read, QString &error)
{
    read = CommandRead();
    Payload payload;
    if (!decode(bytes, payload, error))
        return false;
    for (const Metric &metric : payload.metrics) {
        const CommandMetric *entry = find(
            commandMetrics(), metric, [](const CommandMetric &c) { return c.name; },
            [](const CommandMetric &c) { return c.alias; });
        if (!entry) {
            read.refused << QStringLiteral("%1: not a command metric of the board").arg(named(metric));
            continue;
        }
        if (metric.type != entry->type || !metric.value.isValid()) {
            read.refused << wrongType(metric, entry->type);
            continue;
        }
        Command command;
        command.metric = QLatin1String(entry->name);
        command.method = QLatin1String(entry->method);
        if (entry->parameter)
            command.params.insert(QLatin1String(entry->parameter), metric.value.toLongLong());
        else if (!metric.value.toBool())
            // A trigger written false asks for nothing.
            continue;
        read.commands.push_back(command);
    }
    return true;
}

} // namespace Sparkplug
