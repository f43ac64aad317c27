#pragma once

// The tests' own reading and writing of Sparkplug B payloads, straight from
// the protobuf wire format (varints, length-delimited fields, fixed 32 and
// 64 bits), so that what the bridge sends is checked by a second decoder and
// not only by the code under test.

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstring>
#include <vector>

namespace SparkplugWire {

struct Metric
{
    QString name;
    qint64 alias = -1;
    int datatype = -1;
    bool isNull = false;
    QVariant value; // int_value and long_value as quint64
};

struct Payload
{
    qint64 timestamp = -1;
    qint64 seq = -1;
    std::vector<Metric> metrics;

    const Metric *find(const QString &name) const
    {
        for (const Metric &m : metrics)
            if (m.name == name)
                return &m;
        return nullptr;
    }
};

class Reader
{
public:
    explicit Reader(const QByteArray &bytes) : data(bytes) {}
    bool atEnd() const { return pos >= data.size(); }
    bool ok() const { return good; }

    quint64 varint()
    {
        quint64 value = 0;
        for (int shift = 0; shift < 64 && pos < data.size(); shift += 7) {
            const auto byte = quint8(data[pos++]);
            value |= quint64(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return value;
        }
        good = false;
        return 0;
    }
    QByteArray bytes()
    {
        const quint64 size = varint();
        if (size > quint64(data.size() - pos)) {
            good = false;
            return QByteArray();
        }
        const QByteArray out = data.mid(pos, int(size));
        pos += int(size);
        return out;
    }
    template <typename T> T fixed()
    {
        T value{};
        if (pos + int(sizeof value) > data.size()) {
            good = false;
            return value;
        }
        std::memcpy(&value, data.constData() + pos, sizeof value);
        pos += int(sizeof value);
        return value;
    }
    // Skips a field of a wire type not read here.
    void skip(int wireType)
    {
        if (wireType == 0)
            varint();
        else if (wireType == 1)
            fixed<quint64>();
        else if (wireType == 2)
            bytes();
        else if (wireType == 5)
            fixed<quint32>();
        else
            good = false;
    }

private:
    QByteArray data;
    int pos = 0;
    bool good = true;
};

inline bool readMetric(const QByteArray &bytes, Metric &m)
{
    Reader r(bytes);
    while (!r.atEnd() && r.ok()) {
        const quint64 key = r.varint();
        const int field = int(key >> 3), wire = int(key & 7);
        if (field == 1 && wire == 2)
            m.name = QString::fromUtf8(r.bytes());
        else if (field == 2 && wire == 0)
            m.alias = qint64(r.varint());
        else if (field == 4 && wire == 0)
            m.datatype = int(r.varint());
        else if (field == 7 && wire == 0)
            m.isNull = r.varint() != 0;
        else if ((field == 10 || field == 11) && wire == 0)
            m.value = r.varint();
        else if (field == 12 && wire == 5)
            m.value = double(r.fixed<float>());
        else if (field == 13 && wire == 1)
            m.value = r.fixed<double>();
        else if (field == 14 && wire == 0)
            m.value = r.varint() != 0;
        else if (field == 15 && wire == 2)
            m.value = QString::fromUtf8(r.bytes());
        else
            r.skip(wire);
    }
    return r.ok();
}

// False when the bytes are no protobuf message.
inline bool read(const QByteArray &bytes, Payload &p)
{
    Reader r(bytes);
    while (!r.atEnd() && r.ok()) {
        const quint64 key = r.varint();
        const int field = int(key >> 3), wire = int(key & 7);
        if (field == 1 && wire == 0) {
            p.timestamp = qint64(r.varint());
        } else if (field == 3 && wire == 0) {
            p.seq = qint64(r.varint());
        } else if (field == 2 && wire == 2) {
            Metric m;
            if (!readMetric(r.bytes(), m))
                return false;
            p.metrics.push_back(m);
        } else {
            r.skip(wire);
        }
    }
    return r.ok();
}

// Writing, for the commands a test sends.
inline QByteArray varint(quint64 value)
{
    QByteArray out;
    do {
        const auto byte = quint8(value & 0x7f);
        value >>= 7;
        out += char(value ? byte | 0x80 : byte);
    } while (value);
    return out;
}

inline QByteArray field(int number, int wire)
{
    return varint(quint64(number) << 3 | quint64(wire));
}

inline QByteArray lengthDelimited(int number, const QByteArray &bytes)
{
    return field(number, 2) + varint(quint64(bytes.size())) + bytes;
}

// One metric: name (empty: none), alias (-1: none), datatype and value
// (bool, a whole number as int_value, or a text).
inline QByteArray metric(const QByteArray &name, qint64 alias, int datatype, const QVariant &value)
{
    QByteArray m;
    if (!name.isEmpty())
        m += lengthDelimited(1, name);
    if (alias >= 0)
        m += field(2, 0) + varint(quint64(alias));
    m += field(4, 0) + varint(quint64(datatype));
    if (value.userType() == QMetaType::Bool)
        m += field(14, 0) + varint(value.toBool() ? 1 : 0);
    else if (value.userType() == QMetaType::QString)
        m += lengthDelimited(15, value.toString().toUtf8());
    else
        m += field(10, 0) + varint(quint32(value.toLongLong()));
    return lengthDelimited(2, m);
}

inline QByteArray payload(const QByteArray &metrics, quint64 timestamp = 1796000000000ull)
{
    return field(1, 0) + varint(timestamp) + metrics;
}

} // namespace SparkplugWire
