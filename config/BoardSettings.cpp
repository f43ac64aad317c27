#include "config/BoardSettings.h"

#include "config/DriverControls.h"
#include "device/TorvanDRV.h"

#include <QStringList>

namespace BoardSettings {

void Write(TorvanDRV &drv, const QString &boardName, const Parts &parts)
{
    DriverControls::DeriveRegisterCodes(drv.DrvSettings);
    const bool sendName = parts.name && !drv.DrvSettings.DriverName.isEmpty();
    if (!sendName)
        drv.DrvSettings.DriverName = boardName;
    if (parts.driver)
        drv.WriteDriverValues();
    if (sendName)
        drv.SetDriverName(drv.DrvSettings.DriverName);
    if (!parts.motion)
        return;
    TrajectoryDataRecord &t = drv.TrajectoryData;
    const int32_t requestedSpeed = t.RequestedSpeed;
    t.FinalPosition = drv.RTData.CurrentPosition;
    t.RequestedSpeed = 0;
    drv.WriteTrajectory();
    t.RequestedSpeed = requestedSpeed; // the speed-mode setting, kept for the next run
}

QString Kept(const TorvanDRV &drv)
{
    const DriverRegistersRecord &r = drv.DriverRegisters;
    const DrvSettingsRecord &s = drv.DrvSettings;
    const TrajectoryDataRecord &t = drv.TrajectoryData;
    QStringList kept;
    for (int i = 0; i < 7; ++i)
        kept << QString::number(r.Registers[i], 16);
    for (const qint64 value :
         {qint64(r.TempLimitByte), qint64(r.IdleCurrentWord), qint64(r.ReducedCurrentWord), qint64(s.I2CAddress),
          qint64(s.ModbusConfig), qint64(s.BINxButtonsMode), qint64(s.AutoRunMode), qint64(t.MaxSpeed),
          qint64(t.MaxAccel), qint64(t.MaxDecel), qint64(t.EnableEndSwitch), qint64(t.NCTypeSwitch),
          qint64(t.AutoRunInvertDirection), qint64(t.BIN1Steps), qint64(t.BIN2Steps)})
        kept << QString::number(value);
    return kept.join(QLatin1Char(';'));
}

} // namespace BoardSettings
