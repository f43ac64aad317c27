// The board's settings over a firmware update: saved before it while the
// application still runs, compared when the board is back with the carried
// application, kept or restored; kept for the next update when one breaks
// off; an update from the boot loader and a folder that cannot be written.
// The simulated board on a manual clock.
#include "FirmwareRig.h"
#include "config/SettingsFile.h"
#include "device/sim/Scenarios.h"
#include "firmware/UpdateSnapshots.h"
#include "support/TestWallClock.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using Policy = UpdateSnapshots::OnDifference;
using State = UpdateSnapshots::Outcome::State;

// What the "updatereset" board holds before its update and loses by it.
const QStringList ChangedByTheUpdate = {
    QStringLiteral("DriverSettings/FullScaleCurrent"), QStringLiteral("DriverSettings/TemperatureLimit"),
    QStringLiteral("DriverSettings/DriverName"), QStringLiteral("TrajectorySettings/MaxSpeed")};

struct SnapshotRig : FirmwareRig
{
    QTemporaryDir state;
    TestWallClock wall{clock, QDateTime(QDate(2026, 12, 10), QTime(14, 3, 7), Qt::UTC), 0};
    UpdateSnapshots snapshots{drv, wall};
    QString serial;

    SnapshotRig()
    {
        snapshots.setFolder(state.path() + QStringLiteral("/snapshots"));
        snapshots.setLogger(&logger);
        serial = board.serial;
    }

    // The operator agrees to the update; the board restarts into its boot
    // loader, is updated there and comes back with the carried application.
    void updateAgreed()
    {
        dialogs.answers.prepend(true);
        tick();
        tickAfterRestart(); // the update in the boot loader
        tickAfterRestart(); // back on the new application
    }

    QStringList keys(const std::vector<SettingsDiff::Difference> &differences) const
    {
        QStringList list;
        for (const SettingsDiff::Difference &d : differences)
            list << d.key;
        return list;
    }
    int logged(const QString &start) const
    {
        int count = 0;
        for (const QString &line : pane.texts())
            count += line.startsWith(start);
        return count;
    }
};

} // namespace

Q_DECLARE_METATYPE(UpdateSnapshots::OnDifference)
Q_DECLARE_METATYPE(UpdateSnapshots::Outcome::State)

class TestUpdateSnapshots : public QObject
{
    Q_OBJECT

private slots:
    void anUpdateThatResetsTheSettings_data()
    {
        QTest::addColumn<Policy>("policy");
        QTest::addColumn<QList<bool>>("answers"); // after the update's own question
        QTest::addColumn<State>("state");
        QTest::newRow("kept") << Policy::Keep << QList<bool>{} << State::Kept;
        QTest::newRow("restored") << Policy::Restore << QList<bool>{} << State::Restored;
        QTest::newRow("operator restores") << Policy::Ask << QList<bool>{true} << State::Restored;
        QTest::newRow("operator keeps") << Policy::Ask << QList<bool>{false} << State::Kept;
    }

    void anUpdateThatResetsTheSettings()
    {
        QFETCH(Policy, policy);
        QFETCH(QList<bool>, answers);
        QFETCH(State, state);
        SnapshotRig rig;
        QVERIFY(applySimulationScenario(rig.board, QStringLiteral("updatereset")));
        const BoardModel::Settings tuned = rig.board.model.saved;
        rig.snapshots.setOnDifference(policy);
        rig.dialogs.answers = answers;
        rig.updateAgreed();
        QVERIFY(rig.drv.DriverInfo.FirmwareUpToDate);

        // Saved before the restart, from what the board reported then.
        const QStringList files = rig.snapshots.snapshots(rig.serial);
        QCOMPARE(files.size(), 1);
        QCOMPARE(QFileInfo(files[0]).fileName(), QStringLiteral("20261210-140307-before-update.tvs"));
        QCOMPARE(rig.logged(QStringLiteral("Settings snapshot before the firmware update: ") + files[0]), 1);
        DrvSettingsRecord s;
        TrajectoryDataRecord t;
        QVERIFY(SettingsFile::Load(files[0], s, t).loaded);
        QCOMPARE(s.FullScaleCurrent, 3.0);
        QCOMPARE(s.TemperatureLimit, 70);
        QCOMPARE(s.DriverName, QStringLiteral("Bench 7"));
        QCOMPARE(t.MaxSpeed, 12000);

        const UpdateSnapshots::Outcome &outcome = rig.snapshots.lastOutcome();
        QCOMPARE(outcome.snapshot, files[0]);
        QCOMPARE(rig.keys(outcome.differences), ChangedByTheUpdate);
        QCOMPARE(outcome.differences[0].a, QVariant(3.0));
        QCOMPARE(outcome.differences[0].b, QVariant(2.2));
        QCOMPARE(rig.logged(QStringLiteral("Setting changed by the firmware update: ")), 4);
        QCOMPARE(outcome.state, state);
        QVERIFY(rig.snapshots.pending(rig.serial).isEmpty());
        // Besides the update's question, the operator was asked only where
        // the policy says so.
        QCOMPARE(rig.dialogs.shown.size(), policy == Policy::Ask ? 2 : 1);

        // Restored means written and saved: it survives a restart.
        const BoardModel::Settings expected = state == State::Restored ? tuned : BoardModel::factorySettings();
        QCOMPARE(rig.board.model.saved.driver.registers, expected.driver.registers);
        QCOMPARE(rig.board.model.saved.driver.tempLimit, expected.driver.tempLimit);
        QCOMPARE(rig.board.model.saved.name, expected.name);
        QCOMPARE(rig.board.model.saved.other.maxSpeed, expected.other.maxSpeed);
    }

