#include "app/Options.h"

#include <QDir>

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

// The value of an option that takes one, written "--name VALUE" or
// "--name=VALUE", moving i past a separate value. Null when args[i] is not
// that option; an unusable value sets the error.
QString valueOption(const QStringList &args, int &i, const QString &name, const QString &what, Options &options)
{
    const QString &arg = args.at(i);
    if (arg == name) {
        if (i + 1 >= args.size() || args.at(i + 1).isEmpty() || isOption(args.at(i + 1))) {
            options.error = name + QStringLiteral(" needs ") + what;
            return QString();
        }
        return args.at(++i);
    }
    if (!arg.startsWith(name + QLatin1Char('=')))
        return QString();
    const QString value = inlineValue(arg, name);
    if (value.isEmpty())
        options.error = name + QStringLiteral("= needs ") + what;
    return value;
}

} // namespace

Options parseOptions(const QStringList &args)
{
    Options options;
    const QString simulate = QStringLiteral("--simulate");
    const QString boards = QStringLiteral("--simulate-boards");
    for (int i = 1; i < args.size() && options.error.isEmpty(); ++i) {
        const QString &arg = args.at(i);
        QString value;
        if (arg == simulate) {
            options.simulate = true;
        } else if (arg.startsWith(boards + QLatin1Char('='))) {
            bool ok = false;
            const int count = inlineValue(arg, boards).toInt(&ok);
            if (!ok || count < 1 || count > MaxSimulatedBoards)
                options.error = QStringLiteral("--simulate-boards= needs a number from 1 to %1").arg(MaxSimulatedBoards);
            options.simulate = true;
            options.simulatedBoards = count;
        } else if (arg.startsWith(simulate + QLatin1Char('='))) {
            options.simulate = true;
            options.scenario = inlineValue(arg, simulate);
            if (options.scenario.isEmpty())
                options.error = QStringLiteral("--simulate= needs a scenario name (or use --simulate alone)");
        } else if (!(value = valueOption(args, i, QStringLiteral("--trace"), QStringLiteral("a file name"), options)).isNull()) {
            options.traceFile = value;
        } else if (!(value = valueOption(args, i, QStringLiteral("--serial"), QStringLiteral("a serial number"), options)).isNull()) {
            options.serial = value;
        } else if (!(value = valueOption(args, i, QStringLiteral("--open"), QStringLiteral("a file name"), options)).isNull()) {
            options.openFile = value;
        } else if (!options.error.isEmpty()) {
            break;
        } else if (arg == QLatin1String("--user-dir")) {
            options.userDir = true;
        } else if (arg == QLatin1String("--check")) {
            options.check = true;
        } else {
            options.ignored << arg;
        }
    }
    return options;
}

QString optionsUsage(const QStringList &scenarioNames)
{
    return QStringLiteral("options: --simulate[=") + scenarioNames.join(QLatin1Char('|')) +
           QStringLiteral("] --simulate-boards=N --serial SERIAL --trace FILE --open FILE.csv --user-dir --check");
}

QString userFolder(const QString &xdgStateHome, const QString &home)
{
    // A relative XDG_STATE_HOME is invalid and must be ignored.
    QString base;
    if (QDir::isAbsolutePath(xdgStateHome))
        base = xdgStateHome;
    else if (QDir::isAbsolutePath(home))
        base = home + QLatin1String("/.local/state");
    else
        return QString();
    return QDir::cleanPath(base + QLatin1String("/torvan60"));
}

QString userFolder()
{
    return userFolder(qEnvironmentVariable("XDG_STATE_HOME"), qEnvironmentVariable("HOME"));
}
