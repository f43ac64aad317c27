#include "ui/LiveChart.h"

#include "ui/LiveGraph.h"

#include <qcustomplot.h>

#include <QEvent>

#include <algorithm>
#include <cmath>
#include <iterator>

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

// The view is made for a key axis of at most this many pixels, which bounds
// its buckets...
constexpr int MaxViewPixels = 4096;
// ...to this many: one or two per pixel, with room to pan and grow.
constexpr int MaxViewBuckets = (2 * MaxViewPixels + 2) * 11 / 8 + 3;
// Narrower buckets than this (seconds) tell nothing apart.
constexpr double NarrowestBucket = 1.0 / (1 << 20);

template <class It> It firstAtOrAfter(It begin, It end, double key)
{
    return std::lower_bound(begin, end, key, [](const auto &p, double k) { return p.key < k; });
}

// Thins the points [begin, end) (in key order) to the lowest and the highest
// point of each stretch of width seconds (stretches start at multiples of
// width), in key order; a stretch with no value keeps its first point, so
// the gap stays. Hands each kept point to keep, which may write over points
// already read.
template <class It, class Keep> void thin(It begin, It end, double width, Keep keep)
{
    for (It i = begin; i != end;) {
        const double stretch = std::floor(i->key / width);
        It low = end, high = end, j = i;
        for (; j != end && std::floor(j->key / width) == stretch; ++j) {
            if (std::isnan(j->value))
                continue;
            if (low == end || j->value < low->value)
                low = j;
            if (high == end || j->value > high->value)
                high = j;
        }
        const auto first = *i;
        if (low == end) {
            keep(first);
        } else if (low == high) {
            keep(*low);
        } else {
            const auto a = *std::min(low, high), b = *std::max(low, high);
            keep(a);
            keep(b);
        }
        i = j;
    }
}

// Bytes of a deque of n points (libstdc++ keeps them in 512-byte blocks).
qint64 dequeBytes(qint64 n, qint64 pointSize)
{
    const qint64 perBlock = std::max<qint64>(1, 512 / pointSize);
    const qint64 blocks = n / perBlock + 1;
    return blocks * 512 + (blocks + 8) * qint64(sizeof(void *));
}

} // namespace

LiveChart::LiveChart(QCustomPlot *plot, QObject *parent) : QObject(parent), chart(plot)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &LiveChart::replotNow);
    // Every redraw, the operator's zooms and drags included, draws from
    // views that are up to date.
    connect(chart, &QCustomPlot::beforeReplot, this, &LiveChart::updateViews);
    chart->installEventFilter(this);
    // The top layer has a paint buffer of its own, cleared and painted over
    // the chart with every redraw; nothing of these charts is drawn there
    // (it holds the selection rectangle, which they do not use), so it
    // shares the buffer of the layers below.
    if (QCPLayer *overlay = chart->layer(QStringLiteral("overlay")))
        overlay->setMode(QCPLayer::lmLogical);
}

QCPGraph *LiveChart::addGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
{
    if (!keyAxis)
        keyAxis = chart->xAxis;
    if (!valueAxis)
        valueAxis = chart->yAxis;
    if (!keyAxis || !valueAxis || keyAxis->parentPlot() != chart || valueAxis->parentPlot() != chart)
        return nullptr;
    auto *graph = new LiveGraph(keyAxis, valueAxis);
    graph->setName(QStringLiteral("Graph %1").arg(chart->graphCount()));
    return graph;
}

LiveChart::Series &LiveChart::seriesOf(int index)
{
    if (index >= int(series.size()))
        series.resize(index + 1);
    return series[index];
}

void LiveChart::adoptGraphData(int index)
{
    QCPGraph *graph = chart->graph(index);
    Series &s = seriesOf(index);
    s = Series();
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        s.recent.push_back({it->key, it->value});
    s.added = qint64(s.recent.size());
    // The bounds as the library takes them from the data.
    bool foundKeys = false, foundValues = false;
    const QCPRange keys = graph->data()->keyRange(foundKeys);
    const QCPRange values = graph->data()->valueRange(foundValues);
    if (foundKeys && foundValues)
        s.bounds = {true, keys.lower, keys.upper, values.lower, values.upper};
    s.viewData = graph->data().data();
    s.viewCount = graph->dataCount();
    while (s.recent.size() > size_t(FullResolutionPoints))
        thinOldest(s);
}

