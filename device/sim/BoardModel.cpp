#include "device/sim/BoardModel.h"

#include "config/DriverConfig.h"
#include "config/DriverRegisterCodec.h"
#include "device/ByteOrder.h"
#include "device/Records.h"
#include "firmware/FirmwareImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

using namespace ByteOrder;

namespace {

// Thermal behaviour: the board settles this far above ambient per square
// ampere of motor current, with this time constant.
constexpr double HeatPerAmpSquared = 4.0; // degrees C / A²
constexpr double ThermalTimeConstantS = 90.0;
constexpr double MinimumMotorVoltage = 8.0;
constexpr unsigned char FaultMask = 0x3F;
// Without motion the driver is worked out in chunks of at most this long, so
// that the temperature crosses its limits close to when it really would.
constexpr qint64 QuietChunkMs = 1000;
constexpr uint32_t StepRateStop = 0xFFFFFFFFu;

unsigned char modeOfModeByte(unsigned char modeByte)
{
    return (modeByte == 3 || modeByte == 5 || modeByte == 6) ? modeByte : 1;
}

bool isConfiguredMode(unsigned char mode)
{
    return mode == 3 || mode == 5 || mode == 6;
}

} // namespace

BoardModel::BoardModel(int index) : index(index)
{
    // A stable unique id per board position.
    for (int i = 0; i < 16; ++i)
        uniqueId[static_cast<size_t>(i)] = static_cast<unsigned char>(0x3A + 17 * i + 29 * index + (i * i) % 7);
    settings = saved = factorySettings();
    resetVolatileState();
}

BoardModel::Settings BoardModel::factorySettings()
{
    Settings s;
    // The built-in default configuration: 1/8 step, 2.2 A full scale, 1.0 A
    // idle, 0.5 A reduced, 85 degrees C, medium predriver, auto mixed decay,
    // 1.0 us blanking, 15 us fixed off time.
    s.driver.registers = {0x0619, 0x0787, 0x001D, 0x0031, 0x0500, 0x0F00, 0x05AF, 0x0000};
    s.driver.tempLimit = 85;
    s.driver.idleCurrentWord = 0x037A;
    s.driver.reducedCurrentWord = 0x033D;
    s.driver.address = 74;
    s.driver.modbusConfig = 0;
    s.driver.modeByte = 1;
    s.other.maxSpeed = 10000;
    s.other.maxAccel = 2000;
    s.other.maxDecel = 2000;
    s.other.endSwitchEnabled = true;
    s.other.ncSwitch = true;
    s.other.autoRunInvert = false;
    s.other.bin1Steps = -1000;
    s.other.bin2Steps = 1000;
    static const char name[] = "Torvan60 simulated";
    std::memcpy(s.name.data(), name, sizeof(name) - 1);
    return s;
}

// ---------------------------------------------------------------------------
// Restart and power

void BoardModel::resetVolatileState()
{
    axis = MotionAxis();
    position = 0;
    speed = 0;
    pwm = PwmOutputs();
    requestedSpeed = 0;
    faultFlags = 0;
    inputs &= static_cast<unsigned char>(~InSleep); // the driver starts asleep
    lastInputs = inputs;
    operatingMode = 1;
    enterMode(modeOfModeByte(settings.driver.modeByte));
    // The first advanceTo after this takes up the clock where it stands: the
    // time the board was away is not worked through.
    lastMs = -1;
    settle();
}

void BoardModel::adoptFlashApplication()
{
    // Until the flash commands changed the flash, the identity fields are what
    // the board was set up with; after that the flash is what it holds.
    if (!flashRewritten)
        return;
    signatureValid = flash.signatureValid();
    // The carried image is opaque: its version is the one the tool says it
    // carries, wherever the image keeps it.
    const bool carried = flash.holdsCarriedApplication();
    apVersionHigh = carried ? UpdateVersion[0] : flash.versionHigh();
    apVersionLow = carried ? UpdateVersion[1] : flash.versionLow();
}

