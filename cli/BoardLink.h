#pragma once

#include "cli/Session.h"
#include "service/Rpc.h"

#include <QJsonObject>
#include <QString>

// How torvan60ctl's requests reach a board's service: in this process, or
// over the local socket of the program that holds the board.
class BoardLink
{
public:
    virtual ~BoardLink() = default;
    virtual Rpc::Reply call(const QString &method, const QJsonObject &params, int timeoutMs, bool interruptible) = 0;
    // The next notification, in the order they came.
    virtual Session::Wait next(QString &method, QJsonObject &params, int timeoutMs) = 0;
    // Why the board was lost, when its holder said (it closed); else empty.
    virtual QString lostReason() const { return QString(); }
};

// The service of the board this process holds.
std::unique_ptr<BoardLink> makeLocalLink(BoardHolder &holder);
// The service of another program on its socket at path; null with the
// error when it does not answer.
std::unique_ptr<BoardLink> makeRemoteLink(const QString &path, int timeoutMs, QString &error);
