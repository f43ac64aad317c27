#include "cli/CommandSupport.h"

#include "cli/Output.h"

#include <QJsonArray>

namespace Cli {

int cmdPwm(Session &session, CommandArgs &args)
{
    qint64 frequency = 20000, dutyA = 0, dutyB = 0;
    if (!args.integer(QStringLiteral("--freq"), 10, 100000, frequency) ||
        !args.integer(QStringLiteral("--a"), -100, 100, dutyA) ||
        !args.integer(QStringLiteral("--b"), -100, 100, dutyB))
        return argsError(args);
    const QString action = args.next();
    if (!action.isEmpty() && action != QLatin1String("stop") && action != QLatin1String("off"))
        return usageError(QStringLiteral("unknown pwm action \"%1\"").arg(action));
    if (const int code = connectWithoutArgs(session, args, Need::Live))
        return code;
    // Both stop the outputs and put the driver to sleep; off also hands the
    // outputs back to the stepper.
    const QJsonObject params = action.isEmpty() ? QJsonObject{{QStringLiteral("a"), dutyA},
                                                              {QStringLiteral("b"), dutyB},
                                                              {QStringLiteral("freq"), frequency}}
                                                : QJsonObject{{QStringLiteral("action"), action}};
    const Rpc::Reply reply = session.call(QStringLiteral("pwm"), params);
    for (const QJsonValue &warning : reply.result.value(QLatin1String("warnings")).toArray())
        Out::warning(warning.toString());
    if (!reply.ok)
        return session.failed(reply);
    if (!action.isEmpty())
        return Exit::Ok;
    const QJsonObject &p = reply.result;
    auto number = [&p](const char *key) { return p.value(QLatin1String(key)).toInt(); };
    const QJsonArray timers = p.value(QLatin1String("timers")).toArray();
    Out::line(QString::asprintf("PWM A: % 4d%%, PWM B: % 4d%%, Freq: %d Hz", number("a"), number("b"), number("freq")));
    Out::line(QString::asprintf("TMR_A: % 4d, % 4d, TMR_B: % 4d, % 4d, Actual Freq: %d Hz", timers.at(0).toInt(),
                                timers.at(1).toInt(), timers.at(2).toInt(), timers.at(3).toInt(),
                                number("actual_freq")));
    return Exit::Ok;
}

} // namespace Cli
