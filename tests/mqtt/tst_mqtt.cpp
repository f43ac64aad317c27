// torvan60ctl serve --mqtt against a real broker (Debian's mosquitto, started
// by the test on a free localhost port), its simulated board and a
// subscriber of the test's own. Real time throughout: every wait is for a
// message or a log line, with a generous deadline; the state rate is
// checked with a wide tolerance.
#include "MqttRig.h"

#include <QJsonArray>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using namespace MqttRig;

namespace {

const QByteArray Serial = "SIM60-000001";

QByteArray topic(const char *leaf, const QByteArray &prefix = "torvan60")
{
    return prefix + '/' + Serial + '/' + leaf;
}

QByteArray request(const QByteArray &id, const QByteArray &method, const QByteArray &params = "{}")
{
    return R"({"jsonrpc":"2.0","id":)" + id + R"(,"method":")" + method + R"(","params":)" + params + "}";
}

QStringList serveArgs(const Broker &broker, const QString &scenario, const QStringList &more)
{
    return QStringList{scenario.isEmpty() ? QStringLiteral("--simulate") : QStringLiteral("--simulate=") + scenario,
                       QStringLiteral("serve"), QStringLiteral("--mqtt"), broker.url()} +
           more;
}

// The board's settings are read once its name is in the identity: from then
// on it takes commands.
bool waitReady(Watcher &watcher, const QByteArray &prefix = "torvan60")
{
    return watcher.waitFor(topic("identity", prefix),
                           [](const Message &m) { return !m.json().value("name").toString().isEmpty(); });
}

// The reply to the request of this id, as the id is written in JSON.
bool hasReply(Watcher &watcher, const QByteArray &id, Message *found)
{
    return watcher.waitFor(
        topic("reply"), [&](const Message &m) { return m.payload.startsWith("{\"id\":" + id + ","); }, found);
}

bool hasEvent(Watcher &watcher, const QString &event, Message *found = nullptr, qint64 after = -1)
{
    return watcher.waitFor(
        topic("event"), [&](const Message &m) { return m.atMs > after && m.json().value("event") == event; }, found);
}

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT

private slots:
    void publishesTheBoard_data();
    void publishesTheBoard();
    void movesOnAnAllowedCommand();
    void refusesAndChangesNothing_data();
    void refusesAndChangesNothing();
    void eventsOfTheBoard_data();
    void eventsOfTheBoard();
    void reconnectsAndRepublishes_data();
    void reconnectsAndRepublishes();
    void offlineWhenTheServerEnds_data();
    void offlineWhenTheServerEnds();
    void credentials_data();
    void credentials();
    void tls_data();
    void tls();
};

void TestMqtt::publishesTheBoard_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("2 Hz, default prefix") << 2 << QByteArray();
    QTest::newRow("10 Hz under lab/line2") << 10 << QByteArray("lab/line2");
}

