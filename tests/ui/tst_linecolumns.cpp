// Dense chart lines drawn as pixel columns: the rows a line covers in each
// column, painting several lines' columns at once, and a live graph drawn
// that way against the chart library's own drawing of the same points.
#include "ui/LineColumns.h"
#include "ui/LiveChart.h"
#include "ui/LiveGraph.h"
#include "ui/LivePlot.h"

#include <qcustomplot.h>

#include <QPainter>
#include <QPolygonF>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// What column x of a line is expected to hold: rows first to last, or
// nothing when first is negative.
struct Span
{
    int x, first, last;
};

constexpr Span none(int x)
{
    return {x, -1, -1};
}

// The columns of a line through points; keysAscend: told that x never goes
// down, as a graph's data.
LineColumns columnsOf(int width, int height, const QPolygonF &points, bool keysAscend = false)
{
    LineColumns c;
    c.reset(width, height);
    LineColumns::Mapping mapping;
    mapping.keysAscend = keysAscend;
    c.addLine(
        points.size(),
        [&points](int i, double *x, double *y) {
            *x = points[i].x();
            *y = points[i].y();
        },
        mapping);
    return c;
}

bool xAscends(const QPolygonF &points)
{
    return std::is_sorted(points.begin(), points.end(),
                          [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
}

// A dense line like a noisy signal: several points a column, spikes, a gap
// now and then, parts off the area; it starts and ends somewhere inside or
// beyond the area.
QPolygonF randomLine(std::mt19937 &random, int width, int height)
{
    std::uniform_real_distribution<double> unit(0, 1);
    QPolygonF points;
    double x = -3 + unit(random) * width * 0.4, y = unit(random) * height;
    const double end = width * (0.6 + unit(random) * 0.5);
    while (x < end) {
        const double chance = unit(random);
        if (chance < 0.01)
            points << QPointF(x, qQNaN());
        else if (chance < 0.04)
            points << QPointF(x, -0.3 * height + unit(random) * 1.6 * height); // a spike
        else
            points << QPointF(x, y += (unit(random) - 0.5) * 4);
        x += 0.05 + unit(random) * 1.2;
    }
    return points;
}

const QRgb Background = 0xff808080;
const QRgb LineColors[] = {0xffd62728, 0xff1f77b4, 0xff2ca02c};

// The image with the columns painted at origin and the painter's image as it
// should be: the topmost line covering a pixel wins, the rest keeps the
// background. Empty if they agree, else where they first differ.
QString compareWithSpans(const QImage &image, const QPoint &origin, const std::vector<LineColumns> &lines)
{
    int differing = 0;
    QString first;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QRgb expected = Background;
            for (int g = int(lines.size()) - 1; g >= 0; --g) {
                int top = 0, bottom = 0;
                if (lines[size_t(g)].span(x - origin.x(), &top, &bottom) && y - origin.y() >= top &&
                    y - origin.y() <= bottom) {
                    expected = LineColors[g];
                    break;
                }
            }
            const QRgb actual = image.pixel(x, y);
            if (actual != expected && differing++ == 0)
                first = QStringLiteral("pixel %1,%2 (column %3, row %4) is %5, expected %6")
                            .arg(x)
                            .arg(y)
                            .arg(x - origin.x())
                            .arg(y - origin.y())
                            .arg(actual, 8, 16, QLatin1Char('0'))
                            .arg(expected, 8, 16, QLatin1Char('0'));
        }
    }
    return differing ? QStringLiteral("%1 pixels differ; %2").arg(differing).arg(first) : QString();
}

