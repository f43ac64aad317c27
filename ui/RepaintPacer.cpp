#include "ui/RepaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

RepaintPacer::RepaintPacer(QWidget *window, const MonotonicClock &clock, int intervalMs)
    : QObject(window), window(window), clock(clock), interval(intervalMs)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // never before the interval is over
    connect(&timer, &QTimer::timeout, this, &RepaintPacer::release);
    window->installEventFilter(this);
}

int RepaintPacer::frameIntervalMs()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double rate = screen ? screen->refreshRate() : 0;
    // A screen that reports no sensible rate is taken for a 60 Hz one.
    const int screenFrame = rate >= 10 && rate <= 500 ? int(std::ceil(1000.0 / rate)) : 17;
    return std::max(screenFrame, ShortestIntervalMs);
}

bool RepaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (settling && event->type() == QEvent::LayoutRequest) {
        ++layoutRequests;
        return false;
    }
    if (watched != window || event->type() != QEvent::UpdateRequest)
        return QObject::eventFilter(watched, event);
    const qint64 now = clock.nowMs();
    if (immediate)
        return false;
    if (releasing || !repainted || now - lastRepaintMs >= interval) {
        releasing = false;
        held = false;
        timer.stop();
        repainted = true;
        lastRepaintMs = now;
        settleLayouts();
        return false;
    }
    // Too soon: the changed regions stay marked and are painted together
    // when the interval is over.
    if (!held) {
        held = true;
        timer.start(int(interval - (now - lastRepaintMs)));
    }
    return true;
}

void RepaintPacer::settleLayouts()
{
    // A layout that changed asks the layout around it to follow with an
    // event of its own, one level a pass of the event loop; a tab widget
    // repaints all of itself whenever its layout is asked to follow. Left
    // to the loop, one label that changes its text would repaint the tab
    // pages in several frames to come, one level of layouts in each. Run
    // the chain to its end now, and the repaint under way takes it all in.
    settling = true;
    qApp->installEventFilter(this);
    for (int pass = 0; pass < MostLayoutPasses; ++pass) {
        layoutRequests = 0;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (layoutRequests == 0)
            break;
    }
    qApp->removeEventFilter(this);
    settling = false;
}

void RepaintPacer::paintNow(QWidget *widget)
{
    immediate = true;
    widget->repaint();
    immediate = false;
}

bool RepaintPacer::withinFrame() const
{
    return repainted && clock.nowMs() - lastRepaintMs < interval;
}

void RepaintPacer::awaitFrameEnd()
{
    if (held || !withinFrame())
        return;
    held = true;
    timer.start(int(interval - (clock.nowMs() - lastRepaintMs)));
}

void RepaintPacer::release()
{
    if (!held)
        return;
    // The interval is over by the clock the pacer runs on, not by the
    // timer's account alone.
    const qint64 left = interval - (clock.nowMs() - lastRepaintMs);
    if (left > 0) {
        timer.start(int(left));
        return;
    }
    emit frameDue();
    releasing = true;
    QCoreApplication::postEvent(window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}
