// Device operations on a connected simulated board: what the board received
// (after undoing the scrambling), the pauses on the manual clock, the log
// lines and their order against the send, and the busy guard of the driver
// values write.
#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "log/Logger.h"
#include "support/CapturingPane.h"
#include "support/DefaultConfiguration.h"
#include "support/ManualClock.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstring>
#include <limits>
#include <memory>

namespace {

// Expected payload as (byte, value) pairs, flattened.
using Bytes = QVector<int>;

Bytes le32At(int at, int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    return {at, int(u & 0xFF), at + 1, int((u >> 8) & 0xFF), at + 2, int((u >> 16) & 0xFF), at + 3, int(u >> 24)};
}

// The records every operation row starts from.
void prepareRecords(TorvanDRV &drv)
{
    drv.DrvSettings = defaultConfiguration();
    DrvSettingsRecord &s = drv.DrvSettings;
    s.I2CAddress = 0x21;
    s.ModbusConfig = 3;
    s.AutoRunMode = true;

    TrajectoryDataRecord &t = drv.TrajectoryData;
    t.FinalPosition = -123456;
    t.MaxSpeed = 250000;
    t.MaxAccel = 100000;
    t.MaxDecel = 0x01020304;
    t.EnableEndSwitch = true;
    t.NCTypeSwitch = false;
    t.AutoRunInvertDirection = true;
    t.BIN1Steps = 1000;
    t.BIN2Steps = -1000;
    t.RequestedSpeed = -5000;
    t.PosLimitUpper = 777777; // never sent
    t.TestButton = 2;

    drv.PWMData.PWMFrequency = 20000;
    drv.PWMData.DutyA = -40;
    drv.PWMData.DutyB = 75;
    drv.CalculatePWMTimers();
}

void runOperation(TorvanDRV &drv, const QString &op)
{
    if (op == QLatin1String("RestartDevice"))
        drv.RestartDevice();
    else if (op == QLatin1String("EnableDriver"))
        drv.EnableDriver();
    else if (op == QLatin1String("SleepDriver"))
        drv.SleepDriver();
    else if (op == QLatin1String("SaveDriverValues"))
        drv.SaveDriverValues();
    else if (op == QLatin1String("StopTrajectory"))
        drv.StopTrajectory();
    else if (op == QLatin1String("SetHome"))
        drv.SetHome();
    else if (op == QLatin1String("TestButtons"))
        drv.TestButtons();
    else if (op == QLatin1String("ResetFaults"))
        drv.ResetFaults();
    else if (op == QLatin1String("WriteTrajectory"))
        drv.WriteTrajectory();
    else if (op == QLatin1String("WritePWMSettings"))
        drv.WritePWMSettings();
    else if (op == QLatin1String("SetStepFrequency"))
        drv.SetStepFrequency(1000);
    else if (op == QLatin1String("WriteDriverValues"))
        drv.WriteDriverValues();
    else if (op == QLatin1String("SetDriverName"))
        drv.SetDriverName(QStringLiteral("Bench"));
    else
        QFAIL("unknown operation");
}

struct Fixture
{
    ManualClock clock;
    SimulatedBus bus{clock};
    SimulatedBoard &board = bus.addBoard();
    CapturingPane pane;
    Logger logger{nullptr, QString(), &pane};
    TorvanDRV drv;

    Fixture()
    {
        board.liveReportsPerSecond = 0; // only what a test injects
        drv.SetClock(&clock);
        drv.SetTransport(&bus);
        drv.SetLogger(&logger);
    }

    // Connects and takes in whatever the connection requests brought back.
    bool connect()
    {
        QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler");
        if (!drv.IsConnected() || drv.LinkKey == 0)
            return false;
        clock.advance(1000);
        for (int i = 0; i < 20; ++i)
            rxTick();
        board.received.clear();
        pane.lines.clear();
        return true;
    }

    void rxTick() { QMetaObject::invokeMethod(&drv, "USBRXTimerHandler"); }
    QStringList log() const { return pane.texts(); }
};

} // namespace

class TestOperations : public QObject
{
    Q_OBJECT

    std::unique_ptr<Fixture> f;

private slots:
    void init()
    {
        f = std::make_unique<Fixture>();
        QVERIFY(f->connect());
    }
    void cleanup() { f.reset(); }

