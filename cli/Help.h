#pragma once

#include "cmdline/ManPage.h"

#include <QString>

namespace Cli {

struct Command;

// The help texts, the manual page and the shell completion of torvan60ctl,
// all made from the declarations of its options and commands.

// torvan60ctl help: the usage, the global options, a line per command and
// the exit codes.
QString overviewHelp();
// torvan60ctl help COMMAND: its usage, what it does, its arguments and
// options, exit codes and examples.
QString commandHelp(const Command &command);
// torvan60ctl(1).
CommandLine::ManPage manPage();
// The bash completion script of torvan60ctl.
QString bashCompletion();

} // namespace Cli
