#include "cli/Session.h"

#include "cli/BoardLink.h"
#include "cli/Output.h"
#include "log/Logger.h"
#include "service/BoardSelection.h"

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

constexpr int ConnectTimeoutMs = BoardHolder::ConnectTimeoutMs;
constexpr int SettingsTimeoutMs = BoardHolder::SettingsTimeoutMs;
constexpr int LiveTimeoutMs = BoardHolder::LiveTimeoutMs;
constexpr int FilterReports = BoardHolder::FilterReports;

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
    }
    holderObject.drv.SetDialogs(&dialogs);
    return Exit::Ok;
}

std::vector<BoardEntry> Session::boards()
{
    return holderObject.boards();
}

QString Session::servedBy(const QString &serial)
{
    Q_UNUSED(serial)
    return QString();
}

int Session::selectBoard(QString &serial, QString &servedByProgram)
{
    const BoardChoice choice = chooseBoard(
        boards(), options.board.serial, [this](const QString &held) { return servedBy(held); },
        QStringLiteral("--serial"));
    serial = choice.serial;
    servedByProgram = choice.servedBy;
    switch (choice.outcome) {
    case BoardChoice::Chosen:
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
        QString serial, servedByProgram;
        if (const int code = selectBoard(serial, servedByProgram))
            return code;
        boardSerial = serial;
        if (!servedByProgram.isEmpty())
            return connectRemote(serial);
        holderObject.hold(serial);
    }
    if (remote())
        return Exit::Ok; // the holder has what any command needs
    return waitForNeed(need);
}

int Session::connectRemote(const QString &serial)
{
    Q_UNUSED(serial)
    Out::error(QStringLiteral("board %1 is held by another program").arg(serial));
    return Exit::NoBoard;
}

int Session::waitForNeed(Need need)
{
    BoardHolder &board = holderObject;
    TorvanDRV &drv = board.drv;
    // The identity is read inside the connection itself; the signal after
    // it carries the unique id.
    const Wait connected = waitUntil([&board] { return board.identified(); }, ConnectTimeoutMs, false);
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

bool Session::reconnect(int timeoutMs)
{
    if (remote())
        return false;
    BoardHolder &board = holderObject;
    return waitUntil([&board] { return board.identified(); }, timeoutMs, false) == Wait::Done;
}

Session::Restart Session::awaitRestart(int timeoutMs)
{
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
