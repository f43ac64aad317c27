#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "log/Logger.h"
#include "support/CapturingPane.h"
#include "support/ManualClock.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

struct LiveFields
{
    int voltageRaw = 333; // about 24 V
    int temperatureRaw = 0;
    unsigned char pins = 0x02; // SLEEP input set: the axis is enabled
    unsigned char faults = 0;
    unsigned char gainByte = 0;
    unsigned char rawCurrent = 0;
    unsigned char mode = 1;
    unsigned char state = 2;
    uint32_t position = 0;
    uint32_t speed = 0;
    uint16_t tick = 0;
};

void fill(unsigned char *r, const LiveFields &f)
{
    std::fill(r, r + 64, 0);
    r[15] = 0xA0;
    r[6] = f.pins;
    r[8] = static_cast<unsigned char>(f.voltageRaw >> 8);
    r[9] = static_cast<unsigned char>(f.voltageRaw);
    for (int i = 0; i < 4; ++i) {
        r[20 + i] = static_cast<unsigned char>(f.position >> (24 - 8 * i));
        r[24 + i] = static_cast<unsigned char>(f.speed >> (24 - 8 * i));
    }
    r[44] = static_cast<unsigned char>(f.temperatureRaw >> 8);
    r[45] = static_cast<unsigned char>(f.temperatureRaw);
    r[46] = f.state;
    r[47] = f.mode;
    r[48] = f.gainByte;
    r[49] = f.rawCurrent;
    r[54] = f.faults;
    r[56] = static_cast<unsigned char>(f.tick);
    r[57] = static_cast<unsigned char>(f.tick >> 8);
}

double volts(int raw)
{
    return raw * 0.0009765625 * 3.3 * 49.2 / 2.2;
}

} // namespace

Q_DECLARE_METATYPE(LiveFields)

class TestLiveData : public QObject
{
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<LiveFields>("fields");
        QTest::addColumn<bool>("powerOK");
        QTest::addColumn<double>("current");
        QTest::addColumn<int>("faultFlags");

