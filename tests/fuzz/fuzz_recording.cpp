// A live data file of any content, read as the Records page reads one: in
// one piece, and in pieces of a size the input picks, with the same rows,
// counts and first problem either way; every row in time order with its
// numbers in range, every line after the header either a row or skipped,
// every fault moment where the rows' flags rose, and the operator told why
// a file shows nothing, naming the line and a column that line has.
#include "FuzzSupport.h"

#include "record/RecordingReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Ends the run, in every build, naming the check that failed.
[[noreturn]] void failed(const char *what, int line)
{
    std::fprintf(stderr, "fuzz_recording.cpp:%d: check failed: %s\n", line, what);
    std::abort();
}
#define CHECK(condition) ((condition) ? void() : failed(#condition, __LINE__))

struct Read
{
    RecordingParser parser;
    std::vector<RecordedRow> rows;
};

void read(Read &r, const char *data, size_t size, size_t piece)
{
    for (size_t at = 0; at < size; at += piece)
        r.parser.feed(data + at, qint64(std::min(piece, size - at)), r.rows);
    r.parser.finish(r.rows);
}

bool sameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// The lines of the input as the reader counts them: a last line without its
// line end is one too.
struct Lines
{
    std::vector<size_t> starts;
    const char *data;
    size_t size;

    Lines(const char *data, size_t size) : data(data), size(size)
    {
        for (size_t at = 0; at < size;) {
            starts.push_back(at);
            const void *newline = std::memchr(data + at, '\n', size - at);
            at = newline ? size_t(static_cast<const char *>(newline) - data) + 1 : size;
        }
    }
    qint64 count() const { return qint64(starts.size()); }
    // The commas of line n (1 is the first).
    qint64 commas(qint64 n) const
    {
        const size_t from = starts[size_t(n - 1)];
        const size_t to = n < count() ? starts[size_t(n)] : size;
        return std::count(data + from, data + to, ',');
    }
};

// A problem's column is one its line has (or 0: the line as a whole); a
// cell past the last column can be at fault too (an open quote), but no
// cell the line does not have. (Its line is checked against the counts.)
void checkColumn(const RecordingProblem &problem, const Lines &lines)
{
    const qint64 columns =
        std::max<qint64>(qint64(RecordingParser::columnNames().size()), lines.commas(problem.line) + 1);
    CHECK(problem.column >= 0 && problem.column <= columns);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    const Lines input(bytes, size);
    Read whole, pieces;
    read(whole, bytes, size, std::max<size_t>(size, 1));
    read(pieces, bytes, size, size > 0 ? 1 + data[0] % 97 : 1);

    const RecordingParser &p = whole.parser;
    CHECK(pieces.parser.notOurs() == p.notOurs());
    CHECK(pieces.parser.skippedCount() == p.skippedCount());
    CHECK(pieces.parser.firstProblem().line == p.firstProblem().line);
    CHECK(pieces.parser.firstProblem().column == p.firstProblem().column);
    CHECK(pieces.parser.hasWallTime() == p.hasWallTime() && pieces.parser.wallAtZeroMs() == p.wallAtZeroMs());
    CHECK(pieces.rows.size() == whole.rows.size());
    for (size_t i = 0; i < whole.rows.size(); ++i) {
        const RecordedRow &a = whole.rows[i], &b = pieces.rows[i];
        CHECK(a.elapsed == b.elapsed && a.faultFlags == b.faultFlags && sameNumber(a.voltage, b.voltage) &&
              sameNumber(a.temperature, b.temperature) && sameNumber(a.current, b.current) &&
              sameNumber(a.position, b.position) && sameNumber(a.speed, b.speed));
        CHECK(std::isfinite(a.elapsed) && a.elapsed >= 0 && a.elapsed <= RecordingParser::MaxSeconds);
        CHECK(i == 0 || a.elapsed >= whole.rows[i - 1].elapsed);
        for (double v : {a.voltage, a.temperature, a.current, a.position, a.speed})
            CHECK(std::isnan(v) || std::abs(v) <= RecordingParser::MaxValue);
    }
    CHECK(qint64(whole.rows.size()) == p.rowCount());
    if (!whole.rows.empty())
        CHECK(p.firstElapsed() == whole.rows.front().elapsed && p.lastElapsed() == whole.rows.back().elapsed);

    // Every line read, and no more than the input has; a file that is not
    // ours is left after its first line, giving no rows.
    CHECK(p.lines() <= input.count());
    if (p.notOurs()) {
        CHECK(p.lines() == 1 && p.notOursReason().line == 1);
        CHECK(p.rowCount() == 0 && p.skippedCount() == 0);
        checkColumn(p.notOursReason(), input);
    } else {
        CHECK(p.lines() == input.count());
    }
    if (!p.notOurs() && p.lines() > 0)
        CHECK(p.rowCount() + p.skippedCount() == p.lines() - 1);
    if (p.skippedCount() > 0) {
        // (a cell past the 22nd can be at fault too: an open quote)
        CHECK(p.firstProblem().line >= 2 && p.firstProblem().line <= p.lines() && p.firstProblem().column >= 0 &&
              p.firstProblem().column <= RecordingParser::MaxLineBytes + 1 && !p.firstProblem().text.isEmpty());
        checkColumn(p.firstProblem(), input);
    }

    // A fault moment wherever a row's flags rose from the row before (from
    // 0 before the first row), as many as are kept.
    std::vector<RecordedFault> rose;
    int before = 0;
    for (const RecordedRow &row : whole.rows) {
        if ((row.faultFlags & ~before) && int(rose.size()) < RecordingParser::MaxFaults)
            rose.push_back({row.elapsed, row.faultFlags, QString()});
        before = row.faultFlags;
    }
    CHECK(int(p.faults().size()) <= RecordingParser::MaxFaults);
    CHECK(p.faults().size() == rose.size());
    for (size_t i = 0; i < rose.size(); ++i)
        CHECK(p.faults()[i].elapsed == rose[i].elapsed && p.faults()[i].flags == rose[i].flags);

    // What the operator is told names the file; a file that shows nothing
    // says why, with the line (and column) at fault where one is.
    RecordingInfo info;
    info.path = QStringLiteral("in.csv");
    info.take(p);
    const QString message = info.message();
    CHECK(message.contains(QStringLiteral("in.csv")));
    CHECK(info.error.isEmpty() == (p.rowCount() > 0));
    if (p.notOurs())
        CHECK(message.contains(info.where(p.notOursReason())));
    if (p.skippedCount() > 0)
        CHECK(message.contains(info.where(p.firstProblem())));
    CHECK(info.recordedFault() == -1); // not named as a fault record
    return 0;
}
