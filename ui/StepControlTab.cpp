#include "ui/MainWindow.h"

#include "device/TorvanDRV.h"
#include "ui/MainWindowForm.h"

// Step control tab: signed step rate.
// (scaffolding: the bodies come with the tab)

void MainWindow::on_dialMaxStepSpeed_valueChanged(int)
{}

void MainWindow::on_hsStepSpeed_valueChanged(int)
{}

void MainWindow::on_btnSetFrequency_clicked()
{}

void MainWindow::on_hsStepSpeed_sliderReleased()
{}

void MainWindow::on_btnStopStepDir_clicked()
{}
