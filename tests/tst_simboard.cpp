// The simulated board obeying the driver, motion and PWM commands, driven
// through the device object over a connected, scrambled link and observed
// through the live data it decodes.
#include "support/LinkRig.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int LivePeriodMs = 20; // the board streams 50 reports a second

struct Rig : LinkRig
{
    // Every live report the device object decoded, in order.
    std::vector<RTDataRecord> samples;

    Rig()
    {
        QObject::connect(&drv, &TorvanDRV::newRTDataAvailable, &drv, [this] { samples.push_back(drv.RTData); });
        connectBoard();
    }

    // Finds and connects the board and takes in what the connection asked.
    void connectBoard()
    {
        LinkRig::connectBoard();
        run(200);
    }

    // Lets ms pass in receive ticks; returns the live reports decoded meanwhile.
    std::vector<RTDataRecord> run(int ms)
    {
        const size_t first = samples.size();
        for (int t = 0; t < ms; t += 10) {
            clock.advance(10);
            receiveTick();
        }
        return std::vector<RTDataRecord>(samples.begin() + long(first), samples.end());
    }

    const RTDataRecord &live() const { return drv.RTData; }

    void sendMove(int target, int maxSpeed, int accel, int decel)
    {
        TrajectoryDataRecord &t = drv.TrajectoryData;
        t.FinalPosition = target;
        t.MaxSpeed = maxSpeed;
        t.MaxAccel = accel;
        t.MaxDecel = decel;
        drv.WriteTrajectory();
    }

    // The board restarts twice (into its boot loader and out again) or is
    // unplugged and plugged back, then is connected again.
    void restartOrReplug(bool replug)
    {
        if (replug) {
            board.unplug();
            run(20);
            board.plug();
            connectBoard();
            return;
        }
        for (int i = 0; i < 2; ++i) {
            drv.RestartDevice();
            run(board.restartOffBusMs + 20);
            QVERIFY(!drv.IsConnected());
            connectBoard();
            QCOMPARE(drv.DriverInfo.BootloaderActive, i == 0);
        }
    }
};

// Duration of an ideal trapezoidal (or triangular) move from rest to rest.
double idealMoveSeconds(double distance, double vmax, double accel, double decel)
{
    const double peak = std::min(vmax, std::sqrt(2 * distance * accel * decel / (accel + decel)));
    const double ramps = peak * peak / (2 * accel) + peak * peak / (2 * decel);
    return peak / accel + peak / decel + (distance - ramps) / peak;
}

enum class Setup { Asleep, Enabled, IdleAfterTenSeconds, Overheated, NoMotorPower, DcMotor };

} // namespace

Q_DECLARE_METATYPE(Setup)

class TestSimBoard : public QObject
{
    Q_OBJECT

private slots:
    // The factory settings come back through the register, other-settings
    // and name replies the connection asks for.
    void factorySettingsReadAtConnection()
    {
        Rig r;
        const DrvSettingsRecord &s = r.drv.DrvSettings;
        QCOMPARE(s.DriverName, QStringLiteral("Torvan60 simulated"));
        QCOMPARE(s.I2CAddress, 74);
        QCOMPARE(s.StepMode, 3);
        QCOMPARE(s.TemperatureLimit, 85);
        QVERIFY(qAbs(s.FullScaleCurrent - 2.197) < 5e-3);
        QVERIFY(!s.PWMMode && !s.BINxButtonsMode && !s.AutoRunMode);
        QCOMPARE(r.drv.TrajectoryData.MaxSpeed, 10000);
        QCOMPARE(r.drv.TrajectoryData.BIN1Steps, -1000);
        QVERIFY(r.drv.TrajectoryData.EnableEndSwitch && r.drv.TrajectoryData.NCTypeSwitch);
        // Asleep, default mode, nothing moving.
        QCOMPARE(r.live().DriverState, 1);
        QCOMPARE(r.live().OperatingMode, 1);
        QVERIFY(!r.live().InpSleep);
        QVERIFY(r.live().InpEndSwitch); // a normally closed switch, not pressed
    }

