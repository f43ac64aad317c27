#pragma once

#include "device/Clock.h"

#include <QObject>
#include <QTimer>

class QWidget;

// Keeps a window from repainting more often than a screen refreshes. Widgets
// ask their window to repaint whatever changed (an update request); at a
// hundred live reports a second that would be a hundred repaints a second,
// each painting the changed widgets and everything behind them. The pacer
// lets one request through per frame interval and holds later ones until
// the interval is over, when one repaint takes in all changes since. What
// the widgets hold is written at once; only its painting waits.
class RepaintPacer : public QObject
{
    Q_OBJECT
public:
    // Paces window on clock, one repaint per intervalMs at most.
    RepaintPacer(QWidget *window, const MonotonicClock &clock, int intervalMs);

    // Numbers and curves that change with every report still move smoothly
    // to the eye at this interval, half the frame rate of a common screen;
    // repainting the window at every screen frame would double what it
    // costs for nothing an operator can read.
    static constexpr int ShortestIntervalMs = 33;
    // The interval to pace at: a frame of the primary screen, and no
    // shorter than ShortestIntervalMs.
    static int frameIntervalMs();

    // Paints widget at once, whatever the pace: for a widget that must show
    // progress while the event loop is held.
    void paintNow(QWidget *widget);

    // A repaint is being held back until the frame interval is over.
    bool holding() const { return held; }
    // The window repainted less than a frame interval ago: what changes now
    // is painted at the end of the interval.
    bool withinFrame() const;
    // Makes the end of this frame interval come with frameDue(), whether a
    // repaint is held or not.
    void awaitFrameEnd();

signals:
    // The frame interval is over and the held repaint is about to go
    // ahead: the moment to write widgets whose writing waited for it.
    void frameDue();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // The frame interval is over: the held repaint goes ahead.
    void release();

private:
    // Lets every pending layout change run to its end before a repaint.
    void settleLayouts();

    // A window deeper than this many layouts inside each other is not
    // built here; past it a layout that keeps changing is left to the
    // next frame rather than holding the repaint for good.
    static constexpr int MostLayoutPasses = 32;

    QWidget *window;
    const MonotonicClock &clock;
    int interval;
    qint64 lastRepaintMs = 0;
    bool repainted = false; // lastRepaintMs is valid
    bool held = false;
    bool releasing = false; // the next request is the held one: let it through
    bool immediate = false; // inside paintNow
    bool settling = false;  // inside settleLayouts
    int layoutRequests = 0; // handled in the current pass of settleLayouts
    QTimer timer;
};
