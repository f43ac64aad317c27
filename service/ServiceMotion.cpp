// The service's driver, motion and DC motor commands: each is sent as the
// window sends it and answered once the board shows that it followed.
#include "service/BoardService.h"

#include "device/StatusTexts.h"
#include "device/TorvanDRV.h"

#include <QJsonArray>

#include <cstdlib>

namespace {

constexpr int VerifyTimeoutMs = 5000;
constexpr int StopTimeoutMs = 10000;
constexpr qint64 MaxInt32 = 2147483647;
constexpr qint64 MinInt32 = -MaxInt32 - 1;
constexpr qint64 MaxSpeed = 6000000;
constexpr qint64 MaxRamp = 5000000;
constexpr int DefaultPwmFrequency = 20000;

const QString DcMotorNotice =
    QStringLiteral("Please make sure DC motor is connected to output terminals!!! Driver will be stopped.");
const QString StepperNotice = QStringLiteral("Please make sure STEPPER MOTOR is now connected to output terminals. DC "
                                             "motor can suddenly move with fast speed. Driver will be stopped.");

// The profile parameters of move and run; each overrides the motion
// setting the board reported.
struct Profile
{
    qint64 speed = 0, accel = 0, decel = 0; // 0: the board's own

    explicit Profile(Rpc::Params &params)
        : speed(params.integer(QStringLiteral("max_speed"), 1, MaxSpeed, 0)),
          accel(params.integer(QStringLiteral("accel"), 1, MaxRamp, 0)),
          decel(params.integer(QStringLiteral("decel"), 1, MaxRamp, 0))
    {}
    TrajectoryDataRecord applied(TrajectoryDataRecord t) const
    {
        if (speed)
            t.MaxSpeed = int32_t(speed);
        if (accel)
            t.MaxAccel = int32_t(accel);
        if (decel)
            t.MaxDecel = int32_t(decel);
        return t;
    }
};

QString faultSummary(int32_t flags)
{
    return QString::asprintf("fault 0x%X: ", unsigned(flags)) + FaultTexts(flags).join(QLatin1Char(' '));
}

} // namespace

void BoardService::enable(const CallPtr &call, Rpc::Params &params)
{
    if (!paramsOk(call, params))
        return;
    carryOut(call);
    enableDriver(call, [this, call] { reply(call, {{QStringLiteral("motor_power_ok"), drv.RTData.MotorPowerOK}}); });
}

void BoardService::enableDriver(const CallPtr &call, const std::function<void()> &then)
{
    drv.EnableDriver();
    // The sleep input reads high while the driver is enabled.
    waitFor(
        call, 0, [this] { return drv.RTData.InpSleep; }, VerifyTimeoutMs,
        QStringLiteral("the board did not enable its driver"), then);
}

void BoardService::sleep(const CallPtr &call, Rpc::Params &params)
{
    if (!paramsOk(call, params))
        return;
    carryOut(call);
    drv.SleepDriver();
    waitFor(
        call, 0, [this] { return !drv.RTData.InpSleep; }, VerifyTimeoutMs,
        QStringLiteral("the board did not put its driver to sleep"), [this, call] { reply(call); });
}

void BoardService::resetFaults(const CallPtr &call, Rpc::Params &params)
{
    if (!paramsOk(call, params))
        return;
    carryOut(call);
    drv.ResetFaults();
    // A fault that is still there is reported again at once: the board gets
    // a few reports after the command to show it.
    waitFor(
        call, 3, [this] { return drv.RTData.FaultFlags == 0; }, VerifyTimeoutMs,
        [this] { return QStringLiteral("faults remain: ") + faultSummary(drv.RTData.FaultFlags); },
        [this, call] { reply(call); });
}

void BoardService::restart(const CallPtr &call, Rpc::Params &params)
{
    if (!paramsOk(call, params))
        return;
    // The answer goes before the board leaves the bus and takes the
    // connection with it.
    reply(call);
    drv.RestartDevice();
}

