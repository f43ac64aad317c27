// Speed mode, the external buttons and DC motor control of the operator
// window, driven through their controls against the simulated board.
#include "MotionRig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

using namespace MotionTabs;

class TestSpeedAndDcMotor : public QObject
{
    Q_OBJECT

private slots:
    // ---- Speed mode ----

    void maxSpeedBoundsTheRequestedSpeed()
    {
        MotionRig rig;
        auto *slider = rig.w<QSlider>("hsReqSpeed");
        QCOMPARE(QList<int>({slider->maximum(), slider->singleStep()}), QList<int>({10000, 500}));
        rig.w<QSpinBox>("sbReqSpeed")->setValue(6000);
        QCOMPARE(slider->value(), 6000);
        QCOMPARE(rig.speedsSent().last(), 6000);
        rig.board.received.clear();

        rig.type("sbVmax", QStringLiteral("4000"));
        QCOMPARE(rig.drv.TrajectoryData.RequestedSpeed, 4000);
        QCOMPARE(QList<int>({slider->maximum(), slider->singleStep(), slider->value()}), QList<int>({4000, 200, 4000}));
        QCOMPARE(rig.w<QSpinBox>("sbReqSpeed")->value(), 4000);
        QCOMPARE(rig.w<QLabel>("lblAutoRunActualSpeed")->text(), QStringLiteral("AcSp: 4000"));
        // Whatever the number of sends, each carries the new pair.
        QVERIFY(!rig.speedsSent().isEmpty());
        QCOMPARE(rig.speedsSent().last(), 4000);
        QCOMPARE(rig.trajectoryField(25).last(), 4000);
        for (int speed : rig.speedsSent())
            QVERIFY(speed <= 4000);
    }

    // A requested speed the record was given from elsewhere never goes out
    // beyond MaxSpeed.
    void recordSpeedAboveMaxSpeedIsBounded()
    {
        MotionRig rig;
        rig.drv.TrajectoryData.RequestedSpeed = 50000;
        rig.w<QSpinBox>("sbAccel")->setValue(2500);
        QVERIFY(!rig.speedsSent().isEmpty());
        QCOMPARE(rig.speedsSent().count(10000), rig.speedsSent().size());
        QCOMPARE(rig.drv.TrajectoryData.RequestedSpeed, 10000);
        QCOMPARE(rig.w<QSlider>("hsReqSpeed")->value(), 10000);
    }

    void invertDirectionRunsBackwards()
    {
        MotionRig rig;
        rig.w<QSpinBox>("sbAccel")->setValue(100000);
        rig.w<QSpinBox>("sbDecel")->setValue(100000);
        rig.w<QSpinBox>("sbReqSpeed")->setValue(3000);
        rig.w<QCheckBox>("cbEnableAutoRunPosCtrl")->setChecked(true);
        rig.run(500);
        QCOMPARE(rig.drv.RTData.OperatingMode, 6);
        QCOMPARE(rig.liveSpeed(), 3000);

        rig.w<QCheckBox>("cbInvDirection")->setChecked(true);
        QCOMPARE(rig.drv.TrajectoryData.RequestedSpeed, -3000);
        QCOMPARE(rig.w<QLabel>("lblAutoRunActualSpeed")->text(), QStringLiteral("AcSp: -3000"));
        QCOMPARE(rig.w<QSlider>("hsReqSpeed")->value(), 3000);
        QCOMPARE(rig.w<QSpinBox>("sbReqSpeed")->value(), 3000);
        QCOMPARE(rig.speedsSent().last(), -3000);
        QCOMPARE(int(rig.sent(Report::CmdWriteTrajectory).back().plain[37]) & 0x04, 0x04);
        rig.run(500);
        QCOMPARE(rig.liveSpeed(), -3000);
    }

