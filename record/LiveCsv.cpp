#include "record/LiveCsv.h"

#include "device/StatusTexts.h"

#include <QStringList>

#include <array>
#include <cstdlib>

QByteArray liveCsvHeader()
{
    static const char *const columns[] = {
        "time (ISO 8601)",
        "elapsed / s",
        "supply voltage / V",
        "filtered voltage / V",
        "temperature / °C",
        "filtered temperature / °C",
        "motor current / A",
        "driver state",
        "driver state text",
        "fault flags (hex)",
        "faults",
        "input bootloader override (0/1)",
        "input enable axis / SLEEP (0/1)",
        "input step / AIN1 (0/1)",
        "input dir / AIN2 (0/1)",
        "input BIN1 (0/1)",
        "input BIN2 (0/1)",
        "input end switch (0/1)",
        "operating mode",
        "position / steps",
        "speed / steps/s",
        "trajectory tick rate / Hz",
    };
    CsvLine line;
    for (const char *column : columns)
        line.addText(QString::fromUtf8(column));
    return line.finish();
}

namespace {

// Fields that repeat from report to report, in their CSV form once.
const std::array<QByteArray, 7> &stateFields()
{
    static const std::array<QByteArray, 7> fields = [] {
        std::array<QByteArray, 7> f;
        for (int state = 0; state < int(f.size()); ++state)
            f[size_t(state)] = CsvLine::quoted(DriverStateText(state)); // the last one: unknown, blank
        return f;
    }();
    return fields;
}

// The texts of every combination of the six fault bits, bit 0 first.
const std::array<QByteArray, 64> &faultFields()
{
    static const std::array<QByteArray, 64> fields = [] {
        std::array<QByteArray, 64> f;
        for (int flags = 0; flags < 64; ++flags) {
            f[size_t(flags)] = CsvLine::quoted(FaultTexts(flags).join(QLatin1String("; ")));
        }
        return f;
    }();
    return fields;
}

void put2(char *&out, int value)
{
    *out++ = char('0' + value / 10);
    *out++ = char('0' + value % 10);
}

// ISO 8601 local time with milliseconds and the offset from UTC ("Z" when
// there is none), as Qt writes it, without building date-time objects.
QByteArray isoTime(const WallTime &when, char (&buffer)[40])
{
    const qint64 localMs = when.msSinceEpoch + qint64(when.utcOffsetS) * 1000;
    qint64 days = localMs / 86400000;
    qint64 msOfDay = localMs % 86400000;
    if (msOfDay < 0) {
        msOfDay += 86400000;
        --days;
    }
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const qint64 year = yoe + era * 400 + (month <= 2 ? 1 : 0);

    char *out = buffer;
    const int y = int(qBound(qint64(0), year, qint64(9999)));
    put2(out, y / 100);
    put2(out, y % 100);
    *out++ = '-';
    put2(out, month);
    *out++ = '-';
    put2(out, day);
    *out++ = 'T';
    const int seconds = int(msOfDay / 1000);
    put2(out, seconds / 3600);
    *out++ = ':';
    put2(out, seconds / 60 % 60);
    *out++ = ':';
    put2(out, seconds % 60);
    *out++ = '.';
    const int ms = int(msOfDay % 1000);
    *out++ = char('0' + ms / 100);
    put2(out, ms % 100);
    if (when.utcOffsetS == 0) {
        *out++ = 'Z';
    } else {
        const int offsetMin = std::abs(when.utcOffsetS) / 60;
        *out++ = when.utcOffsetS < 0 ? '-' : '+';
        put2(out, offsetMin / 60);
        *out++ = ':';
        put2(out, offsetMin % 60);
    }
    return QByteArray::fromRawData(buffer, int(out - buffer));
}

} // namespace

QString isoWallTime(const WallTime &when)
{
    char buffer[40];
    return QString::fromLatin1(isoTime(when, buffer));
}

const QByteArray &liveCsvRow(CsvLine &line, const LiveSample &sample, qint64 startMs)
{
    const RTDataRecord &rt = sample.rt;
    const auto &states = stateFields();
    char time[40];
    line.clear();
    line.addField(isoTime(sample.wall, time));
    line.addNumber((sample.monotonicMs - startMs) / 1000.0, LiveDecimals::Seconds);
    line.addNumber(rt.SupplyVoltage, LiveDecimals::Voltage);
    line.addNumber(rt.FilteredVoltage, LiveDecimals::Voltage);
    line.addNumber(rt.Temperature, LiveDecimals::Temperature);
    line.addNumber(rt.FilteredTemperature, LiveDecimals::Temperature);
    line.addNumber(rt.MotorCurrent, LiveDecimals::Current);
    line.addInteger(rt.DriverState);
    line.addField(states[rt.DriverState >= 0 && rt.DriverState < 6 ? size_t(rt.DriverState) : 6]);
    line.addHex(static_cast<uint32_t>(rt.FaultFlags), 2);
    line.addField(faultFields()[size_t(rt.FaultFlags & 0x3F)]);
    for (bool pin :
         {rt.InpBootloaderOverride, rt.InpSleep, rt.InpStep, rt.InpDir, rt.InpBin1, rt.InpBin2, rt.InpEndSwitch})
        line.addInteger(pin ? 1 : 0);
    line.addInteger(rt.OperatingMode);
    line.addInteger(rt.CurrentPosition);
    line.addInteger(rt.CurrentSpeed);
    line.addInteger(rt.TrajTickRate);
    return line.finish();
}