    void singleReportOperations_data();
    void singleReportOperations();
    void unsetBytesKeepThePreviousBuffer_data();
    void unsetBytesKeepThePreviousBuffer();

    void getDriverValuesPauses();
    void getDriverNamePauses();

    void writeDriverValuesPayload();
    void writeDriverValuesStopsTheReceiveTimer();
    void writeDriverValuesRefusedWhileBusy();
    void writeDriverValuesDisconnectedStaysBusy();
    void writeDriverValuesWriteFailure();

    void driverName_data();
    void driverName();

    void stepRate_data();
    void stepRate();
    void trajectoryModeBits_data();
    void trajectoryModeBits();
    void testButtonsResetsTheSelection();

    void pwmTimers_data();
    void pwmTimers();
    void pwmDuties_data();
    void pwmDuties();

    void repliesReachTheRecords();
};

void TestOperations::singleReportOperations_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("code");
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<bool>("logBefore");

    auto row = [](const char *op, int code, const Bytes &bytes, const char *line, bool before) {
        QTest::newRow(op) << QString::fromLatin1(op) << code << bytes << QString::fromLatin1(line) << before;
    };
    row("RestartDevice", 0x02, {}, "Restarting device...", true);
    row("EnableDriver", 0xA1, {21, 1}, "Enabling driver (out of Sleep).", true);
    row("SleepDriver", 0xA1, {21, 0}, "Stopping driver (Sleep).", true);
    row("SaveDriverValues", 0x82, {}, "Saving Torvan driver values...", false);
    row("StopTrajectory", 0xB2, {}, "Stop trajectory...", false);
    row("SetHome", 0xB3, {}, "Settign home...", false);
    row("TestButtons", 0xB4, {3, 2}, "Testing buttons...", false);
    row("ResetFaults", 0x86, {}, "", false);
    row("WriteTrajectory", 0xB1,
        Bytes{3, 2} + le32At(21, -123456) + le32At(25, 250000) + le32At(29, 100000) + le32At(33, 0x01020304) +
            Bytes{37, 0x05} + le32At(41, 1000) + le32At(45, -1000) + le32At(49, -5000),
        "", false);
    row("WritePWMSettings", 0xB0, le32At(21, 23) + Bytes{25, 0, 26, 40, 27, 75, 28, 0}, "", false);
    row("SetStepFrequency", 0x90, le32At(21, 4799) + Bytes{25, 1}, "", false);
    row("WriteDriverValues", 0x80, {21, 0x19, 22, 0x06, 23, 0x87, 24, 0x07, 25, 0x1D, 26, 0x00, 27, 0x31, 28, 0x00,
                                    29, 0x00, 30, 0x05, 31, 0x00, 32, 0x0F, 33, 0xAF, 34, 0x05, 35, 0x00, 36, 0x00,
                                    38, 6,    39, 85,   40, 0x7A, 41, 0x03, 42, 0x3D, 43, 0x03, 44, 0x21, 45, 3},
        "Writing Torvan driver values...", true);
    Bytes name = {3, 'B', 4, 'e', 5, 'n', 6, 'c', 7, 'h'};
    for (int i = 8; i <= 63; ++i)
        name << i << 0;
    row("SetDriverName", 0xC0, name, "Changing device custom name to: Bench", true);
}