void BoardModel::restart()
{
    adoptFlashApplication();
    if (!bootloaderRunning)
        bootloaderRunning = true;
    else if (signatureValid)
        bootloaderRunning = false;
    settings = saved;
    resetVolatileState();
}

void BoardModel::powerUp()
{
    adoptFlashApplication();
    bootloaderRunning = !signatureValid;
    settings = saved;
    resetVolatileState();
}

// ---------------------------------------------------------------------------
// Time

void BoardModel::advanceTo(qint64 nowMs)
{
    if (lastMs < 0) {
        lastMs = nowMs;
        lastActivityMs = nowMs;
    }
    if (position != axis.position())
        axis.adoptPosition(position);
    handleInputEdges();
    while (lastMs < nowMs) {
        const bool allowed = motionAllowed();
        qint64 ms = 1;
        if (axis.busy(allowed)) {
            axis.tick(limits(), allowed);
            position = axis.position();
            if (axis.speed() != 0)
                lastActivityMs = lastMs + 1;
        } else {
            ms = std::min(nowMs - lastMs, QuietChunkMs);
            // Stop where the driver turns idle: its current changes there.
            const qint64 idleAt = lastActivityMs + IdleAfterMs;
            if (idleAt > lastMs)
                ms = std::min(ms, idleAt - lastMs);
        }
        tick(ms);
    }
    tripOvercurrent(nowMs);
    settle();
}

void BoardModel::tripOvercurrent(qint64 nowMs)
{
    if (overcurrentAfterMs <= 0)
        return;
    if (faultFlags & FaultMask) {
        overcurrentAtMs = -1;
    } else if (overcurrentAtMs < 0) {
        overcurrentAtMs = nowMs + overcurrentAfterMs;
    } else if (nowMs >= overcurrentAtMs) {
        faultFlags |= 0x02; // channel A over-current
        overcurrentAtMs = -1;
    }
}

void BoardModel::tick(qint64 ms)
{
    // First-order heating toward a level set by the motor current; exact for
    // any length of time over which the current stays the same.
    unsigned char gainCode = 0;
    unsigned char value = 0;
    motorCurrent(gainCode, value);
    const double amps = DriverRegisterCodec::DecodeCurrent(value, gainCode);
    const double settled = ambientTemperature + HeatPerAmpSquared * amps * amps;
    temperature = settled + (temperature - settled) * std::exp(-double(ms) / 1000.0 / ThermalTimeConstantS);
    const double limit = settings.driver.tempLimit;
    if (temperature > limit)
        overheated = true;
    else if (temperature <= limit - OverheatHysteresis)
        overheated = false;
    lastMs += ms;
}

void BoardModel::settle()
{
    position = axis.position();
    speed = motionAllowed() ? axis.reportedSpeed() : 0;

    if (supplyVoltage < MinimumMotorVoltage)
        driverState = 0;
    else if (!(inputs & InSleep))
        driverState = 1;
    else if (overheated)
        driverState = 4;
    else if (operatingMode == 3)
        driverState = 5;
    else if (lastMs - lastActivityMs >= IdleAfterMs)
        driverState = 3;
    else
        driverState = 2;

    unsigned char value = 0;
    motorCurrent(currentGainCode, value);
    if (value > 0) {
        // A small deterministic ripple, as a real current reading shows.
        const int ripple = static_cast<int>((lastMs / 10) % 3) - 1;
        value = static_cast<unsigned char>(std::clamp(value + ripple, 0, 255));
    }
    rawCurrent = value;
}

void BoardModel::handleInputEdges()
{
    const auto rising = static_cast<unsigned char>(inputs & ~lastInputs);
    const auto changed = static_cast<unsigned char>(inputs ^ lastInputs);
    lastInputs = inputs;
    // Activity on STEP and DIR, or the driver being enabled, restarts the
    // idle timer.
    if ((changed & (InStep | InDir)) || (rising & InSleep))
        lastActivityMs = std::max(lastActivityMs, lastMs);
    if (rising & InBin1)
        pressButton(1);
    if (rising & InBin2)
        pressButton(2);
}

