#include "record/RecordingReader.h"

#include "record/FaultBlackBox.h"
#include "record/LiveCsv.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// Columns of a live data file (record/LiveCsv.h), from 0.
enum Column {
    ColTime = 0,
    ColElapsed = 1,
    ColFilteredVoltage = 3,
    ColFilteredTemperature = 5,
    ColCurrent = 6,
    ColFlags = 9,
    ColPosition = 19,
    ColSpeed = 20,
    ColumnCount = 22,
};

struct Cell
{
    const char *begin = nullptr, *end = nullptr;
    int size() const { return int(end - begin); }
};

// The cells of one line, split as RFC 4180 has them (no line breaks inside
// a cell: every text the writer quotes is a line of its own). Keeps the
// first ColumnCount cells and counts the rest; a quoted cell is kept
// without its quotes (doubled quotes stay doubled: no cell we read holds
// one). False, with the column, when a quote is left open or text follows a
// closing one.
struct Cells
{
    Cell cell[ColumnCount];
    int count = 0;
    int badColumn = 0;
    const char *badWhy = nullptr;

    bool split(const char *p, const char *end)
    {
        for (;;) {
            Cell c;
            if (p < end && *p == '"') {
                c.begin = ++p;
                for (;;) {
                    p = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
                    if (!p)
                        return fail("a quote is not closed");
                    if (p + 1 < end && p[1] == '"') {
                        p += 2;
                        continue;
                    }
                    break;
                }
                c.end = p++;
                if (p < end && *p != ',')
                    return fail("text follows a closing quote");
            } else {
                c.begin = p;
                const void *comma = std::memchr(p, ',', size_t(end - p));
                p = comma ? static_cast<const char *>(comma) : end;
                c.end = p;
            }
            if (count < ColumnCount)
                cell[count] = c;
            ++count;
            if (p >= end)
                return true;
            ++p; // past the comma
        }
    }
    bool fail(const char *why)
    {
        badColumn = count + 1;
        badWhy = why;
        return false;
    }
};

// A cell as a message shows it: short, printable.
QString shown(const Cell &c)
{
    QString text = QString::fromUtf8(c.begin, std::min(c.size(), 24));
    for (QChar &ch : text)
        if (!ch.isPrint())
            ch = QChar(0xFFFD);
    if (c.size() > 24)
        text += QStringLiteral("…");
    return QLatin1Char('"') + text + QLatin1Char('"');
}

enum class Read { Number, Empty, Bad, OutOfRange };

// A decimal number as the writer writes it ("-12.345", "7"); an exponent is
// taken too. Not a number, infinity or a sign "+" are no readings.
Read readNumber(const Cell &c, double limit, double *value)
{
    if (c.begin == c.end)
        return Read::Empty;
    const auto result = std::from_chars(c.begin, c.end, *value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        return Read::OutOfRange;
    if (result.ec != std::errc() || result.ptr != c.end || !std::isfinite(*value))
        return Read::Bad;
    return std::abs(*value) <= limit ? Read::Number : Read::OutOfRange;
}

// "0x" and one to eight hexadecimal digits.
bool readFlags(const Cell &c, int *flags)
{
    if (c.size() < 3 || c.size() > 10 || c.begin[0] != '0' || (c.begin[1] != 'x' && c.begin[1] != 'X'))
        return false;
    quint32 value = 0;
    const auto result = std::from_chars(c.begin + 2, c.end, value, 16);
    if (result.ec != std::errc() || result.ptr != c.end)
        return false;
    *flags = int(value);
    return true;
}

// The local time of an ISO 8601 cell as fault records are named
// (yyyyMMdd-HHmmss), or empty.
QString stampOf(const Cell &c)
{
    static const char pattern[] = "dddd-dd-ddTdd:dd:dd";
    const int n = int(sizeof(pattern)) - 1;
    if (c.size() < n)
        return QString();
    for (int i = 0; i < n; ++i) {
        const char ch = c.begin[i];
        if (pattern[i] == 'd' ? (ch < '0' || ch > '9') : ch != pattern[i])
            return QString();
    }
    const char *s = c.begin;
    return QString::fromLatin1(s, 4) + QString::fromLatin1(s + 5, 2) + QString::fromLatin1(s + 8, 2) +
           QLatin1Char('-') + QString::fromLatin1(s + 11, 2) + QString::fromLatin1(s + 14, 2) +
           QString::fromLatin1(s + 17, 2);
}

QDateTime timeOf(const Cell &c)
{
    if (c.size() > 40)
        return QDateTime();
    return QDateTime::fromString(QString::fromLatin1(c.begin, c.size()), Qt::ISODateWithMs);
}

QString seconds(double s)
{
    return QString::number(s, 'f', 3) + QStringLiteral(" s");
}

} // namespace

