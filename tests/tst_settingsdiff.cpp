// Comparing settings as a board holds them, and loading only some keys:
// a settings file against what the simulated board reported, two files,
// the rounding and encoding both sides go through, and the checks a change
// of a few keys makes before anything reaches a board.
#include "config/SettingsDiff.h"
#include "config/SettingsFile.h"
#include "support/LinkRig.h"

#include <QtTest>

namespace {

QVariantMap asMap(const DrvSettingsRecord &s, const TrajectoryDataRecord &t)
{
    QVariantMap map;
    for (const auto &value : SettingsFile::Values(s, t))
        map.insert(value.first, value.second);
    return map;
}

// The simulated board at 120 degrees C, connected and its settings read.
struct BoardRig : LinkRig
{
    BoardRig()
    {
        board.model.settings.driver.tempLimit = 120;
        connectBoard();
        for (int i = 0; i < 50; ++i) {
            clock.advance(10);
            receiveTick();
        }
    }
    SettingsDiff::Side side() const { return SettingsDiff::fromBoard(drv.DrvSettings, drv.TrajectoryData); }
    // A settings file as the window saves the board's settings.
    QVariantMap file() const
    {
        DrvSettingsRecord s = drv.DrvSettings;
        TrajectoryDataRecord t = drv.TrajectoryData;
        SettingsFile::Shown(s, t);
        return asMap(s, t);
    }
};

QStringList keys(const std::vector<SettingsDiff::Difference> &differences)
{
    QStringList list;
    for (const SettingsDiff::Difference &d : differences)
        list << d.key;
    return list;
}

} // namespace

class TestSettingsDiff : public QObject
{
    Q_OBJECT

private slots:
    void fileAgainstBoard_data()
    {
        QTest::addColumn<QVariantMap>("changes"); // over the board's own file; an invalid value removes the key
        QTest::addColumn<QStringList>("differences");
        QTest::newRow("the board's own") << QVariantMap() << QStringList();
        QTest::newRow("two changed") << QVariantMap{{"DriverSettings/FullScaleCurrent", 2.5},
                                                    {"TrajectorySettings/MaxSpeed", 12000}}
                                     << QStringList{"DriverSettings/FullScaleCurrent", "TrajectorySettings/MaxSpeed"};
        QTest::newRow("equal after rounding and clamping") << QVariantMap{{"DriverSettings/FullScaleCurrent", "2.24"},
                                                                          {"DriverSettings/IdleCurrent", "0.96"},
                                                                          {"DriverSettings/BlankingTime", "1.005"},
                                                                          {"DriverSettings/TemperatureLimit", "150"}}
                                                           << QStringList();
        QTest::newRow("what the board does not keep") << QVariantMap{{"TrajectorySettings/PosLimitUpper", 5},
                                                                     {"TrajectorySettings/SmallStep", 7},
                                                                     {"TrajectorySettings/RequestedSpeed", 3}}
                                                      << QStringList();
        QTest::newRow("what loading leaves to the board") << QVariantMap{{"DriverSettings/StepMode", QVariant()},
                                                                         {"DriverSettings/DecayMode", "17"},
                                                                         {"DriverSettings/ModbusConfig", QVariant()},
                                                                         {"DriverSettings/DriverName", ""}}
                                                          << QStringList();
        // The mode byte carries one of the two: auto run wins.
        QTest::newRow("mode flags as the mode byte carries them")
            << QVariantMap{{"DriverSettings/BINxButtonsMode", true}, {"DriverSettings/AutoRunMode", true}}
            << QStringList{"DriverSettings/AutoRunMode"};
        QTest::newRow("a name beyond the board's 32 bytes")
            << QVariantMap{{"DriverSettings/DriverName", "Torvan60 simulated 0123456789abcdefghij"}}
            << QStringList{"DriverSettings/DriverName"};
    }

    void fileAgainstBoard()
    {
        QFETCH(QVariantMap, changes);
        QFETCH(QStringList, differences);
        BoardRig rig;
        QVariantMap file = rig.file();
        for (auto it = changes.begin(); it != changes.end(); ++it) {
            if (it.value().isValid())
                file.insert(it.key(), it.value());
            else
                file.remove(it.key());
        }
        const auto found = SettingsDiff::compare(SettingsDiff::fromFile(file, {}), rig.side());
        QCOMPARE(keys(found), differences);
        for (const SettingsDiff::Difference &d : found) {
            QCOMPARE(d.b, rig.side().value(d.key));
            QCOMPARE(d.unit, SettingsFile::KeyUnit(d.key));
        }
        if (!found.empty() && found[0].key == QLatin1String("DriverSettings/DriverName"))
            QCOMPARE(found[0].a.toString().toUtf8().size(), 32);
    }

    // Two files say every key, the ones a board does not keep too.
    void twoFilesCompareEveryKey()
    {
        BoardRig rig;
        QVariantMap other = rig.file();
        other.insert(QStringLiteral("TrajectorySettings/PosLimitUpper"), 5);
        const auto found =
            SettingsDiff::compare(SettingsDiff::fromFile(rig.file(), {}), SettingsDiff::fromFile(other, {}));
        QCOMPARE(keys(found), QStringList{"TrajectorySettings/PosLimitUpper"});
        QCOMPARE(SettingsDiff::line(found[0]), QStringLiteral("TrajectorySettings/PosLimitUpper\t0\t5\tsteps"));
    }

