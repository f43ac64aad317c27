#include "cli/Status.h"

#include "device/StatusTexts.h"
#include "device/TorvanDRV.h"
#include "firmware/FirmwareImage.h"

#include <QJsonArray>

namespace Status {

QString version(int high, int low)
{
    return QString::asprintf("0x%02X%02X", unsigned(high & 0xFF), unsigned(low & 0xFF));
}

namespace {

QString firmwareState(const DriverInfoRecord &info)
{
    if (info.BootloaderActive && !info.SignatureValid)
        return QStringLiteral("corrupt");
    if (info.BootloaderActive)
        return QStringLiteral("boot loader");
    return info.FirmwareUpToDate ? QStringLiteral("up to date") : QStringLiteral("outdated");
}

QJsonObject inputs(const RTDataRecord &rt)
{
    return {{QStringLiteral("bootloader_override"), rt.InpBootloaderOverride},
            {QStringLiteral("sleep"), rt.InpSleep},
            {QStringLiteral("step"), rt.InpStep},
            {QStringLiteral("dir"), rt.InpDir},
            {QStringLiteral("bin1"), rt.InpBin1},
            {QStringLiteral("bin2"), rt.InpBin2},
            {QStringLiteral("end_switch"), rt.InpEndSwitch}};
}

QString round(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

} // namespace

QJsonObject snapshot(const TorvanDRV &drv, bool live)
{
    const DriverInfoRecord &info = drv.DriverInfo;
    QJsonObject object{
        {QStringLiteral("serial"), drv.SerialString()},
        {QStringLiteral("product"), drv.ProductString()},
        {QStringLiteral("name"), drv.DrvSettings.DriverName},
        {QStringLiteral("unique_id"), info.UniqueIDText},
        {QStringLiteral("bootloader_version"), version(info.BLVersionHigh, info.BLVersionLow)},
        {QStringLiteral("application_version"), version(info.APVersionHigh, info.APVersionLow)},
        {QStringLiteral("carried_version"), version(UpdateVersion[0], UpdateVersion[1])},
        {QStringLiteral("device_mode"), info.DeviceMode},
        {QStringLiteral("bootloader_active"), info.BootloaderActive},
        {QStringLiteral("signature_valid"), info.SignatureValid},
        {QStringLiteral("firmware"), firmwareState(info)},
    };
    if (!live)
        return object;
    const RTDataRecord &rt = drv.RTData;
    object.insert(QStringLiteral("voltage"), round(rt.FilteredVoltage, 2).toDouble());
    object.insert(QStringLiteral("temperature"), round(rt.FilteredTemperature, 2).toDouble());
    object.insert(QStringLiteral("current"), round(rt.MotorCurrent, 3).toDouble());
    object.insert(QStringLiteral("motor_power_ok"), rt.MotorPowerOK);
    object.insert(QStringLiteral("driver_state"), rt.DriverState);
    object.insert(QStringLiteral("driver_state_text"), DriverStateText(rt.DriverState));
    object.insert(QStringLiteral("faults"), rt.FaultFlags);
    object.insert(QStringLiteral("fault_texts"), QJsonArray::fromStringList(FaultTexts(rt.FaultFlags)));
    object.insert(QStringLiteral("inputs"), inputs(rt));
    object.insert(QStringLiteral("operating_mode"), rt.OperatingMode);
    object.insert(QStringLiteral("operating_mode_text"), OperatingModeText(rt.OperatingMode));
    object.insert(QStringLiteral("position"), rt.CurrentPosition);
    object.insert(QStringLiteral("speed"), rt.CurrentSpeed);
    return object;
}

QStringList snapshotLines(const TorvanDRV &drv, bool live)
{
    const DriverInfoRecord &info = drv.DriverInfo;
    QStringList lines;
    lines << QStringLiteral("serial: ") + drv.SerialString() << QStringLiteral("product: ") + drv.ProductString()
          << QStringLiteral("name: ") + drv.DrvSettings.DriverName << QStringLiteral("unique id: ") + info.UniqueIDText
          << QStringLiteral("boot loader: ") + version(info.BLVersionHigh, info.BLVersionLow)
          << QStringLiteral("application: ") + version(info.APVersionHigh, info.APVersionLow) +
                 QStringLiteral(" (carried ") + version(UpdateVersion[0], UpdateVersion[1]) + QLatin1Char(')')
          << QStringLiteral("firmware: ") + firmwareState(info);
    if (!live)
        return lines;
    const RTDataRecord &rt = drv.RTData;
    const QStringList faults = FaultTexts(rt.FaultFlags);
    QStringList pins;
    const QJsonObject in = inputs(rt);
    for (const char *pin : {"sleep", "step", "dir", "bin1", "bin2", "end_switch", "bootloader_override"})
        pins << QLatin1String(pin) + QLatin1Char('=') +
                    (in.value(QLatin1String(pin)).toBool() ? QLatin1Char('1') : QLatin1Char('0'));
    lines << QStringLiteral("voltage: %1 V").arg(round(rt.FilteredVoltage, 2))
          << QStringLiteral("temperature: %1 C").arg(round(rt.FilteredTemperature, 2))
          << QStringLiteral("current: %1 A").arg(round(rt.MotorCurrent, 3))
          << QStringLiteral("driver state: %1 (%2)").arg(rt.DriverState).arg(DriverStateText(rt.DriverState))
          << QStringLiteral("faults: ") + (faults.isEmpty() ? QStringLiteral("none")
                                                            : QString::asprintf("0x%X ", unsigned(rt.FaultFlags)) +
                                                                  faults.join(QLatin1Char(' ')))
          << QStringLiteral("inputs: ") + pins.join(QLatin1Char(' '))
          << QStringLiteral("operating mode: %1 (%2)").arg(rt.OperatingMode).arg(OperatingModeText(rt.OperatingMode))
          << QStringLiteral("position: %1").arg(rt.CurrentPosition) << QStringLiteral("speed: %1").arg(rt.CurrentSpeed);
    return lines;
}

namespace {

const QStringList LiveFieldNames = {QStringLiteral("ms"),           QStringLiteral("voltage"),
                                    QStringLiteral("temperature"),  QStringLiteral("current"),
                                    QStringLiteral("driver_state"), QStringLiteral("operating_mode"),
                                    QStringLiteral("faults"),       QStringLiteral("inputs"),
                                    QStringLiteral("position"),     QStringLiteral("speed")};

// The values of one live line, in the order of LiveFieldNames. The inputs are
// the pin bits as the board reports them (bit 0 boot loader override ... bit
// 6 end switch).
QStringList liveFields(const TorvanDRV &drv, qint64 ms)
{
    const RTDataRecord &rt = drv.RTData;
    const int pins = (rt.InpBootloaderOverride ? 0x01 : 0) | (rt.InpSleep ? 0x02 : 0) | (rt.InpStep ? 0x04 : 0) |
                     (rt.InpDir ? 0x08 : 0) | (rt.InpBin1 ? 0x10 : 0) | (rt.InpBin2 ? 0x20 : 0) |
                     (rt.InpEndSwitch ? 0x40 : 0);
    return {QString::number(ms),
            round(rt.FilteredVoltage, 2),
            round(rt.FilteredTemperature, 2),
            round(rt.MotorCurrent, 3),
            QString::number(rt.DriverState),
            QString::number(rt.OperatingMode),
            QString::number(rt.FaultFlags),
            QString::number(pins),
            QString::number(rt.CurrentPosition),
            QString::number(rt.CurrentSpeed)};
}

} // namespace

QString watchLine(const TorvanDRV &drv, qint64 ms)
{
    const QStringList values = liveFields(drv, ms);
    QStringList pairs;
    for (int i = 0; i < values.size(); ++i)
        pairs << LiveFieldNames.at(i) + QLatin1Char('=') + values.at(i);
    return pairs.join(QLatin1Char(' '));
}

} // namespace Status