const std::vector<QByteArray> &RecordingParser::columnNames()
{
    static const std::vector<QByteArray> names = [] {
        std::vector<QByteArray> list;
        QByteArray header = liveCsvHeader();
        header.chop(2); // CR LF
        Cells cells;
        cells.split(header.constData(), header.constData() + header.size());
        for (int i = 0; i < std::min(cells.count, int(ColumnCount)); ++i)
            list.emplace_back(cells.cell[i].begin, cells.cell[i].size());
        return list;
    }();
    return names;
}

void RecordingParser::feed(const char *data, qint64 size, std::vector<RecordedRow> &rows)
{
    const char *p = data;
    const char *const end = data + size;
    while (p < end && !notOurs()) {
        const char *newline = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *stop = newline ? newline : end;
        // A whole line in this piece, as most are: read where it lies.
        if (newline && pending.isEmpty() && !tooLong && stop - p <= MaxLineBytes) {
            takeLine(p, stop, true, rows);
            p = newline + 1;
            continue;
        }
        if (!tooLong) {
            if (pending.size() + (stop - p) > MaxLineBytes) {
                tooLong = true;
                pending.clear();
                pending.squeeze();
            } else {
                pending.append(p, int(stop - p));
            }
        }
        if (!newline)
            return;
        takeLine(pending.constData(), pending.constData() + pending.size(), true, rows);
        pending.clear();
        tooLong = false;
        p = newline + 1;
    }
}

void RecordingParser::finish(std::vector<RecordedRow> &rows)
{
    if (notOurs() || (pending.isEmpty() && !tooLong))
        return;
    takeLine(pending.constData(), pending.constData() + pending.size(), false, rows);
    pending.clear();
    tooLong = false;
}

void RecordingParser::takeLine(const char *begin, const char *end, bool complete, std::vector<RecordedRow> &rows)
{
    ++lineNumber;
    if (end > begin && end[-1] == '\r')
        --end;
    if (lineNumber == 1) {
        if (end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0)
            begin += 3; // a byte order mark, as some editors save
        if (tooLong)
            headerProblem = {1, 0, QStringLiteral("the first line is far longer than the header of a recording")};
        else
            checkHeader(begin, end);
        return;
    }
    if (tooLong)
        skip(0, QStringLiteral("the line is longer than %1 bytes").arg(MaxLineBytes));
    else if (!complete)
        skip(0, QStringLiteral("the line is cut short: the file ends before the line does"));
    else if (begin == end)
        skip(0, QStringLiteral("the line is empty"));
    else
        readRow(begin, end, rows);
}

void RecordingParser::checkHeader(const char *begin, const char *end)
{
    Cells cells;
    const auto &names = columnNames();
    if (!cells.split(begin, end)) {
        headerProblem = {1, cells.badColumn, QString::fromLatin1(cells.badWhy)};
        return;
    }
    for (int i = 0; i < int(names.size()); ++i) {
        if (i >= cells.count) {
            headerProblem = {
                1, i + 1,
                QStringLiteral("the first line ends where \"%1\" should be").arg(QString::fromUtf8(names[size_t(i)]))};
            return;
        }
        const Cell &c = cells.cell[i];
        if (c.size() != names[size_t(i)].size() ||
            std::memcmp(c.begin, names[size_t(i)].constData(), size_t(c.size()))) {
            headerProblem = {
                1, i + 1,
                QStringLiteral("%1 where a recording has \"%2\"").arg(shown(c), QString::fromUtf8(names[size_t(i)]))};
            return;
        }
    }
}

