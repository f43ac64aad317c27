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
// its lines as such columns: drawn as strokes, every column costs strokes a
// line high, per graph; kept as the rows each column spans, all the graphs
// of a chart are put together first (paintColumns), the inside of a band
// filled as one rectangle.
class LineColumns
{
public:
    // A line over an area of width by height pixels; coordinates are pixels
    // from its top left corner.
    void reset(int width, int height);

    // Pixels of the area from the coordinates of a chart's data: x = x0 +
    // xScale * key, y = y0 + yScale * value.
    struct Mapping
    {
        double x0 = 0, xScale = 1, y0 = 0, yScale = 1;
        // The keys never go down from one point to the next (a graph's
        // data): the points of a column are then found by a search.
        bool keysAscend = false;
    };

    // Adds a line through count points, in order along it: a segment from
    // each point to the next. pointAt(i, &key, &value) gives point i, put
    // on the area by mapping; a point whose value is not a number breaks
    // the line there. Points off the area are fine: only what lies over it
    // is kept.
    template <class PointAt> void addLine(int count, PointAt pointAt, const Mapping &mapping = Mapping());

    int width() const { return columnCount; }
    int height() const { return rows; }
    // The rows column x spans, top to bottom, both inside the area; false
    // if the line does not pass over the column.
    bool span(int x, int *first, int *last) const;

private:
    friend void paintColumns(QPainter &painter, const QPoint &origin, QImage &scratch,
                             const QVector<const LineColumns *> &lines, const QVector<QRgb> &colors);

