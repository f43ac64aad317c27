#include "cli/Commands.h"

#include "cli/Output.h"
#include "cli/Session.h"
#include "cli/Status.h"
#include "cli/UpdateOutcome.h"
#include "config/DriverControls.h"
#include "config/SettingsFile.h"
#include "device/Records.h"
#include "device/StatusTexts.h"
#include "device/sim/Scenarios.h"
#include "firmware/FirmwareImage.h"
#include "record/LiveCsv.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>

namespace {

// The board's range for positions, speeds and profile values.
constexpr qint64 MaxInt32 = 2147483647;
constexpr qint64 MinInt32 = -MaxInt32 - 1;
constexpr int VerifyTimeoutMs = 5000;
constexpr int StopTimeoutMs = 10000;
// A board that restarts leaves the bus for a moment and must be back within this.
constexpr int RestartTimeoutMs = 15000;
constexpr int UpdateTimeoutMs = 120000;
constexpr int ReconnectAfterLossMs = 3000;

const QString DcMotorNotice =
    QStringLiteral("Please make sure DC motor is connected to output terminals!!! Driver will be stopped.");
const QString StepperNotice = QStringLiteral("Please make sure STEPPER MOTOR is now connected to output terminals. DC "
                                             "motor can suddenly move with fast speed. Driver will be stopped.");

int usageError(const QString &text)
{
    Out::error(text + QStringLiteral(" (see torvan60ctl --help)"));
    return Exit::Usage;
}

int argsError(const CommandArgs &args)
{
    return usageError(args.error);
}

// A command without arguments of its own: checks that none were given and
// connects the board.
int connectWithoutArgs(Session &session, CommandArgs &args, Need need)
{
    if (!args.done())
        return argsError(args);
    return session.connectBoard(need);
}

// Whether the end switch, as the board is set to use it, reads pressed.
bool endSwitchPressed(const TorvanDRV &drv)
{
    const TrajectoryDataRecord &t = drv.TrajectoryData;
    if (!t.EnableEndSwitch)
        return false;
    return t.NCTypeSwitch ? !drv.RTData.InpEndSwitch : drv.RTData.InpEndSwitch;
}

QString faultSummary(const TorvanDRV &drv)
{
    return QString::asprintf("fault 0x%X: ", unsigned(drv.RTData.FaultFlags)) +
           FaultTexts(drv.RTData.FaultFlags).join(QLatin1Char(' '));
}

int lostError(const Session &session)
{
    Out::error(QStringLiteral("board %1 was lost").arg(session.drv.SerialFilter()));
    return Exit::NoBoard;
}

// Ends a wait that did not reach its goal with the matching exit code.
int waitFailure(Session &session, Session::Wait wait, const QString &what)
{
    switch (wait) {
    case Session::Wait::Done:
        return Exit::Ok;
    case Session::Wait::Lost:
        return lostError(session);
    case Session::Wait::Interrupted:
        Out::error(QStringLiteral("interrupted"));
        return Exit::Failed;
    case Session::Wait::Timeout:
        break;
    }
    Out::error(what);
    return Exit::Failed;
}

// ---------------------------------------------------------------------------
// list

int cmdList(Session &session, CommandArgs &args)
{
    if (!args.done())
        return argsError(args);
    const std::vector<BoardEntry> boards = session.boards();
    if (boards.empty()) {
        Out::error(QStringLiteral("no board found"));
        return Exit::NoBoard;
    }
    for (const BoardEntry &board : boards)
        Out::line(QStringLiteral("%1\t%2\t%3\t%4")
                      .arg(board.entry.serialNumber, board.entry.product, QString::fromStdString(board.entry.path),
                           board.held ? QStringLiteral("held") : QStringLiteral("free")));
    return Exit::Ok;
}

// ---------------------------------------------------------------------------
// status

int watchStatus(Session &session, bool csv, qint64 count)
{
    QElapsedTimer started;
    started.start();
    // The CSV is a live recording's, header, columns and number format alike,
    // so the same tools read both; its time begins when watching does.
    SystemWallClock wallClock;
    CsvLine csvLine;
    if (csv && !Out::bytes(liveCsvHeader()))
        return Exit::Ok;
    qint64 written = 0;
    bool outputClosed = false;
    session.onLiveReport = [&] {
        if (outputClosed || (count > 0 && written >= count))
            return;
        const qint64 ms = started.elapsed();
        outputClosed = !(csv ? Out::bytes(liveCsvRow(csvLine, {ms, wallClock.now(), session.drv.RTData}, 0))
                             : Out::line(Status::watchLine(session.drv, ms)));
        ++written;
    };
    const Session::Wait wait = session.waitUntil([&] { return outputClosed || (count > 0 && written >= count); },
                                                 std::numeric_limits<int>::max());
    session.onLiveReport = nullptr;
    if (wait == Session::Wait::Lost)
        return lostError(session);
    // Ctrl-C is the normal end of watching.
    return Exit::Ok;
}

int cmdStatus(Session &session, CommandArgs &args)
{
    const bool json = args.flag(QStringLiteral("--json"));
    const bool watch = args.flag(QStringLiteral("--watch"));
    const bool csv = args.flag(QStringLiteral("--csv"));
    qint64 count = 0;
    if (!args.integer(QStringLiteral("--count"), 1, MaxInt32, count) || !args.done())
        return argsError(args);
    if ((csv || count) && !watch)
        return usageError(QStringLiteral("--csv and --count go with --watch"));
    if (json && watch)
        return usageError(QStringLiteral("--json takes one snapshot; it does not go with --watch"));
    if (const int code = session.connectBoard(Need::Identity))
        return code;
    // A board in its boot loader sends no live data: its identity is all there is.
    const bool live = !session.drv.DriverInfo.BootloaderActive;
    if (live)
        if (const int code = session.connectBoard(Need::Live))
            return code;
    if (watch) {
        if (!live) {
            Out::error(QStringLiteral("the board runs its boot loader and sends no live data"));
            return Exit::Failed;
        }
        return watchStatus(session, csv, count);
    }
    if (json)
        Out::line(QString::fromUtf8(QJsonDocument(Status::snapshot(session.drv, live)).toJson(QJsonDocument::Indented))
                      .trimmed());
    else
        for (const QString &line : Status::snapshotLines(session.drv, live))
            Out::line(line);
    return Exit::Ok;
}

// ---------------------------------------------------------------------------
// settings

void printSettings(const TorvanDRV &drv)
{
    Out::line(QStringLiteral("name: ") + drv.DrvSettings.DriverName);
    Out::line(QStringLiteral("settings: ") + drv.DrvSettings2String());
    Out::line(QStringLiteral("registers: ") + drv.DriverRegisters2String());
    const TrajectoryDataRecord &t = drv.TrajectoryData;
    Out::line(QStringLiteral("motion: max-speed=%1 accel=%2 decel=%3 end-switch=%4 nc-switch=%5 invert=%6 bin1=%7 "
                             "bin2=%8")
                  .arg(t.MaxSpeed)
                  .arg(t.MaxAccel)
                  .arg(t.MaxDecel)
                  .arg(int(t.EnableEndSwitch))
                  .arg(int(t.NCTypeSwitch))
                  .arg(int(t.AutoRunInvertDirection))
                  .arg(t.BIN1Steps)
                  .arg(t.BIN2Steps));
}

// What the board keeps of a configuration, to compare a write with its
// read-back: registers 0 to 6 (7 is never written), the side words, the
// address and mode settings, and the motion settings.
QString keptSettings(const TorvanDRV &drv)
{
    const DriverRegistersRecord &r = drv.DriverRegisters;
    const DrvSettingsRecord &s = drv.DrvSettings;
    const TrajectoryDataRecord &t = drv.TrajectoryData;
    QStringList kept;
    for (int i = 0; i < 7; ++i)
        kept << QString::number(r.Registers[i], 16);
    for (const qint64 value :
         {qint64(r.TempLimitByte), qint64(r.IdleCurrentWord), qint64(r.ReducedCurrentWord), qint64(s.I2CAddress),
          qint64(s.ModbusConfig), qint64(s.BINxButtonsMode), qint64(s.AutoRunMode), qint64(t.MaxSpeed),
          qint64(t.MaxAccel), qint64(t.MaxDecel), qint64(t.EnableEndSwitch), qint64(t.NCTypeSwitch),
          qint64(t.AutoRunInvertDirection), qint64(t.BIN1Steps), qint64(t.BIN2Steps)})
        kept << QString::number(value);
    return kept.join(QLatin1Char(';'));
}

int settingsGet(Session &session, CommandArgs &args)
{
    const QString file = args.next();
    if (!args.done())
        return argsError(args);
    if (const int code = session.connectBoard(Need::Settings))
        return code;
    TorvanDRV &drv = session.drv;
    if (file.isEmpty()) {
        printSettings(drv);
        return Exit::Ok;
    }
    // The board does not keep the window's position limits, jog steps and
    // speed-mode speed: the file gets the values the window starts with.
    TrajectoryDataRecord &t = drv.TrajectoryData;
    t.PosLimitLower = 0;
    t.PosLimitUpper = 100000;
    t.SmallStep = 1000;
    t.LargeStep = 5000;
    t.RequestedSpeed = 0;
    // The values decoded from the registers are then held as the window's
    // controls show them (currents to 0.1 A, times on their steps), so that
    // the file loads without adjustments, as one the window saved.
    DrvSettingsRecord shown = drv.DrvSettings;
    if (!SettingsFile::Save(file, shown, t) || !SettingsFile::Load(file, shown, t).loaded ||
        !SettingsFile::Save(file, shown, t)) {
        Out::error(QStringLiteral("cannot write %1").arg(file));
        return Exit::Failed;
    }
    return Exit::Ok;
}

// The register codes the window's controls derive from the settings: the
// predriver codes from the predriver speed, the time steps from the times.
void deriveRegisterCodes(DrvSettingsRecord &s)
{
    using namespace DriverControls;
    const PredriverCodes codes = PredriverTable(s.PredriverSpeed);
    s.DTime = codes.DTime;
    s.TDrive = codes.TDrive;
    s.IDrive = codes.IDrive;
    s.TBlank = BlankingSteps(s.BlankingTime);
    s.TDecay = HalfMicroSteps(s.MixedDecayTime);
    s.TOff = HalfMicroSteps(s.FixedOffTime);
}

int settingsSet(Session &session, CommandArgs &args)
{
    const bool save = args.flag(QStringLiteral("--save"));
    SettingsFile::LoadRules rules;
    rules.developerCurrents = args.flag(QStringLiteral("--developer-currents"));
    const QString file = args.next();
    if (!args.done())
        return argsError(args);
    if (file.isEmpty())
        return usageError(QStringLiteral("settings set needs a settings file"));
    // The file is checked before the board is touched; its adjustments are
    // told once.
    DrvSettingsRecord checkSettings;
    TrajectoryDataRecord checkTrajectory;
    const SettingsFile::LoadResult check = SettingsFile::Load(file, checkSettings, checkTrajectory, rules);
    if (!check.loaded)
        return usageError(QStringLiteral("%1 is not a settings file: %2").arg(file, check.refusal));
    for (const QString &adjustment : check.adjustments)
        Out::warning(adjustment);

    if (const int code = session.connectBoard(Need::Live))
        return code;
    TorvanDRV &drv = session.drv;
    if (drv.RTData.CurrentSpeed != 0) {
        Out::error(QStringLiteral("the motor is moving; stop it first"));
        return Exit::Failed;
    }
    // Loaded over what the board reported, so fields the file does not carry
    // (register codes it has no control for) stay the board's.
    const QString boardName = drv.DrvSettings.DriverName;
    SettingsFile::Load(file, drv.DrvSettings, drv.TrajectoryData, rules);
    deriveRegisterCodes(drv.DrvSettings);
    const bool sendName = !drv.DrvSettings.DriverName.isEmpty();
    if (!sendName)
        drv.DrvSettings.DriverName = boardName;

    drv.WriteDriverValues();
    if (sendName)
        drv.SetDriverName(drv.DrvSettings.DriverName);
    // The motion settings travel with a trajectory command; it holds the
    // present position and asks for no speed, so nothing moves.
    TrajectoryDataRecord &t = drv.TrajectoryData;
    t.FinalPosition = drv.RTData.CurrentPosition;
    t.RequestedSpeed = 0;
    drv.WriteTrajectory();
    const QString written = keptSettings(drv);
    const QString writtenName = drv.DrvSettings.DriverName;
    if (save)
        drv.SaveDriverValues();

    session.clearSettingsSeen();
    drv.GetDriverValues();
    drv.GetDriverName();
    if (!session.waitSettings(VerifyTimeoutMs)) {
        if (!drv.IsConnected())
            return lostError(session);
        Out::error(QStringLiteral("the board did not report its settings after the write"));
        return Exit::Failed;
    }
    const QString readBack = keptSettings(drv);
    if (readBack != written || drv.DrvSettings.DriverName != writtenName) {
        Out::error(QStringLiteral("the board did not take the settings: wrote %1, reads %2").arg(written, readBack));
        return Exit::Failed;
    }
    printSettings(drv);
    return Exit::Ok;
}

int cmdSettings(Session &session, CommandArgs &args)
{
    const QString action = args.next();
    if (action == QLatin1String("get"))
        return settingsGet(session, args);
    if (action == QLatin1String("set"))
        return settingsSet(session, args);
    return usageError(action.isEmpty() ? QStringLiteral("settings needs get or set")
                                       : QStringLiteral("unknown settings action \"%1\"").arg(action));
}

// ---------------------------------------------------------------------------
// driver state

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

int cmdName(Session &session, CommandArgs &args)
{
    const bool save = args.flag(QStringLiteral("--save"));
    const QString name = args.next();
    if (!args.done())
        return argsError(args);
    if (name.isEmpty())
        return usageError(QStringLiteral("name needs the new name"));
    if (name.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1F]"))))
        return usageError(QStringLiteral("a name cannot hold control characters"));
    if (const int code = session.connectBoard(Need::Settings))
        return code;
    TorvanDRV &drv = session.drv;
    drv.SetDriverName(name);
    const QString expected = drv.DrvSettings.DriverName; // as the board keeps it
    if (expected != name)
        Out::warning(QStringLiteral("the board keeps 32 bytes; the name is cut to \"%1\"").arg(expected));
    if (save)
        drv.SaveDriverValues();
    session.clearSettingsSeen();
    drv.GetDriverName();
    const Session::Wait wait = session.waitUntil(
        [&] { return session.sawReply(Report::RptDriverName) && drv.DrvSettings.DriverName == expected; },
        VerifyTimeoutMs);
    return waitFailure(
        session, wait,
        QStringLiteral("the board did not take the name (it reports \"%1\")").arg(drv.DrvSettings.DriverName));
}

// ---------------------------------------------------------------------------
// motion

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

// ---------------------------------------------------------------------------
// DC motor PWM

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

// ---------------------------------------------------------------------------
// firmware

bool firmwareCurrent(const DriverInfoRecord &info)
{
    return !info.BootloaderActive && info.SignatureValid && info.FirmwareUpToDate;
}

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

} // namespace

