#include "ui/Pictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString installedDataDir()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QLatin1String(TORVAN_DATA_FROM_BIN));
}

QString picturePath(const QString &name)
{
    if (QFileInfo::exists(name))
        return name;
    const QString installed = installedDataDir() + QLatin1Char('/') + name;
    if (QFileInfo::exists(installed))
        return installed;
    return name;
}
