#include "service/BoardPresence.h"

#include "device/TorvanDRV.h"

BoardPresence::BoardPresence(TorvanDRV &drv, QObject *parent) : QObject(parent), drv(drv)
{
    for (auto signal :
         {&TorvanDRV::newDriverInfoAvailable, &TorvanDRV::newRTDataAvailable, &TorvanDRV::newDriverValuesAvailable})
        connect(&drv, signal, this, &BoardPresence::update);
    update();
}

void BoardPresence::update()
{
    const bool now = drv.IsConnected() && drv.BusyCode == 0 && !drv.DriverInfo.UniqueIDText.isEmpty();
    if (now == present)
        return;
    present = now;
    if (present) {
        presentSerial = drv.SerialString();
        emit arrived(presentSerial);
    } else {
        emit left(presentSerial);
    }
}
