#pragma once

#include "cli/CliOptions.h"
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

// Prints a usage error (with the pointer to --help) and returns its code.
int usageError(const QString &text);
int argsError(const CommandArgs &args);
// A command without arguments of its own: checks that none were given and
// connects the board.
int connectWithoutArgs(Session &session, CommandArgs &args, Need need);
// The fault flags of a live report and their texts, for error lines.
QString faultSummary(const QJsonObject &live);
int lostError(const Session &session);
// A call whose failure ends the command: Ok with the result, or the exit
// code after the error line.
int call(Session &session, const QString &method, const QJsonObject &params, QJsonObject &result);
int call(Session &session, const QString &method, const QJsonObject &params = QJsonObject());
// Ends a wait that did not reach its goal with the matching exit code.
int waitFailure(Session &session, Session::Wait wait, const QString &what);

// The commands, one group to a source file.
int cmdList(Session &session, CommandArgs &args);                     // StatusCommands.cpp
int cmdStatus(Session &session, CommandArgs &args);                   // StatusCommands.cpp
int cmdSettings(Session &session, CommandArgs &args);                 // SettingsCommands.cpp
int cmdName(Session &session, CommandArgs &args);                     // SettingsCommands.cpp
int cmdEnableSleep(Session &session, CommandArgs &args, bool enable); // DriverCommands.cpp
int cmdResetFaults(Session &session, CommandArgs &args);              // DriverCommands.cpp
int cmdRestart(Session &session, CommandArgs &args);                  // DriverCommands.cpp
int cmdMove(Session &session, CommandArgs &args);                     // MotionCommands.cpp
int cmdRun(Session &session, CommandArgs &args);                      // MotionCommands.cpp
int cmdStop(Session &session, CommandArgs &args);                     // MotionCommands.cpp
int cmdHome(Session &session, CommandArgs &args);                     // MotionCommands.cpp
int cmdPwm(Session &session, CommandArgs &args);                      // PwmCommands.cpp
int cmdFirmware(Session &session, CommandArgs &args);                 // FirmwareCommands.cpp
int cmdServe(Session &session, CommandArgs &args);                    // ServeCommand.cpp

} // namespace Cli
