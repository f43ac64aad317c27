// The two charts of the operator window: set-up, which live reports add
// points, how the axes grow, clearing, and the time labels.
#include "WindowRig.h"

#include "ui/AppInfo.h"
#include "ui/LiveChart.h"

#include <qcustomplot.h>

#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <random>

namespace {

struct Ranges
{
    QCPRange x, y, y2;
};

Ranges rangesOf(const QCustomPlot *plot)
{
    return {plot->xAxis->range(), plot->yAxis->range(), plot->yAxis2->range()};
}

bool same(const QCPRange &a, const QCPRange &b)
{
    return a.lower == b.lower && a.upper == b.upper; // exactly, not nearly
}

QString text(const QCPRange &r)
{
    return QStringLiteral("%1..%2").arg(r.lower, 0, 'g', 17).arg(r.upper, 0, 'g', 17);
}

QVector<QString> labels(QCPAxis *axis, const QCPRange &range, QVector<double> *ticks = nullptr)
{
    QVector<double> t;
    QVector<QString> l;
    axis->ticker()->generate(range, axis->parentPlot()->locale(), QLatin1Char('g'), 6, t, nullptr, &l);
    if (ticks)
        *ticks = t;
    return l;
}

QVector<double> ticksOf(QCPAxis *axis, const QCPRange &range)
{
    QVector<double> ticks;
    labels(axis, range, &ticks);
    return ticks;
}

QVector<double> values(const QCPGraph *graph)
{
    QVector<double> out;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        out << it->value;
    return out;
}

// The temperature chart's data triple arrives with every 20th live report.
void announceTempPoint(WindowRig &rig, double temperature, double current, double voltage)
{
    rig.drv.RTData.FilteredTemperature = temperature;
    rig.drv.RTData.MotorCurrent = current;
    rig.drv.RTData.FilteredVoltage = voltage;
    rig.drv.RTData.MotorPowerOK = true;
    rig.announceLive(20 - rig.drv.RTData.RTSampleCounter % 20);
}

void announcePosition(WindowRig &rig, int mode, int required, int position, int speed)
{
    rig.drv.RTData.OperatingMode = mode;
    rig.drv.TrajectoryData.FinalPosition = mode == 6 ? 0 : required;
    rig.drv.TrajectoryData.RequestedSpeed = mode == 6 ? required : 0;
    rig.drv.RTData.CurrentPosition = position;
    rig.drv.RTData.CurrentSpeed = speed;
    rig.drv.RTData.RTSampleCounter = 1; // keeps the temperature chart out of it
    rig.announceLive();
}

// Sets the process's time zone for the life of the object.
class TimeZone
{
public:
    explicit TimeZone(const char *tz) : previous(qgetenv("TZ")), hadPrevious(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", tz);
        tzset();
    }
    ~TimeZone()
    {
        if (hadPrevious)
            qputenv("TZ", previous);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray previous;
    bool hadPrevious;
};

// A stored or drawn point: key, value.
using Point = QPair<double, double>;

// A chart of three graphs on its own, 600 by 300 pixels, driven by a
// LiveChart.
struct StandaloneChart
{
    QCustomPlot plot;
    LiveChart chart{&plot};
    StandaloneChart()
    {
        plot.resize(600, 300);
        for (int g = 0; g < 3; ++g)
            plot.addGraph();
    }
    // Redraws, laid out once before, so that the views are made for the
    // real width of the axis.
    void redraw()
    {
        plot.replot();
        plot.replot();
    }
    QVector<Point> view(int g) const
    {
        QVector<Point> out;
        for (auto it = plot.graph(g)->data()->constBegin(); it != plot.graph(g)->data()->constEnd(); ++it)
            out << Point{it->key, it->value};
        return out;
    }
    QVector<Point> stored(int g) const
    {
        QVector<Point> out;
        chart.forEachPoint(g, [&out](double key, double value) { out << Point{key, value}; });
        return out;
    }
    // Seconds of key per pixel of the time axis.
    double secondsPerPixel() const { return plot.xAxis->range().size() / plot.axisRect()->width(); }
};

// A noisy signal with a spike every now and then, n points from key 0 on at
// 100 points a second.
void fillNoisy(LiveChart &chart, int graph, int n, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-1, 1);
    for (int i = 0; i < n; ++i) {
        double value = 10 * std::sin(i / 500.0) + noise(random);
        if (i % 7919 == 3001)
            value += i % 2 ? 300 : -300;
        chart.addPoint(graph, i * 0.01, value);
    }
}

} // namespace

