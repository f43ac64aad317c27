// A settings file of any content, loaded as the window and the command-line
// tool load one; what loaded is saved and must load again. The comparison
// reads it too: it must find the file equal to itself and to what loading
// and saving it made, and a change of only its keys must name no other key.
#include "FuzzSupport.h"

#include "config/SettingsDiff.h"
#include "config/SettingsFile.h"

#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ensureApplication();
    static QTemporaryDir dir;
    // A new name for every input: the settings library keeps what it parsed
    // per file name.
    QTemporaryFile input(dir.filePath(QStringLiteral("in-XXXXXX.tvs")));
    if (!input.open())
        return 0;
    input.write(reinterpret_cast<const char *>(data), qint64(size));
    input.close();

    DrvSettingsRecord settings;
    TrajectoryDataRecord trajectory;
    const SettingsFile::LoadResult result = SettingsFile::Load(input.fileName(), settings, trajectory);
    if (!result.loaded)
        return 0;

    QTemporaryFile output(dir.filePath(QStringLiteral("out-XXXXXX.tvs")));
    if (!output.open())
        return 0;
    output.close();
    if (!SettingsFile::Save(output.fileName(), settings, trajectory))
        return 0;
    DrvSettingsRecord again;
    TrajectoryDataRecord trajectoryAgain;
    if (!SettingsFile::Load(output.fileName(), again, trajectoryAgain).loaded)
        std::abort(); // the tool's own file must load

    QString refusal;
    const QVariantMap values = SettingsFile::ReadValues(input.fileName(), refusal);
    const SettingsDiff::Side side = SettingsDiff::fromFile(values, {}, &refusal);
    if (!refusal.isEmpty() || !SettingsDiff::compare(side, side).empty())
        std::abort(); // a file that loaded is a side, equal to itself
    const QVariantMap savedValues = SettingsFile::ReadValues(output.fileName(), refusal);
    if (!SettingsDiff::compare(side, SettingsDiff::fromFile(savedValues, {})).empty())
        std::abort(); // saving what loaded changes nothing a board would hold
    SettingsFile::LoadRules partial;
    partial.partial = true;
    const SettingsFile::LoadResult patch = SettingsFile::LoadValues(values, again, trajectoryAgain, partial);
    for (auto bad = patch.badValues.begin(); bad != patch.badValues.end(); ++bad)
        if (!values.contains(bad.key()))
            std::abort(); // only a key given can be a bad value
    for (const QString &key : SettingsDiff::fromFile(values, partial).keys())
        if (!values.contains(key))
            std::abort(); // a change of some keys says only those
    return 0;
}