void LiveChart::addPoint(int index, double key, double value)
{
    QCPGraph *graph = chart->graph(index);
    if (!graph)
        return;
    Series &s = seriesOf(index);
    if (s.mirrored && (graph->data().data() != s.viewData || graph->dataCount() != s.viewCount))
        adoptGraphData(index);
    storePoint(s, {key, value});
    s.viewDirty = true;
    if (s.mirrored) {
        if (pointCount(index) <= MirroredPoints) {
            // Held back while paused; the graph takes them when resumed.
            if (!paused) {
                graph->addData(key, value);
                s.viewCount = graph->dataCount();
            }
        } else {
            s.mirrored = false;
            s.viewValid = false;
        }
    }
    // The library leaves points without a value out of both ranges.
    if (std::isnan(value))
        return;
    Bounds &b = s.bounds;
    if (!b.found) {
        b = {true, key, key, value, value};
        return;
    }
    b.keyLower = std::min(b.keyLower, key);
    b.keyUpper = std::max(b.keyUpper, key);
    b.valueLower = std::min(b.valueLower, value);
    b.valueUpper = std::max(b.valueUpper, value);
}

void LiveChart::storePoint(Series &s, const Point &p)
{
    const bool inOrder =
        s.recent.empty() ? s.thinned.empty() || p.key >= s.thinned.back().key : p.key >= s.recent.back().key;
    if (inOrder) {
        s.recent.push_back(p);
        ++s.added;
    } else {
        // Late points are rare (live keys only grow): put it in its place
        // and make the view anew.
        const auto after = [](double k, const Point &q) { return k < q.key; };
        if (!s.recent.empty() && p.key >= s.recent.front().key)
            s.recent.insert(std::upper_bound(s.recent.begin(), s.recent.end(), p.key, after), p);
        else if (s.thinned.empty() || p.key >= s.thinned.back().key)
            s.recent.push_front(p);
        else
            s.thinned.insert(std::upper_bound(s.thinned.begin(), s.thinned.end(), p.key, after), p);
        s.viewValid = false;
    }
    if (s.recent.size() > size_t(FullResolutionPoints))
        thinOldest(s);
}

void LiveChart::thinOldest(Series &s)
{
    // The oldest eighth, up to the end of its last stretch, so that a
    // stretch is thinned in one go.
    size_t n = FullResolutionPoints / 8;
    const double lastStretch = std::floor(s.recent[n - 1].key / s.thinningSeconds);
    while (n < s.recent.size() && std::floor(s.recent[n].key / s.thinningSeconds) == lastStretch)
        ++n;
    std::vector<Point> oldest;
    thin(s.recent.begin(), s.recent.begin() + n, s.thinningSeconds, [&oldest](const Point &p) { oldest.push_back(p); });
    s.recent.erase(s.recent.begin(), s.recent.begin() + n);

    // Wider stretches until all of it fits.
    if (s.thinned.capacity() < size_t(ThinnedPoints))
        s.thinned.reserve(ThinnedPoints);
    while (s.thinned.size() + oldest.size() > size_t(ThinnedPoints)) {
        s.thinningSeconds *= 2;
        for (std::vector<Point> *part : {&s.thinned, &oldest}) {
            size_t kept = 0;
            thin(part->begin(), part->end(), s.thinningSeconds, [&](const Point &p) { (*part)[kept++] = p; });
            part->resize(kept);
        }
    }
    s.thinned.insert(s.thinned.end(), oldest.begin(), oldest.end());
    // A view finer than the thinned points is made anew from them; a
    // coarser one stays as it is (the lowest and highest of each of its
    // buckets are still there).
    if (s.width < s.thinningSeconds)
        s.viewValid = false;
}

void LiveChart::enlargeAxesToGraph(int index)
{
    QCPGraph *graph = chart->graph(index);
    if (!graph || !graph->keyAxis() || !graph->valueAxis())
        return;
    if (paused) {
        if (std::find(enlargeWhenResumed.begin(), enlargeWhenResumed.end(), index) == enlargeWhenResumed.end())
            enlargeWhenResumed.push_back(index);
        return;
    }
    Series &s = seriesOf(index);
    if (s.mirrored && (graph->data().data() != s.viewData || graph->dataCount() != s.viewCount))
        adoptGraphData(index);
    if (!s.bounds.found)
        return;
    enlargeAxis(graph->keyAxis(), s.bounds.keyLower, s.bounds.keyUpper);
    enlargeAxis(graph->valueAxis(), s.bounds.valueLower, s.bounds.valueUpper);
}

