#pragma once

#include "config/DriverConfig.h"
#include "config/SettingsFile.h"

#include <QString>
#include <QVariantMap>

#include <vector>

// Compares settings as a board holds them. Each side says values under the
// keys of a settings file ("Group/Key"), each value the one a board would
// report after taking it: held by the controls' ranges and steps, through
// the register encoding and back (a current to its 8-bit step, a name to
// the 32 bytes the board keeps, the mode flags as the mode byte carries
// them), rounded as the controls show it. So two sides that would load to
// the same registers are equal, and what a board cannot hold is no
// difference. QtCore only: every front end compares through it.
namespace SettingsDiff {

// The values one side says, under "Group/Key".
using Side = QVariantMap;

// A settings file's values (SettingsFile::ReadValues, or a request's),
// loaded by rules (whole, or partial over base) and written to a board.
// Keys that loading leaves as the board has them are not said: a step or
// decay mode without a selection, a missing Modbus setting, an empty name,
// and with rules.partial every key not given.
// Empty with the refusal when the values are no settings.
Side fromFile(const QVariantMap &values, const SettingsFile::LoadRules &rules, QString *refusal = nullptr);
// What a board reported (the device object's records, or settings.get
// under "Group/Key"): only the keys a board keeps, so not the position
// limits, jog steps or speed-mode speed.
Side fromBoard(const DrvSettingsRecord &settings, const TrajectoryDataRecord &trajectory);
Side fromBoard(const QVariantMap &values);

// The keys a board keeps.
bool boardKeeps(const QString &key);

struct Difference
{
    QString key; // "Group/Key"
    QVariant a;
    QVariant b;
    QString unit; // SettingsFile::KeyUnit
};

// The keys both sides say whose values differ, in the order of a file.
std::vector<Difference> compare(const Side &a, const Side &b);

// A value as the text output shows it: numbers as they are, switches
// true or false, texts in double quotes with JSON escapes.
QString valueText(const QVariant &value);
// One line of text output: key, A, B and unit, separated by tabs.
QString line(const Difference &difference);

} // namespace SettingsDiff
