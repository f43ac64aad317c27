#include "ui/MainWindow.h"

#include "device/TorvanDRV.h"
#include "ui/MainWindowForm.h"

// Auto control tab: position control, navigation, external buttons, speed mode.
// (scaffolding: the bodies come with the tab)

void MainWindow::TrajDataChanged()
{}

void MainWindow::ConnectToPositionValueChanged(bool)
{}

void MainWindow::on_vsFinPos_valueChanged()
{}

void MainWindow::on_sbFinPos_valueChanged()
{}

void MainWindow::on_sbPosLimitUpper_valueChanged()
{}

void MainWindow::on_sbPosLimitLower_valueChanged()
{}

void MainWindow::on_btnWriteTraj_clicked()
{}

void MainWindow::on_btnStopTraj_clicked()
{}

void MainWindow::on_btnZeroCurPos_clicked()
{}

void MainWindow::on_btnLargDec_clicked()
{}

void MainWindow::on_btnSmallDec_clicked()
{}

void MainWindow::on_btnSmallInc_clicked()
{}

void MainWindow::on_btnLargInc_clicked()
{}

void MainWindow::on_btnTestBIN1_clicked()
{}

void MainWindow::on_btnTestBIN2_clicked()
{}

void MainWindow::on_cbEnableBINxButtonsPosCtrl_toggled(bool)
{}

void MainWindow::on_hsReqSpeed_valueChanged()
{}

void MainWindow::on_sbReqSpeed_valueChanged()
{}

void MainWindow::on_cbEnableAutoRunPosCtrl_toggled(bool)
{}
