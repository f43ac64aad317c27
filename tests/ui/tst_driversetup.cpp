// The driver setup tab on the simulated board: controls and the settings
// record, slider and spin box pairs, enabling rules, automatic apply, the
// read, write and reset buttons. Presets and settings files are in
// tst_presetfiles.
#include "DriverSetupRig.h"

#include "config/Presets.h"
#include "device/Records.h"
#include "ui/AppInfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

class TestDriverSetup : public QObject
{
    Q_OBJECT

    QTemporaryDir files;
    QString file(const QString &name) const { return files.filePath(name); }

private slots:
    void startShowsTheDefaultConfiguration()
    {
        Rig rig;
        QCOMPARE(rig.entries(), QStringList({"Default configuration", "Low temp configuration"}));
        QCOMPARE(rig.selector()->currentIndex(), 0);
        QCOMPARE(rig.w<QComboBox>("cbStepMode")->currentText(), QStringLiteral("1/8 step"));
        QCOMPARE(rig.w<QComboBox>("cbPredriverSpeed")->currentText(), QStringLiteral("Medium"));
        QCOMPARE(rig.w<QComboBox>("cbDecayMode")->currentText(), QStringLiteral("5-Use auto mixed decay at all times"));
        QCOMPARE(rig.w<QComboBox>("cbModbusConfig")->count(), 6);
        QCOMPARE(rig.w<QSlider>("hsBlankingTime")->value(), 49);
        QCOMPARE(rig.w<QSlider>("hsFixedOffTime")->value(), 29);
        QCOMPARE(rig.w<QSlider>("hsMixedDecayTime")->value(), 0);
        // The preset's address 0 is below the control's minimum.
        QCOMPARE(rig.w<QSpinBox>("sbI2CAddress")->value(), 1);
        QCOMPARE(rig.w<QSpinBox>("sbI2CAddress")->text(), QStringLiteral("0x1"));

        QCOMPARE(rig.registerPane(),
                 QStringList({"IDRIVE > Q / RT == 100.0mA > 43.0nC / 450.0ns = 95.6mA",
                              "TDRIVE > 2 x RT == 1000.0ns > 900.0ns",
                              "DTIME = 450.0ns, TBLANK = 1000ns, TOFF = 15000ns, (TDECAY = 500ns) >> fPWM ~ 59.2kHz",
                              "Q < 20mA/4xfPWM == 84.5nC", "3;2.2;1.0;85;0.5;1;5;1.00;0;0.5;15.0;0;1",
                              "0x619;0x787;0x01D;0x031;0x500;0xF00;0x5AF;0x000;85;0x37A;0x33D;0x01"}));
        QCOMPARE(QStringList({rig.w<QLabel>("lblTon")->text(), rig.w<QLabel>("lblTblank")->text(),
                              rig.w<QLabel>("lblToff")->text(), rig.w<QLabel>("lblTdecay")->text()}),
                 QStringList({"1.00us < ", "1.00us", "15.0us", "0.5us"}));

        // The advanced group is locked until the operator unlocks it.
        auto *advanced = rig.w<QGroupBox>("gbAdvancedDriverSetup");
        QVERIFY(!advanced->isEnabled());
        rig.w<QCheckBox>("cbEnableAdvancedDriverSetup")->setChecked(true);
        QVERIFY(advanced->isEnabled());
        rig.w<QCheckBox>("cbEnableAdvancedDriverSetup")->setChecked(false);
        QVERIFY(!advanced->isEnabled());
        // Starting the window sends nothing and logs only its start.
        QCOMPARE(rig.windowLog().size(), 1);
    }

