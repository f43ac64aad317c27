#include "FirmwareRig.h"
#include "device/sim/Scenarios.h"

#include <QtTest>

namespace {

enum Action { Nothing, RestartSent, UpdateRun };
enum Pending { NoPending, ThisBoard, OtherBoard };

const QString CorruptionTitle = QStringLiteral("Device firmware corruption detected.");
const QString CorruptionText = QStringLiteral("Device firmware corruption detected. Click OK to update the FW.");
const QString MismatchTitle = QStringLiteral("Device firmware mismatch detected.");

QString mismatchUpdate(const char *device)
{
    return QStringLiteral("Device firmware mismatch detected. Device FW version: %1, update version: 0x0123. "
                          "Click OK to update FW.")
        .arg(QLatin1String(device));
}

QString mismatchRestart(const char *device)
{
    return QStringLiteral("Device firmware mismatch detected. Device FW version: %1, update version: 0x0123. "
                          "Click OK to restart device and update FW.")
        .arg(QLatin1String(device));
}

const QString OtherBoardId = QStringLiteral("0x01020304-0x05060708-0x090A0B0C-0x0D0E0F10");

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Pending)

class TestFirmwareCheck : public QObject
{
    Q_OBJECT

    // A connected board whose application is current, so connecting asks
    // nothing; then the decoded state is set as the row wants it.
    static void connectAndReport(FirmwareRig &rig, bool bootloader, bool signature, int version)
    {
        rig.applicationRunning(0x23);
        rig.tick();
        QVERIFY(rig.drv.IsConnected());
        QVERIFY(rig.dialogs.shown.isEmpty());
        DriverInfoRecord &info = rig.drv.DriverInfo;
        info.BootloaderActive = bootloader;
        info.SignatureValid = signature;
        info.APVersionHigh = version >> 8;
        info.APVersionLow = version & 0xFF;
        info.FirmwareUpToDate = version == 0x0123;
        rig.forget();
    }

    // After the update's restart the board comes back running what was
    // flashed, and nothing asks or erases again.
    static void checkBackOnNewApplication(FirmwareRig &rig)
    {
        rig.forget();
        rig.tickAfterRestart();
        QVERIFY(rig.drv.IsConnected());
        QVERIFY(rig.dialogs.shown.isEmpty());
        QVERIFY(!rig.drv.DriverInfo.BootloaderActive);
        QVERIFY(rig.drv.DriverInfo.SignatureValid);
        QVERIFY(rig.drv.DriverInfo.FirmwareUpToDate);
        QCOMPARE(rig.drv.DriverInfo.APVersionLow, 0x23);
        QCOMPARE(rig.count(Report::CmdEraseSector), 0);
        QCOMPARE(rig.count(Report::CmdEnableRTStream), 1);
        QVERIFY(rig.drv.IsReceiveTimerActive());
    }

private slots:
    void decisionTable_data()
    {
        QTest::addColumn<bool>("bootloader");
        QTest::addColumn<bool>("signature");
        QTest::addColumn<int>("version");
        QTest::addColumn<Pending>("pending");
        QTest::addColumn<QString>("title"); // empty: no question
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<Action>("action");
        QTest::addColumn<Pending>("pendingAfter");

        // Boot loader without a signature: asked first, whatever else holds.
        QTest::newRow("corrupt, OK") << true << false << 0x0123 << NoPending << CorruptionTitle << CorruptionText
                                     << true << UpdateRun << NoPending;
        QTest::newRow("corrupt, Cancel") << true << false << 0x0123 << NoPending << CorruptionTitle << CorruptionText
                                         << false << Nothing << NoPending;
        QTest::newRow("corrupt, pending this board, Cancel") << true << false << 0x0122 << ThisBoard << CorruptionTitle
                                                             << CorruptionText << false << Nothing << ThisBoard;
        // Boot loader, signed, older version.
        QTest::newRow("boot loader, pending this board: unasked")
            << true << true << 0x0122 << ThisBoard << QString() << QString() << false << UpdateRun << NoPending;
        QTest::newRow("boot loader, pending other board, OK")
            << true << true << 0x0122 << OtherBoard << MismatchTitle << mismatchUpdate("0x0122") << true << UpdateRun
            << NoPending;
        QTest::newRow("boot loader, pending other board, Cancel")
            << true << true << 0x0122 << OtherBoard << MismatchTitle << mismatchUpdate("0x0122") << false << Nothing
            << OtherBoard;
        QTest::newRow("boot loader, nothing pending, OK") << true << true << 0x0122 << NoPending << MismatchTitle
                                                          << mismatchUpdate("0x0122") << true << UpdateRun << NoPending;
        QTest::newRow("boot loader, current version")
            << true << true << 0x0123 << ThisBoard << QString() << QString() << false << Nothing << ThisBoard;
        // Application running.
        QTest::newRow("application 0x0122, OK") << false << true << 0x0122 << NoPending << MismatchTitle
                                                << mismatchRestart("0x0122") << true << RestartSent << ThisBoard;
        QTest::newRow("application 0x0122, Cancel") << false << true << 0x0122 << NoPending << MismatchTitle
                                                    << mismatchRestart("0x0122") << false << Nothing << NoPending;
        QTest::newRow("application 0x0223 (high byte differs), OK")
            << false << true << 0x0223 << NoPending << MismatchTitle << mismatchRestart("0x0223") << true << RestartSent
            << ThisBoard;
        QTest::newRow("application current, restarted earlier")
            << false << true << 0x0123 << ThisBoard << QString() << QString() << false << Nothing << ThisBoard;
        QTest::newRow("application current, no signature")
            << false << false << 0x0123 << NoPending << QString() << QString() << false << Nothing << NoPending;
    }
    void decisionTable()
    {
        QFETCH(bool, bootloader);
        QFETCH(bool, signature);
        QFETCH(int, version);
        QFETCH(Pending, pending);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, answer);
        QFETCH(Action, action);
        QFETCH(Pending, pendingAfter);

