#include "config/DriverControls.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <cmath>

namespace DriverControls {

const QStringList &StepModes()
{
    static const QStringList list = {QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "Full-step")),
                                     QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "Half step")),
                                     QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "1/4 step")),
                                     QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "1/8 step")),
                                     QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "1/16 step")),
                                     QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "1/32 step")),
                                     QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "1/64 step")),
                                     QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "1/128 step")),
                                     QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "1/256 step"))};
    return list;
}

const QStringList &PredriverSpeeds()
{
    static const QStringList list = {QStringLiteral("Fast"), QStringLiteral("Medium"), QStringLiteral("Slow"),
                                     QStringLiteral("Slowest")};
    return list;
}

const QStringList &DecayModes()
{
    static const QStringList list = {
        QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "0-Force slow decay at all times")),
        QStringLiteral(QT_TRANSLATE_NOOP(
            "DriverControls",
            "1-Slow decay for increasing current, mixed decay for decreasing current (indexer mode only)")),
        QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "2-Force fast decay at all times")),
        QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "3-Use mixed decay at all times")),
        QStringLiteral(QT_TRANSLATE_NOOP(
            "DriverControls",
            "4-Slow decay for increasing current, auto mixed decay for decreasing current (indexer mode only)")),
        QStringLiteral(QT_TRANSLATE_NOOP("DriverControls", "5-Use auto mixed decay at all times")),
    };
    return list;
}

const QStringList &AdaptiveBlankingModes()
{
    static const QStringList list = {QStringLiteral("OFF"), QStringLiteral("ON")};
    return list;
}

const QStringList &ModbusConfigs()
{
    static const QStringList list = {QStringLiteral("BR: 9600; P: Even"), QStringLiteral("BR: 9600; P: Odd"),
                                     QStringLiteral("BR: 9600; P: None"), QStringLiteral("BR: 19200; P: Even"),
                                     QStringLiteral("BR: 19200; P: Odd"), QStringLiteral("BR: 19200; P: None")};
    return list;
}

QStringList Translated(const QStringList &list)
{
    QStringList shown;
    for (const QString &text : list)
        shown << QCoreApplication::translate("DriverControls", text.toUtf8().constData());
    return shown;
}

double ClampReal(double value, const RealRange &range)
{
    if (std::isnan(value))
        return range.minimum;
    const double bounded = qBound(range.minimum, value, range.maximum);
    // The spin boxes keep a value as its decimal text reads back.
    return QString::number(bounded, 'f', range.decimals).toDouble();
}

int32_t ListIndex(int32_t index, int count)
{
    return index >= 0 && index < count ? index : -1;
}

namespace {

int32_t nearestStep(double us, double stepUs)
{
    if (std::isnan(us))
        return 0;
    const double steps = std::round(us / stepUs) - 1;
    return static_cast<int32_t>(qBound(0.0, steps, double(TimeStepMax)));
}

} // namespace

int32_t BlankingSteps(double us)
{
    return nearestStep(us, 0.02);
}

double BlankingTime(int32_t steps)
{
    return (steps + 1) * 0.02;
}

int32_t HalfMicroSteps(double us)
{
    return nearestStep(us, 0.5);
}

double HalfMicroTime(int32_t steps)
{
    return (steps + 1) * 0.5;
}

PredriverCodes PredriverTable(int32_t predriverSpeed)
{
    switch (predriverSpeed) {
    case 1:
        return {1, 2, 1};
    case 2:
        return {2, 3, 1};
    case 3:
        return {3, 3, 0};
    default: // 0 "Fast", or no selection
        return {0, 2, 1};
    }
}

void DeriveRegisterCodes(DrvSettingsRecord &s)
{
    const PredriverCodes codes = PredriverTable(s.PredriverSpeed);
    s.DTime = codes.DTime;
    s.TDrive = codes.TDrive;
    s.IDrive = codes.IDrive;
    s.TBlank = BlankingSteps(s.BlankingTime);
    s.TDecay = HalfMicroSteps(s.MixedDecayTime);
    s.TOff = HalfMicroSteps(s.FixedOffTime);
}

} // namespace DriverControls
