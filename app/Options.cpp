#include "app/Options.h"

#include <QDir>

// The options that choose the board: "--serial SERIAL" (or "=SERIAL"; a
// following option is never taken as the serial) and "--simulate-boards=N",
// which implies --simulate. False when args[i] is none of them or its value
// is unusable; i moves past a separate value.
static bool parseBoardOption(const QStringList &args, int &i, Options &options)
{
    const QString &arg = args.at(i);
    if (arg == QLatin1String("--serial") && i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1String("--"))) {
        options.serial = args.at(++i);
        return true;
    }
    if (arg.startsWith(QLatin1String("--serial="))) {
        options.serial = arg.mid(int(sizeof("--serial=")) - 1);
        return true;
    }
    if (arg.startsWith(QLatin1String("--simulate-boards="))) {
        bool ok = false;
        const int count = arg.mid(int(sizeof("--simulate-boards=")) - 1).toInt(&ok);
        if (!ok || count < 1 || count > MaxSimulatedBoards)
            return false;
        options.simulate = true;
        options.simulatedBoards = count;
        return true;
    }
    return false;
}

Options parseOptions(const QStringList &args)
{
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--simulate")) {
            options.simulate = true;
        } else if (arg.startsWith(QLatin1String("--simulate="))) {
            options.simulate = true;
            options.scenario = arg.mid(int(sizeof("--simulate=")) - 1);
        } else if (arg == QLatin1String("--trace") && i + 1 < args.size()) {
            options.traceFile = args.at(++i);
        } else if (arg.startsWith(QLatin1String("--trace="))) {
            options.traceFile = arg.mid(int(sizeof("--trace=")) - 1);
        } else if (arg == QLatin1String("--user-dir")) {
            options.userDir = true;
        } else if (arg == QLatin1String("--check")) {
            options.check = true;
        } else if (!parseBoardOption(args, i, options)) {
            options.ignored << arg;
        }
    }
    return options;
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