    void moveFollowsProfileToTarget_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("maxSpeed");
        QTest::addColumn<int>("accel");
        QTest::addColumn<int>("decel");
        QTest::addColumn<bool>("reachesMaxSpeed");
        QTest::newRow("forward, cruises") << 20000 << 10000 << 20000 << 20000 << true;
        QTest::newRow("backward, unequal ramps") << -12345 << 7000 << 3000 << 9000 << true;
        QTest::newRow("short, never at full speed") << 300 << 10000 << 2000 << 2000 << false;
    }
    void moveFollowsProfileToTarget()
    {
        QFETCH(int, target);
        QFETCH(int, maxSpeed);
        QFETCH(int, accel);
        QFETCH(int, decel);
        QFETCH(bool, reachesMaxSpeed);
        Rig r;
        r.drv.EnableDriver();
        r.run(100);
        r.sendMove(target, maxSpeed, accel, decel);
        const double ideal = idealMoveSeconds(std::abs(target), maxSpeed, accel, decel);
        const std::vector<RTDataRecord> seen = r.run(int(ideal * 1000) + 500);
        QVERIFY(seen.size() > 10);

        const int dir = target > 0 ? 1 : -1;
        int previousPos = 0;
        int previousSpeed = 0;
        int top = 0;
        int arrivedAt = -1;
        for (size_t i = 0; i < seen.size(); ++i) {
            const RTDataRecord &s = seen[i];
            QCOMPARE(s.OperatingMode, 4);
            QVERIFY2(std::abs(s.CurrentSpeed) <= maxSpeed, qPrintable(QString::number(s.CurrentSpeed)));
            QVERIFY(s.CurrentSpeed * dir >= 0);
            QVERIFY2((s.CurrentPosition - previousPos) * dir >= 0, "moves one way only");
            QVERIFY2((target - s.CurrentPosition) * dir >= 0, "never past the target");
            // Speed changes no faster than the ramps allow (one report apart).
            const double ramp = std::max(accel, decel) * LivePeriodMs / 1000.0;
            QVERIFY(std::abs(s.CurrentSpeed - previousSpeed) <= ramp * 1.05 + 2);
            top = std::max(top, std::abs(s.CurrentSpeed));
            if (arrivedAt < 0 && s.CurrentPosition == target)
                arrivedAt = int(i);
            previousPos = s.CurrentPosition;
            previousSpeed = s.CurrentSpeed;
        }
        QVERIFY(arrivedAt > 0);
        // Not sooner than the profile allows (the first report may come up
        // to one period after the command).
        QVERIFY2((arrivedAt + 1) * LivePeriodMs >= ideal * 1000 - 2 * LivePeriodMs,
                 qPrintable(QStringLiteral("arrived after %1 reports, ideal %2 s").arg(arrivedAt).arg(ideal)));
        QCOMPARE(r.live().CurrentPosition, target);
        QCOMPARE(r.live().CurrentSpeed, 0);
        QCOMPARE(top == maxSpeed, reachesMaxSpeed);
        QVERIFY(top > 0);
    }

    // Stop brakes to rest short of the target over the braking distance;
    // set home then makes the standing position 0.
    void stopBrakesAndSetHomeZeroes()
    {
        Rig r;
        r.drv.EnableDriver();
        r.sendMove(100000, 10000, 5000, 5000);
        r.run(3000); // 2 s ramp, then cruising at 10000
        QCOMPARE(r.live().CurrentSpeed, 10000);
        const int atStop = r.live().CurrentPosition;
        r.drv.StopTrajectory();
        const std::vector<RTDataRecord> braking = r.run(2500);
        for (size_t i = 1; i < braking.size(); ++i)
            QVERIFY(braking[i].CurrentSpeed <= braking[i - 1].CurrentSpeed);
        QCOMPARE(r.live().CurrentSpeed, 0);
        // v² / 2a = 10000 steps, give or take the report lag before the stop.
        const int braked = r.live().CurrentPosition - atStop;
        QVERIFY2(braked > 9500 && braked < 10500, qPrintable(QString::number(braked)));
        const int rest = r.live().CurrentPosition;
        r.run(1000);
        QCOMPARE(r.live().CurrentPosition, rest);
        QVERIFY(rest < 100000);

        r.drv.SetHome();
        r.run(500);
        QCOMPARE(r.live().CurrentPosition, 0);
        QCOMPARE(r.live().CurrentSpeed, 0);
        QCOMPARE(r.board.model.position, 0);
    }

    // A new target while moving is planned from the present position and
    // speed: the speed changes smoothly, the axis brakes past the point where
    // the new target was set and comes back to it exactly.
    void newTargetWhileMovingReplans()
    {
        Rig r;
        r.drv.EnableDriver();
        r.sendMove(100000, 10000, 5000, 5000);
        r.run(3000);
        const int when = r.live().CurrentPosition;
        r.sendMove(1000, 10000, 5000, 5000);
        const std::vector<RTDataRecord> seen = r.run(8000);
        int farthest = when;
        for (size_t i = 1; i < seen.size(); ++i) {
            QVERIFY(std::abs(seen[i].CurrentSpeed - seen[i - 1].CurrentSpeed) <= 5000 * LivePeriodMs / 1000 + 2);
            QVERIFY(std::abs(seen[i].CurrentSpeed) <= 10000);
            farthest = std::max(farthest, seen[i].CurrentPosition);
        }
        QVERIFY2(farthest > when + 9000, qPrintable(QString::number(farthest - when)));
        QCOMPARE(r.live().CurrentPosition, 1000);
        QCOMPARE(r.live().CurrentSpeed, 0);
    }

    void savedSettingsSurviveRestart_data()
    {
        QTest::addColumn<bool>("replug");
        QTest::newRow("restart") << false;
        QTest::newRow("unplug and plug") << true;
    }
    void savedSettingsSurviveRestart()
    {
        QFETCH(bool, replug);
        Rig r;
        DrvSettingsRecord &s = r.drv.DrvSettings;
        TrajectoryDataRecord &t = r.drv.TrajectoryData;

        // Written and saved.
        r.drv.String2DrvSettings(QStringLiteral("Low temp configuration;4;3.1;1.0;45;0.5;1;5;1.0;0;0.5;15.0;0;0"));
        s.I2CAddress = 33;
        s.ModbusConfig = 4;
        r.drv.WriteDriverValues();
        const DriverRegistersRecord savedRegs = r.drv.DriverRegisters;
        r.drv.SetDriverName(QStringLiteral("Axis 7"));
        t.MaxSpeed = 40000;
        t.MaxAccel = 8000;
        t.MaxDecel = 9000;
        t.BIN1Steps = 250;
        t.BIN2Steps = -250;
        t.EnableEndSwitch = true;
        t.NCTypeSwitch = false;
        t.AutoRunInvertDirection = true;
        r.drv.WriteTrajectory();
        r.drv.SaveDriverValues();

        // Written, not saved: in effect until the restart.
        s.TemperatureLimit = 60;
        s.I2CAddress = 99;
        r.drv.WriteDriverValues();
        r.drv.SetDriverName(QStringLiteral("Scratch"));
        t.MaxSpeed = 123;
        r.drv.WriteTrajectory();
        s = DrvSettingsRecord();
        t = TrajectoryDataRecord();
        r.drv.GetDriverValues();
        r.drv.GetDriverName();
        r.run(200);
        QCOMPARE(s.TemperatureLimit, 60);
        QCOMPARE(s.I2CAddress, 99);
        QCOMPARE(s.DriverName, QStringLiteral("Scratch"));
        QCOMPARE(t.MaxSpeed, 123);

        r.restartOrReplug(replug);
        if (QTest::currentTestFailed())
            return;
        // The connection read the settings back.
        for (int i = 0; i < 7; ++i)
            QCOMPARE(r.drv.DriverRegisters.Registers[i], savedRegs.Registers[i]);
        QCOMPARE(r.drv.DriverRegisters.TempLimitByte, 45u);
        QCOMPARE(r.drv.DriverRegisters.IdleCurrentWord, savedRegs.IdleCurrentWord);
        QCOMPARE(r.drv.DriverRegisters.ReducedCurrentWord, savedRegs.ReducedCurrentWord);
        QCOMPARE(s.StepMode, 4);
        QCOMPARE(s.I2CAddress, 33);
        QCOMPARE(s.ModbusConfig, 4);
        QCOMPARE(s.DriverName, QStringLiteral("Axis 7"));
        QCOMPARE(t.MaxSpeed, 40000);
        QCOMPARE(t.MaxAccel, 8000);
        QCOMPARE(t.MaxDecel, 9000);
        QCOMPARE(t.BIN1Steps, 250);
        QCOMPARE(t.BIN2Steps, -250);
        QVERIFY(t.EnableEndSwitch && !t.NCTypeSwitch && t.AutoRunInvertDirection);
    }

    void stepGeneratorRateAndDirection_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("produced"); // steps in one second, signed
        QTest::newRow("1000") << 1000 << 1000;
        QTest::newRow("-7000: the timer makes 7007") << -7000 << -7007;
        QTest::newRow("250000: the timer makes 252631") << 250000 << 252631;
    }
    void stepGeneratorRateAndDirection()
    {
        QFETCH(int, rate);
        QFETCH(int, produced);
        Rig r;
        r.drv.EnableDriver();
        r.run(100);
        QCOMPARE(r.drv.SetStepFrequency(rate), produced);
        const int start = r.board.model.position;
        r.run(1000);
        // Exactly the timer's steps over exactly one second.
        QCOMPARE(r.board.model.position - start, produced);
        QCOMPARE(r.live().OperatingMode, 2);
        QCOMPARE(r.live().CurrentSpeed, produced);
        QVERIFY(std::abs(r.live().CurrentPosition - r.board.model.position) <= std::abs(produced) / 20);

        // A zero rate stops stepping at once and hands back to step/dir.
        r.drv.SetStepFrequency(0);
        r.run(100);
        const int stopped = r.live().CurrentPosition;
        r.run(500);
        QCOMPARE(r.live().OperatingMode, 1);
        QCOMPARE(r.live().CurrentSpeed, 0);
        QCOMPARE(r.live().CurrentPosition, stopped);
    }

    void driverState_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("sleepInput");
        QTest::addColumn<double>("current"); // amperes, within a ripple step
        QTest::newRow("asleep") << Setup::Asleep << 1 << 1 << false << 0.0;
        QTest::newRow("enabled: full-scale current") << Setup::Enabled << 2 << 1 << true << 2.197;
        QTest::newRow("idle after 10 s: idle current") << Setup::IdleAfterTenSeconds << 3 << 1 << true << 0.993;
        QTest::newRow("overheated: reduced current") << Setup::Overheated << 4 << 1 << true << 0.496;
        QTest::newRow("no motor power") << Setup::NoMotorPower << 0 << 1 << true << 0.0;
        QTest::newRow("DC motor: half duty") << Setup::DcMotor << 5 << 3 << true << 1.091;
    }
    void driverState()
    {
        QFETCH(Setup, setup);
        QFETCH(int, state);
        QFETCH(int, mode);
        QFETCH(bool, sleepInput);
        QFETCH(double, current);
        Rig r;
        if (setup != Setup::Asleep)
            r.drv.EnableDriver();
        switch (setup) {
        case Setup::IdleAfterTenSeconds:
            r.run(9500);
            QCOMPARE(r.live().DriverState, 2); // not yet
            r.run(1000);
            break;
        case Setup::Overheated:
            r.board.model.temperature = 90; // limit 85
            break;
        case Setup::NoMotorPower:
            r.board.model.supplyVoltage = 7.0;
            break;
        case Setup::DcMotor:
            r.drv.DrvSettings.PWMMode = true;
            r.drv.WriteDriverValues();
            r.drv.PWMData.DutyA = 50;
            r.drv.PWMData.DutyB = -30;
            r.drv.PWMData.PWMFrequency = 1000;
            r.drv.CalculatePWMTimers();
            r.drv.WritePWMSettings();
            break;
        default:
            break;
        }
        r.run(200);
        QCOMPARE(r.live().DriverState, state);
        QCOMPARE(r.live().OperatingMode, mode);
        QCOMPARE(r.live().InpSleep, sleepInput);
        QVERIFY2(qAbs(r.live().MotorCurrent - current) < 0.02, qPrintable(QString::number(r.live().MotorCurrent)));
        if (setup == Setup::DcMotor) {
            const BoardModel::PwmOutputs &pwm = r.board.model.pwm;
            QCOMPARE(int(pwm.aForward), 50);
            QCOMPARE(int(pwm.aReverse), 0);
            QCOMPARE(int(pwm.bForward), 0);
            QCOMPARE(int(pwm.bReverse), 30);
            QCOMPARE(pwm.frequencyHz(), 1000);
        }
        // Sleep always wins back.
        r.drv.SleepDriver();
        r.run(100);
        QCOMPARE(r.live().InpSleep, false);
        QCOMPARE(r.live().DriverState, setup == Setup::NoMotorPower ? 0 : 1);
    }

    void temperatureFollowsMotorCurrent()
    {
        Rig r;
        const double start = r.board.model.temperature;
        r.drv.EnableDriver();
        r.drv.SetStepFrequency(1000); // kept moving: full current, never idle
        r.run(60000);
        const double warm = r.live().FilteredTemperature;
        QVERIFY2(warm > start + 5 && warm < 60, qPrintable(QString::number(warm)));
        r.drv.SleepDriver();
        r.run(600000);
        QVERIFY2(r.live().FilteredTemperature < start, qPrintable(QString::number(r.live().FilteredTemperature)));
    }

    // A fault stops the motor where it is; reset lets it finish its move.
    void faultHoldsMotionUntilReset()
    {
        Rig r;
        r.drv.EnableDriver();
        r.sendMove(30000, 10000, 10000, 10000);
        r.run(1000);
        r.board.model.faultFlags = 0x02; // channel A overcurrent
        r.run(100);
        const int held = r.live().CurrentPosition;
        r.run(1000);
        QCOMPARE(r.live().FaultFlags, 0x02);
        QCOMPARE(r.live().CurrentSpeed, 0);
        QCOMPARE(r.live().CurrentPosition, held);
        QCOMPARE(r.live().MotorCurrent, 0.0);
        QVERIFY(held > 0 && held < 30000);

        r.drv.ResetFaults();
        r.run(5000);
        QCOMPARE(r.live().FaultFlags, 0);
        QCOMPARE(r.live().CurrentPosition, 30000);
        QVERIFY(r.live().MotorCurrent > 2.0);
    }

    void endSwitchStopsMotion_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("normallyClosed");
        QTest::addColumn<bool>("stops");
        QTest::newRow("normally closed opens") << true << true << true;
        QTest::newRow("normally open closes") << true << false << true;
        QTest::newRow("disabled: ignored") << false << true << false;
    }
    void endSwitchStopsMotion()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, normallyClosed);
        QFETCH(bool, stops);
        Rig r;
        BoardModel &board = r.board.model;
        const unsigned char released = normallyClosed ? BoardModel::InEndSwitch : 0;
        board.inputs = static_cast<unsigned char>((board.inputs & ~BoardModel::InEndSwitch) | released);
        r.drv.TrajectoryData.EnableEndSwitch = enabled;
        r.drv.TrajectoryData.NCTypeSwitch = normallyClosed;
        r.drv.EnableDriver();
        r.sendMove(100000, 10000, 10000, 10000);
        r.run(1500);
        QVERIFY(r.live().CurrentSpeed > 0);

        board.inputs ^= BoardModel::InEndSwitch; // pressed
        r.run(100);
        QCOMPARE(r.live().InpEndSwitch, !normallyClosed);
        const int at = r.live().CurrentPosition;
        r.run(500);
        QCOMPARE(r.live().CurrentSpeed == 0, stops);
        QCOMPARE(r.live().CurrentPosition == at, stops);

        // Released, the move goes on to its target.
        board.inputs ^= BoardModel::InEndSwitch;
        r.run(12000);
        QCOMPARE(r.live().CurrentPosition, 100000);
    }

    void binButtonsMove_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("byInput"); // the BINx input instead of the test command
        QTest::addColumn<int>("steps");
        QTest::newRow("Test BIN1") << 1 << false << -1000;
        QTest::newRow("Test BIN2") << 2 << false << 1500;
        QTest::newRow("BIN1 input") << 1 << true << -1000;
        QTest::newRow("BIN2 input") << 2 << true << 1500;
    }
    void binButtonsMove()
    {
        QFETCH(int, button);
        QFETCH(bool, byInput);
        QFETCH(int, steps);
        Rig r;
        r.drv.DrvSettings.BINxButtonsMode = true;
        r.drv.TrajectoryData.BIN1Steps = -1000;
        r.drv.TrajectoryData.BIN2Steps = 1500;
        r.sendMove(50000, 10000, 20000, 20000); // the target is not used in this mode
        r.drv.EnableDriver();
        r.run(1000);
        QCOMPARE(r.live().OperatingMode, 5);
        QCOMPARE(r.live().CurrentPosition, 0);

        const auto bit = static_cast<unsigned char>(button == 1 ? BoardModel::InBin1 : BoardModel::InBin2);
        for (int press = 1; press <= 2; ++press) {
            if (byInput) {
                r.board.model.inputs |= bit;
                r.run(100);
                QVERIFY(button == 1 ? r.live().InpBin1 : r.live().InpBin2);
                r.run(2000); // held: one move only
                r.board.model.inputs &= static_cast<unsigned char>(~bit);
            } else {
                r.drv.TrajectoryData.TestButton = static_cast<unsigned char>(button);
                r.drv.TestButtons();
                r.run(2000);
            }
            r.run(100);
            QCOMPARE(r.live().CurrentPosition, press * steps);
            QCOMPARE(r.live().CurrentSpeed, 0);
            QCOMPARE(r.live().OperatingMode, 5);
        }
    }

    void autoRunSpeedSign_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<bool>("invert");
        QTest::addColumn<int>("speed");
        QTest::newRow("forward") << 3000 << false << 3000;
        QTest::newRow("inverted as the tool sends it") << -3000 << true << -3000;
        QTest::newRow("invert flag with a positive speed") << 3000 << true << -3000;
        QTest::newRow("negative speed") << -3000 << false << -3000;
    }
    void autoRunSpeedSign()
    {
        QFETCH(int, requested);
        QFETCH(bool, invert);
        QFETCH(int, speed);
        Rig r;
        r.drv.EnableDriver();
        r.drv.DrvSettings.AutoRunMode = true;
        r.drv.TrajectoryData.RequestedSpeed = requested;
        r.drv.TrajectoryData.AutoRunInvertDirection = invert;
        r.sendMove(0, 10000, 10000, 10000);
        const std::vector<RTDataRecord> ramp = r.run(1000);
        QVERIFY(!ramp.empty());
        QVERIFY(std::abs(ramp.front().CurrentSpeed) < 3000); // ramps up
        QCOMPARE(r.live().OperatingMode, 6);
        QCOMPARE(r.live().CurrentSpeed, speed);
        const int before = r.live().CurrentPosition;
        r.run(1000);
        QVERIFY(std::abs(r.live().CurrentPosition - before - speed) <= std::abs(speed) * LivePeriodMs / 1000 + 1);

        // Leaving auto run as the tool does: stop, then set home.
        r.drv.StopTrajectory();
        r.drv.SetHome();
        r.run(1000);
        QCOMPARE(r.live().CurrentSpeed, 0);
        QCOMPARE(r.live().CurrentPosition, 0);
    }

    // The application leaves its flash alone; the boot loader obeys only the
    // flash commands, and its signature follows the flash at once.
    void flashCommandsOnlyInBootLoader()
    {
        Rig r;
        const auto send = [&r](unsigned char code, unsigned char sector) {
            r.drv.OutputReport[2] = code;
            r.drv.OutputReport[3] = sector;
            r.drv.SendReport();
        };
        send(Report::CmdEraseSector, 5);
        QCOMPARE(r.board.model.flash.erases, 0);
        QVERIFY(r.board.model.flash.holdsCarriedApplication());

        r.drv.RestartDevice();
        r.run(r.board.restartOffBusMs + 20);
        r.connectBoard();
        QVERIFY(r.drv.DriverInfo.BootloaderActive);
        QVERIFY(r.drv.DriverInfo.SignatureValid);
        send(Report::CmdEraseSector, 5);
        QCOMPARE(r.board.model.flash.erases, 1);
        QVERIFY(!r.board.model.signatureValid);
        r.drv.EnableDriver();
        r.drv.DrvSettings.DriverName.clear();
        r.drv.GetDriverName();
        r.run(200);
        QCOMPARE(r.drv.DrvSettings.DriverName, QString()); // no name reply from the boot loader
        QVERIFY(!(r.board.model.inputs & BoardModel::InSleep));
    }

    // A new open starts with nothing pending: a reply the host never read
    // does not turn up on the next connection.
    void closingDropsWhatTheHostDidNotRead()
    {
        ManualClock clock;
        SimulatedBus bus(clock);
        SimulatedBoard &board = bus.addBoard();
        const std::string path = board.path.toStdString();
        HidHandle *first = bus.openPath(path);
        QVERIFY(first);
        InputReportBytes stale{};
        stale[Report::TypeByte] = Report::RptDriverRegisters;
        board.injectReport(stale);
        bus.close(first);
        HidHandle *second = bus.openPath(path);
        QVERIFY(second);
        unsigned char buffer[Report::OutputSize];
        QCOMPARE(bus.read(second, buffer, sizeof buffer), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimBoard)
#include "tst_simboard.moc"
