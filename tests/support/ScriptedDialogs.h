#pragma once

#include "device/OperatorDialogs.h"

#include <QList>

#include <QString>
#include <QStringList>
#include <functional>

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
        show(QStringLiteral("ask"), title, text);
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void notice(const QString &title, const QString &text) override { show(QStringLiteral("notice"), title, text); }
    void warning(const QString &title, const QString &text) override { show(QStringLiteral("warning"), title, text); }
    // The choices are kept in text, one a line.
    int chooseAmong(const QString &title, const QString &text, const QStringList &options) override
    {
        show(QStringLiteral("choose"), title, text + QLatin1Char('\n') + options.join(QLatin1Char('\n')));
        return choices.isEmpty() ? int(options.size()) - 1 : choices.takeFirst();
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
    QList<int> choices;  // indices chooseAmong returns; when empty the last choice
    // Runs while each question, notice or warning is open, as the operator
    // takes their time (the event loop runs meanwhile).
    std::function<void(const Shown &)> whileShown;
    QStringList files; // paths the file choosers return; when empty they cancel
    QList<Shown> shown;

private:
    void show(const QString &kind, const QString &title, const QString &text)
    {
        const Shown now{kind, title, text};
        shown.append(now);
        if (whileShown)
            whileShown(now);
    }
};