void LiveChart::clearGraph(int index)
{
    QCPGraph *graph = chart->graph(index);
    if (!graph)
        return;
    Series &s = seriesOf(index);
    s = Series(); // frees the stored points
    // Emptied with its memory (clearing a container keeps its capacity).
    graph->data()->set(QVector<QCPGraphData>());
    s.viewData = graph->data().data();
    graph->rescaleAxes(false);
}

void LiveChart::forEachPoint(int index, const std::function<void(double, double)> &fn) const
{
    if (index < 0 || index >= int(series.size()) || !chart->graph(index))
        return;
    const Series &s = series[index];
    for (const Point &p : s.thinned)
        fn(p.key, p.value);
    for (const Point &p : s.recent)
        fn(p.key, p.value);
}

void LiveChart::setDecimals(int index, int decimals)
{
    if (index < 0)
        return;
    if (index >= int(valueDecimals.size()))
        valueDecimals.resize(size_t(index) + 1, -1);
    valueDecimals[size_t(index)] = decimals;
}

int LiveChart::decimals(int index) const
{
    return index >= 0 && index < int(valueDecimals.size()) ? valueDecimals[size_t(index)] : -1;
}

int LiveChart::pointCount(int index) const
{
    if (index < 0 || index >= int(series.size()) || !chart->graph(index))
        return 0;
    return int(series[index].thinned.size() + series[index].recent.size());
}

bool LiveChart::nearestPoint(int index, double key, double *foundKey, double *value) const
{
    const int count = pointCount(index);
    if (count == 0 || std::isnan(key))
        return false;
    const Series &s = series[index];
    // Point i of the stored data, thinned part first.
    const auto at = [&s](qint64 i) -> const Point & {
        return i < qint64(s.thinned.size()) ? s.thinned[size_t(i)] : s.recent[size_t(i - qint64(s.thinned.size()))];
    };
    const double firstKey = at(0).key, lastKey = at(count - 1).key;
    const double step = count > 1 ? (lastKey - firstKey) / (count - 1) : 0;
    if (key < firstKey - step || key > lastKey + step)
        return false;
    // The first point at or after key, then whichever of it and the one
    // before lies nearer.
    qint64 low = 0, high = count;
    while (low < high) {
        const qint64 mid = (low + high) / 2;
        if (at(mid).key < key)
            low = mid + 1;
        else
            high = mid;
    }
    qint64 nearest = std::min<qint64>(low, count - 1);
    if (low > 0 && (low == count || key - at(low - 1).key <= at(low).key - key))
        nearest = low - 1;
    *foundKey = at(nearest).key;
    *value = at(nearest).value;
    return true;
}

bool LiveChart::dataBounds(int index, QCPRange *keys, QCPRange *values) const
{
    if (index < 0 || index >= int(series.size()) || !chart->graph(index) || !series[index].bounds.found)
        return false;
    const Bounds &b = series[index].bounds;
    *keys = QCPRange(b.keyLower, b.keyUpper);
    *values = QCPRange(b.valueLower, b.valueUpper);
    return true;
}

qint64 LiveChart::memoryBytes() const
{
    qint64 bytes = 0;
    for (int i = 0; i < int(series.size()); ++i) {
        const Series &s = series[i];
        if (s.recent.empty() && s.thinned.capacity() == 0 && s.buckets.capacity() == 0)
            continue;
        bytes += dequeBytes(qint64(s.recent.size()), sizeof(Point));
        bytes += qint64(s.thinned.capacity() * sizeof(Point) + s.buckets.capacity() * sizeof(Bucket));
        if (const QCPGraph *graph = chart->graph(i))
            bytes += qint64(graph->dataCount()) * qint64(sizeof(QCPGraphData));
    }
    return bytes;
}

