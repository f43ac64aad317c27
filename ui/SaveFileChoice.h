#pragma once

#include "device/OperatorDialogs.h"

#include <QFileInfo>
#include <QString>

// Asks the operator for a file to save to, through the operator dialogs (may
// be null: nothing is chosen). A name typed without a suffix gets
// defaultSuffix. Empty when cancelled.
inline QString chooseSaveFile(OperatorDialogs *dialogs, const QString &caption, const QString &filter,
                              const QString &defaultSuffix)
{
    QString path = dialogs ? dialogs->saveFileName(caption, QString(), filter) : QString();
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + defaultSuffix;
    return path;
}
