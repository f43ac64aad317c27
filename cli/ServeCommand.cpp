#include "cli/CommandSupport.h"

#include "cli/Output.h"
#include "cli/ServeMqtt.h"
#include "log/Logger.h"
#include "service/BoardPresence.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace Cli {

namespace {

// The event log of a headless holder goes to stderr (a service manager's
// journal), besides log.txt with --log.
class StderrPane : public LogPane
{
public:
    void appendLine(const QString &line) override
    {
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        std::fflush(stderr);
    }
};

} // namespace

int cmdServe(Session &session, CommandArgs &args)
{
    std::optional<MqttConfig> mqtt;
    if (const int code = takeMqttOptions(args, mqtt))
        return code;
    if (!args.done())
        return argsError(args);
    if (const int code = session.connectBoard(Need::Identity))
        return code;
    if (session.remote()) {
        Out::error(QStringLiteral("board %1 is already served by %2").arg(session.serial(), session.holder()));
        return Exit::NoBoard;
    }
    BoardHolder &board = session.board();
    StderrPane stderrPane;
    Logger log(nullptr, QString(), &stderrPane);
    board.service.setHolder(QCoreApplication::applicationName(), QCoreApplication::applicationPid());
    board.service.setLogger(&log);
    BoardPresence presence(board.drv);
    QObject::connect(&presence, &BoardPresence::arrived, &log,
                     [&log](const QString &serial) { log.write(QStringLiteral("Serving board ") + serial); });
    QObject::connect(&presence, &BoardPresence::left, &log,
                     [&log](const QString &serial) { log.write(QStringLiteral("Board lost: ") + serial); });
    if (presence.isPresent())
        log.write(QStringLiteral("Serving board ") + presence.serial());
    // Said offline and disconnected before the board is let go.
    std::unique_ptr<MqttBridge> bridge;
    if (mqtt)
        bridge = startMqttBridge(*mqtt, session.serial(), board, presence, log);

    // Served until Ctrl-C or SIGTERM; the board is found again after a loss
    // as the window finds it.
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&loop] {
        if (Session::interrupted())
            loop.quit();
    });
    watch.start(50);
    loop.exec();
    bridge.reset();
    board.service.setLogger(nullptr);
    log.write(QStringLiteral("Stopped serving board ") + session.serial());
    return Exit::Ok;
}

} // namespace Cli
