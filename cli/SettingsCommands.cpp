#include "cli/CommandSupport.h"

#include "cli/Output.h"
#include "config/DriverControls.h"
#include "config/SettingsFile.h"
#include "device/Records.h"

#include <QRegularExpression>

namespace Cli {

namespace {

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

} // namespace
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

} // namespace Cli