void RecordingParser::readRow(const char *begin, const char *end, std::vector<RecordedRow> &rows)
{
    Cells cells;
    if (!cells.split(begin, end)) {
        skip(cells.badColumn, QString::fromLatin1(cells.badWhy));
        return;
    }
    if (cells.count < ColumnCount) {
        skip(cells.count + 1,
             QStringLiteral("the row ends after %1 of its %2 cells").arg(cells.count).arg(ColumnCount));
        return;
    }
    RecordedRow row;
    double *const values[] = {&row.voltage, &row.temperature, &row.current, &row.position, &row.speed};
    const int columns[] = {ColFilteredVoltage, ColFilteredTemperature, ColCurrent, ColPosition, ColSpeed};
    // A value left empty is none (the writer leaves one empty that is not a
    // number); the time is needed.
    for (int i = 0; i < 5; ++i) {
        const Cell &c = cells.cell[columns[i]];
        switch (readNumber(c, MaxValue, values[i])) {
        case Read::Number:
            break;
        case Read::Empty:
            *values[i] = qQNaN();
            break;
        case Read::Bad:
            skip(columns[i] + 1, shown(c) + QStringLiteral(" is not a number"));
            return;
        case Read::OutOfRange:
            skip(columns[i] + 1, shown(c) + QStringLiteral(" is out of range"));
            return;
        }
    }
    const Cell &time = cells.cell[ColElapsed];
    switch (readNumber(time, MaxSeconds, &row.elapsed)) {
    case Read::Number:
        break;
    case Read::Empty:
        skip(ColElapsed + 1, QStringLiteral("the time is missing"));
        return;
    case Read::Bad:
        skip(ColElapsed + 1, shown(time) + QStringLiteral(" is not a number"));
        return;
    case Read::OutOfRange:
        skip(ColElapsed + 1, shown(time) + QStringLiteral(" is out of range"));
        return;
    }
    if (row.elapsed < 0) {
        skip(ColElapsed + 1, shown(time) + QStringLiteral(" is before the start"));
        return;
    }
    if (rowsRead > 0 && row.elapsed < last) {
        skip(ColElapsed + 1,
             QStringLiteral("the time goes back, to %1 after %2").arg(seconds(row.elapsed), seconds(last)));
        return;
    }
    if (!readFlags(cells.cell[ColFlags], &row.faultFlags)) {
        skip(ColFlags + 1, shown(cells.cell[ColFlags]) + QStringLiteral(" is not a hexadecimal number (0x..)"));
        return;
    }

    if (rowsRead == 0)
        first = row.elapsed;
    last = row.elapsed;
    ++rowsRead;
    // The wall clock at elapsed 0, from the first rows whose time reads.
    if (!wallKnown && wallTries < 10) {
        ++wallTries;
        const QDateTime at = timeOf(cells.cell[ColTime]);
        if (at.isValid()) {
            wallKnown = true;
            wallZeroMs = at.toMSecsSinceEpoch() - qint64(std::llround(row.elapsed * 1000));
            offsetS = at.offsetFromUtc();
        }
    }
    if ((row.faultFlags & ~lastFlags) && int(faultList.size()) < MaxFaults)
        faultList.push_back({row.elapsed, row.faultFlags, stampOf(cells.cell[ColTime])});
    lastFlags = row.faultFlags;
    rows.push_back(row);
}

void RecordingParser::skip(int column, const QString &why)
{
    if (skipped++ == 0)
        problem = {lineNumber, column, why};
}

// ---------------------------------------------------------------------------

