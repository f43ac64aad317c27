#pragma once

#include <QPixmap>
#include <QString>

class Logger;

// A picture the window shows, read from a path relative to the working
// directory. One that is missing or cannot be decoded gives a null pixmap and
// one log line naming it and saying why; the label stays blank.
QPixmap loadPicture(const QString &path, Logger *logger);