void TestOperations::singleReportOperations()
{
    QFETCH(QString, op);
    QFETCH(int, code);
    QFETCH(Bytes, bytes);
    QFETCH(QString, logLine);
    QFETCH(bool, logBefore);

    prepareRecords(f->drv);
    // Whatever the buffer held: the payload bytes must be written. (Byte 63
    // stays 0: a plain report with anything there is not scrambled.)
    std::memset(f->drv.OutputReport + 3, 0xEE, 60);
    QList<int> linesAtSend;
    f->board.onCommand = [&](SimulatedBoard &, const ReceivedCommand &) { linesAtSend.append(f->pane.lines.size()); };

    runOperation(f->drv, op);

    QCOMPARE(int(f->board.received.size()), 1);
    const ReceivedCommand &got = f->board.received.front();
    QCOMPARE(got.kind, Scrambler::Decoded::Scrambled);
    QCOMPARE(int(got.code()), code);
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        QVERIFY2(got.plain[size_t(bytes[i])] == bytes[i + 1],
                 qPrintable(QStringLiteral("byte %1 is 0x%2").arg(bytes[i]).arg(got.plain[size_t(bytes[i])], 0, 16)));
    const QStringList expectedLog = logLine.isEmpty() ? QStringList() : QStringList{logLine};
    QCOMPARE(f->log(), expectedLog);
    QCOMPARE(linesAtSend, QList<int>{logBefore ? 1 : 0});
    QVERIFY(f->drv.IsReceiveTimerActive());

    // Without a board the same operation builds the same bytes and logs the
    // same line; nothing is sent and the buffer stays as built.
    CapturingPane pane;
    Logger logger(nullptr, QString(), &pane);
    TorvanDRV offline;
    offline.SetLogger(&logger);
    prepareRecords(offline);
    offline.OutputReport[64] = 0x99;
    runOperation(offline, op);
    // The driver values write gives up before composing anything.
    if (op != QLatin1String("WriteDriverValues")) {
        QCOMPARE(int(offline.OutputReport[2]), code);
        for (int i = 0; i + 1 < bytes.size(); i += 2)
            QCOMPARE(int(offline.OutputReport[bytes[i]]), bytes[i + 1]);
    }
    QCOMPARE(int(offline.OutputReport[64]), 0x99);
    QCOMPARE(pane.texts(), expectedLog);
}

void TestOperations::unsetBytesKeepThePreviousBuffer_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<Bytes>("written"); // bytes the operation sets besides the code

    Bytes driverValues;
    for (int i = 21; i <= 45; ++i)
        if (i != 37)
            driverValues << i;
    QTest::newRow("StopTrajectory") << QStringLiteral("StopTrajectory") << Bytes{};
    QTest::newRow("EnableDriver") << QStringLiteral("EnableDriver") << Bytes{21};
    QTest::newRow("TestButtons") << QStringLiteral("TestButtons") << Bytes{3};
    QTest::newRow("SetStepFrequency") << QStringLiteral("SetStepFrequency") << Bytes{21, 22, 23, 24, 25};
    QTest::newRow("WritePWMSettings") << QStringLiteral("WritePWMSettings") << Bytes{21, 22, 23, 24, 25, 26, 27, 28};
    QTest::newRow("WriteDriverValues") << QStringLiteral("WriteDriverValues") << driverValues;
}

void TestOperations::unsetBytesKeepThePreviousBuffer()
{
    QFETCH(QString, op);
    QFETCH(Bytes, written);

    prepareRecords(f->drv);
    // A trajectory fills many bytes; after the send the buffer holds them as
    // they went on the wire (scrambled in place).
    f->drv.WriteTrajectory();
    runOperation(f->drv, op);
    QCOMPARE(int(f->board.received.size()), 2);
    const ReceivedCommand &first = f->board.received[0];
    const ReceivedCommand &second = f->board.received[1];
    QCOMPARE(second.kind, Scrambler::Decoded::Scrambled);
    int kept = 0;
    for (int i = 3; i <= 63; ++i) {
        if (written.contains(i))
            continue;
        QVERIFY2(second.plain[size_t(i)] == first.wire[size_t(i)], qPrintable(QStringLiteral("byte %1").arg(i)));
        ++kept;
    }
    QCOMPARE(kept, 61 - written.size());
}

void TestOperations::getDriverValuesPauses()
{
    const qint64 start = f->clock.nowMs();
    f->drv.GetDriverValues();
    const auto &r = f->board.received;
    QCOMPARE(int(r.size()), 4);
    const unsigned char codes[] = {0x81, 0x81, 0x88, 0x88};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(r[size_t(i)].code(), codes[i]);
        QCOMPARE(r[size_t(i)].kind, Scrambler::Decoded::Scrambled);
        QCOMPARE(r[size_t(i)].atMs - start, qint64(50 * i));
    }
    QCOMPARE(f->clock.nowMs() - start, qint64(200));
    QCOMPARE(f->log(), QStringList{QStringLiteral("Getting Torvan driver values...")});
    QVERIFY(f->drv.IsReceiveTimerActive());
}

