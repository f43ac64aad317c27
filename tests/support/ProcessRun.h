#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// A program run to its end by a test: its exit code (-1 when it did not end
// in time and was killed, -2 when it crashed) and what it wrote.
struct ProcessResult
{
    int code = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

// Waits for a started process to end, at most timeoutMs.
inline ProcessResult finishProcess(QProcess &process, int timeoutMs)
{
    ProcessResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}
