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
    QJsonObject result;
    if (const int code = call(session, enable ? QStringLiteral("enable") : QStringLiteral("sleep"), {}, result))
        return code;
    if (enable && !result.value(QLatin1String("motor_power_ok")).toBool())
        Out::warning(QStringLiteral("the driver is enabled, but the board has no motor power"));
    return Exit::Ok;
}

int cmdResetFaults(Session &session, CommandArgs &args)
{
    if (const int code = connectWithoutArgs(session, args, Need::Live))
        return code;
    return call(session, QStringLiteral("reset_faults"));
}

int cmdRestart(Session &session, CommandArgs &args)
{
    if (const int code = connectWithoutArgs(session, args, Need::Identity))
        return code;
    if (const int code = call(session, QStringLiteral("restart")))
        return code;
    // The board leaves the bus and its holder finds it again.
    const Session::Restart restart = session.awaitRestart(RestartTimeoutMs);
    if (restart == Session::Restart::NotLeft || restart == Session::Restart::NotBack) {
        Out::error(restart == Session::Restart::NotBack
                       ? QStringLiteral("board %1 did not come back after the restart").arg(session.serial())
                       : QStringLiteral("board %1 did not restart").arg(session.serial()));
        return restart == Session::Restart::NotBack ? Exit::NoBoard : Exit::Failed;
    }
    if (restart == Session::Restart::Interrupted) {
        Out::error(QStringLiteral("interrupted"));
        return Exit::Failed;
    }
    QJsonObject identity;
    if (const int code = call(session, QStringLiteral("identity"), {}, identity))
        return code;
    Out::line(identity.value(QLatin1String("bootloader_active")).toBool()
                  ? QStringLiteral("restarted: boot loader running")
                  : QStringLiteral("restarted: application running"));
    return Exit::Ok;
}

} // namespace Cli
