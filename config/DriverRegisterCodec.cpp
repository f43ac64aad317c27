#include "config/DriverRegisterCodec.h"
#include "device/ByteOrder.h"

#include <QStringList>

#include <cmath>

namespace DriverRegisterCodec {

using namespace ByteOrder;

namespace {

// The current-sense amplifier: a value v at gain g stands for
// v * CurrentScale / (g * SenseFactor) amperes.
constexpr double SenseFactor = 8.448;
constexpr double CurrentScale = 2.75;

uint32_t bits(int32_t field, uint32_t mask)
{
    return static_cast<uint32_t>(field) & mask;
}

bool inList(int32_t index, int32_t last)
{
    return index >= 0 && index <= last;
}

} // namespace

EncodedCurrent EncodeCurrent(double amps)
{
    // A negative or undefined current would wrap into a large 8-bit value;
    // no current is the safe reading of it.
    if (!(amps >= 0) || std::isinf(amps))
        amps = 0;
    double gain = 80;
    double value = 0;
    do {
        gain /= 2;
        value = gain * SenseFactor * amps / CurrentScale;
    } while (value > 255);

    EncodedCurrent encoded;
    if (gain == 10)
        encoded.gainCode = 1;
    else if (gain == 20)
        encoded.gainCode = 2;
    else if (gain == 40)
        encoded.gainCode = 3;
    else
        encoded.gainCode = 0; // gain 5, or a gain below the smallest the driver has
    encoded.value = static_cast<uint32_t>(value) & 0xFF;
    return encoded;
}

double DecodeCurrent(uint32_t value, uint32_t gainCode)
{
    return (value & 0xFF) * CurrentScale / (CurrentGainTable[gainCode & 3] * SenseFactor);
}

double DecodeCurrentWord(uint32_t word)
{
    return DecodeCurrent(word & 0xFF, (word >> 8) & 3);
}

unsigned char ModeByte(const DrvSettingsRecord &settings)
{
    unsigned char mode = ModeDefault;
    if (settings.PWMMode)
        mode = ModeDCMotor;
    if (settings.BINxButtonsMode)
        mode = ModeBINxButtons;
    if (settings.AutoRunMode)
        mode = ModeAutoRun;
    return mode;
}

void DrvSettings2DriverRegisters(const DrvSettingsRecord &s, DriverRegistersRecord &r)
{
    // A list without a selection reads as -1; shifted into its register it
    // would set every bit above the field. Such a mode is left as it was.
    const uint32_t stepMode =
        inList(s.StepMode, LastStepMode) ? static_cast<uint32_t>(s.StepMode) : (r.Registers[0] >> 3) & 0xF;
    const uint32_t decayMode =
        inList(s.DecayMode, LastDecayMode) ? static_cast<uint32_t>(s.DecayMode) : (r.Registers[4] >> 8) & 0x7;

    r.Registers[0] = 1;
    r.Registers[1] = 0x700;
    r.Registers[2] = 0;
    r.Registers[3] = 0;
    r.Registers[4] = 0;
    r.Registers[5] = 0x0F00;
    r.Registers[6] = 0xF;
    r.Registers[7] = 0;

    const EncodedCurrent fullScale = EncodeCurrent(s.FullScaleCurrent);
    r.Registers[0] = (bits(s.DTime, 3) << 10) | (stepMode << 3) | (fullScale.gainCode << 8) | 1;
    r.Registers[1] = 0x700 | fullScale.value;

    r.Registers[2] = ((s.PWMMode ? 1u : 0u) << 8) | bits(s.TOff, 0xFF);
    r.Registers[3] = (bits(s.AdaptiveBlanking, 1) << 8) | bits(s.TBlank, 0xFF);
    r.Registers[4] = (decayMode << 8) | bits(s.TDecay, 0xFF);
    const uint32_t tDrive = bits(s.TDrive, 3);
    const uint32_t iDrive = bits(s.IDrive, 3);
    r.Registers[6] = (iDrive << 8) | (iDrive << 10) | (tDrive << 4) | (tDrive << 6) | 0xF;

    r.IdleCurrentWord = EncodeCurrent(s.IdleCurrent).word();
    r.ReducedCurrentWord = EncodeCurrent(s.ReducedCurrent).word();
    // A threshold wrapped into 8 bits would turn a high limit into a low one
    // (or the reverse); it is held at the nearest end instead.
    r.TempLimitByte = static_cast<uint32_t>(qBound<int32_t>(0, s.TemperatureLimit, 255));
}

void DriverRegisters2Buffer(const DriverRegistersRecord &r, const DrvSettingsRecord &s, unsigned char output[65])
{
    for (int i = 0; i < 7; ++i)
        putLE16(output + WriteRegistersAt + 2 * i, r.Registers[i]);
    putLE16(output + WriteRegistersAt + 14, 0); // register 7 is never written
    output[WriteModeByteAt] = ModeByte(s);
    output[WriteTempLimitAt] = static_cast<unsigned char>(r.TempLimitByte & 0xFF);
    putLE16(output + WriteTempLimitAt + 1, r.IdleCurrentWord);
    putLE16(output + WriteTempLimitAt + 3, r.ReducedCurrentWord);
    output[WriteTempLimitAt + 5] = static_cast<unsigned char>(bits(s.I2CAddress, 0xFF));
    output[WriteTempLimitAt + 6] = static_cast<unsigned char>(bits(s.ModbusConfig, 7));
}

void Buffer2DriverRegisters(const unsigned char input[64], DriverRegistersRecord &r, DrvSettingsRecord &s)
{
    for (int i = 0; i < 8; ++i)
        r.Registers[i] = getLE16(input + ReplyRegistersAt + 2 * i);
    r.TempLimitByte = input[ReplyTempLimitAt];
    r.IdleCurrentWord = getLE16(input + ReplyTempLimitAt + 1);
    r.ReducedCurrentWord = getLE16(input + ReplyTempLimitAt + 3);
    s.I2CAddress = input[ReplyTempLimitAt + 5];
    // DC motor mode is not taken from here but from register 2.
    const unsigned char mode = input[ReplyTempLimitAt + 6];
    s.BINxButtonsMode = mode == ModeBINxButtons;
    s.AutoRunMode = mode == ModeAutoRun;
    s.ModbusConfig = input[ReplyTempLimitAt + 7];
}

void DriverRegisters2DrvSettings(const DriverRegistersRecord &r, DrvSettingsRecord &s)
{
    s.FullScaleCurrent = DecodeCurrent(r.Registers[1] & 0xFF, (r.Registers[0] >> 8) & 3);
    s.IdleCurrent = DecodeCurrentWord(r.IdleCurrentWord);
    s.ReducedCurrent = DecodeCurrentWord(r.ReducedCurrentWord);

    // The predriver speed choice is known to the board only as its dead time.
    s.DTime = static_cast<int32_t>((r.Registers[0] >> 10) & 3);
    s.PredriverSpeed = s.DTime;
    s.StepMode = static_cast<int32_t>((r.Registers[0] >> 3) & 0xF);

    s.TOff = static_cast<int32_t>(r.Registers[2] & 0xFF);
    s.PWMMode = (r.Registers[2] >> 8) & 1;
    s.FixedOffTime = (s.TOff + 1) * 0.5;
    if (s.PWMMode)
        s.BINxButtonsMode = false;

    s.TBlank = static_cast<int32_t>(r.Registers[3] & 0xFF);
    s.AdaptiveBlanking = static_cast<int32_t>((r.Registers[3] >> 8) & 1);
    s.BlankingTime = (s.TBlank + 1) * 0.02;

    s.TemperatureLimit = static_cast<int32_t>(r.TempLimitByte);

    s.TDecay = static_cast<int32_t>(r.Registers[4] & 0xFF);
    s.DecayMode = static_cast<int32_t>((r.Registers[4] >> 8) & 7);
    s.MixedDecayTime = (s.TDecay + 1) * 0.5;
}

OtherSettings Buffer2OtherSettings(const unsigned char input[64])
{
    OtherSettings o;
    o.MaxSpeed = getLE32Signed(input + OtherSettingsSpeedAt);
    o.MaxAccel = getLE32Signed(input + OtherSettingsSpeedAt + 4);
    o.MaxDecel = getLE32Signed(input + OtherSettingsSpeedAt + 8);
    const unsigned char flags = input[OtherSettingsFlagsAt];
    o.EnableEndSwitch = flags & 0x01;
    o.NCTypeSwitch = flags & 0x02;
    o.AutoRunInvertDirection = flags & 0x10;
    o.BIN1Steps = getLE32Signed(input + OtherSettingsBinStepsAt);
    o.BIN2Steps = getLE32Signed(input + OtherSettingsBinStepsAt + 4);
    return o;
}

void OtherSettings2TrajectoryData(const OtherSettings &o, TrajectoryDataRecord &t)
{
    t.MaxSpeed = o.MaxSpeed;
    t.MaxAccel = o.MaxAccel;
    t.MaxDecel = o.MaxDecel;
    t.EnableEndSwitch = o.EnableEndSwitch;
    t.NCTypeSwitch = o.NCTypeSwitch;
    t.AutoRunInvertDirection = o.AutoRunInvertDirection;
    t.BIN1Steps = o.BIN1Steps;
    t.BIN2Steps = o.BIN2Steps;
}

QString DrvSettings2String(const DrvSettingsRecord &s)
{
    return QString::asprintf("%d;%0.1f;%0.1f;%d;%0.1f;%d;%d;%0.2f;%d;%0.1f;%0.1f;%d;%d", s.StepMode, s.FullScaleCurrent,
                             s.IdleCurrent, s.TemperatureLimit, s.ReducedCurrent, s.PredriverSpeed, s.DecayMode,
                             s.BlankingTime, s.AdaptiveBlanking, s.MixedDecayTime, s.FixedOffTime, s.PWMMode ? 1 : 0,
                             s.I2CAddress);
}

void String2DrvSettings(const QString &line, DrvSettingsRecord &s)
{
    // Empty parts are kept so that every field stays at its own position.
    const QStringList items = line.split(QLatin1Char(';'));
    const auto count = items.size();
    auto integer = [&](int i, int32_t &field) {
        if (i < count)
            field = items.at(i).toInt(nullptr, 10);
    };
    auto real = [&](int i, double &field) {
        if (i < count)
            field = items.at(i).toDouble();
    };
    integer(1, s.StepMode);
    real(2, s.FullScaleCurrent);
    real(3, s.IdleCurrent);
    integer(4, s.TemperatureLimit);
    real(5, s.ReducedCurrent);
    integer(6, s.PredriverSpeed);
    integer(7, s.DecayMode);
    real(8, s.BlankingTime);
    integer(9, s.AdaptiveBlanking);
    real(10, s.MixedDecayTime);
    real(11, s.FixedOffTime);
    if (12 < count)
        s.PWMMode = items.at(12).toInt(nullptr, 10) != 0;
    integer(13, s.I2CAddress);
}

QString DriverRegisters2String(const DriverRegistersRecord &r, int32_t i2cAddress)
{
    return QString::asprintf("0x%03X;0x%03X;0x%03X;0x%03X;0x%03X;0x%03X;0x%03X;0x%03X;%d;0x%03X;0x%03X;0x%02X",
                             r.Registers[0], r.Registers[1], r.Registers[2], r.Registers[3], r.Registers[4],
                             r.Registers[5], r.Registers[6], r.Registers[7], static_cast<int>(r.TempLimitByte),
                             r.IdleCurrentWord, r.ReducedCurrentWord, static_cast<unsigned int>(i2cAddress));
}

} // namespace DriverRegisterCodec
