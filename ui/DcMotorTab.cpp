#include "ui/MainWindow.h"

#include "device/TorvanDRV.h"
#include "log/Logger.h"
#include "ui/MainWindowForm.h"
#include "ui/SignalWiring.h"

// DC motor control tab: two signed PWM channels sharing one frequency. Only
// the sliders and the dial drive the PWM values; each box acts through its
// slider.

void MainWindow::ConnectToPWMValueChanged(bool connect)
{
    const char *const valueChanged = SIGNAL(valueChanged(int));
    const char *const changed = SLOT(PWMValueChanged());
    const bool wired = SignalWiring::rewire(this,
                                            {
                                                {ui->vsPWM_A, valueChanged, changed},
                                                {ui->vsPWM_B, valueChanged, changed},
                                                {ui->dialPWMFreq, valueChanged, changed},
                                            },
                                            connect);
    if (!wired)
        SignalWiring::reportFailure(
            device.Dialogs(), logger,
            QT_TRANSLATE_NOOP("SignalWiring", "Unexpected error occured while connecting signals."));
}

void MainWindow::PWMValueChanged()
{
    ConnectToPWMValueChanged(false);
    ControlValues2PWMSettings();
    if (ui->cbAutoUpdatePWMs->isChecked())
        device.WritePWMSettings();
    ConnectToPWMValueChanged(true);
}

void MainWindow::ControlValues2PWMSettings()
{
    PWMDataRecord &pwm = device.PWMData;
    pwm.DutyA = ui->vsPWM_A->value();
    pwm.DutyB = ui->vsPWM_B->value();
    pwm.PWMFrequency = ui->dialPWMFreq->value();
    device.CalculatePWMTimers();

    ui->ptePWMValues->clear();
    ui->ptePWMValues->appendPlainText(
        QString::asprintf("PWM A: % 4d%%, PWM B: % 4d%%, Freq: %d Hz", pwm.DutyA, pwm.DutyB, pwm.PWMFrequency));
    ui->ptePWMValues->appendPlainText(QString::asprintf("TMR_A: % 4d, % 4d, TMR_B: % 4d, % 4d, Actual Freq: %d Hz",
                                                        pwm.TimerAForward, pwm.TimerAReverse, pwm.TimerBForward,
                                                        pwm.TimerBReverse, pwm.ActualFrequency));
}

// ---- Slider/box pairs: each sets its partner with the partner's own
// mirroring slot cut off, so the pair never echoes.

void MainWindow::on_sbPWM_A_valueChanged(int value)
{
    SignalWiring::setPartner(this, ui->vsPWM_A, value, SLOT(on_vsPWM_A_valueChanged(int)));
}

void MainWindow::on_vsPWM_A_valueChanged(int value)
{
    SignalWiring::setPartner(this, ui->sbPWM_A, value, SLOT(on_sbPWM_A_valueChanged(int)));
}

void MainWindow::on_sbPWM_B_valueChanged(int value)
{
    SignalWiring::setPartner(this, ui->vsPWM_B, value, SLOT(on_vsPWM_B_valueChanged(int)));
}

void MainWindow::on_vsPWM_B_valueChanged(int value)
{
    SignalWiring::setPartner(this, ui->sbPWM_B, value, SLOT(on_sbPWM_B_valueChanged(int)));
}

void MainWindow::on_sbPWMFreq_valueChanged(int value)
{
    SignalWiring::setPartner(this, ui->dialPWMFreq, value, SLOT(on_dialPWMFreq_valueChanged(int)));
}

void MainWindow::on_dialPWMFreq_valueChanged(int value)
{
    SignalWiring::setPartner(this, ui->sbPWMFreq, value, SLOT(on_sbPWMFreq_valueChanged(int)));
}

void MainWindow::on_btnSetPWM_clicked()
{
    ControlValues2PWMSettings();
    device.WritePWMSettings();
}

void MainWindow::on_btnStopPWM_clicked()
{
    // Zero duties go out once, whatever the auto update box says; the
    // frequency stays.
    ConnectToPWMValueChanged(false);
    ui->sbPWM_A->setValue(0);
    ui->sbPWM_B->setValue(0);
    ControlValues2PWMSettings();
    device.WritePWMSettings();
    ConnectToPWMValueChanged(true);
}

void MainWindow::on_gbPWMControl_toggled(bool checked)
{
    // The group's state has already changed: the box informs, it cannot
    // refuse. The motor on the output terminals must match the new mode.
    // Until the switch-over is written, remote clients' changes wait: the
    // notice tells of a driver about to be stopped.
    const QString title = checked ? QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "PWM Information"))
                                  : QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "PWM warning"));
    const AskingOperator asking(*this, title);
    OperatorDialogs *dialogs = device.Dialogs();
    if (checked) {
        if (dialogs)
            dialogs->notice(title, tr("Please make sure DC motor is connected to output terminals!!! "
                                      "Driver will be stopped."));
        if (logger)
            logger->write(QStringLiteral("Enabling PWMs."));
    } else {
        if (dialogs)
            dialogs->warning(title, tr("Please make sure STEPPER MOTOR is now connected to output "
                                       "terminals. DC motor can suddenly move with fast speed. Driver "
                                       "will be stopped."));
        if (logger)
            logger->write(QStringLiteral("Disabling PWMs."));
    }
    ui->sbPWM_A->setValue(0);
    ui->sbPWM_B->setValue(0);
    ui->cbDCMotorMode->setChecked(checked);
    enableMotionControls(!checked);
    ui->btnSetDefault->setEnabled(!checked);

    ui->btnRunStop->setText(tr("Run"));
    device.SleepDriver();
    ControlValues2DrvSettings();
    device.WriteDriverValues();
}
