#include "config/SettingsFile.h"

#include "config/DriverControls.h"

#include <QFile>
#include <QSettings>
#include <QVariant>

#include <cmath>
#include <iterator>

using namespace DriverControls;

namespace SettingsFile {

namespace {

// Ranges of the motion controls the file feeds.
constexpr int32_t MaxSpeedMax = 6000000;
constexpr int32_t AccelMax = 5000000;
constexpr int32_t PositionLimit = 100000000; // limits and button moves, either sign
constexpr int32_t SmallStepMax = 500000;
constexpr int32_t LargeStepMax = 1000000;

// Anything larger is no settings file of ours.
constexpr qint64 MaxFileBytes = 1 << 20;

const char *const Keys[] = {
    "DriverSettings/StepMode",
    "DriverSettings/FullScaleCurrent",
    "DriverSettings/IdleCurrent",
    "DriverSettings/TemperatureLimit",
    "DriverSettings/ReducedCurrent",
    "DriverSettings/PredriverSpeed",
    "DriverSettings/DecayMode",
    "DriverSettings/BlankingTime",
    "DriverSettings/AdaptiveBlanking",
    "DriverSettings/MixedDecayTime",
    "DriverSettings/FixedOffTime",
    "DriverSettings/DriverName",
    "DriverSettings/PWMMode",
    "DriverSettings/I2CAddress",
    "DriverSettings/ModbusConfig",
    "DriverSettings/BINxButtonsMode",
    "DriverSettings/AutoRunMode",
    "TrajectorySettings/MaxSpeed",
    "TrajectorySettings/MaxAccel",
    "TrajectorySettings/MaxDecel",
    "TrajectorySettings/EnableEndSwitch",
    "TrajectorySettings/NCTypeSwitch",
    "TrajectorySettings/PosLimitLower",
    "TrajectorySettings/PosLimitUpper",
    "TrajectorySettings/SmallStep",
    "TrajectorySettings/LargeStep",
    "TrajectorySettings/BIN1Steps",
    "TrajectorySettings/BIN2Steps",
    "TrajectorySettings/AutoRunInvertDirection",
    "TrajectorySettings/RequestedSpeed",
};

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString realText(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString listText(int32_t index)
{
    return index < 0 ? QStringLiteral("-1 (no selection)") : QString::number(index);
}

// Reads values one key at a time and notes every value it had to replace.
class Reader
{
public:
    Reader(const QVariantMap &file, QStringList &notes) : file(file), notes(notes) {}

    int32_t integer(const char *name, int32_t fallback, int32_t lo, int32_t hi)
    {
        return readInteger(
            name, fallback, [lo, hi](int32_t v) { return qBound(lo, v, hi); },
            [](int32_t v) { return QString::number(v); });
    }

    // A list index as the list shows it: outside the list, no selection.
    int32_t list(const char *name, int32_t fallback, int count)
    {
        return readInteger(
            name, fallback, [count](int32_t v) { return ListIndex(v, count); }, listText);
    }

    // A real value held by a control of that range; snap, when given, moves
    // it onto its register step.
    double real(const char *name, const RealRange &range, double (*snap)(double) = nullptr)
    {
        bool present = false;
        const QString raw = rawText(name, present);
        bool ok = false;
        const double read = present ? raw.trimmed().toDouble(&ok) : 0.0;
        double value = ClampReal(ok ? read : 0.0, range);
        if (snap)
            value = ClampReal(snap(value), range);
        note(name, present, raw, ok && std::abs(value - read) < 1e-9, realText(value, range.decimals));
        return value;
    }

    bool boolean(const char *name, bool fallback)
    {
        bool present = false;
        const QString raw = rawText(name, present);
        const QString word = raw.trimmed().toLower();
        const bool ok = word == QLatin1String("true") || word == QLatin1String("false") || word == QLatin1String("1") ||
                        word == QLatin1String("0");
        const bool value = present ? (ok && (word == QLatin1String("true") || word == QLatin1String("1"))) : fallback;
        note(name, present, raw, ok, boolText(value));
        return value;
    }

    QString text(const char *name, int maxLength)
    {
        bool present = false;
        const QString raw = rawText(name, present);
        const QString value = raw.left(maxLength);
        note(name, present, raw, value == raw, QLatin1Char('"') + value + QLatin1Char('"'));
        return value;
    }

    // A value adjusted after reading, by a rule between two values.
    void adjusted(const char *name, const QString &from, const QString &to, const char *why)
    {
        notes << QStringLiteral("Settings file value %1=%2 adjusted to %3 (%4).")
                     .arg(key(name), from, to, QLatin1String(why));
    }

    QString rawText(const char *name, bool &present) const
    {
        const QVariant value = file.value(key(name));
        present = value.isValid();
        return value.toString();
    }

private:
    // An integer key: fallback when missing, 0 when it does not convert, then
    // held by hold.
    template <class Hold, class Text> int32_t readInteger(const char *name, int32_t fallback, Hold hold, Text text)
    {
        bool present = false;
        const QString raw = rawText(name, present);
        bool ok = false;
        const int32_t read = present ? raw.trimmed().toInt(&ok, 10) : fallback;
        const int32_t value = hold(present && !ok ? 0 : read);
        note(name, present, raw, ok && value == read, text(value));
        return value;
    }

    void note(const char *name, bool present, const QString &raw, bool unchanged, const QString &used)
    {
        if (!present)
            notes << QStringLiteral("Settings file value %1 missing; using %2.").arg(key(name), used);
        else if (!unchanged)
            notes << QStringLiteral("Settings file value %1=%2 adjusted to %3.").arg(key(name), raw, used);
    }

    const QVariantMap &file;
    QStringList &notes;
};

double snapBlanking(double us)
{
    return BlankingTime(BlankingSteps(us));
}

double snapHalfMicro(double us)
{
    return HalfMicroTime(HalfMicroSteps(us));
}

// Settings files are UTF-8, whichever build or tool wrote them. The Qt 5
// settings library takes an INI file as Latin-1 and escapes every character
// beyond ASCII unless told otherwise; Qt 6 reads and writes UTF-8 and has
// no such setting. Escaped text, as earlier Qt 5 builds saved it, reads the
// same either way.
void useUtf8(QSettings &file)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    file.setIniCodec("UTF-8");
#else
    Q_UNUSED(file)
#endif
}

// Why the file is no settings file, or empty when it may be one.
QString refusalOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read");
    if (file.size() == 0)
        return QStringLiteral("empty");
    if (file.size() > MaxFileBytes)
        return QStringLiteral("too large");
    if (file.readAll().contains('\0'))
        return QStringLiteral("binary");
    return QString();
}

} // namespace

