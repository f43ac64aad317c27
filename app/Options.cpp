#include "app/Options.h"

#include "device/sim/Scenarios.h"

#include <QDir>

namespace {

using CommandLine::Option;

// The window's own options, after the shared ones.
const CommandLine::Options &ownOptions()
{
    static const CommandLine::Options options = {
        Option::file({QStringLiteral("--open")}, QStringLiteral("FILE.csv"), QStringLiteral("*.csv"),
                     QStringLiteral("Start with this recording or fault record shown on the Records page; the "
                                    "board connection works as usual beside it. A file that cannot be shown says "
                                    "why there.")),
        Option::text({QStringLiteral("--lang")}, QStringLiteral("CODE"),
                     QStringLiteral("Show the window in this language: de (German) or en (English). Without it the "
                                    "window takes the language of the locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), "
                                    "English where there is no translation. An unknown code starts it in English, "
                                    "with a warning on stderr. The log, files and output for programs stay "
                                    "English.")),
        Option::flag({QStringLiteral("--user-dir")},
                     QStringLiteral("Run in the per-user folder, $XDG_STATE_HOME/torvan60 or "
                                    "~/.local/state/torvan60, made when missing, so that the log and the fault "
                                    "records go there; the desktop menu entry starts the tool so. Otherwise it runs, "
                                    "and writes, in the folder it was started in.")),
        Option::flag({QStringLiteral("--check")},
                     QStringLiteral("Start as usual (the log gets its start line), then print the file each picture "
                                    "was loaded from, where the log is written and the language of the window, and "
                                    "exit instead of showing the window: 0 when every picture loaded, 1 "
                                    "otherwise.")),
        Option::flag({QStringLiteral("--no-service")},
                     QStringLiteral("Do not serve the board to other programs on its local socket.")),
    };
    return options;
}

} // namespace

Options parseOptions(const QStringList &args)
{
    Options options;
    for (int i = 1; i < args.size() && options.error.isEmpty(); ++i) {
        const QString &arg = args.at(i);
        if (takeBoardOption(args, i, options.board, options.error) != OptionRead::Other)
            continue;
        const Option *option = CommandLine::find(ownOptions(), arg);
        if (!option) {
            options.ignored << arg;
            continue;
        }
        if (option->name() == QLatin1String("--open"))
            takeValueOption(args, i, option->name(), option->what(), options.openFile, options.error);
        else if (option->name() == QLatin1String("--lang"))
            takeValueOption(args, i, option->name(), option->what(), options.language, options.error);
        else if (option->name() == QLatin1String("--user-dir"))
            options.userDir = true;
        else if (option->name() == QLatin1String("--check"))
            options.check = true;
        else if (option->name() == QLatin1String("--no-service"))
            options.noService = true;
    }
    return options;
}

const CommandLine::Options &windowOptionDeclarations()
{
    static const CommandLine::Options options = [] {
        CommandLine::Options all = boardOptionDeclarations();
        all.insert(all.end(), ownOptions().begin(), ownOptions().end());
        return all;
    }();
    return options;
}

QString optionsUsage()
{
    QStringList usage;
    for (const Option &option : windowOptionDeclarations())
        usage << option.usage();
    return QStringLiteral("options: ") + usage.join(QLatin1Char(' '));
}
