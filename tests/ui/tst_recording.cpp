// Live data files through the window: recording with the "Record…" buttons,
// the fault black box fed by the simulated board, and the charts' export
// menus.
#include "WindowRig.h"

#include "support/CsvReader.h"
#include "support/FillingDevice.h"
#include "support/TestWallClock.h"

#include "ui/LiveChart.h"
#include "ui/Recording.h"

#include <qcustomplot.h>

#include <QImage>
#include <QLCDNumber>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

namespace {

// Columns of a live data file.
enum Column {
    ColTime = 0,
    ColElapsed = 1,
    ColFilteredVoltage = 3,
    ColFilteredTemperature = 5,
    ColStateText = 8,
    ColFlags = 9,
    ColInputSleep = 12,
    ColMode = 18,
    ColPosition = 19,
};

const QDateTime WallStart(QDate(2026, 12, 10), QTime(3, 0), Qt::UTC);

// The window on the simulated board, its time stamps from a known wall clock.
struct RecordingRig : WindowRig
{
    TestWallClock wall{clock, WallStart, 0};
    LiveRecording *recording = nullptr;

    RecordingRig()
    {
        recording = window->findChild<LiveRecording *>();
        QVERIFY(recording);
        recording->setWallClock(&wall);
    }

    QPushButton *logChartsButton() { return w<QPushButton>("btnRecord"); }
    QPushButton *autoControlButton() { return w<QPushButton>("btnRecordPosCtrl"); }

    QStringList faultFiles() const
    {
        return QDir(dir.filePath(QStringLiteral("faults")))
            .entryList({QStringLiteral("fault-*.csv")}, QDir::Files, QDir::Name);
    }
};

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

private slots:
    // ---- Recording ----

    void recordingHoldsOneRowPerLiveReport()
    {
        RecordingRig rig;
        rig.board.model.position = 4321;
        rig.board.model.inputs |= BoardModel::InSleep;
        rig.connectBoard();
        rig.runFor(500);

        const QString path = rig.dir.filePath(QStringLiteral("run1")); // no suffix: .csv is added
        rig.dialogs.files << path;
        QSignalSpy reports(&rig.drv, &TorvanDRV::newRTDataAvailable);
        const qint64 startMs = rig.clock.now;
        rig.logChartsButton()->click();

        // Both buttons show that a recording runs and how far it got.
        rig.runFor(2000);
        for (QPushButton *button : {rig.logChartsButton(), rig.autoControlButton()}) {
            QVERIFY(button->isChecked());
            QVERIFY2(button->text().startsWith(QStringLiteral("Stop recording (")), qPrintable(button->text()));
            const int shown = button->text().section(QLatin1Char('('), 1).section(QLatin1Char(' '), 0, 0).toInt();
            QVERIFY2(shown > reports.count() - 20 && shown <= reports.count(), qPrintable(button->text()));
        }
        rig.runFor(1000);
        const int received = reports.count();
        QVERIFY(received >= 140);
        // The last report a lost board leaves is no reading.
        rig.board.unplug();
        rig.runFor(20);
        QVERIFY(!rig.drv.IsConnected());
        QCOMPARE(reports.count(), received + 1);

        // Stopped from the other page's button.
        rig.autoControlButton()->click();
        for (QPushButton *button : {rig.logChartsButton(), rig.autoControlButton()}) {
            QVERIFY(!button->isChecked());
            QCOMPARE(button->text(), QStringLiteral("Record…"));
        }
        QCOMPARE(rig.shownOf(QStringLiteral("warning")), QStringList());

        const QList<QStringList> records = readCsvFile(path + QStringLiteral(".csv"));
        QCOMPARE(records.size(), 1 + received);
        QCOMPARE(records[0].size(), 22);
        QVERIFY(rig.logged().contains(QStringLiteral("Recording started: ") + path + QStringLiteral(".csv")));
        QVERIFY(rig.logged().contains(QStringLiteral("Recording stopped: %1.csv, %2 rows").arg(path).arg(received)));

        // The last row is what the status panel showed of the last reading.
        const QStringList &last = records.last();
        // (the panel shows one decimal, the file three)
        QVERIFY(qAbs(last[ColFilteredVoltage].toDouble() - rig.w<QLCDNumber>("lcdVoltage")->value()) <= 0.0501);
        QVERIFY(qAbs(last[ColFilteredTemperature].toDouble() - rig.w<QLCDNumber>("lcdTemperature")->value()) <= 0.0501);
        QVERIFY(last[ColFilteredVoltage].toDouble() > 20);
        QCOMPARE(last[ColStateText], rig.w<QLabel>("lblDriverStatus")->text());
        QCOMPARE(last[ColStateText], QStringLiteral("Driver Active"));
        QCOMPARE(last[ColPosition].toInt(), rig.w<QSpinBox>("sbCurPos")->value());
        QCOMPARE(last[ColPosition], QStringLiteral("4321"));
        QCOMPARE(last[ColInputSleep], QStringLiteral("1"));
        QCOMPARE(last[ColFlags], QStringLiteral("0x00"));
        QCOMPARE(last[ColMode], QStringLiteral("1"));
        // Times: the wall clock's, and seconds since the start.
        QVERIFY(records[1][ColElapsed].toDouble() >= 0 && records[1][ColElapsed].toDouble() <= 0.03);
        const qint64 lastMs = qint64(last[ColElapsed].toDouble() * 1000 + 0.5);
        QCOMPARE(QDateTime::fromString(last[ColTime], Qt::ISODateWithMs),
                 WallStart.addMSecs(startMs + lastMs - 1000)); // the manual clock starts at 1000
        QVERIFY(lastMs > 2900 && lastMs <= 3000);
    }

