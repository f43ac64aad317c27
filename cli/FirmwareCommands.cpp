#include "cli/CommandSupport.h"

#include "cli/Output.h"
#include "cli/Status.h"
#include "firmware/FirmwareImage.h"

namespace Cli {

namespace {

constexpr int UpdateTimeoutMs = 120000;

bool firmwareCurrent(const DriverInfoRecord &info)
{
    return !info.BootloaderActive && info.SignatureValid && info.FirmwareUpToDate;
}

} // namespace
int cmdFirmware(Session &session, CommandArgs &args)
{
    const QString action = args.next();
    const bool yes = args.flag(QStringLiteral("--yes"));
    if (!args.done())
        return argsError(args);
    if (action != QLatin1String("check") && action != QLatin1String("update"))
        return usageError(action.isEmpty() ? QStringLiteral("firmware needs check or update")
                                           : QStringLiteral("unknown firmware action \"%1\"").arg(action));
    if (yes && action == QLatin1String("check"))
        return usageError(QStringLiteral("--yes goes with firmware update"));
    TorvanDRV &drv = session.drv;
    const QString carried = Status::version(UpdateVersion[0], UpdateVersion[1]);

    if (action == QLatin1String("check")) {
        session.warnOutdatedFirmware = false;
        if (const int code = session.connectBoard(Need::Identity))
            return code;
        const DriverInfoRecord &info = drv.DriverInfo;
        Out::line(QStringLiteral("boot loader: ") + Status::version(info.BLVersionHigh, info.BLVersionLow));
        Out::line(QStringLiteral("application: ") + Status::version(info.APVersionHigh, info.APVersionLow));
        Out::line(QStringLiteral("carried: ") + carried);
        Out::line(QStringLiteral("running: ") +
                  (info.BootloaderActive ? QStringLiteral("boot loader") : QStringLiteral("application")));
        Out::line(QStringLiteral("signature: ") +
                  (info.SignatureValid ? QStringLiteral("valid") : QStringLiteral("invalid")));
        if (firmwareCurrent(info)) {
            Out::line(QStringLiteral("firmware: up to date"));
            return Exit::Ok;
        }
        Out::line(QStringLiteral("firmware: update needed"));
        return Exit::Failed;
    }

    // The update runs as the window runs it: the firmware check after the
    // identity exchange asks, and a yes restarts the board into its boot
    // loader, which the next connection updates and restarts again. So the
    // answer is given before connecting.
    session.warnOutdatedFirmware = false;
    session.dialogs.answer = yes                      ? CliDialogs::Answer::Yes
                             : Out::stdinIsTerminal() ? CliDialogs::Answer::AskTerminal
                                                      : CliDialogs::Answer::No;
    const bool terminal = Out::stdoutIsTerminal();
    int shownPercent = -1;
    bool uploaded = false;
    session.onFirmwareProgress = [&] {
        using namespace FlashLayout;
        const int address = (drv.OutputReport[3] << 12) | (drv.OutputReport[4] << 5);
        const int percent = (address + SubsectorSize - ApplicationStart) * 100 / (FirmwareImageSize - ApplicationStart);
        uploaded = percent >= 100;
        if (terminal) {
            if (percent == shownPercent)
                return;
            const int bar = percent * 40 / 100;
            Out::raw(QStringLiteral("\r[%1%2] %3%")
                         .arg(QString(bar, QLatin1Char('#')), QString(40 - bar, QLatin1Char(' ')))
                         .arg(percent, 3));
            if (percent >= 100)
                Out::raw(QStringLiteral("\n"));
        } else if (percent / 10 != shownPercent / 10) {
            Out::line(QStringLiteral("%1%").arg(percent / 10 * 10));
        }
        shownPercent = percent;
    };
    if (const int code = session.connectBoard(Need::Identity))
        return code;
    if (firmwareCurrent(drv.DriverInfo) && session.dialogs.asked.isEmpty()) {
        Out::line(QStringLiteral("firmware %1 is up to date").arg(carried));
        return Exit::Ok;
    }
    if (drv.DriverInfo.BootloaderActive && drv.DriverInfo.SignatureValid && drv.DriverInfo.FirmwareUpToDate &&
        session.dialogs.asked.isEmpty()) {
        Out::line(QStringLiteral("firmware %1 is up to date; the board runs its boot loader, \"restart\" starts the "
                                 "application")
                      .arg(carried));
        return Exit::Ok;
    }
    if (session.dialogs.declined) {
        Out::error(QStringLiteral("update not confirmed; give --yes to update without asking"));
        return Exit::Failed;
    }
    // Waits until the board runs the carried application again, across its
    // restarts; the device object reconnects it each time.
    const Session::Wait wait = session.waitUntil(
        [&] { return uploaded && drv.IsConnected() && drv.BusyCode == 0 && firmwareCurrent(drv.DriverInfo); },
        UpdateTimeoutMs, false);
    session.onFirmwareProgress = nullptr;
    if (wait == Session::Wait::Done) {
        Out::line(QStringLiteral("firmware updated to %1").arg(carried));
        return Exit::Ok;
    }
    if (wait == Session::Wait::Interrupted)
        Out::error(QStringLiteral("interrupted; the board keeps its boot loader until the update is run again"));
    else if (!drv.IsConnected())
        Out::error(QStringLiteral("board %1 was lost during the update; reconnect it and run firmware update again")
                       .arg(drv.SerialFilter()));
    else
        Out::error(QStringLiteral("the update did not complete; run firmware update again"));
    return drv.IsConnected() ? Exit::Failed : Exit::NoBoard;
}

} // namespace Cli
