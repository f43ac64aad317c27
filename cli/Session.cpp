#include "cli/Session.h"

#include "cli/BoardLink.h"
#include "cli/Output.h"
#include "cli/UpdateOutcome.h"
#include "log/Logger.h"
#include "service/BoardSelection.h"
#include "service/ServicePaths.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
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

constexpr int ConnectTimeoutMs = BoardHolder::ConnectTimeoutMs;
constexpr int SettingsTimeoutMs = BoardHolder::SettingsTimeoutMs;
constexpr int LiveTimeoutMs = BoardHolder::LiveTimeoutMs;
constexpr int FilterReports = BoardHolder::FilterReports;
// How long a socket may take to answer who serves it.
constexpr int ProbeTimeoutMs = 500;

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

    connect(&holderObject.drv, &TorvanDRV::newFWProgressValueAvailable, this, [this] {
        if (onFirmwareProgress)
            onFirmwareProgress();
    });
}

Session::~Session()
{
    // The link goes before the board it talks to.
    link.reset();
}

bool Session::interrupted()
{
    return interruptRequested != 0;
}

int Session::open()
{
    const QString error = holderObject.open(options.board);
    if (!error.isEmpty()) {
        Out::error(error);
        return Exit::Usage;
    }
    if (options.log) {
        logger = std::make_unique<Logger>(nullptr, Logger::defaultFileName(), nullptr);
        logger->write(QStringLiteral("Application started: torvan60ctl ") + QCoreApplication::applicationVersion());
        holderObject.drv.SetLogger(logger.get());
        holderObject.snapshots.setLogger(logger.get());
    }
    holderObject.drv.SetDialogs(&dialogs);
    return Exit::Ok;
}

std::vector<Session::Board> Session::boards()
{
    std::vector<Board> found;
    for (const BoardEntry &entry : holderObject.boards())
        found.push_back({entry.entry.serialNumber, entry.entry.product, QString::fromStdString(entry.entry.path),
                         entry.held, QString(), QString()});
    if (options.board.simulate)
        return found;
    for (const ServicePaths::Served &served : ServicePaths::served(ProbeTimeoutMs)) {
        const QString holder = QStringLiteral("%1 (pid %2)").arg(served.program).arg(served.pid);
        auto same = std::find_if(found.begin(), found.end(),
                                 [&served](const Board &board) { return board.serial == served.serial; });
        if (same == found.end())
            found.push_back({served.serial, served.product, served.path, true, holder, served.path});
        else if (same->held) {
            same->holder = holder;
            same->socket = served.path;
        }
    }
    return found;
}

int Session::selectBoard(Board &chosen)
{
    const std::vector<Board> found = boards();
    std::vector<BoardCandidate> candidates;
    for (const Board &board : found)
        candidates.push_back({board.serial, board.held, board.holder});
    const BoardChoice choice = chooseBoard(candidates, options.board.serial, QStringLiteral("--serial"));
    switch (choice.outcome) {
    case BoardChoice::Chosen:
        chosen = *std::find_if(found.begin(), found.end(),
                               [&choice](const Board &board) { return board.serial == choice.serial; });
        return Exit::Ok;
    case BoardChoice::Ambiguous:
        Out::error(choice.error);
        return Exit::Usage;
    case BoardChoice::NotFound:
    case BoardChoice::Held:
        break;
    }
    Out::error(choice.error);
    return Exit::NoBoard;
}

int Session::connectBoard(Need need)
{
    if (!link) {
        Board board;
        if (const int code = selectBoard(board))
            return code;
        boardSerial = board.serial;
        if (!board.holder.isEmpty())
            return connectRemote(board);
        holderObject.hold(board.serial);
    }
    if (remote())
        return Exit::Ok; // the holder has what any command needs
    return waitForNeed(need);
}

int Session::connectRemote(const Board &board)
{
    QString error;
    link = makeRemoteLink(board.socket, ProbeTimeoutMs * 4, error);
    if (!link) {
        Out::error(QStringLiteral("board %1 is served by %2, which does not answer: %3")
                       .arg(board.serial, board.holder, error));
        return Exit::NoBoard;
    }
    holderName = board.holder;
    socketPath = board.socket;
    warnOutdatedFirmware = false; // the holder's operator is told
    return Exit::Ok;
}

