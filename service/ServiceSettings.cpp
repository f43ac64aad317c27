// The service's settings commands: the board's settings under the keys of a
// settings file, loaded by the window's rules, written and read back.
#include "service/BoardService.h"

#include "config/DriverControls.h"
#include "config/DriverRegisterCodec.h"
#include "config/SettingsFile.h"
#include "device/Records.h"
#include "device/TorvanDRV.h"
#include "service/SettingsJson.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace {

constexpr int VerifyTimeoutMs = 5000;

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

// What the board keeps of a configuration, to compare a write with its
// read-back: registers 0 to 6 (7 is never written), the side words, the
// address and mode settings, and the motion settings.
QString keptSettings(const TorvanDRV &drv)
{
    const DriverRegistersRecord &r = drv.BoardRegisters();
    const DrvSettingsRecord &s = drv.BoardSettings();
    const TrajectoryDataRecord &t = drv.BoardTrajectory();
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

// The motion settings of a settings object: the board's, with the holder's
// own (position limits, jog steps, speed-mode speed), which no board keeps.
TrajectoryDataRecord motionSettings(const TorvanDRV &drv)
{
    TrajectoryDataRecord t = drv.BoardTrajectory();
    SettingsFile::TakeHolderSettings(drv.TrajectoryData, t);
    return t;
}

} // namespace

void BoardService::settingsGet(const CallPtr &call, Rpc::Params &params)
{
    const bool detail = params.boolean(QStringLiteral("detail"), false);
    if (!paramsOk(call, params))
        return;
    const DrvSettingsRecord &board = drv.BoardSettings();
    QJsonObject result = SettingsJson::shown(board, motionSettings(drv));
    if (detail) {
        // The settings line and the register image as the board reported them.
        result.insert(QStringLiteral("settings_line"), DriverRegisterCodec::DrvSettings2String(board));
        result.insert(QStringLiteral("registers"),
                      DriverRegisterCodec::DriverRegisters2String(drv.BoardRegisters(), board.I2CAddress));
    }
    reply(call, result);
}

void BoardService::settingsSet(const CallPtr &call, Rpc::Params &params)
{
    const QJsonObject settings = params.object(QStringLiteral("settings"), true);
    const bool save = params.boolean(QStringLiteral("save"), false);
    SettingsFile::LoadRules rules;
    rules.developerCurrents = params.boolean(QStringLiteral("developer_currents"), false);
    if (!paramsOk(call, params))
        return;
    QString error;
    const QVariantMap values = SettingsJson::values(settings, error);
    // The settings are checked before the board is touched.
    DrvSettingsRecord checkSettings;
    TrajectoryDataRecord checkTrajectory;
    const SettingsFile::LoadResult check = error.isEmpty()
                                               ? SettingsFile::LoadValues(values, checkSettings, checkTrajectory, rules)
                                               : SettingsFile::LoadResult();
    if (!check.loaded)
        return fail(call, Rpc::InvalidParams,
                    QStringLiteral("\"settings\" holds no settings: ") + (error.isEmpty() ? check.refusal : error));
    if (drv.RTData.CurrentSpeed != 0)
        return fail(call, Rpc::Refused, QStringLiteral("the motor is moving; stop it first"));

    // Loaded over what the board holds, so fields the settings do not carry
    // (register codes without a control) stay the board's. The window's
    // records, and its operator's unwritten edits there, are not touched.
    DrvSettingsRecord settingsSent = drv.BoardSettings();
    TrajectoryDataRecord motion = motionSettings(drv);
    const QString boardName = settingsSent.DriverName;
    SettingsFile::LoadValues(values, settingsSent, motion, rules);
    deriveRegisterCodes(settingsSent);
    const bool sendName = !settingsSent.DriverName.isEmpty();
    drv.SendDriverValues(settingsSent);
    const QString writtenName = sendName ? drv.SendDriverName(settingsSent.DriverName) : boardName;
    // The motion settings travel with a trajectory command; it holds the
    // present position and asks for no speed, so nothing moves.
    TrajectoryDataRecord t = motion;
    t.FinalPosition = drv.RTData.CurrentPosition;
    t.RequestedSpeed = 0;
    drv.SendTrajectory(t, settingsSent.AutoRunMode, settingsSent.BINxButtonsMode);
    // What no board keeps is the holder's: its limits, jog steps and the
    // speed kept for the next run.
    SettingsFile::TakeHolderSettings(motion, drv.TrajectoryData);
    const QString written = keptSettings(drv);
    if (save)
        drv.SaveDriverValues();
    emit boardSettingsChanged();

    settingsSeen.clear();
    drv.GetDriverValues();
    drv.GetDriverName();
    const QStringList warnings = check.adjustments;
    // The board answers each read twice: the second answers of an earlier
    // write may still come in after this one was sent, showing what was
    // there before. So the wait goes on until the read-back matches, and a
    // board that did not take the settings is told once the time is up.
    auto allSeen = [this] {
        return settingsSeen.contains(Report::RptDriverRegisters) && settingsSeen.contains(Report::RptOtherSettings) &&
               settingsSeen.contains(Report::RptDriverName);
    };
    waitFor(
        call, 0,
        [this, allSeen, written, writtenName] {
            return allSeen() && keptSettings(drv) == written && drv.BoardSettings().DriverName == writtenName;
        },
        VerifyTimeoutMs,
        [this, allSeen, written, writtenName] {
            if (!allSeen())
                return QStringLiteral("the board did not report its settings after the write");
            if (keptSettings(drv) == written)
                return QStringLiteral("the board did not take the name: wrote \"%1\", reads \"%2\"")
                    .arg(writtenName, drv.BoardSettings().DriverName);
            return QStringLiteral("the board did not take the settings: wrote %1, reads %2")
                .arg(written, keptSettings(drv));
        },
        [this, call, warnings] {
            reply(call, {{QStringLiteral("warnings"), QJsonArray::fromStringList(warnings)},
                         {QStringLiteral("settings"), SettingsJson::shown(drv.BoardSettings(), motionSettings(drv))}});
        });
}

void BoardService::name(const CallPtr &call, Rpc::Params &params)
{
    const QString name = params.text(QStringLiteral("name"), QString(), true);
    const bool save = params.boolean(QStringLiteral("save"), false);
    if (!paramsOk(call, params))
        return;
    if (name.isEmpty())
        return fail(call, Rpc::InvalidParams, QStringLiteral("\"name\" must not be empty"));
    if (name.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1F]"))))
        return fail(call, Rpc::InvalidParams, QStringLiteral("a name cannot hold control characters"));
    const QString expected = drv.SendDriverName(name); // as the board keeps it
    if (save)
        drv.SaveDriverValues();
    emit boardSettingsChanged();
    settingsSeen.clear();
    drv.GetDriverName();
    waitFor(
        call, 0,
        [this, expected] {
            return settingsSeen.contains(Report::RptDriverName) && drv.BoardSettings().DriverName == expected;
        },
        VerifyTimeoutMs,
        [this] {
            return QStringLiteral("the board did not take the name (it reports \"%1\")")
                .arg(drv.BoardSettings().DriverName);
        },
        [this, call, expected] {
            reply(call, {{QStringLiteral("name"), expected}});
        });
}
