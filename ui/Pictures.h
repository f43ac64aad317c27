#pragma once

#include <QString>

// Where the window finds a picture it reads at run time, given by its name
// relative to the working directory ("release/Logo.png"): there first, so
// pictures placed beside the log win, then in the data folder installed with
// the tool. A picture found in neither place keeps its relative name, so
// loading it fails as it always has and the label or icon stays empty.
QString picturePath(const QString &name);

// The installed data folder, found from the executable's own folder.
QString installedDataDir();
