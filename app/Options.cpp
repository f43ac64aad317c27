#include "app/Options.h"

namespace {

// The value of an option written "--name=value", or a null text when arg is
// not that option.
QString inlineValue(const QString &arg, const QString &name)
{
    const QString prefix = name + QLatin1Char('=');
    return arg.startsWith(prefix) ? arg.mid(prefix.size()) : QString();
}

// An argument that begins with "-" is an option, never a value: a trace
// file named like an option is given as --trace=NAME.
bool isOption(const QString &arg)
{
    return arg.startsWith(QLatin1Char('-'));
}

} // namespace

Options parseOptions(const QStringList &args)
{
    Options options;
    const QString simulate = QStringLiteral("--simulate");
    const QString trace = QStringLiteral("--trace");
    for (int i = 1; i < args.size() && options.error.isEmpty(); ++i) {
        const QString &arg = args.at(i);
        if (arg == simulate) {
            options.simulate = true;
        } else if (arg.startsWith(simulate + QLatin1Char('='))) {
            options.simulate = true;
            options.scenario = inlineValue(arg, simulate);
            if (options.scenario.isEmpty())
                options.error = QStringLiteral("--simulate= needs a scenario name (or use --simulate alone)");
        } else if (arg == trace) {
            if (i + 1 >= args.size() || args.at(i + 1).isEmpty() || isOption(args.at(i + 1)))
                options.error = QStringLiteral("--trace needs a file name");
            else
                options.traceFile = args.at(++i);
        } else if (arg.startsWith(trace + QLatin1Char('='))) {
            options.traceFile = inlineValue(arg, trace);
            if (options.traceFile.isEmpty())
                options.error = QStringLiteral("--trace= needs a file name");
        } else {
            options.ignored << arg;
        }
    }
    return options;
}

QString optionsUsage(const QStringList &scenarioNames)
{
    return QStringLiteral("options: --simulate[=") + scenarioNames.join(QLatin1Char('|')) +
           QStringLiteral("] --trace FILE");
}
