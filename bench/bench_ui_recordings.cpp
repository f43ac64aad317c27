// Opening an hour's recording on the Records page, as the user pays for it:
// 360,000 rows (an hour at 100 live reports a second, about 40 MB) written
// as the recorder writes them, opened in the window from the moment
// openRecording() is called until both charts are drawn and painted with
// every row.
//
// Figures, each next to its budget:
// - the time to open it (wall clock, the median of three runs): at most 2 s;
// - the memory it takes: the growth of the process's resident memory, at
//   the end and at its peak while reading, against the growth that the live
//   charts of the window take for the same points (the five graphs the
//   recording fills, 360,000 points each, added to the live charts and drawn
//   once): at most twice that.
// For reference: the CPU time of the window's thread while opening, the
// longest the window's event loop waited meanwhile, and the charts' own
// count of their bytes.
//
// Every measurement runs in a process of its own (this program started
// again with --child), so that memory freed by one is not counted as free
// for the next. Run from anywhere (it works in a temporary directory); with
// no display it uses the offscreen platform. "--grab FILE.png" saves the
// window after the last opening, with the cursors on.
#include "ThreadCpu.h"
#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "support/ManualClock.h"
#include "support/RecordingFiles.h"
#include "ui/LiveChart.h"
#include "ui/MainWindow.h"
#include "ui/RecordsTab.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <unistd.h>

namespace {

constexpr qint64 Rows = 360000;
constexpr double OpenBudgetSeconds = 2.0;
constexpr double MemoryBudgetRatio = 2.0;
constexpr int OpenRuns = 3;

// A field of /proc/self/status in MB ("VmRSS", "VmHWM").
double statusMB(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string name;
    while (status >> name) {
        if (name == std::string(field) + ":") {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// Starts counting the peak resident memory afresh (Linux 4.0 and later).
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

const WallTime Start{1796871600000, 3600}; // 2026-12-10 04:00 local time, UTC+1

LiveChart *chartOf(MainWindow &window, const char *plotName)
{
    auto *plot = window.findChild<QCustomPlot *>(QString::fromLatin1(plotName));
    for (LiveChart *chart : window.findChildren<LiveChart *>())
        if (chart->plot() == plot)
            return chart;
    return nullptr;
}

void showPage(MainWindow &window, const char *page)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabMainTab"));
    tabs->setCurrentWidget(window.findChild<QWidget *>(QString::fromLatin1(page)));
    QApplication::processEvents();
}

// The window on a bus without boards: nothing but the charts at work.
struct Window
{
    QTemporaryDir dir;
    ManualClock clock;
    SimulatedBus bus{clock};
    TorvanDRV drv;
    std::unique_ptr<MainWindow> window;

    Window()
    {
        QDir::setCurrent(dir.path());
        drv.SetClock(&clock);
        drv.SetTransport(&bus);
        window = std::make_unique<MainWindow>(drv, clock);
        window->resize(1280, 900);
        window->show();
        QApplication::processEvents();
    }
};

// The five graphs a recording fills, in the live charts: 360,000 points
// each, drawn once.
int childLive()
{
    Window w;
    LiveChart *temp = chartOf(*w.window, "TempPlot");
    LiveChart *pos = chartOf(*w.window, "PositionPlot");
    QApplication::processEvents();
    const double rss0 = statusMB("VmRSS");
    resetPeak();
    for (qint64 i = 0; i < Rows; ++i) {
        const LiveSample s = madeUpSample(i, Start);
        const double key = i / 100.0;
        temp->addPoint(0, key, s.rt.FilteredTemperature);
        temp->addPoint(1, key, s.rt.MotorCurrent);
        temp->addPoint(2, key, s.rt.FilteredVoltage);
        pos->addPoint(1, key, s.rt.CurrentPosition);
        pos->addPoint(2, key, s.rt.CurrentSpeed);
    }
    for (int g = 0; g < 3; ++g) {
        temp->enlargeAxesToGraph(g);
        pos->enlargeAxesToGraph(g);
    }
    showPage(*w.window, "tabTempLog");
    temp->plot()->replot(QCustomPlot::rpImmediateRefresh);
    showPage(*w.window, "tabPositionControl");
    pos->plot()->replot(QCustomPlot::rpImmediateRefresh);
    QApplication::processEvents();
    QTextStream(stdout) << "rss=" << statusMB("VmRSS") - rss0 << " peak=" << statusMB("VmHWM") - rss0
                        << " charts=" << (temp->memoryBytes() + pos->memoryBytes()) / (1024.0 * 1024.0) << "\n";
    return 0;
}

int childOpen(const QString &path, const QString &grab)
{
    Window w;
    auto *records = w.window->findChild<RecordsTab *>();
    showPage(*w.window, "tabRecords");
    // The longest the window's event loop could not turn while opening.
    QElapsedTimer sinceTick;
    qint64 longestWait = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestWait = std::max(longestWait, sinceTick.restart()); });
    const double rss0 = statusMB("VmRSS");
    resetPeak();

    QElapsedTimer wall;
    const double cpu0 = threadCpuMs();
    wall.start();
    sinceTick.start();
    ticker.start(5);
    QEventLoop loop;
    QObject::connect(&records->loader(), &RecordingLoader::finished, &loop, &QEventLoop::quit);
    w.window->openRecording(path);
    loop.exec();
    for (LiveChart *chart : {records->temperatureChart(), records->positionChart()})
        chart->plot()->replot(QCustomPlot::rpImmediateRefresh);
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double cpuMs = threadCpuMs() - cpu0;
    ticker.stop();
    longestWait = std::max(longestWait, sinceTick.elapsed());

    const RecordingInfo &info = records->loader().info();
    const qint64 chartBytes = records->temperatureChart()->memoryBytes() + records->positionChart()->memoryBytes();
    QTextStream(stdout) << "seconds=" << seconds << " cpu=" << cpuMs / 1000 << " wait=" << longestWait
                        << " rss=" << statusMB("VmRSS") - rss0 << " peak=" << statusMB("VmHWM") - rss0
                        << " charts=" << chartBytes / (1024.0 * 1024.0) << " rows=" << info.rows
                        << " skipped=" << info.skipped << "\n";
    if (!grab.isEmpty()) {
        w.window->findChild<QCheckBox *>(QStringLiteral("cbCursorsRecord"))->setChecked(true);
        QApplication::processEvents();
        w.window->grab().save(grab);
    }
    return info.error.isEmpty() ? 0 : 1;
}

// The figures a child printed, by name.
QMap<QString, double> runChild(const QStringList &args)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--child")} + args);
    child.waitForFinished(-1);
    QMap<QString, double> figures;
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
    for (const QString &pair : out.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        figures[pair.section(QLatin1Char('='), 0, 0)] = pair.section(QLatin1Char('='), 1).toDouble();
    if (child.exitCode() != 0 || figures.isEmpty())
        QTextStream(stderr) << "measurement " << args.join(QLatin1Char(' ')) << " failed: " << out << "\n"
                            << child.readAllStandardError();
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--child")) {
        if (args.value(2) == QLatin1String("live"))
            return childLive();
        return childOpen(args.value(3), args.value(4));
    }
    QString grab;
    if (args.value(1) == QLatin1String("--grab"))
        grab = QFileInfo(args.value(2)).absoluteFilePath();

    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hour.csv"));
    if (!writeLiveCsv(path, Rows, [](qint64 i) { return madeUpSample(i, Start); })) {
        QTextStream(stderr) << "cannot write " << path << "\n";
        return 2;
    }
    out << QString::asprintf("recording: %lld rows, %.1f MB\n", Rows, QFileInfo(path).size() / 1e6);

