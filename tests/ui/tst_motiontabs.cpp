// The motion tabs of the operator window (step control, auto control with
// navigation), driven through their controls against the simulated board.
// Speed mode, the external buttons and DC motor control: tst_speeddcmotor.
#include "MotionRig.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include <set>

namespace {

using namespace MotionTabs;

// A control as the form and construction leave it, in one line.
QString describe(QWidget *widget)
{
    QString text;
    if (auto *slider = qobject_cast<QAbstractSlider *>(widget)) {
        text = QStringLiteral("%1..%2=%3 step %4 page %5")
                   .arg(slider->minimum())
                   .arg(slider->maximum())
                   .arg(slider->value())
                   .arg(slider->singleStep())
                   .arg(slider->pageStep());
        if (auto *dial = qobject_cast<QDial *>(widget))
            text += QStringLiteral(" notches %1 wrap %2").arg(dial->notchTarget()).arg(dial->wrapping());
        if (auto *s = qobject_cast<QSlider *>(widget))
            text += QStringLiteral(" ticks %1").arg(int(s->tickPosition()));
    } else if (auto *spin = qobject_cast<QSpinBox *>(widget)) {
        text = QStringLiteral("%1..%2=%3").arg(spin->minimum()).arg(spin->maximum()).arg(spin->value());
    } else if (auto *box = qobject_cast<QGroupBox *>(widget)) {
        text = box->title() + QLatin1String(box->isChecked() ? " [x]" : " [ ]");
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        text = button->text();
        if (button->isCheckable())
            text += QLatin1String(button->isChecked() ? " [x]" : " [ ]");
    } else if (auto *label = qobject_cast<QLabel *>(widget)) {
        text = label->text();
    }
    if (!widget->isEnabled())
        text += QStringLiteral(" (disabled)");
    return text;
}

} // namespace

class TestMotionTabs : public QObject
{
    Q_OBJECT

private slots:
    // ---- The forms ----

