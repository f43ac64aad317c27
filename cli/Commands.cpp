#include "cli/Commands.h"

#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/Help.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "firmware/FirmwareImage.h"

using CommandLine::Option;

namespace Cli {

namespace {

// The help command: handled before any board is looked for.
Command helpCommand()
{
    const Argument command = Argument::choice(QStringLiteral("COMMAND"), QStringLiteral("a command"), {}).asOptional();
    return {
        QStringLiteral("help"),
        QStringLiteral("this overview, or the help of one command"),
        QStringLiteral("Shows the overview of torvan60ctl, or with COMMAND that command's usage, what it does, its "
                       "options, exit codes and examples. \"torvan60ctl COMMAND --help\" (or -h) shows the same. "
                       "The manual page torvan60ctl(1) holds all of them."),
        {{QString(), {command}, {}, QString(), nullptr}},
        {},
        {{QStringLiteral("torvan60ctl help move"), QStringLiteral("The options of move, with units and ranges:")},
         {QStringLiteral("torvan60ctl settings --help"), QStringLiteral("The same for settings, both its actions:")}}};
}

std::vector<Command> allCommands()
{
    std::vector<Command> all;
    for (const auto &group : {statusCommands, settingsCommands, driverCommands, motionCommands, pwmCommands,
                              firmwareCommands, serveCommands})
        for (Command &command : group())
            all.push_back(std::move(command));
    Command help = helpCommand();
    for (const Command &command : all)
        help.forms.front().arguments.front().choices << command.name;
    help.forms.front().arguments.front().choices << help.name;
    all.push_back(help);
    return all;
}

} // namespace

const CommandLine::Options &globalOptions()
{
    static const CommandLine::Options options = [] {
        CommandLine::Options all = boardOptionDeclarations();
        all.push_back(Option::flag({QStringLiteral("--log")},
                                   QStringLiteral("Write the event log, as the window writes it, to log.txt in the "
                                                  "working folder. Without it torvan60ctl writes no file.")));
        all.push_back(Option::flag({QStringLiteral("-h"), QStringLiteral("--help")},
                                   QStringLiteral("Show the overview, or after a command that command's help.")));
        all.push_back(Option::flag({QStringLiteral("--version")},
                                   QStringLiteral("Show the version and that of the carried firmware image.")));
        return all;
    }();
    return options;
}

const std::vector<Command> &commands()
{
    static const std::vector<Command> all = allCommands();
    return all;
}

const Command *findCommand(const QString &name)
{
    for (const Command &command : commands())
        if (command.name == name)
            return &command;
    return nullptr;
}

QStringList commandNames()
{
    QStringList names;
    for (const Command &command : commands())
        names << command.name;
    return names;
}

std::vector<CommandLine::ExitCode> exitCodes(const Command &command)
{
    std::vector<CommandLine::ExitCode> codes{{Exit::Ok, QStringLiteral("done")}};
    codes.insert(codes.end(), command.exits.begin(), command.exits.end());
    codes.push_back({Exit::Usage, QStringLiteral("usage error: the command line cannot be followed (the message says "
                                                 "why), or several boards and no --serial")});
    if (command.forms.front().run)
        codes.push_back(
            {Exit::NoBoard, QStringLiteral("no board, the board is held by another program, or it was lost")});
    // The command's own meaning of a code wins.
    std::vector<CommandLine::ExitCode> unique;
    for (const CommandLine::ExitCode &code : codes) {
        auto same = std::find_if(unique.begin(), unique.end(),
                                 [&code](const CommandLine::ExitCode &kept) { return kept.code == code.code; });
        if (same == unique.end())
            unique.push_back(code);
        else if (code.code == Exit::Ok)
            *same = code;
    }
    std::sort(unique.begin(), unique.end(),
              [](const CommandLine::ExitCode &a, const CommandLine::ExitCode &b) { return a.code < b.code; });
    return unique;
}

Argument Argument::text(const QString &name, const QString &what)
{
    Argument argument;
    argument.name = name;
    argument.what = what;
    return argument;
}

Argument Argument::integer(const QString &name, const QString &what, qint64 min, qint64 max)
{
    Argument argument = text(name, what);
    argument.kind = CommandLine::Kind::Integer;
    argument.min = min;
    argument.max = max;
    return argument;
}

Argument Argument::file(const QString &name, const QString &what, const QString &pattern)
{
    Argument argument = text(name, what);
    argument.kind = CommandLine::Kind::File;
    argument.pattern = pattern;
    return argument;
}

Argument Argument::choice(const QString &name, const QString &what, const QStringList &choices)
{
    Argument argument = text(name, what);
    argument.kind = CommandLine::Kind::Choice;
    argument.choices = choices;
    return argument;
}

Argument Argument::asOptional() const
{
    Argument argument = *this;
    argument.optional = true;
    return argument;
}

Argument Argument::asRepeated() const
{
    Argument argument = *this;
    argument.repeated = true;
    return argument;
}

QString Argument::synopsis() const
{
    const QString text = name + (repeated ? QStringLiteral("...") : QString());
    return optional ? QStringLiteral("[%1]").arg(text) : text;
}

QString Command::synopsis(const Form &form) const
{
    QStringList words{name};
    if (!form.action.isEmpty())
        words << form.action;
    for (const Argument &argument : form.arguments)
        words << argument.synopsis();
    // An option that goes with another stands inside that one's brackets.
    std::function<QString(const Option &)> bracket = [&](const Option &option) {
        QString text = QLatin1Char('[') + option.usage();
        for (const Option &partner : form.options)
            if (partner.goesWith == QStringList{option.name()})
                text += QLatin1Char(' ') + bracket(partner);
        return text + QLatin1Char(']');
    };
    for (const Option &option : form.options)
        if (option.goesWith.isEmpty() || !CommandLine::find(form.options, option.goesWith.first()))
            words << bracket(option);
    return words.join(QLatin1Char(' '));
}

QString Command::formName(const Form &form) const
{
    return form.action.isEmpty() ? name : name + QLatin1Char(' ') + form.action;
}

QStringList Command::actions() const
{
    QStringList words;
    for (const Form &form : forms)
        if (!form.action.isEmpty())
            words << form.action;
    return words;
}

const Form *Command::form(const QString &action) const
{
    for (const Form &form : forms)
        if (form.action == action)
            return &form;
    return nullptr;
}

} // namespace Cli