void TestMqtt::publishesTheBoard()
{
    QFETCH(int, rate);
    QFETCH(QByteArray, prefix);
    Broker broker;
    QVERIFY(broker.start());
    QStringList more{QStringLiteral("--mqtt-rate"), QString::number(rate)};
    if (!prefix.isEmpty())
        more << QStringLiteral("--mqtt-prefix") << QString::fromUtf8(prefix);
    else
        prefix = "torvan60";
    Serve serve(serveArgs(broker, QString(), more));
    QVERIFY2(serve.waitForLog(QStringLiteral("MQTT connected to ") + broker.url()), qPrintable(serve.log()));

    // Subscribed after the board was published (its state flows once its
    // identity is out): online and identity come from the broker's retained
    // store.
    Watcher first;
    QVERIFY(first.connect(broker.port, topic("state", prefix)));
    QVERIFY(first.waitFor(topic("state", prefix), [](const Message &) { return true; }));
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, prefix + "/#"));
    Message online, identity;
    QVERIFY(watcher.waitFor(
        topic("online", prefix), [](const Message &m) { return m.retained; }, &online));
    QCOMPARE(online.payload, QByteArray("true"));
    QVERIFY(watcher.waitFor(
        topic("identity", prefix), [](const Message &m) { return m.retained; }, &identity));
    QCOMPARE(identity.json().value("serial").toString(), QString::fromUtf8(Serial));
    QCOMPARE(identity.json().value("firmware").toString(), QStringLiteral("up to date"));
    QVERIFY(identity.json().contains("unique_id"));

    // The state at the rate asked for, over about three seconds, within a
    // wide margin for a loaded machine.
    QVERIFY(waitUntil([&] { return watcher.count(topic("state", prefix)) >= 1; }));
    const int wanted = 3 * rate;
    QVERIFY(waitUntil([&] { return watcher.count(topic("state", prefix)) >= wanted + 1; }));
    const std::vector<Message> states = watcher.messages(topic("state", prefix));
    const double seconds = (states[size_t(wanted)].atMs - states[0].atMs) / 1000.0;
    const double measured = wanted / seconds;
    QVERIFY2(measured > 0.5 * rate && measured < 1.5 * rate,
             qPrintable(QStringLiteral("%1 state messages a second, asked for %2").arg(measured).arg(rate)));
    for (size_t i = 0; i < states.size(); ++i) {
        QVERIFY(!states[i].retained);
        if (i > 0)
            QVERIFY2(states[i].seq > states[i - 1].seq, "state messages are numbered in order");
    }
    const QStringList keys = states.back().json().keys();
    QCOMPARE(keys, QStringList({"current", "driver_state", "driver_text", "fault_texts", "faults", "inputs", "mode",
                                "position", "speed", "temperature", "time", "voltage"}));
    QVERIFY(QDateTime::fromString(states.back().json().value("time").toString(), Qt::ISODateWithMs).isValid());
}

void TestMqtt::movesOnAnAllowedCommand()
{
    Broker broker;
    QVERIFY(broker.start());
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, "torvan60/#"));
    Serve serve(serveArgs(broker, QString(), {QStringLiteral("--mqtt-allow"), QStringLiteral("stop,move")}));
    QVERIFY(waitReady(watcher));

    // Anyone on the broker may say hello; the client stays the broker
    // connection, whatever name it gives.
    QVERIFY(watcher.publish(
        topic("cmd"),
        request(R"("h1")", "hello", R"({"program":"rogue\n2026.12.11. 06:00:00 Firmware update finished"})")));
    Message hello;
    QVERIFY(hasReply(watcher, "\"h1\"", &hello));
    QVERIFY(hello.json().contains("result"));
    // An id no double holds comes back digit for digit.
    const QByteArray id = "123456789012345678901234567890";
    QVERIFY(watcher.publish(topic("cmd"), request(id, "move", R"({"target":3000})")));
    Message reply;
    QVERIFY(hasReply(watcher, id, &reply));
    QCOMPARE(reply.json().value("result").toObject().value("target").toInt(), 3000);
    QVERIFY(watcher.waitFor(topic("state"), [](const Message &m) { return m.json().value("position") == 3000; }));
    Message done;
    QVERIFY(hasEvent(watcher, QStringLiteral("command_done"), &done));
    QCOMPARE(done.json().value("method").toString(), QStringLiteral("move"));
    QVERIFY(serve.waitForLog(QStringLiteral("Remote command from MQTT %1: move 3000").arg(broker.url())));
    QVERIFY2(!serve.log().contains(QLatin1String("rogue")), qPrintable(serve.log()));
}

