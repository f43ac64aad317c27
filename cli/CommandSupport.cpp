#include "cli/CommandSupport.h"

#include "cli/Output.h"

#include <QJsonArray>

namespace Cli {

int usageError(const QString &command, const QString &text)
{
    Out::error(
        text +
        QStringLiteral(" (see torvan60ctl help%1)").arg(command.isEmpty() ? QString() : QLatin1Char(' ') + command));
    return Exit::Usage;
}

int usageError(const CommandArgs &args, const QString &text)
{
    return usageError(args.command.name, text);
}

QString faultSummary(const QJsonObject &live)
{
    QStringList texts;
    for (const QJsonValue &text : live.value(QLatin1String("fault_texts")).toArray())
        texts << text.toString();
    return QString::asprintf("fault 0x%X: ", unsigned(live.value(QLatin1String("faults")).toInt())) +
           texts.join(QLatin1Char(' '));
}

int lostError(const Session &session)
{
    const QString reason = session.lostReason();
    Out::error(QStringLiteral("board %1 was lost").arg(session.serial()) +
               (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
    return Exit::NoBoard;
}

int waitFailure(Session &session, Session::Wait wait, const QString &what)
{
    switch (wait) {
    case Session::Wait::Done:
        return Exit::Ok;
    case Session::Wait::Lost:
        return lostError(session);
    case Session::Wait::Interrupted:
        Out::error(QStringLiteral("interrupted"));
        return Exit::Failed;
    case Session::Wait::Timeout:
        break;
    }
    Out::error(what);
    return Exit::Failed;
}

int call(Session &session, const QString &method, const QJsonObject &params, QJsonObject &result)
{
    const Rpc::Reply reply = session.call(method, params);
    if (!reply.ok)
        return session.failed(reply);
    result = reply.result;
    return Exit::Ok;
}

int call(Session &session, const QString &method, const QJsonObject &params)
{
    QJsonObject result;
    return call(session, method, params, result);
}

} // namespace Cli
