#include "cli/CommandSupport.h"

#include "cli/Output.h"
#include "config/SettingsFile.h"
#include "service/SettingsJson.h"

#include <QJsonDocument>
#include <QRegularExpression>

namespace Cli {

namespace {

QJsonValue setting(const QJsonObject &settings, const char *group, const char *key)
{
    return settings.value(QLatin1String(group)).toObject().value(QLatin1String(key));
}

void printSettings(const QJsonObject &settings)
{
    auto motion = [&settings](const char *key) {
        return setting(settings, "TrajectorySettings", key).toVariant().toString();
    };
    auto flag = [&settings](const char *key) {
        return setting(settings, "TrajectorySettings", key).toBool() ? QStringLiteral("1") : QStringLiteral("0");
    };
    Out::line(QStringLiteral("name: ") + setting(settings, "DriverSettings", "DriverName").toString());
    Out::line(QStringLiteral("settings: ") + settings.value(QLatin1String("settings_line")).toString());
    Out::line(QStringLiteral("registers: ") + settings.value(QLatin1String("registers")).toString());
    Out::line(QStringLiteral("motion: max-speed=%1 accel=%2 decel=%3 end-switch=%4 nc-switch=%5 invert=%6 bin1=%7 "
                             "bin2=%8")
                  .arg(motion("MaxSpeed"), motion("MaxAccel"), motion("MaxDecel"), flag("EnableEndSwitch"),
                       flag("NCTypeSwitch"), flag("AutoRunInvertDirection"), motion("BIN1Steps"), motion("BIN2Steps")));
}

int showSettings(Session &session)
{
    QJsonObject settings;
    if (const int code = call(session, QStringLiteral("settings.get"), {{QStringLiteral("detail"), true}}, settings))
        return code;
    printSettings(settings);
    return Exit::Ok;
}

int settingsGet(Session &session, CommandArgs &args)
{
    const QString file = args.next();
    if (!args.done())
        return argsError(args);
    if (const int code = session.connectBoard(Need::Settings))
        return code;
    if (file.isEmpty())
        return showSettings(session);
    QJsonObject settings;
    if (const int code = call(session, QStringLiteral("settings.get"), {}, settings))
        return code;
    // The values come as the window's controls hold them, so the file loads
    // without adjustments, as one the window saved.
    QString error;
    DrvSettingsRecord s;
    TrajectoryDataRecord t;
    if (!SettingsFile::LoadValues(SettingsJson::values(settings, error), s, t).loaded ||
        !SettingsFile::Save(file, s, t)) {
        Out::error(QStringLiteral("cannot write %1").arg(file));
        return Exit::Failed;
    }
    return Exit::Ok;
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
    const SettingsFile::FileCheck check = SettingsFile::CheckFile(file, rules);
    if (!check.result.loaded)
        return usageError(QStringLiteral("%1 is not a settings file: %2").arg(file, check.result.refusal));
    for (const QString &adjustment : check.result.adjustments)
        Out::warning(adjustment);

    if (const int code = session.connectBoard(Need::Live))
        return code;
    // The service takes the file's values as they are and holds them by the
    // same rules.
    if (const int code = call(session, QStringLiteral("settings.set"),
                              {{QStringLiteral("settings"), SettingsJson::fromFile(check.values)},
                               {QStringLiteral("save"), save},
                               {QStringLiteral("developer_currents"), rules.developerCurrents}}))
        return code;
    return showSettings(session);
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
    QJsonObject result;
    if (const int code = call(session, QStringLiteral("name"),
                              {{QStringLiteral("name"), name}, {QStringLiteral("save"), save}}, result))
        return code;
    const QString kept = result.value(QLatin1String("name")).toString();
    if (kept != name)
        Out::warning(QStringLiteral("the board keeps 32 bytes; the name is cut to \"%1\"").arg(kept));
    return Exit::Ok;
}

} // namespace Cli
