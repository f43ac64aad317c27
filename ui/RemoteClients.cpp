#include "ui/MainWindow.h"

#include "config/Presets.h"
#include "config/SettingsFile.h"
#include "device/TorvanDRV.h"
#include "log/Logger.h"
#include "service/BoardQuestionDialogs.h"
#include "service/BoardService.h"
#include "ui/Language.h"
#include "ui/MainWindowForm.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>

// The programs that reach the board through the window: while any is
// connected the status bar says so, and what their commands change is shown
// as if read from the board. The service logs each client and command.

namespace {

// The target, beside the keys of a settings file.
const QString FinalPositionKey = QStringLiteral("FinalPosition");

// The controls that show each value, for its caption and its wording.
const std::pair<const char *, const char *> ValueControls[] = {
    {"DriverSettings/StepMode", "cbStepMode"},
    {"DriverSettings/FullScaleCurrent", "dsbFSCurrent"},
    {"DriverSettings/IdleCurrent", "dsbIdleCurrent"},
    {"DriverSettings/TemperatureLimit", "sbTempLimit"},
    {"DriverSettings/ReducedCurrent", "dsbReducedCurrent"},
    {"DriverSettings/PredriverSpeed", "cbPredriverSpeed"},
    {"DriverSettings/DecayMode", "cbDecayMode"},
    {"DriverSettings/BlankingTime", "dsbBlankingTime"},
    {"DriverSettings/AdaptiveBlanking", "cbAdaptiveBlanking"},
    {"DriverSettings/MixedDecayTime", "dsbMixedDecayTime"},
    {"DriverSettings/FixedOffTime", "dsbFixedOffTime"},
    {"DriverSettings/DriverName", "leDriverName"},
    {"DriverSettings/PWMMode", "cbDCMotorMode"},
    {"DriverSettings/I2CAddress", "sbI2CAddress"},
    {"DriverSettings/ModbusConfig", "cbModbusConfig"},
    {"DriverSettings/BINxButtonsMode", "cbEnableBINxUpDown"},
    {"DriverSettings/AutoRunMode", "cbEnableAutoRun"},
    {"TrajectorySettings/MaxSpeed", "sbVmax"},
    {"TrajectorySettings/MaxAccel", "sbAccel"},
    {"TrajectorySettings/MaxDecel", "sbDecel"},
    {"TrajectorySettings/EnableEndSwitch", "cbEnableEndSwitch"},
    {"TrajectorySettings/NCTypeSwitch", "cbNCTypeEndSwitch"},
    {"TrajectorySettings/BIN1Steps", "sbBIN1Steps"},
    {"TrajectorySettings/BIN2Steps", "sbBIN2Steps"},
    {"TrajectorySettings/AutoRunInvertDirection", "cbInvDirection"},
    {"TrajectorySettings/RequestedSpeed", "sbReqSpeed"},
    {"FinalPosition", "sbFinPos"},
};

// The values of the records as the controls hold them, by settings key,
// and the target.
QVariantMap heldValues(DrvSettingsRecord settings, TrajectoryDataRecord trajectory)
{
    SettingsFile::Shown(settings, trajectory);
    QVariantMap values;
    for (const auto &value : SettingsFile::Values(settings, trajectory))
        values.insert(value.first, value.second);
    values.insert(FinalPositionKey, trajectory.FinalPosition);
    return values;
}

// A control's caption: its buddy label's text, else its own text.
QString captionOf(const QWidget *window, const QWidget *control)
{
    for (const QLabel *label : window->findChildren<QLabel *>())
        if (label->buddy() == control)
            return label->text().remove(QLatin1Char('&'));
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->text().remove(QLatin1Char('&'));
    return control->objectName();
}

// A value as its control words it, in the window's language.
QString wording(const QWidget *control, const QVariant &value)
{
    if (const auto *list = qobject_cast<const QComboBox *>(control))
        return value.toInt() < 0 ? MainWindow::tr("none") : list->itemText(value.toInt());
    if (value.userType() == QMetaType::Bool)
        return value.toBool() ? MainWindow::tr("on") : MainWindow::tr("off");
    if (value.userType() == QMetaType::QString)
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    return value.toString();
}

} // namespace

