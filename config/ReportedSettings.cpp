#include "config/ReportedSettings.h"

#include "device/TorvanDRV.h"

ReportedSettings::ReportedSettings(TorvanDRV &drv, QObject *parent) : QObject(parent), drv(drv)
{
    connect(&drv, &TorvanDRV::newDriverValuesAvailable, this, &ReportedSettings::take);
    connect(&drv, &TorvanDRV::newDriverInfoAvailable, this, [this] {
        if (!this->drv.IsConnected())
            seen.clear();
    });
}

SettingsDiff::Side ReportedSettings::side() const
{
    return SettingsDiff::fromBoard(drv.OnBoardSettings(), drv.OnBoardTrajectory());
}

void ReportedSettings::take()
{
    const int type = drv.InputReport[Report::TypeByte];
    if (type == Report::RptDriverRegisters || type == Report::RptOtherSettings || type == Report::RptDriverName)
        seen.insert(type);
}