        LiveFields f;
        f.rawCurrent = 200;
        for (int code = 0; code < 4; ++code) {
            f.gainByte = static_cast<unsigned char>(0xFC | code); // only the low two bits select
            const int gain[] = {5, 10, 20, 40};
            QTest::addRow("gain code %d", code) << f << true << 200 * 2.75 / (8.448 * gain[code]) << 0;
        }
        f.gainByte = 0;
        LiveFields low = f;
        low.voltageRaw = 111;
        QTest::newRow("111 is below 8 V: no power, no current") << low << false << 0.0 << 0;
        low.voltageRaw = 112;
        QTest::newRow("112 is above 8 V") << low << true << 200 * 2.75 / (8.448 * 5) << 0;
        LiveFields asleep = f;
        asleep.pins = 0x7D; // every input but SLEEP
        QTest::newRow("sleeping axis shows no current") << asleep << true << 0.0 << 0;
        LiveFields bit6 = f;
        bit6.faults = 0x40;
        QTest::newRow("fault byte 0x40 is no fault") << bit6 << true << 200 * 2.75 / (8.448 * 5) << 0;
        LiveFields fault = f;
        fault.faults = 0xE1;
        QTest::newRow("a fault zeroes the current") << fault << true << 0.0 << 0x21;
    }

    void decode()
    {
        QFETCH(LiveFields, fields);
        QFETCH(bool, powerOK);
        QFETCH(double, current);
        QFETCH(int, faultFlags);
        TorvanDRV drv;
        fill(drv.InputReport, fields);
        drv.Buffer2RTData();
        QCOMPARE(drv.RTData.SupplyVoltage, volts(fields.voltageRaw));
        QCOMPARE(drv.RTData.MotorPowerOK, powerOK);
        QCOMPARE(drv.RTData.MotorCurrent, current);
        QCOMPARE(drv.RTData.FaultFlags, faultFlags);
    }

    void decodesEveryField()
    {
        TorvanDRV drv;
        LiveFields f;
        f.voltageRaw = 1024;
        f.pins = 0x80 | 0x40 | 0x10 | 0x04 | 0x01; // bit 7 unused
        f.position = 0xFFFFFFFE;
        f.speed = 0x80000000;
        f.mode = 5;
        f.state = 3;
        f.tick = 0x0102;
        fill(drv.InputReport, f);
        drv.Buffer2RTData();
        QVERIFY(qAbs(drv.RTData.SupplyVoltage - 73.8) < 1e-9);
        QVERIFY(drv.RTData.InpBootloaderOverride);
        QVERIFY(!drv.RTData.InpSleep);
        QVERIFY(drv.RTData.InpStep);
        QVERIFY(!drv.RTData.InpDir);
        QVERIFY(drv.RTData.InpBin1);
        QVERIFY(!drv.RTData.InpBin2);
        QVERIFY(drv.RTData.InpEndSwitch);
        QCOMPARE(drv.RTData.CurrentPosition, -2);
        QCOMPARE(drv.RTData.CurrentSpeed, int32_t(INT32_MIN));
        QCOMPARE(drv.RTData.OperatingMode, 5);
        QCOMPARE(drv.RTData.DriverState, 3);
        QCOMPARE(drv.RTData.TrajTickRate, 0x0102 * 20); // little-endian, unlike the rest
        QVERIFY(!drv.DrvSettings.AutoRunMode);

        f.mode = 6;
        fill(drv.InputReport, f);
        drv.Buffer2RTData();
        QVERIFY(drv.DrvSettings.AutoRunMode);
        f.mode = 4; // nothing here clears it
        fill(drv.InputReport, f);
        drv.Buffer2RTData();
        QVERIFY(drv.DrvSettings.AutoRunMode);
    }

    // Speed mode sets auto run when the board enters it. Reports that still
    // say speed mode after the flag was cleared (sent before the board took
    // the command to leave it) do not set it again; a new entry does, and so
    // does the first report of the next connection.
    void enteringSpeedModeSetsAutoRun()
    {
        TorvanDRV drv;
        LiveFields f;
        auto report = [&](int mode) {
            f.mode = mode;
            fill(drv.InputReport, f);
            drv.Buffer2RTData();
            return drv.DrvSettings.AutoRunMode;
        };
        QVERIFY(report(6));
        drv.DrvSettings.AutoRunMode = false; // the window left auto run
        QVERIFY(!report(6));
        QVERIFY(!report(4));
        QVERIFY(report(6));
        drv.DrvSettings.AutoRunMode = false;
        drv.Disconnect();
        QVERIFY(report(6));
    }

    void temperatureIsSmoothed()
    {
        TorvanDRV drv;
        LiveFields f;
        f.temperatureRaw = 400; // 50 degrees
        fill(drv.InputReport, f);
        drv.Buffer2RTData();
        QCOMPARE(drv.RTData.Temperature, 25.0);
        drv.Buffer2RTData();
        QCOMPARE(drv.RTData.Temperature, 37.5);
    }

    void filterTakesMeanOfMiddleThree()
    {
        TorvanDRV drv;
        const double voltages[] = {10, 50, 12, 11, 0};
        for (double v : voltages) {
            drv.RTData.SupplyVoltage = v;
            drv.RTData.Temperature = 2 * v;
            QMetaObject::invokeMethod(&drv, "VM_T_Filter");
        }
        QCOMPARE(drv.RTData.FilteredVoltage, 11.0);
        QCOMPARE(drv.RTData.FilteredTemperature, 22.0);
    }

    void filterStartsFromZeroHistory()
    {
        TorvanDRV drv;
        const double expected[] = {0, 10, 20, 30, 30};
        for (double e : expected) {
            drv.RTData.SupplyVoltage = 30;
            QMetaObject::invokeMethod(&drv, "VM_T_Filter");
            QCOMPARE(drv.RTData.FilteredVoltage, e);
        }
    }
};

// The receive tick's dispatch by report type, against a connected simulated
// board that is told what to send.
class TestDispatch : public QObject
{
    Q_OBJECT

    ManualClock clock;
    SimulatedBus *bus = nullptr;
    CapturingPane *pane = nullptr;
    Logger *logger = nullptr;
    TorvanDRV *drv = nullptr;

