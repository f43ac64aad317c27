// The board's service as its clients meet it: answers and errors by the
// protocol, the order of one client's requests, a stop that does not wait
// its turn, live reports every n-th, clients that leave or are restricted,
// and a board lost under a waiting request. The service runs on a simulated
// board on a manual clock.
#include "service/BoardService.h"
#include "support/LinkRig.h"
#include "support/TestWallClock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <cstdlib>

namespace {

struct Peer : ServicePeer
{
    explicit Peer(const QString &name = QStringLiteral("client"))
    {
        program = name;
        pid = 77;
    }
    void send(const QByteArray &line) override { lines << line; }
    QJsonObject take() { return lines.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(lines.takeFirst()).object(); }
    QList<QByteArray> lines;
};

QByteArray request(int id, const char *method, const QJsonObject &params = QJsonObject())
{
    return Rpc::request(id, QString::fromLatin1(method), params);
}

int errorCode(const QJsonObject &answer)
{
    return answer.value(QLatin1String("error")).toObject().value(QLatin1String("code")).toInt();
}

// A connected simulated board with its service.
struct ServiceRig : LinkRig
{
    TestWallClock wall{clock, QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7), Qt::UTC), 3600};
    BoardService service{drv, clock, wall};
    Peer peer;

    ServiceRig()
    {
        service.setHolder(QStringLiteral("torvan60"), 4242);
        service.setLogger(&logger);
        drv.TrajectoryData.PosLimitUpper = 100000; // the holders' limits: 0 to 100000
        connectBoard();
        run(100);
        service.attach(&peer);
    }
    // The board's world and its live stream for ms milliseconds.
    void run(int ms)
    {
        for (int t = 0; t < ms; t += 10) {
            clock.advance(10);
            receiveTick();
            service.poll();
        }
    }
    // Runs until the peer has count lines, at most 5 s of board time.
    void runUntil(Peer &p, int count = 1)
    {
        for (int t = 0; t < 5000 && p.lines.size() < count; t += 10)
            run(10);
    }
};

} // namespace

