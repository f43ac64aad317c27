#include "config/SettingsDiff.h"

#include "config/DriverControls.h"
#include "config/DriverRegisterCodec.h"
#include "device/TorvanDRV.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace SettingsDiff {

namespace {

// What a board keeps of the motion settings (the other-settings reply).
const char *const BoardMotionKeys[] = {
    "TrajectorySettings/MaxSpeed",     "TrajectorySettings/MaxAccel",
    "TrajectorySettings/MaxDecel",     "TrajectorySettings/EnableEndSwitch",
    "TrajectorySettings/NCTypeSwitch", "TrajectorySettings/BIN1Steps",
    "TrajectorySettings/BIN2Steps",    "TrajectorySettings/AutoRunInvertDirection",
};

QVariantMap asMap(const DrvSettingsRecord &s, const TrajectoryDataRecord &t)
{
    QVariantMap map;
    for (const auto &value : SettingsFile::Values(s, t))
        map.insert(value.first, value.second);
    return map;
}

// The values after a board took the records and reported them back, shown
// as the controls show them.
QVariantMap held(DrvSettingsRecord s, const TrajectoryDataRecord &t)
{
    using namespace DriverRegisterCodec;
    DriverControls::DeriveRegisterCodes(s);
    DriverRegistersRecord registers;
    DrvSettings2DriverRegisters(s, registers);
    DrvSettingsRecord back = s;
    // The reply's bytes: address and Modbus setting as the write masks them,
    // the two flags from the mode byte; then the register decoding, which
    // clears the BINx flag in DC motor mode.
    back.I2CAddress = s.I2CAddress & 0xFF;
    back.ModbusConfig = s.ModbusConfig & 7;
    const unsigned char mode = ModeByte(s);
    back.BINxButtonsMode = mode == ModeBINxButtons;
    back.AutoRunMode = mode == ModeAutoRun;
    registers.TempLimitByte &= 0xFF;
    DriverRegisters2DrvSettings(registers, back);
    back.DriverName = TorvanDRV::KeptName(s.DriverName);

    TrajectoryDataRecord motion = t;
    SettingsFile::Shown(back, motion);
    return asMap(back, motion);
}

} // namespace

bool boardKeeps(const QString &key)
{
    if (key.startsWith(QLatin1String("DriverSettings/")))
        return SettingsFile::KeyNames().contains(key);
    for (const char *name : BoardMotionKeys)
        if (key == QLatin1String(name))
            return true;
    return false;
}

Side fromFile(const QVariantMap &values, const SettingsFile::LoadRules &rules, QString *refusal)
{
    DrvSettingsRecord s;
    TrajectoryDataRecord t;
    const SettingsFile::LoadResult loaded = SettingsFile::LoadValues(values, s, t, rules);
    if (!loaded.loaded) {
        if (refusal)
            *refusal = loaded.refusal;
        return Side();
    }
    Side side = held(s, t);
    if (rules.partial) {
        for (const QString &key : side.keys())
            if (!values.contains(key))
                side.remove(key);
    }
    if (s.StepMode < 0)
        side.remove(QStringLiteral("DriverSettings/StepMode"));
    if (s.DecayMode < 0)
        side.remove(QStringLiteral("DriverSettings/DecayMode"));
    if (!values.contains(QStringLiteral("DriverSettings/ModbusConfig")))
        side.remove(QStringLiteral("DriverSettings/ModbusConfig"));
    if (s.DriverName.isEmpty())
        side.remove(QStringLiteral("DriverSettings/DriverName"));
    return side;
}

Side fromBoard(const DrvSettingsRecord &settings, const TrajectoryDataRecord &trajectory)
{
    Side side;
    const QVariantMap values = held(settings, trajectory);
    for (auto it = values.begin(); it != values.end(); ++it)
        if (boardKeeps(it.key()))
            side.insert(it.key(), it.value());
    return side;
}

Side fromBoard(const QVariantMap &values)
{
    DrvSettingsRecord s;
    TrajectoryDataRecord t;
    SettingsFile::LoadRules rules;
    rules.developerCurrents = true;
    SettingsFile::LoadValues(values, s, t, rules);
    return fromBoard(s, t);
}

std::vector<Difference> compare(const Side &a, const Side &b)
{
    std::vector<Difference> differences;
    for (const QString &key : SettingsFile::KeyNames()) {
        if (!a.contains(key) || !b.contains(key))
            continue;
        const QVariant va = a.value(key);
        const QVariant vb = b.value(key);
        if (va != vb)
            differences.push_back({key, va, vb, SettingsFile::KeyUnit(key)});
    }
    return differences;
}

QString valueText(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::QString: {
        const QByteArray json = QJsonDocument(QJsonArray{value.toString()}).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(json.mid(1, json.size() - 2));
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Double:
        return QString::number(value.toDouble());
    default:
        return value.toString();
    }
}

QString line(const Difference &difference)
{
    return QStringList{difference.key, valueText(difference.a), valueText(difference.b), difference.unit}.join(
        QLatin1Char('\t'));
}

} // namespace SettingsDiff
