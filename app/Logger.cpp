#include "app/Logger.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

Logger::Logger(QObject *parent, const QString &fileName, LogPane *pane) : QObject(parent), pane(pane), timestamp(true)
{
    if (fileName.isEmpty())
        return;
    file = new QFile(fileName);
    // Only checked at start: one long run may grow the file past the limit,
    // the next start begins afresh.
    if (file->exists() && file->size() > MaxFileSizeAtStart)
        file->remove();
    // A file that cannot be opened costs the file copy of each line only.
    file->open(QIODevice::Append | QIODevice::Text);
}

Logger::~Logger()
{
    if (file) {
        file->close();
        delete file;
    }
}

void Logger::write(const QString &value)
{
    QString line = value;
    if (timestamp)
        line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd. hh:mm:ss ")) + value;
    if (file && file->isOpen()) {
        QTextStream stream(file);
        // UTF-8 whatever the locale; Qt 6 names the encoding differently.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        stream.setCodec("UTF-8");
#else
        stream.setEncoding(QStringConverter::Utf8);
#endif
        stream << line << "\n";
        stream.flush();
        file->flush();
    }
    if (pane)
        pane->appendLine(line);
}
