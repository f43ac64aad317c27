#include "ui/MainWindow.h"

#include "device/TorvanDRV.h"
#include "ui/MainWindowForm.h"

// Step control tab: the board's own step generator at a signed rate, the sign
// being the direction. The requested rate is always the speed slider's value;
// a rate of 0 hands STEP and DIR back to an external controller.

void MainWindow::on_dialMaxStepSpeed_valueChanged(int maxRate)
{
    // Narrowing the range clamps the slider, which then reports (and, with
    // auto update, sends) its new value like any other change.
    ui->hsStepSpeed->setMaximum(maxRate);
    ui->hsStepSpeed->setMinimum(-maxRate);
    ui->hsStepSpeed->setPageStep(maxRate / 10);
    ui->lblMaxStepSpeed->setText(QString::number(maxRate));
}

void MainWindow::on_hsStepSpeed_valueChanged(int)
{
    ui->lblFrequency->setText(QString::number(ui->hsStepSpeed->value()));
    if (ui->cbAutoUpdate->isChecked())
        on_btnSetFrequency_clicked();
}

void MainWindow::on_btnSetFrequency_clicked()
{
    // The board steps at a whole fraction of its step clock: show what it
    // really produces, not what was asked for.
    const int32_t produced = device.SetStepFrequency(ui->hsStepSpeed->value());
    ui->lblPR->setText(tr("Actual speed: %1").arg(produced));
}

void MainWindow::on_hsStepSpeed_sliderReleased()
{
    if (ui->cbAutoStop->isChecked())
        ui->hsStepSpeed->setValue(0);
}

void MainWindow::on_btnStopStepDir_clicked()
{
    // Refreshed once more by hand: a slider already at 0 reports no change,
    // and the zero rate must still go out.
    ui->hsStepSpeed->setValue(0);
    on_hsStepSpeed_valueChanged(ui->hsStepSpeed->value());
}
