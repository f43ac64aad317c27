#pragma once

#include "device/BoardOptions.h"
#include "device/Clock.h"
#include "device/HidTransport.h"

#include <memory>

class ExclusiveTransport;
class SimulatedBus;
class TorvanDRV;
class TracingTransport;

// The one way a front end reaches boards: the USB bus, where a board one
// program holds is invisible to every other (an exclusive open), or the
// simulated boards of the options; with --trace, every report of either is
// written to the trace file. The window, torvan60ctl and every other user
// build it from the shared options and attach their device object to it.
class TransportChain
{
public:
    explicit TransportChain(MonotonicClock &clock);
    ~TransportChain();
    TransportChain(const TransportChain &) = delete;
    TransportChain &operator=(const TransportChain &) = delete;

    // Builds the chain for the options: empty on success, else why it could
    // not be built, for the user (a trace file that cannot be written).
    QString build(const BoardOptions &options);

    // The outermost transport; valid once build() succeeded.
    HidTransport &transport() const { return *outer; }
    // The simulated bus, when the options asked for one.
    SimulatedBus *simulatedBus() const { return simulated.get(); }

    // Gives the device object the clock, the transport and the options'
    // serial filter.
    void attach(TorvanDRV &drv) const;

private:
    MonotonicClock &clock;
    QString serial;
    std::unique_ptr<SimulatedBus> simulated;
    std::unique_ptr<HidapiTransport> usb;
    std::unique_ptr<ExclusiveTransport> exclusive;
    std::unique_ptr<TracingTransport> tracing;
    HidTransport *outer = nullptr;
};
