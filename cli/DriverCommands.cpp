#include "cli/CommandSupport.h"

#include "cli/Output.h"

namespace Cli {

namespace {

// A board that restarts leaves the bus for a moment and must be back within this.
constexpr int RestartTimeoutMs = 15000;

int enableSleep(Session &session, bool enable)
{
    if (const int code = session.connectBoard(Need::Live))
        return code;
    QJsonObject result;
    if (const int code = call(session, enable ? QStringLiteral("enable") : QStringLiteral("sleep"), {}, result))
        return code;
    if (enable && !result.value(QLatin1String("motor_power_ok")).toBool())
        Out::warning(QStringLiteral("the driver is enabled, but the board has no motor power"));
    return Exit::Ok;
}

int resetFaults(Session &session, const CommandArgs &)
{
    if (const int code = session.connectBoard(Need::Live))
        return code;
    return call(session, QStringLiteral("reset_faults"));
}

int restart(Session &session, const CommandArgs &)
{
    if (const int code = session.connectBoard(Need::Identity))
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

} // namespace

std::vector<Command> driverCommands()
{
    return {
        {QStringLiteral("enable"),
         QStringLiteral("wake the driver"),
         QStringLiteral("Wakes the motor driver and waits until the live data shows it awake; warns when the "
                        "board has no motor power."),
         {{QString(), {}, {}, QString(), [](Session &s, const CommandArgs &) { return enableSleep(s, true); }}},
         {{Exit::Failed, QStringLiteral("the board did not wake the driver")}},
         {{QStringLiteral("torvan60ctl --simulate enable"), QStringLiteral("Wakes the driver:")},
          {QStringLiteral("torvan60ctl --simulate-boards=2 -d SIM60-000002 enable"),
           QStringLiteral("The driver of the second of two boards:")}}},
        {QStringLiteral("sleep"),
         QStringLiteral("put the driver to sleep"),
         QStringLiteral("Puts the motor driver to sleep (its outputs off) and waits until the live data shows it "
                        "asleep."),
         {{QString(), {}, {}, QString(), [](Session &s, const CommandArgs &) { return enableSleep(s, false); }}},
         {{Exit::Failed, QStringLiteral("the board did not put the driver to sleep")}},
         {{QStringLiteral("torvan60ctl --simulate sleep"), QStringLiteral("Puts the driver to sleep:")},
          {QStringLiteral("torvan60ctl --simulate --trace sleep.trace sleep"),
           QStringLiteral("The same, with every report it sends and reads in sleep.trace:")}}},
        {QStringLiteral("reset-faults"),
         QStringLiteral("clear the fault flags"),
         QStringLiteral("Clears the board's fault flags and checks the live data; fails naming the faults that "
                        "remain."),
         {{QString(), {}, {}, QString(), resetFaults}},
         {{Exit::Failed, QStringLiteral("faults remain (named in the message)")}},
         {{QStringLiteral("torvan60ctl --simulate reset-faults"), QStringLiteral("Clears the fault flags:")},
          {QStringLiteral("torvan60ctl --simulate=faults reset-faults"),
           QStringLiteral("On the board that trips a fault every 30 seconds:")}}},
        {QStringLiteral("restart"),
         QStringLiteral("restart the board and wait until it is back"),
         QStringLiteral("Restarts the board, waits until it has left the bus and is back, and tells whether its "
                        "boot loader or its application runs. A board running its application restarts into its "
                        "boot loader (as the window's manual firmware update does), a board in its boot loader "
                        "into its application: a second restart brings the application back."),
         {{QString(), {}, {}, QString(), restart}},
         {{Exit::Failed, QStringLiteral("the board did not restart")},
          {Exit::NoBoard, QStringLiteral("no board, the board is held by another program, or it did not come "
                                         "back")}},
         {{QStringLiteral("torvan60ctl --simulate restart"),
           QStringLiteral("Restarts a board that runs its application into its boot loader:")},
          {QStringLiteral("torvan60ctl --simulate=bootloader restart"),
           QStringLiteral("And one in its boot loader, over a valid application, into the application:")}}},
    };
}

} // namespace Cli
