#include "service/SettingsJson.h"

#include "config/SettingsFile.h"

#include <utility>
#include <vector>

namespace SettingsJson {

namespace {

// "Group/Key" values as groups of keys.
template <typename Values> QJsonObject grouped(const Values &values)
{
    QJsonObject groups;
    for (const auto &value : values) {
        const QString group = value.first.section(QLatin1Char('/'), 0, 0);
        QJsonObject keys = groups.value(group).toObject();
        keys.insert(value.first.section(QLatin1Char('/'), 1), QJsonValue::fromVariant(value.second));
        groups.insert(group, keys);
    }
    return groups;
}

} // namespace

QJsonObject shown(const DrvSettingsRecord &settings, const TrajectoryDataRecord &trajectory)
{
    DrvSettingsRecord s = settings;
    TrajectoryDataRecord t = trajectory;
    SettingsFile::Shown(s, t); // a board that holds 8 A shows 8 A
    return grouped(SettingsFile::Values(s, t));
}

QJsonArray differences(const std::vector<SettingsDiff::Difference> &differences)
{
    QJsonArray list;
    for (const SettingsDiff::Difference &d : differences)
        list.append(QJsonObject{{QStringLiteral("key"), d.key},
                                {QStringLiteral("a"), QJsonValue::fromVariant(d.a)},
                                {QStringLiteral("b"), QJsonValue::fromVariant(d.b)},
                                {QStringLiteral("unit"), d.unit}});
    return list;
}

QJsonObject fromFile(const QVariantMap &values)
{
    const QStringList known = SettingsFile::KeyNames();
    std::vector<std::pair<QString, QVariant>> settings;
    for (auto it = values.begin(); it != values.end(); ++it)
        if (known.contains(it.key()))
            settings.emplace_back(it.key(), it.value());
    return grouped(settings);
}

QVariantMap values(const QJsonObject &settings, QString &error)
{
    const QStringList known = SettingsFile::KeyNames();
    QVariantMap map;
    for (auto group = settings.begin(); group != settings.end(); ++group) {
        if (!group.value().isObject()) {
            error = QStringLiteral("\"%1\" is no group of settings").arg(group.key());
            return {};
        }
        const QJsonObject keys = group.value().toObject();
        for (auto it = keys.begin(); it != keys.end(); ++it) {
            const QString name = group.key() + QLatin1Char('/') + it.key();
            if (!known.contains(name)) {
                error = QStringLiteral("unknown key \"%1\"").arg(name);
                return {};
            }
            if (it.value().isObject() || it.value().isArray() || it.value().isNull()) {
                error = QStringLiteral("\"%1\" must be a number, true or false, or a text").arg(name);
                return {};
            }
            map.insert(name, it.value().toVariant());
        }
    }
    return map;
}

} // namespace SettingsJson
