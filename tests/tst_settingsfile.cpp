// Settings files: what is written, what a load takes back, how values the
// controls would not take are held and reported, and which files are refused.
#include "support/DefaultConfiguration.h"
#include "support/LinkRig.h"
#include "support/TextFiles.h"

#include "config/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A motion record unlike the load defaults in every field.
TrajectoryDataRecord someTrajectory()
{
    TrajectoryDataRecord t;
    t.FinalPosition = 777;
    t.MaxSpeed = 12345;
    t.MaxAccel = 3456;
    t.MaxDecel = 4567;
    t.EnableEndSwitch = false;
    t.NCTypeSwitch = false;
    t.PosLimitLower = -2500;
    t.PosLimitUpper = 250000;
    t.SmallStep = 11;
    t.LargeStep = 222;
    t.BIN1Steps = -3333;
    t.BIN2Steps = 4444;
    t.AutoRunInvertDirection = true;
    t.RequestedSpeed = -5555;
    return t;
}

// Settings as the controls hold them, unlike the load defaults everywhere.
DrvSettingsRecord someSettings()
{
    DrvSettingsRecord s = defaultConfiguration();
    s.StepMode = 7;
    s.FullScaleCurrent = 4.3;
    s.IdleCurrent = 1.7;
    s.TemperatureLimit = 99;
    s.ReducedCurrent = 0.8;
    s.PredriverSpeed = 3;
    s.DecayMode = 2;
    s.BlankingTime = 0.58; // register value 28: truncation would read 27
    s.AdaptiveBlanking = 1;
    s.MixedDecayTime = 3.5;
    s.FixedOffTime = 20.0;
    s.DriverName = QStringLiteral("Axis, left; \"X\"");
    s.PWMMode = true;
    s.I2CAddress = 0x4A;
    s.ModbusConfig = 4;
    s.BINxButtonsMode = true;
    s.AutoRunMode = true;
    return s;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(writeTextFile(path, bytes));
}

