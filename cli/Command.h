#pragma once

#include "cmdline/CommandLine.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

class Session;

namespace Cli {

class CommandArgs;

// A word of a command that is not an option.
struct Argument
{
    static Argument text(const QString &name, const QString &what);
    static Argument integer(const QString &name, const QString &what, qint64 min, qint64 max);
    static Argument file(const QString &name, const QString &what, const QString &pattern);
    static Argument choice(const QString &name, const QString &what, const QStringList &choices);
    Argument asOptional() const;
    // The last argument of a form may take several words: "KEY...".
    Argument asRepeated() const;

    QString name; // in synopses: "TARGET"
    QString what; // in errors: "move needs a target position"
    CommandLine::Kind kind = CommandLine::Kind::Text;
    qint64 min = 0, max = 0; // Integer
    QString pattern;         // File: the files that complete it
    QStringList choices;     // Choice
    bool optional = false;
    bool repeated = false;

    // "TARGET", "[FILE.tvs]", "KEY...".
    QString synopsis() const;
};

// One way of calling a command: the command alone or with an action word
// ("settings set"), its words and its options.
struct Form
{
    QString action; // empty: the command alone
    std::vector<Argument> arguments;
    CommandLine::Options options;
    QString text; // what it does, for the help
    std::function<int(Session &, const CommandArgs &)> run;
    // Whether it works on several boards (-d SERIAL given more than once);
    // every other form takes one.
    bool severalBoards = false;
};

// One command as the parser reads it and every help text, the manual page
// and the shell completion show it. Adding a command is adding one of these
// to its group's list; adding an option is adding it to its form.
struct Command
{
    QString name;
    QString summary;     // a line for the overview
    QString description; // paragraphs about the command as a whole (may be empty)
    std::vector<Form> forms;
    // Its exit codes besides the ones every command has.
    std::vector<CommandLine::ExitCode> exits;
    // Command lines that work as written on a simulated board, in order: an
    // example may use a file an earlier one wrote.
    std::vector<CommandLine::Example> examples;

    // "move TARGET [--max-speed N] ... [--no-wait]" (without the program).
    QString synopsis(const Form &form) const;
    // "settings set", "move".
    QString formName(const Form &form) const;
    QStringList actions() const;
    // The form of this action, or null.
    const Form *form(const QString &action) const;
};

// The options every command has (those of torvan60ctl itself).
const CommandLine::Options &globalOptions();

// All commands, in the order the help lists them.
const std::vector<Command> &commands();
const Command *findCommand(const QString &name);
QStringList commandNames();

// The exit codes of a command: its own and the ones every command has.
std::vector<CommandLine::ExitCode> exitCodes(const Command &command);

// The words of one call of a command, read by its declaration: its form,
// options with their values checked (numbers within their range, choices
// among theirs) and its arguments. Asking for an option the form does not
// declare is a programming error and aborts.
class CommandArgs
{
public:
    // Reads words (those after the command's name). On a usage error, error
    // says what was wrong in the user's words.
    CommandArgs(const Command &command, const QStringList &input);

    QString error;
    const Command &command;
    const Form *form = nullptr;

    bool flag(const QString &name) const;
    // The value given (the last one), or an empty text.
    QString value(const QString &name) const;
    QStringList values(const QString &name) const;
    // True, with the value, when given.
    bool integer(const QString &name, qint64 &out) const;
    // The arguments in order; absent optional ones are empty.
    QString argument(int index) const;
    qint64 number(int index) const;
    // All of them, those of a repeated last argument too.
    const QStringList &arguments() const { return words; }

private:
    void read(const QStringList &input);
    bool readOption(const QStringList &input, int &i);
    const CommandLine::Option &declared(const QString &name) const;
    QString formName() const { return command.formName(*form); }

    std::map<QString, QStringList> given; // by the option's name
    QStringList words;                    // the arguments
};

// The commands of each group, one source file each.
std::vector<Command> statusCommands();   // StatusCommands.cpp
std::vector<Command> settingsCommands(); // SettingsCommands.cpp
std::vector<Command> driverCommands();   // DriverCommands.cpp
std::vector<Command> motionCommands();   // MotionCommands.cpp
std::vector<Command> pwmCommands();      // PwmCommands.cpp
std::vector<Command> firmwareCommands(); // FirmwareCommands.cpp
std::vector<Command> serveCommands();    // ServeCommand.cpp

} // namespace Cli