    void actualSpeedLabel_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<QString>("label");
        QTest::newRow("0") << 0 << false << "AcSp: 0";
        QTest::newRow("1000") << 1000 << false << "AcSp: 1000";
        QTest::newRow("7000") << 7000 << false << "AcSp: 7007";
        QTest::newRow("-7000") << 7000 << true << "AcSp: -7007";
        QTest::newRow("2400001, one timer tick short of two") << 2400001 << false << "AcSp: 4800000";
        QTest::newRow("4800000") << 4800000 << false << "AcSp: 4800000";
        // Beyond the timer base the board cannot step faster than once a tick.
        QTest::newRow("5000000") << 5000000 << false << "AcSp: 4800000";
        QTest::newRow("-6000000") << 6000000 << true << "AcSp: -4800000";
    }
    void actualSpeedLabel()
    {
        QFETCH(int, requested);
        QFETCH(bool, inverted);
        QFETCH(QString, label);
        WindowRig rig;
        rig.w<QSpinBox>("sbVmax")->setValue(6000000);
        rig.w<QCheckBox>("cbInvDirection")->setChecked(inverted);
        rig.w<QSpinBox>("sbReqSpeed")->setValue(requested);
        QCOMPARE(rig.w<QLabel>("lblAutoRunActualSpeed")->text(), label);
        QCOMPARE(rig.drv.TrajectoryData.RequestedSpeed, inverted ? -requested : requested);
    }

    // ---- Mode switches, through the driver setup's boxes and rules ----

    // However auto run is left, the motor stops where it is, that becomes
    // the zero and the target, and the board gets the record without auto
    // run, which takes it out of speed mode: the board runs the mode the
    // window shows and holds the record the window shows.
    void leavingAutoRunStopsThenSetsHome_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("operator unchecks Enable Auto run") << "operator";
        QTest::newRow("operator unchecks it without auto update") << "operator, no auto update";
        QTest::newRow("driver values arrive without auto run") << "read";
        QTest::newRow("a settings file without auto run") << "file";
    }
    void leavingAutoRunStopsThenSetsHome()
    {
        QFETCH(QString, how);
        MotionRig rig;
        const QString file = rig.dir.filePath(QStringLiteral("no-auto-run.tvs"));
        if (how == QLatin1String("file")) {
            rig.dialogs.files << file;
            rig.w<QPushButton>("pbSaveSettings")->click();
        }
        auto *autoRun = rig.w<QCheckBox>("cbEnableAutoRunPosCtrl");
        rig.w<QSpinBox>("sbFinPos")->setValue(5000);
        rig.w<QSpinBox>("sbReqSpeed")->setValue(2000);
        autoRun->setChecked(true);
        QVERIFY(rig.w<QCheckBox>("cbEnableAutoRun")->isChecked());
        QVERIFY(rig.drv.DrvSettings.AutoRunMode);
        QVERIFY(!rig.w<QWidget>("tabStepDirControl")->isEnabled());
        QVERIFY(!rig.w<QWidget>("tabInternalNavigation")->isEnabled());
        QVERIFY(!rig.w<QWidget>("sbFinPos")->isEnabled());
        rig.run(2000);
        QCOMPARE(rig.drv.RTData.OperatingMode, 6);
        QCOMPARE(rig.liveSpeed(), 2000);
        QVERIFY(rig.livePosition() > 1000);
        rig.board.received.clear();

        if (how.startsWith(QLatin1String("operator"))) {
            rig.w<QCheckBox>("cbAutoUpdatePos")->setChecked(how == QLatin1String("operator"));
            autoRun->setChecked(false);
        } else if (how == QLatin1String("read")) {
            rig.w<QPushButton>("btnReadDrvValues")->click(); // the board holds no auto run
        } else {
            rig.dialogs.files << file;
            rig.w<QPushButton>("pbLoadSettings")->click();
        }
        for (int i = 0; i < 20 && autoRun->isChecked(); ++i)
            rig.run(10);
        QVERIFY(!autoRun->isChecked());
        QVERIFY(!rig.w<QCheckBox>("cbEnableAutoRun")->isChecked());
        QVERIFY(!rig.drv.DrvSettings.AutoRunMode);

        rig.run(500);
        QCOMPARE(rig.drv.RTData.OperatingMode, 4); // out of speed mode
        QCOMPARE(rig.livePosition(), 0);           // nothing moves after the stop
        QCOMPARE(rig.liveSpeed(), 0);

        std::vector<unsigned char> motion;
        for (unsigned char code : rig.board.receivedCodes())
            if (code == Report::CmdStopTrajectory || code == Report::CmdSetHome || code == Report::CmdWriteTrajectory)
                motion.push_back(code);
        QVERIFY(motion.size() >= 3);
        QCOMPARE(
            std::vector<unsigned char>(motion.end() - 3, motion.end()),
            std::vector<unsigned char>({Report::CmdStopTrajectory, Report::CmdSetHome, Report::CmdWriteTrajectory}));
        const ReceivedCommand record = rig.sent(Report::CmdWriteTrajectory).back();
        QCOMPARE(int(record.plain[3]), 0); // neither auto run nor the BINx buttons
        QCOMPARE(le32(record, 21), 0);
        QCOMPARE(rig.w<QSpinBox>("sbFinPos")->value(), 0);
        QCOMPARE(rig.drv.TrajectoryData.FinalPosition, 0);
        QCOMPARE(le32(record, 49), rig.drv.TrajectoryData.RequestedSpeed);
        // Reports the board sent before it left speed mode do not bring auto
        // run back.
        QVERIFY(!autoRun->isChecked());
        QVERIFY(rig.w<QWidget>("tabStepDirControl")->isEnabled());
        QVERIFY(rig.w<QWidget>("sbFinPos")->isEnabled());
    }

    void testButtonsMoveTheBoardInBINxMode_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("moved"); // the default BIN1 / BIN2 steps
        QTest::newRow("Test BIN1") << "btnTestBIN1" << 1 << -1000;
        QTest::newRow("Test BIN2") << "btnTestBIN2" << 2 << 1000;
    }
    void testButtonsMoveTheBoardInBINxMode()
    {
        QFETCH(QString, button);
        QFETCH(int, number);
        QFETCH(int, moved);
        MotionRig rig;
        QTest::keyClick(rig.window.get(), Qt::Key_F12); // the test buttons are developer controls
        auto *test = rig.w<QPushButton>(button.toLatin1().constData());
        QVERIFY(!test->isEnabled());
        rig.w<QCheckBox>("cbEnableBINxButtonsPosCtrl")->setChecked(true);
        QVERIFY(rig.w<QCheckBox>("cbEnableBINxUpDown")->isChecked());
        QVERIFY(test->isEnabled());
        QVERIFY(rig.w<QWidget>("sbBIN1Steps")->isEnabled());
        QVERIFY(!rig.w<QWidget>("tabSpeedMode")->isEnabled());
        rig.run(100);
        QCOMPARE(rig.drv.RTData.OperatingMode, 5);
        rig.board.received.clear();

        test->click();
        QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdTestButtons});
        QCOMPARE(int(rig.board.received[0].plain[3]), number);
        QCOMPARE(int(rig.drv.TrajectoryData.TestButton), 0);
        rig.run(3000);
        QCOMPARE(rig.livePosition(), moved);
    }

    void dcMotorModeSwitch()
    {
        MotionRig rig;
        auto *group = rig.w<QGroupBox>("gbPWMControl");
        auto *dcMode = rig.w<QCheckBox>("cbDCMotorMode");
        const auto modeByteSent = [&rig] {
            const auto writes = rig.sent(Report::CmdWriteDriverValues);
            return writes.empty() ? -1 : int(writes.back().plain[38]);
        };

        group->setChecked(true);
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].kind, QStringLiteral("notice"));
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("PWM Information"));
        QCOMPARE(
            rig.dialogs.shown[0].text,
            QStringLiteral("Please make sure DC motor is connected to output terminals!!! Driver will be stopped."));
        QVERIFY(rig.w<QPlainTextEdit>("pteLog")->toPlainText().contains(QStringLiteral("Enabling PWMs.")));
        QVERIFY(dcMode->isChecked());
        QVERIFY(rig.drv.DrvSettings.PWMMode);
        QVERIFY(!rig.w<QWidget>("gbSpeedProfile")->isEnabled());
        QVERIFY(!rig.w<QWidget>("btnSetDefault")->isEnabled());
        QVERIFY(!rig.w<QWidget>("tabStepDirControl")->isEnabled());
        QCOMPARE(rig.w<QPushButton>("btnRunStop")->text(), QStringLiteral("Run"));
        // The driver is put to sleep, then the values go out with DC motor mode.
        const auto codes = rig.board.receivedCodes();
        const auto sleep = std::find(codes.begin(), codes.end(), Report::CmdSetDriverEnable);
        QVERIFY(sleep != codes.end());
        QCOMPARE(int(rig.sent(Report::CmdSetDriverEnable).back().plain[21]), 0);
        QCOMPARE(codes.back(), Report::CmdWriteDriverValues);
        QCOMPARE(modeByteSent(), 3);
        rig.run(100);
        QCOMPARE(rig.drv.RTData.OperatingMode, 3);

        // DC motors run.
        rig.w<QSpinBox>("sbPWM_A")->setValue(60);
        QCOMPARE(int(rig.board.model.pwm.aForward), 60);
        rig.board.received.clear();

        group->setChecked(false);
        QCOMPARE(rig.dialogs.shown.size(), 2);
        QCOMPARE(rig.dialogs.shown[1].kind, QStringLiteral("warning"));
        QCOMPARE(rig.dialogs.shown[1].title, QStringLiteral("PWM warning"));
        QCOMPARE(rig.dialogs.shown[1].text,
                 QStringLiteral("Please make sure STEPPER MOTOR is now connected to output terminals. DC motor can "
                                "suddenly move with fast speed. Driver will be stopped."));
        QVERIFY(rig.w<QPlainTextEdit>("pteLog")->toPlainText().contains(QStringLiteral("Disabling PWMs.")));
        QVERIFY(!dcMode->isChecked());
        QVERIFY(!rig.drv.DrvSettings.PWMMode);
        QVERIFY(rig.w<QWidget>("gbSpeedProfile")->isEnabled());
        QVERIFY(rig.w<QWidget>("btnSetDefault")->isEnabled());
        QCOMPARE(rig.w<QSpinBox>("sbPWM_A")->value(), 0);
        // The zero duty went out (auto update) before the driver values.
        QCOMPARE(int(rig.board.model.pwm.aForward), 0);
        QCOMPARE(rig.board.receivedCodes().front(), Report::CmdWritePWMSettings);
        QCOMPARE(modeByteSent(), 1);
        rig.run(100);
        QCOMPARE(rig.drv.RTData.OperatingMode, 1);
    }

    // ---- DC motor control ----

    void pwmValues_data()
    {
        QTest::addColumn<int>("dutyA");
        QTest::addColumn<int>("dutyB");
        QTest::addColumn<int>("frequency");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("actual"); // what the board's timer puts out
        QTest::newRow("-40 at 50000 Hz") << -40 << 0 << 50000
                                         << QStringList({"PWM A:  -40%, PWM B:    0%, Freq: 50000 Hz",
                                                         "TMR_A:    0,   40, TMR_B:    0,    0, Actual Freq: 53333 Hz"})
                                         << 53333;
        QTest::newRow("full both ways at 10 Hz")
            << 100 << -100 << 10
            << QStringList({"PWM A:  100%, PWM B: -100%, Freq: 10 Hz",
                            "TMR_A:  100,    0, TMR_B:    0,  100, Actual Freq: 10 Hz"})
            << 10;
        QTest::newRow("70000 Hz runs at 80000")
            << 5 << 7 << 70000
            << QStringList({"PWM A:    5%, PWM B:    7%, Freq: 70000 Hz",
                            "TMR_A:    5,    0, TMR_B:    7,    0, Actual Freq: 80000 Hz"})
            << 80000;
    }
    void pwmValues()
    {
        QFETCH(int, dutyA);
        QFETCH(int, dutyB);
        QFETCH(int, frequency);
        QFETCH(QStringList, lines);
        QFETCH(int, actual);
        MotionRig rig;
        rig.w<QGroupBox>("gbPWMControl")->setChecked(true);
        rig.w<QCheckBox>("cbAutoUpdatePWMs")->setChecked(false);
        rig.board.received.clear();

        rig.type("sbPWMFreq", QString::number(frequency));
        rig.type("sbPWM_A", QString::number(dutyA));
        rig.w<QSlider>("vsPWM_B")->setValue(dutyB);
        QCOMPARE(paneLines(rig.w<QPlainTextEdit>("ptePWMValues")), lines);
        QVERIFY(rig.board.received.empty()); // auto update off

        rig.w<QPushButton>("btnSetPWM")->click();
        QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdWritePWMSettings});
        QCOMPARE(rig.board.model.pwm.frequencyHz(), actual);
        QCOMPARE(int(rig.board.model.pwm.timerReload), rig.drv.PWMData.TimerReload);
        QCOMPARE(QList<int>({rig.board.model.pwm.aForward, rig.board.model.pwm.aReverse, rig.board.model.pwm.bForward,
                             rig.board.model.pwm.bReverse}),
                 QList<int>({rig.drv.PWMData.TimerAForward, rig.drv.PWMData.TimerAReverse,
                             rig.drv.PWMData.TimerBForward, rig.drv.PWMData.TimerBReverse}));
        QCOMPARE(rig.drv.PWMData.DutyA, dutyA);

        // Stop sends zero duties once and keeps the frequency.
        rig.board.received.clear();
        rig.w<QPushButton>("btnStopPWM")->click();
        QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdWritePWMSettings});
        QCOMPARE(QList<int>({rig.board.model.pwm.aForward, rig.board.model.pwm.aReverse, rig.board.model.pwm.bForward,
                             rig.board.model.pwm.bReverse}),
                 QList<int>({0, 0, 0, 0}));
        QCOMPARE(rig.board.model.pwm.frequencyHz(), actual);
        QCOMPARE(rig.w<QSlider>("vsPWM_A")->value(), 0);
        QCOMPARE(rig.w<QSpinBox>("sbPWM_B")->value(), 0);
    }

    void stopSendsZeroDutiesOnce_data()
    {
        QTest::addColumn<bool>("autoUpdate");
        QTest::newRow("auto update") << true;
        QTest::newRow("auto update off") << false;
    }
    void stopSendsZeroDutiesOnce()
    {
        QFETCH(bool, autoUpdate);
        MotionRig rig;
        rig.w<QGroupBox>("gbPWMControl")->setChecked(true);
        rig.w<QSlider>("vsPWM_A")->setValue(-70);
        rig.w<QSlider>("vsPWM_B")->setValue(25);
        rig.w<QDial>("dialPWMFreq")->setValue(1000);
        rig.w<QPushButton>("btnSetPWM")->click();
        QCOMPARE(int(rig.board.model.pwm.aReverse), 70);
        rig.w<QCheckBox>("cbAutoUpdatePWMs")->setChecked(autoUpdate);
        rig.board.received.clear();

        rig.w<QPushButton>("btnStopPWM")->click();
        QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdWritePWMSettings});
        const BoardModel::PwmOutputs &out = rig.board.model.pwm;
        QCOMPARE(QList<int>({out.aForward, out.aReverse, out.bForward, out.bReverse}), QList<int>({0, 0, 0, 0}));
        QCOMPARE(out.frequencyHz(), 1000);
        QCOMPARE(QList<int>({rig.w<QSpinBox>("sbPWM_A")->value(), rig.w<QSlider>("vsPWM_B")->value()}),
                 QList<int>({0, 0}));
        // Wired as before: the next change goes out once with auto update.
        rig.board.received.clear();
        rig.w<QSlider>("vsPWM_A")->setValue(10);
        QCOMPARE(int(rig.board.received.size()), autoUpdate ? 1 : 0);
    }

    // Each change of a pair sends once and moves its partner, which does not
    // echo it back.
    void pairsFollowEachOtherAndSendOnce_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("partner");
        QTest::addColumn<int>("value");
        QTest::newRow("box A") << "sbPWM_A"
                               << "vsPWM_A" << -40;
        QTest::newRow("slider A") << "vsPWM_A"
                                  << "sbPWM_A" << 33;
        QTest::newRow("box B") << "sbPWM_B"
                               << "vsPWM_B" << 100;
        QTest::newRow("slider B") << "vsPWM_B"
                                  << "sbPWM_B" << -1;
        QTest::newRow("frequency box") << "sbPWMFreq"
                                       << "dialPWMFreq" << 1000;
        QTest::newRow("frequency dial") << "dialPWMFreq"
                                        << "sbPWMFreq" << 70000;
    }
    void pairsFollowEachOtherAndSendOnce()
    {
        QFETCH(QString, control);
        QFETCH(QString, partner);
        QFETCH(int, value);
        MotionRig rig;
        rig.w<QGroupBox>("gbPWMControl")->setChecked(true);
        rig.board.received.clear();
        int partnerChanges = 0;
        QWidget *other = rig.w<QWidget>(partner.toLatin1().constData());
        QObject counter;
        if (auto *s = qobject_cast<QAbstractSlider *>(other))
            connect(s, &QAbstractSlider::valueChanged, &counter, [&partnerChanges] { ++partnerChanges; });
        else
            connect(qobject_cast<QSpinBox *>(other), QOverload<int>::of(&QSpinBox::valueChanged), &counter,
                    [&partnerChanges] { ++partnerChanges; });

        QWidget *changed = rig.w<QWidget>(control.toLatin1().constData());
        if (auto *s = qobject_cast<QAbstractSlider *>(changed))
            s->setValue(value);
        else
            rig.type(control.toLatin1().constData(), QString::number(value));

        QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdWritePWMSettings});
        QCOMPARE(partnerChanges, 1);
        QCOMPARE(other->property("value").toInt(), value);
        QCOMPARE(changed->property("value").toInt(), value);
        const PWMDataRecord &pwm = rig.drv.PWMData;
        QCOMPARE(control.contains(QLatin1String("Freq")) ? pwm.PWMFrequency
                 : control.endsWith(QLatin1Char('A'))    ? pwm.DutyA
                                                         : pwm.DutyB,
                 value);
    }
};

QTEST_MAIN(TestSpeedAndDcMotor)
#include "tst_speeddcmotor.moc"
