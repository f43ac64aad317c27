#include "ui/RecordsTab.h"

#include "config/ReportedSettings.h"
#include "config/SettingsFile.h"
#include "firmware/UpdateSnapshots.h"
#include "ui/SettingsCompareDialog.h"

#include "device/StatusTexts.h"
#include "device/TorvanDRV.h"
#include "log/Logger.h"
#include "ui/ChartCursors.h"
#include "ui/ChartExport.h"
#include "ui/ChartSetup.h"
#include "ui/ElapsedTimeTicker.h"
#include "ui/LiveChart.h"
#include "ui/LiveChartTools.h"
#include "ui/Recording.h"
#include "ui_RecordsPage.h"

#include <qcustomplot.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QSaveFile>

#include <cmath>

namespace {

const QColor FaultColor(200, 0, 0);

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The graphs of a recording: what the live charts show of its columns.
enum TempGraph { TempTemperature, TempCurrent, TempVoltage };
enum PosGraph { PosPosition, PosSpeed };

// How a fault shows in the list and the status line (translated) or the
// log: its texts, or its bits when the board set only ones without a text.
QString faultText(int flags, bool translated = true)
{
    QStringList texts = FaultTexts(flags);
    if (texts.isEmpty()) {
        const QString bits = QString::asprintf("0x%02X", unsigned(flags));
        return translated ? RecordsTab::tr("fault flags %1").arg(bits) : QStringLiteral("fault flags ") + bits;
    }
    if (translated)
        for (QString &text : texts)
            text = TranslatedStatusText(text);
    return texts.join(QStringLiteral("; "));
}

// The time of day (seconds since local midnight) at the file's elapsed 0,
// when its time cells tell; not a number otherwise.
double dayOrigin(const RecordingInfo &info)
{
    if (!info.hasWallTime)
        return qQNaN();
    qint64 localMs = (info.wallAtZeroMs + info.utcOffsetS * 1000LL) % 86400000;
    if (localMs < 0)
        localMs += 86400000;
    return localMs / 1000.0;
}

} // namespace

RecordsTab::RecordsTab(TorvanDRV &device, Logger *logger, Ui::RecordsPage &form, QObject *parent)
    : QObject(parent), device(device), logger(logger), form(form)
{
    setUpCharts();
    setUpCursorControls(form.cbCursorsRecord, form.lblCursorsRecord, tr("recorded charts"));
    chartCursors = new ChartCursors({tempChart, posChart}, form.cbCursorsRecord, form.lblCursorsRecord, this);

    connect(form.btnOpenRecording, &QPushButton::clicked, this, &RecordsTab::chooseAndOpen);
    connect(form.btnCancelRecordLoad, &QPushButton::clicked, &fileLoader, &RecordingLoader::cancel);
    connect(form.twFaultRecords, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { open(item->data(0, Qt::UserRole).toString()); });
    connect(form.lwRecentRecordings, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { open(item->data(Qt::UserRole).toString()); });
    connect(&fileLoader, &RecordingLoader::rowsReady, this, &RecordsTab::rowsArrived);
    connect(&fileLoader, &RecordingLoader::progress, this, &RecordsTab::loadProgress);
    connect(&fileLoader, &RecordingLoader::finished, this, &RecordsTab::loadFinished);
    connect(&summaryLoader, &RecordingLoader::finished, this, &RecordsTab::summaryFinished);
    showLoading(false);

    // Records written meanwhile by another copy of the tool show when the
    // page does.
    if (QWidget *page = form.twFaultRecords->parentWidget())
        page->installEventFilter(this);
    // The faults take what the time and the length leave.
    QHeaderView *header = form.twFaultRecords->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    loadRecent();
    showRecent();
    refreshFaultRecords();
}

