#pragma once

#include "device/OperatorDialogs.h"

// The operator dialogs as message boxes and file dialogs without a parent.
class MessageBoxDialogs : public OperatorDialogs
{
public:
    bool ask(const QString &title, const QString &text) override;
    bool choose(const QString &title, const QString &text, const QString &accept, const QString &reject) override;
    void notice(const QString &title, const QString &text) override;
    void warning(const QString &title, const QString &text) override;
    int chooseAmong(const QString &title, const QString &text, const QStringList &choices) override;
    QString saveFileName(const QString &caption, const QString &dir, const QString &filter) override;
    QString openFileName(const QString &caption, const QString &dir, const QString &filter) override;
};
