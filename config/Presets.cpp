#include "config/Presets.h"

QStringList PresetList;
std::vector<TrajectoryDataRecord> PresetTrajectoryTable;

namespace Presets {

const QStringList &BuiltIns()
{
    static const QStringList lines = {
        QStringLiteral("Default configuration;3;2.2;1.0;85;0.5;1;5;1.0;0;0.5;15.0;0;0"),
        QStringLiteral("Low temp configuration;3;2.2;1.0;45;0.5;1;5;1.0;0;0.5;15.0;0;0"),
    };
    return lines;
}

QString NameOf(const QString &line)
{
    return line.section(QLatin1Char(';'), 0, 0);
}

QString FileEntryName(const QString &path)
{
    return path.section(QLatin1Char('/'), -1);
}

QString LineOf(const QString &name, const QString &settingsLine)
{
    QString safeName = name;
    safeName.replace(QLatin1Char(';'), QLatin1Char(','));
    return safeName + QLatin1Char(';') + settingsLine;
}

int Put(int index, const QString &name, const QString &settingsLine, const TrajectoryDataRecord &trajectory)
{
    const QString line = LineOf(name, settingsLine);
    if (index < 0 || index >= PresetList.size()) {
        PresetList.append(line);
        index = PresetList.size() - 1;
    } else {
        PresetList[index] = line;
    }
    PresetTrajectoryTable.resize(static_cast<size_t>(PresetList.size()));
    PresetTrajectoryTable[static_cast<size_t>(index)] = trajectory;
    return index;
}

void Remove(int index)
{
    if (index < 0 || index >= PresetList.size())
        return;
    PresetList.removeAt(index);
    if (static_cast<size_t>(index) < PresetTrajectoryTable.size())
        PresetTrajectoryTable.erase(PresetTrajectoryTable.begin() + index);
}

} // namespace Presets