void BoardService::prepareStepper(const CallPtr &call, const std::function<void()> &then)
{
    if (drv.RTData.OperatingMode == 3 || drv.OnBoardSettings().PWMMode)
        return fail(call, Rpc::Refused, QStringLiteral("the board is in DC motor mode; leave it with pwm off"));
    carryOut(call);
    if (drv.RTData.InpSleep)
        return then();
    // The motion goes out only once the driver is awake; a question the
    // holder put to its operator meanwhile holds it back.
    enableDriver(call, [this, call, then] {
        if (!refusedWhileAsked(call))
            then();
    });
}

void BoardService::move(const CallPtr &call, Rpc::Params &params)
{
    const qint64 target = params.integer(QStringLiteral("target"), MinInt32, MaxInt32, 0, true);
    const Profile profile(params);
    if (!paramsOk(call, params))
        return;
    if (!drv.WithinPositionLimits(target))
        return fail(call, Rpc::InvalidParams,
                    QStringLiteral("\"target\" %1 is outside the position limits %2 to %3")
                        .arg(target)
                        .arg(drv.TrajectoryData.PosLimitLower)
                        .arg(drv.TrajectoryData.PosLimitUpper));
    const TrajectoryDataRecord t = profile.applied(drv.OnBoardTrajectory());
    if (t.MaxSpeed <= 0 || t.MaxAccel <= 0 || t.MaxDecel <= 0)
        return fail(call, Rpc::Refused,
                    QStringLiteral("the board's speed profile is empty; give max_speed, accel and decel"));
    prepareStepper(call, [this, call, profile, target] {
        const int32_t from = drv.RTData.CurrentPosition;
        // The profile is lent to this move only.
        TrajectoryDataRecord sent = profile.applied(drv.OnBoardTrajectory());
        sent.FinalPosition = int32_t(target);
        sent.RequestedSpeed = 0;
        drv.LendTrajectory(sent, false, false);
        emit boardSettingsChanged();
        reply(call, {{QStringLiteral("target"), target}, {QStringLiteral("from"), from}});
    });
}

void BoardService::run(const CallPtr &call, Rpc::Params &params)
{
    const qint64 speed = params.integer(QStringLiteral("speed"), -MaxSpeed, MaxSpeed, 0, true);
    const Profile profile(params);
    if (!paramsOk(call, params))
        return;
    const TrajectoryDataRecord t = profile.applied(drv.OnBoardTrajectory());
    if (std::llabs(speed) > t.MaxSpeed)
        return fail(call, Rpc::Refused,
                    QStringLiteral("speed %1 is above the maximum speed %2; raise it with max_speed")
                        .arg(speed)
                        .arg(t.MaxSpeed));
    prepareStepper(call, [this, call, profile, speed] {
        // Speed mode runs in the negative direction with the invert flag and
        // a negative speed, as the window sends it. The profile is lent to
        // this run only.
        TrajectoryDataRecord sent = profile.applied(drv.OnBoardTrajectory());
        sent.AutoRunInvertDirection = speed < 0;
        sent.RequestedSpeed = int32_t(speed);
        sent.FinalPosition = drv.RTData.CurrentPosition;
        drv.LendTrajectory(sent, true, false);
        emit boardSettingsChanged();
        waitFor(
            call, 0, [this] { return drv.RTData.OperatingMode == 6; }, VerifyTimeoutMs,
            QStringLiteral("the board did not enter speed mode"), [this, call] { reply(call); });
    });
}

void BoardService::stop(const CallPtr &call, Rpc::Params &params)
{
    if (!paramsOk(call, params))
        return;
    carryOut(call);
    drv.StopMotion();
    if (drv.RTData.OperatingMode == 2)
        drv.SetStepFrequency(0); // the step generator stops only at rate 0
    waitFor(
        call, 2, [this] { return drv.RTData.CurrentSpeed == 0; }, StopTimeoutMs,
        [this] { return QStringLiteral("the motor did not stop (speed %1)").arg(drv.RTData.CurrentSpeed); },
        [this, call] {
            reply(call, {{QStringLiteral("position"), drv.RTData.CurrentPosition}});
        });
}

