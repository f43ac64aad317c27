#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QVector>
#include <QtNumeric>

#include <algorithm>
#include <cmath>
#include <vector>

class QPainter;

// A line of many points a pixel column, drawn the way a screen shows it: in
// each pixel column, one stroke from the highest to the lowest row the line
// passes through there. A chart with hours of data on its time axis draws
// its lines as such columns; drawn as strokes, every column costs a stroke
// of pixels a line high each, per graph; kept as the rows each column spans,
// all the graphs of a chart are put together row by row, each pixel once.
class LineColumns
{
public:
    // A line over an area of width by height pixels; coordinates are pixels
    // from its top left corner.
    void reset(int width, int height);

    // Adds a line through count points, in order along it: a segment from
    // each point to the next. pointAt(i, &x, &y) gives point i; a point
    // whose y is not a number breaks the line there. Points off the area
    // are fine: only what lies over it is kept.
    template <class PointAt> void addLine(int count, PointAt pointAt);

    int width() const { return columnCount; }
    int height() const { return rows; }
    // The rows column x spans, top to bottom, both inside the area; false
    // if the line does not pass over the column.
    bool span(int x, int *first, int *last) const;

private:
    friend void paintColumns(QPainter &painter, const QPoint &origin, QImage &scratch,
                             const QVector<const LineColumns *> &lines, const QVector<QRgb> &colors);

    // Column of x: -1 left of the area, width() right of it.
    int columnOf(double x) const;
    void nextPoint(double x, double y);
    void endLine();
    void startRun(int column, double y);
    void commitRun();
    // Adds rows y0 to y1 (y0 <= y1) to a column on the area.
    void cover(int column, double y0, double y1);
    // floor(v) for v well within the range of int, without a library call.
    static int floorToInt(double v);
    void crossTo(double x, double y);

    // Per column, and beyond to a whole number of blocks of columns (see
    // paintColumns); top > bottom: nothing there.
    std::vector<int> top, bottom;
    int columnCount = 0, rows = 0;
    bool hasPoint = false;
    double lastX = 0, lastY = 0;
    // The column the last point lies in (its left and right edge; not a
    // number off the area), and the rows the line covers of it so far; a
    // line's first point is not drawn until a segment leaves it.
    int runColumn = -1;
    double runLeft = qQNaN(), runRight = qQNaN();
    double runLow = 0, runHigh = 0;
    bool runDrawn = false;
};

template <class PointAt> void LineColumns::addLine(int count, PointAt pointAt)
{
    hasPoint = false;
    startRun(-1, 0);
    // The run of the column the last point lies in, kept at hand: most
    // points of a dense line lie in the column of the point before.
    double low = runLow, high = runHigh, left = runLeft, right = runRight;
    int column = runColumn;
    bool drawn = runDrawn;
    double x = 0, y = 0;
    for (int i = 0; i < count; ++i) {
        const double previousX = x, previousY = y;
        pointAt(i, &x, &y);
        if (drawn && std::isfinite(y)) {
            if (x >= left && x < right) {
                low = std::min(low, y);
                high = std::max(high, y);
                continue;
            }
            // Into the next column on the right, over the edge between them.
            if (x >= right && x < right + 1 && right < double(columnCount)) {
                const double middle = previousY + (y - previousY) * ((right - previousX) / (x - previousX));
                cover(column, std::min(low, middle), std::max(high, middle));
                ++column;
                left = right;
                right += 1;
                low = std::min(y, middle);
                high = std::max(y, middle);
                continue;
            }
        }
        runColumn = column;
        runLeft = left;
        runRight = right;
        runLow = low;
        runHigh = high;
        runDrawn = drawn;
        lastX = previousX;
        lastY = previousY;
        nextPoint(x, y);
        column = runColumn;
        low = runLow;
        high = runHigh;
        left = runLeft;
        right = runRight;
        drawn = runDrawn;
    }
    runColumn = column;
    runLeft = left;
    runRight = right;
    runLow = low;
    runHigh = high;
    runDrawn = drawn;
    endLine();
}

inline int LineColumns::floorToInt(double v)
{
    const int i = int(v);
    return i - (double(i) > v ? 1 : 0);
}

inline void LineColumns::cover(int column, double y0, double y1)
{
    // A point at y lies on the row below it, as an aliased stroke puts it.
    if (y1 < 0 || y0 >= rows)
        return;
    const int first = floorToInt(std::max(y0, 0.0)), last = std::min(rows - 1, floorToInt(std::min(y1, double(rows))));
    top[size_t(column)] = std::min(top[size_t(column)], first);
    bottom[size_t(column)] = std::max(bottom[size_t(column)], last);
}

// Paints the lines with painter, one over the other in the order given (the
// last on top), colors opaque, the area's top left corner at origin; the
// painter's coordinates are pixels of the device. scratch is working space,
// kept between calls.
void paintColumns(QPainter &painter, const QPoint &origin, QImage &scratch, const QVector<const LineColumns *> &lines,
                  const QVector<QRgb> &colors);