    void captionsNameTheirControls()
    {
        Rig rig;
        int captions = 0;
        for (QLabel *label : rig.window->findChildren<QLabel *>()) {
            if (!label->objectName().endsWith(QLatin1String("Caption")) &&
                !label->objectName().startsWith(QLatin1String("lblAiTq")))
                continue;
            ++captions;
            QVERIFY2(label->buddy(), qPrintable(label->objectName()));
        }
        QVERIFY(captions >= 18);
        QCOMPARE(rig.w<QLabel>("lblFSCurrentCaption")->buddy(), rig.w<QWidget>("dsbFSCurrent"));
        QCOMPARE(rig.w<QLabel>("lblAiTq_8")->buddy(), rig.w<QWidget>("lcdVoltage"));
    }

    void everyDriverControlFilesCustomSettings()
    {
        Rig rig;
        rig.developerControls(); // currents up to 15 A
        // Each of the sixteen controls, changed by the operator, reaches the
        // record and the selector; the name is taken at the next read of
        // the controls only.
        const std::function<void()> changes[] = {
            [&] { rig.w<QComboBox>("cbStepMode")->setCurrentIndex(5); },
            [&] { rig.w<QDoubleSpinBox>("dsbFSCurrent")->setValue(7.5); },
            [&] { rig.w<QDoubleSpinBox>("dsbIdleCurrent")->setValue(0.4); },
            [&] { rig.w<QSpinBox>("sbTempLimit")->setValue(33); },
            [&] { rig.w<QDoubleSpinBox>("dsbReducedCurrent")->setValue(0.2); },
            [&] { rig.w<QSlider>("hsBlankingTime")->setValue(10); },
            [&] { rig.w<QSlider>("hsMixedDecayTime")->setValue(3); },
            [&] { rig.w<QSlider>("hsFixedOffTime")->setValue(90); },
            [&] { rig.w<QComboBox>("cbPredriverSpeed")->setCurrentIndex(2); },
            [&] { rig.w<QComboBox>("cbAdaptiveBlanking")->setCurrentIndex(1); },
            [&] { rig.w<QComboBox>("cbDecayMode")->setCurrentIndex(0); },
            [&] { rig.w<QSpinBox>("sbI2CAddress")->setValue(0x10); },
            [&] { rig.w<QComboBox>("cbModbusConfig")->setCurrentIndex(3); },
            [&] { rig.w<QCheckBox>("cbEnableBINxUpDown")->setChecked(true); },
            [&] { rig.w<QCheckBox>("cbEnableAutoRun")->setChecked(true); },
            [&] { rig.w<QCheckBox>("cbDCMotorMode")->setChecked(true); },
        };
        const auto record = [&rig] {
            const DrvSettingsRecord &d = rig.drv.DrvSettings;
            return rig.drv.DrvSettings2String() +
                   QString::asprintf(" %d %d %d", d.ModbusConfig, d.BINxButtonsMode, d.AutoRunMode);
        };
        for (const auto &change : changes) {
            rig.selector()->setCurrentIndex(0);
            const QString before = record();
            change();
            QCOMPARE(rig.selector()->currentText(), Presets::CustomSettings);
            QVERIFY2(record() != before, qPrintable(record()));
        }
        rig.selector()->setCurrentIndex(0);
        rig.w<QLineEdit>("leDriverName")->setText(QStringLiteral("renamed"));
        QCOMPARE(rig.selector()->currentText(), QStringLiteral("Default configuration"));
        QCOMPARE(rig.drv.DrvSettings.DriverName, QString());
    }

    void timingPictureFromTheWorkingDirectory()
    {
        Rig rig0; // no picture: the label stays empty
        QVERIFY(rig0.picture("lblTimingPicture").isNull());
        rig0.window.reset();
        WindowRig rig([](const QDir &dir) {
            dir.mkpath(QStringLiteral("release"));
            QImage picture(64, 21, QImage::Format_ARGB32);
            picture.fill(Qt::green);
            QVERIFY(picture.save(dir.filePath(QStringLiteral("release/Driver timing.png"))));
        });
        QCOMPARE(rig.picture("lblTimingPicture").size(), QSize(64, 21));
    }

