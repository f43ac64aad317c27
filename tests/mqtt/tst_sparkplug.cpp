// torvan60ctl serve --sparkplug against a real broker (mosquitto on a free
// localhost port): the edge node's births, data and deaths in their order,
// seq and bdSeq, the board leaving the bus and coming back, a rebirth asked
// for, and commands refused. Every payload is read by the test's own
// protobuf reader (SparkplugWire.h), not by the bridge's code.
#include "MqttRig.h"
#include "SparkplugWire.h"

#include <QtTest>

#include <memory>

using namespace MqttRig;

namespace {

const QByteArray Serial = "SIM60-000001";
const QByteArray Group = "lab";
const QByteArray Edge = "bench1";

QByteArray spTopic(const QByteArray &type, bool device = false)
{
    return "spBv1.0/" + Group + '/' + type + '/' + Edge + (device ? '/' + Serial : QByteArray());
}

QStringList serveArgs(const Broker &broker, const QString &scenario, const QStringList &more)
{
    return QStringList{scenario.isEmpty() ? QStringLiteral("--simulate") : QStringLiteral("--simulate=") + scenario,
                       QStringLiteral("serve"),
                       QStringLiteral("--mqtt"),
                       broker.url(),
                       QStringLiteral("--sparkplug"),
                       QString::fromUtf8(Group + '/' + Edge)} +
           more;
}

struct Sp
{
    QByteArray type; // NBIRTH, DDATA ...
    SparkplugWire::Payload payload;
    qint64 atMs = 0;
};

// The edge node's messages received so far (not the test's own commands),
// in order, read by the test's own decoder.
std::vector<Sp> sparkplug(const Watcher &watcher)
{
    std::vector<Sp> list;
    for (const Message &m : watcher.all()) {
        const QList<QByteArray> levels = m.topic.split('/');
        if (levels.size() < 4 || levels[0] != "spBv1.0" || levels[2].endsWith("CMD"))
            continue;
        Sp sp;
        sp.type = levels[2];
        sp.atMs = m.atMs;
        if (!SparkplugWire::read(m.payload, sp.payload))
            qWarning("not a protobuf message on %s", m.topic.constData());
        list.push_back(sp);
    }
    return list;
}

// The index of the first message of type after index from, or -1.
int indexOf(const std::vector<Sp> &list, const QByteArray &type, int from = 0)
{
    for (int i = qMax(from, 0); i < int(list.size()); ++i)
        if (list[size_t(i)].type == type)
            return i;
    return -1;
}

bool waitForType(const Watcher &watcher, const QByteArray &type, int from, int *found)
{
    return waitUntil([&] {
        *found = indexOf(sparkplug(watcher), type, from);
        return *found >= 0;
    });
}

qint64 bdSeqOf(const Sp &sp)
{
    const SparkplugWire::Metric *m = sp.payload.find(QStringLiteral("bdSeq"));
    return m && m->datatype == 4 ? qint64(m->value.toULongLong()) : -1;
}

qint32 int32Of(const SparkplugWire::Metric &m)
{
    return qint32(quint32(m.value.toULongLong()));
}

QByteArray command(const QByteArray &name, qint64 alias, int datatype, const QVariant &value)
{
    return SparkplugWire::payload(SparkplugWire::metric(name, alias, datatype, value));
}

// Every message from first on follows the one before it in seq, 0 to 255
// and round again, as a host checks it.
bool seqCounts(const std::vector<Sp> &list, int first, int *wraps = nullptr)
{
    int wrapped = 0;
    for (int i = first + 1; i < int(list.size()); ++i) {
        const qint64 before = list[size_t(i - 1)].payload.seq, now = list[size_t(i)].payload.seq;
        if (list[size_t(i)].type == "NDEATH")
            continue;
        if (now != (before + 1) % 256 || now > 255) {
            qWarning("seq %lld after %lld at message %d (%s)", now, before, i, list[size_t(i)].type.constData());
            return false;
        }
        wrapped += now == 0;
    }
    if (wraps)
        *wraps = wrapped;
    return true;
}

} // namespace

