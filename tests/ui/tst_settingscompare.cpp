// Settings compared in the window: "Compare with file…" on the driver setup
// page against what the board reported (not the controls' unsent edits),
// loading the file from there, and the Records page's settings snapshots
// after a firmware update that reset the board's settings, compared and
// restored. The simulated board on a manual clock.
#include "WindowRig.h"
#include "config/SettingsFile.h"
#include "device/sim/Scenarios.h"
#include "firmware/FirmwareCheck.h"
#include "firmware/UpdateSnapshots.h"
#include "support/TestWallClock.h"

#include <QDialog>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

namespace {

// The board's replies to what the connection asked for, taken in.
void takeReplies(WindowRig &rig)
{
    for (int i = 0; i < 30; ++i) {
        rig.clock.advance(10);
        rig.receiveTick();
    }
}

QDialog *comparison(WindowRig &rig)
{
    return rig.window->findChild<QDialog *>(QStringLiteral("settingsCompareDialog"));
}

QStringList rows(QDialog *dialog)
{
    QStringList list;
    auto *table = dialog->findChild<QTableWidget *>(QStringLiteral("twSettingsDifferences"));
    for (int row = 0; row < table->rowCount(); ++row)
        list << QStringList{table->item(row, 0)->text(), table->item(row, 1)->text(), table->item(row, 2)->text()}.join(
            QLatin1Char('|'));
    return list;
}

} // namespace

class TestSettingsCompare : public QObject
{
    Q_OBJECT

private slots:
    void compareWithFileAndLoadIt()
    {
        WindowRig rig;
        rig.connectBoard();
        takeReplies(rig);
        // A file as the window saves the board's settings, two of them changed.
        DrvSettingsRecord s = rig.drv.DrvSettings;
        TrajectoryDataRecord t = rig.drv.TrajectoryData;
        SettingsFile::Shown(s, t);
        s.FullScaleCurrent = 2.5;
        t.MaxSpeed = 12000;
        const QString file = rig.dir.filePath(QStringLiteral("bench.tvs"));
        QVERIFY(SettingsFile::Save(file, s, t));
        // An edit not sent to the board is no part of the board's side.
        rig.w<QDoubleSpinBox>("dsbIdleCurrent")->setValue(3.0);

        rig.dialogs.files = QStringList{file};
        rig.w<QPushButton>("pbCompareSettings")->click();
        QDialog *dialog = comparison(rig);
        QVERIFY(dialog);
        QCOMPARE(rows(dialog), QStringList({"DriverSettings/FullScaleCurrent|2.5 A|2.2 A",
                                            "TrajectorySettings/MaxSpeed|12000 steps/s|10000 steps/s"}));
        rig.board.received.clear();
        dialog->findChild<QPushButton *>(QStringLiteral("btnCompareAction"))->click();
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->value(), 2.5);
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbIdleCurrent")->value(), 1.0);
        QCOMPARE(rig.w<QSpinBox>("sbVmax")->value(), 12000);
        QVERIFY(rig.board.received.empty()); // loading writes nothing
    }

    void aFileThatIsNoSettingsIsToldAndNotCompared()
    {
        WindowRig rig;
        rig.connectBoard();
        takeReplies(rig);
        const QString file = rig.dir.filePath(QStringLiteral("empty.tvs"));
        QFile(file).open(QIODevice::WriteOnly);
        rig.dialogs.files = QStringList{file};
        rig.w<QPushButton>("pbCompareSettings")->click();
        QVERIFY(!comparison(rig));
        QCOMPARE(rig.dialogs.shown.last().kind, QStringLiteral("notice"));
        QVERIFY(rig.dialogs.shown.last().text.contains(QLatin1String("not a settings file (empty)")));
    }

    // After an update that reset the board's settings, kept at first: the
    // Records page lists the snapshot, compares it with the board and
    // restores it.
    void snapshotsComparedAndRestored()
    {
        PendingUpdateDevice.clear();
        WindowRig rig;
        QTemporaryDir state;
        TestWallClock wall(rig.clock, QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7), Qt::UTC), 0);
        UpdateSnapshots snapshots(rig.drv, wall);
        snapshots.setFolder(state.path());
        snapshots.setLogger(&rig.logger);
        snapshots.setOnDifference(UpdateSnapshots::OnDifference::Ask);
        rig.window->attachSnapshots(snapshots);
        QVERIFY(applySimulationScenario(rig.board, QStringLiteral("updatereset")));
        const BoardModel::Settings tuned = rig.board.model.saved;

        rig.dialogs.answers = {true, false}; // update: yes; after it: keep
        rig.enumerationTick();
        for (int leg = 0; leg < 2; ++leg) { // the update in the boot loader, then back on the new application
            rig.clock.advance(rig.board.restartOffBusMs + 1);
            rig.enumerationTick();
        }
        QVERIFY(rig.drv.DriverInfo.FirmwareUpToDate);
        takeReplies(rig);
        QCOMPARE(snapshots.lastOutcome().state, UpdateSnapshots::Outcome::State::Kept);
        QCOMPARE(rig.board.model.saved.driver.tempLimit, 85);

        auto *list = rig.w<QListWidget>("lwSnapshots");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("20261210-140307-before-update.tvs"));
        rig.w<QPushButton>("btnCompareSnapshot")->click();
        QDialog *dialog = comparison(rig);
        QVERIFY(dialog);
        QCOMPARE(rows(dialog).size(), 4);
        QCOMPARE(rows(dialog).first(), QStringLiteral("DriverSettings/FullScaleCurrent|3 A|2.2 A"));

        rig.dialogs.answers = {true}; // "Write the settings of ... to the board?"
        dialog->findChild<QPushButton *>(QStringLiteral("btnCompareAction"))->click();
        QCOMPARE(rig.board.model.saved.driver.registers, tuned.driver.registers);
        QCOMPARE(rig.board.model.saved.driver.tempLimit, tuned.driver.tempLimit);
        QCOMPARE(rig.board.model.saved.name, tuned.name);
        QCOMPARE(rig.board.model.saved.other.maxSpeed, 12000);
        QVERIFY(rig.pane.texts().filter(QStringLiteral("Settings restored from ")).size() == 1);
        PendingUpdateDevice.clear();
    }
};

QTEST_MAIN(TestSettingsCompare)
#include "tst_settingscompare.moc"