void BoardModel::motorCurrent(unsigned char &gainCode, unsigned char &value) const
{
    const auto &regs = settings.driver.registers;
    const auto fullGain = static_cast<unsigned char>((regs[0] >> 8) & 3);
    const auto fullValue = static_cast<unsigned char>(regs[1] & 0xFF);
    gainCode = fullGain;
    value = 0;
    const bool powered = !bootloaderRunning && supplyVoltage >= MinimumMotorVoltage && (inputs & InSleep) &&
                         (faultFlags & FaultMask) == 0;
    if (!powered)
        return;
    if (operatingMode == 3) {
        // DC motors draw in proportion to the larger duty.
        const int duty = std::min(100, int(std::max({pwm.aForward, pwm.aReverse, pwm.bForward, pwm.bReverse})));
        value = static_cast<unsigned char>(fullValue * duty / 100);
        return;
    }
    uint16_t word = static_cast<uint16_t>((fullGain << 8) | fullValue);
    if (overheated)
        word = settings.driver.reducedCurrentWord;
    else if (lastMs - lastActivityMs >= IdleAfterMs)
        word = settings.driver.idleCurrentWord;
    gainCode = static_cast<unsigned char>((word >> 8) & 3);
    value = static_cast<unsigned char>(word & 0xFF);
}

// ---------------------------------------------------------------------------
// Motion

MotionLimits BoardModel::limits() const
{
    MotionLimits l;
    l.maxSpeed = settings.other.maxSpeed;
    l.maxAccel = settings.other.maxAccel;
    l.maxDecel = settings.other.maxDecel;
    return l;
}

double BoardModel::autoRunSpeed() const
{
    const double s = requestedSpeed;
    return settings.other.autoRunInvert && s > 0 ? -s : s;
}

bool BoardModel::endSwitchActive() const
{
    if (!settings.other.endSwitchEnabled)
        return false;
    const bool high = inputs & InEndSwitch;
    return settings.other.ncSwitch ? !high : high;
}

bool BoardModel::motionAllowed() const
{
    const bool internalMotion = operatingMode == 2 || operatingMode == 4 || operatingMode == 5 || operatingMode == 6;
    return internalMotion && !bootloaderRunning && supplyVoltage >= MinimumMotorVoltage && (inputs & InSleep) &&
           (faultFlags & FaultMask) == 0 && !endSwitchActive();
}

void BoardModel::enterMode(unsigned char mode)
{
    const unsigned char from = operatingMode;
    operatingMode = mode;
    switch (mode) {
    case 5:
        // Moves come from the buttons only; one in progress brakes to rest.
        if (from != 5)
            axis.stop();
        break;
    case 6:
        axis.runAt(autoRunSpeed());
        break;
    default:
        // External step/dir or the DC motor outputs take over at once.
        axis.halt();
        break;
    }
}