void RecordsTab::setUpCharts()
{
    tempChart = new LiveChart(form.RecordTempPlot, this);
    setUpTemperatureChart(tempChart, form.RecordTempPlot->font());
    // Fitted to the file's values, not grown from 0 to 100 and 0 to 10 as a
    // live chart is: ticks of any step.
    for (QCPAxis *axis : {form.RecordTempPlot->yAxis, form.RecordTempPlot->yAxis2})
        axis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));

    QCustomPlot *pos = form.RecordPosPlot;
    posChart = new LiveChart(pos, this);
    posChart->addGraph();
    pos->graph(PosPosition)->setPen(QPen(Qt::red));
    pos->graph(PosPosition)->setName(QCoreApplication::translate("MainWindow", "Actual position"));
    posChart->addGraph(pos->xAxis, pos->yAxis2);
    pos->graph(PosSpeed)->setPen(QPen(Qt::green));
    pos->graph(PosSpeed)->setName(QCoreApplication::translate("MainWindow", "Speed"));
    pos->yAxis->setLabel(QCoreApplication::translate("MainWindow", "Position / steps"));
    pos->yAxis2->setLabel(QCoreApplication::translate("MainWindow", "Speed / steps/s"));
    setUpCommonChart(pos, pos->font());

    for (LiveChart *chart : {tempChart, posChart}) {
        QCustomPlot *plot = chart->plot();
        new ChartExport(chart, device, logger, this);
        tickers << static_cast<ElapsedTimeTicker *>(plot->xAxis->ticker().data());
        faultMarks << TimeMark::make(plot, tr("Fault"), FaultColor, false);
        faultMarks.last().line->setPen(QPen(FaultColor, 2));
    }
    // One time axis: a zoom or a pan of either chart moves both, and their
    // plot areas line up, so that a time is at the same place in both.
    QCustomPlot *temp = tempChart->plot();
    startMargins = temp->axisRect()->minimumMargins();
    for (QCustomPlot *plot : {temp, pos})
        connect(plot, &QCustomPlot::afterReplot, this, &RecordsTab::alignPlotAreas);
    for (auto [from, to] : {std::make_pair(temp, pos), std::make_pair(pos, temp)}) {
        QCustomPlot *other = to;
        connect(from->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), other, [other](const QCPRange &r) {
            if (other->xAxis->range() == r)
                return;
            other->xAxis->setRange(r);
            other->replot(QCustomPlot::rpQueuedReplot);
        });
    }
}

void RecordsTab::alignPlotAreas()
{
    // Each chart makes room for its own tick labels; the wider of the two
    // sets the least room for both.
    QCPAxisRect *a = tempChart->plot()->axisRect(), *b = posChart->plot()->axisRect();
    const int left = std::max(a->margins().left(), b->margins().left());
    const int right = std::max(a->margins().right(), b->margins().right());
    for (QCPAxisRect *rect : {a, b}) {
        QMargins wanted = rect->minimumMargins();
        wanted.setLeft(left);
        wanted.setRight(right);
        if (rect->minimumMargins() == wanted)
            continue;
        rect->setMinimumMargins(wanted);
        rect->parentPlot()->replot(QCustomPlot::rpQueuedReplot);
    }
}

void RecordsTab::open(const QString &path)
{
    if (path.isEmpty())
        return;
    form.cbCursorsRecord->setChecked(false);
    for (LiveChart *chart : {tempChart, posChart}) {
        for (int g = 0; g < chart->plot()->graphCount(); ++g)
            chart->clearGraph(g);
    }
    markFault(qQNaN(), QString());
    showTimes(RecordingInfo());
    // The plot areas line up anew for the new file's tick labels.
    for (LiveChart *chart : {tempChart, posChart})
        chart->plot()->axisRect()->setMinimumMargins(startMargins);
    firstBatch = true;
    form.lblRecordStatus->setText(tr("Reading %1…").arg(native(path)));
    showLoading(true);
    fileLoader.start(path);
    for (LiveChart *chart : {tempChart, posChart})
        chart->plot()->replot(QCustomPlot::rpQueuedReplot);
}

void RecordsTab::chooseAndOpen()
{
    OperatorDialogs *dialogs = device.Dialogs();
    if (!dialogs)
        return;
    open(dialogs->openFileName(tr("Open recording"), QString(), tr("CSV files (*.csv);;All files (*)")));
}

void RecordsTab::rowsArrived()
{
    const std::vector<RecordedRow> rows = fileLoader.takeRows();
    for (const RecordedRow &row : rows) {
        tempChart->addPoint(TempTemperature, row.elapsed, row.temperature);
        tempChart->addPoint(TempCurrent, row.elapsed, row.current);
        tempChart->addPoint(TempVoltage, row.elapsed, row.voltage);
        posChart->addPoint(PosPosition, row.elapsed, row.position);
        posChart->addPoint(PosSpeed, row.elapsed, row.speed);
    }
    // The first rows at once, in full view; the rest widen it as they come.
    if (firstBatch) {
        firstBatch = false;
        fitAxes();
    } else {
        for (LiveChart *chart : {tempChart, posChart})
            for (int g = 0; g < chart->plot()->graphCount(); ++g)
                chart->enlargeAxesToGraph(g);
    }
    tempChart->requestReplot();
    posChart->requestReplot();
}

