#include "device/TorvanDRV.h"
#include "device/TracingTransport.h"
#include "device/sim/SimulatedBoard.h"
#include "log/Logger.h"
#include "support/CapturingPane.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

// True when every line of wanted appears in lines, in this order.
bool containsInOrder(const QStringList &lines, const QStringList &wanted)
{
    int at = 0;
    for (const QString &line : lines)
        if (at < wanted.size() && line == wanted.at(at))
            ++at;
    return at == wanted.size();
}

int countCode(const SimulatedBoard &board, unsigned char code)
{
    int n = 0;
    for (const ReceivedCommand &c : board.received)
        n += c.code() == code ? 1 : 0;
    return n;
}

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

    std::unique_ptr<ManualClock> clock;
    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<CapturingPane> pane;
    std::unique_ptr<Logger> logger;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<TorvanDRV> drv;

    SimulatedBoard &board(int i = 0) { return bus->board(i); }
    QStringList log() const { return pane->texts(); }
    void enumTick() { QMetaObject::invokeMethod(drv.get(), "USBEnumTimerHandler"); }
    void rxTick() { QMetaObject::invokeMethod(drv.get(), "USBRXTimerHandler"); }

    static QStringList connectLines(const QString &serial)
    {
        const QString id = QStringLiteral("Torvan60 (simulated) Serial: ") + serial;
        return {QStringLiteral("Torvan60 device found. Serial: ") + serial,
                QStringLiteral("Trying to connect..."),
                QStringLiteral("Connecting to: ") + id + QStringLiteral("..."),
                QStringLiteral("Connected to: ") + id,
                QStringLiteral("RX timer started."),
                QStringLiteral("Getting Torvan device info..."),
                QStringLiteral("Enabling real-time data stream.")};
    }

