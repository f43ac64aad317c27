#include "config/BoardSettings.h"

#include "config/DriverControls.h"
#include "config/SettingsFile.h"
#include "device/TorvanDRV.h"

#include <QStringList>

namespace BoardSettings {

QString Write(TorvanDRV &drv, DrvSettingsRecord settings, const TrajectoryDataRecord &trajectory, const Parts &parts)
{
    DriverControls::DeriveRegisterCodes(settings);
    if (parts.driver)
        drv.SendDriverValues(settings);
    const QString name = parts.name && !settings.DriverName.isEmpty() ? drv.SendDriverName(settings.DriverName)
                                                                      : drv.OnBoardSettings().DriverName;
    if (parts.motion) {
        TrajectoryDataRecord t = trajectory;
        t.FinalPosition = drv.RTData.CurrentPosition;
        t.RequestedSpeed = 0;
        drv.SendTrajectory(t, settings.AutoRunMode, settings.BINxButtonsMode);
    }
    return name;
}

TrajectoryDataRecord Motion(const TorvanDRV &drv)
{
    TrajectoryDataRecord t = drv.OnBoardTrajectory();
    SettingsFile::TakeHolderSettings(drv.TrajectoryData, t);
    return t;
}

QString Kept(const TorvanDRV &drv)
{
    const DriverRegistersRecord &r = drv.OnBoardRegisters();
    const DrvSettingsRecord &s = drv.OnBoardSettings();
    const TrajectoryDataRecord &t = drv.OnBoardTrajectory();
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
