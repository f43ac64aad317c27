#include "ui/LiveGraph.h"

#include <cmath>

namespace {

// Graphs waiting to be painted with the graph drawn after them.
struct Waiting
{
    const QCPPainter *painter = nullptr;
    QVector<LiveGraph *> graphs;
};

Waiting &waiting()
{
    static Waiting w;
    return w;
}

// The visible layerable drawn right before (step -1) or after (step 1) the
// one given on its layer, as the layer draws them.
QCPLayerable *visibleSibling(const QCPLayerable *of, int step)
{
    if (!of->layer())
        return nullptr;
    const QList<QCPLayerable *> siblings = of->layer()->children();
    for (int i = siblings.indexOf(const_cast<QCPLayerable *>(of)) + step; i >= 0 && i < siblings.size(); i += step)
        if (siblings.at(i)->realVisibility())
            return siblings.at(i);
    return nullptr;
}

} // namespace

LiveGraph::LiveGraph(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis)
{}

bool LiveGraph::drawsColumns(const QCPPainter *painter) const
{
    // On screen only: exports draw every line as it is.
    if (!painter || painter->modes() != QCPPainter::pmDefault || !painter->worldTransform().isIdentity())
        return false;
    const QCPAxis *k = keyAxis(), *v = valueAxis();
    if (!k || !v || !k->axisRect() || k->orientation() != Qt::Horizontal || v->orientation() != Qt::Vertical ||
        k->scaleType() != QCPAxis::stLinear || v->scaleType() != QCPAxis::stLinear || !(k->range().size() > 0) ||
        !(v->range().size() > 0))
        return false;
    const QPen linePen = pen();
    if (lineStyle() != lsLine || !scatterStyle().isNone() || brush().style() != Qt::NoBrush || selected() ||
        linePen.style() != Qt::SolidLine || linePen.color().alpha() != 255 || linePen.widthF() > 1)
        return false;
    // Aliased, as the library decides it for a plottable.
    const QCustomPlot *plot = parentPlot();
    if (!plot->notAntialiasedElements().testFlag(QCP::aePlottables) &&
        (plot->antialiasedElements().testFlag(QCP::aePlottables) || antialiased()))
        return false;
    // Many points a pixel column, where the library too draws the line as
    // columns of strokes.
    QCPGraphDataContainer::const_iterator begin, end;
    getVisibleDataBounds(begin, end, QCPDataRange(0, dataCount()));
    const int pixels = k->axisRect()->width();
    return pixels > 0 && end - begin >= 2 * pixels + 2;
}

LiveGraph *LiveGraph::nextInColumns(const QCPPainter *painter) const
{
    auto *next = qobject_cast<LiveGraph *>(visibleSibling(this, 1));
    return next && next->keyAxis() == keyAxis() && next->drawsColumns(painter) ? next : nullptr;
}

void LiveGraph::draw(QCPPainter *painter)
{
    if (!drawsColumns(painter)) {
        QCPGraph::draw(painter);
        return;
    }
    Waiting &w = waiting();
    if (w.painter != painter || w.graphs.isEmpty() || w.graphs.last() != visibleSibling(this, -1))
        w.graphs.clear();
    w.painter = painter;
    w.graphs << this;
    if (nextInColumns(painter))
        return; // painted with the graph after it, over the same clip
    QVector<LiveGraph *> group;
    group.swap(w.graphs);
    w.painter = nullptr;
    paintGroup(painter, group);
}

void LiveGraph::paintGroup(QCPPainter *painter, const QVector<LiveGraph *> &group)
{
    // The area the layer lets the graph draw on, in device pixels.
    const QRect clip =
        painter->hasClipping() ? painter->clipBoundingRect().toAlignedRect() : keyAxis()->axisRect()->rect();
    const double ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QRect area(int(std::floor(clip.left() * ratio)), int(std::floor(clip.top() * ratio)),
                     int(std::ceil(clip.width() * ratio)), int(std::ceil(clip.height() * ratio)));
    if (area.isEmpty())
        return;
    QVector<const LineColumns *> lines;
    QVector<QRgb> colors;
    for (LiveGraph *graph : group) {
        graph->fillColumns(area, ratio);
        lines << &graph->columns;
        colors << graph->pen().color().rgba();
    }
    // In pixels of the device, the lines drawn over what lies below.
    painter->save();
    painter->setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    painter->setAntialiasing(false);
    paintColumns(*painter, area.topLeft(), scratch, lines, colors);
    painter->restore();
}

void LiveGraph::fillColumns(const QRect &area, double ratio)
{
    columns.reset(area.width(), area.height());
    const QCPAxis *k = keyAxis(), *v = valueAxis();
    const QCPRange keys = k->range(), values = v->range();
    // Pixels from the area's corner. An aliased line puts a point on the
    // pixel it lies in, not the nearest one, and the library's drawing of
    // many points a column puts them on the column their key lies in.
    const double x0 = k->coordToPixel(keys.lower) * ratio - area.left();
    const double xScale = (k->coordToPixel(keys.upper) * ratio - area.left() - x0) / keys.size();
    const double y0 = v->coordToPixel(values.lower) * ratio - area.top();
    const double yScale = (v->coordToPixel(values.upper) * ratio - area.top() - y0) / values.size();
    LineColumns::Mapping mapping;
    mapping.x0 = x0 - xScale * keys.lower;
    mapping.xScale = xScale;
    mapping.y0 = y0 - yScale * values.lower;
    mapping.yScale = yScale;
    mapping.keysAscend = true; // the library keeps a graph's data sorted by key
    QCPGraphDataContainer::const_iterator begin, end;
    getVisibleDataBounds(begin, end, QCPDataRange(0, dataCount()));
    columns.addLine(
        int(end - begin),
        [begin](int i, double *key, double *value) {
            *key = begin[i].key;
            *value = begin[i].value; // not a number without a value
        },
        mapping);
}
