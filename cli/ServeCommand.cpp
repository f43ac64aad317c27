#include "cli/CommandSupport.h"

#include "cli/Output.h"
#include "cli/ServeMqtt.h"
#include "log/Logger.h"
#include "service/ServiceHost.h"

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
    BoardHolder &board = session.board();
    StderrPane stderrPane;
    Logger log(nullptr, QString(), &stderrPane);
    board.service.setHolder(QCoreApplication::applicationName(), QCoreApplication::applicationPid());
    board.service.setLogger(&log);
    // The socket follows the board from its connection on: it goes when the
    // board is lost and comes back when the board is found again.
    ServiceHost host(board.service, board.drv, &log);
    if (const int code = session.connectBoard(Need::Identity))
        return code;
    if (session.remote()) {
        Out::error(QStringLiteral("board %1 is already served by %2").arg(session.serial(), session.holder()));
        return Exit::NoBoard;
    }
    // Said offline and disconnected before the board is let go.
    std::unique_ptr<MqttBridge> bridge;
    if (mqtt) {
        bridge = startMqttBridge(*mqtt, session.serial(), board, host.presence(), log);
        if (!bridge)
            return Exit::Failed;
    }

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
