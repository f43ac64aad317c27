#include "record/LiveCsv.h"

#include "record/StatusTexts.h"

#include <QStringList>

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

QString faultTexts(int32_t flags)
{
    QString texts;
    for (int bit = 0; bit < int(FaultBitTexts.size()); ++bit) {
        if (!(flags & (1 << bit)))
            continue;
        if (!texts.isEmpty())
            texts += QLatin1String("; ");
        texts += FaultBitTexts[static_cast<size_t>(bit)];
    }
    return texts;
}

} // namespace

const QByteArray &liveCsvRow(CsvLine &line, const LiveSample &sample, qint64 startMs)
{
    const RTDataRecord &rt = sample.rt;
    line.clear();
    line.addText(sample.wall.toDateTime().toString(Qt::ISODateWithMs));
    line.addNumber((sample.monotonicMs - startMs) / 1000.0, 3);
    line.addNumber(rt.SupplyVoltage, 3);
    line.addNumber(rt.FilteredVoltage, 3);
    line.addNumber(rt.Temperature, 3);
    line.addNumber(rt.FilteredTemperature, 3);
    line.addNumber(rt.MotorCurrent, 4);
    line.addInteger(rt.DriverState);
    line.addText(DriverStateText(rt.DriverState));
    line.addHex(static_cast<uint32_t>(rt.FaultFlags), 2);
    line.addText(faultTexts(rt.FaultFlags));
    for (bool pin :
         {rt.InpBootloaderOverride, rt.InpSleep, rt.InpStep, rt.InpDir, rt.InpBin1, rt.InpBin2, rt.InpEndSwitch})
        line.addInteger(pin ? 1 : 0);
    line.addInteger(rt.OperatingMode);
    line.addInteger(rt.CurrentPosition);
    line.addInteger(rt.CurrentSpeed);
    line.addInteger(rt.TrajTickRate);
    return line.finish();
}
