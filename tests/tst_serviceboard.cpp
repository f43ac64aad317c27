// The board's service through its socket, on the simulated board: what a
// script sees of identity, live reports and motion, and the answers to
// requests that are wrong in every way a line can be wrong.
#include "service/ServiceHost.h"
#include "service/ServicePaths.h"
#include "support/ServiceRig.h"

#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

// The board served as the holders serve it: the socket follows the board,
// going when it is lost and coming back when it is found again.
struct HostedRig
{
    QTemporaryDir runtime;
    LinkRig link;
    TestWallClock wallClock{link.clock, QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7), Qt::UTC), 3600};
    BoardService service{link.drv, link.clock, wallClock};
    ServiceHost host{service, link.drv, &link.logger};

    HostedRig()
    {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        service.setHolder(QStringLiteral("torvan60"), 4242);
        service.setLogger(&link.logger);
        link.drv.TrajectoryData.PosLimitUpper = 100000; // the holders' limits: 0 to 100000
    }

    // One report period of the board's time, the link looking for the
    // board while it is away, and a turn of the holder's event loop.
    void tick()
    {
        link.clock.advance(1000 / link.board.liveReportsPerSecond);
        if (!link.drv.IsConnected())
            link.enumerationTick();
        for (int reads = 0; reads < 64 && link.drv.IsConnected(); ++reads) {
            link.receiveTick();
            if (link.board.readyReports() == 0)
                break;
        }
        service.poll();
        serveUntil([] { return true; });
    }
    // Ticks until done() holds, at most seconds of the board's time.
    template <class Done> bool tickUntil(Done done, int seconds = 10)
    {
        for (int i = 0; i < seconds * link.board.liveReportsPerSecond && !done(); ++i)
            tick();
        return done();
    }
    int logged(const QString &start) const
    {
        const QStringList texts = link.pane.texts();
        return int(std::count_if(texts.begin(), texts.end(), [&](const QString &t) { return t.startsWith(start); }));
    }
};

} // namespace

class TestServiceBoard : public QObject
{
    Q_OBJECT

    std::unique_ptr<ServiceRig> rig;
    std::unique_ptr<RawClient> client;

    // The answer to a request whose answer waits for the board: live reports
    // come one by one until it is there.
    QJsonObject callWhileRunning(const QString &method, const QJsonObject &params, int maxReports = 500)
    {
        const int id = client->nextId++;
        client->writeLine(Rpc::request(id, method, params));
        for (int i = 0; i < maxReports; ++i) {
            client->readAvailable();
            while (client->input.contains('\n')) {
                const QByteArray line = client->readLine();
                const QJsonObject object = QJsonDocument::fromJson(line).object();
                if (object.value("id").toInt(-1) == id)
                    return object;
                client->notifications.append(object);
            }
            rig->tick();
            serveUntil([] { return true; });
        }
        return QJsonObject();
    }

    // Lines sent before an answer come before it: a hello answered last
    // means every notification up to now is in.
    void takeEverythingSent() { QVERIFY(client->call("hello").contains("result")); }

    int position() const { return rig->link.board.model.axis.position(); }

private slots:
    void init()
    {
        rig = std::make_unique<ServiceRig>();
        QVERIFY(rig->start());
        client = std::make_unique<RawClient>(rig->server.path());
        QVERIFY(client->connected);
    }
    void cleanup()
    {
        client.reset();
        rig.reset();
    }

    void helloAndStatus()
    {
        const QJsonObject hello = client->call("hello", {{"program", "sequence.py"}}).value("result").toObject();
        QCOMPARE(hello.value("protocol").toInt(), 1);
        QCOMPARE(hello.value("program").toString(), QString("torvan60"));
        QCOMPARE(hello.value("pid").toInt(), 4242);
        QCOMPARE(hello.value("serial").toString(), QString("SIM60-000001"));

        rig->link.board.model.position = 1234;
        rig->tick(2);
        const QJsonObject status = client->call("status").value("result").toObject();
        QCOMPARE(status.value("position").toInt(), 1234);
        QCOMPARE(status.value("speed").toInt(), 0);
        QCOMPARE(status.value("time").toString(), rig->wallClock.now().toDateTime().toString(Qt::ISODateWithMs));

        // The name it gave is the one the holder logs its commands under.
        client->call("sleep");
        QVERIFY(rig->logged(QStringLiteral("Remote command from sequence.py (pid %1): sleep").arg(::getpid())));
    }