void TestMqtt::refusesAndChangesNothing_data()
{
    QTest::addColumn<QString>("allow");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("logged");
    const QByteArray move = request(R"("r1")", "move", R"({"target":2000})");
    QTest::newRow("read-only by default") << QString() << move << -32001 << "move is not allowed";
    QTest::newRow("not in the list") << "stop,move" << request(R"("r1")", "home") << -32001 << "home is not allowed";
    QTest::newRow("not JSON") << "stop,move" << QByteArray("move 2000") << -32700 << QString();
    QTest::newRow("a batch") << "stop,move"
                             << "[" + move + "]" << -32600 << QString();
    QTest::newRow("no such method") << "stop,move" << request(R"("r1")", "fly") << -32601 << QString();
    QTest::newRow("wrong parameter") << "stop,move" << request(R"("r1")", "move", R"({"target":"far"})") << -32602
                                     << QString();
    const QByteArray padding(70 * 1024, 'x');
    QTest::newRow("longer than 64 KiB") << "stop,move"
                                        << request(R"("r1")", "move", R"({"target":2000,"pad":")" + padding + "\"}")
                                        << -32600 << QString();
}

void TestMqtt::refusesAndChangesNothing()
{
    QFETCH(QString, allow);
    QFETCH(QByteArray, payload);
    QFETCH(int, code);
    QFETCH(QString, logged);
    Broker broker;
    QVERIFY(broker.start());
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, "torvan60/#"));
    QStringList more;
    if (!allow.isEmpty())
        more << QStringLiteral("--mqtt-allow") << allow;
    Serve serve(serveArgs(broker, QString(), more));
    QVERIFY(waitReady(watcher));

    QVERIFY(watcher.publish(topic("cmd"), payload));
    Message reply;
    QVERIFY(watcher.waitFor(
        topic("reply"), [](const Message &) { return true; }, &reply));
    QCOMPARE(reply.json().value("error").toObject().value("code").toInt(), code);
    if (!logged.isEmpty())
        QVERIFY2(serve.waitForLog(QStringLiteral("Remote command refused from MQTT %1: %2").arg(broker.url(), logged)),
                 qPrintable(serve.log()));
    // Nothing moved or woke: the states after the answer show the board at
    // rest where it was, asleep, and no command was done.
    Message later;
    QVERIFY(watcher.waitFor(
        topic("state"), [&](const Message &m) { return m.atMs > reply.atMs + 500; }, &later));
    QCOMPARE(later.json().value("position").toInt(), 0);
    QCOMPARE(later.json().value("driver_state").toInt(), 1);
    for (const Message &event : watcher.messages(topic("event")))
        QVERIFY2(event.json().value("event") != QLatin1String("command_done"), event.payload.constData());
    QVERIFY(serve.running());
}

void TestMqtt::eventsOfTheBoard_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("allow");
    // Each command is followed by the event it must bring.
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<QStringList>("events");
    const QByteArray move = request("1", "move", R"({"target":1000})");
    // The simulated stall trips an overcurrent fault as soon as a move
    // starts, far sooner than the "faults" board's half minute.
    QTest::newRow("fault raised and cleared")
        << "stall"
        << "move,reset_faults" << QList<QByteArray>{move, request("2", "reset_faults")}
        << QStringList{"fault_raised", "fault_cleared"};
    QTest::newRow("board lost and back") << "glitch"
                                         << "move" << QList<QByteArray>{move, QByteArray()}
                                         << QStringList{"board_lost", "board_back"};
    QTest::newRow("command done, command refused")
        << ""
        << "move" << QList<QByteArray>{move, request("3", "home")} << QStringList{"command_done", "command_failed"};
}

void TestMqtt::eventsOfTheBoard()
{
    QFETCH(QString, scenario);
    QFETCH(QString, allow);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QStringList, events);
    Broker broker;
    QVERIFY(broker.start());
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, "torvan60/#"));
    Serve serve(serveArgs(broker, scenario, {QStringLiteral("--mqtt-allow"), allow}));
    QVERIFY(waitReady(watcher));

    qint64 after = -1;
    for (int i = 0; i < commands.size(); ++i) {
        if (!commands[i].isEmpty())
            QVERIFY(watcher.publish(topic("cmd"), commands[i]));
        Message event;
        QVERIFY2(hasEvent(watcher, events[i], &event, after), qPrintable(events[i]));
        QVERIFY(!event.json().value("time").toString().isEmpty());
        if (events[i].startsWith(QLatin1String("fault_")))
            QVERIFY2(!event.json().value("changed").toArray().isEmpty(), event.payload.constData());
        after = event.atMs;
    }
}