    void tick() { QMetaObject::invokeMethod(drv, "USBRXTimerHandler"); }

    void inject(unsigned char type, const QByteArray &bytesFrom16 = QByteArray())
    {
        InputReportBytes r{};
        r[15] = type;
        for (int i = 0; i < bytesFrom16.size(); ++i)
            r[size_t(16 + i)] = static_cast<unsigned char>(bytesFrom16[i]);
        bus->board(0).injectReport(r);
    }

private slots:
    void init()
    {
        bus = new SimulatedBus(clock);
        bus->addBoard().liveReportsPerSecond = 0; // only what a test injects
        pane = new CapturingPane;
        logger = new Logger(nullptr, QString(), pane);
        drv = new TorvanDRV;
        drv->SetClock(&clock);
        drv->SetTransport(bus);
        drv->SetLogger(logger);
        QMetaObject::invokeMethod(drv, "USBEnumTimerHandler");
        QVERIFY(drv->IsConnected());
        // Take in the replies to the requests made while connecting.
        clock.advance(1000);
        for (int i = 0; i < 20; ++i)
            tick();
        pane->lines.clear();
    }

    void cleanup()
    {
        delete drv;
        delete logger;
        delete pane;
        delete bus;
    }

    void typesLoggedOrSilent_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("logged");
        QTest::newRow("stale buffer 0xFF") << 0xFF << true;
        QTest::newRow("unknown 0x42") << 0x42 << true;
        QTest::newRow("device info outside an exchange") << 0x01 << true;
        QTest::newRow("step rate echo 0x90") << 0x90 << false;
        QTest::newRow("PWM echo 0xB0") << 0xB0 << false;
        QTest::newRow("trajectory echo 0xB1") << 0xB1 << false;
    }

    void typesLoggedOrSilent()
    {
        QFETCH(int, type);
        QFETCH(bool, logged);
        QSignalSpy rt(drv, &TorvanDRV::newRTDataAvailable);
        QSignalSpy values(drv, &TorvanDRV::newDriverValuesAvailable);
        drv->BusyCode = 111;
        inject(static_cast<unsigned char>(type));
        tick();
        QCOMPARE(pane->texts(), logged ? QStringList{QStringLiteral("Device HID read OK (64 bytes).")} : QStringList{});
        QCOMPARE(rt.count(), 0);
        QCOMPARE(values.count(), 0);
        QCOMPARE(drv->BusyCode, 0);
    }

    void liveReportIsSilentAndSignalled()
    {
        QSignalSpy rt(drv, &TorvanDRV::newRTDataAvailable);
        inject(0xA0);
        tick();
        QCOMPARE(rt.count(), 1);
        QVERIFY(pane->lines.isEmpty());
    }

    void nameReportSkipsControlBytes()
    {
        QSignalSpy values(drv, &TorvanDRV::newDriverValuesAvailable);
        QByteArray name(32, '\0');
        name[0] = 'A';
        name[1] = 'B';
        name[2] = '\0';
        name[3] = 'D';
        name[4] = '\x1F';
        inject(0xC0, name);
        tick();
        QCOMPARE(drv->DrvSettings.DriverName, QStringLiteral("ABD"));
        QCOMPARE(values.count(), 1);
        QCOMPARE(pane->texts(),
                 (QStringList{QStringLiteral("Device HID read OK (64 bytes)."), QStringLiteral("Device name: ABD")}));
    }

    void nameReportIsUtf8()
    {
        const QString name = QStringLiteral("Achse \u00DC1 \u2192 X");
        inject(0xC0, name.toUtf8());
        tick();
        QCOMPARE(drv->DrvSettings.DriverName, name);
    }

    void emptyReadClearsBusyCodeOnly()
    {
        drv->BusyCode = 111;
        const RTDataRecord before = drv->RTData;
        tick();
        QCOMPARE(drv->BusyCode, 0);
        QCOMPARE(drv->RTData.CurrentPosition, before.CurrentPosition);
        QVERIFY(pane->lines.isEmpty());
        QVERIFY(drv->IsReceiveTimerActive());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int status = 0;
    {
        TestLiveData t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestDispatch t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "tst_livedata.moc"