void RecordsTab::loadProgress(qint64 read, qint64 total)
{
    if (total <= 0) {
        form.pbRecordLoad->setRange(0, 0); // size unknown: busy
        return;
    }
    form.pbRecordLoad->setRange(0, 1000);
    form.pbRecordLoad->setValue(int(std::min<qint64>(1000, read * 1000 / total)));
}

void RecordsTab::loadFinished()
{
    const RecordingInfo &info = fileLoader.info();
    showLoading(false);
    if (!info.error.isEmpty()) {
        form.lblRecordStatus->setText(info.message(true));
        log(QStringLiteral("Recording not opened: ") + info.error);
        if (OperatorDialogs *dialogs = device.Dialogs())
            dialogs->warning(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Cannot open the recording")),
                             info.message(true));
        return;
    }
    showTimes(info);
    QString text = info.message(true);
    QString logged = info.message();
    const int fault = info.recordedFault();
    if (fault >= 0) {
        const RecordedFault &f = info.faults[size_t(fault)];
        const double origin = dayOrigin(info);
        const QString at = std::isfinite(origin) ? ElapsedTimeTicker::timeOfDayLabel(origin + f.elapsed, 3)
                                                 : ElapsedTimeTicker::label(f.elapsed, 3);
        markFault(f.elapsed, faultText(f.flags));
        text += tr("; fault at %1: %2").arg(at, faultText(f.flags));
        logged += QStringLiteral("; fault at %1: %2").arg(at, faultText(f.flags, false));
    }
    form.lblRecordStatus->setText(text);
    log(QStringLiteral("Recording opened: ") + logged);
    fitAxes();
    tempChart->requestReplot();
    posChart->requestReplot();
    if (RecordingInfo::faultRecordStamp(info.path).isEmpty())
        addRecent(info.path);
}

void RecordsTab::fitAxes()
{
    QCPRange keys;
    bool anyKeys = false;
    QHash<QCPAxis *, QCPRange> values;
    for (LiveChart *chart : {tempChart, posChart}) {
        for (int g = 0; g < chart->plot()->graphCount(); ++g) {
            QCPRange k, v;
            if (!chart->dataBounds(g, &k, &v))
                continue;
            if (anyKeys)
                keys.expand(k);
            else
                keys = k;
            anyKeys = true;
            QCPAxis *axis = chart->plot()->graph(g)->valueAxis();
            if (values.contains(axis))
                values[axis].expand(v);
            else
                values.insert(axis, v);
        }
    }
    if (!anyKeys)
        return;
    // A little room above and below the lines; a single value or time gets
    // some around it.
    const auto widened = [](QCPRange r, double margin) {
        const double pad = r.size() > 0 ? r.size() * margin : std::max(1.0, std::abs(r.lower) * 0.1);
        return QCPRange(r.lower - pad, r.upper + pad);
    };
    for (auto it = values.begin(); it != values.end(); ++it)
        it.key()->setRange(widened(it.value(), 0.05));
    const QCPRange time = keys.size() > 0 ? keys : widened(keys, 0);
    tempChart->plot()->xAxis->setRange(time);
    posChart->plot()->xAxis->setRange(time);
}

void RecordsTab::markFault(double key, const QString &text)
{
    faultKey = key;
    for (TimeMark &mark : faultMarks) {
        mark.showAt(key);
        mark.line->parentPlot()->setToolTip(std::isfinite(key) ? tr("Fault: %1").arg(text) : QString());
    }
}

bool RecordsTab::faultMark(double *key) const
{
    if (!std::isfinite(faultKey))
        return false;
    *key = faultKey;
    return true;
}

void RecordsTab::showTimes(const RecordingInfo &info)
{
    const double origin = dayOrigin(info);
    const bool ofDay = std::isfinite(origin);
    for (ElapsedTimeTicker *ticker : tickers)
        ticker->setTimeOfDay(origin);
    for (LiveChart *chart : {tempChart, posChart})
        chart->plot()->xAxis->setLabel(ofDay ? tr("time of day / hh:mm:ss")
                                             : QCoreApplication::translate("Charts", "time / mm:ss"));
    if (ofDay)
        chartCursors->setTimeText([origin](double key) { return ElapsedTimeTicker::timeOfDayLabel(origin + key, 3); });
    else
        chartCursors->setTimeText([](double key) { return ElapsedTimeTicker::label(key, 3); });
}

