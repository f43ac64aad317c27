#pragma once

#include <QDateTime>
#include <QtGlobal>

// A moment on the wall clock: milliseconds since 1970-01-01 00:00 UTC and the
// offset of the local time from UTC then, so it can be written as local time
// without asking the time zone again.
struct WallTime
{
    qint64 msSinceEpoch = 0;
    int utcOffsetS = 0;

    QDateTime toDateTime() const { return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::OffsetFromUTC, utcOffsetS); }
};

// The time stamps of live data files. Intervals are measured on the
// monotonic clock; this only says what time it was. Tests hand in a fixed one.
class WallClock
{
public:
    virtual ~WallClock() = default;
    virtual WallTime now() const = 0;
};

class SystemWallClock : public WallClock
{
public:
    WallTime now() const override
    {
        const QDateTime local = QDateTime::currentDateTime();
        return {local.toMSecsSinceEpoch(), local.offsetFromUtc()};
    }
};