// Every field a settings file carries, for comparing records.
QString fields(const DrvSettingsRecord &s, const TrajectoryDataRecord &t)
{
    return QString::asprintf("%d %.3f %.3f %d %.3f %d %d %.3f %d %.3f %.3f ", s.StepMode, s.FullScaleCurrent,
                             s.IdleCurrent, s.TemperatureLimit, s.ReducedCurrent, s.PredriverSpeed, s.DecayMode,
                             s.BlankingTime, s.AdaptiveBlanking, s.MixedDecayTime, s.FixedOffTime) +
           s.DriverName +
           QString::asprintf(" %d %d %d %d %d | %d %d %d %d %d %d %d %d %d %d %d %d %d", s.PWMMode, s.I2CAddress,
                             s.ModbusConfig, s.BINxButtonsMode, s.AutoRunMode, t.MaxSpeed, t.MaxAccel, t.MaxDecel,
                             t.EnableEndSwitch, t.NCTypeSwitch, t.PosLimitLower, t.PosLimitUpper, t.SmallStep,
                             t.LargeStep, t.BIN1Steps, t.BIN2Steps, t.AutoRunInvertDirection, t.RequestedSpeed);
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

private slots:
    void savedFileHoldsEveryKey()
    {
        const QString file = path("saved.tvs");
        QVERIFY(SettingsFile::Save(file, someSettings(), someTrajectory()));

        // Read back by the settings library alone, not by our loader.
        QSettings read(file, QSettings::IniFormat);
        const QStringList expected = {
            "DriverSettings/StepMode=7",
            "DriverSettings/FullScaleCurrent=4.3",
            "DriverSettings/IdleCurrent=1.7",
            "DriverSettings/TemperatureLimit=99",
            "DriverSettings/ReducedCurrent=0.8",
            "DriverSettings/PredriverSpeed=3",
            "DriverSettings/DecayMode=2",
            "DriverSettings/BlankingTime=0.58",
            "DriverSettings/AdaptiveBlanking=1",
            "DriverSettings/MixedDecayTime=3.5",
            "DriverSettings/FixedOffTime=20",
            "DriverSettings/DriverName=Axis, left; \"X\"",
            "DriverSettings/PWMMode=true",
            "DriverSettings/I2CAddress=74",
            "DriverSettings/ModbusConfig=4",
            "DriverSettings/BINxButtonsMode=true",
            "DriverSettings/AutoRunMode=true",
            "TrajectorySettings/MaxSpeed=12345",
            "TrajectorySettings/MaxAccel=3456",
            "TrajectorySettings/MaxDecel=4567",
            "TrajectorySettings/EnableEndSwitch=false",
            "TrajectorySettings/NCTypeSwitch=false",
            "TrajectorySettings/PosLimitLower=-2500",
            "TrajectorySettings/PosLimitUpper=250000",
            "TrajectorySettings/SmallStep=11",
            "TrajectorySettings/LargeStep=222",
            "TrajectorySettings/BIN1Steps=-3333",
            "TrajectorySettings/BIN2Steps=4444",
            "TrajectorySettings/AutoRunInvertDirection=true",
            "TrajectorySettings/RequestedSpeed=-5555",
        };
        QStringList got;
        for (const QString &key : read.allKeys()) {
            const QVariant v = read.value(key);
            got << key + QLatin1Char('=') +
                       (v.userType() == QMetaType::QStringList ? v.toStringList().join(QStringLiteral(", "))
                                                               : v.toString());
        }
        QStringList sortedExpected = expected;
        sortedExpected.sort();
        got.sort();
        QCOMPARE(got, sortedExpected);
        // Reals are read back as the same number (0.58 is not exact in binary).
        QCOMPARE(read.value(QStringLiteral("DriverSettings/BlankingTime")).toDouble(), 0.58);
    }

    void roundTripRestoresEveryField()
    {
        const QString file = path("roundtrip.tvs");
        const DrvSettingsRecord saved = someSettings();
        const TrajectoryDataRecord savedTrajectory = someTrajectory();
        QVERIFY(SettingsFile::Save(file, saved, savedTrajectory));

        DrvSettingsRecord s; // all zero: every field must come from the file
        s.TBlank = 9;        // not in the file: stays
        TrajectoryDataRecord t;
        t.FinalPosition = 5;
        SettingsFile::LoadRules rules;
        const SettingsFile::LoadResult result = SettingsFile::Load(file, s, t, rules);
        QVERIFY(result.loaded);
        QCOMPARE(result.adjustments, QStringList());
        QCOMPARE(fields(s, t), fields(saved, savedTrajectory));
        QCOMPARE(s.TBlank, 9);
        QCOMPARE(t.FinalPosition, 5);
    }

    // Files are UTF-8, whichever build or tool wrote them; text that earlier
    // builds escaped reads the same.
    void nameOutsideAscii_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("UTF-8, as an editor writes it") << QByteArray("DriverName=Pr\xc3\xbc"
                                                                     "fstand \xce\xb2");
        QTest::newRow("escaped, as earlier builds saved it") << QByteArray("DriverName=Pr\\xfc\\x66stand \\x3b2");
    }
    void nameOutsideAscii()
    {
        QFETCH(QByteArray, line);
        const QString name = QString::fromUtf8("Pr\xc3\xbc"
                                               "fstand \xce\xb2");
        const QString file = path("name.tvs");
        writeFile(file, "[DriverSettings]\n" + line + "\n");
        DrvSettingsRecord s;
        TrajectoryDataRecord t;
        QVERIFY(SettingsFile::Load(file, s, t).loaded);
        QCOMPARE(s.DriverName, name);

        // Saved again, the name is there as its UTF-8 bytes.
        QVERIFY(SettingsFile::Save(file, s, t));
        const QByteArray saved = readTextFile(file);
        QVERIFY2(saved.contains("\nDriverName=Pr\xc3\xbc"
                                "fstand \xce\xb2\n"),
                 saved.constData());
    }

    void savingKeepsForeignKeys()
    {
        const QString file = path("foreign.tvs");
        writeFile(file, "[Notes]\nOperator=Kim\n[DriverSettings]\nStepMode=1\n");
        QVERIFY(SettingsFile::Save(file, someSettings(), someTrajectory()));
        QSettings read(file, QSettings::IniFormat);
        QCOMPARE(read.value(QStringLiteral("Notes/Operator")).toString(), QStringLiteral("Kim"));
        QCOMPARE(read.value(QStringLiteral("DriverSettings/StepMode")).toInt(), 7);
    }

    void saveFailureIsReported()
    {
        // A folder cannot be written as a file.
        QVERIFY(!SettingsFile::Save(dir.path(), someSettings(), someTrajectory()));
    }

    void onlyMaxSpeed()
    {
        const QString file = path("maxspeed.tvs");
        writeFile(file, "[TrajectorySettings]\nMaxSpeed=500\n");
        DrvSettingsRecord s = someSettings();
        TrajectoryDataRecord t = someTrajectory();
        const SettingsFile::LoadResult result = SettingsFile::Load(file, s, t);
        QVERIFY(result.loaded);

        QCOMPARE(t.MaxSpeed, 500);
        // Defaults, held as the controls hold them.
        QCOMPARE(s.StepMode, -1);
        QCOMPARE(s.PredriverSpeed, -1);
        QCOMPARE(s.DecayMode, -1);
        QCOMPARE(s.FullScaleCurrent, 0.0);
        QCOMPARE(s.BlankingTime, 0.02);
        QCOMPARE(s.MixedDecayTime, 0.5);
        QCOMPARE(s.FixedOffTime, 0.5);
        QCOMPARE(s.TemperatureLimit, 0);
        QCOMPARE(s.I2CAddress, 1);
        QCOMPARE(s.DriverName, QString());
        QVERIFY(!s.PWMMode && !s.BINxButtonsMode && !s.AutoRunMode);
        QCOMPARE(s.ModbusConfig, 4); // no key: the selection stays
        QCOMPARE(QList<int>({t.MaxAccel, t.MaxDecel, t.PosLimitLower, t.PosLimitUpper, t.SmallStep, t.LargeStep,
                             t.BIN1Steps, t.BIN2Steps}),
                 QList<int>({2000, 2000, 0, 100000, 1000, 5000, -1000, 1000}));
        QVERIFY(t.EnableEndSwitch && t.NCTypeSwitch && !t.AutoRunInvertDirection);
        // The default speed of 10000 is more than the new maximum allows.
        QCOMPARE(t.RequestedSpeed, 500);
        QCOMPARE(t.FinalPosition, 777);

        // One line per missing value: the 29 other keys.
        QCOMPARE(result.adjustments.size(), 29);
        QVERIFY(result.adjustments.contains(
            QStringLiteral("Settings file value DriverSettings/StepMode missing; using -1 (no selection).")));
        QVERIFY(result.adjustments.contains(
            QStringLiteral("Settings file value DriverSettings/BlankingTime missing; using 0.02.")));
        QVERIFY(result.adjustments.contains(
            QStringLiteral("Settings file value DriverSettings/ModbusConfig missing; kept 4.")));
        QVERIFY(result.adjustments.contains(
            QStringLiteral("Settings file value TrajectorySettings/RequestedSpeed missing; using 500.")));
        for (const QString &line : result.adjustments)
            QVERIFY2(!line.contains(QLatin1String("MaxSpeed")), qPrintable(line));
    }

    void heldValues_data()
    {
        QTest::addColumn<QByteArray>("line"); // under [DriverSettings] unless it names its group
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("logged"); // empty: nothing logged for it

        QTest::newRow("current above 6 A") << QByteArray("FullScaleCurrent=20") << "FullScaleCurrent"
                                           << "6.0"
                                           << "DriverSettings/FullScaleCurrent=20 adjusted to 6.0.";
        QTest::newRow("negative current") << QByteArray("ReducedCurrent=-1.5") << "ReducedCurrent"
                                          << "0.0"
                                          << "DriverSettings/ReducedCurrent=-1.5 adjusted to 0.0.";
        QTest::newRow("current with two decimals") << QByteArray("IdleCurrent=1.26") << "IdleCurrent"
                                                   << "1.3"
                                                   << "DriverSettings/IdleCurrent=1.26 adjusted to 1.3.";
        QTest::newRow("garbage real") << QByteArray("FullScaleCurrent=lots") << "FullScaleCurrent"
                                      << "0.0"
                                      << "DriverSettings/FullScaleCurrent=lots adjusted to 0.0.";
        // Odd hundredths lie halfway between two register steps.
        QTest::newRow("blanking between steps") << QByteArray("BlankingTime=0.57") << "BlankingTime"
                                                << "0.56"
                                                << "DriverSettings/BlankingTime=0.57 adjusted to 0.56.";
        QTest::newRow("blanking on its step") << QByteArray("BlankingTime=1.00") << "BlankingTime"
                                              << "1.00"
                                              << "";
        QTest::newRow("fixed off too long") << QByteArray("FixedOffTime=500") << "FixedOffTime"
                                            << "128.0"
                                            << "DriverSettings/FixedOffTime=500 adjusted to 128.0.";
        QTest::newRow("step mode beyond the list") << QByteArray("StepMode=12") << "StepMode"
                                                   << "-1"
                                                   << "DriverSettings/StepMode=12 adjusted to -1 (no selection).";
        QTest::newRow("garbage list index") << QByteArray("DecayMode=fast") << "DecayMode"
                                            << "0"
                                            << "DriverSettings/DecayMode=fast adjusted to 0.";
        QTest::newRow("temperature above 120") << QByteArray("TemperatureLimit=150") << "TemperatureLimit"
                                               << "120"
                                               << "DriverSettings/TemperatureLimit=150 adjusted to 120.";
        QTest::newRow("address 0") << QByteArray("I2CAddress=0") << "I2CAddress"
                                   << "1"
                                   << "DriverSettings/I2CAddress=0 adjusted to 1.";
        QTest::newRow("integer written as real") << QByteArray("I2CAddress=74.0") << "I2CAddress"
                                                 << "1"
                                                 << "DriverSettings/I2CAddress=74.0 adjusted to 1.";
        QTest::newRow("garbage boolean") << QByteArray("PWMMode=yes please") << "PWMMode"
                                         << "false"
                                         << "DriverSettings/PWMMode=yes please adjusted to false.";
        QTest::newRow("boolean as 1") << QByteArray("PWMMode=1") << "PWMMode"
                                      << "true"
                                      << "";
        QTest::newRow("Modbus beyond the list") << QByteArray("ModbusConfig=9") << "ModbusConfig"
                                                << "-1"
                                                << "DriverSettings/ModbusConfig=9 adjusted to -1 (no selection).";
        QTest::newRow("Modbus applied") << QByteArray("ModbusConfig=5") << "ModbusConfig"
                                        << "5"
                                        << "";
        QTest::newRow("long name") << QByteArray("DriverName=abcdefghijklmnopqrstuvwxyz0123456789") << "DriverName"
                                   << "abcdefghijklmnopqrstuvwxyz012345"
                                   << "DriverSettings/DriverName=abcdefghijklmnopqrstuvwxyz0123456789 adjusted to "
                                      "\"abcdefghijklmnopqrstuvwxyz012345\".";
        QTest::newRow("speed beyond range") << QByteArray("[TrajectorySettings]\nMaxSpeed=9000000") << "MaxSpeed"
                                            << "6000000"
                                            << "TrajectorySettings/MaxSpeed=9000000 adjusted to 6000000.";
        QTest::newRow("number too big for 32 bits")
            << QByteArray("[TrajectorySettings]\nMaxAccel=99999999999") << "MaxAccel"
            << "0"
            << "TrajectorySettings/MaxAccel=99999999999 adjusted to 0.";
    }
    void heldValues()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, logged);

        const QString file = path("held.tvs");
        // Every other key present and fine, so only this one can be logged.
        DrvSettingsRecord base = defaultConfiguration();
        base.I2CAddress = 74;
        QVERIFY(SettingsFile::Save(file, base, someTrajectory()));
        QByteArray text = readTextFile(file);
        const QByteArray group = line.startsWith('[') ? line.left(line.indexOf('\n') + 1) : "[DriverSettings]\n";
        const QByteArray keyLine = line.mid(line.indexOf('\n') + 1);
        const QByteArray keyName = keyLine.left(keyLine.indexOf('=') + 1);
        const int groupAt = text.indexOf(group);
        const int keyAt = text.indexOf("\n" + keyName, groupAt) + 1;
        QVERIFY(groupAt >= 0 && keyAt > 0);
        text.replace(keyAt, text.indexOf('\n', keyAt) - keyAt, keyLine);
        writeFile(file, text);

        DrvSettingsRecord s = defaultConfiguration();
        s.ModbusConfig = 2;
        TrajectoryDataRecord t;
        const SettingsFile::LoadResult result = SettingsFile::Load(file, s, t);
        QVERIFY(result.loaded);
        const QVariantMap shown = {
            {"FullScaleCurrent", QString::number(s.FullScaleCurrent, 'f', 1)},
            {"IdleCurrent", QString::number(s.IdleCurrent, 'f', 1)},
            {"ReducedCurrent", QString::number(s.ReducedCurrent, 'f', 1)},
            {"BlankingTime", QString::number(s.BlankingTime, 'f', 2)},
            {"FixedOffTime", QString::number(s.FixedOffTime, 'f', 1)},
            {"StepMode", QString::number(s.StepMode)},
            {"DecayMode", QString::number(s.DecayMode)},
            {"TemperatureLimit", QString::number(s.TemperatureLimit)},
            {"I2CAddress", QString::number(s.I2CAddress)},
            {"PWMMode", s.PWMMode ? "true" : "false"},
            {"ModbusConfig", QString::number(s.ModbusConfig)},
            {"DriverName", s.DriverName},
            {"MaxSpeed", QString::number(t.MaxSpeed)},
            {"MaxAccel", QString::number(t.MaxAccel)},
        };
        QCOMPARE(shown.value(field).toString(), value);
        if (logged.isEmpty())
            QCOMPARE(result.adjustments, QStringList());
        else
            QCOMPARE(result.adjustments, QStringList(QStringLiteral("Settings file value ") + logged));
    }

    void orderingRulesBetweenValues()
    {
        const QString file = path("order.tvs");
        DrvSettingsRecord saved = someSettings();
        saved.MixedDecayTime = 40.0;
        saved.FixedOffTime = 10.0;
        TrajectoryDataRecord savedTrajectory = someTrajectory();
        savedTrajectory.PosLimitLower = 5000;
        savedTrajectory.PosLimitUpper = 1000;
        QVERIFY(SettingsFile::Save(file, saved, savedTrajectory));

        DrvSettingsRecord s;
        TrajectoryDataRecord t;
        const SettingsFile::LoadResult result = SettingsFile::Load(file, s, t);
        QVERIFY(result.loaded);
        QCOMPARE(s.MixedDecayTime, 10.0);
        QCOMPARE(s.FixedOffTime, 10.0);
        QCOMPARE(t.PosLimitLower, 1000);
        QCOMPARE(t.PosLimitUpper, 1000);
        QCOMPARE(result.adjustments,
                 QStringList({"Settings file value DriverSettings/MixedDecayTime=40.0 adjusted to 10.0 (at most the "
                              "fixed off time).",
                              "Settings file value TrajectorySettings/PosLimitLower=5000 adjusted to 1000 (at most "
                              "the upper limit)."}));
    }

    void notASettingsFile_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // "-" : no file at all
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray("-") << "cannot be read";
        QTest::newRow("empty") << QByteArray() << "empty";
        static const char elf[] = "\x7F"
                                  "ELF\x02\x01\x01\0\0\0[DriverSettings]\nStepMode=1\n";
        QTest::newRow("binary") << QByteArray(elf, sizeof(elf) - 1) << "binary";
        QTest::newRow("text without our keys")
            << QByteArray("[General]\nColour=blue\nStepMode=3\n") << "no settings in it";
    }
    void notASettingsFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString file = path("other.tvs");
        QFile::remove(file);
        if (bytes != "-")
            writeFile(file, bytes);

        DrvSettingsRecord s = someSettings();
        TrajectoryDataRecord t = someTrajectory();
        const SettingsFile::LoadResult result = SettingsFile::Load(file, s, t);
        QVERIFY(!result.loaded);
        QCOMPARE(result.refusal, reason);
        QCOMPARE(fields(s, t), fields(someSettings(), someTrajectory()));
    }

    void deviceObjectLogsWhatItHeld()
    {
        const QString file = path("device.tvs");
        writeFile(file, "[DriverSettings]\nFullScaleCurrent=12.5\nIdleCurrent=16\n");
        LinkRig rig;
        QVERIFY(rig.drv.LoadSettingsFromFile(file, true)); // developer ranges: up to 15 A
        QCOMPARE(rig.drv.DrvSettings.FullScaleCurrent, 12.5);
        QCOMPARE(rig.drv.DrvSettings.IdleCurrent, 15.0);
        const QStringList logged = rig.pane.texts();
        QVERIFY(logged.contains(QStringLiteral("Settings file value DriverSettings/IdleCurrent=16 adjusted to 15.0.")));
        QCOMPARE(logged.filter(QStringLiteral("FullScaleCurrent")), QStringList());
        QCOMPARE(logged.size(), 28 + 1); // 28 keys missing, one adjusted

        rig.pane.lines.clear();
        const DrvSettingsRecord before = rig.drv.DrvSettings;
        QVERIFY(!rig.drv.LoadSettingsFromFile(path("absent.tvs")));
        QCOMPARE(
            rig.pane.texts(),
            QStringList(QStringLiteral("Not a settings file (cannot be read), nothing loaded: ") + path("absent.tvs")));
        QCOMPARE(rig.drv.DrvSettings.FullScaleCurrent, before.FullScaleCurrent);

        QVERIFY(rig.drv.SaveSettingsToFile(path("device-saved.tvs")));
        QSettings read(path("device-saved.tvs"), QSettings::IniFormat);
        QCOMPARE(read.value(QStringLiteral("DriverSettings/FullScaleCurrent")).toDouble(), 12.5);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