int Session::waitForNeed(Need need)
{
    BoardHolder &board = holderObject;
    TorvanDRV &drv = board.drv;
    // The identity is read inside the connection itself; the signal after
    // it carries the unique id. A firmware update the connection ran (on a
    // board in its boot loader) ends the wait when it breaks off.
    const Wait connected =
        waitUntil([&board] { return updateBrokeOff(board.drv) || board.identified(); }, ConnectTimeoutMs, false);
    if (updateBrokeOff(drv))
        return reportBrokenUpdate(drv);
    if (connected == Wait::Interrupted) {
        Out::error(QStringLiteral("interrupted"));
        return Exit::Failed;
    }
    if (connected != Wait::Done) {
        Out::error(drv.IsConnected() ? QStringLiteral("board %1 does not answer").arg(boardSerial)
                                     : QStringLiteral("board %1 could not be opened").arg(boardSerial));
        return Exit::NoBoard;
    }
    if (!link)
        link = makeLocalLink(board);
    if (warnOutdatedFirmware && !dialogs.asked.isEmpty())
        Out::warning(QStringLiteral("the board's firmware differs from the carried one; run \"torvan60ctl firmware "
                                    "update\""));
    warnOutdatedFirmware = false;
    if (need == Need::Identity)
        return Exit::Ok;
    if (drv.DriverInfo.BootloaderActive) {
        Out::error(QStringLiteral("board %1 runs its boot loader; run \"torvan60ctl firmware update\" or \"restart\"")
                       .arg(boardSerial));
        return Exit::Failed;
    }
    if (waitUntil([&board] { return board.settingsRead(); }, SettingsTimeoutMs) != Wait::Done) {
        if (!drv.IsConnected()) {
            Out::error(QStringLiteral("board %1 was lost").arg(boardSerial));
            return Exit::NoBoard;
        }
        Out::error(QStringLiteral("board %1 did not send its settings").arg(boardSerial));
        return Exit::Failed;
    }
    if (need == Need::Settings)
        return Exit::Ok;
    const Wait live = waitUntil([&board] { return board.liveReports() >= FilterReports; }, LiveTimeoutMs);
    if (live == Wait::Lost) {
        Out::error(QStringLiteral("board %1 was lost").arg(boardSerial));
        return Exit::NoBoard;
    }
    if (live != Wait::Done) {
        Out::error(QStringLiteral("board %1 sends no live data").arg(boardSerial));
        return Exit::Failed;
    }
    return Exit::Ok;
}

Rpc::Reply Session::call(const QString &method, const QJsonObject &params, int timeoutMs, bool interruptible)
{
    if (!link) {
        Rpc::Reply reply;
        reply.code = Rpc::BoardLost;
        reply.message = QStringLiteral("board %1 was lost").arg(boardSerial);
        return reply;
    }
    return link->call(method, params, timeoutMs, interruptible);
}

int Session::failed(const Rpc::Reply &reply)
{
    Out::error(reply.message);
    return Rpc::exitCode(reply.code);
}

Session::Wait Session::nextLive(QJsonObject &live, int timeoutMs)
{
    if (!link)
        return Wait::Lost;
    QElapsedTimer elapsed;
    elapsed.start();
    while (true) {
        QString method;
        const Wait wait = link->next(method, live, int(qMax<qint64>(0, timeoutMs - elapsed.elapsed())));
        if (wait != Wait::Done || method == QLatin1String("live"))
            return wait;
    }
}

QString Session::lostReason() const
{
    return link ? link->lostReason() : QString();
}

bool Session::reconnect(int timeoutMs)
{
    if (remote())
        return reconnectRemote(timeoutMs, false) == Restart::Back;
    BoardHolder &board = holderObject;
    return waitUntil([&board] { return board.identified(); }, timeoutMs, false) == Wait::Done;
}

Session::Restart Session::reconnectRemote(int timeoutMs, bool mustLeave)
{
    // The holder closes the socket when its board goes and opens it again
    // when it finds the board again.
    QElapsedTimer elapsed;
    elapsed.start();
    bool left = !mustLeave;
    while (elapsed.elapsed() < timeoutMs) {
        if (interrupted())
            return Restart::Interrupted;
        if (!left) {
            QString method;
            QJsonObject params;
            left = link->next(method, params, 50) == Wait::Lost;
            continue;
        }
        QString error;
        if (auto again = makeRemoteLink(socketPath, ProbeTimeoutMs, error)) {
            link = std::move(again);
            if (link->call(QStringLiteral("identity"), {}, ProbeTimeoutMs * 4, false).ok)
                return Restart::Back;
        }
        QEventLoop idle;
        QTimer::singleShot(100, &idle, &QEventLoop::quit);
        idle.exec();
    }
    return left ? Restart::NotBack : Restart::NotLeft;
}

Session::Restart Session::awaitRestart(int timeoutMs)
{
    if (remote())
        return reconnectRemote(timeoutMs, true);
    BoardHolder &board = holderObject;
    bool left = !board.drv.IsConnected();
    const Wait wait = waitUntil(
        [&] {
            left = left || !board.drv.IsConnected();
            return left && board.identified();
        },
        timeoutMs, false);
    if (wait == Wait::Interrupted)
        return Restart::Interrupted;
    if (wait != Wait::Done)
        return left ? Restart::NotBack : Restart::NotLeft;
    return Restart::Back;
}

Session::Wait Session::waitUntil(const std::function<bool()> &done, int timeoutMs, bool lostEnds)
{
    TorvanDRV &drv = holderObject.drv;
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
    const QMetaObject::Connection changed =
        connect(&holderObject, &BoardHolder::changed, &loop, check, Qt::QueuedConnection);
    ticker.start();
    loop.exec();
    disconnect(changed);
    return result;
}