    void controlsAtStart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        // Step control
        QTest::newRow("hsStepSpeed") << "hsStepSpeed"
                                     << "-100..100=0 step 1 page 10 ticks 3";
        QTest::newRow("dialMaxStepSpeed") << "dialMaxStepSpeed"
                                          << "100..250000=100 step 1 page 100 notches 100 wrap 0";
        QTest::newRow("lblFrequency") << "lblFrequency"
                                      << "0";
        QTest::newRow("lblMaxStepSpeed") << "lblMaxStepSpeed"
                                         << "100";
        QTest::newRow("lblPR") << "lblPR"
                               << ".";
        QTest::newRow("btnSetFrequency") << "btnSetFrequency"
                                         << "Set frequency";
        QTest::newRow("cbAutoUpdate") << "cbAutoUpdate"
                                      << "Auto update [x]";
        QTest::newRow("cbAutoStop") << "cbAutoStop"
                                    << "Auto stop [ ]";
        QTest::newRow("btnStopStepDir") << "btnStopStepDir"
                                        << "Stop";
        QTest::newRow("gbStepMode") << "gbStepMode"
                                    << "Step control [ ]";
        // Auto control, after the first recomputation
        QTest::newRow("sbVmax") << "sbVmax"
                                << "0..6000000=10000";
        QTest::newRow("sbAccel") << "sbAccel"
                                 << "0..5000000=2000";
        QTest::newRow("sbDecel") << "sbDecel"
                                 << "0..5000000=2000";
        QTest::newRow("cbAutoUpdatePos") << "cbAutoUpdatePos"
                                         << "Auto update [x]";
        QTest::newRow("btnWriteTraj") << "btnWriteTraj"
                                      << "Send data";
        QTest::newRow("btnClearPosGraph") << "btnClearPosGraph"
                                          << "Clear chart";
        QTest::newRow("sbPosLimitUpper") << "sbPosLimitUpper"
                                         << "0..100000000=100000";
        QTest::newRow("sbPosLimitLower") << "sbPosLimitLower"
                                         << "-100000000..100000=0";
        QTest::newRow("vsFinPos") << "vsFinPos"
                                  << "0..100000=0 step 1 page 10 ticks 3";
        QTest::newRow("sbFinPos") << "sbFinPos"
                                  << "0..100000=0";
        QTest::newRow("sbCurPos") << "sbCurPos"
                                  << "-1000000000..1000000000=0";
        QTest::newRow("sbCurSpeed") << "sbCurSpeed"
                                    << "-1000000..1000000=0";
        QTest::newRow("cbEnableEndSwitch") << "cbEnableEndSwitch"
                                           << "Enable end switch/Run-Stop [x]";
        QTest::newRow("cbNCTypeEndSwitch") << "cbNCTypeEndSwitch"
                                           << "NC type switch [x]";
        QTest::newRow("btnZeroCurPos") << "btnZeroCurPos"
                                       << "Set zero";
        QTest::newRow("btnStopTraj") << "btnStopTraj"
                                     << "Stop";
        QTest::newRow("gbSpeedProfile") << "gbSpeedProfile"
                                        << "Speed profile [ ]";
        QTest::newRow("gbPositionControl") << "gbPositionControl"
                                           << "Position control [ ]";
        QTest::newRow("sbLargeInc") << "sbLargeInc"
                                    << "0..1000000=5000";
        QTest::newRow("sbSmallInc") << "sbSmallInc"
                                    << "0..500000=1000";
        QTest::newRow("btnLargDec") << "btnLargDec"
                                    << "<<";
        QTest::newRow("btnSmallDec") << "btnSmallDec"
                                     << "<";
        QTest::newRow("btnSmallInc") << "btnSmallInc"
                                     << ">";
        QTest::newRow("btnLargInc") << "btnLargInc"
                                    << ">>";
        // The enabling rules ran with the first preset: no external buttons.
        QTest::newRow("sbBIN1Steps") << "sbBIN1Steps"
                                     << "-100000000..100000000=-1000 (disabled)";
        QTest::newRow("sbBIN2Steps") << "sbBIN2Steps"
                                     << "-100000000..100000000=1000 (disabled)";
        QTest::newRow("btnTestBIN1") << "btnTestBIN1"
                                     << "Test BIN1 (disabled)";
        QTest::newRow("btnTestBIN2") << "btnTestBIN2"
                                     << "Test BIN2 (disabled)";
        QTest::newRow("cbEnableBINxButtonsPosCtrl") << "cbEnableBINxButtonsPosCtrl"
                                                    << "Enable BINx buttons [ ]";
        QTest::newRow("hsReqSpeed") << "hsReqSpeed"
                                    << "0..10000=0 step 500 page 5 ticks 3";
        QTest::newRow("sbReqSpeed") << "sbReqSpeed"
                                    << "0..10000=0";
        QTest::newRow("cbInvDirection") << "cbInvDirection"
                                        << "Invert direction [ ]";
        QTest::newRow("cbEnableAutoRunPosCtrl") << "cbEnableAutoRunPosCtrl"
                                                << "Enable Auto run [ ]";
        QTest::newRow("lblAutoRunActualSpeed") << "lblAutoRunActualSpeed"
                                               << "AcSp: 0";
        // DC motor control: everything in the unchecked group is disabled
        QTest::newRow("gbPWMControl") << "gbPWMControl"
                                      << "Enable DC motor control [ ]";
        QTest::newRow("vsPWM_A") << "vsPWM_A"
                                 << "-100..100=0 step 1 page 10 ticks 3 (disabled)";
        QTest::newRow("vsPWM_B") << "vsPWM_B"
                                 << "-100..100=0 step 1 page 10 ticks 3 (disabled)";
        QTest::newRow("sbPWM_A") << "sbPWM_A"
                                 << "-100..100=0 (disabled)";
        QTest::newRow("sbPWM_B") << "sbPWM_B"
                                 << "-100..100=0 (disabled)";
        QTest::newRow("dialPWMFreq") << "dialPWMFreq"
                                     << "10..100000=20000 step 1 page 100 notches 100 wrap 0 (disabled)";
        QTest::newRow("sbPWMFreq") << "sbPWMFreq"
                                   << "10..100000=20000 (disabled)";
        QTest::newRow("cbAutoUpdatePWMs") << "cbAutoUpdatePWMs"
                                          << "Auto update [x] (disabled)";
        QTest::newRow("btnSetPWM") << "btnSetPWM"
                                   << "Set PWMs (disabled)";
        QTest::newRow("btnStopPWM") << "btnStopPWM"
                                    << "Stop (disabled)";
    }
    void controlsAtStart()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        WindowRig rig;
        QCOMPARE(describe(rig.w<QWidget>(name.toLatin1().constData())), shown);
    }

    void startShowsInitialTextsAndSendsNothing()
    {
        WindowRig rig;
        // The step-rate and PWM panes as construction leaves them.
        QCOMPARE(paneLines(rig.w<QPlainTextEdit>("ptePWMValues")),
                 QStringList({"PWM A:    0%, PWM B:    0%, Freq: 20000 Hz",
                              "TMR_A:    0,    0, TMR_B:    0,    0, Actual Freq: 20000 Hz"}));
        QCOMPARE(rig.drv.TrajectoryData.FinalPosition, 0);
        QCOMPARE(rig.drv.TrajectoryData.MaxSpeed, 10000);
        QCOMPARE(rig.drv.TrajectoryData.PosLimitUpper, 100000);
        QCOMPARE(rig.drv.TrajectoryData.BIN1Steps, -1000);
        QVERIFY(rig.drv.TrajectoryData.EnableEndSwitch && rig.drv.TrajectoryData.NCTypeSwitch);
        QCOMPARE(rig.drv.PWMData.PWMFrequency, 20000);
        // Connected later, the board gets the connection's own requests and
        // nothing from the window, though the window takes in and shows the
        // values they bring.
        rig.board.model.settings.other.maxSpeed = 12345;
        rig.LinkRig::connectBoard(); // keeps what the board received
        for (int i = 0; i < 30; ++i) {
            rig.clock.advance(10);
            rig.receiveTick();
        }
        QCOMPARE(rig.w<QComboBox>("cbConfigurations")->currentText(), QStringLiteral("Driver values"));
        QCOMPARE(rig.w<QSpinBox>("sbVmax")->value(), 12345);
        const std::set<unsigned char> requests = {Report::CmdGetDeviceInfo, Report::CmdReadDriverRegisters,
                                                  Report::CmdReadOtherSettings, Report::CmdGetDriverName,
                                                  Report::CmdEnableRTStream};
        QVERIFY(!rig.board.received.empty());
        for (unsigned char code : rig.board.receivedCodes())
            QVERIFY2(requests.count(code), qPrintable(QString::number(code, 16)));
    }

    // Captions name their controls for assistive technology and keyboard
    // users; sliders and dials without a caption are named by their tool tip.
    void everyControlIsNamed()
    {
        WindowRig rig;
        for (const char *page : {"tabStepDirControl", "tabPositionControl", "tabPWMControl"}) {
            QWidget *root = rig.w<QWidget>(page);
            QSet<QWidget *> captioned;
            for (QLabel *label : root->findChildren<QLabel *>())
                if (label->buddy()) {
                    QVERIFY2(root->isAncestorOf(label->buddy()), qPrintable(label->objectName()));
                    captioned << label->buddy();
                }
            for (QWidget *control : root->findChildren<QWidget *>()) {
                const bool slider = qobject_cast<QAbstractSlider *>(control);
                // Parts of other widgets (a text pane's scroll bars) have no name.
                if ((!slider && !qobject_cast<QAbstractSpinBox *>(control)) || control->objectName().isEmpty())
                    continue;
                if (!control->isEnabled() && control->objectName() == QLatin1String("dialStepSpeed"))
                    continue; // hidden for good, takes no part
                const QString name = control->objectName();
                if (captioned.contains(control))
                    continue;
                QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(name + " has no caption and no name"));
                if (slider && !control->toolTip().isEmpty())
                    QVERIFY2(control->accessibleName() == control->toolTip(), qPrintable(name));
            }
        }
    }

    // ---- Step control ----

    void shownRateIsTheBoardsRate_data()
    {
        QTest::addColumn<int>("maxRate");
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("produced");
        QTest::newRow("7000 runs at 7007") << 10000 << 7000 << 7007;
        QTest::newRow("-3 backwards") << 100 << -3 << -3;
        QTest::newRow("full dial, 250000") << 250000 << 250000 << 252631;
        QTest::newRow("-99") << 100 << -99 << -99;
    }
    void shownRateIsTheBoardsRate()
    {
        QFETCH(int, maxRate);
        QFETCH(int, requested);
        QFETCH(int, produced);
        MotionRig rig;
        rig.w<QDial>("dialMaxStepSpeed")->setValue(maxRate);
        rig.board.received.clear();

        rig.w<QSlider>("hsStepSpeed")->setValue(requested);
        QCOMPARE(rig.w<QLabel>("lblFrequency")->text(), QString::number(requested));
        QCOMPARE(rig.w<QLabel>("lblPR")->text(), QStringLiteral("Actual speed: %1").arg(produced));
        QCOMPARE(rig.ratesSent(), QList<int>({produced}));
        // The board steps at that rate, as its live speed shows.
        rig.run(200);
        QCOMPARE(rig.liveSpeed(), produced);
        QCOMPARE(rig.drv.RTData.OperatingMode, 2);
    }

    void autoUpdateDecidesWhenARateIsSent()
    {
        MotionRig rig;
        auto *slider = rig.w<QSlider>("hsStepSpeed");
        // Arrow keys walk the slider value by value: each one is sent.
        slider->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(rig.ratesSent(), QList<int>({1, 2, 3}));

        rig.w<QCheckBox>("cbAutoUpdate")->setChecked(false);
        rig.board.received.clear();
        slider->setValue(-50);
        slider->setValue(-60);
        QCOMPARE(rig.w<QLabel>("lblFrequency")->text(), QStringLiteral("-60"));
        QVERIFY(rig.board.received.empty());
        rig.w<QPushButton>("btnSetFrequency")->click();
        QCOMPARE(rig.ratesSent(), QList<int>({-60}));
        QCOMPARE(rig.w<QLabel>("lblPR")->text(), QStringLiteral("Actual speed: -60"));
    }

    void dialNarrowsTheSlider()
    {
        MotionRig rig;
        auto *dial = rig.w<QDial>("dialMaxStepSpeed");
        auto *slider = rig.w<QSlider>("hsStepSpeed");
        dial->setValue(1000);
        slider->setValue(800);
        QCOMPARE(slider->pageStep(), 100);
        rig.board.received.clear();

        dial->setValue(500);
        QCOMPARE(QList<int>({slider->minimum(), slider->maximum(), slider->value(), slider->pageStep()}),
                 QList<int>({-500, 500, 500, 50}));
        QCOMPARE(rig.w<QLabel>("lblMaxStepSpeed")->text(), QStringLiteral("500"));
        QCOMPARE(rig.w<QLabel>("lblFrequency")->text(), QStringLiteral("500"));
        QCOMPARE(rig.ratesSent(), QList<int>({500}));
        // Widening it again leaves the slider where it is.
        dial->setValue(2000);
        QCOMPARE(slider->value(), 500);
        QCOMPARE(rig.ratesSent(), QList<int>({500}));
    }

    void releasingTheSlider_data()
    {
        QTest::addColumn<bool>("autoStop");
        QTest::addColumn<QList<int>>("rates");
        QTest::addColumn<int>("speedAfter");
        QTest::newRow("auto stop stops the motor") << true << QList<int>({80, 0}) << 0;
        QTest::newRow("without auto stop it runs on") << false << QList<int>({80}) << 80;
    }
    void releasingTheSlider()
    {
        QFETCH(bool, autoStop);
        QFETCH(QList<int>, rates);
        QFETCH(int, speedAfter);
        MotionRig rig;
        rig.w<QCheckBox>("cbAutoStop")->setChecked(autoStop);
        auto *slider = rig.w<QSlider>("hsStepSpeed");
        slider->setSliderDown(true); // the operator grabs the handle...
        slider->setValue(80);
        rig.run(100);
        QCOMPARE(rig.liveSpeed(), 80);
        slider->setSliderDown(false); // ...and lets go
        QCOMPARE(slider->value(), speedAfter);
        QCOMPARE(rig.ratesSent(), rates);
        rig.run(100);
        QCOMPARE(rig.liveSpeed(), speedAfter);
    }

    void stopButton_data()
    {
        QTest::addColumn<bool>("autoUpdate");
        QTest::addColumn<int>("speedAfter");
        QTest::newRow("auto update: the motor stops") << true << 0;
        QTest::newRow("auto update off: the board runs on") << false << 60;
    }
    void stopButton()
    {
        QFETCH(bool, autoUpdate);
        QFETCH(int, speedAfter);
        MotionRig rig;
        rig.w<QSlider>("hsStepSpeed")->setValue(60);
        rig.run(100);
        QCOMPARE(rig.liveSpeed(), 60);
        rig.w<QCheckBox>("cbAutoUpdate")->setChecked(autoUpdate);
        rig.board.received.clear();

        rig.w<QPushButton>("btnStopStepDir")->click();
        QCOMPARE(rig.w<QSlider>("hsStepSpeed")->value(), 0);
        QCOMPARE(rig.w<QLabel>("lblFrequency")->text(), QStringLiteral("0"));
        if (autoUpdate)
            QVERIFY(!rig.ratesSent().isEmpty() && rig.ratesSent().count(0) == rig.ratesSent().size());
        else
            QVERIFY(rig.board.received.empty());
        rig.run(100);
        QCOMPARE(rig.liveSpeed(), speedAfter);
        QCOMPARE(rig.drv.RTData.OperatingMode, autoUpdate ? 1 : 2);

        // With the slider already at 0 the button still sends the zero rate.
        rig.board.received.clear();
        rig.w<QPushButton>("btnStopStepDir")->click();
        QCOMPARE(rig.ratesSent(), autoUpdate ? QList<int>({0}) : QList<int>());
    }

    // ---- Position control ----

    void moveToATarget()
    {
        MotionRig rig;
        rig.w<QSpinBox>("sbAccel")->setValue(20000);
        rig.w<QSpinBox>("sbDecel")->setValue(20000);
        rig.board.received.clear();

        rig.type("sbFinPos", QStringLiteral("5000"));
        QCOMPARE(rig.targetsSent(), QList<int>({5000}));
        QCOMPARE(rig.w<QSlider>("vsFinPos")->value(), 5000);
        rig.run(300);
        const int midway = rig.livePosition();
        QVERIFY2(midway > 0 && midway < 5000, qPrintable(QString::number(midway)));
        rig.run(3000);

        QCOMPARE(rig.drv.RTData.OperatingMode, 4);
        QCOMPARE(rig.livePosition(), 5000);
        QCOMPARE(rig.liveSpeed(), 0);
        auto *plot = rig.w<QCustomPlot>("PositionPlot");
        QCOMPARE(lastValue(plot->graph(0)), 5000.0); // required
        QCOMPARE(lastValue(plot->graph(1)), 5000.0); // actual
        QVERIFY(plot->graph(1)->dataCount() > 100);
    }

    // The window's stop brakes with the deceleration shown (2000 steps/s²),
    // also when another program's move lent the board one of 1 step/s²;
    // otherwise it is the stop command alone.
    void stoppingAMove_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::addColumn<int>("lentDecel"); // 0: none
        QTest::newRow("Escape key") << true << 0;
        QTest::newRow("Stop button") << false << 0;
        QTest::newRow("Escape key, a lent deceleration") << true << 1;
        QTest::newRow("Stop button, a lent deceleration") << false << 1;
    }
    void stoppingAMove()
    {
        QFETCH(bool, byEscape);
        QFETCH(int, lentDecel);
        MotionRig rig;
        rig.w<QSpinBox>("sbFinPos")->setValue(100000);
        if (lentDecel) {
            // As the service sends a client's move with its own profile.
            TrajectoryDataRecord lent = rig.drv.TrajectoryData;
            lent.MaxDecel = lentDecel;
            rig.drv.LendTrajectory(lent, false, false);
        }
        rig.run(1000);
        QVERIFY(rig.liveSpeed() > 0);
        QCOMPARE(rig.drv.RTData.OperatingMode, 4);
        rig.board.received.clear();

        if (byEscape)
            QTest::keyClick(rig.window.get(), Qt::Key_Escape);
        else
            rig.w<QPushButton>("btnStopTraj")->click();
        if (lentDecel) {
            QCOMPARE(rig.board.receivedCodes(),
                     (std::vector<unsigned char>{Report::CmdWriteTrajectory, Report::CmdStopTrajectory}));
            QCOMPARE(rig.trajectoryField(33), QList<int>{2000});
        } else {
            QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdStopTrajectory});
        }
        rig.run(2000);
        QCOMPARE(rig.liveSpeed(), 0);
        const int stoppedAt = rig.livePosition();
        QVERIFY(stoppedAt > 0 && stoppedAt < 100000);
        rig.run(1000);
        QCOMPARE(rig.livePosition(), stoppedAt);
        QCOMPARE(rig.w<QSpinBox>("sbFinPos")->value(), 100000); // the target itself stays
    }

    void typedValuesAreClampedAndSentOnce_data()
    {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("targets"); // sent after the typing
        QTest::newRow("upper limit 500 under a target of 800") << 0 << 800 << "sbPosLimitUpper"
                                                               << "500" << QList<int>({500});
        QTest::newRow("target below the lower limit") << 100 << 800 << "sbFinPos"
                                                      << "5" << QList<int>({100});
        QTest::newRow("target within the limits") << 0 << 800 << "sbFinPos"
                                                  << "4321" << QList<int>({4321});
        QTest::newRow("target above the upper limit stops at its digits") << 0 << 800 << "sbFinPos"
                                                                          << "1000000" << QList<int>({100000});
        QTest::newRow("lower limit above the target") << 0 << 800 << "sbPosLimitLower"
                                                      << "900" << QList<int>({900});
    }
    void typedValuesAreClampedAndSentOnce()
    {
        QFETCH(int, lower);
        QFETCH(int, target);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QList<int>, targets);
        MotionRig rig;
        rig.w<QSpinBox>("sbPosLimitLower")->setValue(lower);
        rig.w<QSpinBox>("sbFinPos")->setValue(target);
        rig.board.received.clear();

        rig.type(box.toLatin1().constData(), typed);
        QCOMPARE(rig.targetsSent(), targets);
        QCOMPARE(rig.w<QSpinBox>("sbFinPos")->value(), targets.last());
        QCOMPARE(rig.w<QSlider>("vsFinPos")->value(), targets.last());
        QCOMPARE(rig.drv.TrajectoryData.FinalPosition, targets.last());
    }

    // The target slider and box are wired by name and by the recomputation:
    // still, every change runs its slot once, also after repeated wiring.
    void eachTargetChangeSendsOnce()
    {
        MotionRig rig;
        auto *slider = rig.w<QSlider>("vsFinPos");
        auto *box = rig.w<QSpinBox>("sbFinPos");
        slider->setValue(300);
        QCOMPARE(rig.targetsSent(), QList<int>({300}));
        QCOMPARE(box->value(), 300);
        box->setValue(700);
        QCOMPARE(rig.targetsSent(), QList<int>({300, 700}));

        rig.window->ConnectToPositionValueChanged(true);
        rig.window->ConnectToPositionValueChanged(true);
        slider->setValue(900);
        rig.w<QSpinBox>("sbVmax")->setValue(9000);
        QCOMPARE(rig.targetsSent(), QList<int>({300, 700, 900, 900}));

        rig.window->ConnectToPositionValueChanged(false);
        slider->setValue(1000);
        box->setValue(1100);
        QCOMPARE(rig.targetsSent().size(), 4);
        rig.window->ConnectToPositionValueChanged(true);
    }

    void limitBoxesCannotPassEachOther()
    {
        WindowRig rig;
        auto *upper = rig.w<QSpinBox>("sbPosLimitUpper");
        auto *lower = rig.w<QSpinBox>("sbPosLimitLower");
        upper->setValue(500);
        lower->setValue(800);
        QCOMPARE(lower->value(), 500);
        lower->setValue(200);
        upper->setValue(-10);
        QCOMPARE(upper->value(), 200);
        QCOMPARE(QList<int>({rig.drv.TrajectoryData.PosLimitLower, rig.drv.TrajectoryData.PosLimitUpper}),
                 QList<int>({200, 200}));
        QCOMPARE(rig.w<QSpinBox>("sbFinPos")->value(), 200);
    }

    void endSwitchOptions()
    {
        MotionRig rig;
        auto *nc = rig.w<QCheckBox>("cbNCTypeEndSwitch");
        rig.w<QCheckBox>("cbEnableEndSwitch")->setChecked(false);
        QVERIFY(!nc->isEnabled());
        QVERIFY(nc->isChecked());
        QCOMPARE(int(rig.sent(Report::CmdWriteTrajectory).back().plain[37]), 0x02);
        QVERIFY(!rig.board.model.settings.other.endSwitchEnabled);
        QVERIFY(rig.board.model.settings.other.ncSwitch);
        rig.w<QCheckBox>("cbEnableEndSwitch")->setChecked(true);
        QVERIFY(nc->isEnabled());
        QCOMPARE(int(rig.sent(Report::CmdWriteTrajectory).back().plain[37]), 0x03);
    }

    void setZero_data()
    {
        QTest::addColumn<int>("lower");
        QTest::addColumn<QList<int>>("targets");
        QTest::newRow("lower limit 0: target 0") << 0 << QList<int>({0});
        QTest::newRow("lower limit above 0: the lower limit") << 2000 << QList<int>({2000});
    }
    void setZero()
    {
        QFETCH(int, lower);
        QFETCH(QList<int>, targets);
        MotionRig rig;
        rig.w<QSpinBox>("sbAccel")->setValue(50000);
        rig.w<QSpinBox>("sbDecel")->setValue(50000);
        rig.w<QSpinBox>("sbPosLimitLower")->setValue(lower);
        rig.w<QSpinBox>("sbFinPos")->setValue(3000);
        rig.run(1500);
        QCOMPARE(rig.livePosition(), 3000);
        rig.board.received.clear();

        rig.w<QPushButton>("btnZeroCurPos")->click();
        QCOMPARE(rig.board.receivedCodes(),
                 std::vector<unsigned char>({Report::CmdWriteTrajectory, Report::CmdSetHome}));
        QCOMPARE(rig.targetsSent(), targets);
        QCOMPARE(rig.w<QSpinBox>("sbFinPos")->value(), targets.last());
        rig.run(100);
        QCOMPARE(rig.livePosition(), 0);
    }

    void withoutAutoUpdateOnlySendDataSends()
    {
        MotionRig rig;
        rig.w<QCheckBox>("cbAutoUpdatePos")->setChecked(false);
        rig.board.received.clear();
        rig.w<QSpinBox>("sbPosLimitLower")->setValue(-5000);
        rig.w<QSpinBox>("sbFinPos")->setValue(-1234);
        rig.w<QSpinBox>("sbVmax")->setValue(12345);
        rig.w<QSpinBox>("sbAccel")->setValue(3000);
        rig.w<QSpinBox>("sbDecel")->setValue(4000);
        rig.w<QSpinBox>("sbBIN1Steps")->setValue(-77);
        rig.w<QSpinBox>("sbBIN2Steps")->setValue(88);
        rig.w<QSpinBox>("sbReqSpeed")->setValue(2500);
        rig.w<QCheckBox>("cbInvDirection")->setChecked(true);
        rig.w<QCheckBox>("cbEnableEndSwitch")->setChecked(false);
        QVERIFY(rig.board.received.empty());

        rig.w<QPushButton>("btnWriteTraj")->click();
        QCOMPARE(int(rig.board.received.size()), 1);
        const ReceivedCommand &c = rig.board.received[0];
        QCOMPARE(c.code(), Report::CmdWriteTrajectory);
        QCOMPARE(
            QList<int>({le32(c, 21), le32(c, 25), le32(c, 29), le32(c, 33), le32(c, 41), le32(c, 45), le32(c, 49)}),
            QList<int>({-1234, 12345, 3000, 4000, -77, 88, -2500}));
        QCOMPARE(int(c.plain[37]), 0x02 | 0x04);
        QCOMPARE(int(c.plain[3]), 0);
    }

    // ---- Navigation ----

    void jogsStopAtTheLimits_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("largeInc");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("presses");
        QTest::addColumn<QList<int>>("targets");
        QTest::newRow("> from 99500") << 99500 << 5000 << "btnSmallInc" << 2 << QList<int>({100000, 100000});
        QTest::newRow(">> from 99500") << 99500 << 5000 << "btnLargInc" << 1 << QList<int>({100000});
        QTest::newRow("< from 500") << 500 << 5000 << "btnSmallDec" << 2 << QList<int>({0, 0});
        QTest::newRow("<< from 12000") << 12000 << 5000 << "btnLargDec" << 3 << QList<int>({7000, 2000, 0});
        QTest::newRow("<< with increment 0 resends") << 4000 << 0 << "btnLargDec" << 2 << QList<int>({4000, 4000});
        QTest::newRow("> from 50000") << 50000 << 5000 << "btnSmallInc" << 1 << QList<int>({51000});
    }
    void jogsStopAtTheLimits()
    {
        QFETCH(int, start);
        QFETCH(int, largeInc);
        QFETCH(QString, button);
        QFETCH(int, presses);
        QFETCH(QList<int>, targets);
        MotionRig rig;
        rig.w<QSpinBox>("sbFinPos")->setValue(start);
        rig.w<QSpinBox>("sbLargeInc")->setValue(largeInc);
        rig.board.received.clear();

        for (int i = 0; i < presses; ++i)
            rig.w<QPushButton>(button.toLatin1().constData())->click();
        QCOMPARE(rig.targetsSent(), targets);
        QCOMPARE(rig.drv.TrajectoryData.FinalPosition, targets.last());
        QCOMPARE(rig.w<QSpinBox>("sbFinPos")->value(), targets.last());
        QCOMPARE(rig.w<QSlider>("vsFinPos")->value(), targets.last());
    }
};

QTEST_MAIN(TestMotionTabs)
#include "tst_motiontabs.moc"