void TestOperations::getDriverNamePauses()
{
    QList<int> linesAtSend;
    f->board.onCommand = [&](SimulatedBoard &, const ReceivedCommand &) { linesAtSend.append(f->pane.lines.size()); };
    const qint64 start = f->clock.nowMs();
    f->drv.GetDriverName();
    const auto &r = f->board.received;
    QCOMPARE(int(r.size()), 2);
    QCOMPARE(int(r[0].code()), 0xC1);
    QCOMPARE(int(r[1].code()), 0xC1);
    QCOMPARE(r[0].atMs - start, qint64(0));
    QCOMPARE(r[1].atMs - start, qint64(20));
    QCOMPARE(f->clock.nowMs() - start, qint64(40));
    QCOMPARE(f->log(), QStringList{QStringLiteral("Getting Torvan driver name...")});
    QCOMPARE(linesAtSend, (QList<int>{1, 1}));
}

void TestOperations::writeDriverValuesPayload()
{
    // Register words and side words as the board receives them, for a few
    // settings; every flag combination goes through the mode byte.
    prepareRecords(f->drv);
    DrvSettingsRecord &s = f->drv.DrvSettings;
    s.AutoRunMode = false;
    s.PWMMode = true;
    s.BINxButtonsMode = true;
    s.FullScaleCurrent = 6.0;
    s.IdleCurrent = 15.0;
    s.ReducedCurrent = 0.0;
    s.StepMode = -1; // no selection: the last composed step mode (3) stays
    s.AdaptiveBlanking = 1;
    s.I2CAddress = 127;
    s.ModbusConfig = 5;
    f->drv.DriverRegisters.Registers[0] = 0x619;
    f->drv.WriteDriverValues();
    QCOMPARE(int(f->board.received.size()), 1);
    const auto &p = f->board.received.front().plain;
    auto word = [&](int at) { return p[size_t(at)] | (p[size_t(at + 1)] << 8); };
    QCOMPARE(word(21), 0x0519); // gain code 1, step mode 3, dead time 1
    QCOMPARE(word(23), 0x07B8); // 184
    QCOMPARE(word(25), 0x011D); // DC motor bit
    QCOMPARE(word(27), 0x0131);
    QCOMPARE(word(29), 0x0500);
    QCOMPARE(word(31), 0x0F00);
    QCOMPARE(word(33), 0x05AF);
    QCOMPARE(word(35), 0);
    QCOMPARE(int(p[38]), 5);
    QCOMPARE(word(40), 0x00E6); // 15 A: 230 at gain 5
    QCOMPARE(word(42), 0x0300);
    QCOMPARE(int(p[44]), 127);
    QCOMPARE(int(p[45]), 5);
    QCOMPARE(f->drv.DriverRegisters.Registers[1], 0x7B8u);
}

void TestOperations::writeDriverValuesStopsTheReceiveTimer()
{
    prepareRecords(f->drv);
    QVERIFY(f->drv.IsReceiveTimerActive());
    QList<bool> timerAtSend;
    QList<int> busyAtSend;
    f->board.onCommand = [&](SimulatedBoard &, const ReceivedCommand &) {
        timerAtSend.append(f->drv.IsReceiveTimerActive());
        busyAtSend.append(f->drv.BusyCode);
    };
    f->drv.InputReport[15] = 0x81;
    f->drv.ReplyReceived = true;
    f->drv.WriteDriverValues();
    QCOMPARE(timerAtSend, QList<bool>{false});
    QCOMPARE(busyAtSend, QList<int>{111});
    QVERIFY(f->drv.IsReceiveTimerActive());
    QCOMPARE(f->drv.BusyCode, 0);
    QCOMPARE(int(f->drv.InputReport[15]), 0xFF);
    QVERIFY(!f->drv.ReplyReceived);
    QCOMPARE(f->log(), QStringList{QStringLiteral("Writing Torvan driver values...")});
}

void TestOperations::writeDriverValuesRefusedWhileBusy()
{
    prepareRecords(f->drv);
    f->drv.BusyCode = 7;
    f->drv.WriteDriverValues();
    QVERIFY(f->board.received.empty());
    QVERIFY(f->log().isEmpty());
    QCOMPARE(f->drv.BusyCode, 7);

    // A receive tick clears the busy code; then the write goes out.
    f->rxTick();
    QCOMPARE(f->drv.BusyCode, 0);
    f->drv.WriteDriverValues();
    QCOMPARE(int(f->board.received.size()), 1);
    QCOMPARE(int(f->board.received.front().code()), 0x80);
}

