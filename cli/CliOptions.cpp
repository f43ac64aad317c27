#include "cli/CliOptions.h"

namespace {

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
            continue;
        }
        const OptionRead read = takeBoardOption(args, i, options.board, error);
        if (read == OptionRead::Error)
            return error;
        if (read == OptionRead::Taken)
            continue;
        if (arg == QLatin1String("--"))
            optionsEnded = true;
        else if (arg == QLatin1String("-h") || arg == QLatin1String("--help"))
            options.help = true;
        else if (arg == QLatin1String("--version"))
            options.version = true;
        else if (arg == QLatin1String("--log"))
            options.log = true;
        else
            options.words << arg;
    }
    return QString();
}

bool CommandArgs::flag(const QString &name)
{
    return words.removeAll(name) > 0;
}

bool CommandArgs::value(const QString &name, QString &out, OptionValue kind)
{
    for (int i = 0; i < words.size(); ++i) {
        if (!isOption(words.at(i), name))
            continue;
        int next = i;
        if (takeValueOption(words, next, name, QStringLiteral("a value"), out, error, kind) != OptionRead::Taken)
            return false;
        words.erase(words.begin() + i, words.begin() + next + 1);
        return true;
    }
    return true;
}

void CommandArgs::optionalValue(const QString &name, bool &present, QString &out)
{
    for (int i = 0; i < words.size(); ++i) {
        if (!isOption(words.at(i), name))
            continue;
        present = true;
        if (words.at(i).size() > name.size()) {
            out = words.at(i).mid(name.size() + 1);
        } else if (i + 1 < words.size() && isOptionValue(words.at(i + 1), OptionValue::Text)) {
            out = words.takeAt(i + 1);
        }
        words.removeAt(i);
        return;
    }
}

bool CommandArgs::integer(const QString &name, qint64 min, qint64 max, qint64 &out)
{
    QString text;
    if (!value(name, text, OptionValue::Number))
        return false;
    return text.isEmpty() || number(text, name, min, max, out);
}

QString CommandArgs::next()
{
    for (int i = 0; i < words.size(); ++i)
        if (isOptionValue(words.at(i), OptionValue::Number))
            return words.takeAt(i);
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
