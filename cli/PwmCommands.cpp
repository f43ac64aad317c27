#include "cli/CommandSupport.h"

#include "cli/Output.h"

#include <QJsonArray>

namespace Cli {

namespace {

int pwm(Session &session, const CommandArgs &args)
{
    qint64 frequency = 20000, dutyA = 0, dutyB = 0;
    const QString action = args.form->action;
    if (action.isEmpty()) {
        args.integer(QStringLiteral("--freq"), frequency);
        args.integer(QStringLiteral("--a"), dutyA);
        args.integer(QStringLiteral("--b"), dutyB);
    }
    if (const int code = session.connectBoard(Need::Live))
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

} // namespace

std::vector<Command> pwmCommands()
{
    using CommandLine::Option;
    auto duty = [](const QString &output) {
        return Option::integer({QStringLiteral("--") + output.toLower()}, QStringLiteral("DUTY"), -100, 100,
                               QStringLiteral("Duty of output %1 in percent, {min} to {max} (negative: the other "
                                              "way); 0 when not given.")
                                   .arg(output));
    };
    return {
        {QStringLiteral("pwm"),
         QStringLiteral("run DC motors on outputs A and B"),
         QString(),
         {{QString(),
           {},
           {Option::integer({QStringLiteral("--freq")}, QStringLiteral("HZ"), 10, 100000,
                            QStringLiteral("PWM frequency in Hz, {min} to {max}; 20000 when not given. The board "
                                           "makes the nearest its timer can, shown as the actual frequency.")),
            duty(QStringLiteral("A")), duty(QStringLiteral("B"))},
           QStringLiteral("Enters DC motor mode (with the window's warning), sets both duties and the frequency, "
                          "enables the driver and shows the duties, the timer values and the actual frequency."),
           pwm},
          {QStringLiteral("stop"), {}, {}, QStringLiteral("Sets both duties to 0 and puts the driver to sleep."), pwm},
          {QStringLiteral("off"),
           {},
           {},
           QStringLiteral("As stop, and leaves DC motor mode: the outputs drive the stepper again."),
           pwm}},
         {{Exit::Failed, QStringLiteral("the board refused")}},
         {{QStringLiteral("torvan60ctl --simulate pwm --a 40 --b -25"),
           QStringLiteral("Output A at 40 %, output B at 25 % the other way, at 20 kHz:")},
          {QStringLiteral("torvan60ctl --simulate pwm --freq 50000 --a -40"),
           QStringLiteral("Output A at 40 % backwards, at 50 kHz:")},
          {QStringLiteral("torvan60ctl --simulate pwm off"),
           QStringLiteral("Both outputs off, back to the stepper:")}}},
    };
}

} // namespace Cli
