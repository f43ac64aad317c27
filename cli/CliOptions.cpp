#include "cli/CliOptions.h"

#include "app/Options.h"

namespace {

// "--name=value" or "--name value"; i moves past what was taken.
bool takeValue(const QStringList &args, int &i, const QString &name, QString &out, QString &error)
{
    const QString &arg = args.at(i);
    if (arg.startsWith(name + QLatin1Char('='))) {
        out = arg.mid(name.size() + 1);
    } else if (i + 1 < args.size()) {
        out = args.at(++i);
    } else {
        error = QStringLiteral("%1 needs a value").arg(name);
        return false;
    }
    // An option never takes the next option as its value.
    if (out.isEmpty() || out.startsWith(QLatin1String("--"))) {
        error = QStringLiteral("%1 needs a value").arg(name);
        return false;
    }
    return true;
}

bool isOption(const QString &arg, const QString &name)
{
    return arg == name || arg.startsWith(name + QLatin1Char('='));
}

} // namespace

QString parseCliOptions(const QStringList &args, CliOptions &options)
{
    QString error;
    bool optionsEnded = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (optionsEnded) {
            options.words << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--log")) {
            options.log = true;
        } else if (arg == QLatin1String("-d") || isOption(arg, QStringLiteral("--serial"))) {
            const QString name = arg == QLatin1String("-d") ? arg : QStringLiteral("--serial");
            if (!takeValue(args, i, name, options.serial, error))
                return error;
        } else if (isOption(arg, QStringLiteral("--trace"))) {
            if (!takeValue(args, i, QStringLiteral("--trace"), options.traceFile, error))
                return error;
        } else if (isOption(arg, QStringLiteral("--simulate-boards"))) {
            QString count;
            if (!takeValue(args, i, QStringLiteral("--simulate-boards"), count, error))
                return error;
            bool ok = false;
            options.simulatedBoards = count.toInt(&ok);
            if (!ok || options.simulatedBoards < 1 || options.simulatedBoards > MaxSimulatedBoards)
                return QStringLiteral("--simulate-boards takes a number from 1 to %1").arg(MaxSimulatedBoards);
            options.simulate = true;
        } else if (arg == QLatin1String("--simulate")) {
            options.simulate = true;
        } else if (arg.startsWith(QLatin1String("--simulate="))) {
            options.simulate = true;
            options.scenario = arg.mid(int(sizeof("--simulate=")) - 1);
            if (options.scenario.isEmpty())
                return QStringLiteral("--simulate= needs a scenario name");
        } else {
            options.words << arg;
        }
    }
    return QString();
}

bool CommandArgs::flag(const QString &name)
{
    return words.removeAll(name) > 0;
}

bool CommandArgs::value(const QString &name, QString &out)
{
    for (int i = 0; i < words.size(); ++i) {
        if (!isOption(words.at(i), name))
            continue;
        int next = i;
        if (!takeValue(words, next, name, out, error))
            return false;
        words.erase(words.begin() + i, words.begin() + next + 1);
        return true;
    }
    return true;
}

bool CommandArgs::integer(const QString &name, qint64 min, qint64 max, qint64 &out)
{
    QString text;
    if (!value(name, text))
        return false;
    return text.isEmpty() || number(text, name, min, max, out);
}

QString CommandArgs::next()
{
    // A word that looks like an option is not positional, unless it is a
    // negative number.
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        bool isNumber = false;
        word.toLongLong(&isNumber);
        if (word.startsWith(QLatin1String("--")) || (word.startsWith(QLatin1Char('-')) && !isNumber))
            continue;
        return words.takeAt(i);
    }
    return QString();
}

bool CommandArgs::number(const QString &word, const QString &what, qint64 min, qint64 max, qint64 &out)
{
    bool ok = false;
    const qint64 n = word.toLongLong(&ok);
    if (!ok || n < min || n > max) {
        error =
            QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"").arg(what).arg(min).arg(max).arg(word);
        return false;
    }
    out = n;
    return true;
}

bool CommandArgs::done()
{
    if (words.isEmpty())
        return true;
    error = QStringLiteral("unexpected argument \"%1\"").arg(words.first());
    return false;
}
