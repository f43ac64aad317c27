#include "service/BoardPresence.h"

#include "device/Records.h"
#include "device/TorvanDRV.h"

BoardPresence::BoardPresence(TorvanDRV &drv, QObject *parent) : QObject(parent), drv(drv)
{
    connect(&drv, &TorvanDRV::newDriverInfoAvailable, this, &BoardPresence::update);
    connect(&drv, &TorvanDRV::newRTDataAvailable, this, [this] {
        if (this->drv.IsConnected())
            ++liveCount;
        update();
    });
    connect(&drv, &TorvanDRV::newDriverValuesAvailable, this, [this] {
        settingsSeen.insert(this->drv.InputReport[Report::TypeByte]);
        update();
    });
    update();
}

bool BoardPresence::identified() const
{
    return drv.IsConnected() && drv.BusyCode == 0 && drv.IsIdentified();
}

bool BoardPresence::settingsRead() const
{
    return settingsSeen.contains(Report::RptDriverRegisters) && settingsSeen.contains(Report::RptOtherSettings) &&
           settingsSeen.contains(Report::RptDriverName);
}

void BoardPresence::update()
{
    if (!drv.IsConnected()) {
        settingsSeen.clear();
        liveCount = 0;
    }
    const bool now =
        identified() && (drv.DriverInfo.BootloaderActive || (settingsRead() && liveCount >= FilterReports));
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
