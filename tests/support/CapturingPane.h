#pragma once

#include "log/Logger.h"

#include <QRegularExpression>
#include <QStringList>

// A log pane that keeps the lines; texts() strips the timestamps.
class CapturingPane : public LogPane
{
public:
    void appendLine(const QString &line) override { lines.append(line); }

    QStringList texts() const
    {
        QStringList out;
        static const QRegularExpression stamp(QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2}\\. \\d{2}:\\d{2}:\\d{2} "));
        for (QString line : lines)
            out.append(line.remove(stamp));
        return out;
    }

    QStringList lines;
};