QString usageText()
{
    // The simulator's scenarios as it names them, wrapped under the option.
    QStringList scenarioLines{QStringLiteral("scenarios:")};
    const QStringList names = simulationScenarioNames();
    for (int i = 0; i < names.size(); ++i) {
        const QString word = names[i] + (i + 1 < names.size() ? QStringLiteral(",") : QString());
        if (scenarioLines.last().size() + 1 + word.size() > 46)
            scenarioLines << word;
        else
            scenarioLines.last() += QLatin1Char(' ') + word;
    }
    const QString scenarios = scenarioLines.join(QStringLiteral("\n                          "));
    return QStringLiteral(R"(Usage: torvan60ctl [OPTIONS] COMMAND [ARGUMENTS]

Controls a Torvan60 motor driver board from the command line.

Options (anywhere before a "--"):
  -d, --serial SERIAL     use the board with this USB serial number (needed
                          when several boards are connected)
  --simulate[=SCENARIO]   use a simulated board instead of the USB bus;
                          %1
  --simulate-boards=N     put N simulated boards on the bus (implies
                          --simulate; the scenario applies to the first)
  --trace FILE            append every HID write and read to FILE
  --log                   write the event log to log.txt in this folder
  -h, --help              show this text
  --version               show the version

Commands:
  list                    boards on the bus: serial, product, path, free/held
  status [--json]         identity, firmware and one live snapshot
  status --watch [--csv] [--count N]
                          one line per live report until Ctrl-C (or N lines)
  settings get [FILE.tvs] name, settings line, register dump and motion
                          settings, or saved to a settings file
  settings set FILE.tvs [--save] [--developer-currents]
                          load a settings file (values outside the controls'
                          ranges are adjusted, with a warning each), write it
                          to the board, read it back; --save keeps it over
                          restarts
  enable | sleep          wake the driver or put it to sleep
  reset-faults            clear the fault flags (fails if a fault remains)
  restart                 restart the board and wait until it is back
  name NEW [--save]       set the board's name (--save: keep it over restarts)
  move TARGET [--max-speed N] [--accel N] [--decel N] [--timeout S] [--no-wait]
                          move to TARGET steps and wait until it is reached;
                          wakes a sleeping driver; Ctrl-C stops the move
  run SPEED [--max-speed N] [--accel N] [--decel N]
                          run at SPEED steps/s (negative: backwards) and return
  stop                    brake any motion to rest and wait for it
  home                    make the present position zero
  pwm [--freq HZ] [--a DUTY] [--b DUTY]
                          DC motor mode: duties in percent (-100..100),
                          frequency 10..100000 Hz (default 20000)
  pwm stop | pwm off      outputs to 0 and driver asleep; off also leaves
                          DC motor mode
  firmware check          compare the board's firmware with the carried one
  firmware update [--yes] update the firmware (asks unless --yes)

Exit codes:
  0  done
  1  the board refused, an operation failed or was interrupted, or the
     firmware needs an update (firmware check)
  2  usage error, a file that is not a settings file, or several boards
     and no --serial
  3  no board, the board is held by another program, or it was lost
)")
        .arg(scenarios);
}

