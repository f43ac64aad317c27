#include "device/TracingTransport.h"

#include <QByteArray>
#include <QDateTime>

TracingTransport::TracingTransport(HidTransport &inner, MonotonicClock &clock, const QString &fileName)
    : inner(inner), clock(clock), startMs(clock.nowMs()), file(fileName)
{
    // A file that opens may still refuse every byte (a full disk, /dev/full):
    // the first line is written at once, so that the user learns it now and
    // not from a trace found empty after the run.
    if (!file.open(QIODevice::Append | QIODevice::Text)) {
        error = file.errorString();
        return;
    }
    const QByteArray header =
        "# ms W|R bytes, started " + QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + '\n';
    if (file.write(header) != header.size() || !file.flush()) {
        error = file.errorString();
        file.close();
    }
}

std::vector<HidDeviceEntry> TracingTransport::enumerate(unsigned short vendorId, unsigned short productId)
{
    return inner.enumerate(vendorId, productId);
}

std::vector<HidDeviceEntry> TracingTransport::enumerateHeld(unsigned short vendorId, unsigned short productId)
{
    return inner.enumerateHeld(vendorId, productId);
}

HidHandle *TracingTransport::openPath(const std::string &path)
{
    return inner.openPath(path);
}

int TracingTransport::setNonblocking(HidHandle *handle, int nonblock)
{
    return inner.setNonblocking(handle, nonblock);
}

int TracingTransport::read(HidHandle *handle, unsigned char *data, size_t length)
{
    const int count = inner.read(handle, data, length);
    if (count > 0)
        trace('R', data, static_cast<size_t>(count));
    return count;
}

int TracingTransport::write(HidHandle *handle, const unsigned char *data, size_t length)
{
    trace('W', data, length);
    return inner.write(handle, data, length);
}

void TracingTransport::close(HidHandle *handle)
{
    inner.close(handle);
}

void TracingTransport::trace(char direction, const unsigned char *data, size_t length)
{
    if (!file.isOpen())
        return;
    QByteArray line = QByteArray::number(clock.nowMs() - startMs);
    line += ' ';
    line += direction;
    line += ' ';
    line += QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(length)).toHex().toUpper();
    line += '\n';
    file.write(line);
    file.flush();
}