// Paints the lines onto a device larger than their area, the area's corner
// off the device's, and compares: onto an image, whose pixels are written
// directly, and onto a pixmap, drawn on through the scratch image.
QString paintAndCompare(const std::vector<LineColumns> &lines, QImage &scratch)
{
    const QPoint origin(3, 5);
    const QSize size(lines[0].width() + 10, lines[0].height() + 12);
    QVector<const LineColumns *> pointers;
    QVector<QRgb> colors;
    for (size_t g = 0; g < lines.size(); ++g) {
        pointers << &lines[g];
        colors << LineColors[g];
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Background);
    QPainter painter(&image);
    paintColumns(painter, origin, scratch, pointers, colors);
    painter.end();
    const QString direct = compareWithSpans(image, origin, lines);
    if (!direct.isEmpty())
        return QStringLiteral("on an image: ") + direct;

    QPixmap pixmap(size);
    pixmap.fill(QColor::fromRgba(Background));
    painter.begin(&pixmap);
    paintColumns(painter, origin, scratch, pointers, colors);
    painter.end();
    const QString copied =
        compareWithSpans(pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), origin, lines);
    return copied.isEmpty() ? QString() : QStringLiteral("on a pixmap: ") + copied;
}

// A band over the columns from firstColumn to lastColumn: a line from row
// a to row b and back within each.
QPolygonF band(int firstColumn, int lastColumn, double a, double b)
{
    QPolygonF points;
    for (int x = firstColumn; x <= lastColumn; ++x)
        points << QPointF(x + 0.25, a) << QPointF(x + 0.75, b);
    return points;
}

QPolygonF polyline(std::initializer_list<QPointF> points)
{
    return QPolygonF(QVector<QPointF>(points));
}

QPolygonF horizontal(double fromX, double toX, double y)
{
    return QPolygonF() << QPointF(fromX, y) << QPointF(toX, y);
}

// A chart of the operator window's size class, its graphs created as the
// live charts create them, aliased as they are with many points.
struct DenseChart
{
    static constexpr double Spike = 250; // within the axis
    LivePlot plot;
    LiveChart chart{&plot};
    QVector<QPointF> spikes; // key, value

    explicit DenseChart(int graphs)
    {
        plot.resize(400, 250);
        for (int g = 0; g < graphs; ++g)
            chart.addGraph()->setPen(QPen(QColor::fromRgb(LineColors[g]), 1));
        plot.setNotAntialiasedElements(QCP::aePlottables);
        plot.xAxis->setRange(0, 600);
        plot.yAxis->setRange(-330, 330);
    }
    // Ten minutes of a noisy signal at 100 points a second, with spikes
    // both ways if spiky; from key liftFrom on, lifted by lift.
    void fill(int graph, unsigned seed, bool spiky, double liftFrom = 0, double lift = 0)
    {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> noise(-2, 2);
        for (int i = 0; i < 60000; ++i) {
            const double key = i * 0.01;
            double value = 40 * std::sin(i / 900.0) + noise(random) + (key >= liftFrom ? lift : 0);
            if (spiky && i % 6007 == 2003) {
                value += i % 2 ? Spike : -Spike;
                spikes << QPointF(key, value);
            }
            chart.addPoint(graph, key, value);
        }
    }
    // On screen and laid out, redrawn for the axis's real width.
    bool show()
    {
        plot.show();
        if (!QTest::qWaitForWindowExposed(&plot))
            return false;
        plot.replot();
        plot.replot();
        return true;
    }
    QImage shot() { return plot.grab().toImage().convertToFormat(QImage::Format_ARGB32); }
    LiveGraph *graph(int g) const { return qobject_cast<LiveGraph *>(plot.graph(g)); }
    // Whether graph g is drawn as columns by a redraw on screen: the
    // painter a layer is drawn with, onto a pixmap in the default mode.
    bool drawsColumns(int g, QCPPainter::PainterModes modes = QCPPainter::pmDefault)
    {
        QPixmap pixmap(plot.size());
        QCPPainter painter(&pixmap);
        painter.setModes(modes);
        return graph(g)->drawsColumns(&painter);
    }
};

// Whether image has a pixel of one of colors at p or a pixel from it either
// way.
bool hasNear(const QImage &image, const QPoint &p, const QVector<QRgb> &colors)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.valid(p.x() + dx, p.y() + dy) && colors.contains(image.pixel(p.x() + dx, p.y() + dy)))
                return true;
    return false;
}

// The pixels of one of colors in a, within area, that b has none of them
// near.
QVector<QPoint> unmatched(const QImage &a, const QImage &b, const QVector<QRgb> &colors, const QRect &area)
{
    QVector<QPoint> out;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (colors.contains(a.pixel(x, y)) && !hasNear(b, QPoint(x, y), colors))
                out << QPoint(x, y);
    return out;
}

