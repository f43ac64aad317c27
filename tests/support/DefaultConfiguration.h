#pragma once

#include "config/DriverConfig.h"

// The built-in "Default configuration" with the register codes the driver
// setup derives from it (predriver speed 1, blanking 1.0 us).
inline DrvSettingsRecord defaultConfiguration()
{
    DrvSettingsRecord s;
    s.StepMode = 3;
    s.FullScaleCurrent = 2.2;
    s.IdleCurrent = 1.0;
    s.TemperatureLimit = 85;
    s.ReducedCurrent = 0.5;
    s.PredriverSpeed = 1;
    s.DTime = 1;
    s.TDrive = 2;
    s.IDrive = 1;
    s.DecayMode = 5;
    s.BlankingTime = 1.0;
    s.TBlank = 49;
    s.MixedDecayTime = 0.5;
    s.TDecay = 0;
    s.FixedOffTime = 15.0;
    s.TOff = 29;
    s.AdaptiveBlanking = 0;
    s.PWMMode = false;
    s.I2CAddress = 0;
    return s;
}
