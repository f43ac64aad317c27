#include "ui/MainWindow.h"

#include "device/TorvanDRV.h"
#include "ui/MainWindowForm.h"

// Driver setup tab: control values, presets and settings files, driver read/write.
// (scaffolding: the bodies come with the tab)

void MainWindow::DisplayDrvValues()
{}

void MainWindow::ControlValueChanged()
{}

void MainWindow::ControlValues2DrvSettings()
{}

void MainWindow::DrvSettings2ControlValues()
{}

void MainWindow::ListValues()
{}

void MainWindow::CheckEnableConstraints()
{}

void MainWindow::ConnectToValueChanged(bool)
{}

void MainWindow::on_hsBlankingTime_valueChanged()
{}

void MainWindow::on_dsbBlankingTime_valueChanged(double)
{}

void MainWindow::on_hsFixedOffTime_valueChanged()
{}

void MainWindow::on_dsbFixedOffTime_valueChanged(double)
{}

void MainWindow::on_hsMixedDecayTime_valueChanged()
{}

void MainWindow::on_dsbMixedDecayTime_valueChanged(double)
{}

void MainWindow::on_btnReadDrvValues_clicked()
{}

void MainWindow::on_btnWriteDrvValues_clicked()
{}

void MainWindow::on_btnResetFaults_clicked()
{}

void MainWindow::on_cbEnableAdvancedDriverSetup_stateChanged(int)
{}

void MainWindow::on_pbSaveSettings_clicked()
{}

void MainWindow::on_pbLoadSettings_clicked()
{}

void MainWindow::on_cbConfigurations_currentIndexChanged()
{}

void MainWindow::initPresets()
{}

void MainWindow::StorePresetEntry(const QString &)
{}
