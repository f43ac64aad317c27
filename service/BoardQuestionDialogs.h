#pragma once

#include "device/OperatorDialogs.h"

#include <functional>

// Operator dialogs passed on to the ones given, with each question (ask:
// the firmware question when a board connects) announced while it is open,
// so that the holder can tell its service (BoardService::questionOpened).
class BoardQuestionDialogs : public OperatorDialogs
{
public:
    BoardQuestionDialogs(OperatorDialogs &inner, std::function<void(const QString &)> opened,
                         std::function<void()> closed)
        : inner(inner), opened(std::move(opened)), closed(std::move(closed))
    {}
    OperatorDialogs &wrapped() const { return inner; }

    bool ask(const QString &title, const QString &text) override
    {
        opened(title);
        const bool yes = inner.ask(title, text);
        closed();
        return yes;
    }
    void notice(const QString &title, const QString &text) override { inner.notice(title, text); }
    void warning(const QString &title, const QString &text) override { inner.warning(title, text); }
    int choose(const QString &title, const QString &text, const QStringList &choices) override
    {
        return inner.choose(title, text, choices);
    }
    QString saveFileName(const QString &caption, const QString &dir, const QString &filter) override
    {
        return inner.saveFileName(caption, dir, filter);
    }
    QString openFileName(const QString &caption, const QString &dir, const QString &filter) override
    {
        return inner.openFileName(caption, dir, filter);
    }

private:
    OperatorDialogs &inner;
    std::function<void(const QString &)> opened;
    std::function<void()> closed;
};
