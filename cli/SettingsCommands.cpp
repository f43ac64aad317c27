#include "cli/CommandSupport.h"

#include "cli/Output.h"
#include "config/SettingsDiff.h"
#include "config/SettingsFile.h"
#include "service/SettingsJson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <limits>

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

// A word of settings get or set that names a setting rather than a file
// (when no such file is there): a key, bare or with its group, or KEY=VALUE.
bool isKeyWord(const QString &word)
{
    if (QFile::exists(word))
        return false;
    return word.contains(QLatin1Char('=')) || !SettingsFile::FullKey(word).isEmpty();
}

// The board's settings under "Group/Key".
int boardValues(Session &session, QVariantMap &values)
{
    QJsonObject settings;
    if (const int code = call(session, QStringLiteral("settings.get"), {}, settings))
        return code;
    QString error;
    values = SettingsJson::values(settings, error);
    return Exit::Ok;
}

int settingsGet(Session &session, const CommandArgs &args)
{
    const QStringList words = args.arguments();
    const bool keys = !words.isEmpty() && isKeyWord(words.first());
    if (!keys && words.size() > 1)
        return usageError(args, QStringLiteral("settings get takes one file or setting names"));
    QStringList names;
    for (const QString &word : keys ? words : QStringList()) {
        const QString key = SettingsFile::FullKey(word);
        if (key.isEmpty())
            return usageError(args, QStringLiteral("unknown setting \"%1\"").arg(word));
        names << key;
    }
    if (const int code = session.connectBoard(Need::Settings))
        return code;
    if (words.isEmpty())
        return showSettings(session);
    QVariantMap values;
    if (const int code = boardValues(session, values))
        return code;
    if (keys) {
        for (const QString &key : names) {
            const QVariant value = values.value(key);
            Out::line(key + QLatin1Char('=') +
                      (value.userType() == QMetaType::QString ? value.toString() : SettingsDiff::valueText(value)));
        }
        return Exit::Ok;
    }
    // The values come as the window's controls hold them, so the file loads
    // without adjustments, as one the window saved.
    DrvSettingsRecord s;
    TrajectoryDataRecord t;
    if (!SettingsFile::LoadValues(values, s, t).loaded || !SettingsFile::Save(words.first(), s, t)) {
        Out::error(QStringLiteral("cannot write %1").arg(words.first()));
        return Exit::Failed;
    }
    return Exit::Ok;
}

// KEY=VALUE words as the settings they change, checked before any board is
// reached: an unknown key or a value that does not convert or lies outside
// what the key takes is a usage error naming it.
int patchOf(const CommandArgs &args, const QStringList &words, const SettingsFile::LoadRules &rules, QVariantMap &patch)
{
    for (const QString &word : words) {
        const int equals = word.indexOf(QLatin1Char('='));
        const QString key = SettingsFile::FullKey(word.left(equals));
        if (equals <= 0 || key.isEmpty())
            return usageError(args, equals < 0 ? QStringLiteral("\"%1\" is no KEY=VALUE").arg(word)
                                               : QStringLiteral("unknown setting \"%1\"").arg(word.left(equals)));
        patch.insert(key, word.mid(equals + 1));
    }
    // Checked against records of the widest motion range, so the speed-mode
    // speed is held to the board's own maximum speed only when it is set.
    DrvSettingsRecord s;
    TrajectoryDataRecord t;
    SettingsFile::LoadValues({{QStringLiteral("TrajectorySettings/MaxSpeed"), std::numeric_limits<int>::max()}}, s, t);
    const SettingsFile::LoadResult check = SettingsFile::LoadValues(patch, s, t, rules);
    for (auto bad = check.badValues.begin(); bad != check.badValues.end(); ++bad)
        return usageError(
            args,
            QStringLiteral("%1 takes %2, not \"%3\"").arg(bad.key(), bad.value(), patch.value(bad.key()).toString()));
    return Exit::Ok;
}

int setKeys(Session &session, const CommandArgs &args, bool save, SettingsFile::LoadRules rules)
{
    rules.partial = true;
    QVariantMap patch;
    if (const int code = patchOf(args, args.arguments(), rules, patch))
        return code;
    if (const int code = session.connectBoard(Need::Live))
        return code;
    QJsonObject result;
    if (const int code = call(session, QStringLiteral("settings.set"),
                              {{QStringLiteral("settings"), SettingsJson::fromFile(patch)},
                               {QStringLiteral("save"), save},
                               {QStringLiteral("developer_currents"), rules.developerCurrents}},
                              result))
        return code;
    for (const QJsonValue &warning : result.value(QLatin1String("warnings")).toArray())
        Out::warning(warning.toString());
    QString error;
    const QVariantMap now = SettingsJson::values(result.value(QLatin1String("settings")).toObject(), error);
    for (auto it = patch.begin(); it != patch.end(); ++it)
        Out::line(it.key() + QLatin1Char('=') +
                  (now.value(it.key()).userType() == QMetaType::QString
                       ? now.value(it.key()).toString()
                       : SettingsDiff::valueText(now.value(it.key()))));
    return Exit::Ok;
}

