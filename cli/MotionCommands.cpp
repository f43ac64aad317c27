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

    explicit Profile(const CommandArgs &args)
    {
        args.integer(QStringLiteral("--max-speed"), speed);
        args.integer(QStringLiteral("--accel"), accel);
        args.integer(QStringLiteral("--decel"), decel);
    }
    static CommandLine::Options options()
    {
        using CommandLine::Option;
        const QString board = QStringLiteral("; the board's motion setting when not given.");
        return {Option::integer({QStringLiteral("--max-speed")}, QStringLiteral("N"), 1, 6000000,
                                QStringLiteral("Top speed in steps/s, {min} to {max}") + board),
                Option::integer({QStringLiteral("--accel")}, QStringLiteral("N"), 1, 5000000,
                                QStringLiteral("Acceleration in steps/s², {min} to {max}") + board),
                Option::integer({QStringLiteral("--decel")}, QStringLiteral("N"), 1, 5000000,
                                QStringLiteral("Deceleration in steps/s², {min} to {max}") + board)};
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

int move(Session &session, const CommandArgs &args)
{
    const bool noWait = args.flag(QStringLiteral("--no-wait"));
    const qint64 target = args.number(0);
    qint64 timeoutS = 0;
    args.integer(QStringLiteral("--timeout"), timeoutS);
    const Profile profile(args);
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

int run(Session &session, const CommandArgs &args)
{
    const Profile profile(args);
    if (const int code = session.connectBoard(Need::Live))
        return code;
    QJsonObject params{{QStringLiteral("speed"), args.number(0)}};
    profile.addTo(params);
    return call(session, QStringLiteral("run"), params);
}

int stop(Session &session, const CommandArgs &)
{
    if (const int code = session.connectBoard(Need::Live))
        return code;
    QJsonObject result;
    if (const int code = call(session, QStringLiteral("stop"), {}, result))
        return code;
    Out::line(QStringLiteral("stopped at position %1").arg(qint64(result.value(QLatin1String("position")).toDouble())));
    return Exit::Ok;
}

int home(Session &session, const CommandArgs &)
{
    if (const int code = session.connectBoard(Need::Live))
        return code;
    return call(session, QStringLiteral("home"));
}

} // namespace

std::vector<Command> motionCommands()
{
    using CommandLine::Option;
    CommandLine::Options moveOptions = Profile::options();
    moveOptions.push_back(Option::integer({QStringLiteral("--timeout")}, QStringLiteral("S"), 1, 86400,
                                          QStringLiteral("Stop the move and fail when it has not ended after S "
                                                         "seconds, {min} to {max}; by default twice the time its "
                                                         "profile takes, and five seconds more.")));
    moveOptions.push_back(
        Option::flag({QStringLiteral("--no-wait")}, QStringLiteral("Return as soon as the board has taken the move.")));
    return {
        {QStringLiteral("move"),
         QStringLiteral("move to a position and wait until it is reached"),
         QStringLiteral("Moves the motor to TARGET, a position in steps, along the board's speed profile or the one "
                        "given, waking a sleeping driver, and waits until the position is reached, showing the "
                        "progress on a terminal. A fault, the end switch, a timeout or Ctrl-C (SIGINT, SIGTERM) "
                        "stop the move: the motor is braked to rest before the command ends. A board lost during "
                        "the move is given three seconds to come back and is then stopped."),
         {{QString(),
           {Argument::integer(QStringLiteral("TARGET"), QStringLiteral("a target position"), MinInt32, MaxInt32)},
           moveOptions,
           QString(),
           move}},
         {{Exit::Failed,
           QStringLiteral("the board refused the move, or a fault, the end switch, a timeout or Ctrl-C ended it")},
          {Exit::NoBoard, QStringLiteral("no board, the board is held by another program, or it was lost during "
                                         "the move")}},
         {{QStringLiteral("torvan60ctl --simulate move 2000 --max-speed 50000 --accel 200000 --decel 200000"),
           QStringLiteral("Moves to position 2000, quickly:")},
          {QStringLiteral("torvan60ctl --simulate move 1500 --accel 100000 --decel 100000"),
           QStringLiteral("With the board's maximum speed and steep ramps of its own:")},
          {QStringLiteral("torvan60ctl --simulate move 100000 --no-wait"),
           QStringLiteral("Starts a move and returns at once:")}}},
        {QStringLiteral("run"),
         QStringLiteral("run at a speed and return"),
         QStringLiteral("Runs the motor at SPEED steps/s (negative: backwards) in speed mode and returns at once; "
                        "\"stop\" ends it."),
         {{QString(),
           {Argument::integer(QStringLiteral("SPEED"), QStringLiteral("a speed in steps/s"), -6000000, 6000000)},
           Profile::options(),
           QString(),
           run}},
         {{Exit::Failed, QStringLiteral("the board refused")}},
         {{QStringLiteral("torvan60ctl --simulate run 2000"), QStringLiteral("Runs at 2000 steps/s:")},
          {QStringLiteral("torvan60ctl --simulate run -500 --accel 1000"),
           QStringLiteral("Backwards at 500 steps/s, speeding up gently:")}}},
        {QStringLiteral("stop"),
         QStringLiteral("brake any motion to rest"),
         QStringLiteral("Brakes any motion (and the step generator) to rest, waits for it and shows the position "
                        "it stopped at."),
         {{QString(), {}, {}, QString(), stop}},
         {{Exit::Failed, QStringLiteral("the motor did not come to rest")}},
         {{QStringLiteral("torvan60ctl --simulate stop"), QStringLiteral("Stops the motor:")},
          {QStringLiteral("torvan60ctl --simulate --log stop"),
           QStringLiteral("The same, with the event log in log.txt in this folder:")}}},
        {QStringLiteral("home"),
         QStringLiteral("make the present position zero"),
         QStringLiteral("Makes the present position zero."),
         {{QString(), {}, {}, QString(), home}},
         {{Exit::Failed, QStringLiteral("the board refused")}},
         {{QStringLiteral("torvan60ctl --simulate home"), QStringLiteral("Position zero is here:")},
          {QStringLiteral("torvan60ctl --simulate-boards=2 -d SIM60-000002 home"),
           QStringLiteral("On the second of two boards:")}}},
    };
}

} // namespace Cli
