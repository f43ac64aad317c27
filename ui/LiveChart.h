#pragma once

#include <QObject>
#include <QTimer>
#include <QVector>

#include <functional>

class QCPAxis;
class QCustomPlot;

// Drives one chart that grows with live data at up to a hundred points a
// second, so that the cost of adding a point does not depend on how many the
// chart already holds:
// - it keeps each graph's data bounds as points arrive, so enlarging the axes
//   to a graph is constant work (the library's rescale scans every point)
//   and ends exactly where the library's only-enlarge rescale would;
// - it coalesces redraw requests to at most one per frame interval and draws
//   nothing while the chart is not on screen (it catches up when shown).
class LiveChart : public QObject
{
    Q_OBJECT
public:
    // Redraws no more often than a screen can show them...
    static constexpr int FrameIntervalMs = 33;
    // ...and, when a redraw takes long (hours of points on screen), no more
    // often than keeps drawing within about an eighth of the time.
    static constexpr int DrawTimeShare = 8;
    static constexpr int SlowestFrameIntervalMs = 250;
    // Lines of graphs with more points than this are drawn without
    // antialiasing: with that many the lines are columns of pixel-high
    // strokes that look the same either way, and draw faster.
    static constexpr int AntialiasedPointsLimit = 10000;

    LiveChart(QCustomPlot *plot, QObject *parent = nullptr);

    QCustomPlot *plot() const { return chart; }

    // Adds one point to graph index.
    void addPoint(int index, double key, double value);
    // Enlarges the graph's key and value axes to all its points, never
    // shrinking them: the library's rescaleAxes(true) without the scan.
    void enlargeAxesToGraph(int index);
    // Removes all points of the graph, then rescales its axes to it as the
    // library does (an empty graph leaves them unchanged).
    void clearGraph(int index);

    // Every point the chart holds for graph index, oldest first, as (key,
    // value): the stored data, not what a redraw draws from it. For saving
    // a chart's data.
    void forEachPoint(int index, const std::function<void(double key, double value)> &fn) const;
    // The number of points forEachPoint hands out.
    int pointCount(int index) const;

    // Bytes the chart's stored points take, all graphs together.
    qint64 memoryBytes() const;
    // The most memoryBytes() can reach per graph, however long the chart runs.
    static qint64 ceilingBytes();

    // Asks for a redraw with the refresh-hint priority; several requests
    // within one frame interval give one redraw.
    void requestReplot();
    bool replotPending() const { return timer.isActive() || redrawWhenShown; }
    // A redraw fell due while the chart was not on screen.
    bool waitingToBeShown() const { return redrawWhenShown; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // The redraw that fell due; a chart not on screen waits to be shown.
    void replotNow();

private:
    struct Bounds
    {
        int count = 0;      // points of the graph these bounds cover
        bool found = false; // any point with a value (not NaN)
        double keyLower = 0, keyUpper = 0, valueLower = 0, valueUpper = 0;
    };

    Bounds &boundsOf(int index);
    void recomputeBounds(int index);

    QCustomPlot *chart;
    QVector<Bounds> bounds;
    QTimer timer;
    bool redrawWhenShown = false;
};