std::vector<std::pair<QString, QVariant>> Values(const DrvSettingsRecord &s, const TrajectoryDataRecord &t)
{
    const QVariant values[] = {
        s.StepMode,
        s.FullScaleCurrent,
        s.IdleCurrent,
        s.TemperatureLimit,
        s.ReducedCurrent,
        s.PredriverSpeed,
        s.DecayMode,
        s.BlankingTime,
        s.AdaptiveBlanking,
        s.MixedDecayTime,
        s.FixedOffTime,
        s.DriverName,
        s.PWMMode,
        s.I2CAddress,
        s.ModbusConfig,
        s.BINxButtonsMode,
        s.AutoRunMode,
        t.MaxSpeed,
        t.MaxAccel,
        t.MaxDecel,
        t.EnableEndSwitch,
        t.NCTypeSwitch,
        t.PosLimitLower,
        t.PosLimitUpper,
        t.SmallStep,
        t.LargeStep,
        t.BIN1Steps,
        t.BIN2Steps,
        t.AutoRunInvertDirection,
        t.RequestedSpeed,
    };
    static_assert(std::size(values) == std::size(Keys), "one value per key");
    std::vector<std::pair<QString, QVariant>> pairs;
    for (size_t i = 0; i < std::size(Keys); ++i)
        pairs.emplace_back(key(Keys[i]), values[i]);
    return pairs;
}

