#pragma once

#include <QString>
#include <QStringList>

// The questions and notices the link and the firmware check put to the
// operator. The window supplies message boxes; tests answer by script.
// A title is given in English, marked QT_TRANSLATE_NOOP("OperatorDialogs",
// ...): it also names an open question to the service's clients, and the
// window's boxes translate it. Texts, choices, captions and filters are given
// as the operator is to read them (translated by whoever asks).
class OperatorDialogs
{
public:
    virtual ~OperatorDialogs() = default;
    // Information box with OK and Cancel, Cancel the default. True for OK.
    virtual bool ask(const QString &title, const QString &text) = 0;
    // A question with two answers named accept and reject (for example
    // "Restore" and "Keep"), accept the default. True for accept. Providers
    // without such a box ask with OK and Cancel.
    virtual bool choose(const QString &title, const QString &text, const QString &accept, const QString &reject)
    {
        Q_UNUSED(accept)
        Q_UNUSED(reject)
        return ask(title, text);
    }
    // Information box with one OK button.
    virtual void notice(const QString &title, const QString &text) = 0;
    // Warning box with one OK button.
    virtual void warning(const QString &title, const QString &text) = 0;
    // Question box with one button per choice; the index of the one taken.
    // The last choice is the one that changes nothing: the default, taken
    // on Escape, and what is answered where nothing can be asked.
    virtual int chooseAmong(const QString &title, const QString &text, const QStringList &choices)
    {
        Q_UNUSED(title)
        Q_UNUSED(text)
        return int(choices.size()) - 1;
    }
    // File choosers: the chosen path, or an empty text when cancelled.
    // filter as the file dialogs take it, e.g. "Setting Files (*.tvs)".
    virtual QString saveFileName(const QString &caption, const QString &dir, const QString &filter) = 0;
    virtual QString openFileName(const QString &caption, const QString &dir, const QString &filter) = 0;
};
