// What the operator window costs its thread while live reports stream in,
// measured the way a user pays for it: the CPU time of the window's thread
// (decoding, status panel, chart points, redraws and the paint events that
// put them on screen), in a real event loop that sleeps while it waits,
// with the simulated board sending reports in real time.
//
// Scenarios, each for a few seconds of real time:
// - the "Auto control" page on screen (position chart), the board in mode 4
//   with the motor moving, 100 reports a second, with 0 h, 1 h and 24 h of
//   chart data already in both charts (100 points a second per position
//   graph, 5 per temperature graph); budget 5 % of one core;
// - the start page on screen, the default simulated board at 50 reports a
//   second, empty charts; budget 2 % of one core.
// For each it prints the CPU milliseconds per second of run time and the
// share of a core next to the budget, repaints per second (paint events
// counted, so they are known to happen), chart redraws, the chart memory,
// and the load average of the machine (the figures are per thread, but a
// loaded machine slows caches and timers).
//
// Then:
// - one redraw of the position chart (draw and paint) with its data against
//   one of the same chart with its graphs hidden, no point drawn, measured
//   in pairs taken in turns: budget 1.5x for the median of the pairs; and, for comparison, one of the chart cleared
//   right after, which costs the same as the hidden graphs on a quiet
//   machine but is measured later, when a shared machine may run faster or
//   slower;
// - the cost of one report outside drawing (no events served): must not grow
//   with the history, budget 2x the cost with empty charts;
// - a simulated week at 100 points a second into one chart: its memory
//   against the ceiling, and what clearing frees.
//
// Arguments: the histories to run in hours (default: 0 1 24) and "week"
// (default on); "--seconds N" sets the run time of each scenario (default 3);
// "--paints" lists the paint events per widget.
// Run from anywhere (it works in a temporary directory); with no display it
// uses the offscreen platform, where widgets still paint into the raster
// backing store.
#include "ThreadCpu.h"
#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "ui/LiveChart.h"
#include "ui/MainWindow.h"
#include "ui/RepaintPacer.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <ctime>
#include <fstream>
#include <unistd.h>

namespace {

int runSeconds = 3;

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double residentMB()
{
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    if (!(statm >> pages >> resident))
        return 0;
    return resident * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// Real time, which the board and the device object run on; the cost check
// outside drawing skips time forward by hand instead.
class BenchClock : public MonotonicClock
{
public:
    BenchClock() { timer.start(); }
    qint64 nowMs() const override { return timer.elapsed() + skipped; }
    void spin() override {}
    void skip(qint64 ms) { skipped += ms; }

private:
    QElapsedTimer timer;
    qint64 skipped = 0;
};

// Counts paint events of every widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    QMap<QString, int> byWidget;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            if (listPaints)
                ++byWidget[QString::fromLatin1(watched->metaObject()->className()) + QLatin1Char(' ') +
                           watched->objectName()];
        }
        return false;
    }
    static bool listPaints;
};
bool PaintCounter::listPaints = false;

// History before time 0: positions that ramp back and forth with a spike
// now and then, speeds that follow, temperatures and voltages that drift.
void fill(LiveChart &chart, int pointsPerSecond, double hours)
{
    const long long count = std::llround(hours * 3600 * pointsPerSecond);
    for (long long i = 0; i < count; ++i) {
        const double key = double(i - count) / pointsPerSecond;
        const double phase = std::fmod(key, 60.0);
        const double ramp = 20000 * std::abs(phase - 30);
        const double spike = i % 9973 == 0 ? 250000 : 0;
        chart.addPoint(0, key, ramp + spike);
        chart.addPoint(1, key, ramp + 50 * std::sin(key));
        chart.addPoint(2, key, 400 * std::cos(key / 10));
    }
}

LiveChart *chartOf(MainWindow &window, QCustomPlot *plot)
{
    for (LiveChart *chart : window.findChildren<LiveChart *>())
        if (chart->plot() == plot)
            return chart;
    return nullptr;
}

qint64 chartBytes(MainWindow &window)
{
    qint64 bytes = 0;
    for (LiveChart *chart : window.findChildren<LiveChart *>())
        bytes += chart->memoryBytes();
    return bytes;
}