        FirmwareRig rig;
        connectAndReport(rig, bootloader, signature, version);
        const QString thisBoard = rig.drv.DriverInfo.UniqueIDText;
        QVERIFY(!thisBoard.isEmpty() && thisBoard != OtherBoardId);
        auto idOf = [&](Pending p) { return p == ThisBoard ? thisBoard : p == OtherBoard ? OtherBoardId : QString(); };
        PendingUpdateDevice = idOf(pending);
        rig.dialogs.answers = {answer};

        QMetaObject::invokeMethod(&rig.drv, "CheckFirmware");

        if (title.isEmpty()) {
            QCOMPARE(rig.dialogs.shown.size(), 0);
        } else {
            QCOMPARE(rig.dialogs.shown.size(), 1);
            QCOMPARE(rig.dialogs.shown[0].kind, QStringLiteral("ask"));
            QCOMPARE(rig.dialogs.shown[0].title, title);
            QCOMPARE(rig.dialogs.shown[0].text, text);
            QCOMPARE(rig.pane.texts().value(0), text); // logged first, whatever the answer
        }
        const std::vector<unsigned char> codes = rig.board.receivedCodes();
        switch (action) {
        case Nothing:
            QVERIFY(codes.empty());
            break;
        case RestartSent:
            QCOMPARE(codes, std::vector<unsigned char>{Report::CmdRestart});
            QVERIFY(rig.pane.texts().contains(QStringLiteral("Restarting device...")));
            break;
        case UpdateRun:
            QVERIFY(!codes.empty());
            QCOMPARE(codes.front(), Report::CmdEraseSector);
            QVERIFY(rig.pane.texts().contains(QStringLiteral("Starting full update...")));
            break;
        }
        QCOMPARE(PendingUpdateDevice, idOf(pendingAfter));
    }

    // Without a dialog provider every question is answered Cancel, and its
    // text is still logged.
    void withoutDialogsEveryQuestionIsCancel_data()
    {
        QTest::addColumn<bool>("bootloader");
        QTest::addColumn<bool>("signature");
        QTest::addColumn<QString>("text");
        QTest::newRow("corrupt") << true << false << CorruptionText;
        QTest::newRow("boot loader, older") << true << true << mismatchUpdate("0x0122");
        QTest::newRow("application, older") << false << true << mismatchRestart("0x0122");
    }
    void withoutDialogsEveryQuestionIsCancel()
    {
        QFETCH(bool, bootloader);
        QFETCH(bool, signature);
        QFETCH(QString, text);
        FirmwareRig rig;
        connectAndReport(rig, bootloader, signature, signature ? 0x0122 : 0x0123);
        rig.drv.SetDialogs(nullptr);
        QMetaObject::invokeMethod(&rig.drv, "CheckFirmware");
        QVERIFY(rig.board.received.empty());
        QCOMPARE(rig.pane.texts(), QStringList{text});
        QVERIFY(PendingUpdateDevice.isEmpty());
    }

    // The practice scenarios of the simulated board lead the operator into
    // the paths they are named after.
    void practiceScenarios_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("bootloader");
        QTest::newRow("up to date") << QString() << QString() << false;
        QTest::newRow("outdated") << QStringLiteral("outdated") << mismatchRestart("0x0122") << false;
        QTest::newRow("broken") << QStringLiteral("broken") << CorruptionText << true;
        QTest::newRow("bootloader") << QStringLiteral("bootloader") << QString() << true;
    }

    void practiceScenarios()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, question);
        QFETCH(bool, bootloader);
        FirmwareRig rig;
        QVERIFY(applySimulationScenario(rig.board, scenario));
        rig.tick();
        QVERIFY(rig.drv.IsConnected());
        QCOMPARE(rig.dialogs.shown.size(), question.isEmpty() ? 0 : 1);
        if (!question.isEmpty())
            QCOMPARE(rig.dialogs.shown[0].text, question);
        QCOMPARE(rig.drv.DriverInfo.BootloaderActive, bootloader);
        QCOMPARE(rig.count(Report::CmdEnableRTStream), bootloader ? 0 : 1);
        QVERIFY(!applySimulationScenario(rig.board, QStringLiteral("no-such-scenario")));
    }

    // The usual update: the application is found out of date, the operator
    // agrees, the board restarts into its boot loader, is found again and
    // updated without a second question, and comes back current.
    void twoConnectionUpdate()
    {
        FirmwareRig rig;
        rig.applicationRunning(0x22);
        rig.dialogs.answers = {true};

        rig.tick();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].text, mismatchRestart("0x0122"));
        const QString id = rig.drv.DriverInfo.UniqueIDText;
        QCOMPARE(PendingUpdateDevice, id);
        QCOMPARE(rig.count(Report::CmdRestart), 1);
        // The board left the bus; the link noticed at its next send.
        QVERIFY(!rig.drv.IsConnected());
        QVERIFY(rig.pane.texts().contains(QStringLiteral("Torvan device disconnected!")));
        QVERIFY(rig.board.model.bootloaderRunning);

        rig.forget();
        rig.tickAfterRestart();
        QVERIFY(rig.dialogs.shown.isEmpty());
        QVERIFY(rig.drv.DriverInfo.BootloaderActive);
        QCOMPARE(rig.drv.DriverInfo.APVersionLow, 0x22);
        QCOMPARE(rig.count(Report::CmdWriteSubsector), 768);
        QVERIFY(rig.pane.texts().contains(QStringLiteral("All CRCs OK.")));
        QCOMPARE(rig.count(Report::CmdRestart), 1);
        QVERIFY(PendingUpdateDevice.isEmpty());
        QVERIFY(rig.board.model.flash.holdsCarriedApplication());

        checkBackOnNewApplication(rig);
    }

    // A board that starts in its boot loader over a broken application is
    // offered the update at once; after it, its application runs.
    void corruptedApplicationUpdate()
    {
        FirmwareRig rig;
        rig.bootloaderOverBrokenApplication();
        rig.dialogs.answers = {true};

        rig.tick();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].title, CorruptionTitle);
        QCOMPARE(rig.count(Report::CmdWriteSubsector), 768);
        QCOMPARE(rig.count(Report::CmdWriteSignature), 1);
        QVERIFY(PendingUpdateDevice.isEmpty());
        QVERIFY(rig.board.model.flash.signatureValid());

        checkBackOnNewApplication(rig);
    }

    // Restarting a board whose flash commands were never obeyed leaves it in
    // its boot loader: without a valid signature it never starts a broken
    // application, and the question comes again.
    void cancelledCorruptionStaysInBootLoader()
    {
        FirmwareRig rig;
        rig.bootloaderOverBrokenApplication();
        rig.tick();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        rig.drv.RestartDevice();
        rig.receiveTick(); // notices that the board left
        QVERIFY(!rig.drv.IsConnected());
        rig.forget();
        rig.tickAfterRestart();
        QVERIFY(rig.drv.IsConnected());
        QVERIFY(rig.drv.DriverInfo.BootloaderActive);
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].title, CorruptionTitle);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareCheck)
#include "tst_firmwarecheck.moc"