qint64 LiveChart::ceilingBytes()
{
    const qint64 view = std::max<qint64>(MirroredPoints, 4 * MaxViewBuckets + 2) * qint64(sizeof(QCPGraphData));
    return dequeBytes(FullResolutionPoints + 1, sizeof(Point)) + qint64(ThinnedPoints) * qint64(sizeof(Point)) +
           qint64(MaxViewBuckets) * qint64(sizeof(Bucket)) + view;
}

void LiveChart::updateViews()
{
    for (int i = 0; i < chart->graphCount() && i < int(series.size()); ++i)
        updateView(i);
}

void LiveChart::updateView(int index)
{
    QCPGraph *graph = chart->graph(index);
    Series &s = series[index];
    if (s.mirrored || !graph->keyAxis())
        return;
    QCPAxis *keyAxis = graph->keyAxis();
    const QCPRange range = keyAxis->range();
    int pixels = keyAxis->axisRect() ? keyAxis->axisRect()->width() : 0;
    if (pixels < 16)
        pixels = std::max(16, chart->width()); // not laid out yet
    pixels = std::min(pixels, MaxViewPixels);
    // Buckets a power of two seconds wide, one or two to a pixel column, so
    // that every column has the stroke from the lowest to the highest point
    // in it.
    const double width = std::exp2(std::floor(std::log2(std::max(range.size() / pixels, NarrowestBucket))));
    const double lower = std::floor(range.lower / width), upper = std::floor(range.upper / width);
    if (!(std::abs(lower) < 1e15 && std::abs(upper) < 1e15 && upper - lower < 2 * MaxViewPixels + 2))
        return;
    const qint64 firstSeen = s.added - qint64(s.recent.size());
    const bool covered = s.viewValid && width == s.width && qint64(lower) >= s.first &&
                         qint64(upper) < s.first + qint64(s.buckets.size()) && s.seen >= firstSeen;
    if (!covered) {
        // With room to pan a little and for the time axis to grow with the
        // data before the buckets are made anew.
        const qint64 span = qint64(upper - lower) + 1;
        rebuildBuckets(s, width, qint64(lower) - span / 8 - 1, span + span / 8 + span / 4 + 2);
    } else if (s.seen < shownAdded(s)) {
        for (qint64 q = s.seen; q < shownAdded(s); ++q)
            addToBucket(s, s.recent[size_t(q - firstSeen)]);
        s.seen = shownAdded(s);
    }
    if (s.viewDirty || graph->data().data() != s.viewData || graph->dataCount() != s.viewCount)
        writeView(graph, s);
}

void LiveChart::rebuildBuckets(Series &s, double width, qint64 first, qint64 count)
{
    s.width = width;
    s.first = first;
    s.buckets.assign(size_t(count), Bucket());
    const double from = double(first) * width, to = double(first + count) * width;
    for (auto it = firstAtOrAfter(s.thinned.begin(), s.thinned.end(), from); it != s.thinned.end() && it->key < to;
         ++it)
        addToBucket(s, *it);
    const auto shownEnd = s.recent.end() - std::ptrdiff_t(std::min(heldBack(s), s.recent.size()));
    for (auto it = firstAtOrAfter(s.recent.begin(), shownEnd, from); it != shownEnd && it->key < to; ++it)
        addToBucket(s, *it);
    s.seen = shownAdded(s);
    s.viewValid = true;
    s.viewDirty = true;
}

void LiveChart::addToBucket(Series &s, const Point &p)
{
    const double at = std::floor(p.key / s.width) - double(s.first);
    if (!(at >= 0 && at < double(s.buckets.size())))
        return; // beyond the buckets: taken in when they are made anew
    Bucket &b = s.buckets[size_t(at)];
    if (std::isnan(p.value)) {
        if (b.count == 0 && !b.gap) {
            b.gap = true;
            b.low = b.high = p;
        }
        return;
    }
    if (b.count++ == 0) {
        b.first = b.low = b.high = b.last = p;
        return;
    }
    b.last = p;
    if (p.value < b.low.value)
        b.low = p;
    if (p.value > b.high.value)
        b.high = p;
}

