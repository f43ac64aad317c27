#pragma once

#include <QString>

#include <cstdint>

// Operator-level driver settings, in physical units.
struct DrvSettingsRecord
{
    double FullScaleCurrent = 0;
    double IdleCurrent = 0;
    double ReducedCurrent = 0;
    int32_t TemperatureLimit = 0;
    int32_t StepMode = 0;
    int32_t PredriverSpeed = 0;
    int32_t DecayMode = 0;
    double BlankingTime = 0;
    double MixedDecayTime = 0;
    double FixedOffTime = 0;
    int32_t TBlank = 0;
    int32_t TDecay = 0;
    int32_t TOff = 0;
    int32_t AdaptiveBlanking = 0;
    bool PWMMode = false;
    bool BINxButtonsMode = false;
    bool AutoRunMode = false;
    int32_t DTime = 0;
    int32_t TDrive = 0;
    int32_t IDrive = 0;
    QString DriverName;
    int32_t I2CAddress = 0;
    int32_t ModbusConfig = 0;
};

// The register-level image: eight 16-bit driver registers and the words the
// board keeps beside them.
struct DriverRegistersRecord
{
    uint32_t Registers[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint32_t TempLimitByte = 0;
    uint32_t IdleCurrentWord = 0;
    uint32_t ReducedCurrentWord = 0;
};

// Current-sense gains indexed by the 2-bit gain code.
constexpr int CurrentGainTable[4] = {5, 10, 20, 40};

// The motion record the window fills and the trajectory command sends.
struct TrajectoryDataRecord
{
    int32_t FinalPosition = 0;
    int32_t RequestedSpeed = 0;
    int32_t MaxSpeed = 0;
    int32_t MaxAccel = 0;
    int32_t MaxDecel = 0;
    int32_t PosLimitUpper = 0;
    int32_t PosLimitLower = 0;
    int32_t BIN1Steps = 0;
    int32_t BIN2Steps = 0;
    int32_t SmallStep = 0;
    int32_t LargeStep = 0;
    bool EnableEndSwitch = false;
    bool NCTypeSwitch = false;
    bool AutoRunInvertDirection = false;
    unsigned char TestButton = 0; // 1 BIN1, 2 BIN2, 0 none
};

// The motion settings the board stores beside its driver registers, as the
// other-settings reply carries them.
struct OtherSettings
{
    int32_t MaxSpeed = 0;
    int32_t MaxAccel = 0;
    int32_t MaxDecel = 0;
    bool EnableEndSwitch = false;
    bool NCTypeSwitch = false;
    bool AutoRunInvertDirection = false;
    int32_t BIN1Steps = 0;
    int32_t BIN2Steps = 0;
};

// DC motor PWM duties and the timer values derived from them.
struct PWMDataRecord
{
    int32_t DutyA = 0; // percent, -100..100
    int32_t DutyB = 0;
    int32_t PWMFrequency = 0; // Hz
    int32_t TimerReload = 0;
    int32_t TimerAForward = 0;
    int32_t TimerAReverse = 0;
    int32_t TimerBForward = 0;
    int32_t TimerBReverse = 0;
    int32_t ActualFrequency = 0;
};
