#include "ui/MainWindow.h"

#include "config/DriverControls.h"
#include "config/ReportedSettings.h"
#include "device/TorvanDRV.h"
#include "log/Logger.h"
#include "service/BoardQuestionDialogs.h"
#include "service/BoardService.h"
#include "ui/AppInfo.h"
#include "ui/ChartExport.h"
#include "ui/ChartSetup.h"
#include "ui/LiveChart.h"
#include "ui/LiveChartTools.h"
#include "ui/MainWindowForm.h"
#include "ui/Pictures.h"
#include "ui/PlainTextLogPane.h"
#include "ui/ReadValuesWatch.h"
#include "ui/Recording.h"
#include "ui/RecordsTab.h"
#include "ui/RepaintPacer.h"
#include "ui/SelectionDragGuard.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QTextDocument>

namespace {

const QString MakerSite = QStringLiteral("www.torvan-drives.example");
const QString PartnerSite = QStringLiteral("www.partner.example");

QString visitUs(const QString &site)
{
    return QStringLiteral("<html><head/><body><p align=\"center\">%1 <a href=\"https://%2\"><span style=\" "
                          "text-decoration: underline; color:#0000ff;\">%2</span></a></p></body></html>")
        .arg(QCoreApplication::translate("MainWindow", "Visit us at:"), site);
}

// The partner's build of the pictures carries a logo of exactly this width.
constexpr int PartnerLogoWidth = 2000;

// The temperature chart takes one point triple per this many live reports.
constexpr int TempChartEvery = 20;

// A reading for a four-digit display. The decimal point is drawn small, so it
// takes no digit position and 120.5 fits; a reading too long even so (only a
// faulty board sends one) loses its decimal rather than its leading digits,
// which would show 1234.5 as 234.5.
QString lcdReading(double value)
{
    QString text = QString::asprintf("%0.1f", value);
    if (text.size() - text.count(QLatin1Char('.')) > 4)
        text = QString::asprintf("%0.0f", value);
    return text;
}

// Writers that leave a widget alone when it already shows the value, so
// that it is not repainted for nothing.
void setText(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void setText(QAbstractButton *button, const QString &text)
{
    if (button->text() != text)
        button->setText(text);
}

void setChecked(QAbstractButton *button, bool checked)
{
    if (button->isChecked() != checked)
        button->setChecked(checked);
}

void setValue(QSpinBox *box, int value)
{
    if (box->value() != qBound(box->minimum(), value, box->maximum()))
        box->setValue(value);
}

// A display cannot tell the text it shows: shownText remembers it.
void setLcdText(QLCDNumber *lcd, QString &shownText, const QString &text)
{
    if (shownText == text)
        return;
    lcd->display(text);
    shownText = text;
}

double secondsOf(const ElapsedClock &clock)
{
    return clock.elapsed() / 1000.0;
}

} // namespace

MainWindow::MainWindow(TorvanDRV &device, const MonotonicClock &clock, QWidget *parent)
    : QMainWindow(parent), device(device), ui(new MainWindowForm)
{
    // The form, with every page built in, then the by-name slot wiring once
    // for the whole tree.
    ui->setupUi(this);
    QMetaObject::connectSlotsByName(this);
    // Before anything that reacts to the board's settings (and may change
    // the device object's records) is connected.
    reported = new ReportedSettings(device, this);
    new SelectionDragGuard(this);
    // Live reports change widgets up to a hundred times a second; the
    // window shows them no faster than the screen does.
    pacer = new RepaintPacer(this, clock, RepaintPacer::frameIntervalMs());
    connect(pacer, &RepaintPacer::frameDue, this, [this] {
        if (motionPending)
            writeMotion();
    });

    setWindowTitle(tr("%1 - No device connected").arg(AppVersion));
    ui->lcdTemperature->setEnabled(false);
    ui->lcdVoltage->setEnabled(false);

    ui->pteAbout->appendPlainText(AppVersion);
    ui->lblVisitUs->setTextFormat(Qt::RichText);

    device.TrajectoryData.FinalPosition = 0;
    TrajDataChanged();

    connect(&device, &TorvanDRV::newDriverInfoAvailable, this, &MainWindow::UpdateMainWindowDriverInfo);
    connect(&device, &TorvanDRV::newRTDataAvailable, this, &MainWindow::DisplayRTData);
    connect(&device, &TorvanDRV::newFWProgressValueAvailable, this, &MainWindow::UpdateFWProgressBar);
    connect(&device, &TorvanDRV::newDriverValuesAvailable, this, &MainWindow::DisplayDrvValues);

    ui->frmStatus->hide();
    ui->dialStepSpeed->hide();

    device.StartTimers();

    DeveloperMode = IsDeveloperVersion(AppVersion);
    ShowHideAdvancedControls(DeveloperMode);

    TempChartClock.start(clock);
    PosChartClock.start(clock);

    logPane = std::make_unique<PlainTextLogPane>(ui->pteLog);
    logger = new Logger(this, Logger::defaultFileName(), logPane.get());
    device.SetLogger(logger);
    logger->write(QStringLiteral("Application started: ") + AppVersion);
    readWatch = new ReadValuesWatch(device, clock, logger, this);

    // The window icon and the pictures, read at run time (the form names
    // none), once the log exists, so that one that is missing or broken is
    // named there. The start-up logo replaces the maker's logo when it loads.
    setWindowIcon(loadIcon(QStringLiteral("Torvan-IFU-Graphics2.ico")));
    ui->lblLogo->setPixmap(loadPicture(QStringLiteral("release/TorvanLogo.png")));
    ui->lblLogo_2->setPixmap(loadPicture(QStringLiteral("release/Connection diagram.png")));
    const QPixmap logo = loadPicture(QStringLiteral("release/Logo.png"));
    if (!logo.isNull())
        ui->lblLogo->setPixmap(logo);
    ui->lblVisitUs->setText(visitUs(logo.width() == PartnerLogoWidth ? PartnerSite : MakerSite));
    ui->lblTimingPicture->setPixmap(loadPicture(QStringLiteral("release/Driver timing.png")));

    ui->cbStepMode->clear();
    ui->cbStepMode->addItems(DriverControls::Translated(DriverControls::StepModes()));
    ui->cbDecayMode->clear();
    ui->cbDecayMode->addItems(DriverControls::Translated(DriverControls::DecayModes()));

    initPresets();

    ControlValues2DrvSettings();
    ListValues();
    ConnectToValueChanged(true);
    ConnectToPWMValueChanged(true);
    ControlValues2PWMSettings();
    InitCharts();

    // Live data files: recording, the fault black box, chart export.
    auto *recording = new LiveRecording(device, clock, logger, ui->btnRecord, ui->chartButtonsLayout, this);
    new ChartExport(tempChart, device, logger, this);
    new ChartExport(posChart, device, logger, this);

    // Pause and cursors beside each live chart; the recorded data on the
    // Records page, where each new fault record and recording shows.
    new LiveChartTools(tempChart, QStringLiteral("TempLog"), tr("temperature chart"), ui->logChartsButtonsLayout, 0,
                       ui->logChartsLayout, 1, this);
    new LiveChartTools(posChart, QStringLiteral("PosGraph"), tr("position chart"), ui->chartButtonsLayout, 2,
                       ui->positionControlLayout, 1, this);
    records = new RecordsTab(device, logger, *ui, this);
    connect(&recording->blackBox(), &FaultBlackBox::recordSaved, records, &RecordsTab::faultRecordSaved);
    connect(recording, &LiveRecording::stopped, records, &RecordsTab::addRecent);
}

void MainWindow::attachSnapshots(UpdateSnapshots &snapshots)
{
    records->attachSnapshots(&snapshots, reported);
}

void MainWindow::openRecording(const QString &path)
{
    ui->tabMainTab->setCurrentWidget(ui->tabRecords);
    records->open(path);
}

MainWindow::~MainWindow()
{
    // The device object keeps the dialogs it was given, not the window's
    // wrapper around them.
    if (questionDialogs && device.Dialogs() == questionDialogs.get())
        device.SetDialogs(&questionDialogs->wrapped());
    // The device object lives on after the window: it must not keep logging
    // through a logger that is gone.
    device.SetLogger(nullptr);
    delete logger;
    logger = nullptr;
}

QPixmap MainWindow::loadPicture(const QString &name)
{
    const QString file = picturePath(name);
    const QPixmap picture = readPicture(file, logger);
    pictures.append({name, picture.isNull() ? QString() : file});
    return picture;
}

QIcon MainWindow::loadIcon(const QString &name)
{
    const QString file = picturePath(name);
    QIcon icon(file);
    pictures.append({name, icon.availableSizes().isEmpty() ? QString() : file});
    return icon;
}

// ---------------------------------------------------------------------------
// Frame: developer controls, keys, Status page buttons

void MainWindow::ShowHideAdvancedControls(bool show)
{
    ui->pteRegistersValues->setVisible(show);
    ui->cbAutoApplyChanges->setEnabled(show);
    ui->ptePWMValues->setVisible(show);
    ui->lblTrajCalcTickRate->setVisible(show);
    if (!show)
        ui->cbAutoApplyChanges->setChecked(false);
    ui->cbAutoResetFaultsOnEnableToggle->setVisible(show);
    // Like automatic apply: usable only while shown, and never left acting
    // unseen.
    ui->cbAutoResetFaultsOnEnableToggle->setEnabled(show);
    if (!show)
        ui->cbAutoResetFaultsOnEnableToggle->setChecked(false);
    ui->btnTestBIN1->setVisible(show);
    ui->btnTestBIN2->setVisible(show);
    const double maxCurrent = DriverControls::FullScaleCurrentRange(show).maximum;
    ui->dsbFSCurrent->setMaximum(maxCurrent);
    ui->dsbIdleCurrent->setMaximum(maxCurrent);
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_F12:
        DeveloperMode = !DeveloperMode;
        ShowHideAdvancedControls(DeveloperMode);
        break;
    case Qt::Key_Escape:
        if (device.RTData.OperatingMode == 4)
            device.StopMotion();
        break;
    default:
        break;
    }
}