void TestMqtt::reconnectsAndRepublishes_data()
{
    QTest::addColumn<bool>("downAtStart");
    QTest::newRow("broker down at start") << true;
    QTest::newRow("broker stopped and started again") << false;
}

void TestMqtt::reconnectsAndRepublishes()
{
    QFETCH(bool, downAtStart);
    Broker broker;
    std::unique_ptr<Serve> serve;
    // While the broker is away, a listener that drops every connection
    // counts the attempts: the outage spans several of them.
    auto outage = [&] {
        Refuser refuser(broker.port);
        QVERIFY(refuser.listening());
        if (!serve)
            serve = std::make_unique<Serve>(serveArgs(broker, QString(), {}));
        QVERIFY(waitUntil([&] { return refuser.attempts() >= 3; }));
    };
    if (downAtStart) {
        outage();
    } else {
        QVERIFY(broker.start());
        serve = std::make_unique<Serve>(serveArgs(broker, QString(), {}));
        QVERIFY2(serve->waitForLog(QStringLiteral("MQTT connected to ")), qPrintable(serve->log()));
        broker.stop();
        outage();
    }
    QVERIFY(broker.start());
    QVERIFY2(serve->waitForLog(downAtStart ? QStringLiteral("MQTT connected to %1, publishing").arg(broker.url())
                                           : QStringLiteral("MQTT connected to %1 again").arg(broker.url())),
             qPrintable(serve->log()));

    // The new broker knows nothing: the retained topics came again.
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, "torvan60/#"));
    QVERIFY(watcher.waitFor(topic("online"), [](const Message &m) { return m.retained && m.payload == "true"; }));
    QVERIFY(watcher.waitFor(topic("identity"), [](const Message &m) { return m.retained; }));
    QVERIFY(waitUntil([&] { return watcher.count(topic("state")) >= 2; }));

    // One line for the outage, however many attempts; the board was kept.
    const QString log = serve->log();
    QCOMPARE(serve->logCount(QStringLiteral("not reachable")) + serve->logCount(QStringLiteral("lost (")), 1);
    QVERIFY2(!log.contains(QStringLiteral("Board lost")), qPrintable(log));
    QVERIFY(serve->running());
}

void TestMqtt::offlineWhenTheServerEnds_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("killed: the last will") << true;
    QTest::newRow("terminated: a goodbye") << false;
}

void TestMqtt::offlineWhenTheServerEnds()
{
    QFETCH(bool, killed);
    Broker broker;
    QVERIFY(broker.start());
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, topic("online")));
    Serve serve(serveArgs(broker, QString(), {}));
    QVERIFY(watcher.waitFor(topic("online"), [](const Message &m) { return m.payload == "true"; }));

    if (killed) {
        serve.kill();
    } else {
        QCOMPARE(serve.terminate(), 0);
        QVERIFY(serve.log().contains(QStringLiteral("MQTT disconnected from ")));
    }
    QVERIFY(watcher.waitFor(topic("online"), [](const Message &m) { return m.payload == "false"; }));
    Watcher later;
    QVERIFY(later.connect(broker.port, topic("online")));
    QVERIFY(later.waitFor(topic("online"), [](const Message &m) { return m.retained && m.payload == "false"; }));
}

void TestMqtt::credentials_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right password") << QByteArray("pw with = and spaces") << true;
    QTest::newRow("wrong password") << QByteArray("guess") << false;
}

