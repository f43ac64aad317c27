#pragma once

#include <QPixmap>
#include <QString>

class Logger;

// Where the window finds a picture it reads at run time, given by its name
// relative to the working directory ("release/Logo.png"): there first, so
// pictures placed beside the log win, then in the data folder installed with
// the tool. A picture found in neither place keeps its relative name, so
// loading it fails as it always has and the label or icon stays empty.
QString picturePath(const QString &name);

// The installed data folder, found from the executable's own folder.
QString installedDataDir();

// Reads a picture from path. One that is missing or cannot be decoded gives
// a null pixmap and one log line naming it and saying why; the label stays
// blank.
QPixmap readPicture(const QString &path, Logger *logger);