struct Scenario
{
    QString name;
    bool positionPage = true;
    int reportsPerSecond = 100;
    double hours = 0;
    double budgetPercent = 5;
};

struct Result
{
    double cpuMsPerSecond = 0;
    double processMsPerSecond = 0;
    double reportsPerSecond = 0;
    double paintsPerSecond = 0;
    double redrawsPerSecond = 0;
    double msPerRedraw = 0;        // chart redraw (draw into its buffers) while running
    double msPerForcedRedraw = 0;  // draw and paint of the position chart, forced
    double msPerHiddenRedraw = 0;  // the same, its graphs hidden, in turns with it
    double msPerEmptyRedraw = 0;   // the same, the chart cleared (after)
    double redrawRatio = 0;        // shown against hidden, the median of pairs
    double usPerReportOutside = 0; // no events served
    double chartMB = 0;
    double fillSeconds = 0;
};

// Runs the event loop for ms milliseconds of real time; it sleeps while
// nothing is due.
void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

Result measure(const Scenario &scenario)
{
    Result result;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    BenchClock clock;
    SimulatedBus bus(clock);
    SimulatedBoard &board = bus.addBoard();
    board.liveReportsPerSecond = scenario.reportsPerSecond;
    TorvanDRV drv;
    drv.SetClock(&clock);
    drv.SetTransport(&bus);

    MainWindow window(drv, clock);
    window.resize(1280, 900);
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabMainTab"));
    if (scenario.positionPage)
        tabs->setCurrentWidget(window.findChild<QWidget *>(QStringLiteral("tabPositionControl")));
    QCustomPlot *pos = window.findChild<QCustomPlot *>(QStringLiteral("PositionPlot"));
    QCustomPlot *temp = window.findChild<QCustomPlot *>(QStringLiteral("TempPlot"));
    RepaintPacer *pacer = window.findChild<RepaintPacer *>();

    QElapsedTimer fillTime;
    fillTime.start();
    fill(*chartOf(window, pos), 100, scenario.hours);
    fill(*chartOf(window, temp), 5, scenario.hours);
    result.fillSeconds = fillTime.elapsed() / 1000.0;

    QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler");
    if (!drv.IsConnected()) {
        QTextStream(stderr) << "the simulated board did not connect\n";
        return result;
    }
    if (scenario.positionPage) {
        // Mode 4 with the motor on its way to a far target: position and
        // speed change with every report.
        drv.EnableDriver();
        drv.TrajectoryData.FinalPosition = 100000000;
        drv.TrajectoryData.MaxSpeed = 20000;
        drv.TrajectoryData.MaxAccel = 5000;
        drv.TrajectoryData.MaxDecel = 5000;
        drv.WriteTrajectory();
    }

    int reports = 0, redraws = 0;
    double drawMs = 0, drawStart = 0;
    QObject::connect(&drv, &TorvanDRV::newRTDataAvailable, [&] { ++reports; });
    QObject::connect(pos, &QCustomPlot::beforeReplot, [&] { drawStart = threadCpuMs(); });
    QObject::connect(pos, &QCustomPlot::afterReplot, [&] {
        drawMs += threadCpuMs() - drawStart;
        ++redraws;
    });
    PaintCounter paints;
    qApp->installEventFilter(&paints);

    runEventLoop(700); // warm up: first layout and paints, the motor gets going

    reports = redraws = paints.paints = 0;
    drawMs = 0;
    const double cpu0 = threadCpuMs(), process0 = processCpuMs();
    QElapsedTimer wall;
    wall.start();
    runEventLoop(runSeconds * 1000);
    const double seconds = wall.nsecsElapsed() / 1e9;
    result.cpuMsPerSecond = (threadCpuMs() - cpu0) / seconds;
    result.processMsPerSecond = (processCpuMs() - process0) / seconds;
    result.reportsPerSecond = reports / seconds;
    result.paintsPerSecond = paints.paints / seconds;
    result.redrawsPerSecond = redraws / seconds;
    result.msPerRedraw = redraws ? drawMs / redraws : 0;
    qApp->removeEventFilter(&paints);
    for (auto it = paints.byWidget.cbegin(); it != paints.byWidget.cend(); ++it)
        QTextStream(stdout) << QString::asprintf("    %6.1f paints/s  %s\n", it.value() / seconds,
                                                 qPrintable(it.key()));
    result.chartMB = chartBytes(window) / (1024.0 * 1024.0);

    if (scenario.positionPage) {
        // One redraw of the position chart, drawn and painted at once, with
        // its graphs shown and with them hidden (no points drawn), in pairs
        // of batches taken in turns, so that both figures of a pair see the
        // same machine (on a shared one, the cost of the same work drifts by
        // half within seconds); the ratio is the median of the pairs', each
        // cost the median of its batches, so that another process taking
        // the core for a while decides none of them.
        const auto batchMs = [&] {
            const int rounds = 10;
            const double t0 = threadCpuMs();
            for (int i = 0; i < rounds; ++i) {
                pos->replot(QCustomPlot::rpQueuedRefresh);
                pacer->paintNow(pos);
            }
            return (threadCpuMs() - t0) / rounds;
        };
        const auto median = [](QVector<double> batches) {
            std::sort(batches.begin(), batches.end());
            return batches[batches.size() / 2];
        };
        const auto showGraphs = [pos](bool shown) {
            for (int g = 0; g < pos->graphCount(); ++g)
                pos->graph(g)->setVisible(shown);
        };
        QVector<double> shown, hidden, ratios;
        for (int pair = 0; pair < 16; ++pair) {
            // Each pair in turn the other way round, so that a machine
            // speeding up or slowing down favours neither.
            for (const bool first : {pair % 2 == 0, pair % 2 != 0}) {
                showGraphs(first);
                (first ? shown : hidden) << batchMs();
            }
            ratios << shown.last() / std::max(1e-9, hidden.last());
        }
        showGraphs(true);
        result.msPerForcedRedraw = median(shown);
        result.msPerHiddenRedraw = median(hidden);
        result.redrawRatio = median(ratios);

        // Outside drawing: the receive tick by hand, no events served.
        const int before = reports;
        const double t1 = threadCpuMs();
        for (int i = 0; i < 1000; ++i) {
            clock.skip(1000 / scenario.reportsPerSecond);
            QMetaObject::invokeMethod(&drv, "USBRXTimerHandler");
        }
        const double spent = threadCpuMs() - t1;
        result.usPerReportOutside = spent * 1000.0 / std::max(1, reports - before);

        // The same chart emptied, at once, so that the machine's load is
        // the same for both figures.
        drv.RTData.OperatingMode = 1; // no more points from here on
        window.findChild<QPushButton *>(QStringLiteral("btnClearPosGraph"))->click();
        QVector<double> cleared;
        for (int batch = 0; batch < 15; ++batch)
            cleared << batchMs();
        result.msPerEmptyRedraw = median(cleared);
    }
    return result;
}

