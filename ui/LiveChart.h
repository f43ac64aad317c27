#pragma once

#include <QObject>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

class QCPAxis;
class QCPGraph;
class QCPRange;
class QCustomPlot;

// Drives one chart that grows with live data at up to a hundred points a
// second for days, so that neither adding a point nor drawing the chart
// costs more with the history, and its memory has a ceiling:
// - it keeps each graph's data bounds as points arrive, so enlarging the axes
//   to a graph is constant work (the library's rescale scans every point)
//   and ends exactly where the library's only-enlarge rescale would, over
//   every point ever added since the last clear;
// - it stores the points itself: the newest FullResolutionPoints of a graph
//   as they came, older ones thinned to the lowest and the highest point of
//   each stretch of time, the stretch doubling whenever the thinned part
//   outgrows ThinnedPoints; so a graph never takes more than ceilingBytes(),
//   and every spike stays in the data;
// - the graph itself holds what is drawn: every stored point while there
//   are up to MirroredPoints, beyond that a level-of-detail view of the
//   visible key range, the first, lowest, highest and last point of each of
//   one or two buckets per pixel column (what the library itself draws a
//   column of many points from), brought up to date before each redraw (new
//   points go into their bucket; a zoom, a pan or a resize that leaves the
//   buckets computed rebuilds them from the stored points), so a redraw
//   costs about the same at an hour and at a week of data; zoomed in far
//   enough, a bucket holds single points and they are drawn as they are;
//   (points put into a graph's data directly are taken over while it
//   mirrors the stored points; beyond, its data is the view, rewritten at
//   each redraw: add points through addPoint, read them through
//   forEachPoint); graphs made with addGraph draw a dense view as pixel
//   columns (LiveGraph), the chart's graphs put together each pixel once,
//   straight into the chart's pixels on a LivePlot;
// - it coalesces redraw requests to at most one per frame interval and draws
//   nothing while the chart is not on screen (it catches up when shown).
class LiveChart : public QObject
{
    Q_OBJECT
public:
    // Redraws no more often than a screen can show them...
    static constexpr int FrameIntervalMs = 33;
    // ...no more often than keeps drawing within one part in DrawTimeShare
    // of the time, so that a chart taking live data stays a small load
    // wherever it runs, and no more often than the newest point moves on by
    // a pixel along the time axis (long histories).
    static constexpr int DrawTimeShare = 120;
    static constexpr int SlowestFrameIntervalMs = 250;
    // A chart whose time axis holds hours still redraws this often, for
    // the newest column of points.
    static constexpr int StillFrameIntervalMs = 1000;
    // A graph with up to this many points is drawn from all of them, with
    // antialiased lines; beyond, from its level-of-detail view without
    // antialiasing: with that many points the lines are columns of
    // pixel-high strokes that look the same either way, and draw faster.
    static constexpr int MirroredPoints = 10000;
    // Stored points of a graph at full resolution: an hour at 100 points a
    // second...
    static constexpr int FullResolutionPoints = 360000;
    // ...and at most this many older points, thinned.
    static constexpr int ThinnedPoints = 262144;
    // The stretch of time of one thinned pair when thinning starts, in
    // seconds (a power of two, so that stretches of any later width, and
    // the buckets of the view, line up with it).
    static constexpr double FirstThinningSeconds = 0.125;

    LiveChart(QCustomPlot *plot, QObject *parent = nullptr);

    QCustomPlot *plot() const { return chart; }

    // Adds a graph to the chart as QCustomPlot::addGraph does (the bottom and
    // left axes by default), one that draws its many points as the columns
    // a screen shows of them (see LiveGraph).
    QCPGraph *addGraph(QCPAxis *keyAxis = nullptr, QCPAxis *valueAxis = nullptr);

    // Adds one point to graph index.
    void addPoint(int index, double key, double value);
    // The decimals graph index's values are worth (as a recording keeps
    // them), for readouts of its values; -1 (the default): all there are.
    void setDecimals(int index, int decimals);
    int decimals(int index) const;
    // Enlarges the graph's key and value axes to all its points, never
    // shrinking them: the library's rescaleAxes(true) without the scan.
    void enlargeAxesToGraph(int index);
    // Removes all points of the graph and frees their memory, then rescales
    // its axes to it as the library does (an empty graph leaves them
    // unchanged).
    void clearGraph(int index);

