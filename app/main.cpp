#include "app/Logger.h"
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
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <memory>

// The one device object of the process, built before main runs.
static TorvanDRV Torvan;

// --user-dir: the tool runs, and logs, in the per-user folder, made if need
// be. A relative trace (or --open) file still means the folder the command
// was given in.
// Should the folder be unusable the tool runs where it was started.
static void enterUserFolder(Options &options)
{
    if (!options.traceFile.isEmpty())
        options.traceFile = QFileInfo(options.traceFile).absoluteFilePath();
    if (!options.openFile.isEmpty())
        options.openFile = QFileInfo(options.openFile).absoluteFilePath();
    const QString folder = userFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
        QTextStream(stderr) << "Cannot run in the folder \"" << folder << "\" (from XDG_STATE_HOME or HOME); "
                            << "the log goes to " << QDir::currentPath() << "\n";
    }
}

// --check: where each picture came from and where the log goes. Succeeds
// only when every picture loaded.
static int reportStart(const MainWindow &window)
{
    QTextStream out(stdout);
    bool allLoaded = true;
    for (const MainWindow::PictureSource &picture : window.pictureSources()) {
        const bool loaded = !picture.file.isEmpty();
        allLoaded = allLoaded && loaded;
        out << "picture " << picture.name << ": "
            << (loaded ? QFileInfo(picture.file).absoluteFilePath() : QStringLiteral("not loaded")) << "\n";
    }
    out << "log: " << QDir::current().absoluteFilePath(Logger::defaultFileName()) << "\n";
    return allLoaded ? 0 : 1;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Desktops match the window to the installed desktop entry (and its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("torvan60"));
    Options options = parseOptions(app.arguments());
    const QString usage = optionsUsage(simulationScenarioNames());
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << options.error << " (" << usage << ")\n";
        return 2;
    }
    if (!options.ignored.isEmpty())
        QTextStream(stderr) << "Ignoring " << options.ignored.join(QLatin1Char(' ')) << " (" << usage << ")\n";
    if (options.userDir)
        enterUserFolder(options);

    SteadyClock clock;
    std::unique_ptr<SimulatedBus> simulatedBus;
    std::unique_ptr<HidapiTransport> usb;
    std::unique_ptr<ExclusiveTransport> exclusiveUsb;
    HidTransport *transport = nullptr;
    if (options.simulate) {
        simulatedBus = std::make_unique<SimulatedBus>(clock);
        if (!addSimulatedBoards(*simulatedBus, options.simulatedBoards, options.scenario)) {
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
    Torvan.SetSerialFilter(options.serial);

    // Nothing is closed or sent at exit: the device object, built before
    // main, outlives the transports and the clock but no longer runs.
    MainWindow window(Torvan, clock);
    if (options.check)
        return reportStart(window);
    window.show();
    if (!options.openFile.isEmpty())
        window.openRecording(options.openFile);
    return app.exec();
}
