// Device operations: placeholders until the operations land.
#include "device/TorvanDRV.h"

void TorvanDRV::RestartDevice() {}
void TorvanDRV::EnableDriver() {}
void TorvanDRV::SleepDriver() {}
void TorvanDRV::GetDriverName() {}
void TorvanDRV::SetDriverName(const QString &) {}
void TorvanDRV::GetDriverValues() {}
void TorvanDRV::WriteDriverValues() {}
void TorvanDRV::SaveDriverValues() {}
void TorvanDRV::ResetFaults() {}
int32_t TorvanDRV::SetStepFrequency(int32_t) { return 0; }
void TorvanDRV::WriteTrajectory() {}
void TorvanDRV::StopTrajectory() {}
void TorvanDRV::SetHome() {}
void TorvanDRV::TestButtons() {}
void TorvanDRV::CalculatePWMTimers() {}
void TorvanDRV::WritePWMSettings() {}
