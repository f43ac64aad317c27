#include "device/TransportChain.h"

#include "device/ExclusiveTransport.h"
#include "device/TorvanDRV.h"
#include "device/TracingTransport.h"
#include "device/sim/Scenarios.h"
#include "device/sim/SimulatedBoard.h"

TransportChain::TransportChain(MonotonicClock &clock) : clock(clock)
{}

TransportChain::~TransportChain() = default;

QString TransportChain::build(const BoardOptions &options)
{
    serial = options.serial;
    if (options.simulate) {
        simulated = std::make_unique<SimulatedBus>(clock);
        if (!addSimulatedBoards(*simulated, options.simulatedBoards, options.scenario))
            return QStringLiteral("unknown simulation scenario \"%1\"").arg(options.scenario);
        outer = simulated.get();
    } else {
        usb = std::make_unique<HidapiTransport>();
        exclusive = std::make_unique<ExclusiveTransport>(*usb);
        outer = exclusive.get();
    }
    if (!options.traceFile.isEmpty()) {
        tracing = std::make_unique<TracingTransport>(*outer, clock, options.traceFile);
        if (!tracing->isOpen())
            return QStringLiteral("Cannot write trace file %1: %2").arg(options.traceFile, tracing->errorString());
        outer = tracing.get();
    }
    return QString();
}

void TransportChain::attach(TorvanDRV &drv) const
{
    drv.SetClock(&clock);
    drv.SetTransport(outer);
    drv.SetSerialFilter(serial);
}
