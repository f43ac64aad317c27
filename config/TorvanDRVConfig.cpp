// Driver configuration members: placeholders until the conversions land.
#include "device/TorvanDRV.h"

void TorvanDRV::DrvSettings2DriverRegisters() {}
void TorvanDRV::DriverRegisters2Buffer() {}
void TorvanDRV::DriverRegisters2DrvSettings() {}
QString TorvanDRV::DrvSettings2String() const { return QString(); }
void TorvanDRV::String2DrvSettings(const QString &) {}
QString TorvanDRV::DriverRegisters2String() const { return QString(); }
void TorvanDRV::Buffer2DriverRegisters() {}
void TorvanDRV::Buffer2OtherSettings() {}