int runCommand(Session &session, const QStringList &words)
{
    using Command = std::function<int(Session &, CommandArgs &)>;
    static const std::map<QString, Command> commands = {
        {QStringLiteral("list"), cmdList},
        {QStringLiteral("status"), cmdStatus},
        {QStringLiteral("settings"), cmdSettings},
        {QStringLiteral("enable"), [](Session &s, CommandArgs &a) { return cmdEnableSleep(s, a, true); }},
        {QStringLiteral("sleep"), [](Session &s, CommandArgs &a) { return cmdEnableSleep(s, a, false); }},
        {QStringLiteral("reset-faults"), cmdResetFaults},
        {QStringLiteral("restart"), cmdRestart},
        {QStringLiteral("name"), cmdName},
        {QStringLiteral("move"), cmdMove},
        {QStringLiteral("run"), cmdRun},
        {QStringLiteral("stop"), cmdStop},
        {QStringLiteral("home"), cmdHome},
        {QStringLiteral("pwm"), cmdPwm},
        {QStringLiteral("firmware"), cmdFirmware},
    };
    if (words.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const auto command = commands.find(words.first());
    if (command == commands.end())
        return usageError(QStringLiteral("unknown command \"%1\"").arg(words.first()));
    CommandArgs args(words.mid(1));
    return command->second(session, args);
}
