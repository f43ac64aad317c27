#pragma once

#include "ui/LineColumns.h"

#include <qcustomplot.h>

// A graph of a live chart. While it holds many points a pixel column, it is
// drawn as the columns a screen shows of it (see LineColumns), and graphs of
// the same time axis drawn one after another are put together before they
// go on the chart. What the operator sees stays the library's drawing of the
// line, to a pixel; drawing it costs about the same whatever the number of
// points and however the lines cross. Otherwise
// (few points, antialiased, selected, a fill, symbols, a dashed or wide pen,
// an export) it is drawn as any graph.
class LiveGraph : public QCPGraph
{
    Q_OBJECT
public:
    LiveGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

    // Whether the next redraw on this painter draws it as columns.
    bool drawsColumns(const QCPPainter *painter) const;

protected:
    void draw(QCPPainter *painter) override;

private:
    // The graph's next sibling on its layer when it is drawn as columns
    // right after this one, over the same time axis.
    LiveGraph *nextInColumns(const QCPPainter *painter) const;
    void fillColumns(const QRect &area, double pixelRatio);
    void paintGroup(QCPPainter *painter, const QVector<LiveGraph *> &group);

    LineColumns columns;
    QImage scratch; // working space of paintColumns, when last of a group
};
