#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// Where the holder of a board serves it: one socket per board in a folder of
// the user's own (docs/service.md).
namespace ServicePaths {

// $XDG_RUNTIME_DIR/torvan60 when that is an absolute path, else
// torvan60-<uid> in the system's temporary folder.
QString folder();

// <folder>/<serial>.sock. Empty when the serial cannot name a socket file
// (not a plain file name, or the path too long for a socket address); then
// error says why.
QString socketPath(const QString &serial, QString *error = nullptr);

// Makes the folder (mode 0700) unless it is there. False, with the reason,
// when it cannot be made or is not the user's alone: a symbolic link, a
// folder of another owner or one others may enter.
bool prepareFolder(QString &error);

// A board served by a program that answered.
struct Served
{
    QString serial, path, program, product;
    qint64 pid = 0;
};

// Asks the socket at path who serves it (hello), waiting at most timeoutMs.
bool probe(const QString &path, Served &served, int timeoutMs);

// The sockets in the folder that answer, each given at most timeoutMs. A
// socket file nothing answers on (left by a holder that crashed) is not
// listed.
std::vector<Served> served(int timeoutMs);

} // namespace ServicePaths