bool Save(const QString &path, const DrvSettingsRecord &s, const TrajectoryDataRecord &t)
{
    QSettings file(path, QSettings::IniFormat);
    useUtf8(file);
    for (const auto &value : Values(s, t))
        file.setValue(value.first, value.second);
    file.sync();
    return file.status() == QSettings::NoError;
}

QVariantMap ReadValues(const QString &path, QString &refusal)
{
    refusal = refusalOf(path);
    if (!refusal.isEmpty())
        return {};
    QSettings file(path, QSettings::IniFormat);
    useUtf8(file);
    QVariantMap values;
    for (const QString &name : file.allKeys()) {
        // An unquoted text with commas reads as a list.
        const QVariant value = file.value(name);
        values.insert(name, value.userType() == QMetaType::QStringList
                                ? QVariant(value.toStringList().join(QLatin1Char(',')))
                                : value);
    }
    if (file.status() != QSettings::NoError)
        refusal = QStringLiteral("no settings in it");
    return refusal.isEmpty() ? values : QVariantMap();
}

LoadResult Load(const QString &path, DrvSettingsRecord &settings, TrajectoryDataRecord &trajectory,
                const LoadRules &rules)
{
    QString refusal;
    const QVariantMap values = ReadValues(path, refusal);
    if (!refusal.isEmpty()) {
        LoadResult result;
        result.refusal = refusal;
        return result;
    }
    return LoadValues(values, settings, trajectory, rules);
}

FileCheck CheckFile(const QString &path, const LoadRules &rules)
{
    FileCheck check;
    check.values = ReadValues(path, check.result.refusal);
    if (!check.result.refusal.isEmpty())
        return check;
    DrvSettingsRecord settings;
    TrajectoryDataRecord trajectory;
    check.result = LoadValues(check.values, settings, trajectory, rules);
    return check;
}

QStringList KeyNames()
{
    QStringList names;
    for (const char *name : Keys)
        names << key(name);
    return names;
}

QVariantMap HeldValues(const DrvSettingsRecord &settings, const TrajectoryDataRecord &trajectory,
                       const LoadRules &rules)
{
    DrvSettingsRecord s = settings;
    TrajectoryDataRecord t = trajectory;
    QVariantMap map;
    for (const auto &value : Values(s, t))
        map.insert(value.first, value.second);
    LoadValues(map, s, t, rules);
    map.clear();
    for (const auto &value : Values(s, t))
        map.insert(value.first, value.second);
    return map;
}

void TakeHolderSettings(const TrajectoryDataRecord &from, TrajectoryDataRecord &to)
{
    to.PosLimitLower = from.PosLimitLower;
    to.PosLimitUpper = from.PosLimitUpper;
    to.SmallStep = from.SmallStep;
    to.LargeStep = from.LargeStep;
    to.RequestedSpeed = from.RequestedSpeed;
}

