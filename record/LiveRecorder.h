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
// report, from start() until stop(). Lines are held in memory and handed to
// the operating system every FlushIntervalMs (time on the monotonic clock
// seam), and a thread beside the GUI thread syncs the file to the disk as
// often (the GUI thread never waits for the disk): a crash of the tool loses
// at most the last half second, a power cut about a second. When the file
// cannot be written (disk full, medium gone) the recording ends, keeping what
// was written, and failed() says why.
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
    // Writes the lines held to the file and syncs it. False (the recording
    // ended, failed() emitted) when that fails.
    bool flush();

signals:
    // The recording ended because its file could not be written.
    void failed(const QString &error);

private:
    // Writes the lines held and syncs; false with *error set on failure.
    bool writeOut(QString *error);
    void fail(const QString &error);
    void close();

    const MonotonicClock &clock;
    std::unique_ptr<QIODevice> device;
    QString name;
    bool hasPending() const { return !held.empty() || !pending.isEmpty(); }

    std::vector<LiveSample> held; // reports not yet written out
    QByteArray pending;           // text not yet written out
    CsvLine line;
    qint64 startMs = 0;
    qint64 lastFlushMs = 0;
    qint64 rows = 0;
    // Writes out the last lines when reports stop coming.
    QTimer flushTimer;
    class BackgroundSync;
    std::unique_ptr<BackgroundSync> syncer;
};
