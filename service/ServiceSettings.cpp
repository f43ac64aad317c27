// The service's settings commands: the board's settings under the keys of a
// settings file, loaded by the window's rules, written and read back.
#include "service/BoardService.h"

#include "config/BoardSettings.h"
#include "config/DriverRegisterCodec.h"
#include "config/SettingsDiff.h"
#include "config/SettingsFile.h"
#include "device/Records.h"
#include "device/TorvanDRV.h"
#include "service/SettingsJson.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace {

constexpr int VerifyTimeoutMs = 5000;

bool namesGroup(const QVariantMap &values, const QString &group, const QString &except = QString())
{
    for (auto it = values.begin(); it != values.end(); ++it)
        if (it.key().startsWith(group) && it.key() != except)
            return true;
    return false;
}

} // namespace

void BoardService::settingsGet(const CallPtr &call, Rpc::Params &params)
{
    const bool detail = params.boolean(QStringLiteral("detail"), false);
    if (!paramsOk(call, params))
        return;
    // What the board holds, never the window's unwritten edits.
    const DrvSettingsRecord &board = drv.OnBoardSettings();
    QJsonObject result = SettingsJson::shown(board, BoardSettings::Motion(drv));
    if (detail) {
        // The settings line and the register image as the board holds them.
        result.insert(QStringLiteral("settings_line"), DriverRegisterCodec::DrvSettings2String(board));
        result.insert(QStringLiteral("registers"),
                      DriverRegisterCodec::DriverRegisters2String(drv.OnBoardRegisters(), board.I2CAddress));
    }
    reply(call, result);
}

void BoardService::settingsDiff(const CallPtr &call, Rpc::Params &params)
{
    const QJsonObject settings = params.object(QStringLiteral("settings"), true);
    SettingsFile::LoadRules rules;
    rules.developerCurrents = params.boolean(QStringLiteral("developer_currents"), false);
    rules.partial = !params.boolean(QStringLiteral("whole_file"), false);
    if (!paramsOk(call, params))
        return;
    QString error;
    const QVariantMap values = SettingsJson::values(settings, error);
    const SettingsDiff::Side given =
        error.isEmpty() ? SettingsDiff::fromFile(values, rules, &error) : SettingsDiff::Side();
    if (given.isEmpty())
        return fail(call, Rpc::InvalidParams, QStringLiteral("\"settings\" holds no settings: ") + error);
    const auto differences =
        SettingsDiff::compare(given, SettingsDiff::fromBoard(drv.OnBoardSettings(), drv.OnBoardTrajectory()));
    reply(call, {{QStringLiteral("equal"), differences.empty()},
                 {QStringLiteral("differences"), SettingsJson::differences(differences)}});
}

void BoardService::settingsSet(const CallPtr &call, Rpc::Params &params)
{
    const QJsonObject settings = params.object(QStringLiteral("settings"), true);
    const bool save = params.boolean(QStringLiteral("save"), false);
    const bool wholeFile = params.boolean(QStringLiteral("whole_file"), false);
    SettingsFile::LoadRules rules;
    rules.developerCurrents = params.boolean(QStringLiteral("developer_currents"), false);
    // A request that names some keys changes those keys only; a whole file
    // is loaded as the window loads one, each missing key at its default.
    rules.partial = !wholeFile;
    if (!wholeFile)
        rules.source = QStringLiteral("Requested");
    if (!paramsOk(call, params))
        return;
    QString error;
    const QVariantMap values = SettingsJson::values(settings, error);
    // The settings are checked before the board is touched. A whole file is
    // loaded over what the board reported, so fields the file does not
    // carry (register codes without a control) stay the board's; a change of
    // some keys starts from the board's settings as the controls show them.
    DrvSettingsRecord s = drv.OnBoardSettings();
    TrajectoryDataRecord t = BoardSettings::Motion(drv);
    if (!wholeFile)
        SettingsFile::Shown(s, t);
    const SettingsFile::LoadResult check =
        error.isEmpty() ? SettingsFile::LoadValues(values, s, t, rules) : SettingsFile::LoadResult();
    if (!check.loaded)
        return fail(call, Rpc::InvalidParams,
                    QStringLiteral("\"settings\" holds no settings: ") + (error.isEmpty() ? check.refusal : error));
    if (drv.RTData.CurrentSpeed != 0)
        return fail(call, Rpc::Refused, QStringLiteral("the motor is moving; stop it first"));
    carryOut(call);

    BoardSettings::Parts parts;
    if (!wholeFile) {
        const QString nameKey = QStringLiteral("DriverSettings/DriverName");
        parts.driver = namesGroup(values, QStringLiteral("DriverSettings/"), nameKey);
        parts.name = values.contains(nameKey);
        parts.motion = namesGroup(values, QStringLiteral("TrajectorySettings/"));
    }
    // The window's records, and its operator's unwritten edits there, are
    // not touched; what no board keeps (limits, jog steps, the speed for the
    // next run) is the holder's own.
    const QString writtenName = BoardSettings::Write(drv, s, t, parts);
    SettingsFile::TakeHolderSettings(t, drv.TrajectoryData);
    const QString written = BoardSettings::Kept(drv);
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
            return allSeen() && BoardSettings::Kept(drv) == written && drv.OnBoardSettings().DriverName == writtenName;
        },
        VerifyTimeoutMs,
        [this, allSeen, written, writtenName] {
            if (!allSeen())
                return QStringLiteral("the board did not report its settings after the write");
            if (BoardSettings::Kept(drv) == written)
                return QStringLiteral("the board did not take the name: wrote \"%1\", reads \"%2\"")
                    .arg(writtenName, drv.OnBoardSettings().DriverName);
            return QStringLiteral("the board did not take the settings: wrote %1, reads %2")
                .arg(written, BoardSettings::Kept(drv));
        },
        [this, call, warnings] {
            reply(call, {{QStringLiteral("warnings"), QJsonArray::fromStringList(warnings)},
                         {QStringLiteral("settings"),
                          SettingsJson::shown(drv.OnBoardSettings(), BoardSettings::Motion(drv))}});
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
    carryOut(call);
    const QString expected = drv.SendDriverName(name); // as the board keeps it
    if (save)
        drv.SaveDriverValues();
    emit boardSettingsChanged();
    settingsSeen.clear();
    drv.GetDriverName();
    waitFor(
        call, 0,
        [this, expected] {
            return settingsSeen.contains(Report::RptDriverName) && drv.OnBoardSettings().DriverName == expected;
        },
        VerifyTimeoutMs,
        [this] {
            return QStringLiteral("the board did not take the name (it reports \"%1\")")
                .arg(drv.OnBoardSettings().DriverName);
        },
        [this, call, expected] {
            reply(call, {{QStringLiteral("name"), expected}});
        });
}
