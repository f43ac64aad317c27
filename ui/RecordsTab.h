#pragma once

#include "record/RecordingLoader.h"
#include "ui/ChartCursors.h"

#include <QHash>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QStringList>

class ElapsedTimeTicker;
class LiveChart;
class Logger;
class QListWidgetItem;
class QTreeWidgetItem;
class ReportedSettings;
class UpdateSnapshots;
class TorvanDRV;
namespace Ui {
class RecordsPage;
}

// The "Records" page: what was recorded, looked at without the board.
// - The fault records of faults/ in the working folder, newest first, with
//   their time, the texts of the fault and how long they run; a record
//   shows as soon as the black box wrote it (faultRecordSaved), its texts
//   and duration once read, off the window's thread.
// - The recordings opened (or made with "Record…") recently, newest first,
//   kept in RecentListFile in the working folder.
// - Double-click or Enter on either list, "Open recording…" or
//   open() shows a file in the page's two charts (temperature, current and
//   voltage; position and speed): the same level-of-detail drawing, export
//   menu, zoom and pan as the live charts, one time axis in the file's own
//   times of day, two cursors over both, and a fault record's fault marked.
//   The file is read on a thread of its own with a progress bar and
//   "Cancel"; a file that cannot be shown says why, naming the file (and the
//   line and column), and rows that cannot be read are skipped and counted.
class RecordsTab : public QObject
{
    Q_OBJECT
public:
    static constexpr int RecentCount = 10;
    static inline const QString RecentListFile = QStringLiteral("recent-recordings.txt");
    // The fault records listed at most, newest first.
    static constexpr int MaxListed = 200;

    // device supplies the operator dialogs; device and logger must outlive
    // this. form is the page's form, built.
    RecordsTab(TorvanDRV &device, Logger *logger, Ui::RecordsPage &form, QObject *parent);

    // Shows the file at path in the charts, reading it in the background.
    void open(const QString &path);
    // Puts path first in the recent recordings.
    void addRecent(const QString &path);
    QStringList recentRecordings() const { return recent; }

    // Lists the fault records in the folder as it is now.
    void refreshFaultRecords();
    // Reads what the fault record list still waits for, on this thread
    // (for tests).
    void waitForFaultSummaries();

    RecordingLoader &loader() { return fileLoader; }
    LiveChart *temperatureChart() const { return tempChart; }
    LiveChart *positionChart() const { return posChart; }
    ChartCursors *cursors() const { return chartCursors; }
    // The key of the fault marked on the charts; false when none is.
    bool faultMark(double *key) const;

    // The connected board's settings snapshots (before firmware updates),
    // newest first, each to compare with what the board reported or to
    // restore.
    void attachSnapshots(UpdateSnapshots *snapshots, ReportedSettings *reported);
    void refreshSnapshots();
    QStringList snapshotFiles() const { return snapshotPaths; }

public slots:
    void faultRecordSaved(const QString &path);
    // "Open recording…": asks for a file and opens it.
    void chooseAndOpen();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void compareSnapshot();
    void restoreSnapshot();
    void rowsArrived();
    void loadProgress(qint64 read, qint64 total);
    void loadFinished();
    void summaryFinished();
    void alignPlotAreas();

private:
    struct Summary
    {
        bool read = false;
        QString faults, duration, tip;
    };

    void setUpCharts();
    void fitAxes();
    void markFault(double key, const QString &text);
    void showTimes(const RecordingInfo &info);
    void showLoading(bool loading);
    void fillFaultList();
    void startNextSummary();
    void loadRecent();
    void showRecent();
    void log(const QString &text);

    TorvanDRV &device;
    QPointer<Logger> logger;
    Ui::RecordsPage &form;
    LiveChart *tempChart = nullptr;
    LiveChart *posChart = nullptr;
    ChartCursors *chartCursors = nullptr;
    QList<ElapsedTimeTicker *> tickers;
    QList<TimeMark> faultMarks;
    QMargins startMargins;
    double faultKey = 0;
    bool firstBatch = true;
    RecordingLoader fileLoader;

    QStringList faultFiles; // listed, newest first
    QHash<QString, Summary> summaries;
    QStringList unread; // waiting for the summary loader
    RecordingLoader summaryLoader;

    QStringList recent;

    UpdateSnapshots *snapshots = nullptr;
    ReportedSettings *reported = nullptr;
    QStringList snapshotPaths; // listed, newest first
};