class TestCharts : public QObject
{
    Q_OBJECT

    // The library's own only-enlarge rescale, replayed on a copy of the
    // chart's data from the ranges the chart had before the report.
    static void compareWithLibrary(QCustomPlot *live, const Ranges &before, const QList<int> &rescaled)
    {
        QCustomPlot reference;
        for (int i = 0; i < live->graphCount(); ++i) {
            const bool right = live->graph(i)->valueAxis() == live->yAxis2;
            QCPGraph *graph = reference.addGraph(reference.xAxis, right ? reference.yAxis2 : reference.yAxis);
            graph->data()->set(*live->graph(i)->data());
        }
        reference.xAxis->setRange(before.x);
        reference.yAxis->setRange(before.y);
        reference.yAxis2->setRange(before.y2);
        for (int i : rescaled)
            reference.graph(i)->rescaleAxes(true);
        const Ranges expected = rangesOf(&reference), actual = rangesOf(live);
        QVERIFY2(same(actual.x, expected.x), qPrintable(text(actual.x) + " vs " + text(expected.x)));
        QVERIFY2(same(actual.y, expected.y), qPrintable(text(actual.y) + " vs " + text(expected.y)));
        QVERIFY2(same(actual.y2, expected.y2), qPrintable(text(actual.y2) + " vs " + text(expected.y2)));
    }

private slots:
    void setUpAtStart()
    {
        WindowRig rig;
        for (const char *name : {"TempPlot", "PositionPlot"}) {
            QCustomPlot *plot = rig.w<QCustomPlot>(name);
            QVERIFY2(same(plot->xAxis->range(), QCPRange(0, 20)), name);
            QVERIFY2(same(plot->yAxis->range(), QCPRange(0, 100)), name);
            QVERIFY2(same(plot->yAxis2->range(), QCPRange(0, 10)), name);
            QVERIFY(plot->yAxis2->visible());
            QCOMPARE(plot->xAxis->label(), QStringLiteral("time / mm:ss"));
            QCOMPARE(int(plot->interactions()), int(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables));
            QCOMPARE(plot->locale(), QLocale(QLocale::English, QLocale::UnitedKingdom));
            QVERIFY(plot->legend->visible());
            QCOMPARE(plot->legend->font().pointSize(), 9);
            QCOMPARE(plot->legend->font().family(), rig.window->font().family());
            QCOMPARE(plot->legend->brush(), QBrush(QColor(255, 255, 255, 230)));
            QCOMPARE(int(plot->axisRect()->insetLayout()->insetAlignment(0)), int(Qt::AlignTop | Qt::AlignRight));
            QCOMPARE(plot->graphCount(), 3);
            QCOMPARE(plot->graph(1)->pen().color(), QColor(Qt::red));
            QCOMPARE(plot->graph(2)->pen().color(), QColor(Qt::green));
            QCOMPARE(labels(plot->xAxis, plot->xAxis->range()),
                     QVector<QString>({"00:00", "00:05", "00:10", "00:15", "00:20"}));
        }

        QCustomPlot *temp = rig.w<QCustomPlot>("TempPlot");
        QCOMPARE(temp->yAxis->label(), QStringLiteral("temperature / °C, voltage / V"));
        QCOMPARE(temp->yAxis2->label(), QStringLiteral("motor current / A"));
        QCOMPARE(temp->graph(0)->name(), QStringLiteral("Temperature"));
        QCOMPARE(temp->graph(1)->name(), QStringLiteral("Current"));
        QCOMPARE(temp->graph(2)->name(), QStringLiteral("Voltage"));
        QCOMPARE(temp->graph(0)->valueAxis(), temp->yAxis);
        QCOMPARE(temp->graph(1)->valueAxis(), temp->yAxis2);
        QCOMPARE(temp->graph(2)->valueAxis(), temp->yAxis);
        // Fixed tick steps: every 10 on the left, every 1 on the right.
        QCOMPARE(ticksOf(temp->yAxis, temp->yAxis->range()),
                 QVector<double>({0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
        QCOMPARE(ticksOf(temp->yAxis2, temp->yAxis2->range()), QVector<double>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        // ...in multiples once the axis has grown, never thousands of ticks.
        const QVector<double> wide = ticksOf(temp->yAxis, QCPRange(0, 1e6));
        QVERIFY2(wide.size() <= 20, qPrintable(QString::number(wide.size())));
        QCOMPARE(std::fmod(wide[1] - wide[0], 10.0), 0.0);

        QCustomPlot *pos = rig.w<QCustomPlot>("PositionPlot");
        QCOMPARE(pos->yAxis->label(), QStringLiteral("Position / steps"));
        QCOMPARE(pos->yAxis2->label(), QStringLiteral("Speed / steps/s"));
        QCOMPARE(pos->graph(0)->name(), QStringLiteral("Required position"));
        QCOMPARE(pos->graph(1)->name(), QStringLiteral("Actual position"));
        QCOMPARE(pos->graph(2)->name(), QStringLiteral("Speed"));
        QCOMPARE(pos->graph(0)->valueAxis(), pos->yAxis);
        QCOMPARE(pos->graph(1)->valueAxis(), pos->yAxis);
        QCOMPARE(pos->graph(2)->valueAxis(), pos->yAxis2);
    }

    void temperatureChartTakesEveryTwentiethReport()
    {
        WindowRig rig;
        QCPGraph *temperature = rig.w<QCustomPlot>("TempPlot")->graph(0);
        rig.connectBoard();
        // Eighteen live reports through the receive tick...
        for (int i = 0; i < 100 && rig.drv.RTData.RTSampleCounter < 18; ++i) {
            rig.clock.advance(20);
            rig.receiveTick();
        }
        QCOMPARE(rig.drv.RTData.RTSampleCounter, 18);
        // ...the one a disconnection raises counts too...
        rig.board.unplug();
        rig.receiveTick();
        QCOMPARE(temperature->dataCount(), 0);
        // ...so the next one is the 20th.
        rig.announceLive();
        QCOMPARE(temperature->dataCount(), 1);
        rig.announceLive(19);
        QCOMPARE(temperature->dataCount(), 1);
        rig.announceLive();
        QCOMPARE(temperature->dataCount(), 2);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(rig.w<QCustomPlot>("TempPlot")->graph(i)->dataCount(), 2);
    }

    void temperatureChartGrowsWithTheTemperatureOnly()
    {
        WindowRig rig;
        QCustomPlot *temp = rig.w<QCustomPlot>("TempPlot");

        announceTempPoint(rig, 30, 12, 120); // a 120 V voltage and 12 A alone
        QVERIFY(same(temp->yAxis->range(), QCPRange(0, 100)));
        QVERIFY(same(temp->yAxis2->range(), QCPRange(0, 10)));
        QCOMPARE(values(temp->graph(2)), QVector<double>({120}));

        announceTempPoint(rig, 120, 1, 24);
        QVERIFY2(same(temp->yAxis->range(), QCPRange(0, 120)), qPrintable(text(temp->yAxis->range())));
        announceTempPoint(rig, -15, 1, 24);
        QVERIFY2(same(temp->yAxis->range(), QCPRange(-15, 120)), qPrintable(text(temp->yAxis->range())));
        QVERIFY(same(temp->xAxis->range(), QCPRange(0, 20))); // keys are seconds: still within 20
        QCOMPARE(values(temp->graph(0)), QVector<double>({30, 120, -15}));
        QCOMPARE(values(temp->graph(1)), QVector<double>({12, 1, 1}));
    }

    void clearingEmptiesAChartAndRestartsItsTime_data()
    {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<QString>("button");
        QTest::newRow("temperature") << "TempPlot"
                                     << "btnClearTempLog";
        QTest::newRow("position") << "PositionPlot"
                                  << "btnClearPosGraph";
    }
    void clearingEmptiesAChartAndRestartsItsTime()
    {
        QFETCH(QString, chart);
        QFETCH(QString, button);
        const bool temperature = chart == QLatin1String("TempPlot");
        WindowRig rig;
        QCustomPlot *plot = rig.w<QCustomPlot>(chart.toLatin1().constData());
        const auto addPoint = [&](double value) {
            if (temperature)
                announceTempPoint(rig, value, value / 10, 24);
            else
                announcePosition(rig, 4, int(value), int(value), int(value / 10));
        };
        addPoint(150);
        rig.clock.advance(30000);
        addPoint(-40);
        plot->xAxis->setRange(-5, 50); // as the operator dragged it
        QVERIFY(same(plot->yAxis->range(), QCPRange(-40, 150)));

        rig.w<QPushButton>(button.toLatin1().constData())->click();

        for (int i = 0; i < 3; ++i)
            QCOMPARE(plot->graph(i)->dataCount(), 0);
        QVERIFY(same(plot->xAxis->range(), QCPRange(0, 10)));
        QVERIFY(same(plot->yAxis->range(), QCPRange(0, 100)));
        QVERIFY(same(plot->yAxis2->range(), QCPRange(0, 10)));

        rig.clock.advance(700);
        addPoint(50);
        QCOMPARE(plot->graph(0)->dataCount(), 1);
        QCOMPARE(plot->graph(0)->data()->constBegin()->key, 0.7); // time counts from the clear
        QVERIFY(same(plot->xAxis->range(), QCPRange(0, 10)));
        QVERIFY(same(plot->yAxis->range(), QCPRange(0, 100)));
    }

    // Keys are seconds of each chart's own clock, read for every point.
    void keysAreSecondsOfTheChartClocks()
    {
        WindowRig rig;
        QCustomPlot *temp = rig.w<QCustomPlot>("TempPlot");
        QCustomPlot *pos = rig.w<QCustomPlot>("PositionPlot");
        const auto keys = [](const QCPGraph *graph) {
            QVector<double> out;
            for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
                out << it->key;
            return out;
        };
        // One point on each chart, with no time passing between them.
        const auto pointOnBoth = [&rig](int position) {
            announcePosition(rig, 4, 10, position, 1);
            rig.drv.RTData.OperatingMode = 1; // the temperature reports add no position points
            announceTempPoint(rig, 30, 1, 24);
        };
        rig.clock.advance(1500);
        pointOnBoth(5);
        rig.clock.advance(3600 * 1000 + 250);
        pointOnBoth(6);
        for (int g = 0; g < 3; ++g) {
            QCOMPARE(keys(temp->graph(g)), QVector<double>({1.5, 3601.75}));
            QCOMPARE(keys(pos->graph(g)), QVector<double>({1.5, 3601.75}));
        }
        // Clearing one chart restarts its time only.
        rig.w<QPushButton>("btnClearTempLog")->click();
        rig.clock.advance(2000);
        pointOnBoth(7);
        QCOMPARE(keys(temp->graph(0)), QVector<double>({2.0}));
        QCOMPARE(keys(pos->graph(0)), QVector<double>({1.5, 3601.75, 3603.75}));
    }

    void positionChartFollowsTheMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("rightAxis");
        QTest::newRow("default") << 1 << 0 << "Required position" << false;
        QTest::newRow("step/dir") << 2 << 0 << "Required position" << false;
        QTest::newRow("DC motor") << 3 << 0 << "Required position" << false;
        QTest::newRow("trajectory") << 4 << 5 << "Required position" << false;
        QTest::newRow("BINx up/down") << 5 << 5 << "Required position" << false;
        QTest::newRow("speed") << 6 << 5 << "Required speed" << true;
    }
    void positionChartFollowsTheMode()
    {
        QFETCH(int, mode);
        QFETCH(int, points);
        QFETCH(QString, name);
        QFETCH(bool, rightAxis);
        WindowRig rig;
        QCustomPlot *pos = rig.w<QCustomPlot>("PositionPlot");
        for (int i = 0; i < 5; ++i)
            announcePosition(rig, mode, 700 + i, 300 + i, 40 + i);

        for (int g = 0; g < 3; ++g)
            QCOMPARE(pos->graph(g)->dataCount(), points);
        QCOMPARE(pos->graph(0)->name(), name);
        QCOMPARE(pos->graph(0)->valueAxis(), rightAxis ? pos->yAxis2 : pos->yAxis);
        if (points > 0) {
            QCOMPARE(values(pos->graph(0)), QVector<double>({700, 701, 702, 703, 704}));
            QCOMPARE(values(pos->graph(1)), QVector<double>({300, 301, 302, 303, 304}));
            QCOMPARE(values(pos->graph(2)), QVector<double>({40, 41, 42, 43, 44}));
        }
    }

    void requiredGraphKeepsItsPointsAcrossModes()
    {
        WindowRig rig;
        QCustomPlot *pos = rig.w<QCustomPlot>("PositionPlot");
        announcePosition(rig, 4, 5000, 100, 10);
        announcePosition(rig, 6, 20, 200, 20);
        QCOMPARE(pos->graph(0)->name(), QStringLiteral("Required speed"));
        QCOMPARE(pos->graph(0)->valueAxis(), pos->yAxis2);
        // The speed axis takes in every point of the required graph, the
        // earlier target position included, as the library's rescale does.
        QVERIFY2(same(pos->yAxis2->range(), QCPRange(0, 5000)), qPrintable(text(pos->yAxis2->range())));

        announcePosition(rig, 4, 6000, 300, 30);
        QCOMPARE(pos->graph(0)->name(), QStringLiteral("Required position"));
        QCOMPARE(pos->graph(0)->valueAxis(), pos->yAxis);
        QCOMPARE(values(pos->graph(0)), QVector<double>({5000, 20, 6000}));
        QVERIFY(same(pos->yAxis->range(), QCPRange(0, 6000)));
    }

    void axesEndWhereTheLibraryRescaleWould()
    {
        WindowRig rig;
        QCustomPlot *pos = rig.w<QCustomPlot>("PositionPlot");
        QCustomPlot *temp = rig.w<QCustomPlot>("TempPlot");
        std::mt19937 random(7);
        std::uniform_int_distribution<int> position(-50000, 50000), speed(-3000, 3000);
        std::uniform_real_distribution<double> reading(-20, 160);

        const int modes[] = {4, 4, 6, 6, 5, 1, 6, 4};
        for (int round = 0; round < 8; ++round) {
            if (round == 3) {
                // Points put into a graph behind the chart's back are
                // still taken into account.
                pos->graph(1)->addData(-100, 1e6);
                temp->graph(0)->addData(-100, -500);
            }
            if (round == 5) {
                // The operator dragged and zoomed meanwhile.
                pos->xAxis->setRange(1, 2);
                pos->yAxis->setRange(-10, 10);
                temp->yAxis->setRange(50, 60);
            }
            for (int i = 0; i < 25; ++i) {
                const Ranges before = rangesOf(pos);
                announcePosition(rig, modes[round], position(random), position(random), speed(random));
                if (modes[round] >= 4)
                    compareWithLibrary(pos, before, {0, 1, 2});
                if (QTest::currentTestFailed())
                    return;
            }
            const Ranges before = rangesOf(temp);
            announceTempPoint(rig, reading(random), reading(random) / 10, reading(random));
            compareWithLibrary(temp, before, {0});
            if (QTest::currentTestFailed())
                return;
        }
        QVERIFY(pos->graph(0)->dataCount() > 100);
    }

    // With many points a graph is drawn from a view a few points per pixel
    // column wide, made of stored points, in which every stored point within
    // a pixel has one at least as high and one at least as low: no spike is
    // lost, the curve does not change.
    void viewOfManyPointsKeepsEverySpike_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::newRow("all of it") << -100.0 << 700.0;
        QTest::newRow("zoomed to a minute") << 250.0 << 310.0;
        QTest::newRow("panned past the start") << -40.0 << 20.0;
    }
    void viewOfManyPointsKeepsEverySpike()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        StandaloneChart c;
        fillNoisy(c.chart, 0, 60000); // ten minutes
        c.plot.xAxis->setRange(from, to);
        c.redraw();

        const QVector<Point> view = c.view(0), stored = c.stored(0);
        QCOMPARE(stored.size(), 60000);
        // At most four points a bucket, one or two buckets a pixel, and
        // some room beyond either end of the axis: bounded by the width,
        // whatever the number of points.
        QVERIFY2(view.size() <= 11 * c.plot.axisRect()->width() + 16, qPrintable(QString::number(view.size())));
        QSet<Point> storedSet;
        for (const Point &p : stored)
            storedSet.insert(p);
        for (const Point &q : view)
            QVERIFY(storedSet.contains(q));

        const double reach = c.secondsPerPixel();
        int checked = 0;
        for (const Point &p : stored) {
            if (p.first < from || p.first > to)
                continue;
            ++checked;
            bool higher = false, lower = false;
            for (const Point &q : view) {
                if (std::abs(q.first - p.first) > reach)
                    continue;
                higher = higher || q.second >= p.second;
                lower = lower || q.second <= p.second;
            }
            if (!higher || !lower)
                QFAIL(qPrintable(QStringLiteral("point %1, %2 not covered").arg(p.first).arg(p.second)));
        }
        QVERIFY(checked > 0);
        // The line runs on past both ends of the axis where there are points.
        if (from > 0)
            QVERIFY(view.first().first < from);
        QVERIFY(view.last().first > to || stored.last().first <= to);
    }

    // Zoomed in until the points are pixels apart, the view is the points
    // themselves, wherever the operator drags to; new points show in it
    // with the next redraw.
    void zoomedInTheViewIsThePoints()
    {
        StandaloneChart c;
        fillNoisy(c.chart, 1, 30000);
        c.plot.xAxis->setRange(0, 300);
        c.redraw();
        QVERIFY(c.view(1).size() < c.chart.pointCount(1) / 2); // a view, not the points

        const auto pointsWithin = [](const QVector<Point> &points, double from, double to) {
            QVector<Point> out;
            for (const Point &p : points)
                if (p.first >= from && p.first <= to)
                    out << p;
            return out;
        };
        for (double start : {100.0, 100.5, 299.0, 37.25}) {
            c.plot.xAxis->setRange(start, start + 1.5);
            c.redraw();
            QCOMPARE(pointsWithin(c.view(1), start, start + 1.5), pointsWithin(c.stored(1), start, start + 1.5));
        }

        // A spike arrives at the end while zoomed out again.
        c.plot.xAxis->setRange(0, 301);
        c.redraw();
        c.chart.addPoint(1, 300.5, 5000);
        c.chart.addPoint(1, 300.51, 0);
        c.redraw();
        QVERIFY(c.view(1).contains(Point(300.5, 5000)));
    }

    // The stored data has a ceiling: the newest points as they came, older
    // ones thinned to the lowest and highest of each stretch of time, the
    // spikes kept; clearing frees it all.
    void storedPointsHaveACeiling()
    {
        StandaloneChart c;
        const int hour = 360000, total = 6 * hour;
        double lowest = 0, highest = 0;
        for (int i = 0; i < total; ++i) {
            double value = std::sin(i / 3000.0) * 100;
            if (i == 12345)
                value = -7777; // spikes in the first hour
            if (i == 23456)
                value = 8888;
            lowest = std::min(lowest, value);
            highest = std::max(highest, value);
            c.chart.addPoint(0, i * 0.01, value);
        }
        QVERIFY(c.chart.memoryBytes() <= LiveChart::ceilingBytes());
        const QVector<Point> stored = c.stored(0);
        QCOMPARE(stored.size(), c.chart.pointCount(0));
        QVERIFY2(stored.size() <= LiveChart::FullResolutionPoints + LiveChart::ThinnedPoints,
                 qPrintable(QString::number(stored.size())));
        QVERIFY(stored.size() < total / 4);
        // In key order, the spikes among them.
        for (int i = 1; i < stored.size(); ++i)
            QVERIFY(stored[i - 1].first <= stored[i].first);
        QVERIFY(stored.contains(Point(123.45, -7777)));
        QVERIFY(stored.contains(Point(234.56, 8888)));
        // The newest points are all there as they came.
        const int newest = LiveChart::FullResolutionPoints * 3 / 4;
        for (int i = 0; i < newest; ++i) {
            const int n = total - newest + i;
            QCOMPARE(stored[stored.size() - newest + i], Point(n * 0.01, std::sin(n / 3000.0) * 100));
        }
        // The axes still take in every point ever added.
        c.plot.xAxis->setRange(0, 1);
        c.plot.yAxis->setRange(0, 1);
        c.chart.enlargeAxesToGraph(0);
        QVERIFY(same(c.plot.xAxis->range(), QCPRange(0, (total - 1) * 0.01)));
        QVERIFY(same(c.plot.yAxis->range(), QCPRange(lowest, highest)));

        c.chart.clearGraph(0);
        QCOMPARE(c.chart.pointCount(0), 0);
        QCOMPARE(c.chart.memoryBytes(), qint64(0));
        QCOMPARE(c.plot.graph(0)->dataCount(), 0);
    }

    void timeLabelsAreElapsedMinutesAndSeconds()
    {
        // A zone half an hour off the hour: local clock times would shift
        // the minutes by 30.
        TimeZone zone("XST-05:30");
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(0).offsetFromUtc(), 19800);
        WindowRig rig;
        QCPAxis *time = rig.w<QCustomPlot>("TempPlot")->xAxis;

        QCOMPARE(labels(time, QCPRange(0, 20)), QVector<QString>({"00:00", "00:05", "00:10", "00:15", "00:20"}));
        QCOMPARE(labels(time, QCPRange(80, 100)), QVector<QString>({"01:20", "01:25", "01:30", "01:35", "01:40"}));
        // Past the hour the minutes go on counting.
        QCOMPARE(labels(time, QCPRange(3590, 3700)), QVector<QString>({"60:00", "60:30", "61:00", "61:30"}));
        QCOMPARE(labels(rig.w<QCustomPlot>("PositionPlot")->xAxis, QCPRange(7190, 7210)),
                 QVector<QString>({"119:50", "119:55", "120:00", "120:05", "120:10"}));
        // Dragged left of zero, and zoomed in below a second.
        QCOMPARE(labels(time, QCPRange(-10, 0)),
                 QVector<QString>({"-00:10", "-00:08", "-00:06", "-00:04", "-00:02", "00:00"}));
        QCOMPARE(labels(time, QCPRange(61, 62)),
                 QVector<QString>({"01:01.0", "01:01.2", "01:01.4", "01:01.6", "01:01.8", "01:02.0"}));
    }

