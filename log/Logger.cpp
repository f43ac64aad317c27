#include "log/Logger.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

Logger::Logger(QObject *parent, const QString &fileName, LogPane *pane) : QObject(parent), pane(pane), timestamp(true)
{
    if (fileName.isEmpty())
        return;
    file = new QFile(fileName);
    if (file->exists() && file->size() > MaxFileSizeAtStart)
        file->remove();
    // A file that cannot be opened costs the file copy of each line; the
    // operator is told once, the pane still shows every line.
    if (!file->open(QIODevice::Append | QIODevice::Text))
        tellFileProblem();
}

Logger::~Logger()
{
    if (file) {
        file->close();
        delete file;
    }
}

QString Logger::stamped(const QString &value) const
{
    if (!timestamp)
        return value;
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd. hh:mm:ss ")) + value;
}

bool Logger::writeToFile(const QString &line)
{
    // A tool that runs for days must not fill the disk: past the limit the
    // file begins afresh, as it would at the next start.
    if (file->isOpen() && file->size() > MaxFileSizeAtStart) {
        file->close();
        file->remove();
    }
    // A file closed after a failed write is tried again with each line, so
    // the log resumes once space is freed.
    if (!file->isOpen() && !file->open(QIODevice::Append | QIODevice::Text))
        return false;
    QTextStream stream(file);
    // UTF-8 whatever the locale; Qt 6 names the encoding differently.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    stream.setCodec("UTF-8");
#else
    stream.setEncoding(QStringConverter::Utf8);
#endif
    stream << line << "\n";
    stream.flush();
    if (stream.status() == QTextStream::Ok && file->flush() && file->error() == QFileDevice::NoError)
        return true;
    // Closing drops what could not be written, so nothing piles up in memory.
    file->close();
    return false;
}

void Logger::write(const QString &value)
{
    const QString line = stamped(value);
    if (file && !writeToFile(line))
        tellFileProblem();
    if (pane)
        pane->appendLine(line);
}

void Logger::tellFileProblem()
{
    if (fileProblemTold)
        return;
    fileProblemTold = true;
    const QString text = QStringLiteral("Log file ") + file->fileName() + QStringLiteral(" cannot be written (") +
                         file->errorString() + QStringLiteral("); lines are shown here only.");
    QTextStream(stderr) << text << "\n";
    if (pane)
        pane->appendLine(stamped(text));
}
