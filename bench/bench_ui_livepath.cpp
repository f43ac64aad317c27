// The live path of the window as the charts fill: live reports in mode 4
// (trajectory) from the simulated board, read by the device object's receive
// tick and shown by the window, which adds a point triple to the position
// chart on every report and to the temperature chart on every 20th.
//
// For 0, 36,000 and 360,000 points already in every graph of both charts it
// reports
// - the CPU time per report outside drawing (receive tick, decoding, status
//   panel, points, axes): this must not grow with the history; the run fails
//   when it is more than twice the cost with empty charts;
// - for comparison, what the library's only-enlarge rescale of the three
//   position graphs would cost per report;
// - the drawing: redraws per second and CPU milliseconds spent drawing per
//   second while reports arrive at 100 a second for a few seconds of real
//   time, with the position chart on screen;
// - the CPU time per report outside drawing with a recording to a CSV file
//   running and the fault black box on, next to the same without either (the
//   window's live data files cut off from the reports), measured in
//   alternating rounds on the same window; the run fails when recording costs
//   more than 1.2 times as much (median of the rounds).
//
// Run from anywhere (it works in a temporary directory); with no display it
// uses the offscreen platform.
#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "ui/LiveChart.h"
#include "ui/MainWindow.h"
#include "ui/Recording.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

constexpr int ReportsMeasured = 3000;
constexpr int WarmUpReports = 300;
constexpr int RealTimeSeconds = 3;
constexpr int RecordingRounds = 16;
constexpr int ReportsPerRound = 400;

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Result
{
    int history = 0;
    double perReportUs = 0;
    double libraryRescaleUs = 0;
    double redrawsPerSecond = 0;
    double drawMsPerSecond = 0;
    double msPerRedraw = 0;
    double withoutFilesUs = 0;
    double withFilesUs = 0;
    double filesRatio = 0;
};

// Fills every graph of the chart with history points before time 0: a
// slow wave, so that drawing has lines to draw.
void fill(LiveChart &chart, int history)
{
    QCustomPlot *plot = chart.plot();
    for (int g = 0; g < plot->graphCount(); ++g)
        for (int i = 0; i < history; ++i) {
            const double key = (i - history) * 0.01;
            chart.addPoint(g, key, 50 + 40 * std::sin(key / (7.0 + g)) + (i % 13));
        }
}

