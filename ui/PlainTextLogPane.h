#pragma once

#include "app/Logger.h"

#include <QPlainTextEdit>
#include <QPointer>

// The window's log pane as the logger's pane.
class PlainTextLogPane : public LogPane
{
public:
    explicit PlainTextLogPane(QPlainTextEdit *edit) : edit(edit) {}
    void appendLine(const QString &line) override
    {
        if (edit)
            edit->appendPlainText(line);
    }

private:
    QPointer<QPlainTextEdit> edit;
};
