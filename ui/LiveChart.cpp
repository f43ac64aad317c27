#include "ui/LiveChart.h"

#include <qcustomplot.h>

#include <QEvent>

#include <algorithm>
#include <cmath>

namespace {

// Widens axis to hold [lower, upper] as QCPAbstractPlottable::rescaleKeyAxis
// and rescaleValueAxis do with onlyEnlarge on a linear axis, step by step, so
// the resulting range is bit for bit the same.
void enlargeAxis(QCPAxis *axis, double lower, double upper)
{
    QCPRange range(lower, upper);
    range.expand(axis->range());
    if (!QCPRange::validRange(range)) {
        const double center = (range.lower + range.upper) * 0.5;
        range.lower = center - axis->range().size() / 2.0;
        range.upper = center + axis->range().size() / 2.0;
    }
    axis->setRange(range);
}

} // namespace

LiveChart::LiveChart(QCustomPlot *plot, QObject *parent) : QObject(parent), chart(plot)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &LiveChart::replotNow);
    chart->installEventFilter(this);
}

LiveChart::Bounds &LiveChart::boundsOf(int index)
{
    if (index >= bounds.size())
        bounds.resize(index + 1);
    return bounds[index];
}

void LiveChart::addPoint(int index, double key, double value)
{
    QCPGraph *graph = chart->graph(index);
    if (!graph)
        return;
    Bounds &b = boundsOf(index);
    if (b.count != graph->dataCount())
        recomputeBounds(index);
    graph->addData(key, value);
    ++b.count;
    // The library leaves points without a value out of both ranges.
    if (std::isnan(value))
        return;
    if (!b.found) {
        b.found = true;
        b.keyLower = b.keyUpper = key;
        b.valueLower = b.valueUpper = value;
        return;
    }
    b.keyLower = std::min(b.keyLower, key);
    b.keyUpper = std::max(b.keyUpper, key);
    b.valueLower = std::min(b.valueLower, value);
    b.valueUpper = std::max(b.valueUpper, value);
}

void LiveChart::recomputeBounds(int index)
{
    // Someone changed the data without going through this chart: take the
    // bounds from the data once, the way the library does.
    QCPGraph *graph = chart->graph(index);
    Bounds &b = boundsOf(index);
    b = Bounds();
    b.count = graph->dataCount();
    bool foundKeys = false, foundValues = false;
    const QCPRange keys = graph->data()->keyRange(foundKeys);
    const QCPRange values = graph->data()->valueRange(foundValues);
    if (foundKeys && foundValues) {
        b.found = true;
        b.keyLower = keys.lower;
        b.keyUpper = keys.upper;
        b.valueLower = values.lower;
        b.valueUpper = values.upper;
    }
}

void LiveChart::enlargeAxesToGraph(int index)
{
    QCPGraph *graph = chart->graph(index);
    if (!graph || !graph->keyAxis() || !graph->valueAxis())
        return;
    Bounds &b = boundsOf(index);
    if (b.count != graph->dataCount())
        recomputeBounds(index);
    if (!b.found)
        return;
    enlargeAxis(graph->keyAxis(), b.keyLower, b.keyUpper);
    enlargeAxis(graph->valueAxis(), b.valueLower, b.valueUpper);
}

void LiveChart::clearGraph(int index)
{
    QCPGraph *graph = chart->graph(index);
    if (!graph)
        return;
    graph->data()->clear();
    boundsOf(index) = Bounds();
    graph->rescaleAxes(false);
}

void LiveChart::forEachPoint(int index, const std::function<void(double, double)> &fn) const
{
    const QCPGraph *graph = chart->graph(index);
    if (!graph)
        return;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        fn(it->key, it->value);
}

int LiveChart::pointCount(int index) const
{
    const QCPGraph *graph = chart->graph(index);
    return graph ? graph->dataCount() : 0;
}

qint64 LiveChart::memoryBytes() const
{
    qint64 bytes = 0;
    for (int i = 0; i < chart->graphCount(); ++i)
        bytes += qint64(chart->graph(i)->dataCount()) * qint64(sizeof(QCPGraphData));
    return bytes;
}

qint64 LiveChart::ceilingBytes()
{
    return 0;
}

void LiveChart::requestReplot()
{
    if (timer.isActive())
        return;
    const int drawMs = static_cast<int>(std::ceil(chart->replotTime(true)));
    timer.start(qBound(FrameIntervalMs, drawMs * DrawTimeShare, SlowestFrameIntervalMs));
}

void LiveChart::replotNow()
{
    timer.stop();
    // A chart on a page in the back is drawn when it comes to the front.
    if (!chart->isVisible()) {
        redrawWhenShown = true;
        return;
    }
    redrawWhenShown = false;
    int most = 0;
    for (int i = 0; i < chart->graphCount(); ++i)
        most = std::max(most, chart->graph(i)->dataCount());
    if (most > AntialiasedPointsLimit)
        chart->setNotAntialiasedElements(QCP::aePlottables);
    else
        chart->setNotAntialiasedElements(QCP::aeNone);
    chart->replot(QCustomPlot::rpRefreshHint);
}

bool LiveChart::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == chart && redrawWhenShown) {
        // A chart resized on its way to the screen redraws itself; one that
        // keeps its size is drawn here, before it is painted.
        if (event->type() == QEvent::Resize) {
            redrawWhenShown = false;
        } else if (event->type() == QEvent::Show) {
            redrawWhenShown = false;
            chart->replot(QCustomPlot::rpQueuedRefresh);
        }
    }
    return QObject::eventFilter(watched, event);
}