void printDifferences(const std::vector<SettingsDiff::Difference> &differences, bool json,
                      const QString &prefix = QString())
{
    if (json) {
        Out::line(prefix + QString::fromUtf8(
                               QJsonDocument(SettingsJson::differences(differences)).toJson(QJsonDocument::Compact)));
        return;
    }
    for (const SettingsDiff::Difference &difference : differences)
        Out::line(prefix + SettingsDiff::line(difference));
}

// One board's part of a roll-out, on its own session: its outcome as one
// line. Exit code Ok when it took the file (or, dry, was compared).
int rollOutTo(Session &session, const QString &serial, const QJsonObject &file, const SettingsDiff::Side &wanted,
              bool save, bool dryRun, bool developerCurrents, bool json)
{
    const QString prefix = serial + QStringLiteral(": ");
    if (const int code = session.connectBoard(dryRun ? Need::Settings : Need::Live)) {
        Out::line(prefix + (code == Exit::NoBoard ? QStringLiteral("not found") : QStringLiteral("refused")));
        return code;
    }
    if (!dryRun) {
        const Rpc::Reply reply =
            session.call(QStringLiteral("settings.set"), {{QStringLiteral("settings"), file},
                                                          {QStringLiteral("whole_file"), true},
                                                          {QStringLiteral("save"), save},
                                                          {QStringLiteral("developer_currents"), developerCurrents}});
        if (!reply.ok) {
            Out::line(prefix + QStringLiteral("refused: ") + reply.message);
            return Rpc::exitCode(reply.code);
        }
    }
    QVariantMap values;
    if (const int failed = boardValues(session, values)) {
        Out::line(prefix + QStringLiteral("not read back"));
        return failed;
    }
    const auto left = SettingsDiff::compare(wanted, SettingsDiff::fromBoard(values));
    if (dryRun) {
        Out::line(prefix + (left.empty() ? QStringLiteral("equal") : QStringLiteral("%1 differ").arg(left.size())));
        printDifferences(left, json, prefix);
        return Exit::Ok;
    }
    if (left.empty()) {
        Out::line(prefix + QStringLiteral("applied"));
        return Exit::Ok;
    }
    QStringList keys;
    for (const SettingsDiff::Difference &difference : left)
        keys << difference.key;
    Out::line(prefix + QStringLiteral("differences left after read-back: ") + keys.join(QStringLiteral(", ")));
    return Exit::Failed;
}

