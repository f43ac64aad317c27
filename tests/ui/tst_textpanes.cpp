// The window's text panes under quick mouse gestures: a press on selected
// text followed at once by moves and a release, as a hurried hand or a test
// tool makes them.
#include "WindowRig.h"

#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QWindow>
#include <QtTest>

namespace {

// Counts the releases of the left button that reach one widget.
struct ReleaseCounter : QObject
{
    int releases = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            ++releases;
        return false;
    }
};

// Where the pointer goes after the press, from the press point on the text;
// each point in the pane's viewport.
using Path = QVector<QPoint>;

} // namespace

class TestTextPanes : public QObject
{
    Q_OBJECT

private slots:
    void aQuickDragOfSelectedTextEndsWithTheRelease_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("page");
        QTest::addColumn<Path>("moves");
        // Up and out of the pane: the first move past the drag distance
        // still inside, or already outside (where the pane scrolls by
        // itself); back in before the release; a single move out.
        const QPoint press(12, 6);
        const QVector<std::pair<const char *, Path>> paths = {
            {"first move inside", {press + QPoint(0, 15), press + QPoint(0, -40), press + QPoint(0, -80)}},
            {"first move outside", {press + QPoint(0, -25), press + QPoint(0, -80)}},
            {"out and back in", {press + QPoint(0, -25), press + QPoint(20, 4)}},
            {"one move", {press + QPoint(0, -60)}},
        };
        const QVector<std::pair<const char *, const char *>> panes = {
            {"pteFaults", "tabDriverSetup"}, {"pteFWLog", "tab_7"}, {"pteLog", "tab_5"}};
        for (const auto &[pane, page] : panes)
            for (const auto &[name, path] : paths)
                QTest::addRow("%s, %s", pane, name) << pane << page << path;
    }
    void aQuickDragOfSelectedTextEndsWithTheRelease()
    {
        QFETCH(QString, pane);
        QFETCH(QString, page);
        QFETCH(Path, moves);
        WindowRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        // Text in all three: the board's identity, its faults, the log.
        rig.connectBoard();
        rig.drv.RTData.MotorPowerOK = true;
        rig.drv.RTData.FaultFlags = 0x05;
        rig.announceLive();
        auto *pages = rig.w<QTabWidget>("tabMainTab");
        auto *leftPages = rig.w<QTabWidget>("tabWidget_2");
        if (page != QLatin1String("tab_7"))
            pages->setCurrentWidget(rig.w<QWidget>(page.toLatin1().constData()));
        QCOMPARE(leftPages->currentWidget(), rig.w<QWidget>("tab_7"));

        auto *text = rig.w<QPlainTextEdit>(pane.toLatin1().constData());
        QVERIFY(!text->toPlainText().isEmpty());
        text->selectAll();
        QWidget *viewport = text->viewport();
        ReleaseCounter counter;
        viewport->installEventFilter(&counter);

        QWindow *window = rig.window->windowHandle();
        const auto at = [&](const QPoint &inViewport) { return viewport->mapTo(rig.window.get(), inViewport); };
        QTest::mousePress(window, Qt::LeftButton, {}, at(QPoint(12, 6)));
        for (const QPoint &point : moves)
            QTest::mouseMove(window, at(point));
        QTest::mouseRelease(window, Qt::LeftButton, {}, at(moves.last()));

        // The pane saw the button go up: it holds no drag and does not
        // scroll on by itself starting new ones.
        QCOMPARE(counter.releases, 1);
        QVERIFY(!text->textCursor().hasSelection());
        // And the next click reaches the widget under it.
        QTabBar *tabs = leftPages->tabBar();
        QTest::mouseClick(window, Qt::LeftButton, {}, tabs->mapTo(rig.window.get(), tabs->tabRect(0).center()));
        QCOMPARE(leftPages->currentIndex(), 0);
    }

    void textCanStillBeSelectedByMouse()
    {
        WindowRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        rig.w<QTabWidget>("tabMainTab")->setCurrentWidget(rig.w<QWidget>("tab_5"));
        auto *log = rig.w<QPlainTextEdit>("pteLog");
        QWindow *window = rig.window->windowHandle();
        const auto at = [&](const QPoint &inViewport) { return log->viewport()->mapTo(rig.window.get(), inViewport); };
        // A drag across the start of the first line selects it.
        QTest::mousePress(window, Qt::LeftButton, {}, at(QPoint(2, 6)));
        QTest::mouseMove(window, at(QPoint(60, 6)));
        QTest::mouseRelease(window, Qt::LeftButton, {}, at(QPoint(60, 6)));
        QVERIFY(!log->textCursor().selectedText().isEmpty());
        QVERIFY(log->toPlainText().startsWith(log->textCursor().selectedText()));
    }
};

QTEST_MAIN(TestTextPanes)
#include "tst_textpanes.moc"