QString describe(const QVector<QPoint> &points)
{
    QStringList some;
    for (int i = 0; i < std::min(8, int(points.size())); ++i)
        some << QStringLiteral("%1,%2").arg(points[i].x()).arg(points[i].y());
    return QStringLiteral("%1 pixels, e.g. %2").arg(points.size()).arg(some.join(QLatin1Char(' ')));
}

// Pixels of color in each column of area, left to right.
QVector<int> pixelsPerColumn(const QImage &image, QRgb color, const QRect &area)
{
    QVector<int> counts(area.width());
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            counts[x - area.left()] += image.pixel(x, y) == color ? 1 : 0;
    return counts;
}

} // namespace

Q_DECLARE_METATYPE(Span)

class TestLineColumns : public QObject
{
    Q_OBJECT

private slots:
    // Over an area of 40 by 20 pixels.
    void spansOfALine_data()
    {
        QTest::addColumn<QPolygonF>("points");
        QTest::addColumn<QVector<Span>>("expected");
        const double nan = qQNaN();
        using P = QPointF;

        QTest::newRow("within one column")
            << polyline({P(2.1, 3.5), P(2.5, 9.2), P(2.9, 6.0)}) << QVector<Span>{{2, 3, 9}, none(1), none(3)};
        // Over the edge between the columns at y 7.4.
        QTest::newRow("into the next column on the right")
            << polyline({P(2.5, 4.2), P(3.5, 10.6)}) << QVector<Span>{{2, 4, 7}, {3, 7, 10}, none(1), none(4)};
        QTest::newRow("into the next column on the left")
            << polyline({P(3.5, 4.2), P(2.5, 10.6)}) << QVector<Span>{{3, 4, 7}, {2, 7, 10}, none(4), none(1)};
        // Over the edge at y 6, then back over it at 13.9.
        QTest::newRow("there and back") << polyline(
                                               {P(2.2, 1.0), P(2.8, 2.0), P(3.3, 12.0), P(3.9, 11.0), P(2.5, 15.5)})
                                        << QVector<Span>{{2, 1, 15}, {3, 6, 13}};
        // A fifth of a row a column: each column holds the rows of its part.
        const QVector<Span> shallow{{0, 2, 2}, {10, 3, 4}, {12, 4, 4}, {20, 5, 6}, {30, 7, 8}, none(31)};
        QTest::newRow("long and shallow, to the right") << polyline({P(0.5, 2.0), P(30.5, 8.0)}) << shallow;
        QTest::newRow("long and shallow, to the left") << polyline({P(30.5, 8.0), P(0.5, 2.0)}) << shallow;
        QTest::newRow("long and steep") << polyline({P(1.5, 0.5), P(4.5, 18.5)})
                                        << QVector<Span>{none(0),    {1, 0, 3},   {2, 3, 9},
                                                         {3, 9, 15}, {4, 15, 18}, none(5)};
        QTest::newRow("broken by a missing value")
            << polyline({P(0.5, 5.5), P(3.5, 5.5), P(4.5, nan), P(10.5, 5.5), P(14.5, 5.5)})
            << QVector<Span>{{3, 5, 5}, none(4), none(7), none(9), {10, 5, 5}, {14, 5, 5}};
        QTest::newRow("a lone point") << polyline({P(5.5, 5.5)}) << QVector<Span>{none(5)};
        QTest::newRow("lone points between missing values")
            << polyline({P(5.5, 5.5), P(6, nan), P(12.5, 7.5), P(13.5, nan), P(20.2, 3.5), P(20.7, 9.5)})
            << QVector<Span>{none(5), none(6), none(12), none(13), {20, 3, 9}};
        // A quarter of a row a column.
        QTest::newRow("from far left") << polyline({P(-40.5, 0), P(7.5, 12)})
                                       << QVector<Span>{{0, 10, 10}, {3, 10, 11}, {6, 11, 11}, {7, 11, 12}, none(8)};
        QTest::newRow("from far right") << polyline({P(60, 0), P(30.5, 7.375)})
                                        << QVector<Span>{{39, 5, 5}, {35, 6, 6}, {30, 7, 7}, none(29)};
        QTest::newRow("from far above") << polyline(
                                               {P(2.5, -1e6), P(4.5, 10.5), P(5, nan), P(10.5, -1000), P(11.5, 10.5)})
                                        << QVector<Span>{none(2), none(3), {4, 0, 10}, none(10), {11, 0, 10}};
        QTest::newRow("into far below") << polyline({P(10.5, 5.5), P(20.5, 1e4)})
                                        << QVector<Span>{{10, 5, 19}, none(11), none(20)};
        QTest::newRow("around the area") << polyline({P(-10, -10), P(50, -5), P(60, 30), P(-20, 25), P(-1, 10)})
                                         << QVector<Span>{none(0), none(10), none(20), none(39)};
        // Row y + 0.5 at column x.
        QTest::newRow("huge coordinates across")
            << polyline({P(-1e12, -1e12 + 0.5), P(1e12, 1e12 + 0.5)})
            << QVector<Span>{{0, 0, 1}, {5, 5, 6}, {19, 19, 19}, none(20), none(39)};
        QTest::newRow("huge coordinates within and from a column")
            << polyline({P(5.2, -1e12), P(5.4, 1e12), P(5.8, 3.5), P(6, nan), P(7.5, 3.5), P(1e12, 3.5)})
            << QVector<Span>{{5, 0, 19}, none(4), none(6), {7, 3, 3}, {39, 3, 3}};
    }
    void spansOfALine()
    {
        QFETCH(QPolygonF, points);
        QFETCH(QVector<Span>, expected);
        // Point by point, and where x ascends, by search as well.
        for (const bool keysAscend : {false, true}) {
            if (keysAscend && !xAscends(points))
                continue;
            const LineColumns c = columnsOf(40, 20, points, keysAscend);
            for (const Span &e : expected) {
                int first = -1, last = -1;
                const bool covered = c.span(e.x, &first, &last);
                const QString where = QStringLiteral("%1column %2: %3..%4")
                                          .arg(keysAscend ? QStringLiteral("by search, ") : QString())
                                          .arg(e.x)
                                          .arg(first)
                                          .arg(last);
                QVERIFY2(covered == (e.first >= 0), qPrintable(where));
                if (covered) {
                    QVERIFY2(first == e.first && last == e.last, qPrintable(where));
                }
            }
            // Whatever the line, nothing is kept off the area.
            for (int x = -1; x <= 40; ++x) {
                int first = -1, last = -1;
                if (c.span(x, &first, &last))
                    QVERIFY2(x >= 0 && x < 40 && 0 <= first && first <= last && last < 20,
                             qPrintable(QStringLiteral("column %1: %2..%3").arg(x).arg(first).arg(last)));
            }
        }
    }

