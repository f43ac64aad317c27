#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// The monotonic time base of every wait and poll window on the link, and of
// the simulated board. Busy loops call spin() on every turn: the steady clock
// does nothing there, a manual clock (tests) advances its time, so timeouts
// run instantly and deterministically.
class MonotonicClock
{
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 nowMs() const = 0;
    virtual void spin() = 0;
};

// Milliseconds since start() or restart() on a monotonic clock: an elapsed
// timer that tests can drive through the clock they hand in.
class ElapsedClock
{
public:
    void start(const MonotonicClock &source)
    {
        clock = &source;
        startMs = source.nowMs();
    }
    void restart()
    {
        if (clock)
            startMs = clock->nowMs();
    }
    qint64 elapsed() const { return clock ? clock->nowMs() - startMs : 0; }

private:
    const MonotonicClock *clock = nullptr;
    qint64 startMs = 0;
};

class SteadyClock : public MonotonicClock
{
public:
    SteadyClock() { timer.start(); }
    qint64 nowMs() const override { return timer.elapsed(); }
    void spin() override {}

private:
    QElapsedTimer timer;
};