    // A value held as the board holds it stays so: a file saved from a
    // board compares equal to that board at every current.
    void everyCurrentIsHeldStably()
    {
        SettingsFile::LoadRules rules;
        rules.partial = true;
        rules.developerCurrents = true;
        for (int tenths = 0; tenths <= 150; ++tenths) {
            const QString key = QStringLiteral("DriverSettings/FullScaleCurrent");
            const SettingsDiff::Side once = SettingsDiff::fromFile({{key, tenths / 10.0}}, rules);
            const SettingsDiff::Side twice = SettingsDiff::fromFile(once, rules);
            QVERIFY2(once == twice, qPrintable(QString::number(tenths / 10.0)));
            QVERIFY(std::abs(once.value(key).toDouble() - tenths / 10.0) <= 0.1 + 1e-9);
        }
    }

    void aPartialLoadChangesOnlyTheKeysGiven()
    {
        DrvSettingsRecord s;
        s.TemperatureLimit = 85;
        s.I2CAddress = 74;
        s.IdleCurrent = 1.0;
        s.MixedDecayTime = 0.5;
        s.FixedOffTime = 15.0;
        TrajectoryDataRecord t;
        t.MaxSpeed = 10000;
        t.RequestedSpeed = 8000;
        const DrvSettingsRecord before = s;
        SettingsFile::LoadRules rules;
        rules.partial = true;
        rules.source = QStringLiteral("Requested");
        const SettingsFile::LoadResult result = SettingsFile::LoadValues(
            {{"DriverSettings/FullScaleCurrent", "2.04"}, {"DriverSettings/MixedDecayTime", 20}}, s, t, rules);
        QVERIFY(result.loaded);
        QCOMPARE(s.FullScaleCurrent, 2.0);
        // The mixed decay time pushes the fixed off time up, as its slider does.
        QCOMPARE(s.MixedDecayTime, 20.0);
        QCOMPARE(s.FixedOffTime, 20.0);
        QCOMPARE(s.TemperatureLimit, before.TemperatureLimit);
        QCOMPARE(s.I2CAddress, before.I2CAddress);
        QCOMPARE(s.IdleCurrent, before.IdleCurrent);
        QCOMPARE(t.RequestedSpeed, 8000);
        QCOMPARE(result.adjustments,
                 QStringList({"Requested value DriverSettings/FullScaleCurrent=2.04 adjusted to 2.0.",
                              "Requested value DriverSettings/FixedOffTime=15.0 adjusted to 20.0 (at least the mixed "
                              "decay time)."}));
        QVERIFY(result.badValues.isEmpty());
    }

    void badValuesNameWhatTheKeyTakes_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("takes"); // empty: a good value
        QTest::newRow("current too high") << "DriverSettings/FullScaleCurrent" << QVariant(99) << "0.0 to 6.0 A";
        QTest::newRow("rounded is good") << "DriverSettings/FullScaleCurrent" << QVariant("2.25") << "";
        QTest::newRow("blanking snapped is good") << "DriverSettings/BlankingTime" << QVariant("0.581") << "";
        QTest::newRow("not a number") << "TrajectorySettings/MaxSpeed" << QVariant("fast") << "0 to 6000000 steps/s";
        QTest::newRow("outside the list") << "DriverSettings/StepMode" << QVariant(9) << "0 to 8";
        QTest::newRow("address below 1") << "DriverSettings/I2CAddress" << QVariant(0) << "1 to 127";
        QTest::newRow("not a switch") << "DriverSettings/PWMMode" << QVariant("maybe") << "true or false";
        QTest::newRow("name too long") << "DriverSettings/DriverName" << QVariant(QString(33, 'x'))
                                       << "a text of at most 32 characters";
    }

    void badValuesNameWhatTheKeyTakes()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QString, takes);
        DrvSettingsRecord s;
        TrajectoryDataRecord t;
        SettingsFile::LoadRules rules;
        rules.partial = true;
        const SettingsFile::LoadResult result = SettingsFile::LoadValues({{key, value}}, s, t, rules);
        QCOMPARE(result.badValues.value(key), takes);
        QCOMPARE(result.badValues.size(), takes.isEmpty() ? 0 : 1);
    }

    void keysByNameOrBareName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("whole") << "DriverSettings/FullScaleCurrent"
                               << "DriverSettings/FullScaleCurrent";
        QTest::newRow("bare") << "MaxSpeed"
                              << "TrajectorySettings/MaxSpeed";
        QTest::newRow("any case") << "fullscalecurrent"
                                  << "DriverSettings/FullScaleCurrent";
        QTest::newRow("wrong group") << "TrajectorySettings/FullScaleCurrent"
                                     << "";
        QTest::newRow("unknown") << "Speed"
                                 << "";
    }

    void keysByNameOrBareName()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QCOMPARE(SettingsFile::FullKey(name), key);
    }
};

QTEST_GUILESS_MAIN(TestSettingsDiff)
#include "tst_settingsdiff.moc"
