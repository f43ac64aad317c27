#include "record/LiveRecorder.h"

#include <QFile>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Formats the recording's reports, writes them to its device and syncs the
// file to the disk, on a thread of its own: formatting, a write to a slow
// medium, and a sync (milliseconds, more on a busy disk), would otherwise
// hold up the live reports. Syncs come
// at most once per MinSyncInterval: text written meanwhile is synced with the
// next. After a failed write it writes nothing more, so the file never has a
// hole. Destroying it writes and syncs what it was given, at once.
class LiveRecorder::Writer
{
public:
    static constexpr std::chrono::milliseconds MinSyncInterval{LiveRecorder::FlushIntervalMs};

    // startMs: the monotonic time the recording's elapsed seconds count from.
    Writer(QIODevice *device, qint64 startMs) : device(device), startMs(startMs)
    {
        if (auto *file = qobject_cast<QFileDevice *>(device))
            fd = file->handle();
        worker = std::thread([this] { run(); });
    }
    ~Writer()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_one();
        worker.join();
    }

    // Takes the samples over; samples is left empty.
    void handOver(std::vector<LiveSample> &samples)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            queued.insert(queued.end(), samples.begin(), samples.end());
        }
        samples.clear();
        wake.notify_one();
    }
    void waitUntilWritten()
    {
        std::unique_lock<std::mutex> lock(mutex);
        idle.wait(lock, [this] { return queued.empty() && !writing; });
    }
    // Checked on every report: no lock.
    bool hasFailed() const { return failedFlag.load(std::memory_order_acquire); }
    QString error() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return errorText;
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        auto syncAllowedAt = std::chrono::steady_clock::now();
        bool syncDue = false;
        for (;;) {
            wake.wait(lock, [&] { return !queued.empty() || stopping || syncDue; });
            if (!queued.empty()) {
                std::vector<LiveSample> samples;
                samples.swap(queued);
                writing = true;
                lock.unlock();
                QByteArray text;
                for (const LiveSample &sample : samples)
                    text.append(liveCsvRow(line, sample, startMs));
                QString failure;
                if (!write(text, &failure))
                    failure = failure.isEmpty() ? QStringLiteral("write error") : failure;
                lock.lock();
                writing = false;
                if (!failure.isEmpty() && !failedFlag.load()) {
                    errorText = failure;
                    failedFlag.store(true, std::memory_order_release);
                }
                syncDue = syncDue || failure.isEmpty();
                idle.notify_all();
            } else if (syncDue) {
                if (!stopping && std::chrono::steady_clock::now() < syncAllowedAt) {
                    wake.wait_until(lock, syncAllowedAt, [this] { return stopping || !queued.empty(); });
                    continue;
                }
                syncDue = false;
                syncAllowedAt = std::chrono::steady_clock::now() + MinSyncInterval;
                lock.unlock();
#ifdef Q_OS_UNIX
                // Handed to the operating system is not yet on the disk: a
                // power cut would lose what its cache holds.
                if (fd >= 0)
                    ::fsync(fd);
#endif
                lock.lock();
            } else {
                return; // stopping, all written and synced
            }
        }
    }

    bool write(const QByteArray &text, QString *failure)
    {
        if (failedFlag.load(std::memory_order_acquire))
            return true; // nothing more after a failure; already reported
        if (device->write(text) != text.size()) {
            *failure = device->errorString();
            return false;
        }
        if (auto *file = qobject_cast<QFileDevice *>(device)) {
            if (!file->flush()) {
                *failure = file->errorString();
                return false;
            }
        }
        return true;
    }

    QIODevice *const device;
    const qint64 startMs;
    CsvLine line; // the worker's own
    int fd = -1;
    mutable std::mutex mutex;
    std::condition_variable wake; // samples to write, or stop
    std::condition_variable idle; // all samples written
    std::vector<LiveSample> queued;
    bool writing = false;
    bool stopping = false;
    std::atomic<bool> failedFlag{false};
    QString errorText;
    std::thread worker;
};

LiveRecorder::LiveRecorder(const MonotonicClock &clock, QObject *parent) : QObject(parent), clock(clock)
{
    held.reserve(FlushIntervalMs / 10 * 2); // an interval at 100 reports a second, twice over
    flushTimer.setInterval(FlushIntervalMs);
    connect(&flushTimer, &QTimer::timeout, this, [this] {
        if (!checkWriter())
            return;
        if (hasHeld())
            handOver();
    });
}

LiveRecorder::~LiveRecorder()
{
    // A tool closed while recording keeps the lines it had.
    if (writer && hasHeld())
        handOver();
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
    // The header is written here, at once: a file that takes nothing is
    // known before the first report.
    const QByteArray header = liveCsvHeader();
    auto *file = qobject_cast<QFileDevice *>(sink.get());
    if (sink->write(header) != header.size() || (file && !file->flush())) {
        if (error)
            *error = sink->errorString();
        sink->close();
        return false;
    }
    device = std::move(sink);
    name = fileName;
    rows = 0;
    lastFlushMs = clock.nowMs();
    writer = std::make_unique<Writer>(device.get(), lastFlushMs);
    flushTimer.start();
    return true;
}

bool LiveRecorder::stop()
{
    if (!device)
        return false;
    if (hasHeld())
        handOver();
    if (!waitUntilWritten())
        return false; // failed() told why; the device is closed
    close();
    return true;
}

void LiveRecorder::append(const LiveSample &sample)
{
    if (!device || !checkWriter())
        return;
    // Formatted by the writer: the live path only keeps a copy.
    held.push_back(sample);
    ++rows;
    if (sample.monotonicMs - lastFlushMs >= FlushIntervalMs)
        handOver();
}

void LiveRecorder::handOver()
{
    lastFlushMs = clock.nowMs();
    writer->handOver(held);
}

bool LiveRecorder::waitUntilWritten()
{
    if (!writer)
        return false;
    writer->waitUntilWritten();
    return checkWriter();
}

bool LiveRecorder::checkWriter()
{
    if (!writer || !writer->hasFailed())
        return true;
    fail(writer->error());
    return false;
}

void LiveRecorder::fail(const QString &error)
{
    held.clear();
    close();
    emit failed(error);
}

void LiveRecorder::close()
{
    flushTimer.stop();
    writer.reset(); // writes what it has, then lets go of the device
    if (device)
        device->close();
    device.reset();
}
