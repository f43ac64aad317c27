#include "cli/CommandSupport.h"

#include "cli/Output.h"

#include <QElapsedTimer>

#include <cmath>
#include <limits>

namespace Cli {

namespace {

constexpr int StopTimeoutMs = 10000;
constexpr int ReconnectAfterLossMs = 3000;

// The profile options of move and run; each overrides the motion setting
// the board reported.
struct Profile
{
    qint64 speed = 0, accel = 0, decel = 0; // 0: the board's own

    bool take(CommandArgs &args)
    {
        return args.integer(QStringLiteral("--max-speed"), 1, 6000000, speed) &&
               args.integer(QStringLiteral("--accel"), 1, 5000000, accel) &&
               args.integer(QStringLiteral("--decel"), 1, 5000000, decel);
    }
    void addTo(QJsonObject &params) const
    {
        if (speed)
            params.insert(QStringLiteral("max_speed"), speed);
        if (accel)
            params.insert(QStringLiteral("accel"), accel);
        if (decel)
            params.insert(QStringLiteral("decel"), decel);
    }
};

// How the board is set to end a move early: its end switch, when enabled,
// read normally closed or normally open.
struct EndSwitch
{
    bool enabled = false;
    bool normallyClosed = false;

    bool pressed(const QJsonObject &live) const
    {
        const bool input = live.value(QLatin1String("inputs")).toObject().value(QLatin1String("end_switch")).toBool();
        return enabled && (normallyClosed ? !input : input);
    }
};

// Brakes a move to rest after Ctrl-C, a fault or a timeout; a second Ctrl-C
// does not cut the braking short. After a loss, the board is given a moment
// to come back so that it can be stopped. The position it stopped at, or
// none when it could not be stopped.
bool stopMotion(Session &session, bool lost, qint64 &position)
{
    // A holder that closed does not come back to be asked.
    if (lost && (!session.lostReason().isEmpty() || !session.reconnect(ReconnectAfterLossMs)))
        return false;
    const Rpc::Reply reply = session.call(QStringLiteral("stop"), {}, StopTimeoutMs + 5000, false);
    position = qint64(reply.result.value(QLatin1String("position")).toDouble());
    return reply.ok;
}

} // namespace

int cmdMove(Session &session, CommandArgs &args)
{
    const bool noWait = args.flag(QStringLiteral("--no-wait"));
    qint64 target = 0, timeoutS = 0;
    Profile profile;
    if (!profile.take(args) || !args.integer(QStringLiteral("--timeout"), 1, 86400, timeoutS))
        return argsError(args);
    const QString targetWord = args.next();
    if (targetWord.isEmpty())
        return usageError(QStringLiteral("move needs a target position"));
    if (!args.number(targetWord, QStringLiteral("the target"), MinInt32, MaxInt32, target) || !args.done())
        return argsError(args);
    if (const int code = session.connectBoard(Need::Live))
        return code;

    QJsonObject settings;
    if (const int code = call(session, QStringLiteral("settings.get"), {}, settings))
        return code;
    const QJsonObject motion = settings.value(QLatin1String("TrajectorySettings")).toObject();
    const EndSwitch endSwitch{motion.value(QLatin1String("EnableEndSwitch")).toBool(),
                              motion.value(QLatin1String("NCTypeSwitch")).toBool()};
    QJsonObject params{{QStringLiteral("target"), target}};
    profile.addTo(params);
    QJsonObject started;
    if (const int code = call(session, QStringLiteral("move"), params, started))
        return code;
    if (noWait)
        return Exit::Ok;
    // The reports from now on show the move.
    if (const int code = call(session, QStringLiteral("subscribe")))
        return code;

    // Time for the profile, twice over, plus slack for a loaded machine.
    auto value = [&motion](const char *key, qint64 given) {
        return double(given ? given : qint64(motion.value(QLatin1String(key)).toDouble()));
    };
    const double v = value("MaxSpeed", profile.speed);
    const double distance = std::fabs(double(target) - started.value(QLatin1String("from")).toDouble());
    const double profileS = distance / v + v / value("MaxAccel", profile.accel) + v / value("MaxDecel", profile.decel);
    const qint64 timeoutMs = timeoutS ? timeoutS * 1000 : qint64(2000 * profileS) + 5000;

    const bool terminal = Out::stdoutIsTerminal();
    QElapsedTimer elapsed, lastShown;
    elapsed.start();
    lastShown.start();
    QJsonObject live;
    Session::Wait wait = Session::Wait::Timeout;
    // The first reports after the command may still show the state before it.
    for (int reports = 0; elapsed.elapsed() < timeoutMs; ++reports) {
        wait = session.nextLive(live, int(qMin<qint64>(timeoutMs - elapsed.elapsed(), 1000)));
        if (wait == Session::Wait::Timeout)
            continue;
        if (wait != Session::Wait::Done)
            break;
        const qint64 position = qint64(live.value(QLatin1String("position")).toDouble());
        const qint64 speed = qint64(live.value(QLatin1String("speed")).toDouble());
        if (terminal && lastShown.elapsed() >= 100) {
            lastShown.restart();
            Out::raw(QStringLiteral("\rposition %1 of %2, speed %3   ").arg(position).arg(target).arg(speed));
        }
        if (reports >= 1 && (live.value(QLatin1String("faults")).toInt() != 0 || endSwitch.pressed(live) ||
                             (position == target && speed == 0)))
            break;
        wait = Session::Wait::Timeout;
    }
    if (terminal)
        Out::raw(QStringLiteral("\n"));

    const int faults = live.value(QLatin1String("faults")).toInt();
    const qint64 at = qint64(live.value(QLatin1String("position")).toDouble());
    if (wait == Session::Wait::Done && faults == 0 && !endSwitch.pressed(live)) {
        Out::line(QStringLiteral("position %1 reached").arg(at));
        return Exit::Ok;
    }
    qint64 stoppedAt = at;
    const bool stopped = stopMotion(session, wait == Session::Wait::Lost, stoppedAt);
    switch (wait) {
    case Session::Wait::Lost:
        // A holder that closed said what became of the motor.
        Out::error(QStringLiteral("board %1 was lost during the move%2")
                       .arg(session.serial(), !session.lostReason().isEmpty()
                                                  ? QStringLiteral(": ") + session.lostReason()
                                              : stopped ? QStringLiteral("; it came back and was stopped")
                                                        : QStringLiteral("; it could not be stopped")));
        return Exit::NoBoard;
    case Session::Wait::Interrupted:
        Out::error(QStringLiteral("interrupted; stopped at position %1").arg(stoppedAt));
        return Exit::Failed;
    case Session::Wait::Timeout:
        Out::error(QStringLiteral("the move did not finish in time; stopped at position %1").arg(stoppedAt));
        return Exit::Failed;
    case Session::Wait::Done:
        break;
    }
    if (faults != 0)
        Out::error(QStringLiteral("the move ended by a fault at position %1: %2").arg(at).arg(faultSummary(live)));
    else
        Out::error(QStringLiteral("the move ended at the end switch at position %1").arg(at));
    return Exit::Failed;
}

int cmdRun(Session &session, CommandArgs &args)
{
    qint64 speed = 0;
    Profile profile;
    if (!profile.take(args))
        return argsError(args);
    const QString speedWord = args.next();
    if (speedWord.isEmpty())
        return usageError(QStringLiteral("run needs a speed in steps/s"));
    if (!args.number(speedWord, QStringLiteral("the speed"), -6000000, 6000000, speed) || !args.done())
        return argsError(args);
    if (const int code = session.connectBoard(Need::Live))
        return code;
    QJsonObject params{{QStringLiteral("speed"), speed}};
    profile.addTo(params);
    return call(session, QStringLiteral("run"), params);
}

int cmdStop(Session &session, CommandArgs &args)
{
    if (const int code = connectWithoutArgs(session, args, Need::Live))
        return code;
    QJsonObject result;
    if (const int code = call(session, QStringLiteral("stop"), {}, result))
        return code;
    Out::line(QStringLiteral("stopped at position %1").arg(qint64(result.value(QLatin1String("position")).toDouble())));
    return Exit::Ok;
}

int cmdHome(Session &session, CommandArgs &args)
{
    if (const int code = connectWithoutArgs(session, args, Need::Live))
        return code;
    return call(session, QStringLiteral("home"));
}

} // namespace Cli
