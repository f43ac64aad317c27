#include "service/BoardPresence.h"

#include "device/Records.h"
#include "device/TorvanDRV.h"

BoardPresence::BoardPresence(TorvanDRV &drv, QObject *parent) : QObject(parent), drv(drv)
{
    connect(&drv, &TorvanDRV::newDriverInfoAvailable, this, &BoardPresence::update);
    connect(&drv, &TorvanDRV::newRTDataAvailable, this, [this] {
        if (this->drv.IsConnected())
            ++liveReports;
        update();
    });
    connect(&drv, &TorvanDRV::newDriverValuesAvailable, this, [this] {
        settingsSeen.insert(this->drv.InputReport[Report::TypeByte]);
        update();
    });
    update();
}

void BoardPresence::update()
{
    if (!drv.IsConnected()) {
        settingsSeen.clear();
        liveReports = 0;
    }
    const bool settingsRead = settingsSeen.contains(Report::RptDriverRegisters) &&
                              settingsSeen.contains(Report::RptOtherSettings) &&
                              settingsSeen.contains(Report::RptDriverName);
    const bool now = drv.IsConnected() && drv.BusyCode == 0 && !drv.DriverInfo.UniqueIDText.isEmpty() &&
                     (drv.DriverInfo.BootloaderActive || (settingsRead && liveReports >= FilterReports));
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
