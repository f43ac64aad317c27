#pragma once

#include <QString>
#include <QStringList>

// The most boards a simulated bus is given from the command line.
constexpr int MaxSimulatedBoards = 16;

// The window's command-line options.
struct Options
{
    bool simulate = false;
    QString scenario; // after "--simulate="
    QString traceFile;
    QString serial;          // "--serial SERIAL": connect only to this board
    int simulatedBoards = 1; // "--simulate-boards=N" (implies --simulate)
    QStringList ignored;     // anything else: started as if it were not there
};

// Reads the options from the program's arguments (args[0] is the program).
Options parseOptions(const QStringList &args);
