// Driver setup tab: the controls and the settings record, the slider and spin
// box pairs, the timing summary, the enabling rules of the three mode flags,
// presets and settings files, and reading and writing the driver.
#include "ui/MainWindow.h"

#include "config/DriverControls.h"
#include "config/Presets.h"
#include "config/ReportedSettings.h"
#include "config/SettingsDiff.h"
#include "config/SettingsFile.h"
#include "config/TimingSummary.h"
#include "device/TorvanDRV.h"
#include "log/Logger.h"
#include "ui/AppInfo.h"
#include "ui/MainWindowForm.h"
#include "ui/ReadValuesWatch.h"
#include "ui/SettingsCompareDialog.h"
#include "ui/SignalWiring.h"

#include <QCoreApplication>
#include <QSignalBlocker>

#include <vector>

using namespace DriverControls;

namespace {

// The settings files in the file dialogs, in the window's language.
QString settingsFileFilter()
{
    return QCoreApplication::translate("SettingsFile", SettingsFile::DialogFilter.toUtf8().constData());
}

// Takes a by-name slot off its control for a while (a pair slot while the
// partner of the pair sets that control, so a pair does not bounce) and puts
// it back afterwards. By-name connections are made from signatures, so they
// are undone the same way.
class ByNameSlotPause
{
public:
    ByNameSlotPause(QObject *control, const char *signal, QObject *window, const char *slot)
        : control(control), signal(signal), window(window), slot(slot)
    {
        QObject::disconnect(control, signal, window, slot);
    }
    ~ByNameSlotPause() { QObject::connect(control, signal, window, slot); }
    ByNameSlotPause(const ByNameSlotPause &) = delete;
    ByNameSlotPause &operator=(const ByNameSlotPause &) = delete;

private:
    QObject *control;
    const char *signal;
    QObject *window;
    const char *slot;
};

bool isSet(const QCheckBox *box)
{
    return box->checkState() > Qt::Unchecked; // partially checked counts as set
}

// One mode at a time. The window never sets two, but a settings file, a
// preset line or the board's report can hold several, and the enabling rules
// of each would then lock the switches of the others. DC motor mode excludes
// both stepper modes; of those, auto run goes before the BINx buttons, as the
// board itself runs auto run when told both.
void keepOneMode(DrvSettingsRecord &s)
{
    if (s.PWMMode)
        s.AutoRunMode = false;
    if (s.PWMMode || s.AutoRunMode)
        s.BINxButtonsMode = false;
}

} // namespace

// ---------------------------------------------------------------------------
// Controls and the settings record

void MainWindow::ControlValues2DrvSettings()
{
    controlValuesInto(device.DrvSettings);
}

void MainWindow::controlValuesInto(DrvSettingsRecord &s) const
{
    const PredriverCodes codes = PredriverTable(ui->cbPredriverSpeed->currentIndex());
    s.DTime = codes.DTime;
    s.TDrive = codes.TDrive;
    s.IDrive = codes.IDrive;

    s.StepMode = ui->cbStepMode->currentIndex();
    s.FullScaleCurrent = ui->dsbFSCurrent->value();
    s.IdleCurrent = ui->dsbIdleCurrent->value();
    s.TemperatureLimit = ui->sbTempLimit->value();
    s.ReducedCurrent = ui->dsbReducedCurrent->value();
    s.PredriverSpeed = ui->cbPredriverSpeed->currentIndex();
    s.DecayMode = ui->cbDecayMode->currentIndex();
    s.BlankingTime = ui->dsbBlankingTime->value();
    s.AdaptiveBlanking = ui->cbAdaptiveBlanking->currentIndex();
    s.MixedDecayTime = ui->dsbMixedDecayTime->value();
    s.FixedOffTime = ui->dsbFixedOffTime->value();

    s.PWMMode = isSet(ui->cbDCMotorMode);
    s.BINxButtonsMode = isSet(ui->cbEnableBINxUpDown);
    s.AutoRunMode = isSet(ui->cbEnableAutoRun);

    s.TBlank = ui->hsBlankingTime->value();
    s.TDecay = ui->hsMixedDecayTime->value();
    s.TOff = ui->hsFixedOffTime->value();

    s.DriverName = ui->leDriverName->text();
    s.I2CAddress = ui->sbI2CAddress->value();
    s.ModbusConfig = ui->cbModbusConfig->currentIndex();
}

