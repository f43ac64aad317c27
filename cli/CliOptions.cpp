#include "cli/CliOptions.h"

#include "cli/Command.h"

#include <set>

using CommandLine::Kind;
using CommandLine::Option;

namespace {

bool looksLikeOption(const QString &word)
{
    return word.size() > 1 && word.startsWith(QLatin1Char('-'));
}

// The one rule for a word that may be a value: a negative number is one
// only where a number is expected.
bool isValue(const QString &word, Kind kind)
{
    return isOptionValue(word, CommandLine::numeric(kind) ? OptionValue::Number : OptionValue::Text);
}

QStringList optionNames(const CommandLine::Options &options)
{
    QStringList names;
    for (const Option &option : options)
        names << option.names;
    return names;
}

// "; did you mean --max-speed?" when one of the names is close to word.
QString suggestion(const QString &word, const QStringList &names)
{
    const QString near = CommandLine::nearest(word, names);
    return near.isEmpty() ? QString() : QStringLiteral("; did you mean %1?").arg(near);
}

// An option given with "=" that takes no value, as the user wrote it.
const Option *flagWithValue(const CommandLine::Options &options, const QString &word)
{
    const int equals = word.indexOf(QLatin1Char('='));
    if (equals < 0)
        return nullptr;
    const Option *option = CommandLine::find(options, word.left(equals));
    return option && !option->takesValue() ? option : nullptr;
}

// An option not known before the command: said as such, or, when it is a
// command's own, where it belongs.
QString unknownGlobal(const QString &word)
{
    if (const Option *flag = flagWithValue(Cli::globalOptions(), word))
        return QStringLiteral("%1 takes no value").arg(flag->name());
    const QString name = word.section(QLatin1Char('='), 0, 0);
    QStringList owners;
    for (const Cli::Command &command : Cli::commands())
        for (const Cli::Form &form : command.forms)
            if (CommandLine::find(form.options, name) && !owners.contains(command.name))
                owners << command.name;
    if (!owners.isEmpty())
        return QStringLiteral("%1 is an option of %2: give it after the command")
            .arg(name, owners.join(QStringLiteral(", ")));
    return QStringLiteral("unknown option %1").arg(name) + suggestion(name, optionNames(Cli::globalOptions()));
}

// Whether the command named by words declares arg itself.
bool commandsOwn(const QStringList &words, const QString &arg)
{
    const Cli::Command *command = words.isEmpty() ? nullptr : Cli::findCommand(words.first());
    if (!command)
        return false;
    for (const Cli::Form &form : command->forms)
        if (CommandLine::find(form.options, arg))
            return true;
    return false;
}

} // namespace

QString parseCliOptions(const QStringList &args, CliOptions &options)
{
    QString error;
    bool optionsEnded = false;
    std::set<QString> seen;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (optionsEnded) {
            options.words << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            if (!options.words.isEmpty())
                options.words << arg;
            continue;
        }
        const Option *option = CommandLine::find(Cli::globalOptions(), arg);
        if (option && !commandsOwn(options.words, arg)) {
            if (!seen.insert(option->name()).second && !option->repeatable)
                return QStringLiteral("%1 given more than once").arg(arg.section(QLatin1Char('='), 0, 0));
            const OptionRead read = takeBoardOption(args, i, options.board, error);
            if (read == OptionRead::Error)
                return error;
            if (read == OptionRead::Taken)
                continue;
            if (option->name() == QLatin1String("--help"))
                options.help = true;
            else if (option->name() == QLatin1String("--version"))
                options.version = true;
            else if (option->name() == QLatin1String("--log"))
                options.log = true;
            continue;
        }
        if (options.words.isEmpty() && looksLikeOption(arg))
            return unknownGlobal(arg);
        options.words << arg;
    }
    return QString();
}

