#include "config/SettingsFile.h"

#include "config/DriverControls.h"

#include <QFile>
#include <QSettings>
#include <QVariant>

#include <cmath>
#include <cstdlib>
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

// The unit of each key's value.
struct KeyUnitEntry
{
    const char *key;
    const char *unit;
};
const KeyUnitEntry Units[] = {
    {"DriverSettings/FullScaleCurrent", "A"},
    {"DriverSettings/IdleCurrent", "A"},
    {"DriverSettings/ReducedCurrent", "A"},
    {"DriverSettings/TemperatureLimit", "\u00B0C"},
    {"DriverSettings/BlankingTime", "us"},
    {"DriverSettings/MixedDecayTime", "us"},
    {"DriverSettings/FixedOffTime", "us"},
    {"TrajectorySettings/MaxSpeed", "steps/s"},
    {"TrajectorySettings/MaxAccel", "steps/s\u00B2"},
    {"TrajectorySettings/MaxDecel", "steps/s\u00B2"},
    {"TrajectorySettings/PosLimitLower", "steps"},
    {"TrajectorySettings/PosLimitUpper", "steps"},
    {"TrajectorySettings/SmallStep", "steps"},
    {"TrajectorySettings/LargeStep", "steps"},
    {"TrajectorySettings/BIN1Steps", "steps"},
    {"TrajectorySettings/BIN2Steps", "steps"},
    {"TrajectorySettings/RequestedSpeed", "steps/s"},
};

