#pragma once

#include "device/Clock.h"

// A clock that only moves when told to, or by one millisecond on every turn
// of a busy loop, so waits and poll windows run instantly in tests.
class ManualClock : public MonotonicClock
{
public:
    qint64 nowMs() const override { return now; }
    void spin() override { now += step; }
    void advance(qint64 ms) { now += ms; }

    qint64 now = 1000;
    qint64 step = 1;
};
