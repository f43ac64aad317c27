// Home Assistant's MQTT discovery from torvan60ctl serve --mqtt-discovery,
// against a real broker (mosquitto on a free localhost port): the retained
// config messages of the simulated board, checked key by key and against
// the state they read; published again when Home Assistant says it is
// online; removed when serve ends.
#include "MqttRig.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QtTest>

using namespace MqttRig;

namespace {

const QByteArray Serial = "SIM60-000001";
const QByteArray Base = "torvan60/SIM60-000001/";

bool isConfig(const Message &m, const QByteArray &prefix)
{
    return m.topic.startsWith(prefix + '/') && m.topic.endsWith("/config");
}

// The configs seen so far, the newest of each topic.
QMap<QByteArray, Message> configs(const Watcher &watcher, const QByteArray &prefix)
{
    QMap<QByteArray, Message> found;
    for (const Message &m : watcher.all())
        if (isConfig(m, prefix))
            found[m.topic] = m;
    return found;
}

QStringList serveArgs(const Broker &broker, const QString &allow, const QStringList &discovery)
{
    QStringList args{QStringLiteral("--simulate"), QStringLiteral("serve"), QStringLiteral("--mqtt"), broker.url()};
    if (!allow.isEmpty())
        args << QStringLiteral("--mqtt-allow") << allow;
    return args + discovery;
}

} // namespace

class TestMqttDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void configsOfTheBoard_data();
    void configsOfTheBoard();
    void republishedAndRemoved_data();
    void republishedAndRemoved();
};

void TestMqttDiscovery::configsOfTheBoard_data()
{
    QTest::addColumn<QString>("allow");
    QTest::addColumn<QStringList>("commands"); // the config topics of commands, under <prefix>/
    QTest::newRow("read-only: no command offered") << QString() << QStringList();
    QTest::newRow("stop and move") << "stop,move,status"
                                   << QStringList{"button/SIM60-000001/stop", "number/SIM60-000001/move"};
    QTest::newRow("every button, no move")
        << "stop,sleep,reset_faults,home,enable"
        << QStringList{"button/SIM60-000001/stop", "button/SIM60-000001/sleep", "button/SIM60-000001/reset_faults",
                       "button/SIM60-000001/home"};
}

