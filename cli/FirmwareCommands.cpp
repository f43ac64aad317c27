#include "cli/CommandSupport.h"

#include "cli/Output.h"
#include "cli/UpdateOutcome.h"
#include "firmware/FirmwareImage.h"
#include "firmware/UpdateSnapshots.h"
#include "service/StatusJson.h"

namespace Cli {

namespace {

constexpr int UpdateTimeoutMs = 120000;

bool firmwareCurrent(const DriverInfoRecord &info)
{
    return !info.BootloaderActive && info.SignatureValid && info.FirmwareUpToDate;
}

// What became of the board's settings: the same, changed (kept, with a
// note), restored, or not restored (exit 1).
int reportSettingsAfterUpdate(const UpdateSnapshots::Outcome &outcome)
{
    using State = UpdateSnapshots::Outcome::State;
    auto list = [](const std::vector<SettingsDiff::Difference> &differences) {
        for (const SettingsDiff::Difference &d : differences)
            Out::line(QStringLiteral("  ") + SettingsDiff::line(d));
    };
    switch (outcome.state) {
    case State::None:
        break;
    case State::Equal:
        Out::line(QStringLiteral("settings unchanged by the update"));
        break;
    case State::Kept:
        Out::line(QStringLiteral("settings changed by the update (before, now):"));
        list(outcome.differences);
        Out::warning(QStringLiteral("the board keeps its new settings; restore them with \"torvan60ctl settings set "
                                    "%1 --save\" (or update with --restore-settings)")
                         .arg(outcome.snapshot));
        break;
    case State::Restored:
        Out::line(QStringLiteral("settings changed by the update, restored from %1:").arg(outcome.snapshot));
        list(outcome.differences);
        break;
    case State::RestoreFailed:
        Out::line(QStringLiteral("settings changed by the update (before, now):"));
        list(outcome.differences);
        Out::error(
            outcome.left.empty()
                ? QStringLiteral("the board did not report its settings after restoring %1").arg(outcome.snapshot)
                : QStringLiteral("the board did not take %1 of the settings from %2")
                      .arg(outcome.left.size())
                      .arg(outcome.snapshot));
        return Exit::Failed;
    }
    return Exit::Ok;
}

int check(Session &session, const CommandArgs &)
{
    session.warnOutdatedFirmware = false;
    if (const int code = session.connectBoard(Need::Identity))
        return code;
    QJsonObject firmware;
    if (const int code = call(session, QStringLiteral("firmware.check"), {}, firmware))
        return code;
    auto text = [&firmware](const char *key) { return firmware.value(QLatin1String(key)).toString(); };
    Out::line(QStringLiteral("boot loader: ") + text("bootloader_version"));
    Out::line(QStringLiteral("application: ") + text("application_version"));
    Out::line(QStringLiteral("carried: ") + text("carried_version"));
    Out::line(QStringLiteral("running: ") + text("running"));
    Out::line(QStringLiteral("signature: ") + (firmware.value(QLatin1String("signature_valid")).toBool()
                                                   ? QStringLiteral("valid")
                                                   : QStringLiteral("invalid")));
    if (firmware.value(QLatin1String("up_to_date")).toBool()) {
        Out::line(QStringLiteral("firmware: up to date"));
        return Exit::Ok;
    }
    Out::line(QStringLiteral("firmware: update needed"));
    return Exit::Failed;
}

int update(Session &session, const CommandArgs &args)
{
    const bool yes = args.flag(QStringLiteral("--yes"));
    const bool restoreSettings = args.flag(QStringLiteral("--restore-settings"));
    // Nobody could answer the question before the board is flashed.
    if (!yes && !Out::stdinIsTerminal())
        return usageError(args, QStringLiteral("firmware update asks before it flashes the board; give --yes to "
                                               "update without a terminal"));
    TorvanDRV &drv = session.board().drv;
    UpdateSnapshots &snapshots = session.board().snapshots;
    snapshots.setOnDifference(restoreSettings ? UpdateSnapshots::OnDifference::Restore
                                              : UpdateSnapshots::OnDifference::Keep);
    QObject::connect(&snapshots, &UpdateSnapshots::snapshotTaken, &session, [](const QString &path) {
        Out::line(QStringLiteral("settings saved before the update: ") + path);
    });
    const QString carried = StatusJson::version(UpdateVersion[0], UpdateVersion[1]);
    // The update runs as the window runs it: the firmware check after the
    // identity exchange asks, and a yes restarts the board into its boot
    // loader, which the next connection updates and restarts again. So the
    // answer is given before connecting.
    session.warnOutdatedFirmware = false;
    session.dialogs.answer = yes ? CliDialogs::Answer::Yes : CliDialogs::Answer::AskTerminal;
    const bool terminal = Out::stdoutIsTerminal();
    int shownPercent = -1;
    bool uploaded = false;
    session.onFirmwareProgress = [&] {
        // The address of the subsector going out, from the report before it
        // is scrambled.
        const int percent = FlashLayout::uploadPercent(FlashLayout::subsectorAddress(drv.OutputReport));
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
    if (session.remote()) {
        // The holder runs the update; its questions are its operator's.
        Out::error(QStringLiteral("board %1 is held by %2; update its firmware there")
                       .arg(session.serial(), session.holder()));
        return Exit::NoBoard;
    }
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
        [&] {
            return updateBrokeOff(drv) ||
                   (uploaded && drv.IsConnected() && drv.BusyCode == 0 && firmwareCurrent(drv.DriverInfo));
        },
        UpdateTimeoutMs, false);
    session.onFirmwareProgress = nullptr;
    if (updateBrokeOff(drv))
        return reportBrokenUpdate(drv);
    if (wait == Session::Wait::Done) {
        Out::line(QStringLiteral("firmware updated to %1").arg(carried));
        return reportSettingsAfterUpdate(snapshots.lastOutcome());
    }
    if (wait == Session::Wait::Interrupted)
        Out::error(QStringLiteral("interrupted; the board keeps its boot loader until the update is run again"));
    else if (!drv.IsConnected())
        Out::error(QStringLiteral("board %1 was lost during the update; reconnect it and run firmware update again")
                       .arg(session.serial()));
    else
        Out::error(QStringLiteral("the update did not complete; run firmware update again"));
    return drv.IsConnected() ? Exit::Failed : Exit::NoBoard;
}

} // namespace

std::vector<Command> firmwareCommands()
{
    return {
        {QStringLiteral("firmware"),
         QStringLiteral("check the board's firmware or update it"),
         QStringLiteral("torvan60ctl carries the board's firmware image (torvan60ctl --version names its version)."),
         {{QStringLiteral("check"),
           {},
           {},
           QStringLiteral("Shows the versions of the boot loader, the application and the carried image, what "
                          "runs, and whether the signature is valid; exit 1 when an update is needed."),
           check},
          {QStringLiteral("update"),
           {},
           {CommandLine::Option::flag({QStringLiteral("--yes")}, QStringLiteral("Update without asking.")),
            CommandLine::Option::flag({QStringLiteral("--restore-settings")},
                                      QStringLiteral("When the update changed the board's settings, write the ones "
                                                     "saved before it back, save them in the board and read them "
                                                     "back."))},
           QStringLiteral("Updates the firmware as the window does: restart into the boot loader, erase, upload, "
                          "checksums, signature, restart; a progress bar on a terminal, percentage lines "
                          "otherwise. Asks on a terminal unless --yes; without a terminal --yes is needed (a "
                          "usage error without it). The board's settings are saved first as a settings file "
                          "($XDG_STATE_HOME/torvan60/snapshots/SERIAL/); afterwards the settings the update "
                          "changed are listed and kept (with a note how to restore them) or, with "
                          "--restore-settings, restored. The flash steps cannot be cut short; a board left in its "
                          "boot loader is updated again by the next firmware update. A board another program "
                          "serves is updated there."),
           update}},
         {{Exit::Failed, QStringLiteral("check: an update is needed; update: not confirmed, or it broke off (the "
                                        "message names the sectors whose checksum differed or never came) or "
                                        "did not complete, or the board did not take back its settings")},
          {Exit::Usage, QStringLiteral("usage error, or update without a terminal and without --yes")},
          {Exit::NoBoard, QStringLiteral("no board, the board is held or served by another program, or it was "
                                         "lost during the update")}},
         {{QStringLiteral("torvan60ctl --simulate firmware check"),
           QStringLiteral("The versions of an up-to-date board:")},
          {QStringLiteral("torvan60ctl --simulate=outdated firmware update --yes"),
           QStringLiteral("Updates a board that runs an older application, without asking:")},
          {QStringLiteral("torvan60ctl --simulate=updatereset firmware update --yes --restore-settings"),
           QStringLiteral("One whose update resets its settings, which are then restored:")}}},
    };
}

} // namespace Cli