void TestOperations::writeDriverValuesDisconnectedStaysBusy()
{
    prepareRecords(f->drv);
    f->board.unplug();
    f->rxTick();
    QVERIFY(!f->drv.IsConnected());
    f->pane.lines.clear();

    f->drv.WriteDriverValues();
    QCOMPARE(f->drv.BusyCode, 111);
    QCOMPARE(f->log(), QStringList{QStringLiteral("Writing Torvan driver values...")});
    f->drv.WriteDriverValues(); // refused without a word
    QCOMPARE(f->log().size(), 1);
    QCOMPARE(f->drv.BusyCode, 111);
    QVERIFY(f->board.received.empty());

    // The identity exchange of the next connection clears it.
    f->board.plug();
    QMetaObject::invokeMethod(&f->drv, "USBEnumTimerHandler");
    QVERIFY(f->drv.IsConnected());
    QCOMPARE(f->drv.BusyCode, 0);
    f->board.received.clear();
    f->drv.WriteDriverValues();
    QCOMPARE(int(f->board.received.size()), 1);
    QCOMPARE(int(f->board.received.front().code()), 0x80);
}

void TestOperations::writeDriverValuesWriteFailure()
{
    prepareRecords(f->drv);
    f->board.failNextWrites = 1;
    f->drv.WriteDriverValues();
    QVERIFY(!f->drv.IsConnected());
    QVERIFY(!f->drv.IsReceiveTimerActive());
    QCOMPARE(f->drv.BusyCode, 0);
    QVERIFY(f->log().contains(QStringLiteral("Torvan device disconnected!")));
}

void TestOperations::driverName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("sent");

    const QString ascii32 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    QTest::newRow("32 ASCII characters") << ascii32 << ascii32.toLatin1();
    QTest::newRow("longer ASCII name is cut at 32") << ascii32 + QStringLiteral("6789") << ascii32.toLatin1();
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("short UTF-8 name goes out whole")
        << QStringLiteral("Motor \u00E9\u20AC") << QByteArray("Motor \xC3\xA9\xE2\x82\xAC");
    const QByteArray a30(30, 'a');
    const QString s30 = QString::fromLatin1(a30);
    QTest::newRow("2-byte character fills 32 exactly") << s30 + QStringLiteral("\u00E9") << a30 + "\xC3\xA9";
    QTest::newRow("2-byte character across byte 32") << s30 + QStringLiteral("a\u00E9") << a30 + "a";
    QTest::newRow("3-byte character across byte 32") << s30 + QStringLiteral("\u20AC") << a30;
    QTest::newRow("4-byte character across byte 32")
        << QString::fromLatin1(a30.left(29)) + QString::fromUtf8("\xF0\x9F\x98\x80") << a30.left(29);
}

void TestOperations::driverName()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, sent);

    prepareRecords(f->drv);
    f->drv.WriteTrajectory(); // leaves non-zero bytes all over the buffer
    f->board.received.clear();

    f->drv.SetDriverName(name);
    QCOMPARE(int(f->board.received.size()), 1);
    const auto &p = f->board.received.front().plain;
    QCOMPARE(int(p[2]), 0xC0);
    QByteArray payload(reinterpret_cast<const char *>(p.data()) + 3, 61);
    QCOMPARE(payload.left(sent.size()), sent);
    QCOMPARE(payload.mid(sent.size()), QByteArray(61 - sent.size(), '\0'));
    const QString kept = QString::fromUtf8(sent);
    QCOMPARE(f->drv.DrvSettings.DriverName, kept);
    QCOMPARE(f->log(), QStringList{QStringLiteral("Changing device custom name to: ") + kept});

    // What the board keeps comes back unchanged through the name reply.
    InputReportBytes reply{};
    reply[15] = 0xC0;
    std::memcpy(&reply[16], p.data() + 3, 32);
    f->drv.DrvSettings.DriverName.clear();
    f->board.injectReport(reply);
    f->clock.advance(100);
    for (int i = 0; i < 10; ++i)
        f->rxTick();
    QCOMPARE(f->drv.DrvSettings.DriverName, kept);
}

