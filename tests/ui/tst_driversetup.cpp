// The driver setup tab on the simulated board: controls and the settings
// record, slider and spin box pairs, enabling rules, automatic apply, the
// read, write and reset buttons, presets and settings files.
#include "WindowRig.h"
#include "support/TextFiles.h"

#include "config/Presets.h"
#include "device/Records.h"
#include "ui/AppInfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

#include <algorithm>
#include <iterator>

namespace {

struct Rig : WindowRig
{
    // Lets ms pass in receive ticks: replies and live reports come in.
    void run(int ms)
    {
        for (int t = 0; t < ms; t += 10) {
            clock.advance(10);
            receiveTick();
        }
    }
    // Connects the board and takes in the settings the connection asked for.
    void connectAndRead()
    {
        connectBoard();
        run(300);
        board.received.clear();
    }

    QComboBox *selector() const { return w<QComboBox>("cbConfigurations"); }
    QStringList entries() const
    {
        QStringList names;
        for (int i = 0; i < selector()->count(); ++i)
            names << selector()->itemText(i);
        return names;
    }
    QStringList log() const { return pane.texts(); }
    // The window's own log pane, without timestamps.
    // The window's log lines without their time stamps, and without the
    // lines naming pictures the test folder does not hold.
    QStringList windowLog() const
    {
        QStringList lines;
        for (const QString &line : w<QPlainTextEdit>("pteLog")->toPlainText().split(QLatin1Char('\n')))
            if (!line.mid(21).startsWith(QLatin1String("Picture ")))
                lines << line.mid(21); // after "yyyy.MM.dd. hh:mm:ss "
        return lines;
    }
    QStringList registerPane() const
    {
        return w<QPlainTextEdit>("pteRegistersValues")->toPlainText().split(QLatin1Char('\n'));
    }
    void developerControls() { QTest::keyClick(window.get(), Qt::Key_F12); }

    // The file choosers answer with path once.
    void choose(const QString &path) { dialogs.files << path; }
    void save(const QString &path)
    {
        choose(path);
        w<QPushButton>("pbSaveSettings")->click();
    }
    void load(const QString &path)
    {
        choose(path);
        w<QPushButton>("pbLoadSettings")->click();
    }
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(writeTextFile(path, bytes));
}

// Replaces the value of one key line in an INI text.
QByteArray withValue(QByteArray text, const QByteArray &key, const QByteArray &value)
{
    const int at = text.indexOf("\n" + key + "=") + 1;
    Q_ASSERT(at > 0);
    const int end = text.indexOf('\n', at);
    return text.replace(at, end - at, key + "=" + value);
}

// Not disabled by its own flag (a control on a disabled page still counts as
// enabled here: the page is checked by itself).
bool ownEnabled(const QWidget *widget)
{
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

// What the mode rules enable, for each combination of the three modes: 1
// enabled, 0 disabled, in the order of ruledControls.
struct ModeRow
{
    const char *name;
    bool pwm, binx, autoRun;
    const char *enabled;
};
const ModeRow ModeRows[] = {
    {"no mode", false, false, false, "1111111111 1111 0000 1"},
    {"DC motor", true, false, false, "0000011111 1111 0000 0"},
    {"BINx buttons", false, true, false, "1100100100 0000 1111 0"},
    {"auto run", false, false, true, "0010100010 0000 1111 0"},
    {"DC motor and BINx", true, true, false, "0000000100 0000 1111 0"},
    {"DC motor and auto run", true, false, true, "0000000010 0000 1111 0"},
    {"BINx and auto run", false, true, true, "0000100000 0000 1111 0"},
    {"all three", true, true, true, "0000000000 0000 1111 0"},
};

// Step group, BINx, auto run, step tab, auto tab, PWM tab, navigation,
// external, speed, DC motor; target and limits; BIN steps and tests; Set.
const char *const ruledControls[] = {"gbStepMode",
                                     "cbEnableBINxUpDown",
                                     "cbEnableAutoRun",
                                     "tabStepDirControl",
                                     "tabPositionControl",
                                     "tabPWMControl",
                                     "tabInternalNavigation",
                                     "tabExternalNavigation",
                                     "tabSpeedMode",
                                     "cbDCMotorMode",
                                     nullptr,
                                     "sbFinPos",
                                     "vsFinPos",
                                     "sbPosLimitLower",
                                     "sbPosLimitUpper",
                                     nullptr,
                                     "sbBIN1Steps",
                                     "sbBIN2Steps",
                                     "btnTestBIN1",
                                     "btnTestBIN2",
                                     nullptr,
                                     "btnSetDefault"};

QString enabling(const Rig &rig)
{
    QString shown;
    for (const char *name : ruledControls)
        shown += name ? QLatin1Char(ownEnabled(rig.w<QWidget>(name)) ? '1' : '0') : QLatin1Char(' ');
    return shown;
}

} // namespace

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
        QVERIFY(!ownEnabled(rig.w<QWidget>("tabPositionControl")));
        QVERIFY(!ownEnabled(rig.w<QWidget>("cbStepMode")));
        QVERIFY(rig.drv.DrvSettings.PWMMode);
        QVERIFY(!rig.drv.DrvSettings.BINxButtonsMode);
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

QTEST_MAIN(TestDriverSetup)
#include "tst_driversetup.moc"
