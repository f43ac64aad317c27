#pragma once

#include "record/LiveCsv.h"

#include <QFile>
#include <QString>

#include <cmath>
#include <functional>

// Live data files as the tool writes them (header and rows from
// record/LiveCsv), made up for tests and benchmarks.

// A report of a made-up run at 100 reports a second, report i of it: the
// motor swinging between two positions, the temperature drifting, some
// current, the supply at 24 V; faultFlags from the report faultAt on (none
// when negative).
inline LiveSample madeUpSample(qint64 i, const WallTime &start, int faultAt = -1, int faultFlags = 0x02)
{
    LiveSample s;
    s.monotonicMs = 1000 + i * 10;
    s.wall = {start.msSinceEpoch + i * 10, start.utcOffsetS};
    RTDataRecord &rt = s.rt;
    const double t = i / 100.0;
    rt.SupplyVoltage = rt.FilteredVoltage = 24 + 0.2 * std::sin(t / 7);
    rt.Temperature = rt.FilteredTemperature = 30 + t / 600;
    rt.MotorCurrent = 0.5 + 0.25 * std::sin(t);
    rt.DriverState = 2;
    rt.OperatingMode = 4;
    rt.CurrentPosition = int32_t(std::lround(10000 * std::sin(t / 10)));
    rt.CurrentSpeed = int32_t(std::lround(1000 * std::cos(t / 10)));
    rt.TrajTickRate = 1000;
    if (faultAt >= 0 && i >= faultAt)
        rt.FaultFlags = faultFlags;
    return s;
}

// Writes rows reports from sampleAt(0) on to path; the elapsed seconds count
// from the first. False when the file cannot be written.
inline bool writeLiveCsv(const QString &path, qint64 rows, const std::function<LiveSample(qint64)> &sampleAt)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(liveCsvHeader());
    CsvLine line;
    const qint64 startMs = rows > 0 ? sampleAt(0).monotonicMs : 0;
    QByteArray block;
    for (qint64 i = 0; i < rows; ++i) {
        block.append(liveCsvRow(line, sampleAt(i), startMs));
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
    return file.flush();
}