    // Every point the chart stores for graph index, oldest first, as (key,
    // value): the full stored data (older points thinned as said above),
    // not the view a redraw draws from. For saving a chart's data.
    void forEachPoint(int index, const std::function<void(double key, double value)> &fn) const;
    // The number of points forEachPoint hands out.
    int pointCount(int index) const;
    // The stored point of graph index whose key is nearest to key (the
    // earlier of two as near), as (*foundKey, *value); false when the graph
    // has no points or key lies beyond its first or last point by more than
    // the mean step between its points.
    bool nearestPoint(int index, double key, double *foundKey, double *value) const;
    // The keys and values of every point added to graph index since it was
    // last cleared (values: those that are numbers); false without any.
    bool dataBounds(int index, QCPRange *keys, QCPRange *values) const;

    // Bytes the chart's points take, stored data and views of all graphs.
    qint64 memoryBytes() const;
    // The most one graph's points can take, however long the chart runs
    // (views up to a 4096 pixel wide chart included).
    static qint64 ceilingBytes();

    // Brings every graph's view up to date with its points and the visible
    // key range; done before each redraw.
    void updateViews();

    // Asks for a redraw with the refresh-hint priority; several requests
    // within one frame interval give one redraw.
    void requestReplot();
    bool replotPending() const { return timer.isActive() || redrawWhenShown; }
    // A redraw fell due while the chart was not on screen.
    bool waitingToBeShown() const { return redrawWhenShown; }

    // Paused, the chart stands still for the operator to look at: points
    // are still added and kept, but it neither widens its axes to them nor
    // redraws for them, and draws none of them when the operator's zooms
    // and pans redraw it. Resuming makes up for what was left: the graphs
    // show every point, the axes take them in, and a redraw follows.
    void setPaused(bool paused);
    bool isPaused() const { return paused; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // The redraw that fell due; a chart not on screen waits to be shown.
    void replotNow();

private:
    struct Point
    {
        double key, value;
    };
    struct Bounds
    {
        bool found = false; // any point with a value (not NaN)
        double keyLower = 0, keyUpper = 0, valueLower = 0, valueUpper = 0;
    };
    // First, lowest, highest and last point of one bucket of the view:
    // what the library draws a pixel column of many points from.
    struct Bucket
    {
        Point first{0, 0}, low{0, 0}, high{0, 0}, last{0, 0};
        int count = 0; // points with a value
        bool gap = false;
    };
    struct Series
    {
        std::vector<Point> thinned; // oldest, lowest and highest of each stretch
        std::deque<Point> recent;   // newest, as added
        double thinningSeconds = FirstThinningSeconds;
        qint64 added = 0; // points ever appended at the end since the clear
        Bounds bounds;    // over every point added since the clear
        // What the graph's own data holds.
        bool mirrored = true;           // every stored point
        const void *viewData = nullptr; // the container written last...
        int viewCount = 0;              // ...and its size then
        // The level-of-detail view: buckets of width seconds from first on.
        bool viewValid = false;
        bool viewDirty = true;
        double width = 0;
        qint64 first = 0;
        std::vector<Bucket> buckets;
        qint64 seen = 0; // points appended at the end already in the buckets
        // Points appended at the end when the chart was paused: the graph
        // shows none of those after them until it is resumed. -1: all.
        qint64 frozenAt = -1;
    };

    Series &seriesOf(int index);
    // The graph's data changed behind the chart's back while it mirrored
    // it: take the graph's points as the stored ones.
    void adoptGraphData(int index);
    void storePoint(Series &s, const Point &p);
    // Moves the oldest full-resolution points into the thinned part.
    void thinOldest(Series &s);
    void updateView(int index);
    void rebuildBuckets(Series &s, double width, qint64 first, qint64 count);
    void addToBucket(Series &s, const Point &p);
    void writeView(QCPGraph *graph, Series &s);
    // Points appended at the end that the graph shows, and how many of the
    // newest stored ones that leaves out.
    static qint64 shownAdded(const Series &s) { return s.frozenAt >= 0 ? std::min(s.added, s.frozenAt) : s.added; }
    static size_t heldBack(const Series &s) { return size_t(s.added - shownAdded(s)); }
    // The graph's data anew: every stored point (a graph that mirrors them).
    void writeMirror(QCPGraph *graph, Series &s);

    QCustomPlot *chart;
    std::vector<Series> series;
    std::vector<int> valueDecimals; // per graph; -1 or missing: all
    QTimer timer;
    bool redrawWhenShown = false;
    bool paused = false;
    // What a pause held back: graphs to take into their axes, a redraw.
    std::vector<int> enlargeWhenResumed;
    bool replotWhenResumed = false;
};
