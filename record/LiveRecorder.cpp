#include "record/LiveRecorder.h"

#include <QFile>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Syncs a file to the disk on a thread of its own: a sync waits for the disk
// (milliseconds, more on a busy or slow medium) and the live reports must not
// wait with it. request() asks for one sync of everything written so far;
// requests made while one runs or sooner than MinSyncInterval after the
// last one fold into one sync when the interval is over, so the disk is not
// kept busy by the syncs themselves. Destroying it syncs at once what was
// asked for and waits for that.
class LiveRecorder::BackgroundSync
{
public:
    static constexpr std::chrono::milliseconds MinSyncInterval{LiveRecorder::FlushIntervalMs};

    explicit BackgroundSync(int fd) : fd(fd), worker([this] { run(); }) {}
    ~BackgroundSync()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_one();
        worker.join();
    }
    void request()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            requested = true;
        }
        wake.notify_one();
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        auto allowedAt = std::chrono::steady_clock::now();
        for (;;) {
            wake.wait(lock, [this] { return requested || stopping; });
            if (!requested)
                return;
            wake.wait_until(lock, allowedAt, [this] { return stopping; });
            requested = false;
            allowedAt = std::chrono::steady_clock::now() + MinSyncInterval;
            lock.unlock();
#ifdef Q_OS_UNIX
            ::fsync(fd);
#endif
            lock.lock();
        }
    }

    const int fd;
    std::mutex mutex;
    std::condition_variable wake;
    bool requested = false;
    bool stopping = false;
    std::thread worker; // last: starts when the rest is ready
};

LiveRecorder::LiveRecorder(const MonotonicClock &clock, QObject *parent) : QObject(parent), clock(clock)
{
    held.reserve(FlushIntervalMs / 10 * 2); // an interval at 100 reports a second, twice over
    flushTimer.setInterval(FlushIntervalMs);
    connect(&flushTimer, &QTimer::timeout, this, [this] {
        if (hasPending())
            flush();
    });
}

LiveRecorder::~LiveRecorder()
{
    // A tool closed while recording keeps the lines it had.
    QString ignored;
    if (device && hasPending())
        writeOut(&ignored);
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
    if (hasPending() && !flush())
        return false; // failed() told why; the device is closed
    close();
    return true;
}

void LiveRecorder::append(const LiveSample &sample)
{
    if (!device)
        return;
    // Formatted when written out: the live path only keeps a copy.
    held.push_back(sample);
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
    for (const LiveSample &sample : held)
        pending.append(liveCsvRow(line, sample, startMs));
    held.clear();
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
        // Handed to the operating system is not yet on the disk: a power cut
        // would lose what its cache holds.
        if (!syncer && file->handle() >= 0)
            syncer = std::make_unique<BackgroundSync>(file->handle());
        if (syncer)
            syncer->request();
    }
    return true;
}

void LiveRecorder::fail(const QString &error)
{
    pending.clear();
    held.clear();
    close();
    emit failed(error.isEmpty() ? QStringLiteral("write error") : error);
}

void LiveRecorder::close()
{
    flushTimer.stop();
    syncer.reset(); // before the file it syncs is closed
    if (device)
        device->close();
    device.reset();
}
