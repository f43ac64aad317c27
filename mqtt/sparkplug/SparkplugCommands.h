#pragma once

#include "mqtt/sparkplug/SparkplugPayload.h"

#include <QJsonObject>
#include <QStringList>

#include <vector>

// What a Sparkplug host may write to this edge node and its board: the node's
// rebirth request (NCMD) and the board's command metrics (DCMD), each mapped
// to a method of the board's service. Whether a method is allowed is the
// service's business, as for the JSON requests; here a command is read and
// checked, nothing more.
namespace Sparkplug {

constexpr char RebirthMetric[] = "Node Control/Rebirth";
constexpr char BdSeqMetric[] = "bdSeq";

// A writable metric of the board: a Boolean that does the method when
// written true, or a number passed as the method's one parameter.
struct CommandMetric
{
    const char *name;
    qint64 alias;
    DataType type;
    const char *method;
    const char *parameter; // nullptr: a Boolean trigger
};

// Every command metric there is; a board's birth names those allowed.
const std::vector<CommandMetric> &commandMetrics();

// One request for the board's service.
struct Command
{
    QString metric;
    QString method;
    QJsonObject params;
};

// What a command message asked for. refused: one line per metric that was
// not taken (unknown, of the wrong type), in words for the log.
struct CommandRead
{
    bool rebirth = false;
    std::vector<Command> commands;
    QStringList refused;
};

// An NCMD payload: false with error set when it is no payload at all.
bool readNodeCommand(const QByteArray &bytes, CommandRead &read, QString &error);
// A DCMD payload, likewise.
bool readDeviceCommand(const QByteArray &bytes, CommandRead &read, QString &error);

} // namespace Sparkplug
