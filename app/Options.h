#pragma once

#include "cmdline/ManPage.h"
#include "device/BoardOptions.h"
#include "log/UserFolder.h"

#include <QString>
#include <QStringList>

// The window's command-line options: the shared board options and its own.
struct Options
{
    BoardOptions board;
    // --user-dir: run in the per-user folder (userFolder()), so the log lands
    // there; what the desktop entry starts. Otherwise the tool runs, and logs,
    // where it was started.
    bool userDir = false;
    // --check: start as usual, then report where every picture was loaded
    // from and where the log is written, and exit instead of showing the
    // window.
    bool check = false;
    // --no-service: the board the window holds is not served to other
    // programs on its local socket.
    bool noService = false;
    QString openFile; // "--open FILE": the window starts with it on the Records page
    // "--lang CODE": the language of the window ("de", "en"); empty: the
    // person's language from the locale (ui/Language.h).
    QString language;
    QStringList ignored; // anything else: started as if it were not there
    // Why the arguments cannot be followed, for the user; empty when they can.
    // The tool does not start then.
    QString error;
};

// Reads the options from the program's arguments (args[0] is the program).
Options parseOptions(const QStringList &args);

// One line naming every option, for messages about the arguments.
QString optionsUsage();

// The window's options as declared: the shared ones and its own. Only these
// are taken; the manual page shows them from here.
const CommandLine::Options &windowOptionDeclarations();

// torvan60(1).
CommandLine::ManPage windowManPage();
