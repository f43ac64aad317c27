#pragma once

#include "config/DriverConfig.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// What the driver setup controls accept and how their values map to register
// codes, without any widget: the window's form uses the same figures, and a
// front end without widgets applies them to values from elsewhere (settings
// files) exactly as the controls would.
namespace DriverControls {

// A real-valued control: its range and the decimals it keeps.
struct RealRange
{
    double minimum;
    double maximum;
    int decimals;
};

// Full-scale and idle current: 6 A, or 15 A while the developer controls are
// shown. The reduced current stays at 6 A in both.
constexpr double CurrentMaximum = 6.0;
constexpr double DeveloperCurrentMaximum = 15.0;
inline RealRange FullScaleCurrentRange(bool developer)
{
    return {0.0, developer ? DeveloperCurrentMaximum : CurrentMaximum, 1};
}
constexpr RealRange ReducedCurrentRange{0.0, CurrentMaximum, 1};
constexpr RealRange BlankingTimeRange{0.02, 5.12, 2};
constexpr RealRange HalfMicroTimeRange{0.5, 128.0, 1}; // mixed decay and fixed off time

constexpr int32_t TemperatureLimitMin = 0;
constexpr int32_t TemperatureLimitMax = 120;
constexpr int32_t I2CAddressMin = 1;
constexpr int32_t I2CAddressMax = 127;
constexpr int DriverNameLength = 32;
constexpr int32_t TimeStepMax = 255; // the time sliders: register values 0..255

// The list controls, in index order.
const QStringList &StepModes();
const QStringList &PredriverSpeeds();
const QStringList &DecayModes();
const QStringList &AdaptiveBlankingModes();
const QStringList &ModbusConfigs();
// Step modes and decay modes as the window shows them, in its language.
QStringList Translated(const QStringList &list);

// A value as a real spin box of that range shows it: held within the range
// and rounded to its decimals. NaN goes to the minimum.
double ClampReal(double value, const RealRange &range);
// A list index as the list reads it back: outside the list, -1.
int32_t ListIndex(int32_t index, int count);

// Time to register value and back. Register value r means (r + 1) x 0.02 us
// of blanking time and (r + 1) x 0.5 us of fixed off or mixed decay time.
// A time goes to the nearest register value, so a time shown from a register
// comes back as that register (plain truncation loses a step for 31 of the
// 256 blanking values: 0.58 us would give 27). Held within 0..255.
int32_t BlankingSteps(double us);
double BlankingTime(int32_t steps);
int32_t HalfMicroSteps(double us);
double HalfMicroTime(int32_t steps);

// The three predriver register codes a predriver speed selects; any index
// outside the list (no selection) selects the codes of "Fast".
struct PredriverCodes
{
    int32_t DTime;
    int32_t TDrive;
    int32_t IDrive;
};
PredriverCodes PredriverTable(int32_t predriverSpeed);

// Sets the register codes the controls derive from the settings: the
// predriver codes from the predriver speed, the time steps from the times.
void DeriveRegisterCodes(DrvSettingsRecord &settings);

} // namespace DriverControls