class TestSparkplug : public QObject
{
    Q_OBJECT

private slots:
    void birthsDataAndRebirth();
    void bdSeqAcrossConnections();
    void deathAndBirthAroundAnUnplug();
    void commandsRefused_data();
    void commandsRefused();
};

void TestSparkplug::birthsDataAndRebirth()
{
    Broker broker;
    QVERIFY(broker.start());
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, "spBv1.0/#"));
    // 100 DDATA a second while the motor moves: seq wraps within seconds.
    Serve serve(serveArgs(broker, QString(),
                          {QStringLiteral("--mqtt-allow"), QStringLiteral("stop,move"), QStringLiteral("--mqtt-rate"),
                           QStringLiteral("100")}));
    int dbirth = -1;
    QVERIFY2(waitForType(watcher, "DBIRTH", 0, &dbirth), qPrintable(serve.log()));
    const qint64 started = QDateTime::currentMSecsSinceEpoch();

    // A move written by alias alone, as hosts do once they know it (to the
    // upper position limit: a long way).
    QVERIFY(watcher.publish(spTopic("DCMD", true), command(QByteArray(), 205, 3, 100000)));
    QVERIFY(waitUntil([&] { return sparkplug(watcher).size() >= 300; }));
    std::vector<Sp> list = sparkplug(watcher);

    // NBIRTH first, seq 0, with bdSeq (a fresh state: 0) and the rebirth
    // control; then the board's DBIRTH.
    QCOMPARE(list[0].type, QByteArray("NBIRTH"));
    QCOMPARE(list[0].payload.seq, qint64(0));
    QCOMPARE(bdSeqOf(list[0]), qint64(0));
    const SparkplugWire::Metric *rebirth = list[0].payload.find(QStringLiteral("Node Control/Rebirth"));
    QVERIFY(rebirth && rebirth->datatype == 11 && rebirth->value == QVariant(false));
    QVERIFY2(qAbs(list[0].payload.timestamp - started) < 60000, "a timestamp in UTC milliseconds");
    QCOMPARE(dbirth, 1);
    QCOMPARE(list[1].payload.seq, qint64(1));

    // The birth: every metric named, aliased, typed and with its value;
    // only the allowed commands among them.
    QMap<qint64, int> types;
    for (const SparkplugWire::Metric &m : list[1].payload.metrics) {
        QVERIFY2(!m.name.isEmpty() && m.alias >= 0 && m.datatype > 0 && m.value.isValid() && !m.isNull,
                 qPrintable(m.name));
        QVERIFY2(!types.contains(m.alias), "an alias given twice");
        types[m.alias] = m.datatype;
    }
    for (const auto &[name, type] : std::vector<std::pair<QString, int>>{{"Status/Position", 3},
                                                                         {"Status/Voltage", 10},
                                                                         {"Status/Faults", 7},
                                                                         {"Status/Driver text", 12},
                                                                         {"Inputs/sleep", 11},
                                                                         {"Commands/stop", 11},
                                                                         {"Commands/move", 3}}) {
        const SparkplugWire::Metric *m = list[1].payload.find(name);
        QVERIFY2(m && m->datatype == type, qPrintable(name));
    }
    QVERIFY(!list[1].payload.find(QStringLiteral("Commands/home")));
    const qint64 positionAlias = list[1].payload.find(QStringLiteral("Status/Position"))->alias;

    // Then DDATA only: by alias, of the birth's types, seq counting and
    // wrapping, the position going up as the motor moves.
    int wraps = 0;
    QVERIFY(seqCounts(list, 0, &wraps));
    QVERIFY2(wraps >= 1, "seq wrapped after 255");
    qint32 lastPosition = 0;
    int positions = 0;
    for (size_t i = 2; i < list.size(); ++i) {
        QCOMPARE(list[i].type, QByteArray("DDATA"));
        QVERIFY(!list[i].payload.metrics.empty());
        for (const SparkplugWire::Metric &m : list[i].payload.metrics) {
            QVERIFY2(m.name.isEmpty() && types.value(m.alias, -1) == m.datatype, "a metric by its birth's alias");
            if (m.alias == positionAlias) {
                QVERIFY(int32Of(m) > lastPosition);
                lastPosition = int32Of(m);
                ++positions;
            }
        }
    }
    QVERIFY(positions > 100);

    // A host asks for a rebirth: NBIRTH (seq 0, the same bdSeq) and DBIRTH.
    const int before = int(sparkplug(watcher).size());
    QVERIFY(watcher.publish(spTopic("NCMD"), command("Node Control/Rebirth", -1, 11, true)));
    int nbirth = -1;
    QVERIFY(waitForType(watcher, "NBIRTH", before, &nbirth));
    QVERIFY(waitUntil([&] { return int(sparkplug(watcher).size()) > nbirth + 1; }));
    list = sparkplug(watcher);
    QCOMPARE(list[size_t(nbirth)].payload.seq, qint64(0));
    QCOMPARE(bdSeqOf(list[size_t(nbirth)]), qint64(0));
    QCOMPARE(list[size_t(nbirth + 1)].type, QByteArray("DBIRTH"));
    QCOMPARE(list[size_t(nbirth + 1)].payload.seq, qint64(1));
    QVERIFY(serve.running());
}

