#pragma once

#include <QByteArray>
#include <QString>

// Data goes to stdout, one line per call; errors to stderr as one line
// prefixed with the program's name. Both are flushed at once so that a
// reader of a pipe sees each line when it is written.
namespace Out {
// False once stdout can no longer be written (a closed pipe).
bool line(const QString &text);
// Writes bytes as they are (lines with their own ends); false as line().
bool bytes(const QByteArray &data);
// Writes text without a line end (progress on a terminal).
void raw(const QString &text);
void error(const QString &text);
void warning(const QString &text);
bool stdoutIsTerminal();
bool stdinIsTerminal();
} // namespace Out
