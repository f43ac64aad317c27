#include "ui/MainWindow.h"

#include "device/TorvanDRV.h"
#include "ui/MainWindowForm.h"
#include "ui/SignalWiring.h"

#include <algorithm>
#include <limits>

// Auto control tab: position control along the board's speed profile, jog
// navigation, the board's external buttons and speed mode. Every control
// feeds the one trajectory record through TrajDataChanged.

namespace {

int32_t saturated(int64_t value)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

void MainWindow::TrajDataChanged()
{
    TrajectoryDataRecord &traj = device.TrajectoryData;

    // The widget updates below must not come back in through these.
    ConnectToPositionValueChanged(false);

    traj.MaxSpeed = ui->sbVmax->value();
    traj.MaxAccel = ui->sbAccel->value();
    traj.MaxDecel = ui->sbDecel->value();
    traj.PosLimitUpper = ui->sbPosLimitUpper->value();
    traj.PosLimitLower = ui->sbPosLimitLower->value();
    traj.SmallStep = ui->sbSmallInc->value();
    traj.LargeStep = ui->sbLargeInc->value();

    // Neither limit can pass the other, and the target lies between them.
    // A limit box clamped here runs its own slot, and so this, once more.
    ui->vsFinPos->setMaximum(traj.PosLimitUpper);
    ui->sbFinPos->setMaximum(traj.PosLimitUpper);
    ui->sbPosLimitLower->setMaximum(traj.PosLimitUpper);
    ui->vsFinPos->setMinimum(traj.PosLimitLower);
    ui->sbFinPos->setMinimum(traj.PosLimitLower);
    ui->sbPosLimitUpper->setMinimum(traj.PosLimitLower);

    ui->cbNCTypeEndSwitch->setEnabled(ui->cbEnableEndSwitch->isChecked());

    // A target outside the limits (a jog past one) becomes the nearer
    // limit, by the rule every front end keeps; read back through the box.
    const int32_t target = device.ClampedToPositionLimits(traj.FinalPosition);
    ui->sbFinPos->setValue(target);
    ui->vsFinPos->setValue(target);
    traj.FinalPosition = ui->sbFinPos->value();

    traj.EnableEndSwitch = ui->cbEnableEndSwitch->isChecked();
    traj.NCTypeSwitch = ui->cbNCTypeEndSwitch->isChecked();
    device.DrvSettings.BINxButtonsMode = ui->cbEnableBINxButtonsPosCtrl->isChecked();
    traj.BIN1Steps = ui->sbBIN1Steps->value();
    traj.BIN2Steps = ui->sbBIN2Steps->value();

    // The speed controls show a magnitude; the direction box gives the sign.
    // The magnitude never exceeds MaxSpeed, whatever the record was given.
    traj.AutoRunInvertDirection = ui->cbInvDirection->isChecked();
    const int64_t requested = traj.RequestedSpeed;
    const int64_t magnitude = std::min<int64_t>(requested < 0 ? -requested : requested, std::max(traj.MaxSpeed, 0));
    traj.RequestedSpeed = static_cast<int32_t>(traj.AutoRunInvertDirection ? -magnitude : magnitude);

    ui->lblAutoRunActualSpeed->setText(
        tr("AcSp: %1").arg(traj.RequestedSpeed == 0 ? 0 : TorvanDRV::ProducedStepRate(traj.RequestedSpeed)));

    device.DrvSettings.AutoRunMode = ui->cbEnableAutoRunPosCtrl->isChecked();

    // Lowering MaxSpeed below the requested speed clamps the speed controls,
    // whose slots store the clamped magnitude and recompute.
    ui->hsReqSpeed->setMaximum(traj.MaxSpeed);
    ui->sbReqSpeed->setMaximum(traj.MaxSpeed);
    ui->hsReqSpeed->setSingleStep(traj.MaxSpeed / 20);
    ui->hsReqSpeed->setValue(std::abs(traj.RequestedSpeed));
    ui->sbReqSpeed->setValue(std::abs(traj.RequestedSpeed));

    ConnectToPositionValueChanged(true);

    if (ui->cbAutoUpdatePos->isChecked())
        device.WriteTrajectory();
}

void MainWindow::enableMotionControls(bool enable)
{
    // The page's chart and its tools (pause, cursors, recording, clearing)
    // stay usable in every mode: only what moves the stepper follows it.
    for (QWidget *motion : {static_cast<QWidget *>(ui->gbSpeedProfile), static_cast<QWidget *>(ui->gbPositionControl),
                            static_cast<QWidget *>(ui->tabNavigation)})
        motion->setEnabled(enable);
    const bool external = device.DrvSettings.BINxButtonsMode || device.DrvSettings.AutoRunMode;
    ui->vsFinPos->setEnabled(enable && !external);
}

void MainWindow::controlMotionInto(TrajectoryDataRecord &t) const
{
    // The motion settings the board keeps and the target, as the controls
    // show them.
    t.MaxSpeed = ui->sbVmax->value();
    t.MaxAccel = ui->sbAccel->value();
    t.MaxDecel = ui->sbDecel->value();
    t.EnableEndSwitch = ui->cbEnableEndSwitch->isChecked();
    t.NCTypeSwitch = ui->cbNCTypeEndSwitch->isChecked();
    t.BIN1Steps = ui->sbBIN1Steps->value();
    t.BIN2Steps = ui->sbBIN2Steps->value();
    t.AutoRunInvertDirection = ui->cbInvDirection->isChecked();
    t.FinalPosition = ui->sbFinPos->value();
}

void MainWindow::ConnectToPositionValueChanged(bool connect)
{
    const char *const valueChanged = SIGNAL(valueChanged(int));
    const char *const stateChanged = SIGNAL(stateChanged(int));
    const char *const recompute = SLOT(TrajDataChanged());
    // The first two are also wired by name when the form is built; rewiring
    // by signature replaces that connection, so a change runs its slot once.
    const bool wired = SignalWiring::rewire(this,
                                            {
                                                {ui->vsFinPos, valueChanged, SLOT(on_vsFinPos_valueChanged())},
                                                {ui->sbFinPos, valueChanged, SLOT(on_sbFinPos_valueChanged(int))},
                                                {ui->sbVmax, valueChanged, recompute},
                                                {ui->sbAccel, valueChanged, recompute},
                                                {ui->sbDecel, valueChanged, recompute},
                                                {ui->cbEnableEndSwitch, stateChanged, recompute},
                                                {ui->cbNCTypeEndSwitch, stateChanged, recompute},
                                                {ui->cbEnableBINxButtonsPosCtrl, stateChanged, recompute},
                                                {ui->cbEnableAutoRunPosCtrl, stateChanged, recompute},
                                                {ui->sbBIN1Steps, valueChanged, recompute},
                                                {ui->sbBIN2Steps, valueChanged, recompute},
                                                {ui->sbSmallInc, valueChanged, recompute},
                                                {ui->sbLargeInc, valueChanged, recompute},
                                                {ui->cbInvDirection, stateChanged, recompute},
                                                {ui->hsReqSpeed, valueChanged, recompute},
                                            },
                                            connect);
    if (!wired)
        SignalWiring::reportFailure(
            device.Dialogs(), logger,
            QT_TRANSLATE_NOOP("SignalWiring",
                              "Unexpected error occured while connecting signals for position changed."));
}

void MainWindow::on_vsFinPos_valueChanged()
{
    device.TrajectoryData.FinalPosition = ui->vsFinPos->value();
    TrajDataChanged();
}

void MainWindow::on_sbFinPos_valueChanged(int)
{
    device.TrajectoryData.FinalPosition = ui->sbFinPos->value();
    TrajDataChanged();
}

void MainWindow::on_sbPosLimitUpper_valueChanged(int)
{
    TrajDataChanged();
}

void MainWindow::on_sbPosLimitLower_valueChanged(int)
{
    TrajDataChanged();
}

void MainWindow::on_btnWriteTraj_clicked()
{
    device.WriteTrajectory();
}

void MainWindow::on_btnStopTraj_clicked()
{
    device.StopMotion();
}

void MainWindow::on_btnZeroCurPos_clicked()
{
    // The target goes to 0, or to the nearer limit, before the board's
    // present position becomes 0.
    ui->sbFinPos->setValue(0);
    device.SetHome();
}

// ---- Navigation: jogs by the increment shown now; TrajDataChanged stops
// the target at a limit.

namespace {
void jog(TrajectoryDataRecord &traj, int increment)
{
    traj.FinalPosition = saturated(int64_t(traj.FinalPosition) + increment);
}
} // namespace

void MainWindow::on_btnLargDec_clicked()
{
    jog(device.TrajectoryData, -ui->sbLargeInc->value());
    TrajDataChanged();
}

void MainWindow::on_btnSmallDec_clicked()
{
    jog(device.TrajectoryData, -ui->sbSmallInc->value());
    TrajDataChanged();
}

void MainWindow::on_btnSmallInc_clicked()
{
    jog(device.TrajectoryData, ui->sbSmallInc->value());
    TrajDataChanged();
}

void MainWindow::on_btnLargInc_clicked()
{
    jog(device.TrajectoryData, ui->sbLargeInc->value());
    TrajDataChanged();
}

// ---- External buttons

void MainWindow::on_btnTestBIN1_clicked()
{
    device.TrajectoryData.TestButton = 1;
    device.TestButtons();
}

void MainWindow::on_btnTestBIN2_clicked()
{
    device.TrajectoryData.TestButton = 2;
    device.TestButtons();
}

void MainWindow::on_cbEnableBINxButtonsPosCtrl_toggled(bool checked)
{
    ui->cbEnableBINxUpDown->setChecked(checked);
}

// ---- Speed mode

void MainWindow::on_hsReqSpeed_valueChanged()
{
    device.TrajectoryData.RequestedSpeed = ui->hsReqSpeed->value();
    TrajDataChanged();
}

void MainWindow::on_sbReqSpeed_valueChanged(int)
{
    device.TrajectoryData.RequestedSpeed = ui->sbReqSpeed->value();
    TrajDataChanged();
}

void MainWindow::on_cbEnableAutoRunPosCtrl_toggled(bool checked)
{
    ui->cbEnableAutoRun->setChecked(checked);
    if (!checked)
        leaveAutoRun();
}

void MainWindow::leaveAutoRun()
{
    // The motor stops where it is and that becomes the zero. It becomes the
    // target as well, so the record that follows moves nothing.
    device.StopMotion();
    device.SetHome();
    device.TrajectoryData.FinalPosition = 0;
    // Values being shown (a file, a preset, the board's report) go on to
    // the motion controls yet; the record goes out once they are there.
    if (showingValues > 0) {
        autoRunLeft = true;
        return;
    }
    refreshTrajectoryControls();
    sendRecordWithoutAutoRun();
}

void MainWindow::sendRecordWithoutAutoRun()
{
    // Whatever auto update says: the board stays in speed mode until a
    // trajectory record without auto run reaches it. A board switched to DC
    // motors has left speed mode with the driver values, and gets no
    // stepper command.
    if (!device.DrvSettings.PWMMode)
        device.WriteTrajectory();
}
