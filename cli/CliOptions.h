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
// Global options may stand anywhere before a "--" (after the command, one of
// its own options of the same name wins); everything else, in order, is the
// command and its own arguments, with a "--" after the command kept for it.
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