void MainWindow::attachService(BoardService &service)
{
    boardService = &service;
    // The device object's own questions (the firmware question when a board
    // connects) hold clients off as the window's do.
    if (!questionDialogs && device.Dialogs()) {
        questionDialogs = std::make_unique<BoardQuestionDialogs>(
            *device.Dialogs(), [this](const QString &title) { beginQuestion(title); }, [this] { endQuestion(); });
        device.SetDialogs(questionDialogs.get());
    }
    if (!remoteClientsLabel) {
        remoteClientsLabel = new QLabel(this);
        remoteClientsLabel->setObjectName(QStringLiteral("lblRemoteClients"));
        // Read out by its text, which changes; what it is for is its
        // description.
        remoteClientsLabel->setAccessibleDescription(tr("Remote clients"));
        statusBar()->addPermanentWidget(remoteClientsLabel);
        statusBar()->show();
        remoteClientsLabel->hide();
    }
    connect(&service, &BoardService::peersChanged, this, [this](int count) {
        remoteClientsLabel->setText(count == 1 ? tr("1 remote client connected")
                                               : tr("%1 remote clients connected").arg(count));
        remoteClientsLabel->setVisible(count > 0);
    });
    connect(&service, &BoardService::remoteCommand, this, [this](const QString &peer, const QString &command) {
        statusBar()->showMessage(tr("Remote command from %1: %2").arg(peer, command), 5000);
        remoteBaseline.set = true;
        remoteBaseline.settings = device.OnBoardSettings();
        remoteBaseline.trajectory = device.OnBoardTrajectory();
        remoteBaseline.peer = peer;
    });
    connect(&service, &BoardService::remoteCommandRefused, this,
            [this](const QString &peer, const QString &command, const QString &reason) {
                statusBar()->showMessage(
                    QStringLiteral("Remote command refused from %1: %2 (%3)").arg(peer, command, reason), 5000);
            });
    connect(&service, &BoardService::boardSettingsChanged, this, &MainWindow::showRemoteChanges);
}

void MainWindow::beginQuestion(const QString &title)
{
    ++questionsOpen;
    if (boardService)
        boardService->questionOpened(title);
}

void MainWindow::endQuestion()
{
    if (boardService)
        boardService->questionClosed();
    if (--questionsOpen == 0 && remoteChangesWaiting) {
        remoteChangesWaiting = false;
        showRemoteChanges();
    }
}

void MainWindow::showRemoteChanges()
{
    // Not under a question of the window's: the controls it is about stay
    // as they are until it is answered.
    if (questionsOpen > 0) {
        remoteChangesWaiting = true;
        return;
    }
    if (remoteBaseline.set)
        takeRemoteChanges();
    // Shown as after reading the values from the driver. The DC motor group
    // and the auto run box would send their own commands when they change
    // (the switch-over, the stop and zero on leaving auto run): the board
    // already runs what is shown, so they stay quiet.
    {
        const QSignalBlocker dcMotor(ui->gbPWMControl);
        const QSignalBlocker autoRun(ui->cbEnableAutoRunPosCtrl);
        DrvSettings2ControlValues();
    }
    ListValues();
    StorePresetEntry(Presets::DriverValues);
    showPwmData();
}

void MainWindow::takeRemoteChanges()
{
    // The window's values are its controls: a report may have reached the
    // records already.
    DrvSettingsRecord settings;
    controlValuesInto(settings);
    TrajectoryDataRecord trajectory = device.TrajectoryData;
    controlMotionInto(trajectory);

    const QVariantMap before = heldValues(remoteBaseline.settings, remoteBaseline.trajectory);
    const QVariantMap now = heldValues(device.OnBoardSettings(), device.OnBoardTrajectory());
    const QVariantMap own = heldValues(settings, trajectory);
    // The holder's own settings (limits, jog steps) are not here: a client
    // changes them in the window's records themselves.
    QVariantMap taken = own;
    QStringList replaced, logged;
    for (const auto &[key, name] : ValueControls) {
        const QString k = QString::fromLatin1(key);
        if (now.value(k) == before.value(k))
            continue;
        taken.insert(k, now.value(k));
        if (own.value(k) != before.value(k) && own.value(k) != now.value(k)) {
            const QWidget *control = findChild<QWidget *>(QString::fromLatin1(name));
            const QStringList parts = {captionOf(this, control), wording(control, own.value(k)),
                                       wording(control, now.value(k))};
            const QString line = QStringLiteral("%1 %2 → %3");
            replaced << line.arg(parts[0], parts[1], parts[2]);
            // The log names the control and its values as the English
            // window does.
            logged << line.arg(Language::english(parts[0]), Language::english(parts[1]), Language::english(parts[2]));
        }
    }
    SettingsFile::LoadRules rules;
    rules.developerCurrents = true;
    SettingsFile::LoadValues(taken, settings, trajectory, rules);
    trajectory.FinalPosition = taken.value(FinalPositionKey).toInt();
    device.DrvSettings = settings;
    device.TrajectoryData = trajectory;
    remoteBaseline.settings = device.OnBoardSettings();
    remoteBaseline.trajectory = device.OnBoardTrajectory();
    if (replaced.isEmpty())
        return;
    if (logger)
        logger->write(QStringLiteral("Remote change from %1 replaced values not yet written: %2")
                          .arg(remoteBaseline.peer, logged.join(QStringLiteral("; "))));
    statusBar()->showMessage(tr("Remote change from %1 replaced values not yet written: %2")
                                 .arg(remoteBaseline.peer, replaced.join(QStringLiteral("; "))),
                             30000);
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