    void settingsAsBeforeAreOneLine()
    {
        SnapshotRig rig;
        rig.applicationRunning(0x22);
        rig.updateAgreed();
        QCOMPARE(rig.snapshots.lastOutcome().state, State::Equal);
        QCOMPARE(rig.logged(QStringLiteral("Settings after the firmware update are those of ")), 1);
        QCOMPARE(rig.logged(QStringLiteral("Setting changed")), 0);
    }

    // An update that breaks off leaves the board in its boot loader with its
    // snapshot pending; the update run from there compares with it.
    void aFailedUpdateKeepsItsSnapshotForTheNext()
    {
        SnapshotRig rig;
        QVERIFY(applySimulationScenario(rig.board, QStringLiteral("updatereset")));
        rig.board.model.flash.wrongChecksumSector = 5;
        rig.dialogs.answers = {true};
        rig.tick();
        rig.tickAfterRestart();
        QVERIFY(rig.pane.texts().contains(QStringLiteral("CRC 5 is NOK.")));
        QVERIFY(rig.drv.DriverInfo.BootloaderActive);
        const QString snapshot = rig.snapshots.pending(rig.serial);
        QVERIFY(!snapshot.isEmpty());
        QCOMPARE(rig.snapshots.lastOutcome().state, State::None);

        rig.board.model.flash.wrongChecksumSector = -1;
        rig.forget();
        rig.drv.FullUpdate(); // the operator's "Full update"
        QCOMPARE(rig.logged(QStringLiteral("The board runs its boot loader; after the update its settings are "
                                           "compared with ") +
                            snapshot),
                 1);
        rig.tickAfterRestart();
        QCOMPARE(rig.snapshots.lastOutcome().snapshot, snapshot);
        QCOMPARE(rig.keys(rig.snapshots.lastOutcome().differences), ChangedByTheUpdate);
        QCOMPARE(rig.snapshots.snapshots(rig.serial), QStringList{snapshot});
    }

    void anUpdateFromTheBootLoaderWithoutSnapshotSaysSo()
    {
        SnapshotRig rig;
        rig.bootloaderOverBrokenApplication();
        rig.dialogs.answers = {true};
        rig.tick();
        QCOMPARE(rig.logged(QStringLiteral("No settings snapshot before the firmware update: the board runs its boot "
                                           "loader")),
                 1);
        rig.tickAfterRestart();
        QVERIFY(rig.drv.DriverInfo.FirmwareUpToDate);
        QCOMPARE(rig.snapshots.lastOutcome().state, State::None);
        QVERIFY(rig.snapshots.snapshots(rig.serial).isEmpty());
    }

    // Two snapshots within one second are two files, the newer first.
    void snapshotsAreNeverOverwritten()
    {
        SnapshotRig rig;
        rig.tick();
        rig.board.model.settings.driver.tempLimit = 60;
        emit rig.drv.firmwareUpdateStarting();
        rig.board.model.settings.driver.tempLimit = 61;
        emit rig.drv.firmwareUpdateStarting();
        const QStringList files = rig.snapshots.snapshots(rig.serial);
        QCOMPARE(files.size(), 2);
        QVERIFY(files[0].endsWith(QStringLiteral("-2-before-update.tvs")));
        QCOMPARE(rig.snapshots.pending(rig.serial), files[0]);
        DrvSettingsRecord s;
        TrajectoryDataRecord t;
        QVERIFY(SettingsFile::Load(files[1], s, t).loaded);
        QCOMPARE(s.TemperatureLimit, 60);
    }

    void aFolderThatCannotBeWrittenIsToldOnceAndTheUpdateRuns()
    {
        SnapshotRig rig;
        QFile blocker(rig.state.path() + QStringLiteral("/file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        rig.snapshots.setFolder(blocker.fileName() + QStringLiteral("/snapshots"));
        rig.applicationRunning(0x22);
        rig.updateAgreed();
        QVERIFY(rig.drv.DriverInfo.FirmwareUpToDate);
        emit rig.drv.firmwareUpdateStarting(); // a second try
        QCOMPARE(rig.logged(QStringLiteral("Settings snapshots cannot be written to ")), 1);
        int notices = 0;
        for (const ScriptedDialogs::Shown &shown : rig.dialogs.shown)
            notices += shown.kind == QLatin1String("notice") && shown.title == QLatin1String("No settings snapshot");
        QCOMPARE(notices, 2);
    }
};

QTEST_GUILESS_MAIN(TestUpdateSnapshots)
#include "tst_updatesnapshots.moc"
