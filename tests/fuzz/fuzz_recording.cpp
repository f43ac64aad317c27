// A live data file of any content, read as the Records page reads one: in
// one piece, and in pieces of a size the input picks, with the same rows,
// counts and first problem either way; every row in time order with its
// numbers in range, every line after the header either a row or skipped.
#include "FuzzSupport.h"

#include "record/RecordingReader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

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

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    Read whole, pieces;
    read(whole, bytes, size, std::max<size_t>(size, 1));
    read(pieces, bytes, size, size > 0 ? 1 + data[0] % 97 : 1);

    const RecordingParser &p = whole.parser;
    check(pieces.parser.notOurs() == p.notOurs());
    check(pieces.parser.skippedCount() == p.skippedCount());
    check(pieces.parser.firstProblem().line == p.firstProblem().line);
    check(pieces.parser.firstProblem().column == p.firstProblem().column);
    check(pieces.rows.size() == whole.rows.size());
    for (size_t i = 0; i < whole.rows.size(); ++i) {
        const RecordedRow &a = whole.rows[i], &b = pieces.rows[i];
        check(a.elapsed == b.elapsed && a.faultFlags == b.faultFlags && sameNumber(a.voltage, b.voltage) &&
              sameNumber(a.temperature, b.temperature) && sameNumber(a.current, b.current) &&
              sameNumber(a.position, b.position) && sameNumber(a.speed, b.speed));
        check(std::isfinite(a.elapsed) && a.elapsed >= 0 && a.elapsed <= RecordingParser::MaxSeconds);
        check(i == 0 || a.elapsed >= whole.rows[i - 1].elapsed);
        for (double v : {a.voltage, a.temperature, a.current, a.position, a.speed})
            check(std::isnan(v) || std::abs(v) <= RecordingParser::MaxValue);
    }
    check(qint64(whole.rows.size()) == p.rowCount());
    if (!p.notOurs() && p.lines() > 0)
        check(p.rowCount() + p.skippedCount() == p.lines() - 1);
    if (p.skippedCount() > 0)
        // (a cell past the 22nd can be at fault too: an open quote)
        check(p.firstProblem().line >= 2 && p.firstProblem().line <= p.lines() && p.firstProblem().column >= 0 &&
              p.firstProblem().column <= RecordingParser::MaxLineBytes + 1 && !p.firstProblem().text.isEmpty());
    check(int(p.faults().size()) <= RecordingParser::MaxFaults);

    // What the operator is told names the file.
    RecordingInfo info;
    info.path = QStringLiteral("in.csv");
    info.take(p);
    check(info.message().contains(QStringLiteral("in.csv")));
    check(info.recordedFault() == -1); // not named as a fault record
    return 0;
}
