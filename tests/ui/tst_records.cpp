// What was recorded, looked at in the window: the Records page with its
// fault records and recent recordings, a file opened in its charts (as
// --open does), bad files, the cursors on every chart, and pausing the live
// charts.
#include "WindowRig.h"

#include "support/RecordingFiles.h"
#include "support/TestWallClock.h"
#include "support/TextFiles.h"

#include "device/StatusTexts.h"

#include "ui/ChartCursors.h"
#include "ui/LiveChart.h"
#include "ui/LiveChartTools.h"
#include "ui/LiveGraph.h"
#include "ui/LivePlot.h"
#include "ui/Recording.h"
#include "ui/RecordsTab.h"

#include <qcustomplot.h>

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QDateTime WallStart(QDate(2026, 12, 10), QTime(3, 0), Qt::UTC);
const WallTime Start{WallStart.toMSecsSinceEpoch(), 3600}; // 04:00 local time

// A recording of n reports a second apart with values easy to follow:
// temperature 20 + t, current t / 2, position 100 t, speed -10 t.
bool writeSteps(const QString &path, int n)
{
    return writeLiveCsv(path, n, [](qint64 i) {
        LiveSample s;
        s.monotonicMs = 1000 + i * 1000;
        s.wall = {Start.msSinceEpoch + i * 1000, Start.utcOffsetS};
        s.rt.FilteredTemperature = 20 + double(i);
        s.rt.MotorCurrent = i / 2.0;
        s.rt.FilteredVoltage = 24;
        s.rt.CurrentPosition = int32_t(100 * i);
        s.rt.CurrentSpeed = int32_t(-10 * i);
        return s;
    });
}

struct RecordsRig : WindowRig
{
    TestWallClock wall{clock, WallStart, 3600};
    RecordsTab *records = nullptr;

    RecordsRig()
    {
        records = window->findChild<RecordsTab *>();
        QVERIFY(records);
        window->findChild<LiveRecording *>()->setWallClock(&wall);
    }

    // Opens path as --open does and reads it to the end.
    void open(const QString &path)
    {
        window->openRecording(path);
        records->loader().waitUntilDone();
        QApplication::processEvents(); // lays the page out
        for (QCustomPlot *plot : plots())
            plot->replot();
    }
    QList<QCustomPlot *> plots() const { return {w<QCustomPlot>("RecordTempPlot"), w<QCustomPlot>("RecordPosPlot")}; }
    QString status() const { return w<QLabel>("lblRecordStatus")->text(); }
    QTreeWidget *faultList() const { return w<QTreeWidget>("twFaultRecords"); }

    // A recording of 11 reports a second apart (see writeSteps), opened.
    void openSteps()
    {
        const QString path = dir.filePath(QStringLiteral("steps.csv"));
        QVERIFY(writeSteps(path, 11));
        open(path);
    }
};

QStringList menuActions(QCustomPlot *plot)
{
    emit plot->customContextMenuRequested(QPoint(20, 20));
    QMenu *menu = plot->findChildren<QMenu *>().value(0);
    QStringList texts;
    if (menu) {
        for (QAction *action : menu->actions())
            texts << action->text();
        menu->close();
        delete menu;
    }
    return texts;
}

