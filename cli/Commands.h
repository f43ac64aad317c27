#pragma once

#include <QString>
#include <QStringList>

class Session;

// The usage text printed by --help.
QString usageText();

// Runs the command in words (its name first) on the session. Returns the
// exit code; errors have been printed.
int runCommand(Session &session, const QStringList &words);
