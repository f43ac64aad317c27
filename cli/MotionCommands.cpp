#include "cli/CommandSupport.h"

#include "cli/Output.h"

#include <QElapsedTimer>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace Cli {

namespace {

constexpr int StopTimeoutMs = 10000;
constexpr int ReconnectAfterLossMs = 3000;

// Whether the end switch, as the board is set to use it, reads pressed.
bool endSwitchPressed(const TorvanDRV &drv)
{
    const TrajectoryDataRecord &t = drv.TrajectoryData;
    if (!t.EnableEndSwitch)
        return false;
    return t.NCTypeSwitch ? !drv.RTData.InpEndSwitch : drv.RTData.InpEndSwitch;
}

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
    void apply(TrajectoryDataRecord &t) const
    {
        if (speed)
            t.MaxSpeed = int32_t(speed);
        if (accel)
            t.MaxAccel = int32_t(accel);
        if (decel)
            t.MaxDecel = int32_t(decel);
    }
};

// The stepper must not be in DC motor mode, and its driver must be awake.
int prepareStepper(Session &session)
{
    TorvanDRV &drv = session.drv;
    if (drv.RTData.OperatingMode == 3 || drv.DrvSettings.PWMMode) {
        Out::error(QStringLiteral("the board is in DC motor mode; leave it with \"torvan60ctl pwm off\""));
        return Exit::Failed;
    }
    if (drv.RTData.InpSleep)
        return Exit::Ok;
    drv.EnableDriver();
    const Session::Wait wait = session.waitUntil([&] { return drv.RTData.InpSleep; }, VerifyTimeoutMs);
    return waitFailure(session, wait, QStringLiteral("the board did not enable its driver"));
}