int settingsSet(Session &session, const CommandArgs &args)
{
    const bool save = args.flag(QStringLiteral("--save"));
    const bool all = args.flag(QStringLiteral("--all"));
    const bool dryRun = args.flag(QStringLiteral("--dry-run"));
    const bool json = args.flag(QStringLiteral("--json"));
    SettingsFile::LoadRules rules;
    rules.developerCurrents = args.flag(QStringLiteral("--developer-currents"));
    const QStringList words = args.arguments();
    const QStringList &serials = session.options.board.serials;
    const bool rollOut = all || serials.size() > 1;
    if (isKeyWord(words.first())) {
        if (rollOut || dryRun || json)
            return usageError(args, QStringLiteral("KEY=VALUE changes one board; --all, --dry-run and --json go "
                                                   "with a settings file"));
        return setKeys(session, args, save, rules);
    }
    if (words.size() > 1)
        return usageError(args, QStringLiteral("settings set takes one settings file"));
    if (all && !serials.isEmpty())
        return usageError(args, QStringLiteral("give either --all or -d SERIAL"));
    const QString file = words.first();
    // The file is checked before the board is touched; its adjustments are
    // told once.
    const SettingsFile::FileCheck check = SettingsFile::CheckFile(file, rules);
    if (!check.result.loaded)
        return usageError(args, QStringLiteral("%1 is not a settings file: %2").arg(file, check.result.refusal));
    for (const QString &adjustment : check.result.adjustments)
        Out::warning(adjustment);
    const QJsonObject fileSettings = SettingsJson::fromFile(check.values);

    if (rollOut || dryRun) {
        QStringList targets = serials;
        if (all)
            for (const Session::Board &board : session.boards())
                targets << board.serial;
        const SettingsDiff::Side wanted = SettingsDiff::fromFile(check.values, rules);
        if (targets.isEmpty()) // a dry run on the one board there is
            return rollOutTo(session,
                             session.options.board.serial.isEmpty() ? QStringLiteral("board")
                                                                    : session.options.board.serial,
                             fileSettings, wanted, save, dryRun, rules.developerCurrents, json);
        int worst = Exit::Ok;
        for (const QString &serial : targets) {
            if (Session::interrupted()) {
                Out::line(serial + QStringLiteral(": not reached (interrupted)"));
                worst = Exit::Failed;
                continue;
            }
            CliOptions one = session.options;
            one.board.serial = serial;
            one.board.serials = QStringList{serial};
            Session board(one);
            int code = board.open();
            if (code)
                Out::line(serial + QStringLiteral(": refused"));
            else
                code = rollOutTo(board, serial, fileSettings, wanted, save, dryRun, rules.developerCurrents, json);
            if (code != Exit::Ok)
                worst = Exit::Failed;
        }
        return worst;
    }

    if (const int code = session.connectBoard(Need::Live))
        return code;
    // The service takes the file's values as they are and holds them by the
    // same rules.
    if (const int code = call(session, QStringLiteral("settings.set"),
                              {{QStringLiteral("settings"), fileSettings},
                               {QStringLiteral("whole_file"), true},
                               {QStringLiteral("save"), save},
                               {QStringLiteral("developer_currents"), rules.developerCurrents}}))
        return code;
    return showSettings(session);
}

// One side of a comparison: "board", "board:SERIAL" or a settings file.
struct DiffSide
{
    SettingsDiff::Side values;
    int code = Exit::Ok;
};

DiffSide diffSide(Session &session, const CommandArgs &args, const QString &word, const SettingsFile::LoadRules &rules)
{
    DiffSide side;
    if (word == QLatin1String("board") || word.startsWith(QLatin1String("board:"))) {
        const QString serial = word.mid(6);
        QVariantMap values;
        const bool same =
            serial == session.serial() || (session.serial().isEmpty() && serial == session.options.board.serial);
        if (serial.isEmpty() || same) {
            if (!(side.code = session.connectBoard(Need::Settings)))
                side.code = boardValues(session, values);
        } else {
            CliOptions other = session.options;
            other.board.serial = serial;
            other.board.serials = QStringList{serial};
            Session board(other);
            if (!(side.code = board.open()) && !(side.code = board.connectBoard(Need::Settings)))
                side.code = boardValues(board, values);
        }
        side.values = SettingsDiff::fromBoard(values);
        return side;
    }
    QString refusal;
    const QVariantMap values = SettingsFile::ReadValues(word, refusal);
    if (refusal.isEmpty())
        side.values = SettingsDiff::fromFile(values, rules, &refusal);
    if (!refusal.isEmpty())
        side.code = usageError(args, QStringLiteral("%1 is not a settings file: %2").arg(word, refusal));
    return side;
}

