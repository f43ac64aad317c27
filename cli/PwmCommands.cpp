#include "cli/CommandSupport.h"

#include "cli/Output.h"

namespace Cli {

namespace {

const QString DcMotorNotice =
    QStringLiteral("Please make sure DC motor is connected to output terminals!!! Driver will be stopped.");
const QString StepperNotice = QStringLiteral("Please make sure STEPPER MOTOR is now connected to output terminals. DC "
                                             "motor can suddenly move with fast speed. Driver will be stopped.");

// Enters (dcMotor true) or leaves DC motor mode as the window does: driver
// asleep, then the mode written with the board's own settings.
int switchDcMotorMode(Session &session, bool dcMotor)
{
    TorvanDRV &drv = session.drv;
    const bool inMode = drv.RTData.OperatingMode == 3;
    if (inMode == dcMotor && drv.DrvSettings.PWMMode == dcMotor)
        return Exit::Ok;
    Out::warning(dcMotor ? DcMotorNotice : StepperNotice);
    drv.SleepDriver();
    drv.DrvSettings.PWMMode = dcMotor;
    if (dcMotor) {
        drv.DrvSettings.BINxButtonsMode = false;
        drv.DrvSettings.AutoRunMode = false;
    }
    drv.WriteDriverValues();
    const Session::Wait wait =
        session.waitUntil([&] { return (drv.RTData.OperatingMode == 3) == dcMotor; }, VerifyTimeoutMs);
    return waitFailure(session, wait,
                       dcMotor ? QStringLiteral("the board did not enter DC motor mode")
                               : QStringLiteral("the board did not leave DC motor mode"));
}

void sendPwm(TorvanDRV &drv, int frequency, int dutyA, int dutyB)
{
    drv.PWMData.PWMFrequency = frequency;
    drv.PWMData.DutyA = dutyA;
    drv.PWMData.DutyB = dutyB;
    drv.CalculatePWMTimers();
    drv.WritePWMSettings();
}

} // namespace
int cmdPwm(Session &session, CommandArgs &args)
{
    qint64 frequency = 20000, dutyA = 0, dutyB = 0;
    if (!args.integer(QStringLiteral("--freq"), 10, 100000, frequency) ||
        !args.integer(QStringLiteral("--a"), -100, 100, dutyA) ||
        !args.integer(QStringLiteral("--b"), -100, 100, dutyB))
        return argsError(args);
    const QString action = args.next();
    if (!action.isEmpty() && action != QLatin1String("stop") && action != QLatin1String("off"))
        return usageError(QStringLiteral("unknown pwm action \"%1\"").arg(action));
    if (const int code = connectWithoutArgs(session, args, Need::Live))
        return code;
    TorvanDRV &drv = session.drv;
    if (!action.isEmpty()) {
        // Both stop the outputs and put the driver to sleep; off also hands
        // the outputs back to the stepper.
        sendPwm(drv, drv.PWMData.PWMFrequency > 0 ? drv.PWMData.PWMFrequency : 20000, 0, 0);
        drv.SleepDriver();
        if (action == QLatin1String("off"))
            return switchDcMotorMode(session, false);
        const Session::Wait wait = session.waitUntil([&] { return !drv.RTData.InpSleep; }, VerifyTimeoutMs);
        return waitFailure(session, wait, QStringLiteral("the board did not stop its driver"));
    }
    if (const int code = switchDcMotorMode(session, true))
        return code;
    sendPwm(drv, int(frequency), int(dutyA), int(dutyB));
    drv.EnableDriver();
    const Session::Wait wait = session.waitUntil([&] { return drv.RTData.InpSleep; }, VerifyTimeoutMs);
    if (const int code = waitFailure(session, wait, QStringLiteral("the board did not enable its driver")))
        return code;
    const PWMDataRecord &p = drv.PWMData;
    Out::line(QString::asprintf("PWM A: % 4d%%, PWM B: % 4d%%, Freq: %d Hz", p.DutyA, p.DutyB, p.PWMFrequency));
    Out::line(QString::asprintf("TMR_A: % 4d, % 4d, TMR_B: % 4d, % 4d, Actual Freq: %d Hz", p.TimerAForward,
                                p.TimerAReverse, p.TimerBForward, p.TimerBReverse, p.ActualFrequency));
    return Exit::Ok;
}

} // namespace Cli
