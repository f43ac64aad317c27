#pragma once

#include "device/sim/FlashModel.h"
#include "device/sim/MotionAxis.h"

#include <QtGlobal>

#include <array>
#include <vector>

using InputReportBytes = std::array<unsigned char, 64>;

// What the simulated board is and does inside: identity, firmware state,
// driver configuration, the stepper axis and the DC motor outputs, inputs,
// driver state and live values. The link side (USB presence, report queue,
// scrambling, streaming pace) is SimulatedBoard's.
//
// Behaviour worth knowing when driving it:
// - Every time-dependent change happens in advanceTo(), in steps of one
//   millisecond while anything moves, so runs are deterministic.
// - The driver starts asleep after every restart and power-up. A sleeping
//   driver (or one without motor power, with a fault flag set, or held by an
//   active end switch) keeps the motion it was told to make but does not
//   move; it goes on from rest once it may move again.
// - Operating modes: 1 external step/dir, 2 internal step generator,
//   3 DC motor, 4 trajectory, 5 BINx buttons, 6 auto run. The mode byte of
//   the driver values selects 3, 5 and 6 (and 1 leaves them); a non-zero
//   step rate selects 2 from modes 1, 2 and 4, a zero rate returns from 2 and
//   4 to 1 at once; a trajectory command selects 4, 5 or 6 by its mode bits
//   (auto run wins over BINx). In DC motor mode the stepper commands are
//   ignored, apart from the motion settings a trajectory carries.
// - Stop (0xB2) brakes a move of modes 4 to 6 to rest; the step generator
//   stops only with a zero rate. Set home (0xB3) makes the present position
//   0 and ends a move of modes 4 to 6 there; the step generator keeps
//   stepping. The button test and the BIN1/BIN2 inputs move only in mode 5;
//   presses add up.
// - Auto run keeps within MaxSpeed. An enabled end switch holds any internal
//   motion at once while it is active; a fault flag does the same until
//   command 0x86 clears it.
// - Only the boot loader's flash commands are obeyed while the boot loader
//   runs; everything else is ignored there, and the application ignores them.
// - driverState, operatingMode, speed, rawCurrent and currentGainCode are
//   worked out by the board; tests set supplyVoltage, temperature, inputs,
//   faultFlags and position.
class BoardModel
{
public:
    explicit BoardModel(int index);

    // Moves the simulated world (motor, temperature, idle timer) up to nowMs.
    // Times before the last one reached are ignored.
    void advanceTo(qint64 nowMs);

    // Contents of the device information report (type 0x01).
    void fillDeviceInfo(InputReportBytes &report) const;
    // Contents of one live-data report (type 0xA0).
    void fillLiveReport(InputReportBytes &report) const;

    // Obeys one plain command report (65 bytes, byte 2 the command code)
    // other than device information, live stream and restart, which the link
    // side handles. Replies are appended to replies.
    void handleCommand(const unsigned char *plain, qint64 nowMs, std::vector<InputReportBytes> &replies);

    // A commanded restart: unsaved settings are lost; the board comes back in
    // its boot loader or its application.
    void restart();
    // Power comes back after the board was unplugged.
    void powerUp();

    // ---- Identity and firmware ----
    std::array<unsigned char, 16> uniqueId{};
    unsigned char blVersionHigh = 0x01;
    unsigned char blVersionLow = 0x05;
    unsigned char apVersionHigh = 0x01;
    unsigned char apVersionLow = 0x23;
    bool bootloaderRunning = false;
    bool signatureValid = true;
    static constexpr unsigned char ApplicationMode = 0x01;
    // The boot loader's flash. Once flash commands changed it, the signature
    // follows it at once and the application version after the next restart.
    FlashModel flash;

    // ---- Driver configuration ----
    // What command 128 writes and reply 0x81 reads back.
    struct DriverValues
    {
        std::array<uint16_t, 8> registers{};
        unsigned char tempLimit = 0; // degrees C
        uint16_t idleCurrentWord = 0;
        uint16_t reducedCurrentWord = 0;
        unsigned char address = 0; // I2C / Modbus
        unsigned char modbusConfig = 0;
        unsigned char modeByte = 1;
    };
    // The motion settings the board keeps beside them (reply 0x87), learned
    // from every trajectory command.
    struct OtherSettings
    {
        int32_t maxSpeed = 0;
        int32_t maxAccel = 0;
        int32_t maxDecel = 0;
        bool endSwitchEnabled = false;
        bool ncSwitch = false;
        bool autoRunInvert = false;
        int32_t bin1Steps = 0;
        int32_t bin2Steps = 0;
    };
    struct Settings
    {
        DriverValues driver;
        OtherSettings other;
        std::array<unsigned char, 32> name{}; // zero-padded
    };
    // What the board comes out of the factory with: the default
    // configuration, address 74, the name "Torvan60 simulated".
    static Settings factorySettings();
    Settings settings; // in effect
    Settings saved;    // what a restart or power-up comes back with