void MainWindow::DrvSettings2ControlValues()
{
    // The mode is settled first, so that the enabling rules, the mode boxes
    // and a DC motor switch-over below all see the one that is shown.
    keepOneMode(device.DrvSettings);
    // A copy: the DC motor switch-over below reads the controls back into the
    // record while they are being set.
    const DrvSettingsRecord s = device.DrvSettings;
    ++showingValues;
    ConnectToValueChanged(false);
    ConnectToPositionValueChanged(false);

    // A list index outside its list shows no selection.
    ui->cbStepMode->setCurrentIndex(ListIndex(s.StepMode, ui->cbStepMode->count()));
    ui->dsbFSCurrent->setValue(s.FullScaleCurrent);
    ui->dsbIdleCurrent->setValue(s.IdleCurrent);
    ui->sbTempLimit->setValue(s.TemperatureLimit);
    ui->dsbReducedCurrent->setValue(s.ReducedCurrent);
    ui->cbPredriverSpeed->setCurrentIndex(ListIndex(s.PredriverSpeed, ui->cbPredriverSpeed->count()));
    ui->cbDecayMode->setCurrentIndex(ListIndex(s.DecayMode, ui->cbDecayMode->count()));
    // The time spin boxes move their sliders through the pair slots.
    ui->dsbBlankingTime->setValue(s.BlankingTime);
    ui->cbAdaptiveBlanking->setCurrentIndex(ListIndex(s.AdaptiveBlanking, ui->cbAdaptiveBlanking->count()));
    ui->dsbMixedDecayTime->setValue(s.MixedDecayTime);
    ui->dsbFixedOffTime->setValue(s.FixedOffTime);
    // Before the mode boxes: a DC motor switch-over they start writes the
    // whole new configuration, not the name and address shown before.
    ui->leDriverName->setText(s.DriverName);
    ui->sbI2CAddress->setValue(s.I2CAddress);
    ui->cbModbusConfig->setCurrentIndex(ListIndex(s.ModbusConfig, ui->cbModbusConfig->count()));

    // The two mode boxes of the Auto control tab mirror themselves into the
    // driver setup boxes; those are set here as well, so the driver setup
    // shows the flags whatever the mirrors do.
    const bool binx = s.BINxButtonsMode;
    const bool autoRun = s.AutoRunMode;
    ui->cbDCMotorMode->setChecked(s.PWMMode);
    ui->cbEnableBINxButtonsPosCtrl->setChecked(binx);
    ui->cbEnableBINxUpDown->setChecked(binx);
    ui->cbEnableAutoRunPosCtrl->setChecked(autoRun);
    ui->cbEnableAutoRun->setChecked(autoRun);

    CheckEnableConstraints();

    showTrajectoryData();

    ui->cbStepMode->setEnabled(!ui->cbDCMotorMode->isChecked());
    {
        // Only the DC motor switch-over of a real change may run.
        ByNameSlotPause pause(ui->gbPWMControl, SIGNAL(toggled(bool)), this, SLOT(on_gbPWMControl_toggled(bool)));
        ui->gbPWMControl->setChecked(ui->cbDCMotorMode->isChecked());
    }

    // The record now holds exactly what the controls hold, clamped as they
    // clamp.
    ControlValues2DrvSettings();
    ListValues();
    ConnectToValueChanged(true);
    ConnectToPositionValueChanged(true);
    refreshTrajectoryControls();
    if (--showingValues == 0 && autoRunLeft) {
        autoRunLeft = false;
        sendRecordWithoutAutoRun();
    }
}