void BoardModel::pressButton(int button)
{
    if (operatingMode != 5 || (button != 1 && button != 2))
        return;
    const int32_t steps = button == 1 ? settings.other.bin1Steps : settings.other.bin2Steps;
    // Presses add up: a move in progress is extended from its target.
    const bool moving = axis.drive() == MotionAxis::Drive::Target && !axis.stopping();
    const int64_t from = moving ? axis.target() : int64_t(axis.position());
    const int64_t target =
        std::clamp<int64_t>(from + steps, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    axis.moveTo(target);
    lastActivityMs = std::max(lastActivityMs, lastMs);
}

// ---------------------------------------------------------------------------
// Commands

void BoardModel::handleCommand(const unsigned char *plain, qint64 nowMs, std::vector<InputReportBytes> &replies)
{
    advanceTo(nowMs);
    const unsigned char code = plain[2];
    if (code >= Report::CmdEraseSector && code <= Report::CmdReadSectorCRC) {
        if (!bootloaderRunning)
            return; // the application does not write its own flash
        flash.handleCommand(plain, replies);
        if (code != Report::CmdReadSectorCRC) {
            flashRewritten = true;
            signatureValid = flash.signatureValid();
        }
        return;
    }
    if (bootloaderRunning)
        return; // the boot loader knows nothing but its flash commands

    switch (code) {
    case Report::CmdWriteDriverValues:
        writeDriverValues(plain);
        break;
    case Report::CmdReadDriverRegisters:
        replies.push_back(registersReply());
        break;
    case Report::CmdSaveDriverValues:
        saved = settings;
        break;
    case Report::CmdResetFaults:
        faultFlags = 0;
        break;
    case Report::CmdReadOtherSettings:
        replies.push_back(otherSettingsReply());
        break;
    case Report::CmdSetStepFrequency:
        setStepFrequency(plain);
        break;
    case Report::CmdSetDriverEnable:
        if (plain[21] != 0) {
            inputs |= InSleep;
            lastActivityMs = std::max(lastActivityMs, lastMs);
        } else {
            inputs &= static_cast<unsigned char>(~InSleep);
        }
        lastInputs = static_cast<unsigned char>((lastInputs & ~InSleep) | (inputs & InSleep));
        break;
    case Report::CmdWritePWMSettings:
        pwm.timerReload = getLE32(plain + 21);
        pwm.aForward = plain[25];
        pwm.aReverse = plain[26];
        pwm.bForward = plain[27];
        pwm.bReverse = plain[28];
        break;
    case Report::CmdWriteTrajectory:
        writeTrajectory(plain);
        break;
    case Report::CmdStopTrajectory:
        if (operatingMode == 4 || operatingMode == 5 || operatingMode == 6)
            axis.stop();
        break;
    case Report::CmdSetHome:
        axis.setHome();
        position = 0;
        break;
    case Report::CmdTestButtons:
        pressButton(plain[3]);
        break;
    case Report::CmdSetDriverName:
        std::memcpy(settings.name.data(), plain + 3, settings.name.size());
        break;
    case Report::CmdGetDriverName:
        replies.push_back(nameReply());
        break;
    default:
        break; // unknown commands are ignored
    }
    settle();
}

void BoardModel::writeDriverValues(const unsigned char *plain)
{
    DriverValues &d = settings.driver;
    for (size_t i = 0; i < d.registers.size(); ++i)
        d.registers[i] = getLE16(plain + 21 + 2 * i);
    d.modeByte = plain[38];
    d.tempLimit = plain[39];
    d.idleCurrentWord = getLE16(plain + 40);
    d.reducedCurrentWord = getLE16(plain + 42);
    d.address = plain[44];
    d.modbusConfig = plain[45];

    const unsigned char wanted = modeOfModeByte(d.modeByte);
    if (isConfiguredMode(wanted)) {
        if (operatingMode != wanted)
            enterMode(wanted);
    } else if (isConfiguredMode(operatingMode)) {
        enterMode(1);
    }
}

void BoardModel::setStepFrequency(const unsigned char *plain)
{
    // The stand-alone and DC motor modes own the outputs.
    if (isConfiguredMode(operatingMode))
        return;
    const uint32_t reload = getLE32(plain + 21);
    if (reload == StepRateStop) {
        if (operatingMode != 1)
            enterMode(1);
        return;
    }
    operatingMode = 2;
    axis.startStepGenerator(reload, plain[25] != 0);
    lastActivityMs = std::max(lastActivityMs, lastMs);
}

void BoardModel::writeTrajectory(const unsigned char *plain)
{
    OtherSettings &o = settings.other;
    o.maxSpeed = getLE32Signed(plain + 25);
    o.maxAccel = getLE32Signed(plain + 29);
    o.maxDecel = getLE32Signed(plain + 33);
    o.endSwitchEnabled = plain[37] & 0x01;
    o.ncSwitch = plain[37] & 0x02;
    o.autoRunInvert = plain[37] & 0x04;
    o.bin1Steps = getLE32Signed(plain + 41);
    o.bin2Steps = getLE32Signed(plain + 45);
    requestedSpeed = getLE32Signed(plain + 49);

    if (operatingMode == 3)
        return; // DC motors: no stepper to move
    lastActivityMs = std::max(lastActivityMs, lastMs);
    const unsigned char modeBits = plain[3];
    if (modeBits & 0x02) {
        operatingMode = 6;
        axis.runAt(autoRunSpeed());
    } else if (modeBits & 0x01) {
        enterMode(5);
    } else {
        operatingMode = 4;
        axis.moveTo(getLE32Signed(plain + 21));
    }
}

// ---------------------------------------------------------------------------
// Reports

void BoardModel::fillDeviceInfo(InputReportBytes &r) const
{
    r[1] = blVersionHigh;
    r[2] = blVersionLow;
    r[3] = apVersionHigh;
    r[4] = apVersionLow;
    r[5] = bootloaderRunning ? Report::BootloaderMode : ApplicationMode;
    r[Report::TypeByte] = Report::RptDeviceInfo;
    putBE32(&r[20], signatureValid ? Report::SignatureWord : 0xFFFFFFFFu);
    for (int i = 0; i < 16; ++i)
        r[static_cast<size_t>(24 + i)] = uniqueId[static_cast<size_t>(i)];
    putBE16(&r[44], static_cast<uint16_t>(std::lround(temperature / 0.125)));
}

void BoardModel::fillLiveReport(InputReportBytes &r) const
{
    r[6] = inputs;
    putBE16(&r[8], static_cast<uint16_t>(std::lround(supplyVoltage * 2.2 / 49.2 / 3.3 * 1024.0)));
    r[Report::TypeByte] = Report::RptRTData;
    putBE32(&r[20], static_cast<uint32_t>(position));
    putBE32(&r[24], static_cast<uint32_t>(speed));
    putBE16(&r[44], static_cast<uint16_t>(std::lround(temperature / 0.125)));
    r[46] = driverState;
    r[47] = operatingMode;
    r[48] = currentGainCode;
    r[49] = rawCurrent;
    r[54] = faultFlags;
    r[56] = static_cast<unsigned char>(trajTickRaw & 0xFF);
    r[57] = static_cast<unsigned char>(trajTickRaw >> 8);
}

InputReportBytes BoardModel::registersReply() const
{
    const DriverValues &d = settings.driver;
    InputReportBytes r{};
    r[Report::TypeByte] = Report::RptDriverRegisters;
    for (size_t i = 0; i < d.registers.size(); ++i)
        putLE16(&r[40 + 2 * i], d.registers[i]);
    r[56] = d.tempLimit;
    putLE16(&r[57], d.idleCurrentWord);
    putLE16(&r[59], d.reducedCurrentWord);
    r[61] = d.address;
    r[62] = d.modeByte;
    r[63] = d.modbusConfig;
    return r;
}

InputReportBytes BoardModel::otherSettingsReply() const
{
    const OtherSettings &o = settings.other;
    InputReportBytes r{};
    r[Report::TypeByte] = Report::RptOtherSettings;
    putLE32(&r[24], static_cast<uint32_t>(o.maxSpeed));
    putLE32(&r[28], static_cast<uint32_t>(o.maxAccel));
    putLE32(&r[32], static_cast<uint32_t>(o.maxDecel));
    r[36] = static_cast<unsigned char>((o.endSwitchEnabled ? 0x01 : 0) | (o.ncSwitch ? 0x02 : 0) |
                                       (o.autoRunInvert ? 0x10 : 0));
    putLE32(&r[40], static_cast<uint32_t>(o.bin1Steps));
    putLE32(&r[44], static_cast<uint32_t>(o.bin2Steps));
    return r;
}

InputReportBytes BoardModel::nameReply() const
{
    InputReportBytes r{};
    r[Report::TypeByte] = Report::RptDriverName;
    std::memcpy(&r[16], settings.name.data(), settings.name.size());
    return r;
}
