#include "cli/CommandSupport.h"

#include "cli/Output.h"
#include "device/StatusTexts.h"
#include "device/TorvanDRV.h"

namespace Cli {

int usageError(const QString &text)
{
    Out::error(text + QStringLiteral(" (see torvan60ctl --help)"));
    return Exit::Usage;
}

int argsError(const CommandArgs &args)
{
    return usageError(args.error);
}

int connectWithoutArgs(Session &session, CommandArgs &args, Need need)
{
    if (!args.done())
        return argsError(args);
    return session.connectBoard(need);
}

QString faultSummary(const TorvanDRV &drv)
{
    return QString::asprintf("fault 0x%X: ", unsigned(drv.RTData.FaultFlags)) +
           FaultTexts(drv.RTData.FaultFlags).join(QLatin1Char(' '));
}

int lostError(const Session &session)
{
    Out::error(QStringLiteral("board %1 was lost").arg(session.drv.SerialFilter()));
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

} // namespace Cli