void MainWindow::showTrajectoryData()
{
    const TrajectoryDataRecord &t = device.TrajectoryData;
    // Set quietly: the Auto control tab takes the whole record at once
    // afterwards, so no control reads a half-shown record back into it.
    std::vector<QSignalBlocker> quiet;
    quiet.reserve(13);
    for (QObject *control :
         {static_cast<QObject *>(ui->sbVmax), static_cast<QObject *>(ui->sbAccel), static_cast<QObject *>(ui->sbDecel),
          static_cast<QObject *>(ui->cbEnableEndSwitch), static_cast<QObject *>(ui->cbNCTypeEndSwitch),
          static_cast<QObject *>(ui->sbPosLimitLower), static_cast<QObject *>(ui->sbPosLimitUpper),
          static_cast<QObject *>(ui->sbSmallInc), static_cast<QObject *>(ui->sbLargeInc),
          static_cast<QObject *>(ui->sbBIN1Steps), static_cast<QObject *>(ui->sbBIN2Steps),
          static_cast<QObject *>(ui->cbInvDirection), static_cast<QObject *>(ui->hsReqSpeed)})
        quiet.emplace_back(control);

    ui->sbVmax->setValue(t.MaxSpeed);
    ui->sbAccel->setValue(t.MaxAccel);
    ui->sbDecel->setValue(t.MaxDecel);
    ui->cbEnableEndSwitch->setChecked(t.EnableEndSwitch);
    ui->cbNCTypeEndSwitch->setChecked(t.NCTypeSwitch);
    // Each limit box is kept from passing the other one; open both to their
    // full range so the new pair goes in whole (the Auto control tab narrows
    // them again when it takes the record up).
    ui->sbPosLimitLower->setMaximum(ui->sbPosLimitUpper->maximum());
    ui->sbPosLimitUpper->setMinimum(ui->sbPosLimitLower->minimum());
    ui->sbPosLimitLower->setValue(t.PosLimitLower);
    ui->sbPosLimitUpper->setValue(t.PosLimitUpper);
    ui->sbSmallInc->setValue(t.SmallStep);
    ui->sbLargeInc->setValue(t.LargeStep);
    ui->sbBIN1Steps->setValue(t.BIN1Steps);
    ui->sbBIN2Steps->setValue(t.BIN2Steps);
    ui->cbInvDirection->setChecked(t.AutoRunInvertDirection);
    // The speed controls show a magnitude; the sign is the invert flag's.
    ui->hsReqSpeed->setValue(qAbs(t.RequestedSpeed));
}

void MainWindow::refreshTrajectoryControls()
{
    // Showing values is no change of the operator's: nothing of it is sent,
    // whether or not the Auto control tab updates the board automatically.
    const bool autoUpdate = ui->cbAutoUpdatePos->isChecked();
    {
        const QSignalBlocker quiet(ui->cbAutoUpdatePos);
        ui->cbAutoUpdatePos->setChecked(false);
    }
    TrajDataChanged();
    const QSignalBlocker quiet(ui->cbAutoUpdatePos);
    ui->cbAutoUpdatePos->setChecked(autoUpdate);
}

void MainWindow::ListValues()
{
    ui->pteRegistersValues->clear();
    for (const QString &line : TimingSummary::Lines(device.DrvSettings, device.TimingTable))
        ui->pteRegistersValues->appendPlainText(line);
    ui->pteRegistersValues->appendPlainText(device.DrvSettings2String());
    device.DrvSettings2DriverRegisters();
    ui->pteRegistersValues->appendPlainText(device.DriverRegisters2String());

    const TimingSummary::Labels labels = TimingSummary::PictureLabels(device.DrvSettings, device.TimingTable);
    ui->lblTblank->setText(labels.Tblank);
    ui->lblTdecay->setText(labels.Tdecay);
    ui->lblToff->setText(labels.Toff);
    ui->lblTon->setText(labels.Ton);
}

void MainWindow::CheckEnableConstraints()
{
    const bool p = device.DrvSettings.PWMMode;
    const bool b = device.DrvSettings.BINxButtonsMode;
    const bool a = device.DrvSettings.AutoRunMode;

    ui->gbStepMode->setEnabled(!p && !a);
    ui->cbEnableBINxUpDown->setEnabled(!p && !a);
    ui->cbEnableAutoRun->setEnabled(!p && !b);
    ui->tabStepDirControl->setEnabled(!p && !b && !a);
    ui->tabPWMControl->setEnabled(!b && !a);
    ui->tabInternalNavigation->setEnabled(!a && !b);
    ui->tabExternalNavigation->setEnabled(!a);
    ui->tabSpeedMode->setEnabled(!b);

    // Not shielded: a change of these runs their own slots (the DC motor
    // switch-over, the mirrors of the two mode boxes).
    ui->gbPWMControl->setChecked(p);
    ui->cbEnableBINxButtonsPosCtrl->setChecked(b);
    ui->cbEnableAutoRunPosCtrl->setChecked(a);

    // The external buttons or auto run move the motor: no target, limits or
    // default mode from the window meanwhile.
    const bool external = b || a;
    for (QWidget *target : {static_cast<QWidget *>(ui->sbFinPos), static_cast<QWidget *>(ui->sbPosLimitLower),
                            static_cast<QWidget *>(ui->sbPosLimitUpper)})
        target->setEnabled(!external);
    enableMotionControls(!p);
    for (QWidget *buttons : {static_cast<QWidget *>(ui->sbBIN1Steps), static_cast<QWidget *>(ui->sbBIN2Steps),
                             static_cast<QWidget *>(ui->btnTestBIN1), static_cast<QWidget *>(ui->btnTestBIN2)})
        buttons->setEnabled(external);
    ui->cbDCMotorMode->setEnabled(!external);
    ui->btnSetDefault->setEnabled(!external && !p);
}

