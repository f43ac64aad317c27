#pragma once

#include "log/Logger.h"

#include <QPlainTextEdit>
#include <QPointer>

// The window's log pane as the logger's pane. It keeps the newest lines
// only, so that a tool running for days does not grow without limit; the
// log file keeps the rest.
class PlainTextLogPane : public LogPane
{
public:
    static constexpr int MaxLines = 5000;

    explicit PlainTextLogPane(QPlainTextEdit *edit) : edit(edit) { edit->setMaximumBlockCount(MaxLines); }
    void appendLine(const QString &line) override
    {
        if (edit)
            edit->appendPlainText(line);
    }

private:
    QPointer<QPlainTextEdit> edit;
};
