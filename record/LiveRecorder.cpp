#include "record/LiveRecorder.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

LiveRecorder::LiveRecorder(const MonotonicClock &clock, QObject *parent) : QObject(parent), clock(clock)
{
    flushTimer.setInterval(FlushIntervalMs);
    connect(&flushTimer, &QTimer::timeout, this, [this] {
        if (!pending.isEmpty())
            flush();
    });
}

LiveRecorder::~LiveRecorder()
{
    // A tool closed while recording keeps the lines it had.
    if (device && !pending.isEmpty())
        device->write(pending);
    close();
}

bool LiveRecorder::start(const QString &path, QString *error)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = file->errorString();
        return false;
    }
    return start(std::move(file), path, error);
}

bool LiveRecorder::start(std::unique_ptr<QIODevice> sink, const QString &fileName, QString *error)
{
    stop();
    device = std::move(sink);
    name = fileName;
    rows = 0;
    startMs = lastFlushMs = clock.nowMs();
    pending = liveCsvHeader();
    // Written at once: a file that takes nothing is known before the first
    // report.
    QString why;
    if (!writeOut(&why)) {
        close();
        if (error)
            *error = why;
        return false;
    }
    flushTimer.start();
    return true;
}

bool LiveRecorder::stop()
{
    if (!device)
        return false;
    if (!pending.isEmpty() && !flush())
        return false; // failed() told why; the device is closed
    close();
    return true;
}

void LiveRecorder::append(const LiveSample &sample)
{
    if (!device)
        return;
    pending.append(liveCsvRow(line, sample, startMs));
    ++rows;
    if (sample.monotonicMs - lastFlushMs >= FlushIntervalMs)
        flush();
}

bool LiveRecorder::flush()
{
    if (!device)
        return false;
    QString why;
    if (!writeOut(&why)) {
        fail(why);
        return false;
    }
    return true;
}

bool LiveRecorder::writeOut(QString *error)
{
    lastFlushMs = clock.nowMs();
    if (device->write(pending) != pending.size()) {
        *error = device->errorString();
        return false;
    }
    pending.resize(0);
    if (auto *file = qobject_cast<QFileDevice *>(device.get())) {
        if (!file->flush()) {
            *error = file->errorString();
            return false;
        }
#ifdef Q_OS_UNIX
        // Handed to the operating system is not yet on the disk: a power cut
        // would lose what its cache holds.
        if (file->handle() >= 0)
            ::fsync(file->handle());
#endif
    }
    return true;
}

void LiveRecorder::fail(const QString &error)
{
    pending.clear();
    close();
    emit failed(error.isEmpty() ? QStringLiteral("write error") : error);
}

void LiveRecorder::close()
{
    flushTimer.stop();
    if (device)
        device->close();
    device.reset();
}
