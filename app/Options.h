#pragma once

#include <QString>
#include <QStringList>

// The window's command-line options.
struct Options
{
    bool simulate = false;
    QString scenario; // after "--simulate="
    QString traceFile;
    QStringList ignored; // anything else: started as if it were not there
    // Why the arguments cannot be followed, for the user; empty when they can.
    // The tool does not start then.
    QString error;
};

// Reads the options from the program's arguments (args[0] is the program).
Options parseOptions(const QStringList &args);

// One line naming every option, for messages about the arguments.
QString optionsUsage(const QStringList &scenarioNames);