void TestOperations::stepRate_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("reload");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("produced");
    QTest::addColumn<int>("frequency");

    QTest::newRow("1000") << 1000 << 4799 << 1 << 1000 << 1000;
    QTest::newRow("250000") << 250000 << 18 << 1 << 252631 << 250000;
    QTest::newRow("-250000") << -250000 << 18 << 0 << -252631 << 250000;
    QTest::newRow("0") << 0 << -1 << 1 << 0 << 0;
    QTest::newRow("3000000") << 3000000 << 0 << 1 << 4800000 << 3000000;
    QTest::newRow("7000") << 7000 << 684 << 1 << 7007 << 7000;
    QTest::newRow("-3") << -3 << 1599999 << 0 << -3 << 3;
    QTest::newRow("4800000") << 4800000 << 0 << 1 << 4800000 << 4800000;
    // Faster than the step clock: held at one step per clock tick.
    QTest::newRow("5000000") << 5000000 << 0 << 1 << 4800000 << 4800000;
    QTest::newRow("-5000000") << -5000000 << 0 << 0 << -4800000 << 4800000;
    QTest::newRow("most negative") << std::numeric_limits<int32_t>::min() << 0 << 0 << -4800000 << 4800000;
}

void TestOperations::stepRate()
{
    QFETCH(int, rate);
    QFETCH(int, reload);
    QFETCH(int, direction);
    QFETCH(int, produced);
    QFETCH(int, frequency);

    QCOMPARE(f->drv.SetStepFrequency(rate), produced);
    QCOMPARE(f->drv.StepReload, reload);
    QCOMPARE(f->drv.StepDirection, direction);
    QCOMPARE(f->drv.StepFrequency, frequency);
    QCOMPARE(int(f->board.received.size()), 1);
    const auto &p = f->board.received.front().plain;
    QCOMPARE(int(p[2]), 0x90);
    const auto sentReload = static_cast<int32_t>(uint32_t(p[21]) | (uint32_t(p[22]) << 8) | (uint32_t(p[23]) << 16) |
                                                 (uint32_t(p[24]) << 24));
    QCOMPARE(sentReload, reload);
    QCOMPARE(int(p[25]), direction);
    QVERIFY(f->log().isEmpty());
}

void TestOperations::trajectoryModeBits_data()
{
    QTest::addColumn<bool>("autoRun");
    QTest::addColumn<bool>("binx");
    QTest::addColumn<bool>("endSwitch");
    QTest::addColumn<bool>("ncType");
    QTest::addColumn<bool>("invert");
    QTest::addColumn<int>("byte3");
    QTest::addColumn<int>("byte37");

    QTest::newRow("none") << false << false << false << false << false << 0 << 0;
    QTest::newRow("BINx, end switch") << false << true << true << false << false << 1 << 1;
    QTest::newRow("auto run, NC switch") << true << false << false << true << false << 2 << 2;
    QTest::newRow("both, invert") << true << true << false << false << true << 3 << 4;
    QTest::newRow("everything") << true << true << true << true << true << 3 << 7;
}

void TestOperations::trajectoryModeBits()
{
    QFETCH(bool, autoRun);
    QFETCH(bool, binx);
    QFETCH(bool, endSwitch);
    QFETCH(bool, ncType);
    QFETCH(bool, invert);
    QFETCH(int, byte3);
    QFETCH(int, byte37);

    f->drv.DrvSettings.AutoRunMode = autoRun;
    f->drv.DrvSettings.BINxButtonsMode = binx;
    f->drv.TrajectoryData.EnableEndSwitch = endSwitch;
    f->drv.TrajectoryData.NCTypeSwitch = ncType;
    f->drv.TrajectoryData.AutoRunInvertDirection = invert;
    std::memset(f->drv.OutputReport + 3, 0xFF, 60); // byte 63 stays 0
    f->drv.WriteTrajectory();
    const auto &p = f->board.received.back().plain;
    QCOMPARE(int(p[3]), byte3);
    QCOMPARE(int(p[37]), byte37);
}

