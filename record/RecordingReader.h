#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

// Reading back the live data files the tool writes (a recording or a fault
// record, columns as in record/LiveCsv.h) for the charts. A file comes from
// anywhere and is taken as bad input until checked: lines are bounded, a
// row that cannot be read is skipped and counted (the first such one is
// kept with its line and column), and a file whose first line is not our
// header is not read at all.

// What the charts take of one row.
struct RecordedRow
{
    double elapsed = 0;     // seconds since the file began
    double voltage = 0;     // filtered supply voltage / V; not a number: no value
    double temperature = 0; // filtered temperature / °C
    double current = 0;     // motor current / A
    double position = 0;    // steps
    double speed = 0;       // steps/s
    int faultFlags = 0;
};

// A line that could not be read.
struct RecordingProblem
{
    qint64 line = 0; // 1 is the header
    int column = 0;  // 1 is the first; 0: the line as a whole
    QString text;    // why, for the operator
};

// A report at which a fault bit rose (from 0, or in the file's first row).
struct RecordedFault
{
    double elapsed = 0;
    int flags = 0; // all bits set then
    QString stamp; // its local time as fault records are named: yyyyMMdd-HHmmss
};

// Reads the bytes of one file as they come, in pieces of any size.
class RecordingParser
{
public:
    // Longer lines are no rows of ours; they are skipped without being kept.
    static constexpr int MaxLineBytes = 4096;
    // Fault moments kept, from the first.
    static constexpr int MaxFaults = 1000;
    // Numbers beyond these are no readings of a board.
    static constexpr double MaxSeconds = 1e9;
    static constexpr double MaxValue = 1e12;

    // Takes the next bytes; the rows read from complete lines are appended
    // to rows.
    void feed(const char *data, qint64 size, std::vector<RecordedRow> &rows);
    // The end of the file: a last line without its line end was cut short.
    void finish(std::vector<RecordedRow> &rows);

    // The first line is not the header of a live data file: nothing more is
    // read. notOursReason says how.
    bool notOurs() const { return !headerProblem.text.isEmpty(); }
    const RecordingProblem &notOursReason() const { return headerProblem; }

    qint64 lines() const { return lineNumber; }
    qint64 rowCount() const { return rowsRead; }
    qint64 skippedCount() const { return skipped; }
    // The first row skipped, if any.
    const RecordingProblem &firstProblem() const { return problem; }

    double firstElapsed() const { return first; }
    double lastElapsed() const { return last; }
    // The wall-clock time at elapsed 0, from the first rows' time cells.
    bool hasWallTime() const { return wallKnown; }
    qint64 wallAtZeroMs() const { return wallZeroMs; }
    int utcOffsetS() const { return offsetS; }

    const std::vector<RecordedFault> &faults() const { return faultList; }

    // The header's column names, as the writer writes them.
    static const std::vector<QByteArray> &columnNames();

private:
    void takeLine(const char *begin, const char *end, bool complete, std::vector<RecordedRow> &rows);
    void checkHeader(const char *begin, const char *end);
    void readRow(const char *begin, const char *end, std::vector<RecordedRow> &rows);
    void skip(int column, const QString &why);

    QByteArray pending;   // the start of a line that continues in the next piece
    bool tooLong = false; // the line being read passed MaxLineBytes
    qint64 lineNumber = 0;
    qint64 rowsRead = 0, skipped = 0;
    RecordingProblem problem, headerProblem;
    double first = 0, last = 0;
    bool wallKnown = false;
    int wallTries = 0;
    qint64 wallZeroMs = 0;
    int offsetS = 0;
    int lastFlags = 0;
    std::vector<RecordedFault> faultList;
};

// What a file held, once read: for the operator's message, the Records list
// and the marks on the chart.
struct RecordingInfo
{
    QString path;
    qint64 bytes = 0;
    // Nothing of the file can be shown: why, naming the file (and the line
    // and column where one is at fault); in English, and as the window shows
    // it (translated). Both set by fail().
    QString error;
    QString shownError;
    bool cancelled = false;
    qint64 rows = 0, skipped = 0;
    RecordingProblem firstProblem;
    double firstElapsed = 0, lastElapsed = 0;
    bool hasWallTime = false;
    qint64 wallAtZeroMs = 0;
    int utcOffsetS = 0;
    std::vector<RecordedFault> faults;

    // Takes what the parser found; path names the file in messages.
    void take(const RecordingParser &parser);

    // The time stamp (yyyyMMdd-HHmmss) in the name of a file named as the
    // fault black box names its records; empty for any other name.
    static QString faultRecordStamp(const QString &path);
    // The fault a fault record was written for: its index in faults, -1 when
    // the file is no fault record or holds no fault. The one whose time
    // the name carries; failing that the last one at least the record's
    // tail before its end; failing that the first.
    int recordedFault() const;
    // Seconds between the first and the last row.
    double duration() const { return lastElapsed - firstElapsed; }
    // Sets error and shownError from source (marked with
    // QT_TRANSLATE_NOOP("RecordingInfo", ...)) with its %1, %2, %3 filled.
    void fail(const char *source, const QStringList &args);
    // One line for the operator: what was read, what was skipped and the
    // first reason, or why nothing could be; in English for the log, or
    // translated for the window.
    QString message(bool translated = false) const;
    // A problem as the operator is told of it: file, line, column (with its
    // name) and why.
    QString where(const RecordingProblem &problem) const;
};