bool MainWindow::motorMoving() const
{
    const RTDataRecord &rt = device.RTData;
    if (!device.IsConnected())
        return false;
    // DC motors turn while the driver is awake in their mode.
    return rt.CurrentSpeed != 0 || (rt.OperatingMode == 3 && rt.InpSleep);
}

void MainWindow::stopMotor()
{
    switch (device.RTData.OperatingMode) {
    case 2:
        device.SetStepFrequency(0); // the step generator stops only at rate 0
        break;
    case 3:
        on_btnStopPWM_clicked();
        device.SleepDriver();
        break;
    default:
        device.StopMotion(); // the one stop: brakes with the configured deceleration
        break;
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const bool moving = motorMoving();
    const int clients = boardService ? boardService->peerCount() : 0;
    OperatorDialogs *dialogs = device.Dialogs();
    if ((!moving && clients == 0) || !dialogs) {
        QMainWindow::closeEvent(event);
        return;
    }
    QStringList text;
    if (moving)
        text << tr("The motor is moving.");
    if (clients > 0)
        text << (clients == 1 ? tr("1 remote client is connected; closing ends its connection.")
                              : tr("%1 remote clients are connected; closing ends their connections.").arg(clients));
    const QStringList choices =
        moving ? QStringList{tr("Stop the motor and close"), tr("Close and leave it moving"), tr("Cancel")}
               : QStringList{tr("Close"), tr("Cancel")};
    // The title, also what the service tells its clients, stays English
    // until the dialogs show it.
    const QString title = QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Close the window"));
    // A question about the board: the dialogs the window gave the device
    // object hold clients off meanwhile.
    const int choice = dialogs->chooseAmong(title, text.join(QLatin1Char(' ')), choices);
    if (choice < 0 || choice >= choices.size() - 1) {
        logger->write(QStringLiteral("Closing cancelled."));
        event->ignore();
        return;
    }
    QString detail;
    if (moving && choice == 0) {
        stopMotor();
        detail = QStringLiteral("the motor was stopped");
        logger->write(QStringLiteral("Closing: the motor is stopped."));
    } else if (moving) {
        detail = QStringLiteral("the motor was left moving");
        logger->write(QStringLiteral("Closing: the motor is left moving."));
    } else {
        logger->write(QStringLiteral("Closing with remote clients connected."));
    }
    if (boardService)
        boardService->announceClosing(detail);
    QMainWindow::closeEvent(event);
}

void MainWindow::on_btnRunStop_clicked()
{
    // Provisional: the next live report shows the board's real state.
    if (!device.RTData.InpSleep) {
        ui->btnRunStop->setText(tr("Stop"));
        if (ui->cbAutoResetFaultsOnEnableToggle->isChecked())
            device.ResetFaults();
        device.EnableDriver();
    } else {
        ui->btnRunStop->setText(tr("Run"));
        device.SleepDriver();
    }
}

void MainWindow::on_btnSetDefault_clicked()
{
    device.SetStepFrequency(0);
}

// ---------------------------------------------------------------------------
// Firmware tab

void MainWindow::on_btnGetDeviceInfo_clicked()
{
    device.GetDeviceInfo();
}

void MainWindow::on_btnRestart_clicked()
{
    device.RestartDevice();
}

void MainWindow::on_btnFullUpdate_clicked()
{
    device.FullUpdate();
}

void MainWindow::UpdateFWProgressBar()
{
    ui->pbUploadStatus->setValue(device.OutputReport[3] * 128 + device.OutputReport[4]);
    // The update holds the event loop until it ends: paint the bar now.
    pacer->paintNow(ui->pbUploadStatus);
}

// ---------------------------------------------------------------------------
// Live status panel

void MainWindow::DisplayRTData()
{
    RTDataRecord &rt = device.RTData;

    // Every widget is written only when what it shows changes: a write
    // repaints the widget, and most of a report repeats the one before.
    setLcdText(ui->lcdVoltage, shown.voltage, lcdReading(rt.FilteredVoltage));
    setLcdText(ui->lcdTemperature, shown.temperature, lcdReading(rt.FilteredTemperature));
    setText(ui->lblTrajCalcTickRate, tr("TCT rate: %1").arg(rt.TrajTickRate));

    setChecked(ui->cbInpBootloaderOverride, rt.InpBootloaderOverride);
    setChecked(ui->cbInpSleep, rt.InpSleep);
    setText(ui->btnRunStop, rt.InpSleep ? tr("Stop") : tr("Run"));
    setChecked(ui->cbInpStep, rt.InpStep);
    setChecked(ui->cbInpDir, rt.InpDir);
    setChecked(ui->cbInpBin1, rt.InpBin1);
    setChecked(ui->cbInpBin2, rt.InpBin2);
    setChecked(ui->cbInpEndSwitch, rt.InpEndSwitch);

    if (!rt.MotorPowerOK) {
        // Without motor power the last fault stays in the box and the lamp.
        setText(ui->lblFaultsStatus, tr("No motor power available."));
        setText(ui->lblDriverStatus, QString());
    } else {
        setText(ui->lblDriverStatus, TranslatedStatusText(DriverStateText(rt.DriverState)));
        showFaults(rt.FaultFlags);
    }

    // The radio buttons are one exclusive group: a checked one cannot be
    // unchecked by itself, so a mode outside 1..6 leaves the last one shown.
    const int mode = rt.OperatingMode;
    if (mode == 1)
        setChecked(ui->rbMode, true);
    else if (mode == 3)
        setChecked(ui->rbMode_3, true);
    else if (mode == 4)
        setChecked(ui->rbMode_4, true);
    setChecked(ui->rbMode_2, mode == 2);
    setChecked(ui->rbMode_5, mode == 5);
    setChecked(ui->rbMode_6, mode == 6);

    // Counted over every live report since program start; wraps instead of
    // overflowing.
    rt.RTSampleCounter = static_cast<int32_t>(static_cast<uint32_t>(rt.RTSampleCounter) + 1u);
    if (rt.RTSampleCounter % TempChartEvery == 0)
        addTempChartPoint();

    showMotion();

    if (mode == 4 || mode == 5)
        addPosChartPoint(false, device.TrajectoryData.FinalPosition);
    else if (mode == 6)
        addPosChartPoint(true, device.TrajectoryData.RequestedSpeed);
}

void MainWindow::showMotion()
{
    // Position and speed change with every report while the motor moves,
    // and writing a box lays out its text anew: within a frame that has
    // been painted already, the boxes take the newest values when the frame
    // ends, just before they are painted.
    if (pacer->withinFrame()) {
        motionPending = true;
        pacer->awaitFrameEnd();
    } else {
        writeMotion();
    }
}

void MainWindow::writeMotion()
{
    motionPending = false;
    setValue(ui->sbCurPos, device.RTData.CurrentPosition);
    setValue(ui->sbCurSpeed, device.RTData.CurrentSpeed);
}

void MainWindow::showFaults(int flags)
{
    if (flags == 0) {
        setText(ui->lblFaultsStatus, tr("Driver OK"));
        if (!ui->frmStatus->isHidden())
            ui->frmStatus->hide();
    } else {
        setText(ui->lblFaultsStatus, tr("Fault no. 0x%1 detected").arg(QString::number(unsigned(flags), 16).toUpper()));
        if (ui->frmStatus->isHidden())
            ui->frmStatus->show();
    }
    // The box is rewritten when the flags change, or when something else
    // wrote to it since (its document's revision tells).
    QTextDocument *faults = ui->pteFaults->document();
    if (flags == shown.faultFlags && faults->revision() == shown.faultsRevision)
        return;
    ui->pteFaults->clear();
    if (flags == 0)
        ui->pteFaults->appendPlainText(tr("No faults detected!"));
    for (const QString &line : FaultTexts(flags))
        ui->pteFaults->appendPlainText(TranslatedStatusText(line));
    shown.faultFlags = flags;
    shown.faultsRevision = faults->revision();
}

void MainWindow::UpdateMainWindowDriverInfo()
{
    // A board connected, lost or identified anew: the values it reports
    // next replace the shown ones.
    remoteBaseline.set = false;
    const DriverInfoRecord &info = device.DriverInfo;
    if (device.IsConnected()) {
        setWindowTitle(tr("%1 - %2. Serial: %3").arg(AppVersion, device.ProductString(), device.SerialString()) +
                       QString::asprintf("; BL: 0x%02X%02X, AP: 0x%02X%02X, %02X, %d", unsigned(info.BLVersionHigh),
                                         unsigned(info.BLVersionLow), unsigned(info.APVersionHigh),
                                         unsigned(info.APVersionLow), unsigned(info.DeviceMode),
                                         info.SignatureValid ? 1 : 0));
        ui->gbFWUpdate->setEnabled(info.BootloaderActive);
        ui->lcdTemperature->setEnabled(true);
        ui->lcdVoltage->setEnabled(true);
    } else {
        // The displays keep the last readings, greyed; the update group
        // keeps its state.
        setWindowTitle(tr("%1 - No device connected").arg(AppVersion));
        ui->lcdTemperature->setEnabled(false);
        ui->lcdVoltage->setEnabled(false);
    }

    ui->pteFWLog->clear();
    ui->pteFWLog->appendPlainText(
        QString::asprintf("BLver: 0x%02X%02X", unsigned(info.BLVersionHigh), unsigned(info.BLVersionLow)));
    const QString ap = QString::asprintf("%02X%02X", unsigned(info.APVersionHigh), unsigned(info.APVersionLow));
    ui->pteFWLog->appendPlainText(info.FirmwareUpToDate ? tr("AP: 0x%1, FW OK").arg(ap)
                                                        : tr("AP: 0x%1 - Update needed").arg(ap));
    ui->pteFWLog->appendPlainText(tr("Mode: %1").arg(QString::asprintf("%02X", unsigned(info.DeviceMode))));
    ui->pteFWLog->appendPlainText(tr("Sig: %1").arg(info.SignatureValid ? 1 : 0));
}

// ---------------------------------------------------------------------------
// Charts

void MainWindow::InitCharts()
{
    tempChart = new LiveChart(ui->TempPlot, this);
    setUpTemperatureChart(tempChart, font());

    ui->tabMainTab->setCurrentWidget(ui->tabDriverSetup);
    ui->tabDriverSetup->show();
    ui->tabNavigation->setCurrentWidget(ui->tabInternalNavigation);

    QCustomPlot *pos = ui->PositionPlot;
    posChart = new LiveChart(pos, this);
    posChart->addGraph();
    pos->graph(0)->setName(tr("Required position"));
    posChart->addGraph();
    pos->graph(1)->setPen(QPen(Qt::red));
    pos->graph(1)->setName(tr("Actual position"));
    posChart->addGraph(pos->xAxis, pos->yAxis2);
    pos->graph(2)->setPen(QPen(Qt::green));
    pos->graph(2)->setName(tr("Speed"));
    pos->yAxis->setLabel(tr("Position / steps"));
    pos->yAxis2->setLabel(tr("Speed / steps/s"));
    setUpCommonChart(pos, font());
}

void MainWindow::addTempChartPoint()
{
    const RTDataRecord &rt = device.RTData;
    tempChart->addPoint(0, secondsOf(TempChartClock), rt.FilteredTemperature);
    tempChart->addPoint(1, secondsOf(TempChartClock), rt.MotorCurrent);
    tempChart->addPoint(2, secondsOf(TempChartClock), rt.FilteredVoltage);
    // Only the temperature widens the axes; voltages above the left range
    // are cut off at the top.
    tempChart->enlargeAxesToGraph(0);
    tempChart->requestReplot();
}

void MainWindow::addPosChartPoint(bool speedMode, double required)
{
    QCustomPlot *pos = ui->PositionPlot;
    QCPGraph *requiredGraph = pos->graph(0);
    // The required graph keeps its earlier points across a change of mode;
    // they are drawn against whichever axis it is on now.
    requiredGraph->setName(speedMode ? tr("Required speed") : tr("Required position"));
    requiredGraph->setValueAxis(speedMode ? pos->yAxis2 : pos->yAxis);

    const RTDataRecord &rt = device.RTData;
    posChart->addPoint(0, secondsOf(PosChartClock), required);
    posChart->addPoint(1, secondsOf(PosChartClock), rt.CurrentPosition);
    posChart->addPoint(2, secondsOf(PosChartClock), rt.CurrentSpeed);
    for (int i = 0; i < 3; ++i)
        posChart->enlargeAxesToGraph(i);
    posChart->requestReplot();
}

void MainWindow::clearChart(LiveChart *chart, ElapsedClock &chartClock)
{
    // No redraw: the emptied chart shows with the next point.
    chartClock.restart();
    QCustomPlot *plot = chart->plot();
    setStartRanges(plot);
    for (int i = 0; i < plot->graphCount(); ++i)
        chart->clearGraph(i);
    // Ten seconds of time axis after a clear, against twenty at start.
    plot->xAxis->setRange(0, 10);
}

void MainWindow::on_btnClearTempLog_clicked()
{
    clearChart(tempChart, TempChartClock);
}

void MainWindow::on_btnClearPosGraph_clicked()
{
    clearChart(posChart, PosChartClock);
}