    void sliderAndSpinPairs_data()
    {
        // Steps "control=value" in order, then the pairs as they end up:
        // blanking slider and spin, mixed decay slider and spin, fixed off
        // slider and spin.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("pairs");
        QTest::newRow("blanking slider 255") << QStringList{"hsBlankingTime=255"} << "255 5.12 0 0.5 29 15.0";
        QTest::newRow("blanking slider 0") << QStringList{"hsBlankingTime=0"} << "0 0.02 0 0.5 29 15.0";
        QTest::newRow("blanking 0.58 us") << QStringList{"dsbBlankingTime=0.58"} << "28 0.58 0 0.5 29 15.0";
        QTest::newRow("blanking 1.00 us")
            << QStringList{"hsBlankingTime=3", "dsbBlankingTime=1.00"} << "49 1.00 0 0.5 29 15.0";
        QTest::newRow("fixed off slider 255") << QStringList{"hsFixedOffTime=255"} << "49 1.00 0 0.5 255 128.0";
        QTest::newRow("fixed off 1.50 us") << QStringList{"dsbFixedOffTime=1.5"} << "49 1.00 0 0.5 2 1.5";
        QTest::newRow("fixed off 0.5 us") << QStringList{"dsbFixedOffTime=0.5"} << "49 1.00 0 0.5 0 0.5";
        QTest::newRow("mixed decay pushes fixed off up")
            << QStringList{"hsFixedOffTime=40", "hsMixedDecayTime=60"} << "49 1.00 60 30.5 60 30.5";
        QTest::newRow("fixed off drags mixed decay down")
            << QStringList{"hsFixedOffTime=40", "hsMixedDecayTime=60", "hsFixedOffTime=30"}
            << "49 1.00 30 15.5 30 15.5";
        QTest::newRow("typed mixed decay above fixed off")
            << QStringList{"dsbMixedDecayTime=20.0"} << "49 1.00 39 20.0 39 20.0";
        QTest::newRow("typed fixed off below mixed decay")
            << QStringList{"dsbMixedDecayTime=10.0", "dsbFixedOffTime=4.0"} << "49 1.00 7 4.0 7 4.0";
    }
    void sliderAndSpinPairs()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, pairs);
        Rig rig;
        for (const QString &step : steps) {
            const QString name = step.section(QLatin1Char('='), 0, 0);
            const QString value = step.section(QLatin1Char('='), 1);
            if (name.startsWith(QLatin1String("hs")))
                rig.w<QSlider>(name.toLatin1().constData())->setValue(value.toInt());
            else
                rig.w<QDoubleSpinBox>(name.toLatin1().constData())->setValue(value.toDouble());
        }
        auto pair = [&rig](const char *slider, const char *spin) {
            return QString::number(rig.w<QSlider>(slider)->value()) + QLatin1Char(' ') +
                   rig.w<QDoubleSpinBox>(spin)->text();
        };
        QCOMPARE(pair("hsBlankingTime", "dsbBlankingTime") + QLatin1Char(' ') +
                     pair("hsMixedDecayTime", "dsbMixedDecayTime") + QLatin1Char(' ') +
                     pair("hsFixedOffTime", "dsbFixedOffTime"),
                 pairs);
        // Each change reached the record and the summary through the sliders.
        const DrvSettingsRecord &s = rig.drv.DrvSettings;
        QCOMPARE(QString::asprintf("%d %.2f %d %.1f %d %.1f", s.TBlank, s.BlankingTime, s.TDecay, s.MixedDecayTime,
                                   s.TOff, s.FixedOffTime),
                 pairs);
        QCOMPARE(rig.selector()->currentText(), Presets::CustomSettings);
        QCOMPARE(rig.w<QLabel>("lblToff")->text(), pairs.section(QLatin1Char(' '), 5) + QStringLiteral("us"));
    }

    void enablingRules_data()
    {
        QTest::addColumn<bool>("pwm");
        QTest::addColumn<bool>("binx");
        QTest::addColumn<bool>("autoRun");
        QTest::addColumn<QString>("enabled");
        for (const ModeRow &row : ModeRows)
            QTest::newRow(row.name) << row.pwm << row.binx << row.autoRun << row.enabled;
    }
    void enablingRules()
    {
        QFETCH(bool, pwm);
        QFETCH(bool, binx);
        QFETCH(bool, autoRun);
        QFETCH(QString, enabled);
        Rig rig;
        DrvSettingsRecord &s = rig.drv.DrvSettings;
        s.PWMMode = pwm;
        s.BINxButtonsMode = binx;
        s.AutoRunMode = autoRun;
        rig.window->CheckEnableConstraints();

        QCOMPARE(enabling(rig), enabled);
        // The boxes that show the modes on other tabs follow the flags.
        QCOMPARE(rig.w<QGroupBox>("gbPWMControl")->isChecked(), pwm);
        QCOMPARE(rig.w<QCheckBox>("cbEnableBINxButtonsPosCtrl")->isChecked(), binx);
        QCOMPARE(rig.w<QCheckBox>("cbEnableAutoRunPosCtrl")->isChecked(), autoRun);
    }

    void automaticApplyWritesOnceAndOnlyWithDeveloperControls()
    {
        Rig rig;
        rig.connectAndRead();
        auto *fullScale = rig.w<QDoubleSpinBox>("dsbFSCurrent");

        // Without automatic apply a change is only filed as custom settings.
        fullScale->setValue(2.5);
        QVERIFY(rig.board.received.empty());
        QCOMPARE(rig.selector()->currentText(), Presets::CustomSettings);

        rig.developerControls();
        rig.w<QCheckBox>("cbAutoApplyChanges")->setChecked(true);
        fullScale->setValue(3.0);
        QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdWriteDriverValues});
        // 3.0 A: value 184 at gain 20, so register 1 is 0x7B8.
        const auto &plain = rig.board.received[0].plain;
        QCOMPARE(QList<int>({plain[23], plain[24]}), QList<int>({0xB8, 0x07}));
        QCOMPARE(rig.board.model.settings.driver.registers[1], uint16_t(0x7B8));
        QCOMPARE(rig.entries().count(Presets::CustomSettings), 1);
    }

    void writeButtonWritesNamesAndSaves()
    {
        Rig rig;
        rig.connectAndRead();
        rig.w<QLineEdit>("leDriverName")->setText(QStringLiteral("Bench 7"));
        rig.w<QSpinBox>("sbTempLimit")->setValue(70);
        rig.w<QPushButton>("btnWriteDrvValues")->click();

        QCOMPARE(rig.board.receivedCodes(),
                 std::vector<unsigned char>(
                     {Report::CmdWriteDriverValues, Report::CmdSetDriverName, Report::CmdSaveDriverValues}));
        QCOMPARE(rig.board.model.saved.driver.tempLimit, 70);
        QCOMPARE(rig.selector()->currentText(), Presets::DriverValues);
        QCOMPARE(rig.entries().count(Presets::DriverValues), 1);
        const QString line = PresetList.at(rig.selector()->currentIndex());
        QVERIFY2(line.startsWith(QStringLiteral("Driver values;3;2.2;1.0;70;")), qPrintable(line));
        QVERIFY(rig.windowLog().contains(QStringLiteral("Writing Torvan driver values...")));
        QVERIFY(rig.windowLog().contains(QStringLiteral("Saving Torvan driver values...")));
    }

    void readBurstKeepsOneDriverValuesEntry()
    {
        Rig rig;
        rig.connectAndRead();
        QCOMPARE(rig.entries(), QStringList({"Default configuration", "Low temp configuration", "Driver values"}));

        int shown = 0;
        connect(&rig.drv, &TorvanDRV::newDriverValuesAvailable, [&shown] { ++shown; });
        rig.w<QLineEdit>("leDriverName")->setText(QStringLiteral("typed"));
        rig.w<QPushButton>("btnReadDrvValues")->click();
        rig.run(300);
        QVERIFY2(shown >= 3, qPrintable(QString::number(shown))); // registers, other settings, name
        QCOMPARE(rig.entries(), QStringList({"Default configuration", "Low temp configuration", "Driver values"}));
        QCOMPARE(rig.selector()->currentText(), Presets::DriverValues);
        QCOMPARE(rig.w<QLineEdit>("leDriverName")->text(), QStringLiteral("Torvan60 simulated"));
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->value(), 2.2);
        // Reading writes nothing back.
        for (unsigned char code : rig.board.receivedCodes())
            QVERIFY(code != Report::CmdWriteDriverValues && code != Report::CmdSaveDriverValues);
    }

    // A read the board does not answer (it runs its boot loader, or does
    // not answer at all) leaves the cleared current; a second after the
    // request one line says that nothing came, and why that may be.
    void aReadWithoutAnswerIsLogged_data()
    {
        QTest::addColumn<QString>("board");  // answering, boot loader, silent, none
        QTest::addColumn<QString>("logged"); // empty: nothing
        QTest::newRow("board answers") << "answering"
                                       << "";
        QTest::newRow("board runs its boot loader")
            << "boot loader"
            << "No driver values arrived within a second of the request: the driver runs its boot loader, which "
               "does not report them.";
        QTest::newRow("board does not answer")
            << "silent"
            << "No driver values arrived within a second of the request: the driver does not answer.";
        QTest::newRow("no board") << "none"
                                  << "No driver values arrived within a second of the request: no driver is "
                                     "connected.";
    }
    void aReadWithoutAnswerIsLogged()
    {
        QFETCH(QString, board);
        QFETCH(QString, logged);
        Rig rig;
        if (board == QLatin1String("boot loader"))
            rig.board.model.bootloaderRunning = true;
        if (board != QLatin1String("none"))
            rig.connectAndRead();
        if (board == QLatin1String("silent"))
            rig.board.answering = false;
        // The wait's timer, fired by hand once the clock has moved on.
        auto *watch = rig.window->findChild<QObject *>(QStringLiteral("readValuesWatch"));
        auto expire = [&] {
            if (watch)
                QVERIFY(QMetaObject::invokeMethod(watch, "expire"));
        };
        const auto lines = [&rig] { return rig.windowLog().filter(QStringLiteral("No driver values arrived")); };

        rig.w<QPushButton>("btnReadDrvValues")->click();
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->value(), 0.0);
        // The requests take about 300 ms of busy waits on the clock; the
        // second counts from the first of them.
        rig.run(500);
        expire(); // early: the wait goes on
        QCOMPARE(lines(), QStringList());
        rig.run(300);
        expire();
        expire(); // once only
        QCOMPARE(lines(), logged.isEmpty() ? QStringList() : QStringList(logged));
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->value(), board == QLatin1String("answering") ? 2.2 : 0.0);
        QVERIFY(watch);
    }

    void writtenValuesSurviveARestartOfTheBoard()
    {
        Rig rig;
        rig.connectAndRead();
        QCOMPARE(rig.w<QSpinBox>("sbI2CAddress")->value(), 74);
        QCOMPARE(rig.w<QLineEdit>("leDriverName")->text(), QStringLiteral("Torvan60 simulated"));

        rig.w<QDoubleSpinBox>("dsbFSCurrent")->setValue(3.4);
        rig.w<QLineEdit>("leDriverName")->setText(QStringLiteral("Axis 3"));
        rig.w<QPushButton>("btnWriteDrvValues")->click();

        // Power cycle: the board comes back with what it saved.
        rig.board.unplug();
        rig.run(20);
        QVERIFY(!rig.drv.IsConnected());
        rig.board.plug();
        rig.drv.DrvSettings = DrvSettingsRecord();
        rig.w<QDoubleSpinBox>("dsbFSCurrent")->setValue(1.0);
        rig.connectAndRead();

        // 3.4 A is value 208 at gain 20; read back it shows as 3.4 again.
        QCOMPARE(rig.board.model.saved.driver.registers[1], uint16_t(0x7D0));
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->value(), 3.4);
        QCOMPARE(rig.w<QLineEdit>("leDriverName")->text(), QStringLiteral("Axis 3"));
        QCOMPARE(rig.selector()->currentText(), Presets::DriverValues);
        QVERIFY2(PresetList.at(rig.selector()->currentIndex()).startsWith(QStringLiteral("Driver values;3;3.4;")),
                 qPrintable(PresetList.at(rig.selector()->currentIndex())));
        QCOMPARE(rig.registerPane().last(),
                 QStringLiteral("0x619;0x7D0;0x01D;0x031;0x500;0xF00;0x5AF;0x000;85;0x37A;0x33D;0x4A"));
        QCOMPARE(rig.drv.DrvSettings.FullScaleCurrent, 3.4);
    }

    void hidingDeveloperControlsClampsWithoutWriting()
    {
        Rig rig;
        rig.connectAndRead();
        rig.developerControls();
        rig.w<QDoubleSpinBox>("dsbFSCurrent")->setValue(12.0);
        rig.w<QCheckBox>("cbAutoApplyChanges")->setChecked(true);
        rig.w<QCheckBox>("cbAutoResetFaultsOnEnableToggle")->setChecked(true);
        rig.w<QPushButton>("btnWriteDrvValues")->click(); // away from "Custom settings"
        QCOMPARE(rig.selector()->currentText(), Presets::DriverValues);
        rig.board.received.clear();

        rig.developerControls();
        QVERIFY(!rig.w<QCheckBox>("cbAutoApplyChanges")->isChecked());
        QVERIFY(!rig.w<QCheckBox>("cbAutoResetFaultsOnEnableToggle")->isChecked());
        QCOMPARE(rig.w<QDoubleSpinBox>("dsbFSCurrent")->value(), 6.0);
        QCOMPARE(rig.drv.DrvSettings.FullScaleCurrent, 6.0);
        QCOMPARE(rig.selector()->currentText(), Presets::CustomSettings);
        QVERIFY(rig.board.received.empty());
    }

    void resetFaults_data()
    {
        QTest::addColumn<bool>("autoReset");
        QTest::addColumn<bool>("enabled"); // the axis as last reported
        QTest::addColumn<std::vector<unsigned char>>("runSends");
        QTest::newRow("plain enable") << false << false << std::vector<unsigned char>{Report::CmdSetDriverEnable};
        QTest::newRow("auto reset before enabling")
            << true << false << std::vector<unsigned char>{Report::CmdResetFaults, Report::CmdSetDriverEnable};
        QTest::newRow("sleep does not reset") << true << true << std::vector<unsigned char>{Report::CmdSetDriverEnable};
    }
    void resetFaults()
    {
        QFETCH(bool, autoReset);
        QFETCH(bool, enabled);
        QFETCH(std::vector<unsigned char>, runSends);
        Rig rig;
        rig.connectAndRead();
        const QString selected = rig.selector()->currentText();
        const QString settings = rig.drv.DrvSettings2String();

        rig.w<QPushButton>("btnResetFaults")->click();
        QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdResetFaults});
        QCOMPARE(rig.selector()->currentText(), selected);
        QCOMPARE(rig.drv.DrvSettings2String(), settings);

        rig.developerControls();
        rig.w<QCheckBox>("cbAutoResetFaultsOnEnableToggle")->setChecked(autoReset);
        rig.drv.RTData.InpSleep = enabled;
        rig.board.received.clear();
        rig.w<QPushButton>("btnRunStop")->click();
        QCOMPARE(rig.board.receivedCodes(), runSends);
    }
};

QTEST_MAIN(TestDriverSetup)
#include "tst_driversetup.moc"
