// Firmware members: placeholders until the firmware check and update land.
#include "device/TorvanDRV.h"

void TorvanDRV::CheckFirmware() {}
unsigned int TorvanDRV::CalculateCRC(int, const unsigned char *) { return 0; }
void TorvanDRV::FullUpdate() {}
