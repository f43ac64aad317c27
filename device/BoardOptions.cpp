#include "device/BoardOptions.h"

#include "device/sim/Scenarios.h"

bool isOptionValue(const QString &arg, OptionValue kind)
{
    if (arg.isEmpty())
        return false;
    if (!arg.startsWith(QLatin1Char('-')))
        return true;
    bool number = false;
    arg.toDouble(&number);
    return kind == OptionValue::Number && number;
}

OptionRead takeValueOption(const QStringList &args, int &i, const QString &name, const QString &what, QString &out,
                           QString &error, OptionValue kind)
{
    const QString &arg = args.at(i);
    if (arg == name) {
        if (i + 1 >= args.size() || !isOptionValue(args.at(i + 1), kind)) {
            error = name + QStringLiteral(" needs ") + what;
            return OptionRead::Error;
        }
        out = args.at(++i);
        return OptionRead::Taken;
    }
    if (!name.startsWith(QLatin1String("--")) || !arg.startsWith(name + QLatin1Char('=')))
        return OptionRead::Other;
    out = arg.mid(name.size() + 1);
    if (out.isEmpty()) {
        error = name + QStringLiteral("= needs ") + what;
        return OptionRead::Error;
    }
    return OptionRead::Taken;
}

const CommandLine::Options &boardOptionDeclarations()
{
    using CommandLine::Option;
    static const CommandLine::Options options = {
        Option::serial({QStringLiteral("-d"), QStringLiteral("--serial")},
                       QStringLiteral("Use the board with this USB serial number and leave every other board alone. "
                                      "Given more than once, for the commands that work on several boards (settings "
                                      "set): each of these boards."))
            .repeated(),
        Option::choice({QStringLiteral("--simulate")}, QStringLiteral("SCENARIO"), simulationScenarioNames(),
                       QStringLiteral("Use simulated boards instead of the USB bus: an up-to-date board with live "
                                      "data, driver settings, motion and PWM, fresh from the factory on every "
                                      "start. With SCENARIO the first board plays a practice scenario: ") +
                           simulationScenarioNames().join(QStringLiteral(", ")) + QLatin1Char('.'))
            .attached(),
        Option::integer({QStringLiteral("--simulate-boards")}, QStringLiteral("N"), 1, MaxSimulatedBoards,
                        QStringLiteral("Put N simulated boards on the bus, {min} to {max}, with the serial numbers "
                                       "SIM60-000001 and on; implies --simulate. The scenario applies to the first "
                                       "board.")),
        Option::file({QStringLiteral("--trace")}, QStringLiteral("FILE"), QString(),
                     QStringLiteral("Append every HID write and every read that returned data to FILE: milliseconds "
                                    "since the start, W or R, and the bytes in hexadecimal. Give a name that begins "
                                    "with - as --trace=NAME.")),
    };
    return options;
}

OptionRead takeBoardOption(const QStringList &args, int &i, BoardOptions &options, QString &error)
{
    const QString &arg = args.at(i);
    if (!CommandLine::find(boardOptionDeclarations(), arg))
        return OptionRead::Other;
    if (arg == QLatin1String("--simulate")) {
        options.simulate = true;
        return OptionRead::Taken;
    }
    if (arg.startsWith(QLatin1String("--simulate="))) {
        options.simulate = true;
        options.scenario = arg.mid(int(sizeof("--simulate=")) - 1);
        if (options.scenario.isEmpty()) {
            error = QStringLiteral("--simulate= needs a scenario name (or use --simulate alone)");
            return OptionRead::Error;
        }
        if (!simulationScenarioNames().contains(options.scenario)) {
            error = QStringLiteral("unknown simulation scenario \"%1\" (known: %2)")
                        .arg(options.scenario, simulationScenarioNames().join(QStringLiteral(", ")));
            return OptionRead::Error;
        }
        return OptionRead::Taken;
    }
    QString value;
    OptionRead read = takeValueOption(args, i, QStringLiteral("--simulate-boards"), QStringLiteral("a number"), value,
                                      error, OptionValue::Number);
    if (read == OptionRead::Taken) {
        bool ok = false;
        options.simulatedBoards = value.toInt(&ok);
        options.simulate = true;
        if (ok && options.simulatedBoards >= 1 && options.simulatedBoards <= MaxSimulatedBoards)
            return OptionRead::Taken;
        read = OptionRead::Error;
    }
    if (read == OptionRead::Error) {
        error = QStringLiteral("--simulate-boards needs a number from 1 to %1").arg(MaxSimulatedBoards);
        return read;
    }
    for (const QString &name : {QStringLiteral("-d"), QStringLiteral("--serial")})
        if ((read = takeValueOption(args, i, name, QStringLiteral("a serial number"), options.serial, error)) !=
            OptionRead::Other) {
            if (read == OptionRead::Taken && !options.serials.contains(options.serial))
                options.serials << options.serial;
            return read;
        }
    return takeValueOption(args, i, QStringLiteral("--trace"), QStringLiteral("a file name"), options.traceFile, error);
}

CommandLine::ManSection simulationManSection(const QString &intro)
{
    CommandLine::ManSection section(QStringLiteral("SIMULATED BOARDS"));
    section.text = intro;
    for (const SimulationScenario &scenario : simulationScenarios())
        section.items.emplace_back(scenario.name, QStringLiteral("The first board %1.").arg(scenario.description));
    return section;
}

QString boardOptionsUsage()
{
    QStringList usage;
    for (const CommandLine::Option &option : boardOptionDeclarations())
        usage << option.usage();
    return usage.join(QLatin1Char(' '));
}
