#pragma once

#include "device/OperatorDialogs.h"

#include <functional>

// Operator dialogs passed on to the ones given, with each question (those
// with answers to choose from: the firmware question when a board connects,
// the restore after an update, closing the window) announced while it is
// open, so that the holder can tell its service (BoardService::questionOpened).
// Notices and warnings are passed on as they are.
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
    bool choose(const QString &title, const QString &text, const QString &accept, const QString &reject) override
    {
        opened(title);
        const bool accepted = inner.choose(title, text, accept, reject);
        closed();
        return accepted;
    }
    int chooseAmong(const QString &title, const QString &text, const QStringList &choices) override
    {
        opened(title);
        const int taken = inner.chooseAmong(title, text, choices);
        closed();
        return taken;
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