// A week at 100 points a second into a chart of three graphs, as the
// position chart takes them; its memory against the ceiling, then cleared.
bool week(QTextStream &out)
{
    QCustomPlot plot;
    for (int g = 0; g < 3; ++g)
        plot.addGraph();
    LiveChart chart(&plot);
    const double rssBefore = residentMB();
    QElapsedTimer time;
    time.start();
    fill(chart, 100, 7 * 24);
    const double filled = time.elapsed() / 1000.0;
    const double mb = chart.memoryBytes() / (1024.0 * 1024.0);
    const double ceiling = 3 * LiveChart::ceilingBytes() / (1024.0 * 1024.0);
    const double rssFilled = residentMB();
    int stored = 0;
    for (int g = 0; g < 3; ++g)
        stored += chart.pointCount(g);
    for (int g = 0; g < 3; ++g)
        chart.clearGraph(g);
    const double rssCleared = residentMB();
    out << QString::asprintf("simulated week, 3 graphs x %lld points (filled in %.1f s): %d points kept, chart "
                             "memory %.1f MB, ceiling %.1f MB (%.1f MB for both charts): %s\n",
                             7LL * 24 * 3600 * 100, filled, stored, mb, ceiling, 2 * ceiling,
                             mb <= ceiling ? "ok" : "OVER");
    out << QString::asprintf("  resident memory: %.1f MB before, %.1f MB filled, %.1f MB after clearing; chart "
                             "memory after clearing %.3f MB\n",
                             rssBefore, rssFilled, rssCleared, chart.memoryBytes() / (1024.0 * 1024.0));
    return mb <= ceiling && chart.memoryBytes() == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<double> hours;
    bool runWeek = false;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--seconds") && i + 1 < args.size())
            runSeconds = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--paints"))
            PaintCounter::listPaints = true;
        else if (args[i] == QLatin1String("week"))
            runWeek = true;
        else
            hours << args[i].toDouble();
    }
    if (hours.isEmpty() && !runWeek) {
        hours = {0, 1, 24};
        runWeek = true;
    }

    const QString home = QDir::currentPath();
    QTextStream out(stdout);
    out << "load average at start: " << loadAverage() << " (2 cores shared with other work)\n";
    bool ok = true;
    // The week first, while the process has touched little memory, so that
    // its resident memory shows what the chart takes and gives back.
    if (runWeek) {
        ok = week(out) && ok;
        out << "\n";
    }
    out << "load average now: " << loadAverage() << "\n";
    out << "scenario                                   reports/s  CPU ms/s  core %  budget  verdict  paints/s  "
           "redraws/s  ms/redraw  chart MB  (process ms/s)\n";
    out.flush();
    QList<QPair<double, Result>> position;
    auto row = [&](const Scenario &s, const Result &r) {
        const double share = r.cpuMsPerSecond / 10.0;
        const bool within = share <= s.budgetPercent;
        ok = ok && within;
        out << QString::asprintf("%-42s %9.1f  %8.1f  %6.2f  %5.1f%%  %-7s  %8.1f  %9.1f  %9.2f  %8.1f  (%.1f)\n",
                                 qPrintable(s.name), r.reportsPerSecond, r.cpuMsPerSecond, share, s.budgetPercent,
                                 within ? "ok" : "OVER", r.paintsPerSecond, r.redrawsPerSecond, r.msPerRedraw,
                                 r.chartMB, r.processMsPerSecond);
        out.flush();
    };
    for (double h : hours) {
        Scenario s;
        s.name = QStringLiteral("position chart, mode 4, 100/s, %1 h data").arg(h);
        s.hours = h;
        const Result r = measure(s);
        row(s, r);
        position << qMakePair(h, r);
    }
    if (!hours.isEmpty()) {
        Scenario s;
        s.name = QStringLiteral("start page, default board, 50/s");
        s.positionPage = false;
        s.reportsPerSecond = 50;
        s.budgetPercent = 2;
        row(s, measure(s));
    }

    if (!position.isEmpty()) {
        out << "\nhistory h  fill s  one redraw ms (draw+paint)  graphs hidden  ratio (budget 1.5x)  "
               "chart cleared after  us/report outside drawing\n";
        for (const auto &p : position) {
            const double ratio = p.second.redrawRatio;
            ok = ok && ratio <= 1.5;
            out << QString::asprintf("%9.0f  %6.1f  %26.2f  %13.2f  %8.2fx %-9s  %19.2f  %26.1f\n", p.first,
                                     p.second.fillSeconds, p.second.msPerForcedRedraw, p.second.msPerHiddenRedraw,
                                     ratio, ratio <= 1.5 ? "ok" : "OVER", p.second.msPerEmptyRedraw,
                                     p.second.usPerReportOutside);
        }
        if (position.size() > 1) {
            const Result &first = position.first().second, &last = position.last().second;
            const double outside = last.usPerReportOutside / std::max(1e-9, first.usPerReportOutside);
            out << QString::asprintf("redraw at %.0f h: %.2fx the redraw of the %.0f h chart (its live points only)\n",
                                     position.last().first,
                                     last.msPerForcedRedraw / std::max(1e-9, first.msPerForcedRedraw),
                                     position.first().first);
            out << QString::asprintf("cost outside drawing at %.0f h: %.2fx the cost at %.0f h (budget 2x): %s\n",
                                     position.last().first, outside, position.first().first,
                                     outside <= 2.0 ? "ok" : "OVER");
            ok = ok && outside <= 2.0;
        }
    }
    QDir::setCurrent(home);
    out << "load average at end: " << loadAverage() << "\n";
    return ok ? 0 : 1;
}