void TestMqttDiscovery::configsOfTheBoard()
{
    QFETCH(QString, allow);
    QFETCH(QStringList, commands);
    Broker broker;
    QVERIFY(broker.start());
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, "#"));
    Serve serve(serveArgs(broker, allow, {QStringLiteral("--mqtt-discovery")}));

    QStringList expected{"sensor/SIM60-000001/voltage",
                         "sensor/SIM60-000001/temperature",
                         "sensor/SIM60-000001/current",
                         "sensor/SIM60-000001/position",
                         "sensor/SIM60-000001/speed",
                         "sensor/SIM60-000001/driver_state",
                         "sensor/SIM60-000001/mode",
                         "binary_sensor/SIM60-000001/overtemperature",
                         "binary_sensor/SIM60-000001/overcurrent",
                         "binary_sensor/SIM60-000001/predriver_fault",
                         "binary_sensor/SIM60-000001/undervoltage"};
    expected += commands;
    for (QString &topic : expected)
        topic = QStringLiteral("homeassistant/") + topic + QStringLiteral("/config");
    expected.sort();
    // The device as the board tells it on its identity topic, once its name
    // is read.
    Message identity, state;
    QVERIFY(watcher.waitFor(
        Base + "identity", [](const Message &m) { return !m.json().value("name").toString().isEmpty(); }, &identity));
    const QJsonObject device{{"identifiers", QJsonArray{"SIM60-000001"}},
                             {"name", identity.json().value("name")},
                             {"model", identity.json().value("product")},
                             {"manufacturer", "Nelvar"},
                             {"sw_version", identity.json().value("application_version")},
                             {"serial_number", "SIM60-000001"}};
    QVERIFY(watcher.waitFor(
        Base + "state", [](const Message &) { return true; }, &state));
    QVERIFY(waitUntil([&] {
        const QMap<QByteArray, Message> now = configs(watcher, "homeassistant");
        if (now.size() < expected.size())
            return false;
        for (const Message &m : now)
            if (m.json().value("device").toObject().value("name") != device.value("name"))
                return false;
        return true;
    }));
    const QMap<QByteArray, Message> found = configs(watcher, "homeassistant");
    QStringList topics;
    for (const QByteArray &topic : found.keys())
        topics << QString::fromUtf8(topic);
    QCOMPARE(topics, expected);

    QSet<QString> uniqueIds;
    for (const Message &config : found) {
        const QJsonObject json = config.json();
        // Every entity: one device, the bridge's availability, an id of
        // its own.
        QCOMPARE(json.value("device").toObject(), device);
        QCOMPARE(json.value("availability_topic").toString(), QString::fromUtf8(Base + "online"));
        QCOMPARE(json.value("payload_available").toString(), QStringLiteral("true"));
        QCOMPARE(json.value("payload_not_available").toString(), QStringLiteral("false"));
        uniqueIds.insert(json.value("unique_id").toString());
        // Each reading from a key the state has.
        const QString valueTemplate = json.value("value_template").toString();
        const QRegularExpressionMatch key =
            QRegularExpression(QStringLiteral("value_json\\.(\\w+)")).match(valueTemplate);
        if (!config.topic.contains("/button/")) {
            QCOMPARE(json.value("state_topic").toString(), QString::fromUtf8(Base + "state"));
            QVERIFY2(key.hasMatch() && state.json().contains(key.captured(1)), qPrintable(valueTemplate));
        }
        if (config.topic.contains("/button/") || config.topic.contains("/number/"))
            QCOMPARE(json.value("command_topic").toString(), QString::fromUtf8(Base + "cmd"));
    }
    QCOMPARE(uniqueIds.size(), found.size());
    // Retained, for a Home Assistant that subscribes later.
    Watcher later;
    QVERIFY(later.connect(broker.port, "homeassistant/#"));
    QVERIFY(waitUntil([&] { return configs(later, "homeassistant").size() == found.size(); }));
    for (const Message &config : configs(later, "homeassistant"))
        QVERIFY2(config.retained && config.payload == found.value(config.topic).payload, config.topic.constData());

    // A measurement, a problem and (where allowed) the commands, in full.
    const QJsonObject voltage = found.value("homeassistant/sensor/SIM60-000001/voltage/config").json();
    QCOMPARE(voltage.value("name").toString(), QStringLiteral("Supply voltage"));
    QCOMPARE(voltage.value("device_class").toString(), QStringLiteral("voltage"));
    QCOMPARE(voltage.value("unit_of_measurement").toString(), QStringLiteral("V"));
    QCOMPARE(voltage.value("state_class").toString(), QStringLiteral("measurement"));
    QCOMPARE(voltage.value("value_template").toString(), QStringLiteral("{{ value_json.voltage }}"));
    QCOMPARE(voltage.value("unique_id").toString(), QStringLiteral("torvan60_SIM60-000001_voltage"));
    const QJsonObject temperature = found.value("homeassistant/sensor/SIM60-000001/temperature/config").json();
    QCOMPARE(temperature.value("unit_of_measurement").toString(), QStringLiteral("°C"));
    QCOMPARE(temperature.value("device_class").toString(), QStringLiteral("temperature"));
    const QJsonObject current = found.value("homeassistant/sensor/SIM60-000001/current/config").json();
    QCOMPARE(current.value("unit_of_measurement").toString(), QStringLiteral("A"));
    QCOMPARE(current.value("device_class").toString(), QStringLiteral("current"));
    const QJsonObject overcurrent = found.value("homeassistant/binary_sensor/SIM60-000001/overcurrent/config").json();
    QCOMPARE(overcurrent.value("device_class").toString(), QStringLiteral("problem"));
    QCOMPARE(overcurrent.value("value_template").toString(),
             QStringLiteral("{{ 'ON' if value_json.faults | bitwise_and(6) else 'OFF' }}"));
    const QJsonObject driver = found.value("homeassistant/sensor/SIM60-000001/driver_state/config").json();
    QVERIFY(!driver.contains("unit_of_measurement") && !driver.contains("state_class"));
    if (commands.contains("button/SIM60-000001/stop")) {
        const QJsonObject stop = found.value("homeassistant/button/SIM60-000001/stop/config").json();
        QCOMPARE(stop.value("payload_press").toString(), QStringLiteral(R"({"jsonrpc":"2.0","method":"stop"})"));
        QVERIFY(!stop.contains("state_topic"));
    }
    if (commands.contains("number/SIM60-000001/move")) {
        const QJsonObject move = found.value("homeassistant/number/SIM60-000001/move/config").json();
        QCOMPARE(move.value("command_template").toString(),
                 QStringLiteral(R"({"jsonrpc":"2.0","method":"move","params":{"target":{{ value | int }}}})"));
        QCOMPARE(move.value("min").toDouble(), -2147483648.0);
        QCOMPARE(move.value("max").toDouble(), 2147483647.0);
        QCOMPARE(move.value("unit_of_measurement").toString(), QStringLiteral("steps"));

        // What Home Assistant sends for 1500 (its template filled in) moves
        // the board.
        QVERIFY(watcher.publish(Base + "cmd", R"({"jsonrpc":"2.0","method":"move","params":{"target":1500}})"));
        QVERIFY(watcher.waitFor(Base + "state", [](const Message &m) { return m.json().value("position") == 1500; }));
    }
}