void TestSparkplug::bdSeqAcrossConnections()
{
    // A state file that holds nonsense starts at 0.
    QTemporaryDir state;
    const QString file = state.filePath(QStringLiteral("torvan60/sparkplug/lab/bench1.bdseq"));
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile corrupt(file);
    QVERIFY(corrupt.open(QIODevice::WriteOnly) && corrupt.write("seventeen\n") > 0);
    corrupt.close();

    Broker broker;
    QVERIFY(broker.start());
    auto watcher = std::make_unique<Watcher>();
    QVERIFY(watcher->connect(broker.port, "spBv1.0/#"));
    auto serve = std::make_unique<Serve>(serveArgs(broker, QString(), {}), state.path());
    int at = -1;
    QVERIFY2(waitForType(*watcher, "NBIRTH", 0, &at), qPrintable(serve->log()));
    QCOMPARE(bdSeqOf(sparkplug(*watcher)[size_t(at)]), qint64(0));
    QVERIFY2(serve->waitForLog(QStringLiteral("held no bdSeq")), qPrintable(serve->log()));

    // A new connection (the broker restarted): one more.
    broker.stop();
    QVERIFY(broker.start());
    watcher = std::make_unique<Watcher>();
    QVERIFY(watcher->connect(broker.port, "spBv1.0/#"));
    QVERIFY2(waitForType(*watcher, "NBIRTH", 0, &at), qPrintable(serve->log()));
    QCOMPARE(bdSeqOf(sparkplug(*watcher)[size_t(at)]), qint64(1));

    // Killed: the broker sends the will, an NDEATH with that connection's
    // bdSeq and nothing else.
    serve->kill();
    QVERIFY(waitForType(*watcher, "NDEATH", 0, &at));
    const Sp death = sparkplug(*watcher)[size_t(at)];
    QCOMPARE(bdSeqOf(death), qint64(1));
    QCOMPARE(death.payload.metrics.size(), size_t(1));
    QCOMPARE(death.payload.seq, qint64(-1));

    // Started again: one more than the last run's.
    const int before = int(sparkplug(*watcher).size());
    serve = std::make_unique<Serve>(serveArgs(broker, QString(), {}), state.path());
    QVERIFY2(waitForType(*watcher, "DBIRTH", before, &at), qPrintable(serve->log()));
    QCOMPARE(bdSeqOf(sparkplug(*watcher)[size_t(at - 1)]), qint64(2));

    // Ended: the board's DDEATH (in seq) and the NDEATH, said by serve.
    QCOMPARE(serve->terminate(), 0);
    QVERIFY(waitForType(*watcher, "NDEATH", before, &at));
    const std::vector<Sp> list = sparkplug(*watcher);
    QCOMPARE(list[size_t(at - 1)].type, QByteArray("DDEATH"));
    QCOMPARE(bdSeqOf(list[size_t(at)]), qint64(2));
    QVERIFY(seqCounts(list, before));
}

