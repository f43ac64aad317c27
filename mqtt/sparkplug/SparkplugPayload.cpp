#include "mqtt/sparkplug/SparkplugPayload.h"

#include "sparkplug_b.pb.h"

#include <cmath>
#include <limits>

namespace Sparkplug {

namespace {

using Wire = torvan::sparkplug::Payload;
using WireMetric = torvan::sparkplug::Payload_Metric;

bool isNarrowInt(DataType type)
{
    return type == DataType::Int8 || type == DataType::Int16 || type == DataType::Int32 || type == DataType::UInt8 ||
           type == DataType::UInt16 || type == DataType::UInt32;
}

bool isWideInt(DataType type)
{
    return type == DataType::Int64 || type == DataType::UInt64 || type == DataType::DateTime;
}

bool isText(DataType type)
{
    return type == DataType::String || type == DataType::Text;
}

void setValue(WireMetric &out, const Metric &metric)
{
    if (!metric.value.isValid()) {
        out.set_is_null(true);
        return;
    }
    const DataType type = metric.type;
    if (isNarrowInt(type))
        // Signed ones as their two's complement in 32 bits.
        out.set_int_value(quint32(metric.value.toLongLong()));
    else if (type == DataType::UInt64)
        out.set_long_value(metric.value.toULongLong());
    else if (isWideInt(type))
        out.set_long_value(quint64(metric.value.toLongLong()));
    else if (type == DataType::Float)
        out.set_float_value(metric.value.toFloat());
    else if (type == DataType::Double)
        out.set_double_value(metric.value.toDouble());
    else if (type == DataType::Boolean)
        out.set_boolean_value(metric.value.toBool());
    else
        out.set_string_value(metric.value.toString().toStdString());
}

// The narrow integers' range, as the data type says.
bool inRange(DataType type, qint64 value)
{
    switch (type) {
    case DataType::Int8:
        return value >= -128 && value <= 127;
    case DataType::Int16:
        return value >= -32768 && value <= 32767;
    case DataType::Int32:
        return value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max();
    case DataType::UInt8:
        return value >= 0 && value <= 255;
    case DataType::UInt16:
        return value >= 0 && value <= 65535;
    default:
        return value >= 0 && value <= qint64(std::numeric_limits<quint32>::max());
    }
}

// The value of a metric that came in, checked against its data type. A
// metric without a data type (commands may leave it out) takes the one its
// value's field implies.
bool readValue(const WireMetric &in, Metric &metric, QString &error)
{
    DataType type = DataType(in.datatype());
    if (in.is_null() || in.value_case() == WireMetric::VALUE_NOT_SET) {
        metric.type = type;
        return true;
    }
    if (!in.has_datatype()) {
        switch (in.value_case()) {
        case WireMetric::kIntValue:
            type = DataType::Int32;
            break;
        case WireMetric::kLongValue:
            type = DataType::Int64;
            break;
        case WireMetric::kFloatValue:
            type = DataType::Float;
            break;
        case WireMetric::kDoubleValue:
            type = DataType::Double;
            break;
        case WireMetric::kBooleanValue:
            type = DataType::Boolean;
            break;
        case WireMetric::kStringValue:
            type = DataType::String;
            break;
        default:
            error = QStringLiteral("a value of a type this bridge does not take");
            return false;
        }
    }
    metric.type = type;
    const auto mismatch = [&] {
        error = QStringLiteral("a value that does not fit its data type %1").arg(typeName(type));
        return false;
    };
    if (isNarrowInt(type)) {
        if (in.value_case() != WireMetric::kIntValue)
            return mismatch();
        const quint32 raw = in.int_value();
        const bool isSigned = type == DataType::Int8 || type == DataType::Int16 || type == DataType::Int32;
        // Senders differ in how they widen a negative number: as 32 bits,
        // or sign-extended to 64 and cut. Both read back the same here.
        const qint64 value = isSigned ? qint64(qint32(raw)) : qint64(raw);
        if (!inRange(type, value))
            return mismatch();
        metric.value = value;
    } else if (isWideInt(type)) {
        if (in.value_case() != WireMetric::kLongValue)
            return mismatch();
        if (type == DataType::UInt64)
            metric.value = quint64(in.long_value());
        else
            metric.value = qint64(in.long_value());
    } else if (type == DataType::Float || type == DataType::Double) {
        double value = 0;
        if (type == DataType::Float && in.value_case() == WireMetric::kFloatValue)
            value = double(in.float_value());
        else if (type == DataType::Double && in.value_case() == WireMetric::kDoubleValue)
            value = in.double_value();
        else
            return mismatch();
        if (!std::isfinite(value))
            return mismatch();
        metric.value = value;
    } else if (type == DataType::Boolean) {
        if (in.value_case() != WireMetric::kBooleanValue)
            return mismatch();
        metric.value = in.boolean_value();
    } else if (isText(type)) {
        if (in.value_case() != WireMetric::kStringValue)
            return mismatch();
        if (in.string_value().size() > size_t(MaxStringBytes)) {
            error = QStringLiteral("a text longer than %1 bytes").arg(MaxStringBytes);
            return false;
        }
        metric.value = QString::fromStdString(in.string_value());
    } else {
        error = QStringLiteral("a data type this bridge does not take (%1)").arg(quint32(type));
        return false;
    }
    return true;
}

} // namespace

QString typeName(DataType type)
{
    static const char *const names[] = {"Unknown", "Int8",    "Int16",  "Int32",    "Int64",
                                        "UInt8",   "UInt16",  "UInt32", "UInt64",   "Float",
                                        "Double",  "Boolean", "String", "DateTime", "Text"};
    const quint32 index = quint32(type);
    return index < sizeof names / sizeof *names ? QLatin1String(names[index]) : QString::number(index);
}

QByteArray encode(const Payload &payload)
{
    Wire wire;
    if (payload.timestampMs >= 0)
        wire.set_timestamp(quint64(payload.timestampMs));
    if (payload.seq >= 0)
        wire.set_seq(quint64(payload.seq));
    for (const Metric &metric : payload.metrics) {
        WireMetric *out = wire.add_metrics();
        if (!metric.name.isEmpty())
            out->set_name(metric.name.toStdString());
        if (metric.alias >= 0)
            out->set_alias(quint64(metric.alias));
        if (metric.timestampMs >= 0)
            out->set_timestamp(quint64(metric.timestampMs));
        out->set_datatype(quint32(metric.type));
        setValue(*out, metric);
    }
    std::string bytes;
    wire.SerializeToString(&bytes);
    return QByteArray(bytes.data(), int(bytes.size()));
}

bool decode(const QByteArray &bytes, Payload &payload, QString &error)
{
    payload = Payload();
    if (bytes.size() > MaxPayloadBytes) {
        error = QStringLiteral("longer than %1 bytes").arg(MaxPayloadBytes);
        return false;
    }
    Wire wire;
    if (!wire.ParseFromArray(bytes.constData(), bytes.size())) {
        error = QStringLiteral("not a Sparkplug B payload");
        return false;
    }
    if (wire.metrics_size() > MaxMetrics) {
        error = QStringLiteral("more than %1 metrics").arg(MaxMetrics);
        return false;
    }
    if (wire.has_timestamp())
        payload.timestampMs = qint64(qMin<quint64>(wire.timestamp(), quint64(std::numeric_limits<qint64>::max())));
    if (wire.has_seq())
        payload.seq = qint64(qMin<quint64>(wire.seq(), quint64(std::numeric_limits<qint64>::max())));
    for (int i = 0; i < wire.metrics_size(); ++i) {
        const WireMetric &in = wire.metrics(i);
        Metric metric;
        if (in.name().size() > size_t(MaxNameBytes)) {
            error = QStringLiteral("metric %1: a name longer than %2 bytes").arg(i + 1).arg(MaxNameBytes);
            return false;
        }
        metric.name = QString::fromStdString(in.name());
        if (in.has_alias())
            metric.alias = qint64(qMin<quint64>(in.alias(), quint64(std::numeric_limits<qint64>::max())));
        if (in.has_timestamp())
            metric.timestampMs = qint64(qMin<quint64>(in.timestamp(), quint64(std::numeric_limits<qint64>::max())));
        QString why;
        if (!readValue(in, metric, why)) {
            error = QStringLiteral("metric %1: %2").arg(i + 1).arg(why);
            return false;
        }
        payload.metrics.push_back(metric);
    }
    return true;
}

} // namespace Sparkplug