void BoardService::home(const CallPtr &call, Rpc::Params &params)
{
    if (!paramsOk(call, params))
        return;
    carryOut(call);
    drv.SetHome();
    waitFor(
        call, 2, [this] { return drv.RTData.CurrentPosition == 0; }, VerifyTimeoutMs,
        QStringLiteral("the board did not take the zero position"), [this, call] { reply(call); });
}

void BoardService::switchDcMotorMode(const CallPtr &call, bool dcMotor, const std::shared_ptr<QStringList> &warnings,
                                     const std::function<void()> &then)
{
    const bool inMode = drv.RTData.OperatingMode == 3;
    if (inMode == dcMotor && drv.OnBoardSettings().PWMMode == dcMotor)
        return then();
    // As the window does: the operator is told, the driver put to sleep, and
    // the mode written with the board's own settings.
    *warnings << (dcMotor ? DcMotorNotice : StepperNotice);
    drv.SleepDriver();
    DrvSettingsRecord settings = drv.OnBoardSettings();
    settings.PWMMode = dcMotor;
    if (dcMotor) {
        settings.BINxButtonsMode = false;
        settings.AutoRunMode = false;
    }
    drv.SendDriverValues(settings);
    emit boardSettingsChanged();
    waitFor(
        call, 0, [this, dcMotor] { return (drv.RTData.OperatingMode == 3) == dcMotor; }, VerifyTimeoutMs,
        dcMotor ? QStringLiteral("the board did not enter DC motor mode")
                : QStringLiteral("the board did not leave DC motor mode"),
        then);
}

void BoardService::pwm(const CallPtr &call, Rpc::Params &params)
{
    const QString action = params.text(QStringLiteral("action"), QStringLiteral("run"));
    const qint64 a = params.integer(QStringLiteral("a"), -100, 100, 0);
    const qint64 b = params.integer(QStringLiteral("b"), -100, 100, 0);
    const qint64 freq = params.integer(QStringLiteral("freq"), 10, 100000, DefaultPwmFrequency);
    if (!paramsOk(call, params))
        return;
    if (action != QLatin1String("run") && action != QLatin1String("stop") && action != QLatin1String("off"))
        return fail(call, Rpc::InvalidParams, QStringLiteral("\"action\" must be \"run\", \"stop\" or \"off\""));
    carryOut(call);
    auto send = [this](int frequency, int dutyA, int dutyB) {
        drv.PWMData.PWMFrequency = frequency;
        drv.PWMData.DutyA = dutyA;
        drv.PWMData.DutyB = dutyB;
        drv.CalculatePWMTimers();
        drv.WritePWMSettings();
        emit boardSettingsChanged();
    };
    auto warnings = std::make_shared<QStringList>();
    auto answer = [this, call, warnings] {
        const PWMDataRecord &p = drv.PWMData;
        reply(call, {{QStringLiteral("a"), p.DutyA},
                     {QStringLiteral("b"), p.DutyB},
                     {QStringLiteral("freq"), p.PWMFrequency},
                     {QStringLiteral("actual_freq"), p.ActualFrequency},
                     {QStringLiteral("timers"),
                      QJsonArray{p.TimerAForward, p.TimerAReverse, p.TimerBForward, p.TimerBReverse}},
                     {QStringLiteral("warnings"), QJsonArray::fromStringList(*warnings)}});
    };
    if (action != QLatin1String("run")) {
        // Both stop the outputs and put the driver to sleep; off also hands
        // the outputs back to the stepper.
        send(drv.PWMData.PWMFrequency > 0 ? drv.PWMData.PWMFrequency : DefaultPwmFrequency, 0, 0);
        drv.SleepDriver();
        if (action == QLatin1String("off"))
            return switchDcMotorMode(call, false, warnings, answer);
        return waitFor(
            call, 0, [this] { return !drv.RTData.InpSleep; }, VerifyTimeoutMs,
            QStringLiteral("the board did not stop its driver"), answer);
    }
    switchDcMotorMode(call, true, warnings, [=] {
        if (refusedWhileAsked(call))
            return;
        send(int(freq), int(a), int(b));
        enableDriver(call, answer);
    });
}