int pixelOf(QCustomPlot *plot, double key)
{
    return int(std::lround(plot->xAxis->coordToPixel(key)));
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    // ---- Opening a recording ----

    void openedRecordingShowsInItsCharts()
    {
        RecordsRig rig;
        const QString path = rig.dir.filePath(QStringLiteral("run.csv"));
        QVERIFY(writeLiveCsv(path, 2000, [](qint64 i) { return madeUpSample(i, Start); }));
        rig.open(path);

        QCOMPARE(rig.w<QTabWidget>("tabMainTab")->currentWidget(), rig.w<QWidget>("tabRecords"));
        QVERIFY2(rig.status().startsWith(path + QStringLiteral(": 2000 rows, 19.990 s")), qPrintable(rig.status()));
        QCOMPARE(rig.shownOf(QStringLiteral("warning")), QStringList());
        QVERIFY(rig.logged().contains(QStringLiteral("Recording opened: ") + rig.status()));
        // The live charts' columns, the live charts' graphs, in full view.
        LiveChart *temp = rig.records->temperatureChart();
        LiveChart *pos = rig.records->positionChart();
        QStringList names;
        for (LiveChart *chart : {temp, pos}) {
            QVERIFY(qobject_cast<LivePlot *>(chart->plot()));
            for (int g = 0; g < chart->plot()->graphCount(); ++g) {
                QVERIFY(qobject_cast<LiveGraph *>(chart->plot()->graph(g)));
                QCOMPARE(chart->pointCount(g), 2000);
                names << chart->plot()->graph(g)->name();
            }
            QCOMPARE(chart->plot()->xAxis->range(), QCPRange(0, 19.99));
        }
        QCOMPARE(names, QStringList({"Temperature", "Current", "Voltage", "Actual position", "Speed"}));
        double key = 0, value = 0;
        QVERIFY(pos->nearestPoint(0, 12.34, &key, &value));
        QCOMPARE(value, double(madeUpSample(1234, Start).rt.CurrentPosition));
        // Its own times of day on the time axis.
        QCustomPlot *plot = temp->plot();
        QCOMPARE(plot->xAxis->label(), QStringLiteral("time of day / hh:mm:ss"));
        const QStringList ticks = plot->xAxis->tickVectorLabels().toList();
        QVERIFY2(ticks.contains(QStringLiteral("04:00:10")), qPrintable(ticks.join(' ')));
        // A zoom of one chart moves the other's time axis too.
        plot->xAxis->setRange(5, 6);
        QCOMPARE(pos->plot()->xAxis->range(), QCPRange(5, 6));
        // The live charts' export menu; its data are the file's rows.
        QCOMPARE(menuActions(pos->plot()), QStringList({"Save image…", "Save image at double size…", "Save data…"}));
        // Listed among the recent recordings, kept for the next start.
        QCOMPARE(rig.w<QListWidget>("lwRecentRecordings")->item(0)->text(), QStringLiteral("run.csv"));
        QCOMPARE(readTextFile(rig.dir.filePath(RecordsTab::RecentListFile)).trimmed(),
                 QFileInfo(path).absoluteFilePath().toUtf8());
    }

    // What "Record…" wrote, opened from the recent recordings with Enter,
    // measured with the cursors.
    void recordingMadeInTheWindowOpens()
    {
        RecordsRig rig;
        rig.connectBoard();
        const QString path = rig.dir.filePath(QStringLiteral("made.csv"));
        rig.dialogs.files << path;
        rig.w<QPushButton>("btnRecord")->click();
        rig.runFor(3000);
        rig.w<QPushButton>("btnRecord")->click();
        const qint64 recorded = rig.window->findChild<LiveRecording *>()->recorder().rowCount();
        QVERIFY(recorded > 100);

        QListWidget *recent = rig.w<QListWidget>("lwRecentRecordings");
        QCOMPARE(recent->count(), 1);
        QCOMPARE(recent->item(0)->data(Qt::UserRole).toString(), path);
        rig.w<QTabWidget>("tabMainTab")->setCurrentWidget(rig.w<QWidget>("tabRecords"));
        recent->setCurrentRow(0);
        recent->setFocus();
        QTest::keyClick(recent, Qt::Key_Return);
        rig.records->loader().waitUntilDone();
        QCOMPARE(rig.records->loader().info().rows, recorded);
        QCOMPARE(rig.records->positionChart()->pointCount(0), int(recorded));

        rig.w<QCheckBox>("cbCursorsRecord")->setChecked(true);
        auto *readout = rig.w<QLabel>("lblCursorsRecord");
        QVERIFY(!readout->isHidden());
        QVERIFY2(readout->text().contains(QStringLiteral("Δt: ")) && readout->text().contains(QStringLiteral("1/Δt: ")),
                 qPrintable(readout->text()));
    }

    // ---- Fault records ----

    void faultRecordsListFillsAsFaultsHappen()
    {
        RecordsRig rig;
        rig.connectBoard();
        rig.runFor(20000);
        QCOMPARE(rig.faultList()->topLevelItemCount(), 0);

        const auto fault = [&rig](int flags) {
            rig.board.model.faultFlags = flags;
            rig.runFor(5100);
        };
        fault(0x02);
        // Listed as the black box logs it: its time at once, its texts and
        // length once read.
        QCOMPARE(rig.faultList()->topLevelItemCount(), 1);
        QTreeWidgetItem *item = rig.faultList()->topLevelItem(0);
        const QString file = item->data(0, Qt::UserRole).toString();
        QVERIFY(rig.logged().contains(QStringLiteral("Fault record saved: ") + file));
        const QDateTime named = QDateTime::fromString(QFileInfo(file).baseName().mid(6), "yyyyMMdd-HHmmss");
        QCOMPARE(item->text(0), named.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        QCOMPARE(item->text(1), QStringLiteral("reading…"));
        rig.records->waitForFaultSummaries();
        item = rig.faultList()->topLevelItem(0);
        QCOMPARE(item->text(1), FaultTexts(0x02).join("; "));
        const double length = item->text(2).section(' ', 0, 0).toDouble();
        QVERIFY2(item->text(2).endsWith(QStringLiteral(" s")) && length > 24.8 && length < 25.2,
                 qPrintable(item->text(2)));

        // A second fault after a reset: listed first.
        rig.drv.ResetFaults();
        rig.runFor(12000);
        fault(0x04);
        QCOMPARE(rig.faultList()->topLevelItemCount(), 2);
        rig.records->waitForFaultSummaries();
        QCOMPARE(rig.faultList()->topLevelItem(0)->text(1), FaultTexts(0x04).join("; "));
        QCOMPARE(rig.faultList()->topLevelItem(1)->data(0, Qt::UserRole).toString(), file);

        // Enter opens it, the fault marked where the board raised it.
        rig.w<QTabWidget>("tabMainTab")->setCurrentWidget(rig.w<QWidget>("tabRecords"));
        rig.faultList()->setCurrentItem(rig.faultList()->topLevelItem(0));
        QTest::keyClick(rig.faultList(), Qt::Key_Enter);
        rig.records->loader().waitUntilDone();
        const RecordingInfo &info = rig.records->loader().info();
        double key = 0;
        QVERIFY(rig.records->faultMark(&key));
        // The record holds the minute before the fault and 5 s after it.
        QVERIFY2(std::abs(info.lastElapsed - key - 5.0) <= 0.1, qPrintable(QString::number(info.lastElapsed - key)));
        QVERIFY2(rig.status().contains(QStringLiteral("; fault at ")) &&
                     rig.status().contains(FaultTexts(0x04).join("; ")),
                 qPrintable(rig.status()));
        // Fault records stay out of the recent recordings.
        QCOMPARE(rig.w<QListWidget>("lwRecentRecordings")->count(), 0);
    }

    // ---- Bad files ----

    void badFileSaysWhy_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("says");
        QTest::newRow("not ours") << QByteArray("Name,Age\r\nAda,36\r\n") << false
                                  << "Not a recording of this tool: %1, line 1, column 1";
        QTest::newRow("empty") << QByteArray() << false << "The file %1 is empty.";
        QByteArray rows;
        CsvLine line;
        for (int i = 0; i < 2; ++i)
            rows += liveCsvRow(line, madeUpSample(i, Start), 1000);
        rows += liveCsvRow(line, madeUpSample(2, Start), 1000).chopped(4); // in its last number
        QTest::newRow("truncated") << liveCsvHeader() + rows << true
                                   << "%1: 2 rows, 0.010 s; 1 row could not be read and was skipped, the first: "
                                      "%1, line 4: the line is cut short";
    }
    void badFileSaysWhy()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, shown);
        QFETCH(QString, says);
        RecordsRig rig;
        const QString path = rig.dir.filePath(QStringLiteral("bad.csv"));
        QVERIFY(writeTextFile(path, bytes));
        rig.open(path);
        const QString expected = says.arg(QDir::toNativeSeparators(path));
        QVERIFY2(rig.status().startsWith(expected), qPrintable(rig.status()));
        QCOMPARE(rig.shownOf(QStringLiteral("warning")),
                 shown ? QStringList() : QStringList({QStringLiteral("Cannot open the recording")}));
        if (!shown)
            QVERIFY(rig.dialogs.shown.last().text.startsWith(expected));
        QVERIFY(!rig.logged().filter(expected).isEmpty());
        QCOMPARE(rig.records->positionChart()->pointCount(0), shown ? 2 : 0);
        QVERIFY(rig.w<QProgressBar>("pbRecordLoad")->isHidden());
    }

    // Two gigabytes, the last of them one endless line: the window goes on
    // serving its events while the file is read, shows how far it got, and
    // ends with the rows before and the line named.
    void hugeFileKeepsTheWindowServing()
    {
        RecordsRig rig;
        const QString path = rig.dir.filePath(QStringLiteral("huge.csv"));
        QVERIFY(writeLiveCsv(path, 100, [](qint64 i) { return madeUpSample(i, Start); }));
        QFile file(path);
        QVERIFY(file.resize(qint64(2) << 30)); // sparse: takes no disk
        file.close();

        RecordingLoader &loader = rig.records->loader();
        QSignalSpy finished(&loader, &RecordingLoader::finished);
        int turns = 0, partly = 0;
        QTimer turn;
        QObject::connect(&turn, &QTimer::timeout, [&] {
            ++turns;
            const int shown = rig.w<QProgressBar>("pbRecordLoad")->value();
            partly += shown > 0 && shown < 1000 && !rig.w<QPushButton>("btnCancelRecordLoad")->isHidden();
        });
        turn.start(0);
        rig.window->openRecording(path);
        QCOMPARE(finished.count(), 0); // read on, after the window had its turn back
        QVERIFY(finished.wait(120000));
        turn.stop();
        QVERIFY2(turns > 20 && partly > 5, qPrintable(QStringLiteral("%1 turns, %2 in part").arg(turns).arg(partly)));
        QVERIFY2(rig.status().contains(QStringLiteral(": 100 rows")) &&
                     rig.status().contains(QStringLiteral("huge.csv, line 102: the line is longer than 4096 bytes")),
                 qPrintable(rig.status()));
        QCOMPARE(rig.records->temperatureChart()->pointCount(0), 100);
    }

    // Cancelled at its first rows, a long file stops there; what came stays.
    void cancelStopsReading()
    {
        RecordsRig rig;
        const QString path = rig.dir.filePath(QStringLiteral("long.csv"));
        const qint64 rows = RecordingLoader::BatchRows * (RecordingLoader::MaxQueuedBatches + 4);
        QVERIFY(writeLiveCsv(path, rows, [](qint64 i) { return madeUpSample(i, Start); }));
        RecordingLoader &loader = rig.records->loader();
        QObject::connect(&loader, &RecordingLoader::rowsReady, rig.w<QPushButton>("btnCancelRecordLoad"),
                         &QPushButton::click);
        rig.open(path);
        QVERIFY(loader.info().cancelled);
        QVERIFY2(rig.status().contains(QStringLiteral("reading was cancelled")), qPrintable(rig.status()));
        const int shown = rig.records->temperatureChart()->pointCount(0);
        QVERIFY2(shown > 0 && shown < rows, qPrintable(QString::number(shown)));
    }

    // ---- Cursors ----

    void cursorReadout()
    {
        RecordsRig rig;
        rig.openSteps();
        ChartCursors *cursors = rig.records->cursors();
        auto *readout = rig.w<QLabel>("lblCursorsRecord");
        QVERIFY(readout->isHidden());

        // Switched on: both cursors at a third and two thirds of the view.
        rig.w<QCheckBox>("cbCursorsRecord")->setChecked(true);
        QVERIFY(!readout->isHidden());
        QVERIFY(cursors->isPlaced(0) && cursors->isPlaced(1));
        QCOMPARE(cursors->keyOf(1) - cursors->keyOf(0), 10.0 / 3);

        cursors->place(0, 2.0);
        cursors->place(1, 5.2); // the nearest rows: 2 s and 5 s
        QCOMPARE(readout->text(), cursors->readoutText());
        const QStringList lines = readout->text().split('\n');
        QCOMPARE(lines.value(0), QStringLiteral("Cursor 1: 04:00:02.000   Cursor 2: 04:00:05.200   Δt: 3.200 s   "
                                                "1/Δt: 0.3125 Hz"));
        QCOMPARE(lines.value(1), QStringLiteral("Temperature: 22 → 25 (Δ 3)   Current: 1 → 2.5 (Δ 1.5)   "
                                                "Voltage: 24 → 24 (Δ 0)   Actual position: 200 → 500 (Δ 300)   "
                                                "Speed: -20 → -50 (Δ -30)"));
        // Beyond the rows there is no value.
        cursors->place(1, 30);
        QVERIFY2(readout->text().contains(QStringLiteral("Temperature: 22 → — (Δ —)")), qPrintable(readout->text()));

        // One cursor left: its time and values, no difference.
        cursors->remove(1);
        QCOMPARE(readout->text(), QStringLiteral("Cursor 1: 04:00:02.000\nTemperature: 22   Current: 1   Voltage: 24   "
                                                 "Actual position: 200   Speed: -20"));
        // Off: the readout goes, and the cursors with it.
        rig.w<QCheckBox>("cbCursorsRecord")->setChecked(false);
        QVERIFY(readout->isHidden());
        QVERIFY(!cursors->isPlaced(0));
    }

    void cursorsByKeyboardAndMouse()
    {
        RecordsRig rig;
        rig.openSteps();
        ChartCursors *cursors = rig.records->cursors();
        rig.w<QCheckBox>("cbCursorsRecord")->setChecked(true);
        cursors->remove(0);
        cursors->remove(1);
        QCustomPlot *plot = rig.plots().last();
        plot->setFocus();
        const double pixel = plot->xAxis->range().size() / plot->axisRect()->width();

        // Keyboard: 2 places the second cursor mid-chart, Right moves it a
        // pixel, Shift+Right ten, Delete removes it.
        QTest::keyClick(plot, Qt::Key_2);
        QVERIFY(cursors->isPlaced(1) && !cursors->isPlaced(0));
        QCOMPARE(cursors->keyOf(1), 5.0);
        QTest::keyClick(plot, Qt::Key_Right);
        QCOMPARE(cursors->keyOf(1), 5.0 + pixel);
        QTest::keyClick(plot, Qt::Key_Left, Qt::ShiftModifier);
        QVERIFY(std::abs(cursors->keyOf(1) - (5.0 - 9 * pixel)) < 1e-9);
        QTest::keyClick(plot, Qt::Key_Delete);
        QVERIFY(!cursors->isPlaced(1));

        // Mouse: a click puts the first cursor, the next the second; a
        // cursor is dragged by its line (the chart stays where it was); a
        // double click on it removes it.
        const int y = plot->axisRect()->center().y();
        QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(pixelOf(plot, 2), y));
        QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(pixelOf(plot, 6), y));
        QVERIFY(std::abs(cursors->keyOf(0) - 2) <= pixel && std::abs(cursors->keyOf(1) - 6) <= pixel);
        const QCPRange range = plot->xAxis->range();
        QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(pixelOf(plot, cursors->keyOf(1)) + 2, y));
        const QPoint to(pixelOf(plot, 8), y);
        QMouseEvent move(QEvent::MouseMove, to, plot->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(plot, &move);
        QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(pixelOf(plot, 8), y));
        QVERIFY2(std::abs(cursors->keyOf(1) - 8) <= pixel, qPrintable(QString::number(cursors->keyOf(1))));
        QCOMPARE(plot->xAxis->range(), range);
        QTest::mouseDClick(plot, Qt::LeftButton, {}, QPoint(pixelOf(plot, cursors->keyOf(0)), y));
        QVERIFY(!cursors->isPlaced(0) && cursors->isPlaced(1));
        // Both charts show the cursors at the same time.
        QVERIFY(rig.w<QLabel>("lblCursorsRecord")->text().contains(QStringLiteral("Temperature: 28")));
    }

    // The live charts have their own cursors, over what they collected; their
    // values are rounded as a recording keeps them.
    void liveChartCursors_data()
    {
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("second");
        QTest::addColumn<QString>("values");
        QTest::newRow("as they are") << 30.0 << 32.5 << "Temperature: 30 → 32.5 (Δ 2.5)";
        QTest::newRow("rounded") << 30.12613932 << 30.125 << "Temperature: 30.126 → 30.125 (Δ -0.001)";
    }

    void liveChartCursors()
    {
        QFETCH(double, first);
        QFETCH(double, second);
        QFETCH(QString, values);
        RecordsRig rig;
        RTDataRecord &rt = rig.drv.RTData;
        rig.clock.advance(1000);
        rt.FilteredTemperature = first;
        rig.announceLive(20); // one point on the 20th
        rig.clock.advance(2000);
        rt.FilteredTemperature = second;
        rig.announceLive(20);
        rig.w<QTabWidget>("tabMainTab")->setCurrentWidget(rig.w<QWidget>("tabTempLog"));
        auto *readout = rig.w<QLabel>("lblCursorsTempLog");
        QVERIFY(readout->isHidden());
        rig.w<QCheckBox>("cbCursorsTempLog")->setChecked(true);
        QVERIFY(!readout->isHidden());
        ChartCursors *cursors = nullptr;
        for (LiveChartTools *tools : rig.window->findChildren<LiveChartTools *>())
            if (tools->cursorsBox() == rig.w<QCheckBox>("cbCursorsTempLog"))
                cursors = tools->cursors();
        QVERIFY(cursors);
        cursors->place(0, 1.0);
        cursors->place(1, 3.0);
        QVERIFY2(readout->text().startsWith(QStringLiteral("Cursor 1: 00:01.000   Cursor 2: 00:03.000   Δt: 2.000 s   "
                                                           "1/Δt: 0.5 Hz\n") +
                                            values),
                 qPrintable(readout->text()));
    }

    // ---- Pause ----

    // DC motor mode locks what moves the stepper on the Auto control page,
    // not its chart: a paused chart is resumed there all the same.
    void chartToolsStayUsableInDcMotorMode()
    {
        RecordsRig rig;
        rig.w<QTabWidget>("tabMainTab")->setCurrentWidget(rig.w<QWidget>("tabPositionControl"));
        auto *pause = rig.w<QPushButton>("btnPausePosGraph");
        pause->click();
        QCOMPARE(pause->text(), QStringLiteral("Resume"));
        rig.w<QGroupBox>("gbPWMControl")->setChecked(true);
        QVERIFY(rig.drv.DrvSettings.PWMMode);
        for (const char *motion : {"gbSpeedProfile", "gbPositionControl", "tabNavigation", "vsFinPos"})
            QVERIFY2(!rig.w<QWidget>(motion)->isEnabled(), motion);
        for (const char *tool :
             {"PositionPlot", "btnPausePosGraph", "cbCursorsPosGraph", "btnRecordPosCtrl", "btnClearPosGraph"})
            QVERIFY2(rig.w<QWidget>(tool)->isEnabled(), tool);
        QTest::mouseClick(pause, Qt::LeftButton);
        QCOMPARE(pause->text(), QStringLiteral("Pause"));
    }

    void pauseKeepsCollecting()
    {
        RecordsRig rig;
        rig.w<QTabWidget>("tabMainTab")->setCurrentWidget(rig.w<QWidget>("tabPositionControl"));
        LiveChart *chart = nullptr;
        for (LiveChart *c : rig.window->findChildren<LiveChart *>())
            if (c->plot() == rig.w<QCustomPlot>("PositionPlot"))
                chart = c;
        QVERIFY(chart);
        RTDataRecord &rt = rig.drv.RTData;
        rt.OperatingMode = 4;
        const auto reports = [&](int n, int position) {
            for (int i = 0; i < n; ++i) {
                rig.clock.advance(100);
                rt.CurrentPosition = position;
                rig.announceLive();
            }
        };
        reports(10, 50);
        auto *pause = rig.w<QPushButton>("btnPausePosGraph");
        QCOMPARE(pause->text(), QStringLiteral("Pause"));
        pause->click();
        QCOMPARE(pause->text(), QStringLiteral("Resume"));
        QCustomPlot *plot = chart->plot();
        const QCPRange keys = plot->xAxis->range(), values = plot->yAxis->range();
        QVERIFY(!chart->replotPending());

        // 30 s more, far beyond the time and the position axes: kept, not
        // followed, not drawn.
        reports(300, 5000);
        QCOMPARE(chart->pointCount(1), 310);
        QCOMPARE(plot->xAxis->range(), keys);
        QCOMPARE(plot->yAxis->range(), values);
        QVERIFY(!chart->replotPending());

        // Resumed: the axes take them in, and it redraws.
        pause->click();
        QCOMPARE(pause->text(), QStringLiteral("Pause"));
        QVERIFY(plot->xAxis->range().upper >= 31.0);
        QVERIFY(plot->yAxis->range().upper >= 5000);
        QVERIFY(chart->replotPending());
    }

    // What a paused chart draws, even when the operator zooms out to where
    // the points that came since lie: the points up to the pause. Both ways
    // a graph is drawn: from its points, and from its view of many.
    void pausedChartDrawsNothingNew_data()
    {
        QTest::addColumn<int>("before");
        QTest::newRow("few points") << 100;
        QTest::newRow("many points") << 3 * LiveChart::MirroredPoints;
    }
    void pausedChartDrawsNothingNew()
    {
        QFETCH(int, before);
        RecordsRig rig;
        rig.w<QTabWidget>("tabMainTab")->setCurrentWidget(rig.w<QWidget>("tabTempLog"));
        QCustomPlot *plot = rig.w<QCustomPlot>("TempPlot");
        LiveChart *chart = nullptr;
        for (LiveChart *c : rig.window->findChildren<LiveChart *>())
            if (c->plot() == plot)
                chart = c;
        const auto add = [chart](int from, int to) {
            for (int i = from; i < to; ++i)
                chart->addPoint(0, i * 0.01, i % 7);
        };
        const auto lastDrawn = [plot] {
            plot->replot(); // as a zoom or a pan does
            const auto data = plot->graph(0)->data();
            return data->isEmpty() ? qQNaN() : (data->constEnd() - 1)->key;
        };
        add(0, before);
        rig.w<QPushButton>("btnPauseTempLog")->click();
        add(before, before + 500);
        plot->xAxis->setRange(0, before * 0.02 + 10);
        QCOMPARE(lastDrawn(), (before - 1) * 0.01);
        QCOMPARE(chart->pointCount(0), before + 500);

        rig.w<QPushButton>("btnPauseTempLog")->click();
        QCOMPARE(lastDrawn(), (before + 499) * 0.01);
    }

    // ---- Keyboard and assistive technology ----

    void newControlsAreReachable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("focus");
        const auto row = [](const char *name, QAccessible::Role role, bool focus = true) {
            QTest::newRow(name) << QString::fromLatin1(name) << int(role) << focus;
        };
        for (const char *suffix : {"TempLog", "PosGraph"}) {
            // A button that stays down is a toggle: assistive technology
            // gets its state as a check box's.
            row(qPrintable(QStringLiteral("btnPause") + suffix), QAccessible::CheckBox);
            row(qPrintable(QStringLiteral("cbCursors") + suffix), QAccessible::CheckBox);
            row(qPrintable(QStringLiteral("lblCursors") + suffix), QAccessible::StaticText);
        }
        row("TempPlot", QAccessible::Chart);
        row("PositionPlot", QAccessible::Chart);
        row("twFaultRecords", QAccessible::Tree);
        row("lwRecentRecordings", QAccessible::List);
        row("btnOpenRecording", QAccessible::Button);
        row("lblRecordStatus", QAccessible::StaticText);
        row("pbRecordLoad", QAccessible::ProgressBar, false);
        row("btnCancelRecordLoad", QAccessible::Button);
        row("RecordTempPlot", QAccessible::Chart);
        row("RecordPosPlot", QAccessible::Chart);
        row("cbCursorsRecord", QAccessible::CheckBox);
        row("lblCursorsRecord", QAccessible::StaticText);
    }
    void newControlsAreReachable()
    {
        QFETCH(QString, name);
        QFETCH(int, role);
        QFETCH(bool, focus);
        RecordsRig rig;
        QWidget *widget = rig.w<QWidget>(name.toLatin1().constData());
        // Shown as they are when in use.
        rig.openSteps();
        for (const char *box : {"cbCursorsRecord", "cbCursorsTempLog", "cbCursorsPosGraph"})
            rig.w<QCheckBox>(box)->setChecked(true);

        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible);
        QCOMPARE(int(accessible->role()), role);
        QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(name + " has no name"));
        QVERIFY(widget->isEnabled());
        if (!focus)
            return;
        QVERIFY(widget->focusPolicy() & Qt::TabFocus);
        bool inChain = false;
        for (QWidget *next = rig.window->nextInFocusChain(); next != rig.window.get(); next = next->nextInFocusChain())
            inChain = inChain || next == widget;
        QVERIFY(inChain);
    }
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