namespace Cli {

CommandArgs::CommandArgs(const Command &command, const QStringList &input) : command(command)
{
    read(input);
}

void CommandArgs::read(const QStringList &input)
{
    // The action word, where the command has them, picks the form.
    QStringList rest = input;
    const QStringList actions = command.actions();
    if (!actions.isEmpty()) {
        const int at =
            int(std::find_if(rest.begin(), rest.end(), [](const QString &w) { return !looksLikeOption(w); }) -
                rest.begin());
        if (at < rest.size() && actions.contains(rest.at(at))) {
            form = command.form(rest.takeAt(at));
        } else if (!(form = command.form(QString()))) {
            const QString choices = actions.join(QStringLiteral(" or "));
            error = at < rest.size()
                        ? QStringLiteral("unknown action \"%1\" for %2: %3").arg(rest.at(at), command.name, choices)
                        : QStringLiteral("%1 needs an action: %2").arg(command.name, choices);
            return;
        }
    } else {
        form = &command.forms.front();
    }

    bool optionsEnded = false;
    for (int i = 0; i < rest.size(); ++i) {
        const QString &word = rest.at(i);
        // The argument the next word would be: a repeated last one takes
        // every word after it.
        const std::vector<Argument> &declared = form->arguments;
        const size_t next = std::min(size_t(words.size()), declared.size() - (declared.empty() ? 0 : 1));
        const bool room = size_t(words.size()) < declared.size() || (!declared.empty() && declared.back().repeated);
        const Kind expected = room ? declared[next].kind : Kind::Text;
        if (!optionsEnded && word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (optionsEnded || !looksLikeOption(word) || isValue(word, expected)) {
            if (!room) {
                error = QStringLiteral("unexpected argument \"%1\" for %2").arg(word, formName());
                return;
            }
            words << word;
        } else if (!readOption(rest, i)) {
            return;
        }
    }

    for (int index = 0; index < std::max(int(form->arguments.size()), int(words.size())); ++index) {
        const Argument &argument = form->arguments[std::min(size_t(index), form->arguments.size() - 1)];
        // An empty word is no argument.
        const QString word = words.value(index);
        if (word.isEmpty()) {
            if (argument.optional || index >= int(form->arguments.size()))
                continue;
            error = QStringLiteral("%1 needs %2").arg(formName(), argument.what);
            return;
        }
        qint64 n = 0;
        if (argument.kind == Kind::Integer &&
            !CommandLine::parseInteger(word, argument.name, argument.min, argument.max, n, error))
            return;
        if (argument.kind == Kind::Choice && !argument.choices.contains(word)) {
            error = QStringLiteral("%1 is one of %2, not \"%3\"")
                        .arg(argument.name, argument.choices.join(QStringLiteral(", ")), word);
            return;
        }
    }
    for (const Option &option : form->options) {
        if (option.goesWith.isEmpty() || !given.count(option.name()))
            continue;
        const bool partnered = std::any_of(option.goesWith.begin(), option.goesWith.end(),
                                           [this](const QString &partner) { return given.count(partner) > 0; });
        if (partnered)
            continue;
        // "--mqtt-rate needs --mqtt URL", "--csv goes with --watch".
        QStringList partners;
        bool values = false;
        for (const QString &partner : option.goesWith) {
            const Option *declared = CommandLine::find(form->options, partner);
            partners << (declared ? declared->usage() : partner);
            values = values || (declared && declared->takesValue());
        }
        error = QStringLiteral("%1 %2 %3")
                    .arg(option.name(), values ? QStringLiteral("needs") : QStringLiteral("goes with"),
                         partners.join(QStringLiteral(" or ")));
        return;
    }
}

bool CommandArgs::readOption(const QStringList &input, int &i)
{
    const QString &word = input.at(i);
    const QString typed = word.section(QLatin1Char('='), 0, 0);
    const Option *option = CommandLine::find(form->options, word);
    if (!option) {
        if (const Option *flag = flagWithValue(form->options, word)) {
            error = QStringLiteral("%1 takes no value").arg(flag->name());
            return false;
        }
        // An option of another form of this command: say which.
        for (const Form &other : command.forms)
            if (&other != form && CommandLine::find(other.options, typed)) {
                error = other.action.isEmpty()
                            ? QStringLiteral("%1 goes with %2 alone, not with %3").arg(typed, command.name, formName())
                            : QStringLiteral("%1 goes with %2 %3").arg(typed, command.name, other.action);
                return false;
            }
        error = QStringLiteral("unknown option %1 for %2").arg(typed, formName()) +
                suggestion(typed, optionNames(form->options) + optionNames(globalOptions()));
        return false;
    }
    QStringList &values = given[option->name()];
    if (!values.isEmpty() && !option->repeatable) {
        error = QStringLiteral("%1 given more than once").arg(typed);
        return false;
    }
    QString value;
    if (word.contains(QLatin1Char('='))) {
        value = word.section(QLatin1Char('='), 1);
        if (value.isEmpty()) {
            error = QStringLiteral("%1= needs %2").arg(typed, option->what());
            return false;
        }
    } else if (option->optionalValue) {
        if (i + 1 < input.size() && isValue(input.at(i + 1), option->kind))
            value = input.at(++i);
    } else if (option->takesValue() && !option->attachedValue) {
        if (i + 1 >= input.size() || !isValue(input.at(i + 1), option->kind)) {
            error = QStringLiteral("%1 needs %2").arg(typed, option->what());
            return false;
        }
        value = input.at(++i);
    }
    qint64 number = 0;
    if (option->kind == Kind::Integer && !value.isEmpty() &&
        !CommandLine::parseInteger(value, typed, option->min, option->max, number, error))
        return false;
    bool isNumber = false;
    value.toDouble(&isNumber);
    if (option->kind == Kind::Number && !value.isEmpty() && !isNumber) {
        error = QStringLiteral("%1 takes a number, not \"%2\"").arg(typed, value);
        return false;
    }
    if (option->kind == Kind::Choice && !value.isEmpty() && !option->choices.contains(value)) {
        error = QStringLiteral("%1 takes %2, not \"%3\"").arg(typed, option->what(), value);
        return false;
    }
    values << value;
    return true;
}

const Option &CommandArgs::declared(const QString &name) const
{
    const Option *option = form ? CommandLine::find(form->options, name) : nullptr;
    if (!option || option->name() != name)
        qFatal("torvan60ctl %s: the option %s is used but not declared", qPrintable(command.name), qPrintable(name));
    return *option;
}

bool CommandArgs::flag(const QString &name) const
{
    declared(name);
    return given.count(name) > 0;
}

QString CommandArgs::value(const QString &name) const
{
    const QStringList all = values(name);
    return all.isEmpty() ? QString() : all.last();
}

QStringList CommandArgs::values(const QString &name) const
{
    declared(name);
    const auto it = given.find(name);
    return it == given.end() ? QStringList() : it->second;
}

bool CommandArgs::integer(const QString &name, qint64 &out) const
{
    if (declared(name).kind != Kind::Integer)
        qFatal("torvan60ctl %s: %s is not declared a number", qPrintable(command.name), qPrintable(name));
    const QString text = value(name);
    if (text.isEmpty())
        return false;
    out = text.toLongLong();
    return true;
}

QString CommandArgs::argument(int index) const
{
    return words.value(index);
}

qint64 CommandArgs::number(int index) const
{
    return words.value(index).toLongLong();
}

} // namespace Cli