    void recordingThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing folder") << QStringLiteral("no/such/folder/rec.csv");
        QTest::newRow("a folder") << QStringLiteral("taken.csv");
    }
    void recordingThatCannotBeWritten()
    {
        QFETCH(QString, path);
        RecordingRig rig;
        QVERIFY(QDir().mkpath(QStringLiteral("taken.csv")));
        rig.connectBoard();
        rig.dialogs.files << path;
        rig.autoControlButton()->click();

        QCOMPARE(rig.shownOf(QStringLiteral("warning")), QStringList({QStringLiteral("Recording not started")}));
        QVERIFY(rig.dialogs.shown.last().text.contains(QDir::toNativeSeparators(path)));
        QVERIFY(rig.logged()
                    .value(rig.logged().size() - 1)
                    .startsWith(QStringLiteral("Recording not started: cannot write ") + path));
        for (QPushButton *button : {rig.logChartsButton(), rig.autoControlButton()}) {
            QVERIFY(!button->isChecked());
            QCOMPARE(button->text(), QStringLiteral("Record…"));
        }
        // The tool goes on showing live data, and can record elsewhere.
        const int before = rig.drv.RTData.RTSampleCounter;
        rig.runFor(200);
        QVERIFY(rig.drv.IsConnected());
        QVERIFY(rig.drv.RTData.RTSampleCounter >= before + 9);
        rig.dialogs.files << rig.dir.filePath(QStringLiteral("ok.csv"));
        rig.logChartsButton()->click();
        QVERIFY(rig.recording->recorder().isRecording());
        QCOMPARE(rig.shownOf(QStringLiteral("warning")).size(), 1);
    }

    void diskFillingUpStopsTheRecordingWithOneMessage()
    {
        RecordingRig rig;
        rig.connectBoard();
        // A recording onto a medium that fills up after two seconds of rows.
        QByteArray store;
        qint64 limit = 1 << 30;
        QVERIFY(rig.recording->recorder().start(std::make_unique<FillingDevice>(&store, &limit),
                                                QStringLiteral("stick.csv"), nullptr));
        rig.runFor(2000);
        QVERIFY(rig.recording->recorder().waitUntilWritten());
        const QByteArray written = store;
        limit = written.size() + 100;
        rig.runFor(2000);
        // The writing thread may not have had its turn yet on a busy machine.
        rig.recording->recorder().waitUntilWritten();

        QVERIFY(!rig.recording->recorder().isRecording());
        QCOMPARE(rig.shownOf(QStringLiteral("warning")), QStringList({QStringLiteral("Recording stopped")}));
        QVERIFY(rig.dialogs.shown.last().text.contains(QStringLiteral("No space left on device")));
        QVERIFY(rig.logged().contains(
            QStringLiteral("Recording stopped: writing stick.csv failed: No space left on device")));
        for (QPushButton *button : {rig.logChartsButton(), rig.autoControlButton()}) {
            QVERIFY(!button->isChecked());
            QCOMPARE(button->text(), QStringLiteral("Record…"));
        }
        // What was written stays as it was.
        QCOMPARE(store, written);
        QVERIFY(readCsv(store).size() > 40);
        // The live display goes on.
        QVERIFY(rig.drv.IsConnected());
        const int counted = rig.drv.RTData.RTSampleCounter;
        rig.runFor(100);
        QVERIFY(rig.drv.RTData.RTSampleCounter > counted);
    }

    void cancelledFileChoiceRecordsNothing()
    {
        RecordingRig rig;
        rig.connectBoard();
        rig.logChartsButton()->click(); // no file scripted: cancelled
        QCOMPARE(rig.shownOf(QStringLiteral("save")), QStringList({QStringLiteral("Record live data")}));
        QVERIFY(!rig.recording->recorder().isRecording());
        QVERIFY(!rig.logChartsButton()->isChecked());
        QCOMPARE(rig.shownOf(QStringLiteral("warning")), QStringList());
    }

    // ---- Fault black box ----

    void injectedFaultLeavesOneRecord()
    {
        RecordingRig rig;
        rig.connectBoard();
        rig.runFor(20000);
        QVERIFY(rig.faultFiles().isEmpty());

        rig.board.model.faultFlags = 0x02;
        const qint64 faultMs = rig.clock.now;
        rig.runFor(4900);
        QVERIFY(rig.faultFiles().isEmpty());
        rig.runFor(200);
        QCOMPARE(rig.faultFiles().size(), 1);
        const QString file = QStringLiteral("faults/") + rig.faultFiles().first();
        // Named after the report that showed it, at most one report period
        // after the board raised it.
        const auto nameAt = [](qint64 ms) {
            return QStringLiteral("faults/fault-") +
                   WallStart.addMSecs(ms - 1000).toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".csv");
        };
        QVERIFY2(file == nameAt(faultMs) || file == nameAt(faultMs + 20), qPrintable(file));
        QVERIFY(rig.logged().contains(QStringLiteral("Fault record saved: ") + file));

        // The 20 s before the fault (all there was) and the 5 s after it.
        const QList<QStringList> records = readCsvFile(rig.dir.filePath(file));
        int before = 0, after = 0;
        for (int i = 1; i < records.size(); ++i)
            (records[i][ColFlags] == QLatin1String("0x00") ? before : after) += 1;
        QVERIFY2(before >= 990 && before <= 1001, qPrintable(QString::number(before)));
        QVERIFY2(after >= 249 && after <= 251, qPrintable(QString::number(after)));
        QCOMPARE(records[before + 1][ColFlags], QStringLiteral("0x02"));

        // Reset and a new fault 8 s after the first: no second record.
        rig.drv.ResetFaults();
        rig.runFor(2500);
        QCOMPARE(rig.drv.RTData.FaultFlags, 0);
        rig.board.model.faultFlags = 0x04;
        rig.runFor(10000);
        QCOMPARE(rig.faultFiles().size(), 1);
    }

    // ---- Chart export ----

    void chartImageExport_data()
    {
        QTest::addColumn<QString>("chart");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("scale"); // 0: a PDF
        QTest::newRow("temperature PNG") << "TempPlot"
                                         << "Save image…"
                                         << "t.png" << 1;
        QTest::newRow("no suffix is PNG") << "TempPlot"
                                          << "Save image…"
                                          << "t" << 1;
        QTest::newRow("position double size") << "PositionPlot"
                                              << "Save image at double size…"
                                              << "p.png" << 2;
        QTest::newRow("position PDF") << "PositionPlot"
                                      << "Save image…"
                                      << "p.pdf" << 0;
    }
    void chartImageExport()
    {
        QFETCH(QString, chart);
        QFETCH(QString, action);
        QFETCH(QString, file);
        QFETCH(int, scale);
        RecordingRig rig;
        QCustomPlot *plot = rig.w<QCustomPlot>(chart.toLatin1().constData());
        plot->resize(500, 300);
        const QString path = rig.dir.filePath(file);
        rig.dialogs.files << path;
        triggerMenu(plot, action);

        QCOMPARE(rig.shownOf(QStringLiteral("warning")), QStringList());
        const QString saved = QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".png") : path;
        if (scale == 0) {
            QFile pdf(saved);
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            QVERIFY(pdf.read(5) == "%PDF-");
        } else {
            QImage image;
            QVERIFY(image.load(saved, "PNG"));
            QCOMPARE(image.size(), QSize(500, 300) * scale);
        }
        QVERIFY(rig.logged().contains(QStringLiteral("Chart image saved: ") + saved));
    }

    void chartDataExportHoldsEveryPoint()
    {
        RecordingRig rig;
        RTDataRecord &rt = rig.drv.RTData;
        rt.MotorPowerOK = true;
        for (int i = 1; i <= 2; ++i) {
            rt.FilteredTemperature = 30 + i * 0.5;
            rt.MotorCurrent = 0.1 * i;
            rt.FilteredVoltage = 24 + i;
            rig.clock.advance(1234);
            rig.announceLive(20); // one point triple on the 20th
        }
        QCustomPlot *plot = rig.w<QCustomPlot>("TempPlot");
        LiveChart *chart = nullptr;
        for (LiveChart *c : rig.window->findChildren<LiveChart *>())
            if (c->plot() == plot)
                chart = c;
        QVERIFY(chart);
        chart->addPoint(0, 9.5, -1.25); // the temperature graph one longer

        const QString path = rig.dir.filePath(QStringLiteral("data.csv"));
        rig.dialogs.files << path;
        triggerMenu(plot, QStringLiteral("Save data…"));
        const QList<QStringList> records = readCsvFile(path);
        QCOMPARE(records.size(), 4);
        QCOMPARE(records[0], QStringList({"Temperature: elapsed / s", "Temperature", "Current: elapsed / s", "Current",
                                          "Voltage: elapsed / s", "Voltage"}));
        QCOMPARE(records[1], QStringList({"1.234", "30.5", "1.234", "0.1", "1.234", "25"}));
        QCOMPARE(records[2], QStringList({"2.468", "31", "2.468", "0.2", "2.468", "26"}));
        QCOMPARE(records[3], QStringList({"9.500", "-1.25", "", "", "", ""}));
        QVERIFY(rig.logged().contains(QStringLiteral("Chart data saved: ") + path));
    }

    void chartExportThatFails()
    {
        RecordingRig rig;
        rig.dialogs.files << rig.dir.filePath(QStringLiteral("missing/t.png"))
                          << rig.dir.filePath(QStringLiteral("missing/t.csv"));
        QCustomPlot *plot = rig.w<QCustomPlot>("TempPlot");
        triggerMenu(plot, QStringLiteral("Save image…"));
        triggerMenu(plot, QStringLiteral("Save data…"));
        QCOMPARE(rig.shownOf(QStringLiteral("warning")),
                 QStringList({QStringLiteral("Error saving image"), QStringLiteral("Error saving data")}));
    }

private:
    // Opens the chart's context menu as a right click does and picks the
    // action with this text.
    static void triggerMenu(QCustomPlot *plot, const QString &text)
    {
        emit plot->customContextMenuRequested(QPoint(20, 20));
        QMenu *menu = plot->findChildren<QMenu *>().value(0);
        QVERIFY(menu);
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == text)
                chosen = action;
        QVERIFY2(chosen, qPrintable(text));
        menu->close();
        chosen->trigger();
        delete menu;
    }
};

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