    void malformedRequests_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("code"); // 0: no answer at all
        QTest::addColumn<QJsonValue>("id");
        QTest::addColumn<QString>("message");
        const QJsonValue null(QJsonValue::Null);
        QTest::newRow("not JSON") << QByteArray("nonsense") << -32700 << null << "parse error: not JSON";
        QTest::newRow("cut short") << QByteArray(R"({"jsonrpc":"2.0","id":1,"met)") << -32700 << null << "not JSON";
        QTest::newRow("batch") << QByteArray(R"([{"jsonrpc":"2.0","id":1,"method":"hello"}])") << -32600 << null
                               << "batches";
        QTest::newRow("old protocol") << QByteArray(R"({"jsonrpc":"1.0","id":3,"method":"hello"})") << -32600
                                      << QJsonValue(3) << "\"jsonrpc\"";
        QTest::newRow("no method") << QByteArray(R"({"jsonrpc":"2.0","id":"four"})") << -32600 << QJsonValue("four")
                                   << "\"method\"";
        QTest::newRow("id an object") << QByteArray(R"({"jsonrpc":"2.0","id":{"a":1},"method":"hello"})") << -32600
                                      << null << "\"id\"";
        QTest::newRow("positional params") << QByteArray(R"({"jsonrpc":"2.0","id":5,"method":"move","params":[1]})")
                                           << -32600 << QJsonValue(5) << "named";
        QTest::newRow("unknown method") << QByteArray(R"({"jsonrpc":"2.0","id":6,"method":"fly"})") << -32601
                                        << QJsonValue(6) << "unknown method \"fly\"";
        QTest::newRow("text for a number")
            << QByteArray(R"({"jsonrpc":"2.0","id":7,"method":"subscribe","params":{"every":"often"}})") << -32602
            << QJsonValue(7) << "\"every\"";
        QTest::newRow("fraction for steps")
            << QByteArray(R"({"jsonrpc":"2.0","id":8,"method":"move","params":{"target":1.5}})") << -32602
            << QJsonValue(8) << "\"target\"";
        QTest::newRow("huge number") << QByteArray(
                                            R"({"jsonrpc":"2.0","id":9,"method":"move","params":{"target":1e300}})")
                                     << -32602 << QJsonValue(9) << "\"target\"";
        QTest::newRow("missing parameter") << QByteArray(R"({"jsonrpc":"2.0","id":10,"method":"run"})") << -32602
                                           << QJsonValue(10) << "\"speed\" is missing";
        QTest::newRow("unknown parameter")
            << QByteArray(R"({"jsonrpc":"2.0","id":11,"method":"status","params":{"verbose":true}})") << -32602
            << QJsonValue(11) << "unknown parameter \"verbose\"";
        QTest::newRow("notification of nothing")
            << QByteArray(R"({"jsonrpc":"2.0","method":"fly"})") << 0 << null << "";
        QTest::newRow("wrong notification")
            << QByteArray(R"({"jsonrpc":"2.0","method":"move","params":{"target":"x"}})") << 0 << null << "";
    }
    void malformedRequests()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, code);
        QFETCH(QJsonValue, id);
        QFETCH(QString, message);
        const int moves = rig->link.count(Report::CmdWriteTrajectory);
        client->writeLine(line);
        client->writeLine(Rpc::request(99, "hello", {}));
        QJsonObject answer = QJsonDocument::fromJson(client->readLine()).object();
        if (code != 0) {
            QCOMPARE(errorCode(answer), code);
            QCOMPARE(answer.value("id"), id);
            const QString text = answer.value("error").toObject().value("message").toString();
            QVERIFY2(text.contains(message), qPrintable(text));
            answer = QJsonDocument::fromJson(client->readLine()).object();
        }
        // The connection goes on; the next answer is the hello's.
        QCOMPARE(answer.value("id").toInt(), 99);
        QVERIFY(answer.contains("result"));
        QCOMPARE(rig->link.count(Report::CmdWriteTrajectory), moves);
    }

    // Requests queued behind one that waits for the board are bounded; the
    // ones over the bound are refused at once, the others answered in turn.
    void waitingRequestsBounded()
    {
        QByteArray lines = Rpc::request(1, "reset_faults", {}) + '\n'; // waits for three reports
        for (int id = 2; id <= 71; ++id)
            lines += Rpc::request(id, "status", {}) + '\n';
        QVERIFY(client->write(lines));
        for (int id = 66; id <= 71; ++id) {
            const QJsonObject refusal = QJsonDocument::fromJson(client->readLine()).object();
            QCOMPARE(refusal.value("id").toInt(), id);
            QCOMPARE(errorCode(refusal), int(Rpc::Refused));
        }
        rig->tick(5); // the faults are reset; the queue runs
        QList<int> answered, expected;
        for (int id = 1; id <= 65; ++id) {
            answered << QJsonDocument::fromJson(client->readLine()).object().value("id").toInt();
            expected << id;
        }
        QCOMPARE(answered, expected);
    }

    void liveReportsEveryNth()
    {
        QCOMPARE(client->call("subscribe", {{"every", 3}}).value("result").toObject(), QJsonObject());
        rig->tick(10);
        takeEverythingSent();
        QCOMPARE(client->notifications.size(), 3);
        for (const QJsonObject &live : client->notifications) {
            QCOMPARE(live.value("method").toString(), QString("live"));
            QVERIFY(live.value("params").toObject().contains("position"));
            QVERIFY(!live.value("params").toObject().contains("raw"));
        }

        // Subscribing again changes the pace and the form.
        client->notifications.clear();
        client->call("subscribe", {{"every", 2}, {"raw", true}});
        rig->tick(5);
        takeEverythingSent();
        QCOMPARE(client->notifications.size(), 2);
        QVERIFY(client->notifications.front().value("params").toObject().value("raw").toObject().contains(
            "supply_voltage"));

        client->notifications.clear();
        client->call("unsubscribe");
        rig->tick(6);
        takeEverythingSent();
        QCOMPARE(client->notifications.size(), 0);
    }

    void moveMovesTheMotor()
    {
        const QJsonObject profile{{"max_speed", 4000}, {"accel", 20000}, {"decel", 20000}};
        QJsonObject params = profile;
        params.insert("target", 2000);
        const QJsonObject answer = callWhileRunning("move", params);
        QCOMPARE(answer.value("result").toObject(), QJsonObject({{"target", 2000}, {"from", 0}}));
        QVERIFY(position() < 2000);

        client->call("subscribe", {{"every", 5}});
        client->notifications.clear();
        for (int i = 0; i < 200 && position() != 2000; ++i)
            rig->tick();
        QCOMPARE(position(), 2000);
        rig->tick(5);
        takeEverythingSent();
        QVERIFY(client->notifications.size() > 2);
        const QJsonObject last = client->notifications.last().value("params").toObject();
        QCOMPARE(last.value("position").toInt(), 2000);
        QCOMPARE(last.value("speed").toInt(), 0);
        // Positions on the way came in rising.
        int previous = -1;
        for (const QJsonObject &live : client->notifications) {
            const int at = live.value("params").toObject().value("position").toInt();
            QVERIFY(at >= previous);
            previous = at;
        }
    }

    void stopEndsARun()
    {
        const QJsonObject run =
            callWhileRunning("run", {{"speed", 3000}, {"max_speed", 4000}, {"accel", 50000}, {"decel", 50000}});
        QVERIFY2(run.contains("result"), QJsonDocument(run).toJson());
        rig->tick(10);
        const int running = position();
        QVERIFY(running > 0);
        QVERIFY(rig->link.board.model.axis.speed() > 0);

        const QJsonObject stop = callWhileRunning("stop", {});
        QVERIFY2(stop.contains("result"), QJsonDocument(stop).toJson());
        QCOMPARE(rig->link.board.model.axis.speed(), 0.0);
        const int stoppedAt = stop.value("result").toObject().value("position").toInt();
        QVERIFY(stoppedAt > running);
        rig->tick(10);
        QCOMPARE(position(), stoppedAt);
        QVERIFY(rig->logged(QStringLiteral("Remote command from ")));
    }

    // A loose cable: the board leaves the bus as a move starts, while the
    // client's next request waits its turn and its stop waits for the
    // motor. Each is answered once, the ones the loss cut short with the
    // lost-board error, before the connection ends; nothing is sent to the
    // client after it is gone, and the board is served again once it is
    // back.
    void boardLostWithRequestsWaiting_data()
    {
        QTest::addColumn<QString>("queued");
        // Awake, the move goes out as its line is taken: the board is lost
        // before the lines after it are.
        QTest::addColumn<bool>("awake");
        QTest::newRow("enable") << "enable" << false;
        QTest::newRow("home") << "home" << false;
        QTest::newRow("sleep") << "sleep" << false;
        QTest::newRow("enable, the driver awake") << "enable" << true;
    }
    void boardLostWithRequestsWaiting()
    {
        QFETCH(QString, queued);
        QFETCH(bool, awake);
        HostedRig hosted;
        hosted.link.board.onCommand = [](SimulatedBoard &board, const ReceivedCommand &command) {
            if (command.code() == Report::CmdWriteTrajectory)
                board.leaveBusFor(1000);
        };
        hosted.link.connectBoard();
        QVERIFY(hosted.tickUntil([&] { return hosted.host.server().isListening(); }));
        if (awake) {
            hosted.link.drv.EnableDriver();
            QVERIFY(hosted.tickUntil([&] { return hosted.link.drv.RTData.InpSleep; }));
        }
        RawClient raw(hosted.host.server().path());
        QVERIFY(raw.connected);
        QVERIFY(raw.write(Rpc::request(1, "move", {{"target", 3000}}) + '\n' + Rpc::request(2, queued, {}) + '\n' +
                          Rpc::request(3, "stop", {}) + '\n'));
        QVERIFY(hosted.tickUntil([&] { return !raw.readAvailable(); }));

        QMap<int, QJsonObject> answers;
        for (const QByteArray &line : raw.input.split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject answer = QJsonDocument::fromJson(line).object();
            const int id = answer.value("id").toInt();
            QVERIFY2(!answers.contains(id), line.constData());
            answers.insert(id, answer);
        }
        QCOMPARE(answers.keys(), (QList<int>{1, 2, 3}));
        // The move went out before the board left.
        QCOMPARE(answers[1].value("result").toObject(), QJsonObject({{"target", 3000}, {"from", 0}}));
        for (const int id : {2, 3}) {
            QCOMPARE(errorCode(answers[id]), int(Rpc::BoardLost));
            QCOMPARE(answers[id].value("error").toObject().value("message").toString(),
                     QStringLiteral("board SIM60-000001 was lost"));
        }

        // Back on the bus: served again, and a new client is answered.
        QVERIFY(hosted.tickUntil([&] { return hosted.logged(QStringLiteral("Serving board SIM60-000001")) == 2; }));
        RawClient again(hosted.host.server().path());
        QVERIFY(again.connected);
        const int id = again.nextId++;
        again.writeLine(Rpc::request(id, "stop", {}));
        QJsonObject stopped;
        QVERIFY(hosted.tickUntil([&] {
            again.readAvailable();
            if (again.input.contains('\n'))
                stopped = QJsonDocument::fromJson(again.input.left(again.input.indexOf('\n'))).object();
            return !stopped.isEmpty();
        }));
        QVERIFY2(stopped.contains("result"), QJsonDocument(stopped).toJson());
    }
};

QTEST_GUILESS_MAIN(TestServiceBoard)
#include "tst_serviceboard.moc"