void TestOperations::testButtonsResetsTheSelection()
{
    f->drv.TrajectoryData.TestButton = 1;
    f->drv.TestButtons();
    QCOMPARE(int(f->drv.TrajectoryData.TestButton), 0);
    f->drv.TestButtons(); // nothing selected any more
    QCOMPARE(int(f->board.received.size()), 2);
    QCOMPARE(int(f->board.received[0].plain[3]), 1);
    QCOMPARE(int(f->board.received[1].plain[3]), 0);

    // Without a board the selection is dropped as well.
    f->board.unplug();
    f->rxTick();
    f->drv.TrajectoryData.TestButton = 2;
    f->drv.TestButtons();
    QCOMPARE(int(f->drv.TrajectoryData.TestButton), 0);
}

void TestOperations::pwmTimers_data()
{
    QTest::addColumn<int>("frequency");
    QTest::addColumn<int>("reload");
    QTest::addColumn<int>("actual");

    QTest::newRow("10 Hz") << 10 << 47999 << 10;
    QTest::newRow("1000 Hz") << 1000 << 479 << 1000;
    QTest::newRow("20000 Hz") << 20000 << 23 << 20000;
    QTest::newRow("33333 Hz") << 33333 << 13 << 34285;
    QTest::newRow("50000 Hz") << 50000 << 8 << 53333;
    QTest::newRow("70000 Hz") << 70000 << 5 << 80000;
    QTest::newRow("100000 Hz") << 100000 << 3 << 120000;
    QTest::newRow("480000 Hz") << 480000 << 0 << 480000;
    // Outside 1..480000 Hz the timer is computed at the nearest end.
    QTest::newRow("0 Hz") << 0 << 479999 << 1;
    QTest::newRow("-50 Hz") << -50 << 479999 << 1;
    QTest::newRow("1 MHz") << 1000000 << 0 << 480000;
}

void TestOperations::pwmTimers()
{
    QFETCH(int, frequency);
    QFETCH(int, reload);
    QFETCH(int, actual);

    f->drv.PWMData.PWMFrequency = frequency;
    f->drv.CalculatePWMTimers();
    QCOMPARE(f->drv.PWMData.TimerReload, reload);
    QCOMPARE(f->drv.PWMData.ActualFrequency, actual);
    QCOMPARE(f->drv.PWMData.PWMFrequency, frequency);
    QVERIFY(f->board.received.empty()); // computing sends nothing

    f->drv.WritePWMSettings();
    const auto &p = f->board.received.back().plain;
    QCOMPARE(int(p[2]), 0xB0);
    QCOMPARE(int(uint32_t(p[21]) | (uint32_t(p[22]) << 8) | (uint32_t(p[23]) << 16) | (uint32_t(p[24]) << 24)), reload);
}

void TestOperations::pwmDuties_data()
{
    QTest::addColumn<int>("dutyA");
    QTest::addColumn<int>("dutyB");
    QTest::addColumn<Bytes>("timers"); // A forward, A reverse, B forward, B reverse

    QTest::newRow("-40 and 0") << -40 << 0 << Bytes{0, 40, 0, 0};
    QTest::newRow("0 and 60") << 0 << 60 << Bytes{0, 0, 60, 0};
    QTest::newRow("full both ways") << 100 << -100 << Bytes{100, 0, 0, 100};
    QTest::newRow("beyond full is full") << 150 << -250 << Bytes{100, 0, 0, 100};
    QTest::newRow("extremes") << std::numeric_limits<int32_t>::max() << std::numeric_limits<int32_t>::min()
                              << Bytes{100, 0, 0, 100};
}

void TestOperations::pwmDuties()
{
    QFETCH(int, dutyA);
    QFETCH(int, dutyB);
    QFETCH(Bytes, timers);

    f->drv.PWMData.PWMFrequency = 20000;
    f->drv.PWMData.DutyA = dutyA;
    f->drv.PWMData.DutyB = dutyB;
    f->drv.CalculatePWMTimers();
    const PWMDataRecord &d = f->drv.PWMData;
    QCOMPARE((Bytes{d.TimerAForward, d.TimerAReverse, d.TimerBForward, d.TimerBReverse}), timers);
    f->drv.WritePWMSettings();
    const auto &p = f->board.received.back().plain;
    QCOMPARE((Bytes{p[25], p[26], p[27], p[28]}), timers);
}

