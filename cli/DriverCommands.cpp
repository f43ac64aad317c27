#include "cli/CommandSupport.h"

#include "cli/Output.h"

namespace Cli {

namespace {

// A board that restarts leaves the bus for a moment and must be back within this.
constexpr int RestartTimeoutMs = 15000;

} // namespace
int cmdEnableSleep(Session &session, CommandArgs &args, bool enable)
{
    if (const int code = connectWithoutArgs(session, args, Need::Live))
        return code;
    TorvanDRV &drv = session.drv;
    if (enable)
        drv.EnableDriver();
    else
        drv.SleepDriver();
    // The sleep input reads high while the driver is enabled.
    const Session::Wait wait = session.waitUntil([&] { return drv.RTData.InpSleep == enable; }, VerifyTimeoutMs);
    if (wait == Session::Wait::Done && enable && !drv.RTData.MotorPowerOK)
        Out::warning(QStringLiteral("the driver is enabled, but the board has no motor power"));
    return waitFailure(session, wait,
                       enable ? QStringLiteral("the board did not enable its driver")
                              : QStringLiteral("the board did not put its driver to sleep"));
}

int cmdResetFaults(Session &session, CommandArgs &args)
{
    if (const int code = connectWithoutArgs(session, args, Need::Live))
        return code;
    TorvanDRV &drv = session.drv;
    drv.ResetFaults();
    // A fault that is still there is reported again at once: give the board
    // a few reports after the command to show it.
    const Session::Wait wait = session.waitAfterReports(
        3, [&] { return drv.RTData.FaultFlags == 0; }, VerifyTimeoutMs);
    return waitFailure(session, wait, QStringLiteral("faults remain: ") + faultSummary(drv));
}

int cmdRestart(Session &session, CommandArgs &args)
{
    if (const int code = connectWithoutArgs(session, args, Need::Identity))
        return code;
    TorvanDRV &drv = session.drv;
    drv.DriverInfo.UniqueIDText.clear();
    drv.RestartDevice();
    // The board leaves the bus; the device object finds it again by itself.
    bool left = !drv.IsConnected();
    const Session::Wait wait = session.waitUntil(
        [&] {
            left = left || !drv.IsConnected();
            return left && drv.IsConnected() && drv.BusyCode == 0 && !drv.DriverInfo.UniqueIDText.isEmpty();
        },
        RestartTimeoutMs, false);
    if (wait == Session::Wait::Timeout) {
        Out::error(left ? QStringLiteral("board %1 did not come back after the restart").arg(drv.SerialFilter())
                        : QStringLiteral("board %1 did not restart").arg(drv.SerialFilter()));
        return left ? Exit::NoBoard : Exit::Failed;
    }
    if (const int code = waitFailure(session, wait, QString()))
        return code;
    Out::line(drv.DriverInfo.BootloaderActive ? QStringLiteral("restarted: boot loader running")
                                              : QStringLiteral("restarted: application running"));
    return Exit::Ok;
}

} // namespace Cli