int settingsDiff(Session &session, const CommandArgs &args)
{
    const bool json = args.flag(QStringLiteral("--json"));
    SettingsFile::LoadRules rules;
    rules.developerCurrents = args.flag(QStringLiteral("--developer-currents"));
    const QString a = args.argument(0);
    const QString b = args.argument(1);
    // Files are read first, so a wrong one is told before any board is
    // reached.
    const QString second = b.isEmpty() ? QStringLiteral("board") : b;
    const bool aIsBoard = a.startsWith(QLatin1String("board"));
    DiffSide sideA, sideB;
    if (aIsBoard) {
        sideB = diffSide(session, args, second, rules);
        if (!sideB.code)
            sideA = diffSide(session, args, a, rules);
    } else {
        sideA = diffSide(session, args, a, rules);
        if (!sideA.code)
            sideB = diffSide(session, args, second, rules);
    }
    if (sideA.code || sideB.code)
        return sideA.code ? sideA.code : sideB.code;
    const auto differences = SettingsDiff::compare(sideA.values, sideB.values);
    if (json || !differences.empty())
        printDifferences(differences, json);
    return differences.empty() ? Exit::Ok : Exit::Failed;
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
    const QString save = QStringLiteral("--save");
    const Option developerCurrents = Option::flag(
        {QStringLiteral("--developer-currents")},
        QStringLiteral("Take full-scale and idle currents up to 15 A, as the window's developer controls do, instead "
                       "of 6 A."));
    const QString tvs = QStringLiteral("*.tvs");
    Form set{
        QStringLiteral("set"),
        {Argument::file(QStringLiteral("FILE.tvs | KEY=VALUE"), QStringLiteral("a settings file or KEY=VALUE"), tvs)
             .asRepeated()},
        {Option::flag({save}, QStringLiteral("Keep the settings over restarts: the board saves them.")),
         developerCurrents,
         Option::flag({QStringLiteral("--all")},
                      QStringLiteral("The file to every board there is, one after the other (instead of -d "
                                     "SERIAL given for each).")),
         Option::flag({QStringLiteral("--dry-run")},
                      QStringLiteral("Write nothing: show, for each board, how its settings differ from the "
                                     "file's.")),
         Option::flag({QStringLiteral("--json")},
                      QStringLiteral("With --dry-run: each board's differences as one JSON line."))
             .with({QStringLiteral("--dry-run")})},
        QStringLiteral(
            "Loads FILE.tvs by the window's rules (a value outside its control's range is adjusted, with one "
            "warning each; a file that is not a settings file is a usage error), writes it to the board "
            "(driver values, the name when the file has one, motion settings without moving), reads it back "
            "and shows it; fails when the board did not take it. Refused while the motor moves. With "
            "KEY=VALUE words (FullScaleCurrent=2.5 DriverSettings/TemperatureLimit=70, in the file's units) "
            "only those settings change, and are shown as the board took them. With -d SERIAL given for "
            "several boards, or --all, the file goes to each board in turn, one line a board (applied, "
            "differences left after read-back, refused, not found); exit 1 when any did not take it."),
        settingsSet};
    set.severalBoards = true;
    return {
        {QStringLiteral("settings"),
         QStringLiteral("the driver settings: shown, compared, saved to a file or written"),
         QStringLiteral("Settings files (.tvs) are the window's: INI files with the groups DriverSettings and "
                        "TrajectorySettings, UTF-8. A setting is named by its key (FullScaleCurrent) or with its "
                        "group (DriverSettings/FullScaleCurrent); see docs/settings.md."),
         {{QStringLiteral("get"),
           {Argument::file(QStringLiteral("FILE.tvs | KEY"), QStringLiteral("a settings file or setting names"), tvs)
                .asOptional()
                .asRepeated()},
           {},
           QStringLiteral("Shows the board's name, its settings line, the register dump and its motion settings; "
                          "with FILE.tvs, saves them there instead, as a settings file the window loads; with "
                          "KEY words, those settings as KEY=VALUE lines."),
           settingsGet},
          set,
          {QStringLiteral("diff"),
           {Argument::file(QStringLiteral("A"), QStringLiteral("a settings file, board or board:SERIAL"), tvs),
            Argument::file(QStringLiteral("B"), QStringLiteral("a settings file, board or board:SERIAL"), tvs)
                .asOptional()},
           {Option::flag({QStringLiteral("--json")}, QStringLiteral("The differences as one JSON line.")),
            developerCurrents},
           QStringLiteral("Compares two settings files, or a file and a board (\"board\": the one torvan60ctl "
                          "uses, \"board:SERIAL\": that one), as the board holds them; with A alone, A against "
                          "the board. One line per setting that differs; exit 0 when equal, 1 when not."),
           settingsDiff}},
         {{Exit::Failed, QStringLiteral("the board refused or did not take the settings, a board of a roll-out "
                                        "did not, the file cannot be written, or diff found differences")},
          {Exit::Usage, QStringLiteral("usage error, or a file that is not a settings file")}},
         {{QStringLiteral("torvan60ctl --simulate settings get"), QStringLiteral("The settings of the board:")},
          {QStringLiteral("torvan60ctl --simulate settings get bench.tvs"),
           QStringLiteral("Saved as a settings file:")},
          {QStringLiteral("torvan60ctl --simulate settings set bench.tvs --save"),
           QStringLiteral("That file written to a board, kept over restarts:")},
          {QStringLiteral("torvan60ctl --simulate settings set FullScaleCurrent=2.5 TemperatureLimit=70"),
           QStringLiteral("Two settings changed, the others left alone:")},
          {QStringLiteral("torvan60ctl --simulate settings diff bench.tvs"),
           QStringLiteral("The file against the board (equal: exit 0):")},
          {QStringLiteral("torvan60ctl --simulate-boards=3 settings set bench.tvs --all --dry-run"),
           QStringLiteral("What the file would change on each of three boards:")}}},
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
