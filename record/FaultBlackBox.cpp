#include "record/FaultBlackBox.h"

#include "log/Logger.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString FilePrefix = QStringLiteral("fault-");
const QString FileSuffix = QStringLiteral(".csv");

} // namespace

FaultBlackBox::FaultBlackBox(const MonotonicClock &clock, const QString &folder, Logger *logger, QObject *parent)
    : QObject(parent), clock(clock), folder(folder), logger(logger)
{
    dueTimer.setInterval(500);
    connect(&dueTimer, &QTimer::timeout, this, &FaultBlackBox::service);
}

void FaultBlackBox::append(const LiveSample &sample)
{
    ring.push(sample);
    const int32_t rising = sample.rt.FaultFlags & ~lastFlags;
    lastFlags = sample.rt.FaultFlags;
    if (rising && !pending && (!anyRecord || sample.monotonicMs - faultMs >= MinSpacingMs)) {
        pending = anyRecord = true;
        faultMs = sample.monotonicMs;
        faultWall = sample.wall;
        dueTimer.start();
    }
    service();
}

void FaultBlackBox::service()
{
    if (pending && clock.nowMs() - faultMs >= TailMs)
        writeRecord();
}

void FaultBlackBox::writeRecord()
{
    pending = false;
    dueTimer.stop();

    int first = 0;
    while (first < ring.size() && ring.at(first).monotonicMs < faultMs - HistoryMs)
        ++first;

    QString error;
    const QString path = freeFileName(faultWall);
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create the folder");
    } else {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            QByteArray text = liveCsvHeader();
            CsvLine line;
            const qint64 startMs = first < ring.size() ? ring.at(first).monotonicMs : faultMs;
            for (int i = first; i < ring.size(); ++i)
                text.append(liveCsvRow(line, ring.at(i), startMs));
            file.write(text);
            if (file.commit()) {
                log(QStringLiteral("Fault record saved: ") + path);
                removeOldRecords(QFileInfo(path).fileName());
                emit recordSaved(path);
                return;
            }
        }
        error = file.errorString();
    }
    log(QStringLiteral("Fault record could not be saved: ") + path + QStringLiteral(": ") + error);
}

QString FaultBlackBox::freeFileName(const WallTime &when) const
{
    const QString stem =
        QDir(folder).filePath(FilePrefix + when.toDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString path = stem + FileSuffix;
    // The wall clock may have been set back since an earlier record.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QLatin1Char('-') + QString::number(n) + FileSuffix;
    return path;
}

void FaultBlackBox::removeOldRecords(const QString &justWritten)
{
    QDir dir(folder);
    // The time stamp in the name orders them, oldest first. The record just
    // written stays even when the wall clock was set back behind others.
    QStringList records = dir.entryList({FilePrefix + QLatin1Char('*') + FileSuffix}, QDir::Files, QDir::Name);
    records.removeOne(justWritten);
    for (int i = 0; i < records.size() - (KeptFiles - 1); ++i)
        dir.remove(records.at(i));
}

void FaultBlackBox::log(const QString &text)
{
    if (logger)
        logger->write(text);
}