    // Where x ascends, the columns found by search are those found point by
    // point: dense random lines, some with keys repeated, some with keys on
    // the edges between columns.
    void searchFindsTheSameColumns()
    {
        std::mt19937 random(11);
        for (int round = 0; round < 60; ++round) {
            QPolygonF line = randomLine(random, 120, 60);
            if (round % 3 == 1)
                for (int i = 2; i < line.size(); i += 3)
                    line[i].setX(line[i - 1].x());
            if (round % 3 == 2)
                for (QPointF &p : line)
                    p.setX(std::round(p.x() * 2) / 2);
            QVERIFY(xAscends(line));
            const LineColumns byPoint = columnsOf(120, 60, line), bySearch = columnsOf(120, 60, line, true);
            for (int x = 0; x < 120; ++x) {
                int first = -1, last = -1, searchedFirst = -1, searchedLast = -1;
                const bool covered = byPoint.span(x, &first, &last),
                           searched = bySearch.span(x, &searchedFirst, &searchedLast);
                QVERIFY2(covered == searched && first == searchedFirst && last == searchedLast,
                         qPrintable(QStringLiteral("line %1, column %2: %3..%4 point by point, %5..%6 by search")
                                        .arg(round)
                                        .arg(x)
                                        .arg(covered ? first : -1)
                                        .arg(covered ? last : -1)
                                        .arg(searched ? searchedFirst : -1)
                                        .arg(searched ? searchedLast : -1)));
            }
        }
    }

