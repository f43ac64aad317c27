#pragma once

#include "device/OperatorDialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

// Answers the operator's questions by script and keeps what was shown.
class ScriptedDialogs : public OperatorDialogs
{
public:
    struct Shown
    {
        QString kind; // "ask", "notice", "warning", "save" or "open"
        QString title;
        QString text;
    };

    bool ask(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("ask"), title, text});
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void notice(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("notice"), title, text});
    }
    void warning(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("warning"), title, text});
    }

    // File choosers: title is the caption, text the filter.
    QString saveFileName(const QString &caption, const QString &, const QString &filter) override
    {
        shown.append({QStringLiteral("save"), caption, filter});
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString openFileName(const QString &caption, const QString &, const QString &filter) override
    {
        shown.append({QStringLiteral("open"), caption, filter});
        return files.isEmpty() ? QString() : files.takeFirst();
    }

    QList<bool> answers; // OK = true; when empty every ask is Cancel
    QStringList files;   // paths the file choosers return; when empty they cancel
    QList<Shown> shown;
};
