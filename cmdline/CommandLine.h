#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The declarations the command lines of the tools are read by and documented
// from: each option once, with what its value is, its range and its help, so
// the parser, the help texts, the manual pages and the shell completion
// cannot tell different stories.
namespace CommandLine {

// What an option's value (or a word) is: how it is checked and completed.
enum class Kind {
    Flag,    // no value
    Text,    // any text
    Integer, // a whole number within [min, max]
    Number,  // a number, whole or not (its reader checks its range)
    File,    // a file name; pattern says which files complete it
    Serial,  // a board's serial number: the boards present complete it
    Choice,  // one of choices
};

struct Option
{
    // Made by kind; the modifiers below add what some options have.
    static Option flag(const QStringList &names, const QString &help);
    static Option text(const QStringList &names, const QString &value, const QString &help);
    static Option integer(const QStringList &names, const QString &value, qint64 min, qint64 max, const QString &help);
    static Option number(const QStringList &names, const QString &value, const QString &help);
    static Option file(const QStringList &names, const QString &value, const QString &pattern, const QString &help);
    static Option serial(const QStringList &names, const QString &help);
    static Option choice(const QStringList &names, const QString &value, const QStringList &choices,
                         const QString &help);
    Option attached() const;
    Option optional() const;
    Option repeated() const;
    Option with(const QStringList &options) const;

    QStringList names; // "-d", "--serial": the last one names the option
    Kind kind = Kind::Flag;
    QString value; // the value's name in synopses: "N", "FILE"
    QString help;  // sentences; "{min}" and "{max}" stand for the range
    qint64 min = 0, max = 0;
    QStringList choices;
    QString pattern;            // File: "*.tvs"; empty: any file
    bool attachedValue = false; // the value only as --name=VALUE, and optional: "--simulate[=SCENARIO]"
    // The value may be left out, or follow as the next word when that is a
    // value: "--mqtt-discovery [PREFIX]".
    bool optionalValue = false;
    bool repeatable = false;
    // Given only together with one of these: an action word of the command
    // ("set") or another option ("--watch").
    QStringList goesWith;

    QString name() const { return names.last(); }
    bool takesValue() const { return kind != Kind::Flag; }
    // What the value is, for errors: "a whole number", "a file name".
    QString what() const;
    // "-d, --serial SERIAL", "--simulate[=SCENARIO]", "--max-speed N".
    QString synopsis() const;
    // As a command's synopsis names it: "--serial SERIAL".
    QString usage() const;
    // The help with its range filled in.
    QString helpText() const;
    // Whether arg is this option, alone or as name=VALUE.
    bool matches(const QString &arg) const;
};

using Options = std::vector<Option>;

// The option arg is (alone or with =VALUE), or none.
const Option *find(const Options &options, const QString &arg);

// Whether values of this kind are numbers (so a negative one is a value,
// not an option).
bool numeric(Kind kind);

// The candidate the user most likely meant by word (an option or a command
// mistyped, or cut short to a unique beginning); empty when none is close.
QString nearest(const QString &word, const QStringList &candidates);

// A whole number within [min, max], or an error naming what and the range.
bool parseInteger(const QString &text, const QString &what, qint64 min, qint64 max, qint64 &out, QString &error);

struct ExitCode
{
    int code;
    QString meaning;
};

// A command line that works as written on a simulated board, and what it
// shows. untilStopped: it runs until Ctrl-C or SIGTERM (then ends with 0).
struct Example
{
    QString command;
    QString purpose;
    bool untilStopped = false;
};

// Text laid out for a terminal: paragraphs (separated by blank lines)
// wrapped to width after indent spaces; a line that begins with a space is
// kept as it is.
QString wrap(const QString &text, int indent, int width = 79);
// Two columns: each term, then its text wrapped beside it at column
// textColumn (below the term when the term is too wide).
QString columns(const std::vector<std::pair<QString, QString>> &rows, int indent, int textColumn, int width = 79);

} // namespace CommandLine
