#pragma once

#include "cmdline/ManPage.h"

#include <QString>
#include <QStringList>

// The most boards a simulated bus is given from the command line.
constexpr int MaxSimulatedBoards = 16;

// The options every front end reads the same way: which bus (the USB bus or
// simulated boards), which board on it, and the trace of the HID traffic.
struct BoardOptions
{
    bool simulate = false;
    QString scenario;        // after "--simulate="; empty: an up-to-date board
    int simulatedBoards = 1; // "--simulate-boards=N" (implies --simulate)
    QString serial;          // "-d SERIAL", "--serial SERIAL": only this board (the last one given)
    QStringList serials;     // every "-d"/"--serial" in order (several for a roll-out of settings)
    QString traceFile;       // "--trace FILE"
};

// How an argument was read by one of the option takers below.
enum class OptionRead {
    Other, // not this option (or not one of these options)
    Taken, // taken, with its value if it has one
    Error, // this option, but it cannot be followed; the error says why
};

// Takes args[i] when it is one of the shared board options, moving i past a
// value given as a separate argument.
OptionRead takeBoardOption(const QStringList &args, int &i, BoardOptions &options, QString &error);

// What an option takes as its value.
enum class OptionValue {
    Text,   // a name, a file: never anything that begins with "-"
    Number, // a number, which may be negative
};

// Whether a separate argument is a value of that kind rather than an
// option: never empty, and beginning with "-" only when it is a negative
// number where a number is expected (a file named like an option is given
// as name=VALUE). Every option with a value, and every command word, is
// read by this one rule.
bool isOptionValue(const QString &arg, OptionValue kind);

// Takes args[i] when it is the option name with a value, written
// "name VALUE" (VALUE as isOptionValue() takes it) or "name=VALUE"; what
// names the value for the error. No value is empty.
OptionRead takeValueOption(const QStringList &args, int &i, const QString &name, const QString &what, QString &out,
                           QString &error, OptionValue kind = OptionValue::Text);

// The shared options as declared: only these are taken, and the help texts
// and manual pages of every front end show them from here.
const CommandLine::Options &boardOptionDeclarations();

// The manual pages' section on the simulated boards: intro, then what each
// scenario of --simulate does.
CommandLine::ManSection simulationManSection(const QString &intro);

// The shared options as one line for usage messages.
QString boardOptionsUsage();
