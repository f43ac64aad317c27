#include "app/Options.h"
#include "device/Clock.h"
#include "device/TorvanDRV.h"
#include "device/TransportChain.h"
#include "log/Logger.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

// The one device object of the process, built before main runs.
static TorvanDRV Torvan;

// --user-dir: the tool runs, and logs, in the per-user folder, made if need
// be. A relative trace file still means the folder the command was given in.
// Should the folder be unusable the tool runs where it was started.
static void enterUserFolder(Options &options)
{
    if (!options.board.traceFile.isEmpty())
        options.board.traceFile = QFileInfo(options.board.traceFile).absoluteFilePath();
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
    const QString usage = optionsUsage();
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << options.error << " (" << usage << ")\n";
        return 2;
    }
    if (!options.ignored.isEmpty())
        QTextStream(stderr) << "Ignoring " << options.ignored.join(QLatin1Char(' ')) << " (" << usage << ")\n";
    if (options.userDir)
        enterUserFolder(options);

    SteadyClock clock;
    TransportChain chain(clock);
    const QString chainError = chain.build(options.board);
    if (!chainError.isEmpty()) {
        QTextStream(stderr) << chainError << "\n";
        return 2;
    }

    MessageBoxDialogs dialogs;
    chain.attach(Torvan);
    Torvan.SetDialogs(&dialogs);

    // Nothing is closed or sent at exit: the device object, built before
    // main, outlives the transports and the clock but no longer runs.
    MainWindow window(Torvan, clock);
    if (options.check)
        return reportStart(window);
    window.show();
    return app.exec();
}