    // Every pixel of the painted image as the spans say: the last line over
    // the others, the rest of the image as it was.
    void paintingMatchesTheSpans_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QVector<QPolygonF>>("lines");

        struct Random
        {
            const char *name;
            unsigned seed;
            int width, height, lines;
        };
        for (const Random &r : {Random{"random, one line", 1, 100, 60, 1}, Random{"random, two lines", 2, 200, 80, 2},
                                Random{"random, three lines, 77 wide", 3, 77, 50, 3},
                                Random{"random, three lines, wide and tall", 4, 300, 150, 3},
                                Random{"random, three lines, narrower than a block", 5, 20, 40, 3}}) {
            std::mt19937 random(r.seed);
            QVector<QPolygonF> lines;
            for (int g = 0; g < r.lines; ++g)
                lines << randomLine(random, r.width, r.height);
            QTest::newRow(r.name) << r.width << r.height << lines;
        }

        std::mt19937 random(6);
        QTest::newRow("full-height band under a line")
            << 96 << 40 << QVector<QPolygonF>{band(0, 95, -5, 45), randomLine(random, 96, 40)};
        QTest::newRow("line under a full-height band")
            << 96 << 40 << QVector<QPolygonF>{randomLine(random, 96, 40), band(0, 95, -5, 45)};
        QTest::newRow("77 wide, a band and a line")
            << 77 << 20 << QVector<QPolygonF>{band(0, 76, -1, 21), horizontal(-5, 90, 7.5)};
        // Rows alike over whole blocks, of one line, then of the other.
        QTest::newRow("bands over whole blocks, one over the other")
            << 64 << 40 << QVector<QPolygonF>{band(0, 63, 5.5, 20.5), band(0, 63, 10.5, 30.5)};
        QTest::newRow("lines ending within a block")
            << 128 << 30
            << QVector<QPolygonF>{horizontal(0.5, 45.5, 10.5), polyline({QPointF(40.5, 2), QPointF(100.5, 28)}),
                                  band(33, 37, 3, 20)};
        QTest::newRow("empty columns within blocks")
            << 64 << 30
            << QVector<QPolygonF>{polyline({QPointF(2.5, 3), QPointF(5.5, 9), QPointF(6, qQNaN()), QPointF(7.5, 4),
                                            QPointF(8, qQNaN()), QPointF(9.2, 12), QPointF(11.8, 13),
                                            QPointF(12, qQNaN()), QPointF(40.5, 0), QPointF(41.5, 29.5)}),
                                  band(20, 23, 5, 25)};
        QTest::newRow("overlapping lines of different extents")
            << 100 << 50
            << QVector<QPolygonF>{band(5, 70, 10.5, 40.5), band(20, 40, -3, 60), horizontal(0, 99.5, 25.5)};
        QTest::newRow("first and last rows")
            << 40 << 16
            << QVector<QPolygonF>{horizontal(-3, 50, 0.2), horizontal(-3, 50, 15.9),
                                  band(10, 14, -100, 100) << QPointF(20, qQNaN()) << QPointF(30.5, -3)
                                                          << QPointF(31.5, 18) << QPointF(32.5, -3)};
        QTest::newRow("one row high") << 33 << 1
                                      << QVector<QPolygonF>{horizontal(2.5, 31.5, 0.5), band(10, 20, 0.2, 0.8)};
        QTest::newRow("nothing on the area")
            << 50 << 20 << QVector<QPolygonF>{horizontal(-10, 60, -2), horizontal(-10, 60, 25)};
    }
    void paintingMatchesTheSpans()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QVector<QPolygonF>, lines);
        QVERIFY(lines.size() <= int(std::size(LineColors)));
        std::vector<LineColumns> columns;
        for (const QPolygonF &line : lines)
            columns.push_back(columnsOf(width, height, line));
        QImage scratch;
        const QString difference = paintAndCompare(columns, scratch);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // The working image outlives each painting: left over from a larger or
    // a smaller area, or of another kind, it changes nothing.
    void scratchImageIsReused()
    {
        // Large enough for all of them, but without transparency.
        QImage scratch(300, 300, QImage::Format_RGB32);
        scratch.fill(Qt::green);
        std::mt19937 random(7);
        for (const QSize size : {QSize(200, 120), QSize(40, 30), QSize(77, 140), QSize(250, 20), QSize(33, 33)}) {
            std::vector<LineColumns> columns;
            for (int g = 0; g < 3; ++g)
                columns.push_back(
                    columnsOf(size.width(), size.height(), randomLine(random, size.width(), size.height())));
            const QString difference = paintAndCompare(columns, scratch);
            QVERIFY2(difference.isEmpty(),
                     qPrintable(QStringLiteral("%1x%2: %3").arg(size.width()).arg(size.height()).arg(difference)));
        }
    }

    // A dense graph drawn as columns on screen looks like the library's
    // drawing of the same points, to a pixel, spikes included; graphs drawn
    // together keep their order.
    void denseGraphLooksLikeTheLibrarysDrawing_data()
    {
        QTest::addColumn<int>("graphs");
        QTest::newRow("one graph") << 1;
        // The second is the first until halfway, then lifted off it.
        QTest::newRow("two graphs, partly one over the other") << 2;
    }
    void denseGraphLooksLikeTheLibrarysDrawing()
    {
        QFETCH(int, graphs);
        const double split = 300;
        DenseChart live(graphs);
        for (int g = 0; g < graphs; ++g)
            live.fill(g, 11, true, split, g ? 25 : 0);
        QVERIFY(live.show());
        for (int g = 0; g < graphs; ++g)
            QVERIFY2(live.drawsColumns(g), "not the drawing under test");
        const QImage ours = live.shot();

        QCustomPlot reference;
        reference.resize(live.plot.size());
        reference.setNotAntialiasedElements(QCP::aePlottables);
        reference.xAxis->setRange(live.plot.xAxis->range());
        reference.yAxis->setRange(live.plot.yAxis->range());
        for (int g = 0; g < graphs; ++g) {
            QCPGraph *graph = reference.addGraph();
            graph->setPen(live.plot.graph(g)->pen());
            graph->data()->set(*live.plot.graph(g)->data()); // the points the live graph drew
        }
        reference.show();
        QVERIFY(QTest::qWaitForWindowExposed(&reference));
        reference.replot();
        reference.replot();
        const QImage theirs = reference.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(reference.axisRect()->rect(), live.plot.axisRect()->rect());

        // The graph on top as the library draws it, and all the lines
        // together. Not each graph below on its own: the library draws a
        // column's lowest point before its highest whatever their order, so
        // beside a spike it joins the next column from the other end, and
        // what the graph on top leaves of one below differs by a column.
        const QRect area = live.plot.axisRect()->rect().adjusted(-1, -1, 1, 1);
        QVector<QRgb> all;
        for (int g = 0; g < graphs; ++g)
            all << LineColors[g];
        for (const QVector<QRgb> &colors : {QVector<QRgb>{all.last()}, all}) {
            const QVector<QPoint> missing = unmatched(theirs, ours, colors, area);
            QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("lacks %1").arg(describe(missing))));
            const QVector<QPoint> extra = unmatched(ours, theirs, colors, area);
            QVERIFY2(extra.isEmpty(), qPrintable(QStringLiteral("adds %1").arg(describe(extra))));
        }
        // Where the two are one, the second hides the first all along.
        if (graphs == 2) {
            const QRect same(area.topLeft(), QPoint(int(live.plot.xAxis->coordToPixel(split)) - 2, area.bottom()));
            const QVector<int> first = pixelsPerColumn(ours, LineColors[0], same),
                               second = pixelsPerColumn(ours, LineColors[1], same);
            QVERIFY2(std::all_of(first.cbegin(), first.cend(), [](int n) { return n == 0; }),
                     "the first graph shows through");
            QVERIFY(std::count(second.cbegin(), second.cend(), 0) <= 2);
        }
        // The spikes reach as far as they go.
        QVERIFY(!live.spikes.isEmpty());
        for (const QPointF &spike : qAsConst(live.spikes)) {
            const QPoint at(int(live.plot.xAxis->coordToPixel(spike.x())),
                            int(live.plot.yAxis->coordToPixel(spike.y())));
            QVERIFY2(hasNear(ours, at, all),
                     qPrintable(QStringLiteral("spike at %1, %2").arg(spike.x()).arg(spike.y())));
        }
    }

    // Anything the columns cannot show as the library would draws the graph
    // as any graph.
    void otherwiseDrawnAsAnyGraph_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("columns");
        QTest::newRow("dense, aliased, on screen") << "" << true;
        QTest::newRow("selected") << "selected" << false;
        QTest::newRow("dashed pen") << "dashed" << false;
        QTest::newRow("pen two pixels wide") << "wide" << false;
        QTest::newRow("translucent pen") << "translucent" << false;
        QTest::newRow("antialiased chart") << "antialiased" << false;
        QTest::newRow("few points a column") << "sparse" << false;
        QTest::newRow("symbols") << "scatter" << false;
        QTest::newRow("filled") << "brush" << false;
        QTest::newRow("steps") << "steps" << false;
        QTest::newRow("logarithmic value axis") << "log" << false;
        QTest::newRow("export to an image") << "pmNoCaching" << false;
        QTest::newRow("export to a vector file") << "pmVectorized" << false;
    }
    void otherwiseDrawnAsAnyGraph()
    {
        QFETCH(QString, change);
        QFETCH(bool, columns);
        DenseChart c(1);
        c.fill(0, 12, true);
        QCPGraph *graph = c.plot.graph(0);
        QCPPainter::PainterModes modes = QCPPainter::pmDefault;
        if (change == "selected")
            graph->setSelection(QCPDataSelection(graph->data()->dataRange()));
        else if (change == "dashed")
            graph->setPen(QPen(graph->pen().color(), 1, Qt::DashLine));
        else if (change == "wide")
            graph->setPen(QPen(graph->pen().color(), 2));
        else if (change == "translucent")
            graph->setPen(QPen(QColor(255, 0, 0, 128), 1));
        else if (change == "antialiased")
            c.plot.setNotAntialiasedElements(QCP::aeNone);
        else if (change == "sparse")
            c.plot.xAxis->setRange(100, 103); // 300 points over the axis
        else if (change == "scatter")
            graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 3));
        else if (change == "brush")
            graph->setBrush(QColor(0, 0, 255));
        else if (change == "steps")
            graph->setLineStyle(QCPGraph::lsStepLeft);
        else if (change == "log")
            c.plot.yAxis->setScaleType(QCPAxis::stLogarithmic);
        else if (change == "pmNoCaching")
            modes = QCPPainter::pmNoCaching;
        else if (change == "pmVectorized")
            modes = QCPPainter::pmVectorized | QCPPainter::pmNoCaching;
        QVERIFY(c.show());
        QCOMPARE(c.drawsColumns(0, modes), columns);
    }

    // A selected graph is drawn as any graph, and the dense graph next to
    // it is not lost waiting to be painted with it.
    void selectedDenseGraphIsDrawn_data()
    {
        QTest::addColumn<int>("selected");
        QTest::newRow("first selected") << 0;
        QTest::newRow("second selected") << 1;
    }
    void selectedDenseGraphIsDrawn()
    {
        QFETCH(int, selected);
        DenseChart c(2);
        c.fill(0, 13, false);
        c.fill(1, 14, false, 0, 100); // apart from the first all along
        QCPGraph *graph = c.plot.graph(selected);
        const QRgb selectedColor = QColor(0, 160, 0).rgba();
        graph->selectionDecorator()->setPen(QPen(QColor::fromRgba(selectedColor), 2));
        graph->setSelection(QCPDataSelection(graph->data()->dataRange()));
        QVERIFY(c.show());
        QVERIFY(!c.drawsColumns(selected));
        QVERIFY(c.drawsColumns(1 - selected));

        // Both lines run across the whole axis.
        const QImage image = c.shot();
        for (const QRgb color : {selectedColor, LineColors[1 - selected]}) {
            const QVector<int> pixels = pixelsPerColumn(image, color, c.plot.axisRect()->rect());
            QVERIFY2(std::count(pixels.begin(), pixels.end(), 0) <= 1,
                     qPrintable(QStringLiteral("%1 of %2 columns without %3")
                                    .arg(std::count(pixels.begin(), pixels.end(), 0))
                                    .arg(pixels.size())
                                    .arg(color, 8, 16)));
        }
    }

    // A chart drawing into images looks as the library's chart drawing into
    // pixmaps, whatever layers it draws into buffers of their own, and every
    // layer is drawn into an image.
    void livePlotLooksLikeTheLibrarysChart_data()
    {
        QTest::addColumn<QString>("bufferedLayer");
        QTest::addColumn<double>("pixelRatio");
        QTest::newRow("as made") << QString() << 1.0;
        QTest::newRow("graphs' layer buffered") << QStringLiteral("main") << 1.0;
        QTest::newRow("bottom layer buffered") << QStringLiteral("background") << 1.0;
        QTest::newRow("two pixels a point") << QStringLiteral("main") << 2.0;
    }
    void livePlotLooksLikeTheLibrarysChart()
    {
        QFETCH(QString, bufferedLayer);
        QFETCH(double, pixelRatio);
        // Records the device each layer is drawn on.
        struct Probe : QCPLayerable
        {
            Probe(QCustomPlot *plot, const QString &layer) : QCPLayerable(plot, layer) {}
            int device = -1;
            void applyDefaultAntialiasingHint(QCPPainter *) const override {}
            void draw(QCPPainter *painter) override { device = painter->device()->devType(); }
        };
        QCustomPlot reference;
        LivePlot live;
        QVector<Probe *> probes;
        for (QCustomPlot *plot : {&reference, static_cast<QCustomPlot *>(&live)}) {
            plot->resize(320, 200);
            plot->setBufferDevicePixelRatio(pixelRatio);
            if (!bufferedLayer.isEmpty())
                plot->layer(bufferedLayer)->setMode(QCPLayer::lmBuffered);
            QCPGraph *graph = plot->addGraph();
            graph->setName(QStringLiteral("Position"));
            graph->setData({0, 1, 2, 3, 4}, {2, -1, 3, 0.5, 1});
            graph->setPen(QPen(Qt::red, 2));
            plot->legend->setVisible(true);
            plot->rescaleAxes();
            plot->xAxis->setLabel(QStringLiteral("Time (s)"));
        }
        // Both set up before either is shown: a chart shown while the other
        // is set up takes other margins.
        for (QCustomPlot *plot : {&reference, static_cast<QCustomPlot *>(&live)})
            plot->show();
        for (QCustomPlot *plot : {&reference, static_cast<QCustomPlot *>(&live)})
            QVERIFY(QTest::qWaitForWindowExposed(plot));
        for (QCPLayer *layer : {live.layer(QStringLiteral("background")), live.layer(QStringLiteral("main")),
                                live.layer(QStringLiteral("axes")), live.layer(QStringLiteral("overlay"))})
            probes << new Probe(&live, layer->name());
        // Twice, as laying out takes the tick labels of the redraw before.
        for (QCustomPlot *plot : {&reference, static_cast<QCustomPlot *>(&live)}) {
            plot->replot();
            plot->replot();
        }
        QCOMPARE(live.axisRect()->rect(), reference.axisRect()->rect());
        for (Probe *probe : probes)
            QVERIFY2(probe->device == QInternal::Image,
                     qPrintable(
                         QStringLiteral("layer %1 drawn on device %2").arg(probe->layer()->name()).arg(probe->device)));
        const QImage ours = live.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage theirs = reference.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(ours.size(), theirs.size());
        QVERIFY(ours == theirs);
    }
};

QTEST_MAIN(TestLineColumns)
#include "tst_linecolumns.moc"
