#pragma once

#include <QBuffer>

// A device that takes bytes into store until it holds limit of them, then
// fails every write, as a disk that fills up does. The recorder owns the
// device; the test keeps store and limit.
class FillingDevice : public QBuffer
{
public:
    FillingDevice(QByteArray *store, const qint64 *limit) : QBuffer(store), limit(limit) { open(QIODevice::WriteOnly); }

protected:
    qint64 writeData(const char *data, qint64 length) override
    {
        if (size() + length > *limit) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        return QBuffer::writeData(data, length);
    }

private:
    const qint64 *limit;
};
