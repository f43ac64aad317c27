#include "ui/MainWindow.h"

#include "device/TorvanDRV.h"
#include "ui/MainWindowForm.h"

// DC motor control tab: two signed PWM channels and the frequency.
// (scaffolding: the bodies come with the tab)

void MainWindow::ConnectToPWMValueChanged(bool)
{}

void MainWindow::PWMValueChanged()
{}

void MainWindow::ControlValues2PWMSettings()
{}

void MainWindow::on_sbPWM_A_valueChanged(int)
{}

void MainWindow::on_vsPWM_A_valueChanged(int)
{}

void MainWindow::on_sbPWM_B_valueChanged(int)
{}

void MainWindow::on_vsPWM_B_valueChanged(int)
{}

void MainWindow::on_sbPWMFreq_valueChanged(int)
{}

void MainWindow::on_dialPWMFreq_valueChanged(int)
{}

void MainWindow::on_btnSetPWM_clicked()
{}

void MainWindow::on_btnStopPWM_clicked()
{}

void MainWindow::on_gbPWMControl_toggled(bool)
{}