Result measure(int history)
{
    Result result;
    result.history = history;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    ManualClock clock;
    SimulatedBus bus(clock);
    SimulatedBoard &board = bus.addBoard();
    board.liveReportsPerSecond = 100;
    board.model.operatingMode = 4;
    TorvanDRV drv;
    drv.SetClock(&clock);
    drv.SetTransport(&bus);

    MainWindow window(drv, clock);
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabMainTab"));
    tabs->setCurrentWidget(window.findChild<QWidget *>(QStringLiteral("tabPositionControl")));
    QCustomPlot *pos = window.findChild<QCustomPlot *>(QStringLiteral("PositionPlot"));
    for (LiveChart *chart : window.findChildren<LiveChart *>())
        fill(*chart, history);

    QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler");
    if (!drv.IsConnected()) {
        QTextStream(stderr) << "the simulated board did not connect\n";
        return result;
    }
    const auto receive = [&](int reports) {
        for (int i = 0; i < reports; ++i) {
            clock.advance(10);
            QMetaObject::invokeMethod(&drv, "USBRXTimerHandler");
        }
    };
    receive(WarmUpReports);
    QApplication::processEvents(); // draw what is there once

    // Outside drawing: no events are served, so no redraw happens.
    const int before = pos->graph(0)->dataCount();
    const double start = threadCpuMs();
    receive(ReportsMeasured);
    const double spent = threadCpuMs() - start;
    const int added = pos->graph(0)->dataCount() - before;
    if (added < ReportsMeasured * 9 / 10)
        QTextStream(stderr) << "only " << added << " of " << ReportsMeasured << " reports reached the chart\n";
    result.perReportUs = spent * 1000.0 / std::max(1, added);

    // Recording and the black box on and off in alternating rounds. The costs
    // are the least of each (the least disturbed by the machine); the ratio is
    // the median of the rounds' own ratios, each from two measurements taken
    // back to back, so a slow spell of a loaded machine weighs on both sides.
    {
        auto *recording = window.findChild<LiveRecording *>();
        ScriptedDialogs dialogs;
        drv.SetDialogs(&dialogs);
        dialogs.files << dir.filePath(QStringLiteral("bench.csv"));
        recording->toggleRecording();
        if (!recording->recorder().isRecording())
            QTextStream(stderr) << "the recording did not start\n";
        const auto measureWith = [&](bool files) {
            QObject::disconnect(&drv, &TorvanDRV::newRTDataAvailable, recording, nullptr);
            if (files)
                QObject::connect(&drv, SIGNAL(newRTDataAvailable()), recording, SLOT(takeReport()));
            const double t0 = threadCpuMs();
            receive(ReportsPerRound);
            return (threadCpuMs() - t0) * 1000.0 / ReportsPerRound;
        };
        result.withoutFilesUs = result.withFilesUs = 1e9;
        QVector<double> ratios;
        for (int round = 0; round < RecordingRounds; ++round) {
            // Without first, then with first: a drift weighs on both alike.
            const bool filesFirst = round % 2 == 1;
            const double first = measureWith(filesFirst);
            const double second = measureWith(!filesFirst);
            const double with = filesFirst ? first : second, without = filesFirst ? second : first;
            result.withFilesUs = std::min(result.withFilesUs, with);
            result.withoutFilesUs = std::min(result.withoutFilesUs, without);
            ratios << with / std::max(1e-9, without);
        }
        std::sort(ratios.begin(), ratios.end());
        result.filesRatio = (ratios[RecordingRounds / 2 - 1] + ratios[RecordingRounds / 2]) / 2;
        recording->toggleRecording();
        drv.SetDialogs(nullptr);
    }

    // What the library's full rescale of the three graphs costs per report.
    {
        const double t0 = threadCpuMs();
        const int rounds = 20;
        for (int i = 0; i < rounds; ++i)
            for (int g = 0; g < 3; ++g)
                pos->graph(g)->rescaleAxes(true);
        result.libraryRescaleUs = (threadCpuMs() - t0) * 1000.0 / rounds;
    }

    // Drawing in real time: the device object's own timers read the reports
    // while the clock moves 10 ms every 10 ms.
    int redraws = 0;
    double drawMs = 0, drawStart = 0;
    QObject::connect(pos, &QCustomPlot::beforeReplot, [&] { drawStart = threadCpuMs(); });
    QObject::connect(pos, &QCustomPlot::afterReplot, [&] {
        drawMs += threadCpuMs() - drawStart;
        ++redraws;
    });
    QTimer pace;
    QObject::connect(&pace, &QTimer::timeout, [&] { clock.advance(10); });
    pace.start(10);
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < RealTimeSeconds * 1000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    pace.stop();
    const double seconds = wall.elapsed() / 1000.0;
    result.redrawsPerSecond = redraws / seconds;
    result.drawMsPerSecond = drawMs / seconds;
    result.msPerRedraw = redraws ? drawMs / redraws : 0;
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString home = QDir::currentPath();
    QTextStream out(stdout);

    out << "points/graph  us/report outside drawing  library rescale us/report  redraws/s  ms/redraw  "
           "drawing ms/s\n";
    QList<Result> results;
    for (int history : {0, 36000, 360000}) {
        const Result r = measure(history);
        results << r;
        out << QString::asprintf("%12d  %25.1f  %25.1f  %9.1f  %9.2f  %12.1f\n", r.history, r.perReportUs,
                                 r.libraryRescaleUs, r.redrawsPerSecond, r.msPerRedraw, r.drawMsPerSecond);
        out.flush();
    }
    QDir::setCurrent(home);

    const double ratio = results.last().perReportUs / std::max(1e-9, results.first().perReportUs);
    out << QString::asprintf("cost outside drawing at %d points: %.2fx the cost at 0 points (limit 2x): %s\n",
                             results.last().history, ratio, ratio <= 2.0 ? "ok" : "TOO SLOW");

    out << "\npoints/graph  us/report outside drawing: without files  with recording and black box  "
           "median ratio\n";
    double worstFiles = 0;
    for (const Result &r : results) {
        const double filesRatio = r.filesRatio;
        worstFiles = std::max(worstFiles, filesRatio);
        out << QString::asprintf("%12d  %40.1f  %28.1f  %12.2f\n", r.history, r.withoutFilesUs, r.withFilesUs,
                                 filesRatio);
    }
    out << QString::asprintf("recording and black box: at most %.2fx the cost without (limit 1.2x): %s\n", worstFiles,
                             worstFiles <= 1.2 ? "ok" : "TOO SLOW");
    return ratio <= 2.0 && worstFiles <= 1.2 ? 0 : 1;
}
