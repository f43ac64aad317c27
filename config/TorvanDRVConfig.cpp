// Driver configuration members of the device object: the conversions of
// DriverRegisterCodec applied to the object's own records and buffers.
#include "config/DriverRegisterCodec.h"
#include "config/SettingsFile.h"
#include "device/TorvanDRV.h"
#include "log/LogText.h"

void TorvanDRV::DrvSettings2DriverRegisters()
{
    DriverRegisterCodec::DrvSettings2DriverRegisters(DrvSettings, DriverRegisters);
}

void TorvanDRV::DriverRegisters2Buffer()
{
    DriverRegisterCodec::DriverRegisters2Buffer(DriverRegisters, DrvSettings, OutputReport);
}

void TorvanDRV::DriverRegisters2DrvSettings()
{
    DriverRegisterCodec::DriverRegisters2DrvSettings(DriverRegisters, DrvSettings);
}

QString TorvanDRV::DrvSettings2String() const
{
    return DriverRegisterCodec::DrvSettings2String(DrvSettings);
}

void TorvanDRV::String2DrvSettings(const QString &line)
{
    DriverRegisterCodec::String2DrvSettings(line, DrvSettings);
}

QString TorvanDRV::DriverRegisters2String() const
{
    return DriverRegisterCodec::DriverRegisters2String(DriverRegisters, DrvSettings.I2CAddress);
}

void TorvanDRV::Buffer2DriverRegisters()
{
    DriverRegisterCodec::Buffer2DriverRegisters(InputReport, DriverRegisters, DrvSettings);
    // The board's record takes the whole reply at once, decoded.
    DriverRegisterCodec::Buffer2DriverRegisters(InputReport, boardRegisters, boardSettings);
    DriverRegisterCodec::DriverRegisters2DrvSettings(boardRegisters, boardSettings);
    // So that a write composed from this record keeps the predriver's
    // drive time and current as the board has them.
    boardSettings.TDrive = static_cast<int32_t>((boardRegisters.Registers[6] >> 4) & 3);
    boardSettings.IDrive = static_cast<int32_t>((boardRegisters.Registers[6] >> 8) & 3);
}

void TorvanDRV::Buffer2OtherSettings()
{
    const OtherSettings other = DriverRegisterCodec::Buffer2OtherSettings(InputReport);
    DriverRegisterCodec::OtherSettings2TrajectoryData(other, TrajectoryData);
    DriverRegisterCodec::OtherSettings2TrajectoryData(other, boardTrajectory);
}

bool TorvanDRV::SaveSettingsToFile(const QString &path)
{
    return SettingsFile::Save(path, DrvSettings, TrajectoryData);
}

bool TorvanDRV::LoadSettingsFromFile(const QString &path, bool developerCurrents)
{
    SettingsFile::LoadRules rules;
    rules.developerCurrents = developerCurrents;
    const SettingsFile::LoadResult result = SettingsFile::Load(path, DrvSettings, TrajectoryData, rules);
    if (!result.loaded) {
        log(QStringLiteral("Not a settings file (%1), nothing loaded: %2").arg(result.refusal, path));
        return false;
    }
    // The file's keys and values, as the file has them.
    for (const QString &line : result.adjustments)
        log(LogText::escaped(line, 200));
    return true;
}
