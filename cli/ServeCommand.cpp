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

int serve(Session &session, const CommandArgs &args)
{
    std::optional<MqttConfig> mqtt;
    if (const int code = takeMqttOptions(args, mqtt))
        return code;
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

} // namespace

std::vector<Command> serveCommands()
{
    return {
        {QStringLiteral("serve"),
         QStringLiteral("hold the board and serve it to other programs"),
         QStringLiteral("Holds the board and serves it to other programs of the user on its local socket, "
                        "$XDG_RUNTIME_DIR/torvan60/SERIAL.sock (docs/service.md), until Ctrl-C or SIGTERM (exit "
                        "0); finds it again after an unplug, as the window does. Other torvan60ctl commands, the "
                        "Python package and scripts reach the board through it. The event log goes to stderr (and "
                        "to log.txt with --log). With --mqtt it is also published to an MQTT broker: its state, "
                        "events and, for the methods --mqtt-allow names, commands; with --mqtt-discovery as Home "
                        "Assistant devices, with --sparkplug as a Sparkplug B edge node (docs/mqtt.md). A board "
                        "another program serves already (the window on a simulated board of its own, say) ends it "
                        "at once, naming that program."),
         {{QString(), {}, mqttOptions(), QString(), serve}},
         {{Exit::Failed, QStringLiteral("the MQTT bridge could not start (the message says why)")},
          {Exit::NoBoard, QStringLiteral("no board, the board is held by another program, or another program "
                                         "serves it already")}},
         {{QStringLiteral("torvan60ctl --simulate serve"),
           QStringLiteral("Serves a simulated board until Ctrl-C; in another terminal, \"torvan60ctl -d "
                          "SIM60-000001 status\" (without --simulate) reaches it:"),
           true},
          {QStringLiteral("torvan60ctl --simulate serve --mqtt mqtt://localhost --mqtt-allow stop,move"),
           QStringLiteral("And publishes it to the broker on this machine, which may call stop and move (a broker "
                          "that is away is tried again in the background):"),
           true}}},
    };
}

} // namespace Cli