void MainWindow::ConnectToValueChanged(bool connect)
{
    void (MainWindow::*const target)() = &MainWindow::ControlValueChanged;
    const auto comboChanged = qOverload<int>(&QComboBox::currentIndexChanged);
    const auto realChanged = qOverload<double>(&QDoubleSpinBox::valueChanged);
    const auto intChanged = qOverload<int>(&QSpinBox::valueChanged);
    try {
        // One connection each, in this order; a unique connection, so a
        // connect without a disconnect before it cannot double the calls.
        auto wire = [&](auto *control, auto signal) {
            if (connect)
                QObject::connect(control, signal, this, target, Qt::UniqueConnection);
            else
                QObject::disconnect(control, signal, this, target);
        };
        wire(ui->cbStepMode, comboChanged);
        wire(ui->cbDCMotorMode, &QCheckBox::stateChanged);
        wire(ui->dsbFSCurrent, realChanged);
        wire(ui->dsbIdleCurrent, realChanged);
        wire(ui->sbTempLimit, intChanged);
        wire(ui->dsbReducedCurrent, realChanged);
        wire(ui->hsBlankingTime, &QSlider::valueChanged);
        wire(ui->hsMixedDecayTime, &QSlider::valueChanged);
        wire(ui->hsFixedOffTime, &QSlider::valueChanged);
        wire(ui->cbPredriverSpeed, comboChanged);
        wire(ui->cbAdaptiveBlanking, comboChanged);
        wire(ui->cbDecayMode, comboChanged);
        wire(ui->sbI2CAddress, intChanged);
        wire(ui->cbEnableBINxUpDown, &QCheckBox::stateChanged);
        wire(ui->cbEnableAutoRun, &QCheckBox::stateChanged);
        wire(ui->cbModbusConfig, comboChanged);
    } catch (...) {
        SignalWiring::reportFailure(
            device.Dialogs(), logger,
            QT_TRANSLATE_NOOP("SignalWiring", "Unexpected error occured while connecting signals."));
    }
}

// ---------------------------------------------------------------------------
// Slider and spin box pairs. Register value r is (r + 1) x 0.02 us of
// blanking time and (r + 1) x 0.5 us of fixed off or mixed decay time; the
// mixed decay value never exceeds the fixed off value.

void MainWindow::on_hsBlankingTime_valueChanged()
{
    ByNameSlotPause pause(ui->dsbBlankingTime, SIGNAL(valueChanged(double)), this,
                          SLOT(on_dsbBlankingTime_valueChanged(double)));
    ui->dsbBlankingTime->setValue(BlankingTime(ui->hsBlankingTime->value()));
}

void MainWindow::on_dsbBlankingTime_valueChanged(double)
{
    ByNameSlotPause pause(ui->hsBlankingTime, SIGNAL(valueChanged(int)), this, SLOT(on_hsBlankingTime_valueChanged()));
    ui->hsBlankingTime->setValue(BlankingSteps(ui->dsbBlankingTime->value()));
}

void MainWindow::on_hsFixedOffTime_valueChanged()
{
    ByNameSlotPause pause(ui->dsbFixedOffTime, SIGNAL(valueChanged(double)), this,
                          SLOT(on_dsbFixedOffTime_valueChanged(double)));
    ui->dsbFixedOffTime->setValue(HalfMicroTime(ui->hsFixedOffTime->value()));
    // Lowering the fixed off time drags the mixed decay time down with it.
    if (ui->hsMixedDecayTime->value() > ui->hsFixedOffTime->value())
        ui->hsMixedDecayTime->setValue(ui->hsFixedOffTime->value());
}

void MainWindow::on_dsbFixedOffTime_valueChanged(double)
{
    ByNameSlotPause pause(ui->hsFixedOffTime, SIGNAL(valueChanged(int)), this, SLOT(on_hsFixedOffTime_valueChanged()));
    ui->hsFixedOffTime->setValue(HalfMicroSteps(ui->dsbFixedOffTime->value()));
    if (ui->hsMixedDecayTime->value() > ui->hsFixedOffTime->value())
        ui->hsMixedDecayTime->setValue(ui->hsFixedOffTime->value());
}

