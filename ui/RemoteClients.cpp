#include "ui/MainWindow.h"

#include "device/TorvanDRV.h"
#include "service/BoardService.h"
#include "ui/MainWindowForm.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>

// The programs that reach the board through the window: while any is
// connected the status bar says so, and what their commands change is shown
// as if read from the board. The service logs each client and command.

void MainWindow::attachService(BoardService &service)
{
    if (!remoteClientsLabel) {
        remoteClientsLabel = new QLabel(this);
        remoteClientsLabel->setObjectName(QStringLiteral("lblRemoteClients"));
        remoteClientsLabel->setAccessibleName(QStringLiteral("Remote clients"));
        statusBar()->addPermanentWidget(remoteClientsLabel);
        statusBar()->show();
        remoteClientsLabel->hide();
    }
    connect(&service, &BoardService::peersChanged, this, [this](int count) {
        remoteClientsLabel->setText(count == 1 ? QStringLiteral("1 remote client connected")
                                               : QStringLiteral("%1 remote clients connected").arg(count));
        remoteClientsLabel->setVisible(count > 0);
    });
    connect(&service, &BoardService::remoteCommand, this, [this](const QString &peer, const QString &command) {
        statusBar()->showMessage(QStringLiteral("Remote command from %1: %2").arg(peer, command), 5000);
    });
    connect(&service, &BoardService::remoteCommandRefused, this,
            [this](const QString &peer, const QString &command, const QString &reason) {
                statusBar()->showMessage(
                    QStringLiteral("Remote command refused from %1: %2 (%3)").arg(peer, command, reason), 5000);
            });
    connect(&service, &BoardService::boardSettingsChanged, this, &MainWindow::showRemoteChanges);
}

void MainWindow::showRemoteChanges()
{
    // Shown as after reading the values from the driver. The DC motor group
    // and the auto run box would send their own commands when they change
    // (the switch-over, the stop and zero on leaving auto run): the board
    // already runs what is shown, so they stay quiet.
    {
        const QSignalBlocker dcMotor(ui->gbPWMControl);
        const QSignalBlocker autoRun(ui->cbEnableAutoRunPosCtrl);
        DisplayDrvValues();
    }
    showPwmData();
}

void MainWindow::showPwmData()
{
    const PWMDataRecord &pwm = device.PWMData;
    ConnectToPWMValueChanged(false);
    ui->sbPWM_A->setValue(pwm.DutyA);
    ui->sbPWM_B->setValue(pwm.DutyB);
    if (pwm.PWMFrequency > 0)
        ui->sbPWMFreq->setValue(pwm.PWMFrequency);
    ControlValues2PWMSettings();
    ConnectToPWMValueChanged(true);
}