void LiveChart::writeView(QCPGraph *graph, Series &s)
{
    QVector<QCPGraphData> view;
    view.reserve(int(4 * s.buckets.size() + 2));
    const auto append = [&view](const Point &p) { view.append(QCPGraphData(p.key, p.value)); };
    // The stored points just outside the buckets, so that the lines run on
    // to them as the library draws on to the points beyond the axis.
    const double from = double(s.first) * s.width, to = double(s.first + qint64(s.buckets.size())) * s.width;
    const auto shownEnd = s.recent.end() - std::ptrdiff_t(std::min(heldBack(s), s.recent.size()));
    const auto recentFrom = firstAtOrAfter(s.recent.begin(), shownEnd, from);
    const auto thinnedFrom = firstAtOrAfter(s.thinned.begin(), s.thinned.end(), from);
    if (recentFrom != s.recent.begin())
        append(*(recentFrom - 1));
    else if (thinnedFrom != s.thinned.begin())
        append(*(thinnedFrom - 1));
    for (const Bucket &b : s.buckets) {
        if (b.count == 0) {
            if (b.gap)
                append(b.low);
            continue;
        }
        // In key order, each point once.
        Point points[4] = {b.first, b.low, b.high, b.last};
        std::sort(std::begin(points), std::end(points), [](const Point &x, const Point &y) { return x.key < y.key; });
        for (int i = 0; i < 4; ++i)
            if (i == 0 || points[i].key != points[i - 1].key || points[i].value != points[i - 1].value)
                append(points[i]);
    }
    const auto thinnedTo = firstAtOrAfter(s.thinned.begin(), s.thinned.end(), to);
    if (thinnedTo != s.thinned.end()) {
        append(*thinnedTo);
    } else {
        const auto recentTo = firstAtOrAfter(s.recent.begin(), shownEnd, to);
        if (recentTo != shownEnd)
            append(*recentTo);
    }
    graph->data()->set(view, true);
    s.viewData = graph->data().data();
    s.viewCount = view.size();
    s.viewDirty = false;
}

void LiveChart::setPaused(bool pause)
{
    if (pause == paused)
        return;
    paused = pause;
    if (paused) {
        for (Series &s : series)
            s.frozenAt = s.added;
        // A redraw already due would still show the newest points.
        if (timer.isActive() || redrawWhenShown) {
            timer.stop();
            redrawWhenShown = false;
            replotWhenResumed = true;
        }
        return;
    }
    for (int i = 0; i < int(series.size()); ++i) {
        Series &s = series[size_t(i)];
        s.frozenAt = -1;
        s.viewDirty = true;
        if (s.mirrored && chart->graph(i))
            writeMirror(chart->graph(i), s);
    }
    std::vector<int> enlarge;
    enlarge.swap(enlargeWhenResumed);
    for (int index : enlarge)
        enlargeAxesToGraph(index);
    if (replotWhenResumed || !enlarge.empty()) {
        replotWhenResumed = false;
        requestReplot();
    }
}

void LiveChart::writeMirror(QCPGraph *graph, Series &s)
{
    QVector<QCPGraphData> all;
    all.reserve(int(s.thinned.size() + s.recent.size()));
    for (const Point &p : s.thinned)
        all.append(QCPGraphData(p.key, p.value));
    for (const Point &p : s.recent)
        all.append(QCPGraphData(p.key, p.value));
    graph->data()->set(all, true);
    s.viewData = graph->data().data();
    s.viewCount = graph->dataCount();
}

void LiveChart::requestReplot()
{
    if (paused) {
        replotWhenResumed = true;
        return;
    }
    if (timer.isActive())
        return;
    // Within a share of the time however long a redraw takes here...
    double interval =
        qBound(double(FrameIntervalMs), chart->replotTime(true) * DrawTimeShare, double(SlowestFrameIntervalMs));
    // ...and no more often than the newest points move on by a pixel: with
    // hours on the time axis, a point in a second changes nothing a screen
    // shows but the last column.
    if (const QCPGraph *graph = chart->graph(0)) {
        if (const QCPAxis *keyAxis = graph->keyAxis()) {
            const int pixels = keyAxis->axisRect() ? keyAxis->axisRect()->width() : 0;
            if (pixels > 0)
                interval = std::max(interval,
                                    std::min(keyAxis->range().size() * 1000.0 / pixels, double(StillFrameIntervalMs)));
        }
    }
    timer.start(int(std::ceil(interval)));
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
        most = std::max(most, pointCount(i));
    if (most > MirroredPoints)
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