void MainWindow::on_hsMixedDecayTime_valueChanged()
{
    ByNameSlotPause pause(ui->dsbMixedDecayTime, SIGNAL(valueChanged(double)), this,
                          SLOT(on_dsbMixedDecayTime_valueChanged(double)));
    ui->dsbMixedDecayTime->setValue(HalfMicroTime(ui->hsMixedDecayTime->value()));
    // Raising the mixed decay time pushes the fixed off time up.
    if (ui->hsMixedDecayTime->value() > ui->hsFixedOffTime->value())
        ui->hsFixedOffTime->setValue(ui->hsMixedDecayTime->value());
}

void MainWindow::on_dsbMixedDecayTime_valueChanged(double)
{
    ByNameSlotPause pause(ui->hsMixedDecayTime, SIGNAL(valueChanged(int)), this,
                          SLOT(on_hsMixedDecayTime_valueChanged()));
    ui->hsMixedDecayTime->setValue(HalfMicroSteps(ui->dsbMixedDecayTime->value()));
    if (ui->hsMixedDecayTime->value() > ui->hsFixedOffTime->value())
        ui->hsFixedOffTime->setValue(ui->hsMixedDecayTime->value());
}

// ---------------------------------------------------------------------------
// Changes, driver values, buttons

void MainWindow::ControlValueChanged()
{
    ConnectToValueChanged(false);
    ControlValues2DrvSettings();
    CheckEnableConstraints();
    if (ui->cbAutoApplyChanges->isChecked())
        device.WriteDriverValues(); // registers only: no name, nothing saved in the driver
    ListValues();
    StorePresetEntry(Presets::CustomSettings);
    ConnectToValueChanged(true);
}

void MainWindow::DisplayDrvValues()
{
    const unsigned char reply = device.InputReport[Report::TypeByte];
    if (reply == Report::RptDriverRegisters || reply == Report::RptOtherSettings)
        readWatch->arrived(); // the name alone is no driver values
    // What a remote client's command brought back: its changes are taken,
    // the operator's unwritten edits kept.
    if (remoteBaseline.set || questionsOpen > 0) {
        showRemoteChanges();
        return;
    }
    DrvSettings2ControlValues();
    ListValues();
    StorePresetEntry(Presets::DriverValues);
}

void MainWindow::on_btnReadDrvValues_clicked()
{
    // The operator asked for the board's values: they replace whatever is
    // shown, edits included.
    remoteBaseline.set = false;
    ui->leDriverName->clear();
    // The arriving values visibly replace the old ones.
    ConnectToValueChanged(false);
    ui->dsbFSCurrent->setValue(0.0);
    ConnectToValueChanged(true);
    device.BusyWait(50);
    readWatch->requested();
    device.GetDriverValues();
    device.BusyWait(50);
    device.GetDriverName();
}

void MainWindow::on_btnWriteDrvValues_clicked()
{
    ControlValues2DrvSettings();
    device.WriteDriverValues();
    device.SetDriverName(ui->leDriverName->text());
    device.SaveDriverValues();
    StorePresetEntry(Presets::DriverValues);
}

void MainWindow::on_btnResetFaults_clicked()
{
    device.ResetFaults();
}

void MainWindow::on_cbEnableAdvancedDriverSetup_stateChanged(int state)
{
    ui->gbAdvancedDriverSetup->setEnabled(state != Qt::Unchecked);
}

// ---------------------------------------------------------------------------
// Presets and settings files

void MainWindow::initPresets()
{
    PresetList = Presets::BuiltIns();
    PresetTrajectoryTable.assign(static_cast<size_t>(PresetList.size()), device.TrajectoryData);
    // Adding the first name makes it current, which applies it.
    for (const QString &line : PresetList)
        ui->cbConfigurations->addItem(Presets::NameOf(line));
    ui->cbConfigurations->setCurrentIndex(0);
}

void MainWindow::on_cbConfigurations_currentIndexChanged(int)
{
    const int i = ui->cbConfigurations->currentIndex();
    if (i < 0 || i >= PresetList.size())
        return;
    device.String2DrvSettings(PresetList.at(i));
    device.TrajectoryData = PresetTrajectoryTable.at(static_cast<size_t>(i));
    DrvSettings2ControlValues();
    CheckEnableConstraints();
}