private slots:
    void init()
    {
        clock = std::make_unique<ManualClock>();
        bus = std::make_unique<SimulatedBus>(*clock);
        bus->addBoard();
        pane = std::make_unique<CapturingPane>();
        logger = std::make_unique<Logger>(nullptr, QString(), pane.get());
        dialogs = std::make_unique<ScriptedDialogs>();
        drv = std::make_unique<TorvanDRV>();
        drv->SetClock(clock.get());
        drv->SetTransport(bus.get());
        drv->SetLogger(logger.get());
        drv->SetDialogs(dialogs.get());
    }

    void cleanup()
    {
        drv.reset();
        logger.reset();
    }

    void connectsInOrderAndStreams()
    {
        QSignalSpy info(drv.get(), &TorvanDRV::newDriverInfoAvailable);
        enumTick();
        QVERIFY(drv->IsConnected());
        QVERIFY(containsInOrder(log(), connectLines(QStringLiteral("SIM60-000001"))));
        QVERIFY(!log().contains(QStringLiteral("Error while getting Device info")));
        QVERIFY(drv->IsReceiveTimerActive());
        QCOMPARE(drv->BusyCode, 0);
        QVERIFY(info.count() >= 2); // on connecting and after the identity exchange

        // The first request goes out plain; once the key is known all are scrambled.
        const auto &received = board().received;
        QVERIFY(!received.empty());
        QCOMPARE(received.front().code(), static_cast<unsigned char>(0x01));
        QCOMPARE(received.front().kind, Scrambler::Decoded::Plain);
        QCOMPARE(received.front().wire[64], static_cast<unsigned char>(0));
        for (size_t i = 1; i < received.size(); ++i)
            QCOMPARE(received[i].kind, Scrambler::Decoded::Scrambled);
        QCOMPARE(received.back().code(), static_cast<unsigned char>(0xA0));
        QCOMPARE(board().corruptReports, 0);
        QCOMPARE(drv->LinkKey, board().linkKey());
        QVERIFY(drv->LinkKey != 0);

        // Identity as decoded.
        QCOMPARE(drv->DriverInfo.APVersionHigh, 0x01);
        QCOMPARE(drv->DriverInfo.APVersionLow, 0x23);
        QVERIFY(drv->DriverInfo.FirmwareUpToDate);
        QVERIFY(drv->DriverInfo.SignatureValid);
        QVERIFY(!drv->DriverInfo.BootloaderActive);
        const auto &id = board().model.uniqueId;
        QCOMPARE(drv->DriverInfo.UniqueIDText,
                 QString::asprintf("0x%02X%02X%02X%02X-0x%02X%02X%02X%02X-0x%02X%02X%02X%02X-0x%02X%02X%02X%02X",
                                   id[12], id[13], id[14], id[15], id[8], id[9], id[10], id[11], id[4], id[5], id[6],
                                   id[7], id[0], id[1], id[2], id[3]));
        QCOMPARE(drv->ProductString(), QStringLiteral("Torvan60 (simulated)"));
        QCOMPARE(drv->SerialString(), QStringLiteral("SIM60-000001"));

        // Live data flows at the board's pace.
        QSignalSpy rt(drv.get(), &TorvanDRV::newRTDataAvailable);
        for (int i = 0; i < 100; ++i) {
            clock->advance(10);
            rxTick();
        }
        QVERIFY2(rt.count() >= 45 && rt.count() <= 55, qPrintable(QString::number(rt.count())));
        QVERIFY(qAbs(drv->RTData.FilteredVoltage - 24.0) < 0.1);
    }

    void connectedBoardIsNotFoundAgain()
    {
        enumTick();
        const int lines = log().size();
        const size_t commands = board().received.size();
        for (int i = 0; i < 3; ++i)
            enumTick();
        QCOMPARE(log().size(), lines);
        QCOMPARE(board().received.size(), commands);
        QCOMPARE(bus->openHandles(), 1);
    }

    void unplugWhileIdleAndReplug()
    {
        enumTick();
        clock->advance(100);
        rxTick();
        pane->lines.clear();
        board().unplug();
        rxTick();
        QCOMPARE(log(), (QStringList{QStringLiteral("HID read count < 0. Disconnecting device."),
                                     QStringLiteral("Disconnecting device..."),
                                     QStringLiteral("Torvan device disconnected!")}));
        QVERIFY(!drv->IsConnected());
        QVERIFY(!drv->IsReceiveTimerActive());
        QCOMPARE(drv->LinkKey, 0u);
        QCOMPARE(drv->RTData.SupplyVoltage, 0.0);
        QCOMPARE(drv->RTData.Temperature, 0.0);
        QCOMPARE(drv->RTData.MotorCurrent, 0.0);
        QCOMPARE(bus->openHandles(), 0);

        // Nothing happens while the board is away.
        pane->lines.clear();
        enumTick();
        QVERIFY(log().isEmpty());

        board().plug();
        board().received.clear();
        enumTick();
        QVERIFY(drv->IsConnected());
        QVERIFY(containsInOrder(log(), connectLines(QStringLiteral("SIM60-000001"))));
        QCOMPARE(board().received.front().kind, Scrambler::Decoded::Plain);
        QCOMPARE(board().received.front().code(), static_cast<unsigned char>(0x01));
    }

    void unpolledBoard()
    {
        // A read that threw leaves the board connected but unpolled. While
        // it stays, ticks leave it alone; when it restarts, even back on the
        // bus before the next tick looks, it is closed and found again.
        enumTick();
        board().throwOnNextRead = true;
        rxTick();
        QVERIFY(!drv->IsReceiveTimerActive());
        pane->lines.clear();
        enumTick();
        QVERIFY(drv->IsConnected());
        QVERIFY(log().isEmpty());

        drv->RestartDevice();
        clock->advance(board().restartOffBusMs + 10);
        board().received.clear();
        enumTick();
        // It restarted into its boot loader, so no live stream is asked for.
        const QStringList wanted =
            QStringList{QStringLiteral("Restarting device..."),
                        QStringLiteral("HID read count < 0. Disconnecting device."),
                        QStringLiteral("Disconnecting device..."), QStringLiteral("Torvan device disconnected!")} +
            connectLines(QStringLiteral("SIM60-000001")).mid(0, 6);
        QCOMPARE(log().mid(0, wanted.size()), wanted);
        QVERIFY(drv->IsConnected());
        QVERIFY(drv->IsReceiveTimerActive());
        QCOMPARE(bus->openHandles(), 1);
        QCOMPARE(board().received.front().kind, Scrambler::Decoded::Plain);
    }

    void unplugDuringDeviceInfo()
    {
        board().onCommand = [](SimulatedBoard &b, const ReceivedCommand &c) {
            if (c.code() == 0x01)
                b.unplug();
        };
        enumTick();
        QVERIFY(!drv->IsConnected());
        QVERIFY(containsInOrder(
            log(), {QStringLiteral("Getting Torvan device info..."), QStringLiteral("Disconnecting device..."),
                    QStringLiteral("Torvan device disconnected!"), QStringLiteral("Error while getting Device info")}));
        QCOMPARE(countCode(board(), 0x01), 1);
        QVERIFY(!drv->IsReceiveTimerActive());
        QCOMPARE(drv->LinkKey, 0u);
    }

    void boardThatNeverAnswers()
    {
        board().answering = false;
        enumTick();
        std::vector<qint64> sentAt;
        for (const ReceivedCommand &c : board().received)
            if (c.code() == 0x01)
                sentAt.push_back(c.atMs);
        QCOMPARE(sentAt.size(), size_t(4));
        for (size_t i = 1; i < sentAt.size(); ++i) {
            const qint64 gap = sentAt[i] - sentAt[i - 1];
            QVERIFY2(gap >= 645 && gap <= 660, qPrintable(QString::number(gap)));
        }
        QVERIFY(log().contains(QStringLiteral("Error while getting Device info")));
        QVERIFY(drv->IsConnected());
        QVERIFY(drv->IsReceiveTimerActive());
        QCOMPARE(drv->BusyCode, 0);
        QCOMPARE(drv->LinkKey, 0u); // left as it was
        // Every request of an unanswered exchange is plain and well formed.
        for (const ReceivedCommand &c : board().received)
            QCOMPARE(c.kind, Scrambler::Decoded::Plain);
    }

    void lateAnswerIsTakenByTheNextAttempt()
    {
        board().replyDelayMs = 700; // misses the first 600 ms window
        enumTick();
        QCOMPARE(countCode(board(), 0x01), 2);
        QVERIFY(!log().contains(QStringLiteral("Error while getting Device info")));
        QCOMPARE(drv->LinkKey, board().linkKey());
    }

    void repeatedRequestOnScrambledLinkStaysReadable()
    {
        enumTick();
        QVERIFY(drv->LinkKey != 0);
        board().received.clear();
        board().answering = false;
        drv->GetDeviceInfo();
        QCOMPARE(countCode(board(), 0x01), 4);
        QCOMPARE(board().corruptReports, 0);
    }

    void staleReportsAreDroppedByTheExchange()
    {
        InputReportBytes stale{};
        stale[15] = 0x00;
        stale[1] = 0xC0; // a type-0 report with byte 1 0xC0 is not the answer
        board().injectReport(stale);
        InputReportBytes other{};
        other[15] = 0x81;
        board().replyDelayMs = 30;
        board().onCommand = [&](SimulatedBoard &b, const ReceivedCommand &c) {
            if (c.code() == 0x01)
                b.injectReport(other, 5); // arrives before the real answer
        };
        enumTick();
        QCOMPARE(countCode(board(), 0x01), 1);
        QVERIFY(drv->DriverInfo.FirmwareUpToDate);
        QCOMPARE(drv->LinkKey, board().linkKey());
    }

    void invisibleBoards_data()
    {
        // A board held by another program is invisible through the exclusive
        // lock: tst_exclusiveopen and, on the real HID library, tst_hidraw.
        QTest::addColumn<QString>("manufacturer");
        QTest::addColumn<int>("vendorId");
        QTest::newRow("manufacturer differs in case") << QStringLiteral("nelvar") << 0x2E4A;
        QTest::newRow("no manufacturer string") << QString() << 0x2E4A;
        QTest::newRow("other vendor id") << QStringLiteral("Nelvar") << 0x2E4B;
    }

    void invisibleBoards()
    {
        QFETCH(QString, manufacturer);
        QFETCH(int, vendorId);
        board().manufacturer = manufacturer;
        board().vendorId = static_cast<unsigned short>(vendorId);
        for (int i = 0; i < 3; ++i)
            enumTick();
        QVERIFY(log().isEmpty());
        QVERIFY(!drv->IsDeviceFound());
        QVERIFY(!drv->IsConnected());
        QVERIFY(board().received.empty());
    }

    void twoBoardsConnectTheFirstOnly()
    {
        bus->addBoard();
        enumTick();
        QCOMPARE(log().at(0), QStringLiteral("Torvan60 device found. Serial: SIM60-000001"));
        QCOMPARE(log().at(1), QStringLiteral("Torvan60 device found. Serial: SIM60-000002"));
        QCOMPARE(drv->SerialString(), QStringLiteral("SIM60-000001"));
        QVERIFY(board(1).received.empty());
        const int lines = log().size();
        enumTick();
        enumTick();
        QCOMPARE(log().size(), lines);
        QCOMPARE(bus->openHandles(), 1);
        QVERIFY(board(1).received.empty());

        // When the first goes away, the second is taken.
        board(0).unplug();
        rxTick();
        enumTick();
        QCOMPARE(drv->SerialString(), QStringLiteral("SIM60-000002"));
        QCOMPARE(bus->openHandles(), 1);
    }

    void secondBoardIsTriedWhenTheFirstWillNotOpen()
    {
        bus->addBoard();
        board(0).failNextOpens = 1000; // no access rights, say
        enumTick();
        QVERIFY(drv->IsConnected());
        QCOMPARE(drv->SerialString(), QStringLiteral("SIM60-000002"));
        QVERIFY(containsInOrder(
            log(),
            {QStringLiteral("Torvan60 device found. Serial: SIM60-000001"),
             QStringLiteral("Torvan60 device found. Serial: SIM60-000002"), QStringLiteral("Trying to connect..."),
             QStringLiteral("Connecting to: Torvan60 (simulated) Serial: SIM60-000001..."),
             QStringLiteral("Could not open: Torvan60 (simulated) Serial: SIM60-000001. Will retry."),
             QStringLiteral("Connected to: Torvan60 (simulated) Serial: SIM60-000002")}));
        QVERIFY(board(1).streaming());

        // Neither board is announced again while they stay.
        pane->lines.clear();
        for (int tick = 0; tick < 5; ++tick)
            enumTick();
        QVERIFY2(log().isEmpty(), qPrintable(log().join(QLatin1Char('|'))));

        // Nor when neither opens: retried quietly on every tick.
        board(1).unplug();
        rxTick();
        board(1).plug();
        board(1).failNextOpens = 1000;
        enumTick(); // the second is back and announced, then tried once aloud
        pane->lines.clear();
        for (int tick = 0; tick < 5; ++tick)
            enumTick();
        QVERIFY2(log().isEmpty(), qPrintable(log().join(QLatin1Char('|'))));
        QVERIFY(!drv->IsConnected());
    }

    void failedOpenRetriesQuietly()
    {
        // A board that will not open (no access rights, say) is retried on
        // every tick without filling the log five times a second.
        board().failNextOpens = 3;
        for (int tick = 0; tick < 3; ++tick)
            enumTick();
        QVERIFY(!drv->IsConnected());
        QVERIFY(!drv->IsReceiveTimerActive());
        QCOMPARE(log(), (QStringList{QStringLiteral("Torvan60 device found. Serial: SIM60-000001"),
                                     QStringLiteral("Trying to connect..."),
                                     QStringLiteral("Connecting to: Torvan60 (simulated) Serial: SIM60-000001..."),
                                     QStringLiteral("Could not open: Torvan60 (simulated) Serial: SIM60-000001. "
                                                    "Will retry.")}));
        QVERIFY(board().received.empty());
        pane->lines.clear();
        enumTick();
        QVERIFY(drv->IsConnected());
        QCOMPARE(log().first(), QStringLiteral("Connected to: Torvan60 (simulated) Serial: SIM60-000001"));
        QVERIFY(log().contains(QStringLiteral("Enabling real-time data stream.")));
    }

    void floodingBoardStillConnects()
    {
        // A board that always has a report pending: the drain before each
        // identity request must give up, and the request still gets its
        // answer from among the flood.
        board().floodReports = 1000000; // stands for "for ever"
        enumTick();
        QVERIFY(drv->IsConnected());
        QCOMPARE(drv->LinkKey, board().linkKey());
        QVERIFY(log().contains(QStringLiteral("Enabling real-time data stream.")));
        QVERIFY2(board().reads < 1000, qPrintable(QString::number(board().reads)));

        // The same from the firmware tab, on the scrambled link.
        const long before = board().reads;
        board().received.clear();
        drv->GetDeviceInfo();
        QCOMPARE(countCode(board(), Report::CmdGetDeviceInfo), 1);
        QVERIFY(!log().contains(QStringLiteral("Error while getting Device info")));
        QVERIFY2(board().reads - before < 1000, qPrintable(QString::number(board().reads - before)));
    }

    void fastOtherReportsAreSummedUp()
    {
        // Reports of an unknown type, one per receive tick for three seconds.
        enumTick();
        board().liveReportsPerSecond = 0;
        for (int i = 0; i < 100; ++i) { // the answers to the connection's requests
            clock->advance(10);
            rxTick();
        }
        pane->lines.clear();
        InputReportBytes odd{};
        odd[Report::TypeByte] = 0x55;
        const int sent = 300;
        for (int i = 0; i < sent; ++i) {
            board().injectReport(odd);
            clock->advance(10);
            rxTick();
        }
        clock->advance(1000); // the flood is over: the last sum follows
        rxTick();
        int lines = 0, summed = 0;
        const QRegularExpression sum(
            QStringLiteral("^Device HID read OK \\(64 bytes\\): (\\d+) more reports not logged one by one\\.$"));
        for (const QString &line : log()) {
            if (line == QLatin1String("Device HID read OK (64 bytes)."))
                ++lines;
            else if (const auto match = sum.match(line); match.hasMatch())
                summed += match.captured(1).toInt();
        }
        QVERIFY2(lines <= 40, qPrintable(QString::number(lines))); // a few a second, not one per report
        QCOMPARE(lines + summed, sent);                            // yet every report is accounted for
    }

    void boardThatWouldNotOpenIsAnnouncedAgainAfterReplug()
    {
        board().failNextOpens = 1;
        enumTick();
        board().unplug();
        enumTick();
        board().plug();
        pane->lines.clear();
        enumTick();
        QVERIFY(drv->IsConnected());
        QVERIFY(containsInOrder(log(), connectLines(QStringLiteral("SIM60-000001"))));
    }

    void failedWriteDisconnects()
    {
        enumTick();
        pane->lines.clear();
        board().failNextWrites = 1;
        drv->OutputReport[2] = 0xA0;
        drv->SendReport();
        QCOMPARE(log(), (QStringList{QStringLiteral("Disconnecting device..."),
                                     QStringLiteral("Torvan device disconnected!")}));
        QVERIFY(!drv->IsConnected());
        QVERIFY(dialogs->shown.isEmpty());
    }

    void sendWhileDisconnectedLeavesBufferAlone()
    {
        for (int i = 0; i < 65; ++i)
            drv->OutputReport[i] = static_cast<unsigned char>(i * 3);
        drv->InputReport[15] = 0x42;
        unsigned char before[65];
        std::memcpy(before, drv->OutputReport, 65);
        drv->SendReport();
        QVERIFY(std::memcmp(before, drv->OutputReport, 65) == 0);
        QCOMPARE(drv->InputReport[15], static_cast<unsigned char>(0x42));
    }

    void receiveTickWhileDisconnected()
    {
        enumTick();
        board().unplug();
        rxTick(); // disconnects
        pane->lines.clear();
        drv->BusyCode = 111;
        rxTick();
        QCOMPARE(log(),
                 QStringList{QStringLiteral("Device disconection detected within RX handler. RX timer stopped.")});
        QCOMPARE(drv->BusyCode, 111);
    }

    void exceptionPaths_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("enumeration") << "enumerate"
                                     << "Error enumerating devices"
                                     << "Unexpected error occured while enumerating HID devices.";
        QTest::newRow("connect") << "connect"
                                 << "Error connecting Torvan device"
                                 << "Unexpected error occured while connecting to a device. Please try reconnecting "
                                    "device.";
        QTest::newRow("identity exchange") << "exchange"
                                           << "Error connecting Torvan device"
                                           << "Unexpected error occured while connecting to a device. Please try "
                                              "reconnecting device.";
        QTest::newRow("identity exchange asked for") << "device info"
                                                     << "Error getting device info"
                                                     << "Unexpected error occurred while getting device info. Please "
                                                        "try reconnecting device.";
        QTest::newRow("full update") << "full update"
                                     << "Error updating firmware"
                                     << "Unexpected error occurred while updating firmware. Please try reconnecting "
                                        "device.";
        QTest::newRow("write") << "write"
                               << "Error writing to HID device"
                               << "Unexpected error occured while ewriting to HID device.";
        QTest::newRow("read") << "read"
                              << "Error reading Torvan device"
                              << "Unexpected error occured while pull-reading from a device. Please try "
                                 "reconnecting device.";
    }

    void exceptionPaths()
    {
        QFETCH(QString, where);
        QFETCH(QString, title);
        QFETCH(QString, logLine);
        if (where == QLatin1String("enumerate")) {
            bus->throwOnEnumerate = 1;
            enumTick();
        } else if (where == QLatin1String("connect")) {
            bus->throwOnEnumerate = 2; // the tick's enumeration passes, Connect's throws
            enumTick();
            QVERIFY(board().received.empty()); // no device information request
        } else if (where == QLatin1String("exchange")) {
            board().throwOnNextRead = true; // the first read of the identity exchange
            enumTick();
            QVERIFY(drv->IsConnected());
            QVERIFY(!log().contains(QStringLiteral("Enabling real-time data stream.")));
        } else {
            enumTick();
            QVERIFY(drv->IsConnected());
            if (where == QLatin1String("device info") || where == QLatin1String("full update")) {
                board().throwOnNextRead = true; // the drain's first read
                if (where == QLatin1String("device info")) {
                    drv->GetDeviceInfo();
                    QCOMPARE(drv->BusyCode, 0);
                    QVERIFY(drv->IsReceiveTimerActive()); // still connected: polled again
                } else {
                    drv->FullUpdate();
                }
            } else if (where == QLatin1String("write")) {
                board().throwOnNextWrite = true;
                drv->OutputReport[2] = 0xA0;
                drv->SendReport();
                QVERIFY(drv->IsConnected()); // the link stays as it was
            } else {
                drv->BusyCode = 111;
                board().throwOnNextRead = true;
                rxTick();
                QVERIFY(!drv->IsReceiveTimerActive()); // left unpolled
                QCOMPARE(drv->BusyCode, 0);
            }
        }
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown.at(0).kind, QStringLiteral("notice"));
        QCOMPARE(dialogs->shown.at(0).title, title);
        QVERIFY(dialogs->shown.at(0).text.endsWith(QStringLiteral("Please try reconnecting device.")));
        QCOMPARE(log().last(), logLine);
    }

    void traceRecordsWritesAndReads()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.txt"));
        {
            TracingTransport trace(*bus, *clock, file);
            drv->SetTransport(&trace);
            enumTick();
            for (int i = 0; i < 10; ++i) {
                clock->advance(10);
                rxTick();
            }
            drv->SetTransport(bus.get());
        }
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().trimmed().split('\n');
        QVERIFY(lines.size() > 5);
        QVERIFY(lines.takeFirst().startsWith("# ")); // one comment line per run
        const QRegularExpression shape(QStringLiteral("^\\d+ (W [0-9A-F]{130}|R [0-9A-F]{128})$"));
        for (const QByteArray &line : lines)
            QVERIFY2(shape.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        // The first write is the plain device information request.
        QVERIFY(lines.first().contains(" W 000001"));
        QVERIFY(lines.first().endsWith("00"));
        // A live-data report is read back.
        bool live = false;
        for (const QByteArray &line : lines)
            live = live || (line.contains(" R ") && line.split(' ').at(2).mid(30, 2) == "A0");
        QVERIFY(live);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
