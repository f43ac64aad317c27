#pragma once

#include "config/DriverConfig.h"
#include "config/SettingsDiff.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QVariantMap>

// Settings as JSON: {"DriverSettings": {...}, "TrajectorySettings": {...}},
// the groups and keys of a settings file with JSON numbers, booleans and
// texts as values.
namespace SettingsJson {

// The records as a settings file written by the window holds them: loaded
// by the controls' rules first (currents to 0.1 A, times on their steps).
QJsonObject shown(const DrvSettingsRecord &settings, const TrajectoryDataRecord &trajectory);

// The values under "Group/Key" for SettingsFile::LoadValues; error says
// what is wrong with the object (an unknown group or key, a value that is
// an object or a list), and the map is empty then.
QVariantMap values(const QJsonObject &settings, QString &error);

// The values of a settings file (SettingsFile::ReadValues) as a settings
// object, as they are; keys that are no settings are left out.
QJsonObject fromFile(const QVariantMap &values);

// Differences as a list of objects: {"key": "DriverSettings/FullScaleCurrent",
// "a": 2.5, "b": 2.2, "unit": "A"}.
QJsonArray differences(const std::vector<SettingsDiff::Difference> &differences);

} // namespace SettingsJson
