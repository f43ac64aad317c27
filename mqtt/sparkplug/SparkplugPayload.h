#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <vector>

// Sparkplug B payloads (docs/mqtt.md): what an edge node publishes and the
// commands it receives, as protobuf messages of the schema in
// sparkplug_b.proto. Values are held as QVariant of bool, qint64, quint64,
// double or QString, whichever the data type needs.
namespace Sparkplug {

// The data types of the Sparkplug B metrics this bridge uses, by their
// numbers in the payload definition.
enum class DataType : quint32 {
    Unknown = 0,
    Int8 = 1,
    Int16 = 2,
    Int32 = 3,
    Int64 = 4,
    UInt8 = 5,
    UInt16 = 6,
    UInt32 = 7,
    UInt64 = 8,
    Float = 9,
    Double = 10,
    Boolean = 11,
    String = 12,
    DateTime = 13,
    Text = 14,
};

struct Metric
{
    QString name;      // empty: named by its alias alone
    qint64 alias = -1; // -1: none
    DataType type = DataType::Unknown;
    QVariant value;          // invalid: the metric is null
    qint64 timestampMs = -1; // -1: none

    bool operator==(const Metric &other) const
    {
        return name == other.name && alias == other.alias && type == other.type && value == other.value &&
               timestampMs == other.timestampMs;
    }
};

struct Payload
{
    qint64 timestampMs = -1; // -1: none
    qint64 seq = -1;         // -1: none (NDEATH, commands)
    std::vector<Metric> metrics;
};

// What a peer may send us at most: more is refused before it is parsed.
constexpr int MaxPayloadBytes = 64 * 1024;
constexpr int MaxMetrics = 64;
constexpr int MaxNameBytes = 256;
constexpr int MaxStringBytes = 4096;

QByteArray encode(const Payload &payload);

// Reads a payload that came from the broker. False with error set (in words,
// for the log) when it is not one, is larger than the limits above, or a
// metric's value does not fit its data type.
bool decode(const QByteArray &bytes, Payload &payload, QString &error);

// The data type's name as the payload definition spells it ("Int32").
QString typeName(DataType type);

} // namespace Sparkplug
