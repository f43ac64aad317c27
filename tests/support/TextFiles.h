#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

// Writes a file the way an editor would, for tests that change a file between
// two reads. The settings library keeps files it read in a cache that only a
// new size or modification time invalidates; a rewrite of the same size
// within one millisecond would read back stale, so every write gets a
// modification time of its own.
inline bool writeTextFile(const QString &path, const QByteArray &bytes)
{
    static int writes = 0;
    QFile file(path);
    // Flushed first: writing out later would set the time to now again.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
        return false;
    return file.setFileTime(QDateTime::currentDateTime().addSecs(-3600 - ++writes), QFileDevice::FileModificationTime);
}

inline QByteArray readTextFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
