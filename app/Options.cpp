#include "app/Options.h"

#include <QDir>

Options parseOptions(const QStringList &args)
{
    Options options;
    for (int i = 1; i < args.size() && options.error.isEmpty(); ++i) {
        const QString &arg = args.at(i);
        if (takeBoardOption(args, i, options.board, options.error) != OptionRead::Other)
            continue;
        QString value;
        if (takeValueOption(args, i, QStringLiteral("--open"), QStringLiteral("a file name"), value, options.error) ==
            OptionRead::Taken)
            options.openFile = value;
        else if (!options.error.isEmpty())
            break;
        else if (takeValueOption(args, i, QStringLiteral("--lang"), QStringLiteral("a language code"), value,
                                 options.error) == OptionRead::Taken)
            options.language = value;
        else if (!options.error.isEmpty())
            break;
        else if (arg == QLatin1String("--user-dir"))
            options.userDir = true;
        else if (arg == QLatin1String("--check"))
            options.check = true;
        else if (arg == QLatin1String("--no-service"))
            options.noService = true;
        else
            options.ignored << arg;
    }
    return options;
}

QString optionsUsage()
{
    return QStringLiteral("options: ") + boardOptionsUsage() +
           QStringLiteral(" --open FILE.csv --lang CODE --user-dir --check --no-service");
}
