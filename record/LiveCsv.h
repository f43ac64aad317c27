#pragma once

#include "device/Records.h"
#include "record/Csv.h"
#include "record/WallClock.h"

#include <QByteArray>
#include <QtGlobal>

// One live report as the files keep it: the decoded record and when it came,
// on the monotonic clock (for intervals) and on the wall clock (for the time
// stamp).
struct LiveSample
{
    qint64 monotonicMs = 0;
    WallTime wall;
    RTDataRecord rt;
};

// The decimals a live data file keeps of the readings (the charts round
// their readouts alike); times to the millisecond.
namespace LiveDecimals {
constexpr int Seconds = 3;
constexpr int Voltage = 3;
constexpr int Temperature = 3;
constexpr int Current = 4;
} // namespace LiveDecimals

// The columns of a live data file, the same for a recording and a fault
// record; one line per live report:
//   time (ISO 8601 local time with milliseconds and UTC offset),
//   seconds since the file began (a recording's start, a fault record's
//   first report),
//   supply voltage and its filtered value, temperature and its filtered
//   value, motor current, driver state (code and text), fault flags (hex)
//   and the text of every set fault bit, the seven input pins (0 or 1),
//   operating mode, position, speed, trajectory tick rate.
// The header line names every column with its unit.
QByteArray liveCsvHeader();

// ISO 8601 local time with milliseconds and the offset from UTC ("Z" when
// there is none), as the files write it.
QString isoWallTime(const WallTime &when);

// Builds the line of one sample into line (cleared first) and returns its
// bytes; startMs is the monotonic time the file began.
const QByteArray &liveCsvRow(CsvLine &line, const LiveSample &sample, qint64 startMs);
