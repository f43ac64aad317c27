#pragma once

#include "device/BoardOptions.h"

#include <QString>
#include <QStringList>

// Exit codes of the command-line tool.
namespace Exit {
constexpr int Ok = 0;
constexpr int Failed = 1;  // the board refused, or an operation failed or was interrupted
constexpr int Usage = 2;   // the command line is wrong or ambiguous
constexpr int NoBoard = 3; // no board, the board is held elsewhere, or it was lost
} // namespace Exit

// The global options of torvan60ctl and the command words left after them.
// Global options may stand anywhere before a "--"; everything else, in
// order, is the command and its own arguments.
struct CliOptions
{
    BoardOptions board;
    bool log = false;
    bool help = false;
    bool version = false;
    QStringList words;
};

// Reads the program's arguments (args[0] is the program). Returns an error
// text for a usage error, else an empty text.
QString parseCliOptions(const QStringList &args, CliOptions &options);

// The arguments of one command: flags, options with a value ("--name V" or
// "--name=V") and positional words. Each taker removes what it took, so what
// is left at the end is unknown.
class CommandArgs
{
public:
    explicit CommandArgs(QStringList words) : words(std::move(words)) {}

    bool flag(const QString &name);
    // False (and error set) when the option is there without a value.
    bool value(const QString &name, QString &out, OptionValue kind = OptionValue::Text);
    // An option whose value may be left out ("--name", "--name V" or
    // "--name=V"): present tells whether it was given, out its value if
    // any. A word after it is its value as isOptionValue() tells (a text).
    void optionalValue(const QString &name, bool &present, QString &out);
    // A whole number within [min, max]; untouched when the option is absent.
    bool integer(const QString &name, qint64 min, qint64 max, qint64 &out);
    // The next positional word (a word like an option is none, unless it
    // is a negative number), or an empty text.
    QString next();
    // Parses a positional word as a whole number within [min, max].
    bool number(const QString &word, const QString &what, qint64 min, qint64 max, qint64 &out);
    // Sets error for anything left over; true when nothing is.
    bool done();

    QString error;

private:
    QStringList words;
};
