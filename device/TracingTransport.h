#pragma once

#include "device/Clock.h"
#include "device/HidTransport.h"

#include <QFile>

// Passes every call through to another transport and appends one line per
// write and per read that returned data: milliseconds since start, W or R,
// and the bytes exactly as handed over or returned, in upper-case hex. Each
// run begins with one comment line starting with '#'.
class TracingTransport : public HidTransport
{
public:
    TracingTransport(HidTransport &inner, MonotonicClock &clock, const QString &fileName);

    // False when the file could not be opened or written; errorString() says why.
    bool isOpen() const { return file.isOpen(); }
    QString errorString() const { return error; }

    std::vector<HidDeviceEntry> enumerate(unsigned short vendorId, unsigned short productId) override;
    HidHandle *openPath(const std::string &path) override;
    int setNonblocking(HidHandle *handle, int nonblock) override;
    int read(HidHandle *handle, unsigned char *data, size_t length) override;
    int write(HidHandle *handle, const unsigned char *data, size_t length) override;
    void close(HidHandle *handle) override;
    std::vector<HidDeviceEntry> enumerateHeld(unsigned short vendorId, unsigned short productId) override;

private:
    void trace(char direction, const unsigned char *data, size_t length);

    HidTransport &inner;
    MonotonicClock &clock;
    qint64 startMs;
    QFile file;
    QString error;
};