    // ---- DC motor outputs (command 0xB0), as last written ----
    struct PwmOutputs
    {
        uint32_t timerReload = 0;
        unsigned char aForward = 0;
        unsigned char aReverse = 0;
        unsigned char bForward = 0;
        unsigned char bReverse = 0;
        // The PWM timer counts at 480,000 Hz.
        int frequencyHz() const { return int(480000 / (uint64_t(timerReload) + 1)); }
    };
    PwmOutputs pwm;

    // ---- Motion ----
    MotionAxis axis;
    // Speed of the last trajectory command, signed steps/s.
    int32_t requestedSpeed = 0;
    // Auto run speed after the invert flag: the flag means "run in the
    // negative direction", so it turns a positive speed negative; a speed
    // already negative (as the tool sends it with the flag set) stays so.
    double autoRunSpeed() const;
    bool motionAllowed() const;
    // The end switch as configured: enabled, and its input at the level that
    // means pressed (low for a normally closed switch, high for an open one).
    bool endSwitchActive() const;

    // ---- Input bits (byte 6 of the live report) ----
    enum InputBit : unsigned char {
        InBootloaderOverride = 0x01,
        InSleep = 0x02, // set while the driver is enabled
        InStep = 0x04,
        InDir = 0x08,
        InBin1 = 0x10,
        InBin2 = 0x20,
        InEndSwitch = 0x40,
    };

    // ---- Live values (tests may set them) ----
    double supplyVoltage = 24.0; // volts
    double temperature = 31.5;   // degrees Celsius
    double ambientTemperature = 30.0;
    // A normally closed end switch is fitted and not pressed: its input
    // reads high. Tests set and clear the bits; BIN1/BIN2 act on their rising
    // edge, seen at the next advanceTo.
    unsigned char inputs = InEndSwitch;
    unsigned char faultFlags = 0;    // six fault bits; command 0x86 clears them
    unsigned char driverState = 1;   // 0 no power, 1 sleep, 2 active, 3 idle, 4 overheated, 5 PWM
    unsigned char operatingMode = 1; // 1 default (external step/dir) ... 6 auto run
    unsigned char currentGainCode = 2;
    unsigned char rawCurrent = 0;
    int32_t position = 0;
    int32_t speed = 0;
    // The profile is computed every millisecond: TrajTickRate 1000 / 20.
    uint16_t trajTickRaw = 50;
    // When not 0: channel A trips an over-current fault once the board has
    // run this long without a fault (counted again after every reset of the
    // faults).
    qint64 overcurrentAfterMs = 0;

    // Above the temperature limit the driver counts as overheated until it
    // has cooled this far below it.
    static constexpr double OverheatHysteresis = 2.0;
    // Enabled without motion this long, the driver turns idle.
    static constexpr qint64 IdleAfterMs = 10000;

private:
    void resetVolatileState();
    void adoptFlashApplication();
    void tick(qint64 ms);
    void settle();
    void handleInputEdges();
    void tripOvercurrent(qint64 nowMs);
    void enterMode(unsigned char mode);
    void writeDriverValues(const unsigned char *plain);
    void setStepFrequency(const unsigned char *plain);
    void writeTrajectory(const unsigned char *plain);
    void pressButton(int button);
    MotionLimits limits() const;
    // Motor current the driver puts out now, as the live report's gain code
    // and raw value, without ripple.
    void motorCurrent(unsigned char &gainCode, unsigned char &value) const;
    InputReportBytes registersReply() const;
    InputReportBytes otherSettingsReply() const;
    InputReportBytes nameReply() const;

    int index;
    qint64 lastMs = -1; // not yet synchronised with the clock
    qint64 lastActivityMs = 0;
    qint64 overcurrentAtMs = -1; // the next trip; -1: not scheduled
    unsigned char lastInputs = InEndSwitch;
    bool overheated = false;
    bool flashRewritten = false;
};
