#include "service/StatusJson.h"

#include "device/StatusTexts.h"
#include "device/TorvanDRV.h"
#include "firmware/FirmwareImage.h"
#include "record/LiveCsv.h"

#include <QJsonArray>

#include <cmath>

namespace StatusJson {

QString version(int high, int low)
{
    return QString::asprintf("0x%02X%02X", unsigned(high & 0xFF), unsigned(low & 0xFF));
}

QString firmwareState(const DriverInfoRecord &info)
{
    if (info.BootloaderActive && !info.SignatureValid)
        return QStringLiteral("corrupt");
    if (info.BootloaderActive)
        return QStringLiteral("boot loader");
    return info.FirmwareUpToDate ? QStringLiteral("up to date") : QStringLiteral("outdated");
}

namespace {

double rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

QString carried()
{
    return version(UpdateVersion[0], UpdateVersion[1]);
}

} // namespace

QJsonObject identity(const TorvanDRV &drv)
{
    const DriverInfoRecord &info = drv.DriverInfo;
    return {
        {QStringLiteral("serial"), drv.SerialString()},
        {QStringLiteral("product"), drv.ProductString()},
        {QStringLiteral("name"), drv.OnBoardSettings().DriverName},
        {QStringLiteral("unique_id"), info.UniqueIDText},
        {QStringLiteral("bootloader_version"), version(info.BLVersionHigh, info.BLVersionLow)},
        {QStringLiteral("application_version"), version(info.APVersionHigh, info.APVersionLow)},
        {QStringLiteral("carried_version"), carried()},
        {QStringLiteral("bootloader_active"), info.BootloaderActive},
        {QStringLiteral("signature_valid"), info.SignatureValid},
        {QStringLiteral("firmware"), firmwareState(info)},
    };
}

QJsonObject live(const RTDataRecord &rt, const WallTime &when, bool raw)
{
    QJsonObject object{
        {QStringLiteral("voltage"), rounded(rt.FilteredVoltage, 2)},
        {QStringLiteral("temperature"), rounded(rt.FilteredTemperature, 2)},
        {QStringLiteral("current"), rounded(rt.MotorCurrent, 3)},
        {QStringLiteral("driver_state"), rt.DriverState},
        {QStringLiteral("driver_text"), DriverStateText(rt.DriverState)},
        {QStringLiteral("faults"), rt.FaultFlags},
        {QStringLiteral("fault_texts"), QJsonArray::fromStringList(FaultTexts(rt.FaultFlags))},
        {QStringLiteral("inputs"), QJsonObject{{QStringLiteral("bootloader_override"), rt.InpBootloaderOverride},
                                               {QStringLiteral("sleep"), rt.InpSleep},
                                               {QStringLiteral("step"), rt.InpStep},
                                               {QStringLiteral("dir"), rt.InpDir},
                                               {QStringLiteral("bin1"), rt.InpBin1},
                                               {QStringLiteral("bin2"), rt.InpBin2},
                                               {QStringLiteral("end_switch"), rt.InpEndSwitch}}},
        {QStringLiteral("mode"), rt.OperatingMode},
        {QStringLiteral("position"), rt.CurrentPosition},
        {QStringLiteral("speed"), rt.CurrentSpeed},
        {QStringLiteral("time"), isoWallTime(when)},
    };
    if (raw)
        object.insert(QStringLiteral("raw"), QJsonObject{{QStringLiteral("supply_voltage"), rt.SupplyVoltage},
                                                         {QStringLiteral("temperature"), rt.Temperature},
                                                         {QStringLiteral("motor_power_ok"), rt.MotorPowerOK},
                                                         {QStringLiteral("tick_rate"), rt.TrajTickRate}});
    return object;
}

QJsonObject firmware(const DriverInfoRecord &info)
{
    return {
        {QStringLiteral("bootloader_version"), version(info.BLVersionHigh, info.BLVersionLow)},
        {QStringLiteral("application_version"), version(info.APVersionHigh, info.APVersionLow)},
        {QStringLiteral("carried_version"), carried()},
        {QStringLiteral("running"),
         info.BootloaderActive ? QStringLiteral("boot loader") : QStringLiteral("application")},
        {QStringLiteral("signature_valid"), info.SignatureValid},
        {QStringLiteral("up_to_date"), !info.BootloaderActive && info.SignatureValid && info.FirmwareUpToDate},
    };
}

} // namespace StatusJson
