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
    // Served until Ctrl-C or SIGTERM, or until the board turns out to be
    // served already by another program (one that holds a simulated board
    // of its own, or took it first): then this one has nothing to do.
    QEventLoop loop;
    QString servedElsewhere;
    // The bridge starts once the board is served here, so that a holder
    // that gives way never publishes over the one that serves the board. One
    // that cannot start (its error said) ends the holder.
    std::unique_ptr<MqttBridge> bridge;
    bool bridgeFailed = false;
    QObject::connect(&host, &ServiceHost::tried, &loop, [&](const QString &, const QString &why) {
        if (host.server().servedElsewhere()) {
            servedElsewhere = why;
            loop.quit();
        } else if (mqtt && !bridge && !bridgeFailed) {
            bridge = startMqttBridge(*mqtt, session.serial(), board, host.presence(), log);
            bridgeFailed = !bridge;
            if (bridgeFailed)
                loop.quit();
        }
    });
    if (const int code = session.connectBoard(Need::Identity))
        return code;
    if (session.remote()) {
        Out::error(QStringLiteral("board %1 is already served by %2").arg(session.serial(), session.holder()));
        return Exit::NoBoard;
    }

    // The board is found again after a loss as the window finds it.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&loop] {
        if (Session::interrupted())
            loop.quit();
    });
    watch.start(50);
    if (servedElsewhere.isEmpty() && !bridgeFailed)
        loop.exec();
    // Said offline and disconnected before the board is let go.
    bridge.reset();
    board.service.setLogger(nullptr);
    if (!servedElsewhere.isEmpty()) {
        Out::error(servedElsewhere);
        return Exit::NoBoard;
    }
    if (host.everServed())
        log.write(QStringLiteral("Stopped serving board ") + session.serial());
    return bridgeFailed ? Exit::Failed : Exit::Ok;
}

} // namespace Cli