using namespace Cli;

int runTool(const QStringList &arguments)
{
    CliOptions options;
    const QString error = parseCliOptions(arguments, options);
    if (!error.isEmpty())
        return usageError(QString(), error);
    if (options.version) {
        Out::line(QString::asprintf("torvan60ctl %s (firmware image 0x%02X%02X)", TORVAN_VERSION,
                                    unsigned(UpdateVersion[0]), unsigned(UpdateVersion[1])));
        return Exit::Ok;
    }
    QStringList words = options.words;
    // "help COMMAND" is "COMMAND --help"; "help --help" is the help of help.
    const bool help = options.help || words.value(0) == QLatin1String("help");
    if (!options.help && words.value(0) == QLatin1String("help"))
        words.removeFirst();
    if (words.isEmpty()) {
        if (help) {
            Out::raw(overviewHelp());
            return Exit::Ok;
        }
        return usageError(QString(), QStringLiteral("no command given"));
    }
    const Command *command = findCommand(words.first());
    if (!command) {
        const QString near = CommandLine::nearest(words.first(), commandNames());
        return usageError(QString(), QStringLiteral("unknown command \"%1\"").arg(words.first()) +
                                         (near.isEmpty() ? QString() : QStringLiteral("; did you mean %1?").arg(near)));
    }
    if (help) {
        Out::raw(commandHelp(*command));
        return Exit::Ok;
    }
    const CommandArgs args(*command, words.mid(1));
    if (!args.error.isEmpty())
        return usageError(command->name, args.error);
    if (options.board.serials.size() > 1 && !args.form->severalBoards)
        return usageError(
            command->name,
            QStringLiteral("%1 takes one board; -d SERIAL is given more than once").arg(command->formName(*args.form)));
    Session session(options);
    if (const int code = session.open())
        return code;
    return args.form->run(session, args);
}
