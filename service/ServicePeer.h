#pragma once

#include "log/LogText.h"

#include <QByteArray>
#include <QSet>
#include <QString>

// One client of a board's service as the service sees it: a local socket
// connection, a program of the same process, or the MQTT bridge.
class ServicePeer
{
public:
    virtual ~ServicePeer() = default;
    // Sends one line (an answer or a notification, without its line end).
    // Must not block; a peer that cannot take more drops itself.
    virtual void send(const QByteArray &line) = 0;

    // Who it is, for the holder's log: "torvan60ctl (pid 1234)". The name
    // comes from outside (the client's hello, the system's process name):
    // it is described escaped and cut.
    QString program;
    qint64 pid = 0;
    QString describe() const
    {
        const QString name = LogText::escaped(program, MaxProgramChars);
        return pid > 0 ? QStringLiteral("%1 (pid %2)").arg(name).arg(pid) : name;
    }
    static constexpr int MaxProgramChars = 64;
    // Whether hello may give it another name: not the MQTT bridge, which is
    // the broker connection whoever speaks on it.
    bool renamable = true;
    // When not empty, only these methods may be called; others are refused.
    QSet<QString> allowed;
};
