#include "config/ReportedSettings.h"

#include "config/DriverRegisterCodec.h"
#include "device/TorvanDRV.h"

ReportedSettings::ReportedSettings(TorvanDRV &drv, QObject *parent) : QObject(parent), drv(drv)
{
    connect(&drv, &TorvanDRV::newDriverValuesAvailable, this, &ReportedSettings::take);
    connect(&drv, &TorvanDRV::newDriverInfoAvailable, this, [this] {
        if (!this->drv.IsConnected())
            seen.clear();
    });
}

void ReportedSettings::take()
{
    // The signal comes right after the reply in the input record was
    // decoded into the device object's records.
    const int type = drv.InputReport[Report::TypeByte];
    switch (type) {
    case Report::RptDriverRegisters: {
        const QString name = settings.DriverName;
        settings = drv.DrvSettings;
        settings.DriverName = name;
        break;
    }
    case Report::RptOtherSettings:
        DriverRegisterCodec::OtherSettings2TrajectoryData(DriverRegisterCodec::Buffer2OtherSettings(drv.InputReport),
                                                          trajectory);
        break;
    case Report::RptDriverName:
        settings.DriverName = drv.DrvSettings.DriverName;
        break;
    default:
        return;
    }
    seen.insert(type);
}
