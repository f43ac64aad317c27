// The motion tabs of the operator window (step control, auto control with
// navigation, external buttons and speed mode, DC motor control), driven
// through their controls against the simulated board.
#include "WindowRig.h"

#include "device/Records.h"

#include <qcustomplot.h>

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

int32_t le32(const ReceivedCommand &command, int at)
{
    const auto &p = command.plain;
    return int32_t(uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24);
}

QStringList paneLines(const QPlainTextEdit *pane)
{
    const QString text = pane->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

double lastValue(const QCPGraph *graph)
{
    return graph->data()->isEmpty() ? qQNaN() : (graph->data()->constEnd() - 1)->value;
}

// The window on a connected simulated board whose driver is enabled.
struct MotionRig : WindowRig
{
    MotionRig()
    {
        connectBoard();
        w<QPushButton>("btnRunStop")->click(); // the board starts asleep
        run(100);
        board.received.clear();
    }

    // Lets the simulated world and the live stream run for ms milliseconds.
    void run(int ms)
    {
        for (int t = 0; t < ms; t += 10) {
            clock.advance(10);
            receiveTick();
        }
    }

    std::vector<ReceivedCommand> sent(unsigned char code) const
    {
        std::vector<ReceivedCommand> out;
        for (const ReceivedCommand &c : board.received)
            if (c.code() == code)
                out.push_back(c);
        return out;
    }
    // One field of every trajectory command sent so far.
    QList<int> trajectoryField(int at) const
    {
        QList<int> values;
        for (const ReceivedCommand &c : sent(Report::CmdWriteTrajectory))
            values << le32(c, at);
        return values;
    }
    QList<int> targetsSent() const { return trajectoryField(21); }
    QList<int> speedsSent() const { return trajectoryField(49); }
    // Signed rate of every step-rate command: 0 for the stop, else the rate
    // the reload gives, with the direction byte's sign.
    QList<int> ratesSent() const
    {
        QList<int> rates;
        for (const ReceivedCommand &c : sent(Report::CmdSetStepFrequency)) {
            const int32_t reload = le32(c, 21);
            rates << (reload == -1 ? 0 : int(4800000 / (int64_t(reload) + 1)) * (c.plain[25] ? 1 : -1));
        }
        return rates;
    }

    // The operator types text into a box and presses Enter.
    void type(const char *box, const QString &text)
    {
        auto *spin = w<QAbstractSpinBox>(box);
        spin->selectAll();
        QTest::keyClicks(spin, text);
        QTest::keyClick(spin, Qt::Key_Enter);
    }

    int livePosition() const { return w<QSpinBox>("sbCurPos")->value(); }
    int liveSpeed() const { return w<QSpinBox>("sbCurSpeed")->value(); }
};

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

    void stoppingAMove_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Escape key") << true;
        QTest::newRow("Stop button") << false;
    }
    void stoppingAMove()
    {
        QFETCH(bool, byEscape);
        MotionRig rig;
        rig.w<QSpinBox>("sbFinPos")->setValue(100000);
        rig.run(1000);
        QVERIFY(rig.liveSpeed() > 0);
        QCOMPARE(rig.drv.RTData.OperatingMode, 4);
        rig.board.received.clear();

        if (byEscape)
            QTest::keyClick(rig.window.get(), Qt::Key_Escape);
        else
            rig.w<QPushButton>("btnStopTraj")->click();
        QCOMPARE(rig.board.receivedCodes(), std::vector<unsigned char>{Report::CmdStopTrajectory});
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
        QVERIFY(!rig.w<QWidget>("tabPositionControl")->isEnabled());
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
        QVERIFY(rig.w<QWidget>("tabPositionControl")->isEnabled());
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

QTEST_MAIN(TestMotionTabs)
#include "tst_motiontabs.moc"