void RecordsTab::showLoading(bool loading)
{
    form.pbRecordLoad->setRange(0, 1000);
    form.pbRecordLoad->setValue(0);
    form.pbRecordLoad->setVisible(loading);
    form.btnCancelRecordLoad->setVisible(loading);
}

// ---------------------------------------------------------------------------
// Fault records

void RecordsTab::faultRecordSaved(const QString &)
{
    refreshFaultRecords();
}

void RecordsTab::refreshFaultRecords()
{
    const QDir dir(LiveRecording::FaultFolder);
    faultFiles.clear();
    // The names carry the time: in reverse order of them, the newest first.
    for (const QString &name :
         dir.entryList({QStringLiteral("fault-*.csv")}, QDir::Files, QDir::Name | QDir::Reversed)) {
        if (RecordingInfo::faultRecordStamp(name).isEmpty())
            continue;
        faultFiles << dir.filePath(name);
        if (faultFiles.size() >= MaxListed)
            break;
    }
    for (auto it = summaries.begin(); it != summaries.end();)
        it = faultFiles.contains(it.key()) ? std::next(it) : summaries.erase(it);
    unread.clear();
    for (const QString &path : faultFiles)
        if (!summaries.contains(path) && !(summaryLoader.isRunning() && summaryLoader.info().path == path))
            unread << path;
    fillFaultList();
    startNextSummary();
}

void RecordsTab::fillFaultList()
{
    QTreeWidget *tree = form.twFaultRecords;
    const QString current = tree->currentItem() ? tree->currentItem()->data(0, Qt::UserRole).toString() : QString();
    tree->clear();
    for (const QString &path : faultFiles) {
        auto *item = new QTreeWidgetItem(tree);
        const QDateTime at =
            QDateTime::fromString(RecordingInfo::faultRecordStamp(path), QStringLiteral("yyyyMMdd-HHmmss"));
        item->setText(0, at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        item->setData(0, Qt::UserRole, path);
        const Summary summary = summaries.value(path);
        item->setText(1, summary.read ? summary.faults : tr("reading…"));
        item->setText(2, summary.duration);
        for (int column = 0; column < 3; ++column)
            item->setToolTip(column, summary.tip.isEmpty() ? native(path) : summary.tip);
        if (path == current)
            tree->setCurrentItem(item);
    }
}

void RecordsTab::startNextSummary()
{
    if (summaryLoader.isRunning() || unread.isEmpty())
        return;
    summaryLoader.start(unread.takeFirst(), false);
}

void RecordsTab::summaryFinished()
{
    const RecordingInfo &info = summaryLoader.info();
    if (faultFiles.contains(info.path)) {
        Summary summary;
        summary.read = true;
        if (!info.error.isEmpty()) {
            summary.faults = tr("cannot be read");
            summary.tip = info.message(true);
        } else {
            const int fault = info.recordedFault();
            summary.faults = fault >= 0 ? faultText(info.faults[size_t(fault)].flags) : tr("no fault");
            summary.duration = tr("%1 s").arg(QString::number(info.duration(), 'f', 1));
            summary.tip = info.message(true);
        }
        summaries.insert(info.path, summary);
        fillFaultList();
    }
    startNextSummary();
}

void RecordsTab::waitForFaultSummaries()
{
    while (summaryLoader.isRunning())
        summaryLoader.waitUntilDone(); // the next one starts when one finishes
}

bool RecordsTab::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched == form.twFaultRecords->parentWidget())
        refreshFaultRecords();
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Recent recordings

void RecordsTab::loadRecent()
{
    // The list is the tool's own file, but read as any file: bounded.
    QFile file(RecentListFile);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
        return;
    while (!file.atEnd() && recent.size() < RecentCount) {
        const QString path = QString::fromUtf8(file.readLine(4096)).trimmed();
        if (!path.isEmpty() && !recent.contains(path))
            recent << path;
    }
}

void RecordsTab::addRecent(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > RecentCount)
        recent.removeLast();
    showRecent();
    // A list that cannot be kept is no loss: the files stay where they are.
    QSaveFile file(RecentListFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(recent.join(QLatin1Char('\n')).toUtf8() + '\n');
        file.commit();
    }
}

