#include "cli/Status.h"

#include "device/StatusTexts.h"

#include <QDateTime>
#include <QJsonArray>

namespace Status {

namespace {

const char *const Pins[] = {"sleep", "step", "dir", "bin1", "bin2", "end_switch", "bootloader_override"};

QString number(const QJsonObject &object, const char *key, int decimals)
{
    return QString::number(object.value(QLatin1String(key)).toDouble(), 'f', decimals);
}

QString integer(const QJsonObject &object, const char *key)
{
    return QString::number(qint64(object.value(QLatin1String(key)).toDouble()));
}

// The pin bits as the board reports them (bit 0 boot loader override ...
// bit 6 end switch).
int pinBits(const QJsonObject &inputs)
{
    static const char *const bitOrder[] = {"bootloader_override", "sleep", "step", "dir", "bin1", "bin2", "end_switch"};
    int bits = 0;
    for (int bit = 0; bit < 7; ++bit)
        if (inputs.value(QLatin1String(bitOrder[bit])).toBool())
            bits |= 1 << bit;
    return bits;
}

} // namespace

QStringList snapshotLines(const QJsonObject &identity, const QJsonObject &live)
{
    auto text = [&identity](const char *key) { return identity.value(QLatin1String(key)).toString(); };
    QStringList lines;
    lines << QStringLiteral("serial: ") + text("serial") << QStringLiteral("product: ") + text("product")
          << QStringLiteral("name: ") + text("name") << QStringLiteral("unique id: ") + text("unique_id")
          << QStringLiteral("boot loader: ") + text("bootloader_version")
          << QStringLiteral("application: ") + text("application_version") + QStringLiteral(" (carried ") +
                 text("carried_version") + QLatin1Char(')')
          << QStringLiteral("firmware: ") + text("firmware");
    if (live.isEmpty())
        return lines;
    QStringList faults;
    for (const QJsonValue &fault : live.value(QLatin1String("fault_texts")).toArray())
        faults << fault.toString();
    const QJsonObject inputs = live.value(QLatin1String("inputs")).toObject();
    QStringList pins;
    for (const char *pin : Pins)
        pins << QLatin1String(pin) + QLatin1Char('=') +
                    (inputs.value(QLatin1String(pin)).toBool() ? QLatin1Char('1') : QLatin1Char('0'));
    const int flags = live.value(QLatin1String("faults")).toInt();
    lines << QStringLiteral("voltage: %1 V").arg(number(live, "voltage", 2))
          << QStringLiteral("temperature: %1 C").arg(number(live, "temperature", 2))
          << QStringLiteral("current: %1 A").arg(number(live, "current", 3))
          << QStringLiteral("driver state: %1 (%2)")
                 .arg(integer(live, "driver_state"), live.value(QLatin1String("driver_text")).toString())
          << QStringLiteral("faults: ") +
                 (faults.isEmpty() ? QStringLiteral("none")
                                   : QString::asprintf("0x%X ", unsigned(flags)) + faults.join(QLatin1Char(' ')))
          << QStringLiteral("inputs: ") + pins.join(QLatin1Char(' '))
          << QStringLiteral("operating mode: %1 (%2)")
                 .arg(integer(live, "mode"), OperatingModeText(live.value(QLatin1String("mode")).toInt()))
          << QStringLiteral("position: ") + integer(live, "position")
          << QStringLiteral("speed: ") + integer(live, "speed");
    return lines;
}

QString watchLine(const QJsonObject &live, qint64 ms)
{
    const QStringList pairs = {
        QStringLiteral("ms=") + QString::number(ms),
        QStringLiteral("voltage=") + number(live, "voltage", 2),
        QStringLiteral("temperature=") + number(live, "temperature", 2),
        QStringLiteral("current=") + number(live, "current", 3),
        QStringLiteral("driver_state=") + integer(live, "driver_state"),
        QStringLiteral("operating_mode=") + integer(live, "mode"),
        QStringLiteral("faults=") + integer(live, "faults"),
        QStringLiteral("inputs=") + QString::number(pinBits(live.value(QLatin1String("inputs")).toObject())),
        QStringLiteral("position=") + integer(live, "position"),
        QStringLiteral("speed=") + integer(live, "speed"),
    };
    return pairs.join(QLatin1Char(' '));
}

RTDataRecord record(const QJsonObject &live)
{
    const QJsonObject raw = live.value(QLatin1String("raw")).toObject();
    const QJsonObject inputs = live.value(QLatin1String("inputs")).toObject();
    auto pin = [&inputs](const char *name) { return inputs.value(QLatin1String(name)).toBool(); };
    RTDataRecord rt;
    rt.SupplyVoltage = raw.value(QLatin1String("supply_voltage")).toDouble();
    rt.Temperature = raw.value(QLatin1String("temperature")).toDouble();
    rt.MotorPowerOK = raw.value(QLatin1String("motor_power_ok")).toBool();
    rt.TrajTickRate = raw.value(QLatin1String("tick_rate")).toInt();
    rt.FilteredVoltage = live.value(QLatin1String("voltage")).toDouble();
    rt.FilteredTemperature = live.value(QLatin1String("temperature")).toDouble();
    rt.MotorCurrent = live.value(QLatin1String("current")).toDouble();
    rt.InpBootloaderOverride = pin("bootloader_override");
    rt.InpSleep = pin("sleep");
    rt.InpStep = pin("step");
    rt.InpDir = pin("dir");
    rt.InpBin1 = pin("bin1");
    rt.InpBin2 = pin("bin2");
    rt.InpEndSwitch = pin("end_switch");
    rt.FaultFlags = live.value(QLatin1String("faults")).toInt();
    rt.OperatingMode = live.value(QLatin1String("mode")).toInt();
    rt.DriverState = live.value(QLatin1String("driver_state")).toInt();
    rt.CurrentPosition = live.value(QLatin1String("position")).toInt();
    rt.CurrentSpeed = live.value(QLatin1String("speed")).toInt();
    return rt;
}

WallTime time(const QJsonObject &live)
{
    const QDateTime when = QDateTime::fromString(live.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    return {when.toMSecsSinceEpoch(), when.offsetFromUtc()};
}

} // namespace Status
