#include "app/Options.h"
#include "device/Clock.h"
#include "device/TorvanDRV.h"
#include "device/TransportChain.h"
#include "firmware/UpdateSnapshots.h"
#include "log/Logger.h"
#include "record/WallClock.h"
#include "service/BoardService.h"
#include "service/ServiceHost.h"
#include "ui/Language.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

// The one device object of the process, built before main runs.
static TorvanDRV Torvan;

// --user-dir: the tool runs, and logs, in the per-user folder, made if need
// be. A relative trace (or --open) file still means the folder the command
// was given in.
// Should the folder be unusable the tool runs where it was started.
static void enterUserFolder(Options &options)
{
    if (!options.board.traceFile.isEmpty())
        options.board.traceFile = QFileInfo(options.board.traceFile).absoluteFilePath();
    if (!options.openFile.isEmpty())
        options.openFile = QFileInfo(options.openFile).absoluteFilePath();
    const QString folder = userFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
        QTextStream(stderr) << "Cannot run in the folder \"" << folder << "\" (from XDG_STATE_HOME or HOME); "
                            << "the log goes to " << QDir::currentPath() << "\n";
    }
}

// SIGTERM and SIGINT end the window as closing it does, so that what it
// serves on goes away with it. The handler only writes a byte; the event
// loop does the rest.
static int quitPipe[2] = {-1, -1};

static void onQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(quitPipe[1], &byte, 1);
}

static void quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, quitPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// --check: where each picture came from, where the log goes and the
// language the window is shown in. Succeeds only when every picture loaded.
static int reportStart(const MainWindow &window, const QString &language)
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
    out << "language: " << language << "\n";
    return allLoaded ? 0 : 1;
}

// --check shows no window: where there is no display to show one on, it runs
// on the offscreen platform rather than abort. A platform the user chose
// stays.
static void checkWithoutDisplay(int argc, char *argv[])
{
    bool check = false;
    for (int i = 1; i < argc; ++i)
        check = check || std::strcmp(argv[i], "--check") == 0;
    if (check && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

int main(int argc, char *argv[])
{
    checkWithoutDisplay(argc, argv);
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
    // Before the window is built: it takes its texts as it is built. A
    // language without a translation is no reason not to start.
    QString languageWarning;
    const QString language = Language::choose(options.language, QLocale::system().uiLanguages(), &languageWarning);
    if (!languageWarning.isEmpty())
        QTextStream(stderr) << languageWarning << "\n";
    QString shownLanguage = language;
    if (!Language::install(language)) {
        QTextStream(stderr) << "The translation \"" << language
                            << "\" cannot be loaded; the window is shown in English.\n";
        shownLanguage = QStringLiteral("en");
    }

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
        return reportStart(window, shownLanguage);
    // Other programs of the user reach the board through the window while it
    // holds it (torvan60ctl, scripts).
    SystemWallClock wallClock;
    // The board's settings are kept over a firmware update; after one that
    // changed them the operator chooses to restore or keep them.
    UpdateSnapshots snapshots(Torvan, wallClock);
    snapshots.setFolder(UpdateSnapshots::defaultFolder());
    snapshots.setLogger(window.eventLog());
    snapshots.setOnDifference(UpdateSnapshots::OnDifference::Ask);
    window.attachSnapshots(snapshots);
    BoardService service(Torvan, clock, wallClock);
    service.setHolder(QStringLiteral("torvan60"), QCoreApplication::applicationPid());
    service.setLogger(window.eventLog());
    window.attachService(service);
    std::unique_ptr<ServiceHost> serving;
    if (!options.noService)
        serving = std::make_unique<ServiceHost>(service, Torvan, window.eventLog());
    quitOnSignals(app);
    window.show();
    if (!options.openFile.isEmpty())
        window.openRecording(options.openFile);
    return app.exec();
}
