#include "cli/Session.h"

#include "cli/Output.h"
#include "device/Records.h"
#include "log/Logger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

volatile std::sig_atomic_t interruptRequested = 0;

void onInterrupt(int)
{
    interruptRequested = 1;
}

// How long the device information exchange may take on a board that does
// not answer, with margin for a loaded machine.
constexpr int ConnectTimeoutMs = 10000;
constexpr int SettingsTimeoutMs = 4000;
constexpr int LiveTimeoutMs = 4000;
// Five live reports fill the voltage and temperature filter.
constexpr int FilterReports = 5;

QString serialList(const std::vector<BoardEntry> &boards)
{
    QStringList serials;
    for (const BoardEntry &board : boards)
        serials << board.entry.serialNumber + (board.held ? QStringLiteral(" (held)") : QString());
    return serials.join(QStringLiteral(", "));
}

} // namespace

bool CliDialogs::ask(const QString &title, const QString &text)
{
    asked << text;
    bool yes = answer == Answer::Yes;
    if (answer == Answer::AskTerminal) {
        std::fprintf(stderr, "%s\n%s [y/N] ", title.toUtf8().constData(), text.toUtf8().constData());
        std::fflush(stderr);
        std::string reply;
        yes = std::getline(std::cin, reply) && (reply == "y" || reply == "Y" || reply == "yes");
    }
    declined = declined || !yes;
    return yes;
}

void CliDialogs::notice(const QString &title, const QString &text)
{
    Out::error(title + QStringLiteral(": ") + text);
}

void CliDialogs::warning(const QString &title, const QString &text)
{
    Out::warning(title + QStringLiteral(": ") + text);
}

Session::Session(const CliOptions &options) : options(options)
{
    interruptRequested = 0;
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    connect(&drv, &TorvanDRV::newRTDataAvailable, this, [this] {
        // Disconnect emits it too, with zeroed readings: not a report.
        if (!drv.IsConnected())
            return;
        ++liveCount;
        if (onLiveReport)
            onLiveReport();
    });
    connect(&drv, &TorvanDRV::newDriverValuesAvailable, this,
            [this] { settingsSeen.insert(drv.InputReport[Report::TypeByte]); });
    connect(&drv, &TorvanDRV::newFWProgressValueAvailable, this, [this] {
        if (onFirmwareProgress)
            onFirmwareProgress();
    });
}

Session::~Session()
{
    // Close the board so its lock goes at once; nothing is sent.
    if (drv.IsConnected())
        drv.Disconnect();
}

bool Session::interrupted()
{
    return interruptRequested != 0;
}

int Session::open()
{
    const QString error = chain.build(options.board);
    if (!error.isEmpty()) {
        Out::error(error);
        return Exit::Usage;
    }
    if (options.log) {
        logger = std::make_unique<Logger>(nullptr, Logger::defaultFileName(), nullptr);
        logger->write(QStringLiteral("Application started: torvan60ctl ") + QCoreApplication::applicationVersion());
        drv.SetLogger(logger.get());
    }
    chain.attach(drv);
    // The serial is chosen (or checked) when connecting.
    drv.SetSerialFilter(QString());
    drv.SetDialogs(&dialogs);
    return Exit::Ok;
}

std::vector<BoardEntry> Session::boards()
{
    std::vector<BoardEntry> found;
    for (const HidDeviceEntry &entry : chain.transport().enumerate(0, 0))
        if (drv.IsTorvanBoard(entry))
            found.push_back({entry, false});
    for (const HidDeviceEntry &entry : chain.transport().enumerateHeld(0, 0))
        if (drv.IsTorvanBoard(entry))
            found.push_back({entry, true});
    return found;
}

int Session::selectBoard(QString &serial)
{
    const std::vector<BoardEntry> found = boards();
    std::vector<BoardEntry> free;
    for (const BoardEntry &board : found)
        if (!board.held)
            free.push_back(board);
    if (!options.board.serial.isEmpty()) {
        for (const BoardEntry &board : found) {
            if (board.entry.serialNumber != options.board.serial)
                continue;
            if (board.held) {
                Out::error(QStringLiteral("board %1 is held by another program").arg(options.board.serial));
                return Exit::NoBoard;
            }
            serial = options.board.serial;
            return Exit::Ok;
        }
        Out::error(
            found.empty()
                ? QStringLiteral("no board with serial %1; no board found").arg(options.board.serial)
                : QStringLiteral("no board with serial %1; found: %2").arg(options.board.serial, serialList(found)));
        return Exit::NoBoard;
    }
    if (free.size() == 1) {
        serial = free.front().entry.serialNumber;
        return Exit::Ok;
    }
    if (free.empty()) {
        Out::error(found.empty() ? QStringLiteral("no board found")
                                 : QStringLiteral("no free board; found: %1").arg(serialList(found)));
        return Exit::NoBoard;
    }
    Out::error(QStringLiteral("several boards found (%1); pick one with --serial").arg(serialList(found)));
    return Exit::Usage;
}

