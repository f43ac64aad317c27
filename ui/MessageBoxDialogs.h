#pragma once

#include "device/OperatorDialogs.h"

// The operator dialogs as message boxes without a parent.
class MessageBoxDialogs : public OperatorDialogs
{
public:
    bool ask(const QString &title, const QString &text) override;
    void notice(const QString &title, const QString &text) override;
    void warning(const QString &title, const QString &text) override;
};
