#include "ui/Pictures.h"

#include "log/Logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

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

QPixmap readPicture(const QString &path, Logger *logger)
{
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull()) {
        if (logger)
            logger->write(QStringLiteral("Picture ") + path + QStringLiteral(" could not be loaded: ") +
                          reader.errorString());
        return QPixmap();
    }
    return QPixmap::fromImage(image);
}
