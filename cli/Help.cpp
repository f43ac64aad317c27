#include "cli/Help.h"

#include "cli/CliOptions.h"
#include "cli/Command.h"

using CommandLine::columns;
using CommandLine::ExitCode;
using CommandLine::wrap;

namespace Cli {

namespace {

// Where the text of a two-column list begins.
constexpr int TextColumn = 26;

const QString Program = QStringLiteral("torvan60ctl");

// The exit codes of the tool as a whole.
std::vector<ExitCode> toolExitCodes()
{
    return {{Exit::Ok, QStringLiteral("done")},
            {Exit::Failed, QStringLiteral("the board refused, an operation failed or was interrupted, or the firmware "
                                          "needs an update (firmware check)")},
            {Exit::Usage, QStringLiteral("usage error: the command line cannot be followed (the message says why), a "
                                         "file that is not a settings file, or several boards and no --serial")},
            {Exit::NoBoard, QStringLiteral("no board, the board is held by another program, or it was lost")}};
}

QString exitColumns(const std::vector<ExitCode> &codes)
{
    std::vector<std::pair<QString, QString>> rows;
    for (const ExitCode &code : codes)
        rows.emplace_back(QString::number(code.code), code.meaning);
    return columns(rows, 2, 5);
}

QString optionColumns(const CommandLine::Options &options)
{
    std::vector<std::pair<QString, QString>> rows;
    for (const CommandLine::Option &option : options)
        rows.emplace_back(option.synopsis(), option.helpText());
    return columns(rows, 2, TextColumn);
}

// What an argument is, with its range.
QString argumentText(const Argument &argument)
{
    QString text = argument.what;
    if (argument.kind == CommandLine::Kind::Integer)
        text += QStringLiteral(", a whole number from %1 to %2").arg(argument.min).arg(argument.max);
    if (argument.kind == CommandLine::Kind::Choice)
        text += QStringLiteral(": ") + argument.choices.join(QStringLiteral(", "));
    return text;
}

std::vector<std::pair<QString, QString>> argumentRows(const Command &command)
{
    std::vector<std::pair<QString, QString>> rows;
    for (const Form &form : command.forms)
        for (const Argument &argument : form.arguments)
            if (std::none_of(rows.begin(), rows.end(),
                             [&argument](const auto &row) { return row.first == argument.name; }))
                rows.emplace_back(argument.name, argumentText(argument));
    return rows;
}

QString globalUsage()
{
    QStringList usage;
    for (const CommandLine::Option &option : globalOptions())
        usage << option.synopsis();
    return usage.join(QStringLiteral("; "));
}

} // namespace

QString overviewHelp()
{
    std::vector<std::pair<QString, QString>> commandRows;
    for (const Command &command : commands())
        commandRows.emplace_back(command.name, command.summary);
    return QStringLiteral("Usage: %1 [OPTIONS] COMMAND [ARGUMENTS]\n"
                          "       %1 help [COMMAND]\n\n")
               .arg(Program) +
           wrap(QStringLiteral("Controls a Torvan60 motor driver board from the command line: one on the USB bus, "
                               "one another program serves, or a simulated one."),
                0) +
           QStringLiteral("\nOptions (anywhere before a \"--\"):\n") + optionColumns(globalOptions()) +
           QStringLiteral("\nCommands:\n") + columns(commandRows, 2, TextColumn) + QStringLiteral("\nExit codes:\n") +
           exitColumns(toolExitCodes()) + QLatin1Char('\n') +
           wrap(QStringLiteral("\"%1 help COMMAND\" (or \"%1 COMMAND --help\") shows a command's options, exit codes "
                               "and examples; \"man %1\" shows all of it.")
                    .arg(Program),
                0);
}

QString commandHelp(const Command &command)
{
    QString text;
    for (const Form &form : command.forms)
        text += (text.isEmpty() ? QStringLiteral("Usage: ") : QStringLiteral("       ")) + Program +
                QStringLiteral(" [OPTIONS] ") + command.synopsis(form) + QLatin1Char('\n');
    text += QLatin1Char('\n') + wrap(command.description.isEmpty() ? command.summary : command.description, 0);
    for (const Form &form : command.forms) {
        if (form.text.isEmpty())
            continue;
        text += QLatin1Char('\n') + command.formName(form) + QStringLiteral(":\n") + wrap(form.text, 2);
    }
    const auto arguments = argumentRows(command);
    if (!arguments.empty())
        text += QStringLiteral("\nArguments:\n") + columns(arguments, 2, TextColumn);
    for (const Form &form : command.forms) {
        if (form.options.empty())
            continue;
        text += command.forms.size() > 1 ? QStringLiteral("\nOptions of %1:\n").arg(command.formName(form))
                                         : QStringLiteral("\nOptions:\n");
        text += optionColumns(form.options);
    }
    text += QStringLiteral("\nExit codes:\n") + exitColumns(exitCodes(command));
    if (!command.examples.empty()) {
        text += QStringLiteral("\nExamples:\n");
        for (const CommandLine::Example &example : command.examples)
            text += wrap(example.purpose, 2) + QStringLiteral("      ") + example.command + QLatin1Char('\n');
    }
    if (command.forms.front().run)
        text += QLatin1Char('\n') +
                wrap(QStringLiteral("Options of every command: %1 (see \"%2 help\").").arg(globalUsage(), Program), 0);
    return text;
}

CommandLine::ManPage manPage()
{
    using CommandLine::ManSection;
    CommandLine::ManPage page;
    page.name = Program;
    page.summary = QStringLiteral("control a Torvan60 motor driver board from the command line");
    page.source = QStringLiteral("torvan60 " TORVAN_VERSION);
    page.manual = QStringLiteral("User Commands");
    page.synopsis << Program + QStringLiteral(" [OPTIONS] COMMAND [ARGUMENTS]");
    for (const Command &command : commands())
        for (const Form &form : command.forms)
            page.synopsis << Program + QStringLiteral(" [OPTIONS] ") + command.synopsis(form);

    ManSection description(QStringLiteral("DESCRIPTION"));
    description.text = QStringLiteral(
        "torvan60ctl has the powers of the window torvan60 for scripts, test benches and production lines: the same "
        "device object, conversions, settings files and firmware update, without a display.\n\n"
        "It works on one board: the one named by --serial, else the only one there is, free or served; with several "
        "and none named it asks for --serial (exit 2). A board that another program holds and serves (the window "
        "while connected, or torvan60ctl serve) is reached through that program's local socket, and every command "
        "works so but firmware update, which only the program that holds the board runs. A board held by a program "
        "that does not serve it cannot be used (exit 3).\n\n"
        "Data goes to stdout; errors are one line on stderr, \"torvan60ctl: ...\", and a usage error names what was "
        "wrong and where its help is. Global options may stand anywhere before a \"--\", before or after the command; "
        "after the command a \"--\" ends its options too, so a name that begins with - is given as an argument. An "
        "option that needs a value never takes the next option as its value; a negative number is a value where a "
        "number is expected.\n\n"
        "Ctrl-C (SIGINT) or SIGTERM during a move stops the motor and waits until it is at rest.");
    ManSection options(QStringLiteral("OPTIONS"));
    options.items = CommandLine::optionItems(globalOptions());
    const ManSection simulated = simulationManSection(
        QStringLiteral("Every command runs on a simulated board with --simulate: each run of torvan60ctl starts its "
                       "own, fresh from the factory, which only that run sees. The scenarios of "
                       "--simulate=SCENARIO:"));
    page.sections = {description, options, ManSection(QStringLiteral("COMMANDS"))};

    for (const Command &command : commands()) {
        ManSection section(command.name, true);
        for (const Form &form : command.forms)
            section.code << command.synopsis(form);
        QStringList text{command.description.isEmpty() ? command.summary + QLatin1Char('.') : command.description};
        for (const Form &form : command.forms)
            if (!form.text.isEmpty())
                text << command.formName(form) + QStringLiteral(": ") + form.text;
        section.text = text.join(QStringLiteral("\n\n"));
        section.items = argumentRows(command);
        for (const Form &form : command.forms)
            for (const auto &item : CommandLine::optionItems(form.options))
                section.items.push_back(item);
        QStringList exits;
        for (const ExitCode &code : command.exits)
            exits << QStringLiteral("%1 when %2").arg(code.code).arg(code.meaning);
        if (!exits.isEmpty())
            section.after = QStringLiteral("Exit status: ") + exits.join(QStringLiteral("; ")) + QLatin1Char('.');
        page.sections.push_back(section);
    }

    ManSection exit(QStringLiteral("EXIT STATUS"));
    for (const ExitCode &code : toolExitCodes())
        exit.items.emplace_back(QString::number(code.code), code.meaning);
    ManSection environment(QStringLiteral("ENVIRONMENT"));
    environment.items = {
        {QStringLiteral("XDG_RUNTIME_DIR"),
         QStringLiteral("The folder of the boards' sockets is $XDG_RUNTIME_DIR/torvan60 when it is an absolute "
                        "path: torvan60ctl serve and the window serve each board there as SERIAL.sock, and "
                        "torvan60ctl finds the served boards there.")},
        {QStringLiteral("TMPDIR"),
         QStringLiteral("Without an absolute XDG_RUNTIME_DIR the sockets are in torvan60-UID under the temporary "
                        "folder, $TMPDIR or /tmp.")},
        {QStringLiteral("XDG_STATE_HOME"),
         QStringLiteral("The user folder, where firmware update keeps the settings snapshots and serve --sparkplug "
                        "its bdSeq, is $XDG_STATE_HOME/torvan60 when it is an absolute path (the systemd unit sets "
                        "it to /var/lib).")},
        {QStringLiteral("HOME"), QStringLiteral("Otherwise the user folder is $HOME/.local/state/torvan60.")}};
    ManSection files(QStringLiteral("FILES"));
    files.items = {
        {QStringLiteral("*.tvs"),
         QStringLiteral("Settings files, the window's: INI files with the groups DriverSettings and "
                        "TrajectorySettings (settings get FILE.tvs writes one, settings set FILE.tvs reads one).")},
        {QStringLiteral("log.txt"),
         QStringLiteral("The event log, in the working folder, with --log only; it starts afresh once it has grown "
                        "past 2,000,000 bytes.")},
        {QStringLiteral("$XDG_RUNTIME_DIR/torvan60/SERIAL.sock"),
         QStringLiteral("The local socket of a served board (docs/service.md); the folder is the user's alone.")},
        {QStringLiteral("$XDG_STATE_HOME/torvan60/snapshots/SERIAL/"),
         QStringLiteral("The board's settings saved before each firmware update (YYYYMMDD-HHMMSS-before-update.tvs), "
                        "in the window too; see docs/settings.md.")},
        {QStringLiteral("$XDG_STATE_HOME/torvan60/sparkplug/GROUP/EDGE.bdseq"),
         QStringLiteral("The Sparkplug edge node's bdSeq of serve --sparkplug, one number, locked while serve "
                        "runs.")},
        {QStringLiteral("/etc/torvan60/serve.conf, /etc/torvan60/serve-SERIAL.conf"),
         QStringLiteral("The settings of the systemd unit torvan60-serve@SERIAL.service, which runs torvan60ctl "
                        "-d SERIAL serve --mqtt URL for one board (an example is in /usr/share/doc/torvan60).")}};
    ManSection examples(QStringLiteral("EXAMPLES"));
    examples.text = QStringLiteral("Each works as written on the simulated board; those of one command in one folder "
                                   "and in this order (a later one may read a file an earlier one wrote).");
    for (const Command &command : commands())
        examples.examples.insert(examples.examples.end(), command.examples.begin(), command.examples.end());
    ManSection seeAlso(QStringLiteral("SEE ALSO"));
    seeAlso.text = QStringLiteral("torvan60(1). The local socket's protocol: /usr/share/doc/torvan60/docs/service.md; "
                                  "the MQTT bridge of serve: /usr/share/doc/torvan60/docs/mqtt.md; settings files, "
                                  "comparisons, snapshots and roll-out: /usr/share/doc/torvan60/docs/settings.md.");
    for (const ManSection &section : {simulated, exit, environment, files, examples, seeAlso})
        page.sections.push_back(section);
    return page;
}

} // namespace Cli