void TestOperations::repliesReachTheRecords()
{
    QSignalSpy values(&f->drv, &TorvanDRV::newDriverValuesAvailable);

    // Driver registers: the default configuration in DC motor mode, mode byte 5.
    InputReportBytes regs{};
    regs[15] = 0x81;
    const uint16_t words[8] = {0x619, 0x787, 0x11D, 0x031, 0x500, 0xF00, 0x5AF, 0};
    for (int i = 0; i < 8; ++i) {
        regs[size_t(40 + 2 * i)] = words[i] & 0xFF;
        regs[size_t(41 + 2 * i)] = words[i] >> 8;
    }
    regs[56] = 85;
    regs[57] = 0x7A;
    regs[58] = 0x03;
    regs[59] = 0x3D;
    regs[60] = 0x03;
    regs[61] = 0x21;
    regs[62] = 5;
    regs[63] = 4;
    f->drv.BusyCode = 111;
    f->board.injectReport(regs);
    f->rxTick();
    QCOMPARE(values.count(), 1);
    QCOMPARE(f->log(), (QStringList{QStringLiteral("Device HID read OK (64 bytes)."),
                                    QStringLiteral("Values read from driver.")}));
    const DrvSettingsRecord &s = f->drv.DrvSettings;
    QCOMPARE(s.StepMode, 3);
    QVERIFY(qAbs(s.FullScaleCurrent - 2.197) < 5e-4);
    QVERIFY(qAbs(s.IdleCurrent - 0.993) < 5e-4);
    QCOMPARE(s.TemperatureLimit, 85);
    QCOMPARE(s.FixedOffTime, 15.0);
    QCOMPARE(s.DecayMode, 5);
    QCOMPARE(s.PredriverSpeed, 1);
    QCOMPARE(s.I2CAddress, 0x21);
    QCOMPARE(s.ModbusConfig, 4);
    QVERIFY(s.PWMMode);
    QVERIFY(!s.BINxButtonsMode); // the DC motor bit wins over mode byte 5
    QCOMPARE(f->drv.DriverRegisters.Registers[2], 0x11Du);
    QCOMPARE(f->drv.BusyCode, 0);

    // Other settings.
    f->pane.lines.clear();
    InputReportBytes other{};
    other[15] = 0x87;
    const int32_t speeds[3] = {40000, 8000, 9000};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 4; ++i)
            other[size_t(24 + 4 * k + i)] = (uint32_t(speeds[k]) >> (8 * i)) & 0xFF;
    other[36] = 0x13;
    for (int i = 0; i < 4; ++i) {
        other[size_t(40 + i)] = (uint32_t(250) >> (8 * i)) & 0xFF;
        other[size_t(44 + i)] = (uint32_t(-250) >> (8 * i)) & 0xFF;
    }
    f->board.injectReport(other);
    f->rxTick();
    QCOMPARE(values.count(), 2);
    QCOMPARE(f->log(), QStringList{QStringLiteral("Device HID read OK (64 bytes).")});
    const TrajectoryDataRecord &t = f->drv.TrajectoryData;
    QCOMPARE(t.MaxSpeed, 40000);
    QCOMPARE(t.MaxAccel, 8000);
    QCOMPARE(t.MaxDecel, 9000);
    QVERIFY(t.EnableEndSwitch && t.NCTypeSwitch && t.AutoRunInvertDirection);
    QCOMPARE(t.BIN1Steps, 250);
    QCOMPARE(t.BIN2Steps, -250);

    // Name.
    f->pane.lines.clear();
    InputReportBytes name{};
    name[15] = 0xC0;
    std::memcpy(&name[16], "Axis 7", 6);
    f->board.injectReport(name);
    f->rxTick();
    QCOMPARE(values.count(), 3);
    QCOMPARE(f->log(),
             (QStringList{QStringLiteral("Device HID read OK (64 bytes)."), QStringLiteral("Device name: Axis 7")}));
    QCOMPARE(f->drv.DrvSettings.DriverName, QStringLiteral("Axis 7"));
}

QTEST_GUILESS_MAIN(TestOperations)
#include "tst_operations.moc"
