#pragma once

#include <QStringList>

// Runs torvan60ctl on its arguments (arguments[0] is the program): the help,
// or the command on the board it picks. Returns the exit code; errors have
// been printed.
int runTool(const QStringList &arguments);
