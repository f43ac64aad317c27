#pragma once

#include "config/DriverConfig.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>
#include <vector>

// Settings files: INI files (extension "tvs") in UTF-8 with the driver
// settings under "DriverSettings" and the motion settings under
// "TrajectorySettings". QtCore only, shared by every front end, so a file
// moves between them and between the Qt 5 and Qt 6 builds unchanged.
namespace SettingsFile {

// What the file choosers offer.
inline const QString DialogFilter = QStringLiteral(QT_TRANSLATE_NOOP("SettingsFile", "Torvan Setting Files (*.tvs)"));

// Writes the 30 keys in their order. Other keys an existing file holds are
// kept. False when the file could not be written.
bool Save(const QString &path, const DrvSettingsRecord &settings, const TrajectoryDataRecord &trajectory);

// Holds the records as the controls show them (currents to 0.1 A, times on
// their steps), with currents up to 15 A: what a board reported, as a file
// or a client is given it.
void Shown(DrvSettingsRecord &settings, TrajectoryDataRecord &trajectory);

// The 30 keys ("Group/Key") in the order a file holds them.
QStringList KeyNames();
// The key a name stands for: a whole "Group/Key", or a bare key name that
// only one group has (either without regard to case); empty when none.
QString FullKey(const QString &name);
// The unit of a key's value ("A", "us", "°C", "steps", "steps/s",
// "steps/s²"), empty for lists, switches and the name.
QString KeyUnit(const QString &key);
// The values Save writes, in that order.
std::vector<std::pair<QString, QVariant>> Values(const DrvSettingsRecord &settings,
                                                 const TrajectoryDataRecord &trajectory);

// Copies the settings the holder keeps for itself, which no board keeps,
// from one motion record into another: the position limits, the jog steps
// and the speed kept for the next run in speed mode.
void TakeHolderSettings(const TrajectoryDataRecord &from, TrajectoryDataRecord &to);

// How the values are held on load: as the window's controls take them.
struct LoadRules
{
    // Full-scale and idle current up to 15 A instead of 6 A (the developer
    // controls are shown).
    bool developerCurrents = false;
    // Only the keys given change; every other field keeps what the records
    // hold (a change of a few settings on a board), and a missing key is no
    // adjustment. Otherwise (a whole file) a missing key gives its load
    // default, as the window loads a file.
    bool partial = false;
    // What the adjustment texts call the values: "Settings file value
    // DriverSettings/IdleCurrent missing; ...".
    QString source = QStringLiteral("Settings file");
};

struct LoadResult
{
    // False: the file is not a settings file (unreadable, empty, binary, or
    // without any key of ours); nothing was changed.
    bool loaded = false;
    QString refusal; // why not, when not loaded
    // One text per value that was missing, did not convert or lay outside
    // what its control takes, naming the key and the value used instead.
    QStringList adjustments;
    // The keys whose value did not convert or lay outside what its control
    // takes (rounding onto a step is no such case), each with what it takes,
    // as "0.0 to 6.0 A" or "true or false".
    QMap<QString, QString> badValues;
};

// Reads the file into the records. A missing key gives its load default,
// a value that does not convert gives 0, false or empty, and every value is
// then held as its control holds it: within its range, rounded to its
// decimals, times on their register steps, the mixed decay time at most the
// fixed off time, the lower position limit at most the upper one, a list
// index outside its list as -1 (no selection). "DriverSettings/ModbusConfig"
// is applied when present; without it the record keeps its value. Fields the
// file does not carry (register codes, final position) are left alone.
LoadResult Load(const QString &path, DrvSettingsRecord &settings, TrajectoryDataRecord &trajectory,
                const LoadRules &rules = {});

// The values of a settings file under "Group/Key", as texts, before any
// rule holds them; empty with the refusal set when it is no settings file
// (unreadable, empty, too large, binary).
QVariantMap ReadValues(const QString &path, QString &refusal);

// A settings file read and held by the rules without touching any record:
// its values as ReadValues gives them, and what loading them would do (not
// loaded, with the refusal, when it is no settings file).
struct FileCheck
{
    QVariantMap values;
    LoadResult result;
};
FileCheck CheckFile(const QString &path, const LoadRules &rules = {});

// Load from values under the file's keys ("Group/Key") instead of a file,
// by the same rules; refused when none of the keys is there. With
// rules.partial only the keys given are read (a range rule between two
// values applies when either is given).
LoadResult LoadValues(const QVariantMap &values, DrvSettingsRecord &settings, TrajectoryDataRecord &trajectory,
                      const LoadRules &rules = {});

} // namespace SettingsFile