    // Points looked at a time for the end of a column's points: a column
    // of a dense line holds a few, and two at a time leaves the fewest
    // branches to guess.
    static constexpr int SearchWindow = 2;
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

template <class PointAt> void LineColumns::addLine(int count, PointAt pointAt, const Mapping &mapping)
{
    hasPoint = false;
    startRun(-1, 0);
    // Most points of a dense line lie in the column of the point before, or
    // in the next one: the run of the column the last point lies in is kept
    // at hand, in the data's own coordinates, so that such a point costs a
    // comparison of its key and of its value. The rest, and lines drawn
    // right to left, go through nextPoint.
    const bool rightwards = mapping.xScale > 0 && std::isfinite(mapping.xScale) && mapping.yScale != 0;
    const bool byColumn = rightwards && mapping.keysAscend;
    const double keysPerPixel = 1 / mapping.xScale;
    const auto keyAt = [&mapping, keysPerPixel](double x) { return (x - mapping.x0) * keysPerPixel; };
    const auto yOf = [&mapping](double value) { return mapping.y0 + mapping.yScale * value; };
    int column = -1;
    double left = qQNaN(), right = qQNaN(); // keys of the column's edges
    double low = 0, high = 0;               // values of the points in the column
    double entry = 0;                       // where the line came in over the left edge
    // The rows of the run, handed over to the long way in pixels.
    const auto handOver = [&] {
        runColumn = column;
        runLeft = double(column);
        runRight = double(column) + 1;
        const double a = yOf(std::min(low, entry)), b = yOf(std::max(high, entry));
        runLow = std::min(a, b);
        runHigh = std::max(a, b);
        runDrawn = true;
    };
    double key = 0, value = 0;
    for (int i = 0; i < count; ++i) {
        {
            // The run kept in locals, so that no call in the loop makes them
            // live across it: in registers, not in memory.
            int c = column;
            double l = left, r = right, lo = low, hi = high, in = entry, k = key, v = value;
            // With ascending keys, a column at a time: the first point past
            // its right edge is searched for without a branch, then its
            // points are taken without a comparison of their keys. What
            // this does not take (a value that is not a number, a segment
            // over more than one column, the last column) goes on point by
            // point below.
            while (byColumn && c >= 0 && c + 1 < columnCount && i < count) {
                const auto keyOf = [&pointAt](int at) {
                    double searchedKey = 0, searchedValue = 0;
                    pointAt(at, &searchedKey, &searchedValue);
                    return searchedKey;
                };
                int from = i, to = std::min(count, i + SearchWindow);
                while (to < count && keyOf(to - 1) < r) {
                    from = to;
                    to = std::min(count, to + SearchWindow);
                }
                int base = from;
                for (int span = to - from; span > 1;) {
                    const int half = span / 2;
                    base = keyOf(base + half) < r ? base + half : base;
                    span -= half;
                }
                const int past = base + (keyOf(base) < r ? 1 : 0);
                // Taken up only if every value is a number.
                double columnLow = lo, columnHigh = hi, atKey = k, atValue = v;
                bool finite = true;
                for (int at = i; at < past; ++at) {
                    pointAt(at, &atKey, &atValue);
                    columnLow = std::min(columnLow, atValue);
                    columnHigh = std::max(columnHigh, atValue);
                    finite = finite && std::isfinite(atValue);
                }
                if (!finite)
                    break;
                lo = columnLow, hi = columnHigh, k = atKey, v = atValue;
                i = past;
                if (i == count)
                    break;
                double nextKey = 0, nextValue = 0;
                pointAt(i, &nextKey, &nextValue);
                if (!(nextKey < r + keysPerPixel) || !std::isfinite(nextValue))
                    break;
                // As into the next column below: written out in each loop, as
                // a shared helper, even inlined, left the compiler keeping
                // the run in memory, a third slower.
                const double edge = v + (nextValue - v) * ((r - k) / (nextKey - k));
                const double a = yOf(std::min(std::min(lo, in), edge)), b = yOf(std::max(std::max(hi, in), edge));
                cover(c, std::min(a, b), std::max(a, b));
                ++c;
                l = r;
                r = r + keysPerPixel;
                lo = hi = nextValue;
                in = edge;
                k = nextKey, v = nextValue;
                ++i;
            }
            for (; i < count; ++i) {
                const double previousKey = k, previousValue = v;
                pointAt(i, &k, &v);
                if (!std::isfinite(v)) {
                    k = previousKey, v = previousValue;
                    break;
                }
                if (k >= l && k < r) {
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                    continue;
                }
                // Into the next column, over the edge between them. The
                // edge is kept apart from the points, so that working it out
                // holds up no point after it.
                if (!(k >= r && k < r + keysPerPixel && c + 1 < columnCount)) {
                    k = previousKey, v = previousValue;
                    break;
                }
                const double edge = previousValue + (v - previousValue) * ((r - previousKey) / (k - previousKey));
                const double a = yOf(std::min(std::min(lo, in), edge)), b = yOf(std::max(std::max(hi, in), edge));
                cover(c, std::min(a, b), std::max(a, b));
                ++c;
                l = r;
                r = r + keysPerPixel;
                lo = hi = v;
                in = edge;
            }
            column = c;
            left = l, right = r, low = lo, high = hi, entry = in, key = k, value = v;
        }
        if (i == count)
            break;
        // The point taken the long way.
        const double previousKey = key, previousValue = value;
        pointAt(i, &key, &value);
        if (column >= 0)
            handOver();
        lastX = mapping.x0 + mapping.xScale * previousKey;
        lastY = yOf(previousValue);
        nextPoint(mapping.x0 + mapping.xScale * key, yOf(value));
        column = -1;
        left = right = qQNaN();
        if (rightwards && runDrawn && runColumn >= 0 && runColumn < columnCount) {
            // Taken up again in the data's coordinates.
            column = runColumn;
            left = keyAt(column);
            right = keyAt(column + 1);
            low = (runLow - mapping.y0) / mapping.yScale;
            high = (runHigh - mapping.y0) / mapping.yScale;
            if (low > high)
                std::swap(low, high);
            entry = low;
        }
    }
    if (column >= 0)
        handOver();
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
// painter's coordinates are pixels of the device. On an image of 32-bit
// pixels drawn by the raster engine, the pixels are written directly;
// elsewhere (a pixmap, a printer) what is not a plain rectangle goes through
// scratch, working space kept between calls.
void paintColumns(QPainter &painter, const QPoint &origin, QImage &scratch, const QVector<const LineColumns *> &lines,
                  const QVector<QRgb> &colors);
