#include "app/Options.h"
#include "device/Clock.h"
#include "device/ExclusiveTransport.h"
#include "device/TorvanDRV.h"
#include "device/TracingTransport.h"
#include "device/sim/Scenarios.h"
#include "device/sim/SimulatedBoard.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxDialogs.h"

#include <QApplication>
#include <QTextStream>

#include <memory>

// The one device object of the process, built before main runs.
static TorvanDRV Torvan;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const Options options = parseOptions(app.arguments());
    const QString usage = optionsUsage(simulationScenarioNames());
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << options.error << " (" << usage << ")\n";
        return 2;
    }
    if (!options.ignored.isEmpty())
        QTextStream(stderr) << "Ignoring " << options.ignored.join(QLatin1Char(' ')) << " (" << usage << ")\n";

    SteadyClock clock;
    std::unique_ptr<SimulatedBus> simulatedBus;
    std::unique_ptr<HidapiTransport> usb;
    std::unique_ptr<ExclusiveTransport> exclusiveUsb;
    HidTransport *transport = nullptr;
    if (options.simulate) {
        simulatedBus = std::make_unique<SimulatedBus>(clock);
        if (!applySimulationScenario(simulatedBus->addBoard(), options.scenario)) {
            QTextStream(stderr) << "Unknown simulation scenario: " << options.scenario << "\n";
            return 2;
        }
        transport = simulatedBus.get();
    } else {
        usb = std::make_unique<HidapiTransport>();
        exclusiveUsb = std::make_unique<ExclusiveTransport>(*usb);
        transport = exclusiveUsb.get();
    }
    std::unique_ptr<TracingTransport> tracing;
    if (!options.traceFile.isEmpty()) {
        tracing = std::make_unique<TracingTransport>(*transport, clock, options.traceFile);
        if (!tracing->isOpen()) {
            QTextStream(stderr) << "Cannot write trace file " << options.traceFile << ": " << tracing->errorString()
                                << "\n";
            return 2;
        }
        transport = tracing.get();
    }

    MessageBoxDialogs dialogs;
    Torvan.SetClock(&clock);
    Torvan.SetTransport(transport);
    Torvan.SetDialogs(&dialogs);

    // Nothing is closed or sent at exit: the device object, built before
    // main, outlives the transports and the clock but no longer runs.
    MainWindow window(Torvan, clock);
    window.show();
    return app.exec();
}