int Session::connectBoard(Need need)
{
    // Once connected, the board is not chosen again: the exclusive open
    // shows a board this program holds as held.
    if (!drv.IsConnected()) {
        QString serial;
        if (const int code = selectBoard(serial))
            return code;
        drv.SetSerialFilter(serial);
        drv.StartTimers();
    }
    const QString serial = drv.SerialFilter();
    // The identity is read inside the connection itself; the signal after
    // it carries the unique id.
    const Wait connected =
        waitUntil([this] { return drv.IsConnected() && drv.BusyCode == 0 && !drv.DriverInfo.UniqueIDText.isEmpty(); },
                  ConnectTimeoutMs, false);
    if (connected == Wait::Interrupted) {
        Out::error(QStringLiteral("interrupted"));
        return Exit::Failed;
    }
    if (connected != Wait::Done) {
        Out::error(drv.IsConnected() ? QStringLiteral("board %1 does not answer").arg(serial)
                                     : QStringLiteral("board %1 could not be opened").arg(serial));
        return Exit::NoBoard;
    }
    if (warnOutdatedFirmware && !dialogs.asked.isEmpty())
        Out::warning(QStringLiteral("the board's firmware differs from the carried one; run \"torvan60ctl firmware "
                                    "update\""));
    warnOutdatedFirmware = false;
    if (need == Need::Identity)
        return Exit::Ok;
    if (drv.DriverInfo.BootloaderActive) {
        Out::error(QStringLiteral("board %1 runs its boot loader; run \"torvan60ctl firmware update\" or \"restart\"")
                       .arg(serial));
        return Exit::Failed;
    }
    if (!waitSettings(SettingsTimeoutMs)) {
        if (!drv.IsConnected()) {
            Out::error(QStringLiteral("board %1 was lost").arg(serial));
            return Exit::NoBoard;
        }
        Out::error(QStringLiteral("board %1 did not send its settings").arg(serial));
        return Exit::Failed;
    }
    if (need == Need::Settings)
        return Exit::Ok;
    const Wait live = waitLiveReports(FilterReports, LiveTimeoutMs);
    if (live == Wait::Lost) {
        Out::error(QStringLiteral("board %1 was lost").arg(serial));
        return Exit::NoBoard;
    }
    if (live != Wait::Done) {
        Out::error(QStringLiteral("board %1 sends no live data").arg(serial));
        return Exit::Failed;
    }
    return Exit::Ok;
}

bool Session::waitSettings(int timeoutMs)
{
    return waitUntil(
               [this] {
                   return sawReply(Report::RptDriverRegisters) && sawReply(Report::RptOtherSettings) &&
                          sawReply(Report::RptDriverName);
               },
               timeoutMs) == Wait::Done;
}

Session::Wait Session::waitAfterReports(int count, const std::function<bool()> &done, int timeoutMs)
{
    const int after = liveCount + count;
    return waitUntil([this, after, &done] { return liveCount >= after && done(); }, timeoutMs);
}

Session::Wait Session::waitLiveReports(int count, int timeoutMs)
{
    return waitAfterReports(
        count, [] { return true; }, timeoutMs);
}

Session::Wait Session::waitUntil(const std::function<bool()> &done, int timeoutMs, bool lostEnds)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    Wait result = Wait::Timeout;
    auto check = [&] {
        if (!loop.isRunning())
            return;
        if (done())
            result = Wait::Done;
        else if (interrupted())
            result = Wait::Interrupted;
        else if (lostEnds && !drv.IsConnected())
            result = Wait::Lost;
        else if (elapsed.elapsed() >= timeoutMs)
            result = Wait::Timeout;
        else
            return;
        loop.quit();
    };
    if (done())
        return Wait::Done;
    QTimer ticker;
    ticker.setInterval(20);
    connect(&ticker, &QTimer::timeout, &loop, check);
    const auto driverSignals = {&TorvanDRV::newRTDataAvailable, &TorvanDRV::newDriverValuesAvailable,
                                &TorvanDRV::newDriverInfoAvailable};
    std::vector<QMetaObject::Connection> connections;
    for (auto signal : driverSignals)
        connections.push_back(connect(&drv, signal, &loop, check, Qt::QueuedConnection));
    ticker.start();
    loop.exec();
    for (const auto &connection : connections)
        disconnect(connection);
    return result;
}
