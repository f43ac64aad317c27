#pragma once

#include "device/Clock.h"
#include "record/LiveCsv.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class QIODevice;

// Records live reports to a CSV file (columns: record/LiveCsv.h), one line per
// report, from start() until stop(). The live path only keeps a copy of each
// report; every FlushIntervalMs (time on the monotonic clock seam) the lines
// are formatted and handed to a thread of the recorder's own, which writes
// them to the file and syncs it to the disk as often, so the GUI thread never
// waits for the medium: a crash of the tool loses at most the last half
// second, a power cut about a second. When the file cannot be written (disk
// full, medium gone) the recording ends, keeping what was written, and
// failed() says why (at the next report, or at the latest when the timer that
// writes out the last lines runs).
class LiveRecorder : public QObject
{
    Q_OBJECT
public:
    static constexpr int FlushIntervalMs = 500;

    // clock must outlive the recorder.
    explicit LiveRecorder(const MonotonicClock &clock, QObject *parent = nullptr);
    ~LiveRecorder() override;

    // Creates or truncates the file at path and writes the header line. False
    // with *error set when that fails; a recording already running is
    // stopped first.
    bool start(const QString &path, QString *error);
    // The same on a device already open for writing (the recorder takes it
    // over); name is what fileName() reports.
    bool start(std::unique_ptr<QIODevice> device, const QString &name, QString *error);
    // Writes what is held and closes the file. False when that last write
    // failed (failed() emitted) or nothing was being recorded.
    bool stop();

    bool isRecording() const { return device != nullptr; }
    // Lines of data recorded so far (the header not counted); kept after stop.
    qint64 rowCount() const { return rows; }
    QString fileName() const { return name; }

    // Records one report.
    void append(const LiveSample &sample);
    // Waits until the lines handed to the writing thread are in the file
    // (for a clean stop, and for tests). False (the recording ended,
    // failed() emitted) when writing failed.
    bool waitUntilWritten();

signals:
    // The recording ended because its file could not be written.
    void failed(const QString &error);

private:
    class Writer;

    bool hasHeld() const { return !held.empty(); }
    // Hands the reports held to the writer, which formats them.
    void handOver();
    // Ends the recording when the writer found the file unwritable; false
    // then.
    bool checkWriter();
    void fail(const QString &error);
    void close();

    const MonotonicClock &clock;
    std::unique_ptr<QIODevice> device;
    std::unique_ptr<Writer> writer; // uses device; goes first
    QString name;
    std::vector<LiveSample> held; // reports not yet handed over
    qint64 lastFlushMs = 0;
    qint64 rows = 0;
    // Writes out the last lines when reports stop coming.
    QTimer flushTimer;
};
