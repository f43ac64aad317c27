// The driver setup tab's presets and settings files on the simulated board:
// selecting, saving and loading, what a loaded file shows and sends, files
// the controls would not take, and files that are none.
#include "DriverSetupRig.h"

#include "config/Presets.h"
#include "device/Records.h"

#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <iterator>

class TestPresetFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir files;
    QString file(const QString &name) const { return files.filePath(name); }

private slots:
    // A file can hold modes that exclude each other. The window takes one
    // (DC motor mode over auto run over the BINx buttons), the board is put
    // in the same, and every page is enabled as that mode wants: no page
    // stays locked by a mode that is not shown.
    void aFileWithSeveralModesLeavesNothingLocked_data()
    {
        QTest::addColumn<QByteArray>("pwm");
        QTest::addColumn<QByteArray>("binx");
        QTest::addColumn<QByteArray>("autoRun");
        QTest::addColumn<QString>("shown"); // the row of ModeRows the window shows
        QTest::addColumn<int>("boardMode"); // its operating mode afterwards; 0: as before
        QTest::newRow("DC motor and BINx")
            << QByteArray("true") << QByteArray("true") << QByteArray("false") << "DC motor" << 3;
        QTest::newRow("DC motor and auto run")
            << QByteArray("true") << QByteArray("false") << QByteArray("true") << "DC motor" << 3;
        QTest::newRow("all three") << QByteArray("true") << QByteArray("true") << QByteArray("true") << "DC motor" << 3;
        // Loading sends nothing unless DC motor mode changes.
        QTest::newRow("BINx and auto run")
            << QByteArray("false") << QByteArray("true") << QByteArray("true") << "auto run" << 0;
    }
    void aFileWithSeveralModesLeavesNothingLocked()
    {
        QFETCH(QByteArray, pwm);
        QFETCH(QByteArray, binx);
        QFETCH(QByteArray, autoRun);
        QFETCH(QString, shown);
        QFETCH(int, boardMode);
        Rig rig;
        rig.connectAndRead();
        const QString path = file(QStringLiteral("modes.tvs"));
        rig.save(path);
        QByteArray text = readTextFile(path);
        text = withValue(text, "PWMMode", pwm);
        text = withValue(text, "BINxButtonsMode", binx);
        text = withValue(text, "AutoRunMode", autoRun);
        writeFile(path, text);
        rig.load(path);

        const ModeRow *row = std::find_if(std::begin(ModeRows), std::end(ModeRows),
                                          [&shown](const ModeRow &r) { return shown == QLatin1String(r.name); });
        QVERIFY(row != std::end(ModeRows));
        const DrvSettingsRecord &s = rig.drv.DrvSettings;
        QCOMPARE(QList<bool>({s.PWMMode, s.BINxButtonsMode, s.AutoRunMode}),
                 QList<bool>({row->pwm, row->binx, row->autoRun}));
        QCOMPARE(QList<bool>({rig.w<QCheckBox>("cbDCMotorMode")->isChecked(),
                              rig.w<QCheckBox>("cbEnableBINxUpDown")->isChecked(),
                              rig.w<QCheckBox>("cbEnableAutoRun")->isChecked()}),
                 QList<bool>({row->pwm, row->binx, row->autoRun}));
        QCOMPARE(QList<bool>({rig.w<QGroupBox>("gbPWMControl")->isChecked(),
                              rig.w<QCheckBox>("cbEnableBINxButtonsPosCtrl")->isChecked(),
                              rig.w<QCheckBox>("cbEnableAutoRunPosCtrl")->isChecked()}),
                 QList<bool>({row->pwm, row->binx, row->autoRun}));
        QCOMPARE(enabling(rig), QString::fromLatin1(row->enabled));
        QCOMPARE(ownEnabled(rig.w<QWidget>("cbStepMode")), !row->pwm);
        if (boardMode) {
            rig.run(100);
            QCOMPARE(rig.drv.RTData.OperatingMode, boardMode);
        }
    }

    void dcMotorModeExcludesBINxButtonsFromAFile()
    {
        Rig rig;
        const QString path = file(QStringLiteral("both.tvs"));
        rig.save(path);
        writeFile(path, withValue(withValue(readTextFile(path), "PWMMode", "true"), "BINxButtonsMode", "true"));
        rig.load(path);
        QVERIFY(rig.w<QCheckBox>("cbDCMotorMode")->isChecked());
        QVERIFY(!rig.w<QCheckBox>("cbEnableBINxUpDown")->isChecked());
        QVERIFY(!ownEnabled(rig.w<QWidget>("cbEnableBINxUpDown")));
        QVERIFY(!ownEnabled(rig.w<QWidget>("gbSpeedProfile")));
        QVERIFY(!ownEnabled(rig.w<QWidget>("cbStepMode")));
        QVERIFY(rig.drv.DrvSettings.PWMMode);
        QVERIFY(!rig.drv.DrvSettings.BINxButtonsMode);
    }

    // Settings files are UTF-8: a name outside ASCII is shown whole, goes to
    // the board as its UTF-8 bytes and is saved as them.
    void aNameOutsideAsciiReachesTheBoardWhole()
    {
        Rig rig;
        rig.connectAndRead();
        const QByteArray utf8("Pr\xc3\xbc"
                              "fstand \xce\xb2");
        const QString path = file(QStringLiteral("utf8.tvs"));
        rig.save(path);
        writeFile(path, withValue(readTextFile(path), "DriverName", utf8));
        rig.load(path);
        QCOMPARE(rig.w<QLineEdit>("leDriverName")->text(), QString::fromUtf8(utf8));

        rig.w<QPushButton>("btnWriteDrvValues")->click();
        const auto &kept = rig.board.model.settings.name;
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(kept.data()), utf8.size() + 1), utf8 + '\0');

        const QString saved = file(QStringLiteral("saved-utf8.tvs"));
        rig.save(saved);
        QVERIFY(readTextFile(saved).contains("\nDriverName=" + utf8 + "\n"));
    }

    void presetSelection()
    {
        Rig rig;
        rig.drv.TrajectoryData.MaxSpeed = 4321;
        rig.w<QDoubleSpinBox>("dsbFSCurrent")->setValue(4.0); // files "Custom settings" with this record

        rig.selector()->setCurrentIndex(0);
        const QString defaults = rig.drv.DrvSettings2String();
        rig.selector()->setCurrentIndex(1);
        // Only the temperature limit differs among the 13 values.
        QCOMPARE(rig.drv.DrvSettings2String(),
                 QString(defaults).replace(QStringLiteral(";85;"), QStringLiteral(";45;")));
        QCOMPARE(rig.w<QSpinBox>("sbTempLimit")->value(), 45);
        QCOMPARE(rig.drv.TrajectoryData.MaxSpeed, PresetTrajectoryTable[1].MaxSpeed);

        rig.selector()->setCurrentIndex(rig.entries().indexOf(Presets::CustomSettings));
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->value(), 4.0);
        QCOMPARE(rig.w<QSpinBox>("sbVmax")->value(), 4321);
        QCOMPARE(rig.drv.TrajectoryData.MaxSpeed, 4321);
    }

    void settingsFileRoundTrip()
    {
        Rig rig;
        rig.connectAndRead();
        rig.developerControls();
        rig.w<QCheckBox>("cbAutoApplyChanges")->setChecked(true);
        rig.w<QComboBox>("cbStepMode")->setCurrentIndex(6);
        rig.w<QDoubleSpinBox>("dsbFSCurrent")->setValue(11.5);
        rig.w<QDoubleSpinBox>("dsbIdleCurrent")->setValue(1.3);
        rig.w<QDoubleSpinBox>("dsbReducedCurrent")->setValue(0.9);
        rig.w<QSpinBox>("sbTempLimit")->setValue(77);
        rig.w<QComboBox>("cbPredriverSpeed")->setCurrentIndex(3);
        rig.w<QComboBox>("cbDecayMode")->setCurrentIndex(1);
        rig.w<QDoubleSpinBox>("dsbBlankingTime")->setValue(0.58);
        rig.w<QComboBox>("cbAdaptiveBlanking")->setCurrentIndex(1);
        rig.w<QDoubleSpinBox>("dsbFixedOffTime")->setValue(22.5);
        rig.w<QDoubleSpinBox>("dsbMixedDecayTime")->setValue(6.0);
        rig.w<QLineEdit>("leDriverName")->setText(QStringLiteral("Left axis"));
        rig.w<QSpinBox>("sbI2CAddress")->setValue(0x22);
        rig.w<QComboBox>("cbModbusConfig")->setCurrentIndex(5);
        // The motion record as the Auto control tab keeps it.
        TrajectoryDataRecord &t = rig.drv.TrajectoryData;
        t.MaxSpeed = 20000;
        t.MaxAccel = 3000;
        t.MaxDecel = 4000;
        t.BIN1Steps = -250;
        t.SmallStep = 50;
        t.EnableEndSwitch = false;
        t.AutoRunInvertDirection = true;
        t.RequestedSpeed = -3000; // running backwards at 3000
        const QString saved = rig.drv.DrvSettings2String();
        QCOMPARE(saved, QStringLiteral("6;11.5;1.3;77;0.9;3;1;0.58;1;6.0;22.5;0;34"));

        const QString path = file(QStringLiteral("axis.tvs"));
        rig.save(path);
        QCOMPARE(rig.dialogs.shown.last().kind, QStringLiteral("save"));
        QCOMPARE(rig.dialogs.shown.last().title, QStringLiteral("Save settings to file..."));
        QCOMPARE(rig.dialogs.shown.last().text, QStringLiteral("Torvan Setting Files (*.tvs)"));
        QCOMPARE(rig.windowLog().last(), QStringLiteral("Settings saved to file: ") + path);

        {
            // Read by the settings library alone.
            QSettings read(path, QSettings::IniFormat);
            auto value = [&read](const char *key) { return read.value(QString::fromLatin1(key)).toString(); };
            QCOMPARE(read.allKeys().size(), 30);
            QCOMPARE(QStringList({value("DriverSettings/StepMode"), value("DriverSettings/FullScaleCurrent"),
                                  value("DriverSettings/IdleCurrent"), value("DriverSettings/TemperatureLimit"),
                                  value("DriverSettings/ReducedCurrent"), value("DriverSettings/PredriverSpeed"),
                                  value("DriverSettings/DecayMode"), value("DriverSettings/AdaptiveBlanking"),
                                  value("DriverSettings/MixedDecayTime"), value("DriverSettings/FixedOffTime"),
                                  value("DriverSettings/DriverName"), value("DriverSettings/PWMMode"),
                                  value("DriverSettings/I2CAddress"), value("DriverSettings/ModbusConfig"),
                                  value("DriverSettings/BINxButtonsMode"), value("DriverSettings/AutoRunMode")}),
                     QStringList({"6", "11.5", "1.3", "77", "0.9", "3", "1", "1", "6", "22.5", "Left axis", "false",
                                  "34", "5", "false", "false"}));
            QCOMPARE(read.value(QStringLiteral("DriverSettings/BlankingTime")).toDouble(), 0.58);
            QCOMPARE(QStringList({value("TrajectorySettings/MaxSpeed"), value("TrajectorySettings/MaxAccel"),
                                  value("TrajectorySettings/MaxDecel"), value("TrajectorySettings/EnableEndSwitch"),
                                  value("TrajectorySettings/BIN1Steps"), value("TrajectorySettings/SmallStep")}),
                     QStringList({"20000", "3000", "4000", "false", "-250", "50"}));
        }

        // Away from every value, then back from the file; nothing goes to the
        // board, though automatic apply is on.
        rig.selector()->setCurrentIndex(0);
        rig.w<QLineEdit>("leDriverName")->setText(QStringLiteral("other"));
        rig.w<QComboBox>("cbModbusConfig")->setCurrentIndex(0);
        QCOMPARE(rig.drv.TrajectoryData.MaxSpeed, PresetTrajectoryTable[0].MaxSpeed); // the preset's
        QVERIFY(rig.w<QSpinBox>("sbVmax")->value() != 20000);
        rig.board.received.clear();
        const int entries = rig.selector()->count();
        rig.load(path);
        QVERIFY(rig.board.received.empty());
        QCOMPARE(rig.dialogs.shown.last().title, QStringLiteral("Load settings from file..."));
        QCOMPARE(rig.windowLog().last(), QStringLiteral("Settings loaded from file: ") + path);
        QCOMPARE(rig.drv.DrvSettings2String(), saved);
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbBlankingTime")->value(), 0.58);
        QCOMPARE(rig.w<QSlider>("hsBlankingTime")->value(), 28);
        QCOMPARE(rig.w<QLineEdit>("leDriverName")->text(), QStringLiteral("Left axis"));
        QCOMPARE(rig.w<QComboBox>("cbModbusConfig")->currentIndex(), 5);
        QCOMPARE(rig.w<QSpinBox>("sbVmax")->value(), 20000);
        QCOMPARE(rig.w<QSpinBox>("sbAccel")->value(), 3000);
        QCOMPARE(rig.w<QSpinBox>("sbBIN1Steps")->value(), -250);
        QCOMPARE(rig.w<QSpinBox>("sbSmallInc")->value(), 50);
        QVERIFY(!rig.w<QCheckBox>("cbEnableEndSwitch")->isChecked());
        QCOMPARE(rig.drv.TrajectoryData.MaxSpeed, 20000);
        // The speed controls show the magnitude; the speed keeps its sign.
        QCOMPARE(rig.w<QSlider>("hsReqSpeed")->value(), 3000);
        QVERIFY(rig.w<QCheckBox>("cbInvDirection")->isChecked());
        QCOMPARE(rig.drv.TrajectoryData.RequestedSpeed, -3000);
        // The same entry as the save made.
        QCOMPARE(rig.selector()->count(), entries);
        QCOMPARE(rig.selector()->currentText(), QStringLiteral("axis.tvs"));
    }

    void loadingAFileThatSwitchesToDcMotorMode()
    {
        Rig rig;
        rig.connectAndRead();
        const QString path = file(QStringLiteral("dc.tvs"));
        rig.save(path);
        QByteArray text = readTextFile(path);
        text = withValue(text, "PWMMode", "true");
        text = withValue(text, "DriverName", "Pump drive");
        text = withValue(text, "I2CAddress", "51");
        text = withValue(text, "ModbusConfig", "2");
        text = withValue(text, "PosLimitLower", "200000");
        text = withValue(text, "PosLimitUpper", "300000");
        writeFile(path, text);
        rig.board.received.clear();
        rig.load(path);

        // The switch-over runs once, with its notice, and writes the new
        // configuration as a whole.
        QCOMPARE(rig.dialogs.shown.last().title, QStringLiteral("PWM Information"));
        QCOMPARE(rig.board.receivedCodes().back(), Report::CmdWriteDriverValues);
        QCOMPARE(rig.count(Report::CmdWriteDriverValues), 1);
        QCOMPARE(int(rig.board.model.settings.driver.address), 51);
        QCOMPARE(int(rig.board.model.settings.driver.modbusConfig), 2);
        QVERIFY(rig.board.model.settings.driver.registers[2] & 0x100);
        // The file's values stay shown and in the record.
        QCOMPARE(rig.w<QLineEdit>("leDriverName")->text(), QStringLiteral("Pump drive"));
        QCOMPARE(rig.w<QSpinBox>("sbI2CAddress")->value(), 51);
        QCOMPARE(rig.w<QComboBox>("cbModbusConfig")->currentIndex(), 2);
        QCOMPARE(rig.drv.DrvSettings.DriverName, QStringLiteral("Pump drive"));
        QCOMPARE(rig.drv.DrvSettings.I2CAddress, 51);
        // Both limits above the old upper one come in whole.
        QCOMPARE(rig.w<QSpinBox>("sbPosLimitLower")->value(), 200000);
        QCOMPARE(rig.w<QSpinBox>("sbPosLimitUpper")->value(), 300000);
        QCOMPARE(rig.drv.TrajectoryData.PosLimitLower, 200000);
        QCOMPARE(rig.drv.TrajectoryData.PosLimitUpper, 300000);
    }

    void outOfRangeFileLoadsHeldWithOneLineEach()
    {
        Rig rig;
        const QString path = file(QStringLiteral("wild.tvs"));
        rig.save(path);
        QByteArray text = readTextFile(path);
        text = withValue(text, "FullScaleCurrent", "20");
        text = withValue(text, "TemperatureLimit", "300");
        text = withValue(text, "StepMode", "12");
        text = withValue(text, "I2CAddress", "0");
        text = withValue(text, "DecayMode", "slow");
        writeFile(path, text);

        rig.load(path);
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->value(), 6.0);
        QCOMPARE(rig.w<QSpinBox>("sbTempLimit")->value(), 120);
        QCOMPARE(rig.w<QComboBox>("cbStepMode")->currentIndex(), -1);
        QCOMPARE(rig.w<QComboBox>("cbDecayMode")->currentIndex(), 0);
        QCOMPARE(rig.w<QSpinBox>("sbI2CAddress")->value(), 1);
        QCOMPARE(rig.drv.DrvSettings.StepMode, -1);
        QCOMPARE(rig.windowLog().mid(rig.windowLog().size() - 6),
                 QStringList({"Settings file value DriverSettings/StepMode=12 adjusted to -1 (no selection).",
                              "Settings file value DriverSettings/FullScaleCurrent=20 adjusted to 6.0.",
                              "Settings file value DriverSettings/TemperatureLimit=300 adjusted to 120.",
                              "Settings file value DriverSettings/DecayMode=slow adjusted to 0.",
                              "Settings file value DriverSettings/I2CAddress=0 adjusted to 1.",
                              "Settings loaded from file: " + path}));
        // A step mode without selection keeps the register field as it was
        // (3); 6.0 A is gain code 1.
        QCOMPARE(rig.registerPane().last().left(6), QStringLiteral("0x519;"));
    }

    void aFileThatIsNoSettingsFileChangesNothing()
    {
        Rig rig;
        rig.w<QDoubleSpinBox>("dsbFSCurrent")->setValue(3.3);
        const QStringList entries = rig.entries();
        const QString settings = rig.drv.DrvSettings2String();
        const QString path = file(QStringLiteral("picture.tvs"));
        writeFile(path, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));

        rig.load(path);
        QCOMPARE(rig.windowLog().last(), QStringLiteral("Not a settings file (binary), nothing loaded: ") + path);
        QCOMPARE(rig.entries(), entries);
        QCOMPARE(rig.selector()->currentText(), Presets::CustomSettings);
        QCOMPARE(rig.drv.DrvSettings2String(), settings);
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->value(), 3.3);
    }

    void aSaveThatFailsSaysSo()
    {
        Rig rig;
        rig.w<QSpinBox>("sbTempLimit")->setValue(66);
        const QStringList entries = rig.entries();
        rig.save(files.path()); // a folder cannot be written as a file
        QCOMPARE(rig.windowLog().last(), QStringLiteral("Settings could not be saved to file: ") + files.path());
        QCOMPARE(rig.entries(), entries);
        QCOMPARE(rig.selector()->currentText(), Presets::CustomSettings);
    }

    void cancelledChoosersOnlyLog()
    {
        Rig rig;
        const QStringList entries = rig.entries();
        rig.w<QPushButton>("pbSaveSettings")->click();
        rig.w<QPushButton>("pbLoadSettings")->click();
        QCOMPARE(rig.windowLog().mid(1),
                 QStringList({"Saving settings to file canceled.", "Loading settings from file canceled."}));
        QCOMPARE(rig.entries(), entries);
        QCOMPARE(rig.dialogs.shown.size(), 2);
        QCOMPARE(rig.dialogs.shown[1].kind, QStringLiteral("open"));
        QCOMPARE(rig.dialogs.shown[1].text, QStringLiteral("Torvan Setting Files (*.tvs)"));
    }

    void savingReplacesCustomSettingsByTheFile()
    {
        Rig rig;
        rig.w<QSpinBox>("sbTempLimit")->setValue(66);
        QCOMPARE(rig.entries(),
                 QStringList({"Default configuration", "Low temp configuration", Presets::CustomSettings}));
        rig.save(file(QStringLiteral("motor1.tvs")));
        QCOMPARE(rig.entries(), QStringList({"Default configuration", "Low temp configuration", "motor1.tvs"}));
        QCOMPARE(PresetList.size(), 3);
        QCOMPARE(int(PresetTrajectoryTable.size()), 3);

        // Each entry applies its own line afterwards.
        rig.selector()->setCurrentIndex(1);
        QCOMPARE(rig.w<QSpinBox>("sbTempLimit")->value(), 45);
        rig.selector()->setCurrentIndex(2);
        QCOMPARE(rig.w<QSpinBox>("sbTempLimit")->value(), 66);

        // A file of the same name elsewhere updates the same entry.
        QDir(files.path()).mkpath(QStringLiteral("other"));
        rig.w<QSpinBox>("sbTempLimit")->setValue(55);
        rig.save(file(QStringLiteral("other/motor1.tvs")));
        QCOMPARE(rig.entries(), QStringList({"Default configuration", "Low temp configuration", "motor1.tvs"}));
        rig.selector()->setCurrentIndex(0);
        rig.selector()->setCurrentIndex(2);
        QCOMPARE(rig.w<QSpinBox>("sbTempLimit")->value(), 55);
    }

    void moreThanAHundredPresets()
    {
        Rig rig;
        const QString first = file(QStringLiteral("p0.tvs"));
        rig.save(first);
        const QByteArray text = readTextFile(first);
        for (int i = 1; i <= 101; ++i) {
            const QString path = file(QStringLiteral("p%1.tvs").arg(i));
            writeFile(path, withValue(withValue(text, "TemperatureLimit", QByteArray::number(i)), "MaxSpeed",
                                      QByteArray::number(1000 + i)));
            rig.load(path);
        }
        QCOMPARE(rig.selector()->count(), 2 + 102);
        QCOMPARE(PresetList.size(), 2 + 102);
        QCOMPARE(int(PresetTrajectoryTable.size()), 2 + 102);

        rig.selector()->setCurrentIndex(0);
        rig.selector()->setCurrentIndex(rig.selector()->findText(QStringLiteral("p101.tvs")));
        QCOMPARE(rig.w<QSpinBox>("sbTempLimit")->value(), 101);
        QCOMPARE(rig.w<QSpinBox>("sbVmax")->value(), 1101);
        rig.selector()->setCurrentIndex(rig.selector()->findText(QStringLiteral("p100.tvs")));
        QCOMPARE(rig.w<QSpinBox>("sbTempLimit")->value(), 100);
        QCOMPARE(rig.drv.TrajectoryData.MaxSpeed, 1100);
    }
};

QTEST_MAIN(TestPresetFiles)
#include "tst_presetfiles.moc"