void MainWindow::StorePresetEntry(const QString &name)
{
    const QSignalBlocker selectionHandlerOff(ui->cbConfigurations);
    int i = ui->cbConfigurations->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0) {
        ui->cbConfigurations->addItem(name);
        i = ui->cbConfigurations->count() - 1;
        Presets::Put(-1, name, device.DrvSettings2String(), device.TrajectoryData);
    } else {
        Presets::Put(i, name, device.DrvSettings2String(), device.TrajectoryData);
    }
    ui->cbConfigurations->setCurrentIndex(i);
}

void MainWindow::on_pbSaveSettings_clicked()
{
    OperatorDialogs *dialogs = device.Dialogs();
    const QString path =
        dialogs ? dialogs->saveFileName(tr("Save settings to file..."), QString(), settingsFileFilter()) : QString();
    if (path.isEmpty()) {
        logger->write(QStringLiteral("Saving settings to file canceled."));
        return;
    }
    ControlValues2DrvSettings();
    if (!device.SaveSettingsToFile(path)) {
        logger->write(QStringLiteral("Settings could not be saved to file: ") + path);
        return;
    }
    logger->write(QStringLiteral("Settings saved to file: ") + path);
    {
        const QSignalBlocker selectionHandlerOff(ui->cbConfigurations);
        const int custom =
            ui->cbConfigurations->findText(Presets::CustomSettings, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (custom >= 0) {
            ui->cbConfigurations->removeItem(custom);
            Presets::Remove(custom);
        }
    }
    StorePresetEntry(Presets::FileEntryName(path));
}

QString MainWindow::chooseSettingsFile(const QString &caption)
{
    OperatorDialogs *dialogs = device.Dialogs();
    return dialogs ? dialogs->openFileName(caption, QString(), settingsFileFilter()) : QString();
}

void MainWindow::on_pbLoadSettings_clicked()
{
    const QString path = chooseSettingsFile(tr("Load settings from file..."));
    if (path.isEmpty()) {
        logger->write(QStringLiteral("Loading settings from file canceled."));
        return;
    }
    loadSettingsFile(path);
}

void MainWindow::loadSettingsFile(const QString &path)
{
    // Values outside the controls' ranges are held and logged, one line each.
    if (!device.LoadSettingsFromFile(path, DeveloperMode))
        return;
    DrvSettings2ControlValues();
    logger->write(QStringLiteral("Settings loaded from file: ") + path);
    StorePresetEntry(Presets::FileEntryName(path));
}

void MainWindow::on_pbCompareSettings_clicked()
{
    const QString path = chooseSettingsFile(tr("Compare settings with file..."));
    if (path.isEmpty()) {
        logger->write(QStringLiteral("Comparing settings with a file canceled."));
        return;
    }
    compareSettingsWith(path);
}

SettingsCompareDialog *MainWindow::compareSettingsWith(const QString &path)
{
    OperatorDialogs *dialogs = device.Dialogs();
    QString refusal;
    const QVariantMap values = SettingsFile::ReadValues(path, refusal);
    SettingsFile::LoadRules rules;
    rules.developerCurrents = DeveloperMode;
    const SettingsDiff::Side file =
        refusal.isEmpty() ? SettingsDiff::fromFile(values, rules, &refusal) : SettingsDiff::Side();
    if (!refusal.isEmpty() || !reported->complete()) {
        const QString why = refusal.isEmpty() ? QStringLiteral("the board has not reported its settings")
                                              : QStringLiteral("it is not a settings file (%1)").arg(refusal);
        logger->write(QStringLiteral("Settings not compared with %1: %2.").arg(path, why));
        if (dialogs)
            dialogs->notice(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Compare settings")),
                            tr("%1 cannot be compared: %2.")
                                .arg(path, refusal.isEmpty() ? tr("the board has not reported its settings")
                                                             : tr("it is not a settings file (%1)").arg(refusal)));
        return nullptr;
    }
    const auto differences = SettingsDiff::compare(file, reported->side());
    logger->write(QStringLiteral("Settings compared with %1: %2 differ.").arg(path).arg(differences.size()));
    auto *dialog = new SettingsCompareDialog(path, differences, tr("Load file"), this);
    connect(dialog, &QDialog::accepted, this, [this, path] { loadSettingsFile(path); });
    dialog->open();
    return dialog;
}
