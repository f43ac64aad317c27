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

int settingsGet(Session &session, const CommandArgs &args)
{
    const QString file = args.argument(0);
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

int settingsSet(Session &session, const CommandArgs &args)
{
    const bool save = args.flag(QStringLiteral("--save"));
    SettingsFile::LoadRules rules;
    rules.developerCurrents = args.flag(QStringLiteral("--developer-currents"));
    const QString file = args.argument(0);
    // The file is checked before the board is touched; its adjustments are
    // told once.
    const SettingsFile::FileCheck check = SettingsFile::CheckFile(file, rules);
    if (!check.result.loaded)
        return usageError(args, QStringLiteral("%1 is not a settings file: %2").arg(file, check.result.refusal));
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

int setName(Session &session, const CommandArgs &args)
{
    const bool save = args.flag(QStringLiteral("--save"));
    const QString name = args.argument(0);
    if (name.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1F]"))))
        return usageError(args, QStringLiteral("a name cannot hold control characters"));
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

} // namespace

std::vector<Command> settingsCommands()
{
    using CommandLine::Option;
    const Argument file =
        Argument::file(QStringLiteral("FILE.tvs"), QStringLiteral("a settings file"), QStringLiteral("*.tvs"));
    const QString save = QStringLiteral("--save");
    return {
        {QStringLiteral("settings"),
         QStringLiteral("the driver settings: shown, saved to a file or written from one"),
         QStringLiteral("Settings files (.tvs) are the window's: INI files with the groups DriverSettings and "
                        "TrajectorySettings, UTF-8."),
         {{QStringLiteral("get"),
           {file.asOptional()},
           {},
           QStringLiteral("Shows the board's name, its settings line, the register dump and its motion settings; "
                          "with FILE.tvs, saves them there instead, as a settings file the window loads."),
           settingsGet},
          {QStringLiteral("set"),
           {file},
           {Option::flag({save}, QStringLiteral("Keep the settings over restarts: the board saves them.")),
            Option::flag({QStringLiteral("--developer-currents")},
                         QStringLiteral("Take full-scale and idle currents up to 15 A, as the window's developer "
                                        "controls do, instead of 6 A."))},
           QStringLiteral("Loads FILE.tvs by the window's rules (a value outside its control's range is adjusted, "
                          "with one warning each; a file that is not a settings file is a usage error), writes it "
                          "to the board (driver values, the name when the file has one, motion settings without "
                          "moving), reads it back and shows it; fails when the board did not take it. Refused "
                          "while the motor moves."),
           settingsSet}},
         {{Exit::Failed, QStringLiteral("the board refused or did not take the settings, or the file cannot be "
                                        "written")},
          {Exit::Usage, QStringLiteral("usage error, or a file that is not a settings file")}},
         {{QStringLiteral("torvan60ctl --simulate settings get"), QStringLiteral("The settings of the board:")},
          {QStringLiteral("torvan60ctl --simulate settings get bench.tvs"),
           QStringLiteral("Saved as a settings file:")},
          {QStringLiteral("torvan60ctl --simulate settings set bench.tvs --save"),
           QStringLiteral("That file written to a board, kept over restarts:")}}},
        {QStringLiteral("name"),
         QStringLiteral("set the board's name"),
         QStringLiteral("Sets the board's name and reads it back. The board keeps 32 bytes of it (UTF-8): a longer "
                        "name is cut, with a warning."),
         {{QString(),
           {Argument::text(QStringLiteral("NEW"), QStringLiteral("the new name"))},
           {Option::flag({save}, QStringLiteral("Keep the name over restarts: the board saves its settings."))},
           QString(),
           setName}},
         {{Exit::Failed, QStringLiteral("the board refused the name")}},
         {{QStringLiteral("torvan60ctl --simulate name \"Bench 7\""), QStringLiteral("Names the board:")},
          {QStringLiteral("torvan60ctl --simulate name \"Line 4 axis X\" --save"),
           QStringLiteral("And keeps the name over restarts:")}}},
    };
}

} // namespace Cli