class TestBoardService : public QObject
{
    Q_OBJECT

private slots:
    void faultyRequestsGetTheirErrorAndTheConnectionStays_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message"); // a part of it
        QTest::newRow("not JSON") << QByteArray("nonsense") << int(Rpc::ParseError) << "not JSON";
        QTest::newRow("two numbers") << QByteArray("1, 2") << int(Rpc::ParseError) << "not JSON";
        QTest::newRow("a number alone") << QByteArray("42") << int(Rpc::InvalidRequest) << "not an object";
        QTest::newRow("null alone") << QByteArray("null") << int(Rpc::InvalidRequest) << "not an object";
        QTest::newRow("a batch") << QByteArray(R"([{"jsonrpc":"2.0","id":1,"method":"status"}])")
                                 << int(Rpc::InvalidRequest) << "batches";
        QTest::newRow("no version") << QByteArray(R"({"id":1,"method":"status"})") << int(Rpc::InvalidRequest)
                                    << "jsonrpc";
        QTest::newRow("method not a text")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":7})") << int(Rpc::InvalidRequest) << "method";
        QTest::newRow("positional params") << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"move","params":[5000]})")
                                           << int(Rpc::InvalidRequest) << "named";
        QTest::newRow("unknown method") << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"fly"})")
                                        << int(Rpc::MethodNotFound) << "fly";
        QTest::newRow("target of the wrong type")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"target":"far"}})")
            << int(Rpc::InvalidParams) << "\"target\"";
        QTest::newRow("target missing") << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{}})")
                                        << int(Rpc::InvalidParams) << "\"target\" is missing";
        QTest::newRow("target beyond 32 bits")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"target":2147483648}})")
            << int(Rpc::InvalidParams) << "\"target\"";
        QTest::newRow("a fraction of a step")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"target":1.5}})")
            << int(Rpc::InvalidParams) << "whole number";
        QTest::newRow("unknown parameter")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"stop","params":{"now":true}})")
            << int(Rpc::InvalidParams) << "\"now\"";
        QTest::newRow("duty beyond 100") << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"pwm","params":{"a":101}})")
                                         << int(Rpc::InvalidParams) << "\"a\"";
        QTest::newRow("a name with a line break")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"name","params":{"name":"a\nb"}})")
            << int(Rpc::InvalidParams) << "control characters";
        QTest::newRow("settings of no group")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"settings.set","params":{"settings":{"Speed":5}}})")
            << int(Rpc::InvalidParams) << "no group";
        QTest::newRow("settings with an unknown key")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"settings.set",)"
                          R"("params":{"settings":{"DriverSettings":{"Colour":"red"}}}})")
            << int(Rpc::InvalidParams) << "DriverSettings/Colour";
        QTest::newRow("update in a client") << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"firmware.update"})")
                                            << int(Rpc::Refused) << "torvan60 (pid 4242)";
    }
    void faultyRequestsGetTheirErrorAndTheConnectionStays()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, code);
        QFETCH(QString, message);
        ServiceRig rig;
        rig.board.received.clear();
        rig.service.receive(&rig.peer, line);
        const QJsonObject answer = rig.peer.take();
        QCOMPARE(errorCode(answer), code);
        const QString text = answer.value(QLatin1String("error")).toObject().value(QLatin1String("message")).toString();
        QVERIFY2(text.contains(message), qPrintable(text));
        QVERIFY(rig.peer.lines.isEmpty());
        // Nothing reached the board, and the next request is answered.
        QVERIFY(rig.board.received.empty());
        rig.service.receive(&rig.peer, request(2, "status"));
        QCOMPARE(rig.peer.take().value(QLatin1String("id")).toInt(), 2);
    }

    // An id comes back as it was written, answered or refused, also where
    // a double would round it; the answer stays one line of JSON.
    void idsComeBackAsWritten_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<QByteArray>("method");
        QTest::newRow("past 2^53") << QByteArray("9007199254740993") << QByteArray("hello");
        QTest::newRow("30 digits") << QByteArray("123456789012345678901234567890") << QByteArray("hello");
        QTest::newRow("30 digits, refused") << QByteArray("-123456789012345678901234567890") << QByteArray("fly");
        QTest::newRow("a fraction") << QByteArray("0.10000000000000000555") << QByteArray("hello");
        QTest::newRow("a text") << QByteArray("\"a\\\"1\"") << QByteArray("hello");
        QTest::newRow("null") << QByteArray("null") << QByteArray("fly");
    }
    void idsComeBackAsWritten()
    {
        QFETCH(QByteArray, id);
        QFETCH(QByteArray, method);
        ServiceRig rig;
        // Spaces and a member before it holding "id" do not mislead the
        // reading of it.
        rig.service.receive(&rig.peer, "{\"params\":{\"program\":\"\\\"id\\\":7\"}, \"jsonrpc\":\"2.0\",\"id\" : " +
                                           id + " ,\"method\":\"" + method + "\"}");
        QCOMPARE(rig.peer.lines.size(), 1);
        const QByteArray line = rig.peer.lines.first();
        QVERIFY2(line.contains(",\"id\":" + id + ",") || line.startsWith("{\"id\":" + id + ","), line.constData());
        const QJsonObject answer = QJsonDocument::fromJson(line).object();
        QCOMPARE(answer.value(QLatin1String("jsonrpc")).toString(), QStringLiteral("2.0"));
        QCOMPARE(answer.contains(QLatin1String("result")), method == "hello");
    }

    void statusIsTheFilteredLiveReportWithItsTime()
    {
        ServiceRig rig;
        rig.service.receive(&rig.peer, request(1, "status"));
        const QJsonObject status = rig.peer.take().value(QLatin1String("result")).toObject();
        QStringList keys = status.keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"current", "driver_state", "driver_text", "fault_texts", "faults", "inputs", "mode",
                                    "position", "speed", "temperature", "time", "voltage"}));
        // As the window shows it, to the hundredth.
        QCOMPARE(status.value(QLatin1String("voltage")).toDouble(),
                 qRound(rig.drv.RTData.FilteredVoltage * 100) / 100.0);
        QCOMPARE(status.value(QLatin1String("time")).toString().left(11), QStringLiteral("2026-12-10T"));
        QVERIFY(status.value(QLatin1String("time")).toString().endsWith(QLatin1String("+01:00")));
        QCOMPARE(status.value(QLatin1String("inputs")).toObject().size(), 7);
    }

    void notificationsAreNotAnswered()
    {
        ServiceRig rig;
        rig.service.receive(&rig.peer, R"({"jsonrpc":"2.0","method":"home"})");
        rig.service.receive(&rig.peer, R"({"jsonrpc":"2.0","method":"fly"})");
        rig.run(500);
        QVERIFY(rig.peer.lines.isEmpty());
        QVERIFY(rig.count(Report::CmdSetHome) == 1);
    }

    // A request that waits for the board holds the ones after it on its
    // connection; a stop does not wait its turn.
    void oneClientsRequestsInOrderButStopAtOnce()
    {
        ServiceRig rig;
        rig.service.receive(&rig.peer, request(1, "enable"));
        rig.service.receive(&rig.peer, request(2, "home"));
        QVERIFY(rig.peer.lines.isEmpty());
        QCOMPARE(rig.count(Report::CmdSetHome), 0);
        rig.service.receive(&rig.peer, request(3, "stop"));
        QCOMPARE(rig.count(Report::CmdStopTrajectory), 1);
        rig.runUntil(rig.peer, 3);
        QList<int> order;
        for (const QByteArray &line : rig.peer.lines)
            order << QJsonDocument::fromJson(line).object().value(QLatin1String("id")).toInt();
        QCOMPARE(order.first(), 1);
        QVERIFY(order.indexOf(1) < order.indexOf(2));
        QCOMPARE(order.size(), 3);
    }

    void liveReportsEveryNth()
    {
        ServiceRig rig;
        Peer all, third;
        rig.service.attach(&all);
        rig.service.attach(&third);
        rig.service.receive(&all, request(1, "subscribe"));
        rig.service.receive(&third, request(1, "subscribe", {{QStringLiteral("every"), 3}, {"raw", true}}));
        all.lines.clear();
        third.lines.clear();
        int reports = 0;
        connect(&rig.drv, &TorvanDRV::newRTDataAvailable, this, [&reports] { ++reports; });
        rig.run(600);
        QVERIFY(reports >= 30);
        QCOMPARE(all.lines.size(), reports);
        QCOMPARE(third.lines.size(), reports / 3);
        const QJsonObject live = QJsonDocument::fromJson(third.lines.last()).object();
        QCOMPARE(live.value(QLatin1String("method")).toString(), QStringLiteral("live"));
        QVERIFY(live.value(QLatin1String("params")).toObject().contains(QLatin1String("raw")));
        QVERIFY(!QJsonDocument::fromJson(all.lines.last())
                     .object()
                     .value(QLatin1String("params"))
                     .toObject()
                     .contains(QLatin1String("raw")));
        rig.service.receive(&all, request(2, "unsubscribe"));
        all.lines.clear();
        rig.run(200);
        QVERIFY(all.lines.isEmpty());
    }

    void aClientLeavingMidRequestChangesNothingElse()
    {
        ServiceRig rig;
        auto *gone = new Peer(QStringLiteral("gone"));
        Peer other;
        rig.service.attach(gone);
        rig.service.attach(&other);
        rig.service.receive(gone, request(1, "enable"));
        rig.service.receive(gone, request(2, "move", {{QStringLiteral("target"), 500}}));
        rig.service.detach(gone);
        delete gone;
        rig.service.receive(&other, request(1, "home"));
        rig.runUntil(other);
        QVERIFY(other.take().contains(QLatin1String("result")));
        rig.run(500);
        // The queued move of the client that left never went out.
        QCOMPARE(rig.count(Report::CmdWriteTrajectory), 0);
        QCOMPARE(rig.service.peerCount(), 2);
    }

    void aBoardLostUnderAWaitingRequest()
    {
        ServiceRig rig;
        rig.service.receive(&rig.peer, request(1, "run", {{QStringLiteral("speed"), 500}}));
        rig.board.unplug();
        rig.runUntil(rig.peer);
        const QJsonObject answer = rig.peer.take();
        QCOMPARE(errorCode(answer), int(Rpc::BoardLost));
        QCOMPARE(answer.value(QLatin1String("error")).toObject().value(QLatin1String("message")).toString(),
                 QStringLiteral("board SIM60-000001 was lost"));
        // While it is away, requests are answered at once.
        rig.service.receive(&rig.peer, request(2, "status"));
        QCOMPARE(errorCode(rig.peer.take()), int(Rpc::BoardLost));
    }

    void onlyAllowedMethodsAreTaken()
    {
        ServiceRig rig;
        Peer restricted(QStringLiteral("mqtt"));
        restricted.allowed = {QStringLiteral("stop"), QStringLiteral("status")};
        rig.service.attach(&restricted);
        rig.service.receive(&restricted, request(1, "home"));
        QCOMPARE(errorCode(restricted.take()), int(Rpc::Refused));
        QCOMPARE(rig.count(Report::CmdSetHome), 0);
        rig.service.receive(&restricted, request(2, "status"));
        QVERIFY(restricted.take().contains(QLatin1String("result")));
        QVERIFY(rig.pane.texts().contains(
            QStringLiteral("Remote command refused from mqtt (pid 77): home is not allowed")));
    }

    // What settings.get gives, settings.set takes back unchanged, and the
    // board keeps it.
    void settingsRoundTrip()
    {
        ServiceRig rig;
        rig.service.receive(&rig.peer, request(1, "settings.get"));
        QJsonObject settings = rig.peer.take().value(QLatin1String("result")).toObject();
        QJsonObject driver = settings.value(QLatin1String("DriverSettings")).toObject();
        QJsonObject motion = settings.value(QLatin1String("TrajectorySettings")).toObject();
        driver.insert(QStringLiteral("FullScaleCurrent"), 2.5);
        driver.insert(QStringLiteral("DriverName"), QStringLiteral("Prüfstand β"));
        motion.insert(QStringLiteral("MaxAccel"), 7000);
        settings.insert(QStringLiteral("DriverSettings"), driver);
        settings.insert(QStringLiteral("TrajectorySettings"), motion);
        rig.service.receive(&rig.peer, request(2, "settings.set", {{QStringLiteral("settings"), settings}}));
        rig.runUntil(rig.peer);
        const QJsonObject set = rig.peer.take();
        QVERIFY2(set.contains(QLatin1String("result")), QJsonDocument(set).toJson());
        QCOMPARE(set.value(QLatin1String("result")).toObject().value(QLatin1String("warnings")).toArray().size(), 0);
        rig.service.receive(&rig.peer, request(3, "settings.get"));
        QCOMPARE(rig.peer.take().value(QLatin1String("result")).toObject(), settings);
        const auto &kept = rig.board.model.settings.name;
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(kept.data())), QStringLiteral("Prüfstand β").toUtf8());
    }

    void outOfRangeSettingsAreHeldWithAWarningEach()
    {
        ServiceRig rig;
        const QJsonObject settings{
            {QStringLiteral("DriverSettings"), QJsonObject{{QStringLiteral("FullScaleCurrent"), 99.0}}},
            {QStringLiteral("TrajectorySettings"), QJsonObject{{QStringLiteral("MaxSpeed"), "fast"}}}};
        rig.service.receive(&rig.peer, request(1, "settings.set", {{QStringLiteral("settings"), settings}}));
        rig.runUntil(rig.peer);
        const QJsonArray warnings =
            rig.peer.take().value(QLatin1String("result")).toObject().value(QLatin1String("warnings")).toArray();
        QStringList texts;
        for (const QJsonValue &warning : warnings)
            texts << warning.toString();
        QVERIFY2(texts.filter(QStringLiteral("DriverSettings/FullScaleCurrent=99 adjusted")).size() == 1,
                 qPrintable(texts.join('\n')));
        QVERIFY2(texts.filter(QStringLiteral("TrajectorySettings/MaxSpeed=fast adjusted")).size() == 1,
                 qPrintable(texts.join('\n')));
    }

    // A request that names one key changes that key only: the board keeps
    // every other setting, gets no motion or name command, and the answer
    // speaks of the request.
    void aPartialSetChangesOnlyTheKeysItNames()
    {
        ServiceRig rig;
        const BoardModel::Settings before = rig.board.model.settings;
        const int trajectories = rig.count(Report::CmdWriteTrajectory);
        const int names = rig.count(Report::CmdSetDriverName);
        const QJsonObject settings{
            {QStringLiteral("DriverSettings"), QJsonObject{{QStringLiteral("FullScaleCurrent"), 2.0}}}};
        rig.service.receive(&rig.peer, request(1, "settings.set", {{QStringLiteral("settings"), settings}}));
        rig.runUntil(rig.peer);
        const QJsonObject answer = rig.peer.take();
        QVERIFY2(answer.contains(QLatin1String("result")), QJsonDocument(answer).toJson());
        QCOMPARE(answer.value(QLatin1String("result")).toObject().value(QLatin1String("warnings")).toArray().size(), 0);
        const BoardModel::Settings &after = rig.board.model.settings;
        // 2.0 A: gain 40, value 245.
        QCOMPARE(after.driver.registers[1], uint16_t(0x07F5));
        QCOMPARE(after.driver.registers[0], uint16_t(before.driver.registers[0] | 0x0300));
        for (size_t i = 2; i < 8; ++i)
            QCOMPARE(after.driver.registers[i], before.driver.registers[i]);
        QCOMPARE(after.driver.tempLimit, before.driver.tempLimit);
        QCOMPARE(after.driver.idleCurrentWord, before.driver.idleCurrentWord);
        QCOMPARE(after.driver.reducedCurrentWord, before.driver.reducedCurrentWord);
        QCOMPARE(after.driver.address, before.driver.address);
        QCOMPARE(after.driver.modeByte, before.driver.modeByte);
        QCOMPARE(after.name, before.name);
        QCOMPARE(after.other.maxSpeed, before.other.maxSpeed);
        QCOMPARE(rig.count(Report::CmdWriteTrajectory), trajectories);
        QCOMPARE(rig.count(Report::CmdSetDriverName), names);
    }

    void aWholeFileTakesItsDefaultsAndSaysSo()
    {
        ServiceRig rig;
        const QJsonObject settings{
            {QStringLiteral("TrajectorySettings"), QJsonObject{{QStringLiteral("MaxSpeed"), 500}}}};
        rig.service.receive(
            &rig.peer,
            request(1, "settings.set", {{QStringLiteral("settings"), settings}, {QStringLiteral("whole_file"), true}}));
        rig.runUntil(rig.peer);
        const QJsonArray warnings =
            rig.peer.take().value(QLatin1String("result")).toObject().value(QLatin1String("warnings")).toArray();
        QCOMPARE(warnings.size(), 29);
        QVERIFY(
            warnings[0].toString().startsWith(QLatin1String("Settings file value DriverSettings/StepMode missing")));
        QCOMPARE(rig.board.model.settings.driver.tempLimit, 0); // the file's default, as the window loads it
        QCOMPARE(rig.board.model.settings.other.maxSpeed, 500);
    }

    // settings.diff lists what differs from the board, as the board holds
    // it, and writes nothing.
    void diffAgainstTheBoard()
    {
        ServiceRig rig;
        rig.board.received.clear();
        const QJsonObject settings{
            {QStringLiteral("DriverSettings"),
             QJsonObject{{QStringLiteral("FullScaleCurrent"), 2.5}, {QStringLiteral("IdleCurrent"), 0.96}}},
            {QStringLiteral("TrajectorySettings"),
             QJsonObject{{QStringLiteral("MaxSpeed"), 12000}, {QStringLiteral("PosLimitUpper"), 5}}}};
        rig.service.receive(&rig.peer, request(1, "settings.diff", {{QStringLiteral("settings"), settings}}));
        const QJsonObject result = rig.peer.take().value(QLatin1String("result")).toObject();
        QCOMPARE(result.value(QLatin1String("equal")).toBool(), false);
        const QJsonArray differences = result.value(QLatin1String("differences")).toArray();
        QCOMPARE(differences.size(), 2);
        QCOMPARE(differences[0].toObject(), (QJsonObject{{QStringLiteral("key"), "DriverSettings/FullScaleCurrent"},
                                                         {QStringLiteral("a"), 2.5},
                                                         {QStringLiteral("b"), 2.2},
                                                         {QStringLiteral("unit"), "A"}}));
        QCOMPARE(differences[1].toObject().value(QLatin1String("key")).toString(),
                 QStringLiteral("TrajectorySettings/MaxSpeed"));
        QVERIFY(rig.board.received.empty());
        rig.service.receive(&rig.peer, request(2, "settings.diff",
                                               {{QStringLiteral("settings"), QJsonObject{{"Nope", QJsonObject()}}}}));
        QCOMPARE(errorCode(rig.peer.take()), int(Rpc::InvalidParams));
    }

    void aMoveAnswersAtOnceAndTheMotorGetsThere()
    {
        ServiceRig rig;
        rig.service.receive(&rig.peer, request(1, "move",
                                               {{QStringLiteral("target"), 2000},
                                                {QStringLiteral("max_speed"), 4000},
                                                {QStringLiteral("accel"), 20000},
                                                {QStringLiteral("decel"), 20000}}));
        rig.runUntil(rig.peer);
        const QJsonObject started = rig.peer.take().value(QLatin1String("result")).toObject();
        QCOMPARE(started.value(QLatin1String("target")).toInt(), 2000);
        QCOMPARE(started.value(QLatin1String("from")).toInt(), 0);
        QVERIFY(rig.drv.RTData.CurrentPosition < 2000);
        rig.run(2000);
        QCOMPARE(rig.drv.RTData.CurrentPosition, 2000);
        QVERIFY(rig.pane.texts().contains(
            QStringLiteral("Remote command from client (pid 77): move 2000 accel=20000 decel=20000 max_speed=4000")));
    }

    // A client's move or run with a deceleration of 1 step/s²: a stop from
    // another client still brakes with the configured deceleration (the
    // board's 2000 steps/s²), at rest within the time that needs.
    void aStopBrakesWithTheConfiguredDeceleration_data()
    {
        QTest::addColumn<QByteArray>("motion");
        QTest::newRow("move") << request(1, "move",
                                         {{QStringLiteral("target"), 1000000},
                                          {QStringLiteral("max_speed"), 5000},
                                          {QStringLiteral("accel"), 5000},
                                          {QStringLiteral("decel"), 1}});
        QTest::newRow("run") << request(1, "run",
                                        {{QStringLiteral("speed"), -5000},
                                         {QStringLiteral("max_speed"), 5000},
                                         {QStringLiteral("accel"), 5000},
                                         {QStringLiteral("decel"), 1}});
    }
    void aStopBrakesWithTheConfiguredDeceleration()
    {
        QFETCH(QByteArray, motion);
        ServiceRig rig;
        rig.drv.TrajectoryData.PosLimitUpper = 2000000; // room for a long move
        QCOMPARE(rig.drv.TrajectoryData.MaxDecel, 2000);
        rig.service.receive(&rig.peer, motion);
        rig.runUntil(rig.peer);
        QVERIFY(rig.peer.take().contains(QLatin1String("result")));
        rig.run(1500);
        // A move that must brake at 1 step/s² by its target goes no faster
        // than about 1400 steps/s.
        const int speed = std::abs(rig.drv.RTData.CurrentSpeed);
        QVERIFY2(speed > 1000, qPrintable(QString::number(speed)));
        QCOMPARE(rig.board.model.settings.other.maxDecel, 1);

        Peer other(QStringLiteral("other"));
        rig.service.attach(&other);
        const qint64 stoppedAt = rig.clock.nowMs();
        rig.service.receive(&other, request(7, "stop"));
        rig.runUntil(other);
        const QJsonObject answer = other.take();
        QVERIFY2(answer.contains(QLatin1String("result")), QJsonDocument(answer).toJson());
        // At 2000 steps/s² (5000 steps/s take 2.5 s); the answer comes with
        // the reports that show the motor at rest.
        const qint64 took = rig.clock.nowMs() - stoppedAt;
        QVERIFY2(took <= speed * 1000 / 2000 + 100, qPrintable(QString::number(took)));
        QCOMPARE(rig.board.model.axis.speed(), 0.0);
        rig.run(500);
        QCOMPARE(rig.board.model.axis.speed(), 0.0);
        // The configured profile is the board's again, and the holder's all
        // along.
        QCOMPARE(rig.board.model.settings.other.maxDecel, 2000);
        QCOMPARE(rig.drv.TrajectoryData.MaxDecel, 2000);
    }

    // A target outside the configured limits is refused, naming them, and
    // nothing moves; the limits themselves may be reached.
    void targetsOutsideThePositionLimitsAreRefused_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("refused");
        QTest::newRow("below") << -5000 << true;
        QTest::newRow("above") << 150000 << true;
        QTest::newRow("one past the upper") << 100001 << true;
        QTest::newRow("the lower") << 0 << false;
        QTest::newRow("the upper") << 100000 << false;
    }
    void targetsOutsideThePositionLimitsAreRefused()
    {
        QFETCH(int, target);
        QFETCH(bool, refused);
        ServiceRig rig;
        rig.board.received.clear();
        rig.service.receive(&rig.peer, request(1, "move", {{QStringLiteral("target"), target}}));
        rig.runUntil(rig.peer);
        const QJsonObject answer = rig.peer.take();
        if (!refused) {
            QVERIFY2(answer.contains(QLatin1String("result")), QJsonDocument(answer).toJson());
            return;
        }
        QCOMPARE(errorCode(answer), int(Rpc::InvalidParams));
        QCOMPARE(answer.value(QLatin1String("error")).toObject().value(QLatin1String("message")).toString(),
                 QStringLiteral("\"target\" %1 is outside the position limits 0 to 100000").arg(target));
        rig.run(500);
        QVERIFY(rig.board.received.empty());
        QCOMPARE(rig.board.model.axis.position(), 0);
    }

    // What a client says reaches the log on one line of bounded length:
    // control characters escaped, long names cut.
    void outsideWordsAreLoggedOnOneLine_data()
    {
        QTest::addColumn<QString>("program"); // said in hello; empty: none
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("logged");
        const QByteArray sleep = request(2, "sleep");
        QTest::newRow("a forged line") << "evil\n2026.12.11. 06:00:00 Firmware update finished" << sleep
                                       << "Remote command from evil\\n2026.12.11. 06:00:00 Firmware update finished "
                                          "(pid 77): sleep";
        QTest::newRow("terminal sequences") << "\x1b[2J\x1b]0;owned\x07\u2028" << sleep
                                            << "Remote command from \\e[2J\\e]0;owned\\x07\\u{2028} (pid 77): sleep";
        QTest::newRow("a long name") << QString(200, QLatin1Char('x')) << sleep
                                     << "Remote command from " + QString(61, QLatin1Char('x')) + "... (pid 77): sleep";
        QTest::newRow("a parameter's name")
            << QString() << request(2, "home", {{QStringLiteral("a\nb"), 1}})
            << "Remote command refused from client (pid 77): home a\\nb=1 (unknown parameter \"a\\nb\")";
    }
    void outsideWordsAreLoggedOnOneLine()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, line);
        QFETCH(QString, logged);
        ServiceRig rig;
        if (!program.isEmpty())
            rig.service.receive(&rig.peer, request(1, "hello", {{QStringLiteral("program"), program}}));
        rig.service.receive(&rig.peer, line);
        rig.runUntil(rig.peer, program.isEmpty() ? 1 : 2);
        const QStringList texts = rig.pane.texts();
        QVERIFY2(texts.contains(logged), qPrintable(texts.join(QLatin1Char('\n'))));
        for (const QString &text : texts)
            QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f\\x{2028}]"))),
                     qPrintable(text));
    }

    // Over MQTT the client is the broker connection: hello is answered but
    // does not rename it.
    void helloRenamesOnlyAClientOfItsOwn()
    {
        ServiceRig rig;
        Peer broker(QStringLiteral("MQTT mqtt://broker"));
        broker.pid = 0;
        broker.renamable = false;
        rig.service.attach(&broker);
        rig.service.receive(&broker, request(1, "hello", {{QStringLiteral("program"), "operator"}}));
        QVERIFY(broker.take().contains(QLatin1String("result")));
        rig.service.receive(&broker, request(2, "sleep"));
        rig.runUntil(broker);
        QVERIFY(rig.pane.texts().contains(QStringLiteral("Remote command from MQTT mqtt://broker: sleep")));
    }

    // A command is announced (log, window) as carried out once it is sent
    // to the board, and as refused, with the reason, when it is not.
    void refusedCommandsAreAnnouncedAsRefused_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("refused");
        QTest::newRow("carried out") << request(1, "home") << "Remote command from client (pid 77): home" << false;
        QTest::newRow("outside the limits") << request(1, "move", {{QStringLiteral("target"), 150000}})
                                            << "Remote command refused from client (pid 77): move 150000 "
                                               "(\"target\" 150000 is outside the position limits 0 to 100000)"
                                            << true;
        QTest::newRow("a parameter of the wrong type")
            << request(1, "move", {{QStringLiteral("target"), "far"}})
            << "Remote command refused from client (pid 77): move far "
               "(\"target\" must be a whole number from -2147483648 to 2147483647)"
            << true;
        QTest::newRow("an update") << request(1, "firmware.update")
                                   << "Remote command refused from client (pid 77): firmware.update (a firmware update "
                                      "runs only in the program that holds the board: torvan60 (pid 4242))"
                                   << true;
    }
    void refusedCommandsAreAnnouncedAsRefused()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, logged);
        QFETCH(bool, refused);
        ServiceRig rig;
        QSignalSpy done(&rig.service, &BoardService::remoteCommand);
        QSignalSpy notDone(&rig.service, &BoardService::remoteCommandRefused);
        rig.service.receive(&rig.peer, line);
        rig.runUntil(rig.peer);
        QCOMPARE(errorCode(rig.peer.take()) != 0, refused);
        const QStringList texts = rig.pane.texts();
        QVERIFY2(texts.contains(logged), qPrintable(texts.join(QLatin1Char('\n'))));
        QCOMPARE(texts.filter(QStringLiteral("Remote command")).size(), 1);
        QCOMPARE(done.size(), refused ? 0 : 1);
        QCOMPARE(notDone.size(), refused ? 1 : 0);
        if (refused)
            QCOMPARE(QStringLiteral("Remote command refused from %1: %2 (%3)")
                         .arg(notDone.at(0).at(0).toString(), notDone.at(0).at(1).toString(),
                              notDone.at(0).at(2).toString()),
                     logged);
    }

    // A move's own profile is the board's only while the move lasts: the
    // holder's settings keep theirs, also when the board is read meanwhile,
    // and the board has them back once the move is over.
    void aMovesOwnProfileIsLentNotKept()
    {
        ServiceRig rig;
        const TrajectoryDataRecord configured = rig.drv.TrajectoryData;
        rig.service.receive(&rig.peer, request(1, "move",
                                               {{QStringLiteral("target"), 3000},
                                                {QStringLiteral("max_speed"), 3000},
                                                {QStringLiteral("accel"), 30000},
                                                {QStringLiteral("decel"), 40000}}));
        rig.runUntil(rig.peer);
        rig.run(300);
        QCOMPARE(rig.board.model.settings.other.maxDecel, 40000);
        rig.drv.GetDriverValues(); // a settings read while it moves
        rig.run(100);
        QCOMPARE(rig.drv.TrajectoryData.MaxSpeed, configured.MaxSpeed);
        QCOMPARE(rig.drv.TrajectoryData.MaxAccel, configured.MaxAccel);
        QCOMPARE(rig.drv.TrajectoryData.MaxDecel, configured.MaxDecel);
        rig.run(2000);
        QCOMPARE(rig.drv.RTData.CurrentPosition, 3000);
        QCOMPARE(rig.board.model.settings.other.maxSpeed, configured.MaxSpeed);
        QCOMPARE(rig.board.model.settings.other.maxAccel, configured.MaxAccel);
        QCOMPARE(rig.board.model.settings.other.maxDecel, configured.MaxDecel);
        QCOMPARE(rig.board.model.axis.position(), 3000);
    }
};

QTEST_GUILESS_MAIN(TestBoardService)
#include "tst_boardservice.moc"
