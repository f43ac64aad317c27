#pragma once

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

    // Who it is, for the holder's log: "torvan60ctl (pid 1234)".
    QString program;
    qint64 pid = 0;
    QString describe() const { return pid > 0 ? QStringLiteral("%1 (pid %2)").arg(program).arg(pid) : program; }
    // When not empty, only these methods may be called; others are refused.
    QSet<QString> allowed;
};
