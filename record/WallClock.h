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

// The system's clock in the system's time zone. The offset from UTC is asked
// for once a minute (time zones change it on whole minutes), so a reading
// costs no more than the clock itself.
class SystemWallClock : public WallClock
{
public:
    WallTime now() const override
    {
        const qint64 ms = QDateTime::currentMSecsSinceEpoch();
        if (ms < offsetFromMs || ms >= offsetUntilMs) {
            offsetS = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
            offsetFromMs = ms - ms % 60000;
            offsetUntilMs = offsetFromMs + 60000;
        }
        return {ms, offsetS};
    }

private:
    mutable qint64 offsetFromMs = 0;
    mutable qint64 offsetUntilMs = 0;
    mutable int offsetS = 0;
};
