// A settings file of any content, loaded as the window and the command-line
// tool load one; what loaded is saved and must load again.
#include "FuzzSupport.h"

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
    return 0;
}
