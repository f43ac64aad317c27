#pragma once

#include "device/OperatorDialogs.h"

#include <QList>
#include <QString>

// Answers the operator's questions by script and keeps what was shown.
class ScriptedDialogs : public OperatorDialogs
{
public:
    struct Shown
    {
        QString kind; // "ask", "notice" or "warning"
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

    QList<bool> answers; // OK = true; when empty every ask is Cancel
    QList<Shown> shown;
};
