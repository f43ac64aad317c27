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

int settingsGet(Session &session, CommandArgs &args)
{
    QStringList words;
    for (QString word = args.next(); !word.isEmpty(); word = args.next())
        words << word;
    if (!args.done())
        return argsError(args);
    const bool keys = !words.isEmpty() && isKeyWord(words.first());
    if (!keys && words.size() > 1)
        return usageError(QStringLiteral("settings get takes one file or setting names"));
    QStringList names;
    for (const QString &word : keys ? words : QStringList()) {
        const QString key = SettingsFile::FullKey(word);
        if (key.isEmpty())
            return usageError(QStringLiteral("unknown setting \"%1\"").arg(word));
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
int patchOf(const QStringList &words, const SettingsFile::LoadRules &rules, QVariantMap &patch)
{
    for (const QString &word : words) {
        const int equals = word.indexOf(QLatin1Char('='));
        const QString key = SettingsFile::FullKey(word.left(equals));
        if (equals <= 0 || key.isEmpty())
            return usageError(equals < 0 ? QStringLiteral("\"%1\" is no KEY=VALUE").arg(word)
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
            QStringLiteral("%1 takes %2, not \"%3\"").arg(bad.key(), bad.value(), patch.value(bad.key()).toString()));
    return Exit::Ok;
}

int setKeys(Session &session, const QStringList &words, bool save, SettingsFile::LoadRules rules)
{
    rules.partial = true;
    QVariantMap patch;
    if (const int code = patchOf(words, rules, patch))
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

int settingsSet(Session &session, CommandArgs &args)
{
    const bool save = args.flag(QStringLiteral("--save"));
    const bool all = args.flag(QStringLiteral("--all"));
    const bool dryRun = args.flag(QStringLiteral("--dry-run"));
    const bool json = args.flag(QStringLiteral("--json"));
    SettingsFile::LoadRules rules;
    rules.developerCurrents = args.flag(QStringLiteral("--developer-currents"));
    QStringList words;
    for (QString word = args.next(); !word.isEmpty(); word = args.next())
        words << word;
    if (!args.done())
        return argsError(args);
    if (words.isEmpty())
        return usageError(QStringLiteral("settings set needs a settings file or KEY=VALUE"));
    const QStringList &serials = session.options.board.serials;
    const bool rollOut = all || serials.size() > 1;
    if (isKeyWord(words.first())) {
        if (rollOut || dryRun || json)
            return usageError(QStringLiteral("KEY=VALUE changes one board; --all, --dry-run and --json go with a "
                                             "settings file"));
        return setKeys(session, words, save, rules);
    }
    if (words.size() > 1)
        return usageError(QStringLiteral("settings set takes one settings file"));
    if (all && !serials.isEmpty())
        return usageError(QStringLiteral("give either --all or -d SERIAL"));
    if (json && !dryRun)
        return usageError(QStringLiteral("--json goes with --dry-run"));
    const QString file = words.first();
    // The file is checked before the board is touched; its adjustments are
    // told once.
    const SettingsFile::FileCheck check = SettingsFile::CheckFile(file, rules);
    if (!check.result.loaded)
        return usageError(QStringLiteral("%1 is not a settings file: %2").arg(file, check.result.refusal));
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

DiffSide diffSide(Session &session, const QString &word, const SettingsFile::LoadRules &rules)
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
        side.code = usageError(QStringLiteral("%1 is not a settings file: %2").arg(word, refusal));
    return side;
}

int settingsDiff(Session &session, CommandArgs &args)
{
    const bool json = args.flag(QStringLiteral("--json"));
    SettingsFile::LoadRules rules;
    rules.developerCurrents = args.flag(QStringLiteral("--developer-currents"));
    const QString a = args.next();
    const QString b = args.next();
    if (!args.done())
        return argsError(args);
    if (a.isEmpty())
        return usageError(QStringLiteral("settings diff needs A [B]: settings files or \"board\""));
    if (session.options.board.serials.size() > 1)
        return usageError(QStringLiteral("settings diff compares with one board; name another as board:SERIAL"));
    // Files are read first, so a wrong one is told before any board is
    // reached.
    const QString second = b.isEmpty() ? QStringLiteral("board") : b;
    const bool aIsBoard = a.startsWith(QLatin1String("board"));
    DiffSide sideA, sideB;
    if (aIsBoard) {
        sideB = diffSide(session, second, rules);
        if (!sideB.code)
            sideA = diffSide(session, a, rules);
    } else {
        sideA = diffSide(session, a, rules);
        if (!sideA.code)
            sideB = diffSide(session, second, rules);
    }
    if (sideA.code || sideB.code)
        return sideA.code ? sideA.code : sideB.code;
    const auto differences = SettingsDiff::compare(sideA.values, sideB.values);
    if (json || !differences.empty())
        printDifferences(differences, json);
    return differences.empty() ? Exit::Ok : Exit::Failed;
}

} // namespace

int cmdSettings(Session &session, CommandArgs &args)
{
    const QString action = args.next();
    if (action != QLatin1String("set") && session.options.board.serials.size() > 1 && action != QLatin1String("diff"))
        return usageError(QStringLiteral("only settings set takes several boards"));
    if (action == QLatin1String("get"))
        return settingsGet(session, args);
    if (action == QLatin1String("set"))
        return settingsSet(session, args);
    if (action == QLatin1String("diff"))
        return settingsDiff(session, args);
    return usageError(action.isEmpty() ? QStringLiteral("settings needs get, set or diff")
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
