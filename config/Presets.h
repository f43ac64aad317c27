#pragma once

#include "config/DriverConfig.h"

#include <QString>
#include <QStringList>

#include <vector>

// The preset lines: an entry name, ";" and the 13 fields of the settings
// line. The preset selector shows the names in the same order.
extern QStringList PresetList;
// Row i holds the motion record of PresetList entry i. It grows with the
// list, so there is no limit to the number of entries.
extern std::vector<TrajectoryDataRecord> PresetTrajectoryTable;

namespace Presets {

// Entry names the tool files settings under itself.
inline const QString CustomSettings = QStringLiteral("Custom settings");
inline const QString DriverValues = QStringLiteral("Driver values");

// The built-in preset lines, in the order they are offered.
const QStringList &BuiltIns();

// The entry name of a preset line: its text before the first ";".
QString NameOf(const QString &line);
// The entry name of a settings file: the part of the path after the last "/".
QString FileEntryName(const QString &path);

// The preset line of an entry. A ";" in the name (a file may be named so)
// is written as "," so the fields after it keep their positions.
QString LineOf(const QString &name, const QString &settingsLine);

// Files the settings line and the motion record as entry index (replacing
// it), or as a new last entry when index is -1. Returns the entry's index.
int Put(int index, const QString &name, const QString &settingsLine, const TrajectoryDataRecord &trajectory);
// Removes entry index from the list and the table; later entries move up.
void Remove(int index);

} // namespace Presets