void TestMqtt::credentials()
{
    QFETCH(QByteArray, password);
    QFETCH(bool, accepted);
    const QString passwd = QStandardPaths::findExecutable(QStringLiteral("mosquitto_passwd"));
    if (passwd.isEmpty())
        QSKIP("mosquitto_passwd is not installed (scripts/setup.sh installs it)");
    Broker broker;
    const QString users = broker.dir() + QStringLiteral("/passwd");
    QCOMPARE(QProcess::execute(passwd, {"-b", "-c", users, "lab", "pw with = and spaces"}), 0);
    QVERIFY(broker.start("allow_anonymous false\npassword_file " + QFile::encodeName(users) + "\n"));

    const QString file = broker.dir() + QStringLiteral("/credentials");
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("# the lab's broker\nuser=lab\npassword=" + password + "\n");
    out.close();
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0600), 0);
    Serve serve(serveArgs(broker, QString(), {QStringLiteral("--mqtt-credentials"), file}));
    const QString expected = accepted ? QStringLiteral("MQTT connected to ")
                                      : QStringLiteral("not reachable (the broker refused the connection");
    QVERIFY2(serve.waitForLog(expected), qPrintable(serve.log()));
    QVERIFY(serve.running());
}

void TestMqtt::tls_data()
{
    QTest::addColumn<bool>("caGiven");
    QTest::newRow("the broker's CA given") << true;
    // A CA of the test's own is in no system store: refused.
    QTest::newRow("the system's store") << false;
}

void TestMqtt::tls()
{
    QFETCH(bool, caGiven);
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        QSKIP("openssl is not installed (scripts/setup.sh installs it)");
    Broker broker;
    const QDir dir(broker.dir());
    auto run = [&](const QStringList &args) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(openssl, args);
        const bool ok = process.waitForFinished(DeadlineMs) && process.exitCode() == 0;
        if (!ok)
            qWarning("%s", process.readAll().constData());
        return ok;
    };
    const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    QFile ext(dir.filePath("ext.cnf"));
    QVERIFY(ext.open(QIODevice::WriteOnly) && ext.write("subjectAltName=IP:127.0.0.1\n") > 0);
    ext.close();
    QVERIFY(run(QStringList{"req", "-x509"} + ec +
                QStringList{"-keyout", dir.filePath("ca.key"), "-out", dir.filePath("ca.pem"), "-days", "2", "-subj",
                            "/CN=torvan60 test CA"}));
    QVERIFY(run(QStringList{"req"} + ec +
                QStringList{"-keyout", dir.filePath("server.key"), "-out", dir.filePath("server.csr"), "-subj",
                            "/CN=127.0.0.1"}));
    QVERIFY(run({"x509", "-req", "-in", dir.filePath("server.csr"), "-CA", dir.filePath("ca.pem"), "-CAkey",
                 dir.filePath("ca.key"), "-CAcreateserial", "-out", dir.filePath("server.pem"), "-days", "2",
                 "-extfile", dir.filePath("ext.cnf")}));
    QVERIFY(broker.start("cafile " + QFile::encodeName(dir.filePath("ca.pem")) + "\ncertfile " +
                         QFile::encodeName(dir.filePath("server.pem")) + "\nkeyfile " +
                         QFile::encodeName(dir.filePath("server.key")) + "\n"));

    QStringList args{"--simulate", "serve", "--mqtt", QStringLiteral("mqtts://127.0.0.1:%1").arg(broker.port)};
    if (caGiven)
        args << "--mqtt-cafile" << dir.filePath("ca.pem");
    Serve serve(args);
    QVERIFY2(serve.waitForLog(caGiven
                                  ? QStringLiteral("MQTT connected to mqtts://")
                                  : QStringLiteral("MQTT broker mqtts://127.0.0.1:%1 not reachable").arg(broker.port)),
             qPrintable(serve.log()));
    QVERIFY(serve.running());
}

int main(int argc, char *argv[])
{
    TestMqtt test;
    return runWithBroker(test, argc, argv);
}

#include "tst_mqtt.moc"