    const QMap<QString, double> live = runChild({QStringLiteral("live")});
    QVector<QMap<QString, double>> opens;
    for (int run = 0; run < OpenRuns; ++run)
        opens << runChild({QStringLiteral("open"), path, run == OpenRuns - 1 ? grab : QString()});
    std::sort(opens.begin(), opens.end(), [](const auto &a, const auto &b) {
        return a.value(QStringLiteral("seconds")) < b.value(QStringLiteral("seconds"));
    });
    const QMap<QString, double> &open = opens[OpenRuns / 2];
    if (live.isEmpty() || open.isEmpty() || open.value(QStringLiteral("rows")) != Rows)
        return 2;

    const double seconds = open.value(QStringLiteral("seconds"));
    const double liveMB = live.value(QStringLiteral("rss"));
    const double openMB = open.value(QStringLiteral("rss"));
    const double peakMB = open.value(QStringLiteral("peak"));
    const double memoryBudget = MemoryBudgetRatio * liveMB;
    const bool fast = seconds <= OpenBudgetSeconds;
    const bool small = openMB <= memoryBudget && peakMB <= memoryBudget;
    out << QString::asprintf("open an hour (median of %d):      %6.2f s          budget %.1f s   %s\n", OpenRuns,
                             seconds, OpenBudgetSeconds, fast ? "ok" : "TOO SLOW");
    out << QString::asprintf("  all runs:                       %6.2f %6.2f %6.2f s\n",
                             opens[0].value(QStringLiteral("seconds")), opens[1].value(QStringLiteral("seconds")),
                             opens[2].value(QStringLiteral("seconds")));
    out << QString::asprintf("  window thread CPU:              %6.2f s\n", open.value(QStringLiteral("cpu")));
    out << QString::asprintf("  longest wait of the event loop: %6.0f ms\n", open.value(QStringLiteral("wait")));
    out << QString::asprintf("live charts, same points:         %6.1f MB resident (their own count %.1f MB)\n", liveMB,
                             live.value(QStringLiteral("charts")));
    out << QString::asprintf("recording opened:                 %6.1f MB resident   budget %.1f MB (2x live)   %s\n",
                             openMB, memoryBudget, openMB <= memoryBudget ? "ok" : "TOO MUCH");
    out << QString::asprintf("  peak while reading:             %6.1f MB resident   budget %.1f MB (2x live)   %s\n",
                             peakMB, memoryBudget, peakMB <= memoryBudget ? "ok" : "TOO MUCH");
    out << QString::asprintf("  the charts' own count:          %6.1f MB\n", open.value(QStringLiteral("charts")));
    return fast && small ? 0 : 1;
}