void TestSparkplug::deathAndBirthAroundAnUnplug()
{
    Broker broker;
    QVERIFY(broker.start());
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, "spBv1.0/#"));
    // The board drops off the bus for a second when a move starts.
    Serve serve(serveArgs(broker, QStringLiteral("glitch"), {QStringLiteral("--mqtt-allow"), QStringLiteral("move")}));
    int at = -1;
    QVERIFY2(waitForType(watcher, "DBIRTH", 0, &at), qPrintable(serve.log()));
    QVERIFY(watcher.publish(spTopic("DCMD", true), command("Commands/move", 205, 3, 2000)));
    int death = -1, birth = -1;
    QVERIFY2(waitForType(watcher, "DDEATH", 0, &death), qPrintable(serve.log()));
    QVERIFY2(waitForType(watcher, "DBIRTH", death, &birth), qPrintable(serve.log()));

    const std::vector<Sp> list = sparkplug(watcher);
    QVERIFY(list[size_t(death)].payload.metrics.empty());
    for (int i = death + 1; i < birth; ++i)
        QVERIFY2(list[size_t(i)].type != "DDATA", "no data of a board that is gone");
    QVERIFY(list[size_t(birth)].payload.find(QStringLiteral("Status/Position")));
    QCOMPARE(indexOf(list, "NBIRTH", 1), -1);
    QVERIFY(seqCounts(list, 0));
}

void TestSparkplug::commandsRefused_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("logged");
    QTest::newRow("not allowed") << command("Commands/home", 204, 11, true)
                                 << QStringLiteral("Remote command refused from MQTT %1: home is not allowed");
    QTest::newRow("a firmware update") << command("Commands/firmware.update", -1, 11, true)
                                       << QStringLiteral("Sparkplug command refused from %1: DCMD: "
                                                         "\"Commands/firmware.update\": not a command metric");
    QTest::newRow("a reading written") << command("Status/Position", 103, 3, 5)
                                       << QStringLiteral("\"Status/Position\": not a command metric");
    QTest::newRow("the wrong type") << command("Commands/move", -1, 12, QStringLiteral("2000"))
                                    << QStringLiteral("\"Commands/move\": a value is written as Int32, not String");
    QTest::newRow("not protobuf") << QByteArray("move 2000")
                                  << QStringLiteral(
                                         "Sparkplug command refused from %1: DCMD: not a Sparkplug B payload");
}

void TestSparkplug::commandsRefused()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, logged);
    Broker broker;
    QVERIFY(broker.start());
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, "#"));
    Serve serve(serveArgs(broker, QString(), {QStringLiteral("--mqtt-allow"), QStringLiteral("stop,move")}));
    int at = -1;
    QVERIFY2(waitForType(watcher, "DBIRTH", 0, &at), qPrintable(serve.log()));

    QVERIFY(watcher.publish(spTopic("DCMD", true), payload));
    QVERIFY2(serve.waitForLog(logged.contains(QLatin1String("%1")) ? logged.arg(broker.url()) : logged),
             qPrintable(serve.log()));
    Message event;
    QVERIFY(watcher.waitFor(
        "torvan60/" + Serial + "/event",
        [](const Message &m) { return m.json().value("event") == QLatin1String("command_failed"); }, &event));
    QCOMPARE(event.json().value("source").toString(), QStringLiteral("sparkplug"));
    QCOMPARE(event.json().value("error").toObject().value("code").toInt(), -32001);
    // Nothing moved: the states after it show the board at rest, asleep.
    Message later;
    QVERIFY(watcher.waitFor(
        "torvan60/" + Serial + "/state", [&](const Message &m) { return m.atMs > event.atMs + 500; }, &later));
    QCOMPARE(later.json().value("position").toInt(), 0);
    QCOMPARE(later.json().value("driver_state").toInt(), 1);
    QVERIFY(serve.running());
}

int main(int argc, char *argv[])
{
    TestSparkplug test;
    return runWithBroker(test, argc, argv);
}

#include "tst_sparkplug.moc"
