#include "ui/Pictures.h"

#include "app/Logger.h"

#include <QImageReader>

QPixmap loadPicture(const QString &path, Logger *logger)
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
