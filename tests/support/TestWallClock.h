#pragma once

#include "device/Clock.h"
#include "record/WallClock.h"

// A wall clock that moves with a monotonic clock from a fixed moment, in a
// fixed time zone offset: time stamps in tests are known in advance.
class TestWallClock : public WallClock
{
public:
    TestWallClock(const MonotonicClock &clock, const QDateTime &at, int utcOffsetS)
        : clock(clock), baseMs(at.toMSecsSinceEpoch() - clock.nowMs()), offsetS(utcOffsetS)
    {}
    WallTime now() const override { return {baseMs + clock.nowMs(), offsetS}; }

private:
    const MonotonicClock &clock;
    qint64 baseMs;
    int offsetS;
};