LoadResult LoadValues(const QVariantMap &file, DrvSettingsRecord &settings, TrajectoryDataRecord &trajectory,
                      const LoadRules &rules)
{
    LoadResult result;
    bool anyKey = false;
    for (const char *name : Keys)
        anyKey = anyKey || file.contains(key(name));
    if (!anyKey) {
        result.refusal = QStringLiteral("no settings in it");
        return result;
    }

    // Read into copies: the records change only once the whole file is read.
    DrvSettingsRecord s = settings;
    TrajectoryDataRecord t = trajectory;
    Reader r(file, result.adjustments);

    s.StepMode = r.list("DriverSettings/StepMode", -1, StepModes().size());
    s.FullScaleCurrent = r.real("DriverSettings/FullScaleCurrent", FullScaleCurrentRange(rules.developerCurrents));
    s.IdleCurrent = r.real("DriverSettings/IdleCurrent", FullScaleCurrentRange(rules.developerCurrents));
    s.TemperatureLimit = r.integer("DriverSettings/TemperatureLimit", 0, TemperatureLimitMin, TemperatureLimitMax);
    s.ReducedCurrent = r.real("DriverSettings/ReducedCurrent", ReducedCurrentRange);
    s.PredriverSpeed = r.list("DriverSettings/PredriverSpeed", -1, PredriverSpeeds().size());
    s.DecayMode = r.list("DriverSettings/DecayMode", -1, DecayModes().size());
    s.BlankingTime = r.real("DriverSettings/BlankingTime", BlankingTimeRange, snapBlanking);
    s.AdaptiveBlanking = r.list("DriverSettings/AdaptiveBlanking", 0, AdaptiveBlankingModes().size());
    s.MixedDecayTime = r.real("DriverSettings/MixedDecayTime", HalfMicroTimeRange, snapHalfMicro);
    s.FixedOffTime = r.real("DriverSettings/FixedOffTime", HalfMicroTimeRange, snapHalfMicro);
    if (s.MixedDecayTime > s.FixedOffTime) {
        r.adjusted("DriverSettings/MixedDecayTime", realText(s.MixedDecayTime, 1), realText(s.FixedOffTime, 1),
                   "at most the fixed off time");
        s.MixedDecayTime = s.FixedOffTime;
    }
    s.DriverName = r.text("DriverSettings/DriverName", DriverNameLength);
    s.PWMMode = r.boolean("DriverSettings/PWMMode", false);
    s.I2CAddress = r.integer("DriverSettings/I2CAddress", 0, I2CAddressMin, I2CAddressMax);
    if (file.contains(QStringLiteral("DriverSettings/ModbusConfig")))
        s.ModbusConfig = r.list("DriverSettings/ModbusConfig", -1, ModbusConfigs().size());
    else
        result.adjustments << QStringLiteral("Settings file value DriverSettings/ModbusConfig missing; kept %1.")
                                  .arg(listText(s.ModbusConfig));
    s.BINxButtonsMode = r.boolean("DriverSettings/BINxButtonsMode", false);
    s.AutoRunMode = r.boolean("DriverSettings/AutoRunMode", false);

    t.MaxSpeed = r.integer("TrajectorySettings/MaxSpeed", 10000, 0, MaxSpeedMax);
    t.MaxAccel = r.integer("TrajectorySettings/MaxAccel", 2000, 0, AccelMax);
    t.MaxDecel = r.integer("TrajectorySettings/MaxDecel", 2000, 0, AccelMax);
    t.EnableEndSwitch = r.boolean("TrajectorySettings/EnableEndSwitch", true);
    t.NCTypeSwitch = r.boolean("TrajectorySettings/NCTypeSwitch", true);
    t.PosLimitLower = r.integer("TrajectorySettings/PosLimitLower", 0, -PositionLimit, PositionLimit);
    t.PosLimitUpper = r.integer("TrajectorySettings/PosLimitUpper", 100000, -PositionLimit, PositionLimit);
    if (t.PosLimitLower > t.PosLimitUpper) {
        r.adjusted("TrajectorySettings/PosLimitLower", QString::number(t.PosLimitLower),
                   QString::number(t.PosLimitUpper), "at most the upper limit");
        t.PosLimitLower = t.PosLimitUpper;
    }
    t.SmallStep = r.integer("TrajectorySettings/SmallStep", 1000, 0, SmallStepMax);
    t.LargeStep = r.integer("TrajectorySettings/LargeStep", 5000, 0, LargeStepMax);
    t.BIN1Steps = r.integer("TrajectorySettings/BIN1Steps", -1000, -PositionLimit, PositionLimit);
    t.BIN2Steps = r.integer("TrajectorySettings/BIN2Steps", 1000, -PositionLimit, PositionLimit);
    t.AutoRunInvertDirection = r.boolean("TrajectorySettings/AutoRunInvertDirection", false);
    // The speed controls show a magnitude up to the maximum speed; the sign
    // follows the invert-direction flag.
    t.RequestedSpeed = r.integer("TrajectorySettings/RequestedSpeed", 10000, -t.MaxSpeed, t.MaxSpeed);

    settings = s;
    trajectory = t;
    result.loaded = true;
    return result;
}

} // namespace SettingsFile