    void redrawsAreCoalescedAndSkippedWhileHidden()
    {
        WindowRig rig;
        rig.board.unplug(); // the device timers run with the event loop below
        QCustomPlot *pos = rig.w<QCustomPlot>("PositionPlot");
        QCustomPlot *temp = rig.w<QCustomPlot>("TempPlot");
        LiveChart *tempChart = nullptr, *posChart = nullptr;
        for (LiveChart *chart : rig.window->findChildren<LiveChart *>()) {
            if (chart->plot() == temp)
                tempChart = chart;
            else if (chart->plot() == pos)
                posChart = chart;
        }
        QVERIFY(tempChart && posChart);
        int posReplots = 0, tempReplots = 0;
        connect(pos, &QCustomPlot::afterReplot, [&posReplots] { ++posReplots; });
        connect(temp, &QCustomPlot::afterReplot, [&tempReplots] { ++tempReplots; });
        // Both pages laid out once; from here on only the charts' own
        // redraws count.
        auto *tabs = rig.w<QTabWidget>("tabMainTab");
        tabs->setCurrentWidget(rig.w<QWidget>("tabTempLog"));
        tabs->setCurrentWidget(rig.w<QWidget>("tabPositionControl"));
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QCoreApplication::processEvents();
        posReplots = tempReplots = 0;

        // A burst of reports draws nothing at once and once afterwards.
        for (int i = 0; i < 100; ++i)
            announcePosition(rig, 4, i, i, i);
        for (int i = 0; i < 3; ++i)
            announceTempPoint(rig, 40 + i, 1, 24);
        QCOMPARE(posReplots, 0);
        QVERIFY(posChart->replotPending());
        // The frame timer falls due: one redraw for the whole burst.
        QMetaObject::invokeMethod(posChart, "replotNow");
        QCOMPARE(posReplots, 1);
        QVERIFY(!posChart->replotPending());
        // The temperature chart on its page in the back is drawn when it
        // comes to the front.
        QMetaObject::invokeMethod(tempChart, "replotNow");
        QVERIFY(tempChart->waitingToBeShown());
        QCOMPARE(tempReplots, 0);
        tabs->setCurrentWidget(rig.w<QWidget>("tabTempLog"));
        QCOMPARE(tempReplots, 1);
        QVERIFY(!tempChart->replotPending());
    }
};

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"
