#include "log/UserFolder.h"

#include <QDir>

QString userFolder(const QString &xdgStateHome, const QString &home)
{
    // A relative XDG_STATE_HOME is invalid and must be ignored.
    QString base;
    if (QDir::isAbsolutePath(xdgStateHome))
        base = xdgStateHome;
    else if (QDir::isAbsolutePath(home))
        base = home + QLatin1String("/.local/state");
    else
        return QString();
    return QDir::cleanPath(base + QLatin1String("/torvan60"));
}

QString userFolder()
{
    return userFolder(qEnvironmentVariable("XDG_STATE_HOME"), qEnvironmentVariable("HOME"));
}
