// torvan60ctl's command lines of any content: the input is split at zero
// bytes. Checked: what the parser accepts, it holds as declared: a global
// option is never left among the command's words, a value within its
// option's range or choices, never empty, and never an option unless a
// number was expected; an argument likewise.
#include "FuzzSupport.h"

#include "cli/CliOptions.h"
#include "cli/Command.h"

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool holds, const char *what, const QStringList &args)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz_cli_options: %s\n  arguments: %s\n", what,
                 args.join(QLatin1Char(' ')).left(300).toLocal8Bit().constData());
    std::abort();
}

// A value of this kind as the parser may hold it.
bool fits(const QString &value, CommandLine::Kind kind, qint64 min, qint64 max, const QStringList &choices)
{
    if (value.isEmpty())
        return false;
    bool number = false;
    const qint64 n = value.toLongLong(&number);
    switch (kind) {
    case CommandLine::Kind::Integer:
        return number && n >= min && n <= max;
    case CommandLine::Kind::Number:
        value.toDouble(&number);
        return number;
    case CommandLine::Kind::Choice:
        return choices.contains(value);
    default:
        return true;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList args{QStringLiteral("torvan60ctl")};
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    for (const QByteArray &arg : bytes.split('\0'))
        args << QString::fromLocal8Bit(arg);
    CliOptions options;
    if (!parseCliOptions(args, options).isEmpty() || options.words.isEmpty())
        return 0;
    const QStringList &words = options.words;
    // Before the command only a "--" makes a word that begins with - (but a
    // lone "-") a word.
    require(!words.first().startsWith(QLatin1Char('-')) || words.first() == QLatin1String("-") ||
                args.contains(QStringLiteral("--")),
            "an option taken for the command", args);
    const Cli::Command *command = Cli::findCommand(words.first());
    if (!command)
        return 0;
    // Up to a "--": one before the command, the only one not kept in words,
    // ends all options.
    const bool endedFirst = args.count(QStringLiteral("--")) > words.count(QStringLiteral("--"));
    for (const QString &word : words.mid(1)) {
        if (endedFirst || word == QLatin1String("--"))
            break;
        const CommandLine::Option *global = CommandLine::find(Cli::globalOptions(), word);
        bool own = false;
        for (const Cli::Form &form : command->forms)
            own = own || CommandLine::find(form.options, word);
        require(!global || own, "a global option left to the command", args);
    }

    const Cli::CommandArgs parsed(*command, words.mid(1));
    if (!parsed.error.isEmpty())
        return 0;
    require(parsed.form, "accepted without a form", args);
    for (const CommandLine::Option &option : parsed.form->options) {
        if (!option.takesValue()) {
            parsed.flag(option.name());
            continue;
        }
        for (const QString &value : parsed.values(option.name())) {
            if (option.attachedValue && value.isEmpty())
                continue;
            require(fits(value, option.kind, option.min, option.max, option.choices),
                    "a value outside what its option takes", args);
            require(!value.startsWith(QLatin1Char('-')) || CommandLine::numeric(option.kind) ||
                        words.contains(option.name() + QLatin1Char('=') + value),
                    "an option taken as a value", args);
        }
    }
    const bool ended = words.contains(QStringLiteral("--"));
    for (int i = 0; i < int(parsed.form->arguments.size()); ++i) {
        const Cli::Argument &argument = parsed.form->arguments[size_t(i)];
        const QString value = parsed.argument(i);
        require(!value.isEmpty() || argument.optional, "a needed argument missing", args);
        if (value.isEmpty())
            continue;
        require(fits(value, argument.kind, argument.min, argument.max, argument.choices) ||
                    argument.kind == CommandLine::Kind::File || argument.kind == CommandLine::Kind::Text,
                "an argument outside its range", args);
        // A lone "-" is a word, not an option.
        require(!value.startsWith(QLatin1Char('-')) || value == QLatin1String("-") || ended ||
                    CommandLine::numeric(argument.kind),
                "an option taken as an argument", args);
    }
    return 0;
}
