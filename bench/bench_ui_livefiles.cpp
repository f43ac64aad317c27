// What the live data files cost the window's live path: live reports in mode
// 4 (trajectory) from the simulated board, read by the device object's receive
// tick and shown by the window, with 0, 36,000 and 360,000 points already in
// every graph of both charts.
//
// It reports the CPU time per report outside drawing (receive tick, decoding,
// status panel, chart points) with a recording to a CSV file running and the
// fault black box on, next to the same without either (the window's live data
// files cut off from the reports), measured in alternating rounds on the same
// window; the run fails when recording costs more than 1.2 times as much
// (median of the rounds). The whole live path with its drawing is measured by
// bench_ui_livepath.
//
// Run from anywhere (it works in a temporary directory); with no display it
// uses the offscreen platform.
#include "ThreadCpu.h"
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
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

constexpr int WarmUpReports = 300;
constexpr int RecordingRounds = 16;
constexpr int ReportsPerRound = 400;

struct Result
{
    int history = 0;
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
    for (LiveChart *chart : window.findChildren<LiveChart *>())
        if (chart->plot()->objectName() == QLatin1String("TempPlot") ||
            chart->plot()->objectName() == QLatin1String("PositionPlot"))
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

    QList<Result> results;
    for (int history : {0, 36000, 360000})
        results << measure(history);
    QDir::setCurrent(home);

    out << "points/graph  us/report outside drawing: without files  with recording and black box  "
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
    return worstFiles <= 1.2 ? 0 : 1;
}
