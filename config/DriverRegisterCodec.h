#pragma once

#include "config/DriverConfig.h"

#include <QString>

#include <cstdint>

// The conversions between the operator-level settings, the driver register
// image and the report bytes that carry them. Pure byte-in/byte-out functions:
// no link, no log, so they can be exercised without a board. The device
// object's members of the same names wrap them.
namespace DriverRegisterCodec {

// Byte offsets of the write-values command (65-byte output buffer) and of the
// two replies that carry driver configuration (64-byte input report).
constexpr int WriteRegistersAt = 21; // registers 0..6, then a zero word for register 7
constexpr int WriteModeByteAt = 38;  // operating mode code
constexpr int WriteTempLimitAt = 39; // then idle word, reduced word, I2C address, Modbus setting
constexpr int ReplyRegistersAt = 40; // registers 0..7
constexpr int ReplyTempLimitAt = 56; // then idle word, reduced word, I2C address, mode byte, Modbus setting
constexpr int OtherSettingsSpeedAt = 24;
constexpr int OtherSettingsFlagsAt = 36;
constexpr int OtherSettingsBinStepsAt = 40;

// Operating mode codes the write command can carry.
constexpr unsigned char ModeDefault = 1;
constexpr unsigned char ModeDCMotor = 3;
constexpr unsigned char ModeBINxButtons = 5;
constexpr unsigned char ModeAutoRun = 6;

// Highest list indices of the two list fields that live in register bits.
constexpr int32_t LastStepMode = 8;
constexpr int32_t LastDecayMode = 5;

// A current as the driver takes it: an 8-bit value and the 2-bit code of the
// current-sense gain it is measured against.
struct EncodedCurrent
{
    uint32_t gainCode = 0;
    uint32_t value = 0;
    // The word layout of the idle and reduced currents: value in bits 0..7,
    // gain code in bits 8..9.
    uint32_t word() const { return (gainCode << 8) | value; }
};

// Picks the highest gain at which the current still fits into 8 bits.
// Negative, NaN and infinite currents encode as 0 A.
EncodedCurrent EncodeCurrent(double amps);
// Amperes from an 8-bit value and a gain code (only the low bits of each count).
double DecodeCurrent(uint32_t value, uint32_t gainCode);
// Amperes from an idle or reduced current word.
double DecodeCurrentWord(uint32_t word);

// The operating mode code of the write command for the three mode flags: the
// last flag set among DC motor, BINx buttons and auto run wins.
unsigned char ModeByte(const DrvSettingsRecord &settings);

// Composes the eight registers and the three side words from the settings.
// Every field is masked into its bit width. A step or decay mode outside its
// list (-1 for a list without a selection) has no encoding: the register image
// then keeps that field as it last held it.
void DrvSettings2DriverRegisters(const DrvSettingsRecord &settings, DriverRegistersRecord &registers);

// Fills the payload of the write-values command into the 65-byte output
// buffer: bytes 21..36 and 38..45. Every other byte is left as it is.
void DriverRegisters2Buffer(const DriverRegistersRecord &registers, const DrvSettingsRecord &settings,
                            unsigned char output[65]);

// Unpacks a driver-registers reply (64-byte input report) into the register
// image and the settings it carries directly: I2C address, Modbus setting and
// the BINx-buttons and auto-run flags.
void Buffer2DriverRegisters(const unsigned char input[64], DriverRegistersRecord &registers,
                            DrvSettingsRecord &settings);

// Decodes the register image into the settings after a read.
void DriverRegisters2DrvSettings(const DriverRegistersRecord &registers, DrvSettingsRecord &settings);

// Unpacks an other-settings reply (64-byte input report).
OtherSettings Buffer2OtherSettings(const unsigned char input[64]);
// Copies the stored motion settings into the motion record.
void OtherSettings2TrajectoryData(const OtherSettings &other, TrajectoryDataRecord &trajectory);

// The ";" settings line of 13 fields (no name).
QString DrvSettings2String(const DrvSettingsRecord &settings);
// Reads items 1..13 of a preset line (item 0 is its name). Fields the line
// lacks keep their values; a field that does not parse becomes 0.
void String2DrvSettings(const QString &line, DrvSettingsRecord &settings);
// The register dump: registers, temperature limit, side words and address.
QString DriverRegisters2String(const DriverRegistersRecord &registers, int32_t i2cAddress);

} // namespace DriverRegisterCodec