void RecordsTab::showRecent()
{
    QListWidget *list = form.lwRecentRecordings;
    list->clear();
    for (const QString &path : recent) {
        auto *item = new QListWidgetItem(QFileInfo(path).fileName(), list);
        item->setToolTip(native(path));
        item->setData(Qt::UserRole, path);
    }
}

void RecordsTab::log(const QString &text)
{
    if (logger)
        logger->write(text);
}

// ---------------------------------------------------------------------------
// Settings snapshots

void RecordsTab::attachSnapshots(UpdateSnapshots *kept, ReportedSettings *board)
{
    snapshots = kept;
    reported = board;
    connect(form.btnCompareSnapshot, &QPushButton::clicked, this, &RecordsTab::compareSnapshot);
    connect(form.btnRestoreSnapshot, &QPushButton::clicked, this, &RecordsTab::restoreSnapshot);
    connect(&device, &TorvanDRV::newDriverInfoAvailable, this, &RecordsTab::refreshSnapshots);
    connect(snapshots, &UpdateSnapshots::snapshotTaken, this, &RecordsTab::refreshSnapshots);
    connect(snapshots, &UpdateSnapshots::compared, this, &RecordsTab::refreshSnapshots);
    refreshSnapshots();
}

void RecordsTab::refreshSnapshots()
{
    const QString chosen =
        form.lwSnapshots->currentRow() >= 0 ? snapshotPaths.value(form.lwSnapshots->currentRow()) : QString();
    snapshotPaths = snapshots && device.IsConnected() ? snapshots->snapshots(device.SerialString()) : QStringList();
    form.lwSnapshots->clear();
    const QString pending = snapshots ? snapshots->pending(device.SerialString()) : QString();
    for (const QString &path : snapshotPaths) {
        const QString name = QFileInfo(path).fileName();
        auto *item = new QListWidgetItem(path == pending ? tr("%1 (before an unfinished update)").arg(name) : name);
        item->setToolTip(path);
        form.lwSnapshots->addItem(item);
    }
    form.lwSnapshots->setCurrentRow(qMax(0, int(snapshotPaths.indexOf(chosen))));
    const bool any = !snapshotPaths.isEmpty();
    form.btnCompareSnapshot->setEnabled(any);
    form.btnRestoreSnapshot->setEnabled(any);
}

void RecordsTab::compareSnapshot()
{
    const QString path = snapshotPaths.value(form.lwSnapshots->currentRow());
    if (path.isEmpty() || !reported)
        return;
    QString refusal;
    SettingsFile::LoadRules rules;
    rules.developerCurrents = true; // a snapshot holds what the board held
    const QVariantMap values = SettingsFile::ReadValues(path, refusal);
    const SettingsDiff::Side before =
        refusal.isEmpty() ? SettingsDiff::fromFile(values, rules, &refusal) : SettingsDiff::Side();
    OperatorDialogs *dialogs = device.Dialogs();
    if (!refusal.isEmpty() || !reported->complete()) {
        const QString why = refusal.isEmpty() ? QStringLiteral("the board has not reported its settings") : refusal;
        log(QStringLiteral("Snapshot not compared: %1 (%2).").arg(path, why));
        if (dialogs)
            dialogs->notice(
                QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Compare settings")),
                tr("%1 cannot be compared: %2.")
                    .arg(path, refusal.isEmpty() ? tr("the board has not reported its settings") : refusal));
        return;
    }
    const auto differences = SettingsDiff::compare(before, reported->side());
    auto *dialog = new SettingsCompareDialog(path, differences, tr("Restore"), form.lwSnapshots->window());
    connect(dialog, &QDialog::accepted, this, &RecordsTab::restoreSnapshot);
    dialog->open();
}

void RecordsTab::restoreSnapshot()
{
    const QString path = snapshotPaths.value(form.lwSnapshots->currentRow());
    OperatorDialogs *dialogs = device.Dialogs();
    if (path.isEmpty() || !snapshots || !dialogs)
        return;
    log(QStringLiteral("Write the settings of %1 to the board and save them there?").arg(path));
    const QString title = QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Restore settings"));
    if (!dialogs->ask(title, tr("Write the settings of %1 to the board and save them there?").arg(path)))
        return;
    std::vector<SettingsDiff::Difference> left;
    if (!snapshots->restore(path, left))
        dialogs->notice(title, tr("The settings of %1 were not restored; the log says why.").arg(path));
    else if (!left.empty())
        dialogs->notice(
            title,
            tr("The board did not take %1 of the settings of %2; the log names them.").arg(left.size()).arg(path));
}
