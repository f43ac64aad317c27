#pragma once

#include "device/Clock.h"
#include "log/Logger.h"
#include "record/LiveCsv.h"
#include "record/SampleRing.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

// Keeps the last minute of live reports and, when the board reports a new
// fault, writes what led up to it and what followed to a file, so a fault
// that happens while nobody watches can be understood afterwards.
//
// - A fault is a bit of the fault flags going from 0 to 1 between two
//   reports (a board that reports a fault in its first report counts too).
// - TailMs after the report that showed it, the reports of the HistoryMs
//   before it and the TailMs after it are written as CSV (the columns of
//   record/LiveCsv.h) to <folder>/fault-<yyyyMMdd-HHmmss>.csv, named after
//   the wall-clock time of that report, and "Fault record saved: <file>" is
//   logged. A file is written whole or not at all.
// - A fault within MinSpacingMs of the last one that made a record makes
//   none (its reports are in the tail of that record when it came within
//   TailMs).
// - Only the KeptFiles newest fault records stay in the folder.
// Time is the monotonic clock seam's; the record is written by the next
// report after the tail, or by a timer when reports stop coming (the link was
// lost, say).
class FaultBlackBox : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 HistoryMs = 60000;
    static constexpr qint64 TailMs = 5000;
    static constexpr qint64 MinSpacingMs = 10000;
    static constexpr int KeptFiles = 50;
    // History and tail at the highest report rate (100 a second), with room
    // to spare.
    static constexpr int Capacity = int((HistoryMs + TailMs) / 10) + 500;

    // clock must outlive the black box; logger may be null (or go away).
    FaultBlackBox(const MonotonicClock &clock, const QString &folder, Logger *logger, QObject *parent = nullptr);

    void setLogger(Logger *value) { logger = value; }

    // Takes one report.
    void append(const LiveSample &sample);
    // Writes a record whose tail has passed.
    void service();

    bool recordPending() const { return pending; }
    const SampleRing &samples() const { return ring; }

signals:
    void recordSaved(const QString &file);

private:
    void writeRecord();
    QString freeFileName(const WallTime &when) const;
    void removeOldRecords(const QString &justWritten);
    void log(const QString &text);

    const MonotonicClock &clock;
    QString folder;
    QPointer<Logger> logger;
    SampleRing ring{Capacity};
    int32_t lastFlags = 0;
    bool pending = false;
    bool anyRecord = false;
    qint64 faultMs = 0;
    WallTime faultWall;
    QTimer dueTimer;
};
