#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "firmware/FirmwareImage.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torvan60ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TORVAN_VERSION));

    CliOptions options;
    const QString error = parseCliOptions(QCoreApplication::arguments(), options);
    if (!error.isEmpty()) {
        Out::error(error + QStringLiteral(" (see torvan60ctl --help)"));
        return Exit::Usage;
    }
    if (options.help) {
        Out::raw(usageText());
        return Exit::Ok;
    }
    if (options.version) {
        Out::line(QString::asprintf("torvan60ctl %s (firmware image 0x%02X%02X)", TORVAN_VERSION,
                                    unsigned(UpdateVersion[0]), unsigned(UpdateVersion[1])));
        return Exit::Ok;
    }
    if (options.words.isEmpty()) {
        Out::error(QStringLiteral("no command given (see torvan60ctl --help)"));
        return Exit::Usage;
    }
    Session session(options);
    if (const int code = session.open())
        return code;
    return runCommand(session, options.words);
}
