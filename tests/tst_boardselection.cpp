// Choosing one board among several: by serial number for the device object,
// and from the command line (the options the window and torvan60ctl share).
#include "app/Options.h"
#include "device/sim/Scenarios.h"
#include "support/LinkRig.h"

#include <QtTest>

class TestBoardSelection : public QObject
{
    Q_OBJECT

private slots:
    void serialFilterConnectsOnlyThatBoard_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("connectedBoard"); // -1: none
        QTest::newRow("no filter: the first") << QString() << 0;
        QTest::newRow("the second") << QStringLiteral("SIM60-000002") << 1;
        QTest::newRow("the third") << QStringLiteral("SIM60-000003") << 2;
        QTest::newRow("absent serial: none") << QStringLiteral("SIM60-000009") << -1;
    }

    void serialFilterConnectsOnlyThatBoard()
    {
        QFETCH(QString, filter);
        QFETCH(int, connectedBoard);
        LinkRig rig;
        rig.bus.addBoard();
        rig.bus.addBoard();
        rig.drv.SetSerialFilter(filter);
        rig.enumerationTick();
        rig.enumerationTick(); // a later tick does not switch boards either
        QCOMPARE(rig.drv.IsConnected(), connectedBoard >= 0);
        for (int i = 0; i < rig.bus.boardCount(); ++i)
            QCOMPARE(rig.bus.board(i).received.empty(), i != connectedBoard);
        if (connectedBoard >= 0) {
            QCOMPARE(rig.drv.SerialString(), rig.bus.board(connectedBoard).serial);
            QCOMPARE(rig.drv.LinkKey, rig.bus.board(connectedBoard).linkKey());
        }
    }

    void simulatedBoardsAreDistinctAndHeldOnesListedApart()
    {
        ManualClock clock;
        SimulatedBus bus(clock);
        QVERIFY(addSimulatedBoards(bus, 3, QStringLiteral("held")));
        QCOMPARE(bus.boardCount(), 3);
        QVERIFY(bus.board(0).linkKey() != bus.board(1).linkKey());
        QVERIFY(bus.board(1).linkKey() != bus.board(2).linkKey());
        QVERIFY(bus.board(0).serial != bus.board(1).serial);

        QStringList listed, held;
        for (const HidDeviceEntry &entry : bus.enumerate(Report::VendorId, Report::ProductId))
            listed << entry.serialNumber;
        for (const HidDeviceEntry &entry : bus.enumerateHeld(Report::VendorId, Report::ProductId))
            held << entry.serialNumber;
        QCOMPARE(listed, (QStringList{bus.board(1).serial, bus.board(2).serial}));
        QCOMPARE(held, QStringList{bus.board(0).serial});

        SimulatedBus none(clock);
        QVERIFY(!addSimulatedBoards(none, 2, QStringLiteral("nope")));
        QCOMPARE(none.boardCount(), 0);
    }

    void windowOptionsChooseTheBoard_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<int>("boards");
        QTest::addColumn<bool>("simulate");
        QTest::addColumn<QString>("error"); // empty: accepted
        QTest::newRow("serial, separate") << QStringList{QStringLiteral("--serial"), QStringLiteral("A1")}
                                          << QStringLiteral("A1") << 1 << false << QString();
        QTest::newRow("serial, joined") << QStringList{QStringLiteral("--serial=A1")} << QStringLiteral("A1") << 1
                                        << false << QString();
        QTest::newRow("serial takes no option")
            << QStringList{QStringLiteral("--serial"), QStringLiteral("--simulate")} << QString() << 1 << false
            << QStringLiteral("--serial needs a serial number");
        QTest::newRow("serial= empty") << QStringList{QStringLiteral("--serial=")} << QString() << 1 << false
                                       << QStringLiteral("--serial= needs a serial number");
        // The window and torvan60ctl read these the same way.
        QTest::newRow("serial, short form") << QStringList{QStringLiteral("-d"), QStringLiteral("A1")}
                                            << QStringLiteral("A1") << 1 << false << QString();
        QTest::newRow("boards, separate") << QStringList{QStringLiteral("--simulate-boards"), QStringLiteral("2")}
                                          << QString() << 2 << true << QString();
        QTest::newRow("boards not a number")
            << QStringList{QStringLiteral("--simulate-boards=two")} << QString() << 1 << false
            << QStringLiteral("--simulate-boards needs a number from 1 to 16");
        QTest::newRow("boards imply simulate")
            << QStringList{QStringLiteral("--simulate-boards=3")} << QString() << 3 << true << QString();
        QTest::newRow("boards out of range")
            << QStringList{QStringLiteral("--simulate-boards=0")} << QString() << 1 << false
            << QStringLiteral("--simulate-boards needs a number from 1 to 16");
    }

    void windowOptionsChooseTheBoard()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, serial);
        QFETCH(int, boards);
        QFETCH(bool, simulate);
        QFETCH(QString, error);
        const Options options = parseOptions(QStringList{QStringLiteral("torvan60")} + args);
        QCOMPARE(options.error, error);
        if (!error.isEmpty())
            return; // the tool does not start
        QCOMPARE(options.board.serial, serial);
        QCOMPARE(options.board.simulatedBoards, boards);
        QCOMPARE(options.board.simulate, simulate);
        QCOMPARE(options.ignored, QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBoardSelection)
#include "tst_boardselection.moc"