// Brakes a move to rest after Ctrl-C, a fault or a timeout. After a loss,
// the board is given a moment to come back so that it can be stopped.
void stopMotion(Session &session, bool lost)
{
    TorvanDRV &drv = session.drv;
    if (lost && session.waitUntil([&] { return drv.IsConnected() && drv.BusyCode == 0; }, ReconnectAfterLossMs,
                                  false) != Session::Wait::Done)
        return;
    drv.StopTrajectory();
    // A second Ctrl-C must not cut the braking short: wait regardless.
    const int after = session.liveReports() + 2;
    QElapsedTimer braking;
    braking.start();
    while (braking.elapsed() < StopTimeoutMs && drv.IsConnected() &&
           !(session.liveReports() >= after && drv.RTData.CurrentSpeed == 0))
        session.waitLiveReports(1, 200);
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
    TorvanDRV &drv = session.drv;
    TrajectoryDataRecord &t = drv.TrajectoryData;
    profile.apply(t);
    if (t.MaxSpeed <= 0 || t.MaxAccel <= 0 || t.MaxDecel <= 0) {
        Out::error(QStringLiteral("the board's speed profile is empty; give --max-speed, --accel and --decel"));
        return Exit::Failed;
    }
    if (const int code = prepareStepper(session))
        return code;

    t.FinalPosition = int32_t(target);
    t.RequestedSpeed = 0;
    drv.DrvSettings.AutoRunMode = false;
    drv.DrvSettings.BINxButtonsMode = false;
    drv.WriteTrajectory();
    if (noWait)
        return drv.IsConnected() ? Exit::Ok : lostError(session);

    // Time for the profile, twice over, plus slack for a loaded machine.
    const double distance = std::fabs(double(target) - drv.RTData.CurrentPosition);
    const double v = t.MaxSpeed;
    const double profileS = distance / v + v / t.MaxAccel + v / t.MaxDecel;
    const qint64 timeoutMs = timeoutS ? timeoutS * 1000 : qint64(2000 * profileS) + 5000;

    const bool terminal = Out::stdoutIsTerminal();
    QElapsedTimer lastShown;
    lastShown.start();
    session.onLiveReport = [&] {
        if (terminal && lastShown.elapsed() >= 100) {
            lastShown.restart();
            Out::raw(QStringLiteral("\rposition %1 of %2, speed %3   ")
                         .arg(drv.RTData.CurrentPosition)
                         .arg(target)
                         .arg(drv.RTData.CurrentSpeed));
        }
    };
    const Session::Wait wait = session.waitAfterReports(
        2,
        [&] {
            const RTDataRecord &rt = drv.RTData;
            return rt.FaultFlags != 0 || endSwitchPressed(drv) ||
                   (rt.CurrentPosition == target && rt.CurrentSpeed == 0);
        },
        int(std::min<qint64>(timeoutMs, std::numeric_limits<int>::max())));
    session.onLiveReport = nullptr;
    if (terminal)
        Out::raw(QStringLiteral("\n"));

    const RTDataRecord &rt = drv.RTData;
    if (wait == Session::Wait::Done && rt.FaultFlags == 0 && !endSwitchPressed(drv)) {
        Out::line(QStringLiteral("position %1 reached").arg(rt.CurrentPosition));
        return Exit::Ok;
    }
    stopMotion(session, wait == Session::Wait::Lost);
    switch (wait) {
    case Session::Wait::Lost:
        Out::error(QStringLiteral("board %1 was lost during the move%2")
                       .arg(drv.SerialFilter(), drv.IsConnected() ? QStringLiteral("; it came back and was stopped")
                                                                  : QStringLiteral("; it could not be stopped")));
        return Exit::NoBoard;
    case Session::Wait::Interrupted:
        Out::error(QStringLiteral("interrupted; stopped at position %1").arg(drv.RTData.CurrentPosition));
        return Exit::Failed;
    case Session::Wait::Timeout:
        Out::error(
            QStringLiteral("the move did not finish in time; stopped at position %1").arg(drv.RTData.CurrentPosition));
        return Exit::Failed;
    case Session::Wait::Done:
        break;
    }
    if (rt.FaultFlags != 0)
        Out::error(QStringLiteral("the move ended by a fault at position %1: %2")
                       .arg(rt.CurrentPosition)
                       .arg(faultSummary(drv)));
    else
        Out::error(QStringLiteral("the move ended at the end switch at position %1").arg(rt.CurrentPosition));
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
    TorvanDRV &drv = session.drv;
    TrajectoryDataRecord &t = drv.TrajectoryData;
    profile.apply(t);
    if (std::llabs(speed) > t.MaxSpeed) {
        Out::error(QStringLiteral("speed %1 is above the maximum speed %2; raise it with --max-speed")
                       .arg(speed)
                       .arg(t.MaxSpeed));
        return Exit::Failed;
    }
    if (const int code = prepareStepper(session))
        return code;
    // Speed mode runs in the negative direction with the invert flag and a
    // negative speed, as the window sends it.
    t.AutoRunInvertDirection = speed < 0;
    t.RequestedSpeed = int32_t(speed);
    t.FinalPosition = drv.RTData.CurrentPosition;
    drv.DrvSettings.AutoRunMode = true;
    drv.DrvSettings.BINxButtonsMode = false;
    drv.WriteTrajectory();
    const Session::Wait wait = session.waitUntil([&] { return drv.RTData.OperatingMode == 6; }, VerifyTimeoutMs);
    return waitFailure(session, wait, QStringLiteral("the board did not enter speed mode"));
}

int cmdStop(Session &session, CommandArgs &args)
{
    if (const int code = connectWithoutArgs(session, args, Need::Live))
        return code;
    TorvanDRV &drv = session.drv;
    drv.StopTrajectory();
    if (drv.RTData.OperatingMode == 2)
        drv.SetStepFrequency(0); // the step generator stops only at rate 0
    const Session::Wait wait = session.waitAfterReports(
        2, [&] { return drv.RTData.CurrentSpeed == 0; }, StopTimeoutMs);
    if (const int code = waitFailure(session, wait,
                                     QStringLiteral("the motor did not stop (speed %1)").arg(drv.RTData.CurrentSpeed)))
        return code;
    Out::line(QStringLiteral("stopped at position %1").arg(drv.RTData.CurrentPosition));
    return Exit::Ok;
}

int cmdHome(Session &session, CommandArgs &args)
{
    if (const int code = connectWithoutArgs(session, args, Need::Live))
        return code;
    TorvanDRV &drv = session.drv;
    drv.SetHome();
    const Session::Wait wait = session.waitAfterReports(
        2, [&] { return drv.RTData.CurrentPosition == 0; }, VerifyTimeoutMs);
    return waitFailure(session, wait, QStringLiteral("the board did not take the zero position"));
}

} // namespace Cli