void RecordingInfo::take(const RecordingParser &parser)
{
    rows = parser.rowCount();
    skipped = parser.skippedCount();
    firstProblem = parser.firstProblem();
    firstElapsed = parser.firstElapsed();
    lastElapsed = parser.lastElapsed();
    hasWallTime = parser.hasWallTime();
    wallAtZeroMs = parser.wallAtZeroMs();
    utcOffsetS = parser.utcOffsetS();
    faults = parser.faults();
    const QString file = QDir::toNativeSeparators(path);
    if (parser.notOurs())
        fail(QT_TRANSLATE_NOOP("RecordingInfo", "Not a recording of this tool: %1"), {where(parser.notOursReason())});
    else if (parser.lines() == 0)
        fail(QT_TRANSLATE_NOOP("RecordingInfo", "The file %1 is empty."), {file});
    else if (rows == 0 && skipped > 0)
        fail(QT_TRANSLATE_NOOP("RecordingInfo", "No row of %1 could be read (%2 skipped). The first: %3"),
             {file, QString::number(skipped), where(firstProblem)});
    else if (rows == 0 && !cancelled)
        fail(QT_TRANSLATE_NOOP("RecordingInfo", "The file %1 holds no live reports."), {file});
}

namespace {

// A text with its %1, %2, %3 filled at once (a file name may hold a "%2").
QString filled(const QString &text, const QStringList &args)
{
    switch (args.size()) {
    case 1:
        return text.arg(args[0]);
    case 2:
        return text.arg(args[0], args[1]);
    case 3:
        return text.arg(args[0], args[1], args[2]);
    default:
        return text;
    }
}

QString shown(bool translated, const char *source)
{
    return translated ? QCoreApplication::translate("RecordingInfo", source) : QString::fromUtf8(source);
}

} // namespace

void RecordingInfo::fail(const char *source, const QStringList &args)
{
    error = filled(QString::fromUtf8(source), args);
    shownError = filled(shown(true, source), args);
}

QString RecordingInfo::where(const RecordingProblem &problem) const
{
    QString text = QDir::toNativeSeparators(path) + QStringLiteral(", line %1").arg(problem.line);
    if (problem.column > 0) {
        text += QStringLiteral(", column %1").arg(problem.column);
        const auto &names = RecordingParser::columnNames();
        if (problem.column <= int(names.size()))
            text += QStringLiteral(" (%1)").arg(QString::fromUtf8(names[size_t(problem.column - 1)]));
    }
    return text + QStringLiteral(": ") + problem.text;
}

QString RecordingInfo::faultRecordStamp(const QString &path)
{
    static const QRegularExpression name(QStringLiteral("^fault-(\\d{8}-\\d{6})(-\\d+)?\\.csv$"));
    const QRegularExpressionMatch match = name.match(QFileInfo(path).fileName());
    return match.hasMatch() ? match.captured(1) : QString();
}

int RecordingInfo::recordedFault() const
{
    const QString stamp = faultRecordStamp(path);
    if (stamp.isEmpty() || faults.empty())
        return -1;
    for (int i = 0; i < int(faults.size()); ++i)
        if (faults[size_t(i)].stamp == stamp)
            return i;
    // Renamed or copied with a time of its own: the tail follows the fault.
    const double tail = FaultBlackBox::TailMs / 1000.0 - 0.05;
    for (int i = int(faults.size()) - 1; i >= 0; --i)
        if (lastElapsed - faults[size_t(i)].elapsed >= tail)
            return i;
    return 0;
}

QString RecordingInfo::message(bool translated) const
{
    if (!error.isEmpty())
        return translated && !shownError.isEmpty() ? shownError : error;
    const QString file = QDir::toNativeSeparators(path);
    QString text = filled(shown(translated, QT_TRANSLATE_NOOP("RecordingInfo", "%1: %2 rows, %3")),
                          {file, QString::number(rows), seconds(duration())});
    if (cancelled)
        text += shown(translated,
                      QT_TRANSLATE_NOOP("RecordingInfo", "; reading was cancelled, the rest of the file is not shown"));
    if (skipped == 1)
        text += filled(shown(translated, QT_TRANSLATE_NOOP("RecordingInfo", "; 1 row could not be read and was "
                                                                            "skipped, the first: %1")),
                       {where(firstProblem)});
    else if (skipped > 1)
        text += filled(shown(translated, QT_TRANSLATE_NOOP("RecordingInfo", "; %1 rows could not be read and were "
                                                                            "skipped, the first: %2")),
                       {QString::number(skipped), where(firstProblem)});
    return text;
}
