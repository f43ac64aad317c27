#pragma once

#include "cli/CliOptions.h"
#include "cli/Command.h"
#include "cli/Session.h"

#include <QString>

#include <QJsonObject>

// What the command groups share: exit paths, waits and the board's ranges.
namespace Cli {

// The board's range for positions, speeds and profile values.
constexpr qint64 MaxInt32 = 2147483647;
constexpr qint64 MinInt32 = -MaxInt32 - 1;
// How long the board may take to show that it followed a command.
constexpr int VerifyTimeoutMs = 5000;

// Prints a usage error with the pointer to the help of the command (of
// torvan60ctl when command is empty) and returns its code.
int usageError(const QString &command, const QString &text);
int usageError(const CommandArgs &args, const QString &text);
// The fault flags of a live report and their texts, for error lines.
QString faultSummary(const QJsonObject &live);
int lostError(const Session &session);
// A call whose failure ends the command: Ok with the result, or the exit
// code after the error line.
int call(Session &session, const QString &method, const QJsonObject &params, QJsonObject &result);
int call(Session &session, const QString &method, const QJsonObject &params = QJsonObject());
// Ends a wait that did not reach its goal with the matching exit code.
int waitFailure(Session &session, Session::Wait wait, const QString &what);

} // namespace Cli