// What a value of that range takes, with the key's unit: "0.0 to 6.0 A".
QString rangeText(const char *name, const QString &lo, const QString &hi)
{
    const QString unit = KeyUnit(key(name));
    return lo + QStringLiteral(" to ") + hi + (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
}

// Reads values one key at a time and notes every value it had to replace.
// A key that is not there gives the fallback; with partial that is what the
// record holds, and its absence is no adjustment.
class Reader
{
public:
    Reader(const QVariantMap &file, const LoadRules &rules, LoadResult &result)
        : file(file), partial(rules.partial), source(rules.source), notes(result.adjustments), bad(result.badValues)
    {}

    bool has(const char *name) const { return file.contains(key(name)); }

    // The fallback of a missing key: the load default of a whole file, the
    // record's value when only some keys change.
    template <class T> T fallback(T loadDefault, T current) const { return partial ? current : loadDefault; }

    int32_t integer(const char *name, int32_t fallback, int32_t lo, int32_t hi)
    {
        return readInteger(
            name, fallback, [lo, hi](int32_t v) { return qBound(lo, v, hi); },
            [](int32_t v) { return QString::number(v); }, rangeText(name, QString::number(lo), QString::number(hi)));
    }

    // A list index as the list shows it: outside the list, no selection.
    int32_t list(const char *name, int32_t fallback, int count)
    {
        return readInteger(
            name, fallback, [count](int32_t v) { return ListIndex(v, count); }, listText,
            rangeText(name, QStringLiteral("0"), QString::number(count - 1)));
    }

    // A real value held by a control of that range; snap, when given, moves
    // it onto its register step.
    double real(const char *name, double fallback, const RealRange &range, double (*snap)(double) = nullptr)
    {
        auto hold = [&range, snap](double v) {
            const double held = ClampReal(v, range);
            return snap ? ClampReal(snap(held), range) : held;
        };
        bool present = false;
        const QString raw = rawText(name, present);
        if (!present) {
            const double value = partial ? fallback : hold(fallback);
            missing(name, realText(value, range.decimals));
            return value;
        }
        bool ok = false;
        const double read = raw.trimmed().toDouble(&ok);
        const bool inRange = ok && read >= range.minimum && read <= range.maximum;
        const double value = hold(ok ? read : 0.0);
        note(name, raw, ok && std::abs(value - read) < 1e-9, realText(value, range.decimals),
             inRange
                 ? QString()
                 : rangeText(name, realText(range.minimum, range.decimals), realText(range.maximum, range.decimals)));
        return value;
    }

    bool boolean(const char *name, bool fallback)
    {
        bool present = false;
        const QString raw = rawText(name, present);
        if (!present) {
            missing(name, boolText(fallback));
            return fallback;
        }
        const QString word = raw.trimmed().toLower();
        const bool ok = word == QLatin1String("true") || word == QLatin1String("false") || word == QLatin1String("1") ||
                        word == QLatin1String("0");
        const bool value = ok && (word == QLatin1String("true") || word == QLatin1String("1"));
        note(name, raw, ok, boolText(value), ok ? QString() : QStringLiteral("true or false"));
        return value;
    }

    QString text(const char *name, const QString &fallback, int maxLength)
    {
        bool present = false;
        const QString raw = rawText(name, present);
        if (!present) {
            missing(name, QLatin1Char('"') + fallback + QLatin1Char('"'));
            return fallback;
        }
        const QString value = raw.left(maxLength);
        note(name, raw, value == raw, QLatin1Char('"') + value + QLatin1Char('"'),
             value == raw ? QString() : QStringLiteral("a text of at most %1 characters").arg(maxLength));
        return value;
    }

    // A value adjusted after reading, by a rule between two values.
    void adjusted(const char *name, const QString &from, const QString &to, const char *why)
    {
        notes << QStringLiteral("%1 value %2=%3 adjusted to %4 (%5).")
                     .arg(source, key(name), from, to, QLatin1String(why));
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
    template <class Hold, class Text>
    int32_t readInteger(const char *name, int32_t fallback, Hold hold, Text text, const QString &range)
    {
        bool present = false;
        const QString raw = rawText(name, present);
        if (!present) {
            const int32_t value = partial ? fallback : hold(fallback);
            missing(name, text(value));
            return value;
        }
        bool ok = false;
        const int32_t read = raw.trimmed().toInt(&ok, 10);
        const int32_t value = hold(ok ? read : 0);
        note(name, raw, ok && value == read, text(value), ok && value == read ? QString() : range);
        return value;
    }

    void missing(const char *name, const QString &used)
    {
        if (!partial)
            notes << QStringLiteral("%1 value %2 missing; using %3.").arg(source, key(name), used);
    }

    // takes: what the key takes, when the value lay outside it.
    void note(const char *name, const QString &raw, bool unchanged, const QString &used, const QString &takes)
    {
        if (!unchanged)
            notes << QStringLiteral("%1 value %2=%3 adjusted to %4.").arg(source, key(name), raw, used);
        if (!takes.isEmpty())
            bad.insert(key(name), takes);
    }

    const QVariantMap &file;
    const bool partial;
    const QString source;
    QStringList &notes;
    QMap<QString, QString> &bad;
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
    Reader r(file, rules, result);

    s.StepMode = r.list("DriverSettings/StepMode", r.fallback(-1, s.StepMode), StepModes().size());
    s.FullScaleCurrent = r.real("DriverSettings/FullScaleCurrent", r.fallback(0.0, s.FullScaleCurrent),
                                FullScaleCurrentRange(rules.developerCurrents));
    s.IdleCurrent = r.real("DriverSettings/IdleCurrent", r.fallback(0.0, s.IdleCurrent),
                           FullScaleCurrentRange(rules.developerCurrents));
    s.TemperatureLimit = r.integer("DriverSettings/TemperatureLimit", r.fallback(0, s.TemperatureLimit),
                                   TemperatureLimitMin, TemperatureLimitMax);
    s.ReducedCurrent = r.real("DriverSettings/ReducedCurrent", r.fallback(0.0, s.ReducedCurrent), ReducedCurrentRange);
    s.PredriverSpeed =
        r.list("DriverSettings/PredriverSpeed", r.fallback(-1, s.PredriverSpeed), PredriverSpeeds().size());
    s.DecayMode = r.list("DriverSettings/DecayMode", r.fallback(-1, s.DecayMode), DecayModes().size());
    s.BlankingTime =
        r.real("DriverSettings/BlankingTime", r.fallback(0.0, s.BlankingTime), BlankingTimeRange, snapBlanking);
    s.AdaptiveBlanking =
        r.list("DriverSettings/AdaptiveBlanking", r.fallback(0, s.AdaptiveBlanking), AdaptiveBlankingModes().size());
    s.MixedDecayTime =
        r.real("DriverSettings/MixedDecayTime", r.fallback(0.0, s.MixedDecayTime), HalfMicroTimeRange, snapHalfMicro);
    s.FixedOffTime =
        r.real("DriverSettings/FixedOffTime", r.fallback(0.0, s.FixedOffTime), HalfMicroTimeRange, snapHalfMicro);
    // As the sliders do: a lower fixed off time drags the mixed decay time
    // down, a higher mixed decay time pushes the fixed off time up.
    if (s.MixedDecayTime > s.FixedOffTime) {
        if (rules.partial && r.has("DriverSettings/MixedDecayTime") && !r.has("DriverSettings/FixedOffTime")) {
            r.adjusted("DriverSettings/FixedOffTime", realText(s.FixedOffTime, 1), realText(s.MixedDecayTime, 1),
                       "at least the mixed decay time");
            s.FixedOffTime = s.MixedDecayTime;
        } else if (!rules.partial || r.has("DriverSettings/MixedDecayTime") || r.has("DriverSettings/FixedOffTime")) {
            r.adjusted("DriverSettings/MixedDecayTime", realText(s.MixedDecayTime, 1), realText(s.FixedOffTime, 1),
                       "at most the fixed off time");
            s.MixedDecayTime = s.FixedOffTime;
        }
    }
    s.DriverName = r.text("DriverSettings/DriverName", r.fallback(QString(), s.DriverName), DriverNameLength);
    s.PWMMode = r.boolean("DriverSettings/PWMMode", r.fallback(false, s.PWMMode));
    s.I2CAddress = r.integer("DriverSettings/I2CAddress", r.fallback(0, s.I2CAddress), I2CAddressMin, I2CAddressMax);
    if (r.has("DriverSettings/ModbusConfig"))
        s.ModbusConfig = r.list("DriverSettings/ModbusConfig", -1, ModbusConfigs().size());
    else if (!rules.partial)
        result.adjustments << QStringLiteral("%1 value DriverSettings/ModbusConfig missing; kept %2.")
                                  .arg(rules.source, listText(s.ModbusConfig));
    s.BINxButtonsMode = r.boolean("DriverSettings/BINxButtonsMode", r.fallback(false, s.BINxButtonsMode));
    s.AutoRunMode = r.boolean("DriverSettings/AutoRunMode", r.fallback(false, s.AutoRunMode));

    t.MaxSpeed = r.integer("TrajectorySettings/MaxSpeed", r.fallback(10000, t.MaxSpeed), 0, MaxSpeedMax);
    t.MaxAccel = r.integer("TrajectorySettings/MaxAccel", r.fallback(2000, t.MaxAccel), 0, AccelMax);
    t.MaxDecel = r.integer("TrajectorySettings/MaxDecel", r.fallback(2000, t.MaxDecel), 0, AccelMax);
    t.EnableEndSwitch = r.boolean("TrajectorySettings/EnableEndSwitch", r.fallback(true, t.EnableEndSwitch));
    t.NCTypeSwitch = r.boolean("TrajectorySettings/NCTypeSwitch", r.fallback(true, t.NCTypeSwitch));
    t.PosLimitLower =
        r.integer("TrajectorySettings/PosLimitLower", r.fallback(0, t.PosLimitLower), -PositionLimit, PositionLimit);
    t.PosLimitUpper = r.integer("TrajectorySettings/PosLimitUpper", r.fallback(100000, t.PosLimitUpper), -PositionLimit,
                                PositionLimit);
    if (t.PosLimitLower > t.PosLimitUpper &&
        (!rules.partial || r.has("TrajectorySettings/PosLimitLower") || r.has("TrajectorySettings/PosLimitUpper"))) {
        r.adjusted("TrajectorySettings/PosLimitLower", QString::number(t.PosLimitLower),
                   QString::number(t.PosLimitUpper), "at most the upper limit");
        t.PosLimitLower = t.PosLimitUpper;
    }
    t.SmallStep = r.integer("TrajectorySettings/SmallStep", r.fallback(1000, t.SmallStep), 0, SmallStepMax);
    t.LargeStep = r.integer("TrajectorySettings/LargeStep", r.fallback(5000, t.LargeStep), 0, LargeStepMax);
    t.BIN1Steps =
        r.integer("TrajectorySettings/BIN1Steps", r.fallback(-1000, t.BIN1Steps), -PositionLimit, PositionLimit);
    t.BIN2Steps =
        r.integer("TrajectorySettings/BIN2Steps", r.fallback(1000, t.BIN2Steps), -PositionLimit, PositionLimit);
    t.AutoRunInvertDirection =
        r.boolean("TrajectorySettings/AutoRunInvertDirection", r.fallback(false, t.AutoRunInvertDirection));
    // The speed controls show a magnitude up to the maximum speed; the sign
    // follows the invert-direction flag.
    if (!rules.partial || r.has("TrajectorySettings/RequestedSpeed"))
        t.RequestedSpeed = r.integer("TrajectorySettings/RequestedSpeed", 10000, -t.MaxSpeed, t.MaxSpeed);
    else if (std::abs(int64_t(t.RequestedSpeed)) > t.MaxSpeed) {
        const int32_t held = qBound(-t.MaxSpeed, t.RequestedSpeed, t.MaxSpeed);
        r.adjusted("TrajectorySettings/RequestedSpeed", QString::number(t.RequestedSpeed), QString::number(held),
                   "within the maximum speed");
        t.RequestedSpeed = held;
    }

    settings = s;
    trajectory = t;
    result.loaded = true;
    return result;
}

void Shown(DrvSettingsRecord &settings, TrajectoryDataRecord &trajectory)
{
    QVariantMap values;
    for (const auto &value : Values(settings, trajectory))
        values.insert(value.first, value.second);
    LoadRules rules;
    rules.developerCurrents = true;
    LoadValues(values, settings, trajectory, rules);
}

QString FullKey(const QString &name)
{
    QString found;
    for (const char *full : Keys) {
        const QString candidate = key(full);
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
        if (candidate.section(QLatin1Char('/'), 1).compare(name, Qt::CaseInsensitive) == 0) {
            if (!found.isEmpty())
                return QString(); // more than one group has it
            found = candidate;
        }
    }
    return found;
}

QString KeyUnit(const QString &name)
{
    for (const KeyUnitEntry &entry : Units)
        if (name == QLatin1String(entry.key))
            return QString::fromUtf8(entry.unit);
    return QString();
}

} // namespace SettingsFile