void TestMqttDiscovery::republishedAndRemoved_data()
{
    QTest::addColumn<QStringList>("option");
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("default prefix") << QStringList{"--mqtt-discovery"} << QByteArray("homeassistant");
    QTest::newRow("a prefix of its own") << QStringList{"--mqtt-discovery", "lab/ha"} << QByteArray("lab/ha");
}

void TestMqttDiscovery::republishedAndRemoved()
{
    QFETCH(QStringList, option);
    QFETCH(QByteArray, prefix);
    Broker broker;
    QVERIFY(broker.start());
    Watcher watcher;
    QVERIFY(watcher.connect(broker.port, prefix + "/#"));
    Serve serve(serveArgs(broker, QStringLiteral("stop"), option));
    constexpr int Entities = 12; // 11 readings and the stop button
    QVERIFY(waitUntil([&] { return configs(watcher, prefix).size() == Entities; }));

    // Home Assistant restarted: every config again.
    auto countOf = [&](const QByteArray &topic) {
        int n = 0;
        for (const Message &m : watcher.all())
            n += m.topic == topic && !m.payload.isEmpty();
        return n;
    };
    QVERIFY(watcher.publish(prefix + "/status", "offline"));
    QVERIFY(watcher.publish(prefix + "/status", "online"));
    QVERIFY(waitUntil([&] {
        for (const QByteArray &topic : configs(watcher, prefix).keys())
            if (countOf(topic) < 2)
                return false;
        return true;
    }));
    for (const QByteArray &topic : configs(watcher, prefix).keys())
        QVERIFY2(countOf(topic) == 2, topic.constData());

    // serve ends: each config emptied, and the broker keeps none.
    const QList<QByteArray> topics = configs(watcher, prefix).keys();
    QCOMPARE(serve.terminate(), 0);
    QVERIFY(waitUntil([&] {
        const QMap<QByteArray, Message> now = configs(watcher, prefix);
        for (const QByteArray &topic : topics)
            if (!now.value(topic).payload.isEmpty())
                return false;
        return true;
    }));
    // A new subscriber gets what the broker retained before its own
    // message after subscribing: no config, the board offline.
    Watcher later;
    QVERIFY(later.connect(broker.port, "#"));
    QVERIFY(later.publish("marker", "after the retained ones"));
    QVERIFY(later.waitFor("marker", [](const Message &) { return true; }));
    QVERIFY(configs(later, prefix).isEmpty());
    QCOMPARE(later.messages(Base + "online").size(), size_t(1));
    QCOMPARE(later.messages(Base + "online").front().payload, QByteArray("false"));
}

int main(int argc, char *argv[])
{
    TestMqttDiscovery test;
    return runWithBroker(test, argc, argv);
}

#include "tst_mqttdiscovery.moc"
