#pragma once

#include "support/LinkRig.h"
#include "ui/MainWindow.h"

#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <functional>
#include <memory>

// The window on the link rig's device object, in a fresh working directory (the
// window writes log.txt there and reads its pictures from it).
struct WindowRig : LinkRig
{
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    std::unique_ptr<MainWindow> window; // logs through its own logger

    // prepare runs in the working directory before the window is built.
    explicit WindowRig(const std::function<void(const QDir &)> &prepare = {})
    {
        // The window writes log.txt where it runs: never into the tree.
        QVERIFY(dir.isValid());
        QVERIFY(QDir::setCurrent(dir.path()));
        if (prepare)
            prepare(QDir(dir.path()));
        window = std::make_unique<MainWindow>(drv, clock);
        window->show();
    }
    ~WindowRig()
    {
        window.reset();
        QDir::setCurrent(previousDir);
    }

    template <class T> T *w(const char *name) const
    {
        T *widget = window->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }

    // A label's picture, null when it has none; Qt 6 returns it by value
    // and retires the Qt 5 spelling.
    QPixmap picture(const char *label) const
    {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        return w<QLabel>(label)->pixmap(Qt::ReturnByValue);
#else
        return w<QLabel>(label)->pixmap();
#endif
    }

    // Hidden by the window itself, not merely not shown yet.
    static bool explicitlyHidden(const QWidget *widget)
    {
        return widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
    }

    // ---- Driving the device object ----
    // Finds and connects the board, then forgets what it was sent so far.
    void connectBoard()
    {
        LinkRig::connectBoard();
        board.received.clear();
    }
    // One live report as the device object announces it, from RTData as the
    // test set it.
    void announceLive()
    {
        emit drv.newRTDataAvailable();
    }
    void announceLive(int times)
    {
        for (int i = 0; i < times; ++i)
            emit drv.newRTDataAvailable();
    }
    // Receive ticks for ms milliseconds: the board's live reports (50 a
    // second) reach the window.
    void runFor(qint64 ms)
    {
        for (qint64 t = 0; t < ms; t += 10) {
            clock.advance(10);
            receiveTick();
        }
    }

    // ---- What the operator was told ----
    // The window's log, without time stamps.
    QStringList logged() const
    {
        CapturingPane lines;
        const QString text = w<QPlainTextEdit>("pteLog")->toPlainText();
        if (!text.isEmpty())
            lines.lines = text.split(QLatin1Char('\n'));
        return lines.texts();
    }
    // The titles of the dialogs of a kind ("warning", "save", ...) shown.
    QStringList shownOf(const QString &kind) const
    {
        QStringList out;
        for (const auto &shown : dialogs.shown)
            if (shown.kind == kind)
                out << shown.title;
        return out;
    }
};
