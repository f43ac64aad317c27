#pragma once

#include "config/DriverConfig.h"

#include <QMainWindow>
#include <QString>
#include <QVector>

#include <memory>

class BoardQuestionDialogs;
class BoardService;
class MonotonicClock;
class QLabel;
class TorvanDRV;
class Logger;
class ElapsedClock;
class LiveChart;
class PlainTextLogPane;
class ReadValuesWatch;
class RecordsTab;
class ReportedSettings;
class SettingsCompareDialog;
class UpdateSnapshots;
class RepaintPacer;
struct MainWindowForm;

// The application's only window. It owns the widget tree of all tabs and the
// event log, starts the device object's timers and shows what the device
// object reports through its signals. Slots named on_<object>_<signal> are
// wired to the form's widgets by name.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // The device object must outlive the window; clock is the time base of
    // the charts and must outlive it too.
    MainWindow(TorvanDRV &device, const MonotonicClock &clock, QWidget *parent = nullptr);
    ~MainWindow() override;

    // A picture the window read at start: its name relative to the working
    // directory and the file it was loaded from, empty when it did not load.
    struct PictureSource
    {
        QString name;
        QString file;
    };
    const QVector<PictureSource> &pictureSources() const { return pictures; }

    // The event log, for the parts of the program beside the window.
    Logger *eventLog() const { return logger; }
    // The service of the board the window holds: its clients show in the
    // status bar and their changes in the controls (ui/RemoteClients.cpp).
    void attachService(BoardService &service);
    // Shows the live data file at path on the "Records" page.
    void openRecording(const QString &path);
    // The settings snapshots kept over firmware updates of the board the
    // window holds: listed on the "Records" page with "Compare" and
    // "Restore".
    void attachSnapshots(UpdateSnapshots &snapshots);
    // "Compare with file…" with the file at path: its differences from what
    // the board reported, in a dialog that offers to load it. Null (and a
    // notice) when it is no settings file.
    SettingsCompareDialog *compareSettingsWith(const QString &path);

public slots:
    // Live status panel.
    void DisplayRTData();
    void UpdateMainWindowDriverInfo();
    // Firmware tab.
    void UpdateFWProgressBar();
    // Developer controls: shown and enabled with show.
    void ShowHideAdvancedControls(bool show);
    // Charts, set up once at the end of construction.
    void InitCharts();

    // ---- Driver setup tab (ui/DriverSetupTab.cpp) ----
    void DisplayDrvValues();
    void ControlValueChanged();
    void ControlValues2DrvSettings();
    void DrvSettings2ControlValues();
    void ListValues();
    void CheckEnableConstraints();
    void ConnectToValueChanged(bool connect);

    // ---- Auto control tab: position control and navigation
    //      (ui/PositionControlTab.cpp) ----
    void TrajDataChanged();
    void ConnectToPositionValueChanged(bool connect);

    // What a remote client changed, shown without sending anything.
    void showRemoteChanges();

    // ---- DC motor control tab (ui/DcMotorTab.cpp) ----
    void ConnectToPWMValueChanged(bool connect);
    void PWMValueChanged();
    void ControlValues2PWMSettings();

private slots:
    void on_btnRunStop_clicked();
    void on_btnSetDefault_clicked();
    void on_btnGetDeviceInfo_clicked();
    void on_btnRestart_clicked();
    void on_btnFullUpdate_clicked();
    void on_btnClearTempLog_clicked();
    void on_btnClearPosGraph_clicked();

    // ---- Driver setup tab (ui/DriverSetupTab.cpp) ----
    void on_hsBlankingTime_valueChanged();
    void on_dsbBlankingTime_valueChanged(double);
    void on_hsFixedOffTime_valueChanged();
    void on_dsbFixedOffTime_valueChanged(double);
    void on_hsMixedDecayTime_valueChanged();
    void on_dsbMixedDecayTime_valueChanged(double);
    void on_btnReadDrvValues_clicked();
    void on_btnWriteDrvValues_clicked();
    void on_btnResetFaults_clicked();
    void on_cbEnableAdvancedDriverSetup_stateChanged(int);
    void on_pbSaveSettings_clicked();
    void on_pbLoadSettings_clicked();
    void on_pbCompareSettings_clicked();
    void on_cbConfigurations_currentIndexChanged(int);

    // ---- Step control tab (ui/StepControlTab.cpp) ----
    void on_dialMaxStepSpeed_valueChanged(int);
    void on_hsStepSpeed_valueChanged(int);
    void on_btnSetFrequency_clicked();
    void on_hsStepSpeed_sliderReleased();
    void on_btnStopStepDir_clicked();

    // ---- Auto control tab (ui/PositionControlTab.cpp) ----
    void on_vsFinPos_valueChanged();
    void on_sbFinPos_valueChanged(int);
    void on_sbPosLimitUpper_valueChanged(int);
    void on_sbPosLimitLower_valueChanged(int);
    void on_btnWriteTraj_clicked();
    void on_btnStopTraj_clicked();
    void on_btnZeroCurPos_clicked();
    void on_btnLargDec_clicked();
    void on_btnSmallDec_clicked();
    void on_btnSmallInc_clicked();
    void on_btnLargInc_clicked();
    void on_btnTestBIN1_clicked();
    void on_btnTestBIN2_clicked();
    void on_cbEnableBINxButtonsPosCtrl_toggled(bool checked);
    void on_hsReqSpeed_valueChanged();
    void on_sbReqSpeed_valueChanged(int);
    void on_cbEnableAutoRunPosCtrl_toggled(bool checked);

    // ---- DC motor control tab (ui/DcMotorTab.cpp) ----
    void on_sbPWM_A_valueChanged(int);
    void on_vsPWM_A_valueChanged(int);
    void on_sbPWM_B_valueChanged(int);
    void on_vsPWM_B_valueChanged(int);
    void on_sbPWMFreq_valueChanged(int);
    void on_dialPWMFreq_valueChanged(int);
    void on_btnSetPWM_clicked();
    void on_btnStopPWM_clicked();
    void on_gbPWMControl_toggled(bool checked);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Closing while the motor moves or clients are connected asks the
    // operator first: stop the motor and close, close and leave it, or stay.
    void closeEvent(QCloseEvent *event) override;

private:
    // A question to the operator about the board is open from begin to end:
    // the service refuses clients' changes meanwhile, and what clients
    // changed before shows once it is answered (ui/RemoteClients.cpp).
    void beginQuestion(const QString &title);
    void endQuestion();
    struct AskingOperator
    {
        AskingOperator(MainWindow &window, const QString &title) : window(window) { window.beginQuestion(title); }
        ~AskingOperator() { window.endQuestion(); }
        MainWindow &window;
    };
    // Whether the motor moves (or the DC motor outputs are driven), and
    // stopping it as the window's Stop does for the mode it runs in.
    bool motorMoving() const;
    void stopMotor();

    // Status label, lamp and Faults box for the fault flags of a report
    // with motor power.
    void showFaults(int flags);
    // Current position and speed boxes, at most once per painted frame.
    void showMotion();
    void writeMotion();
    // The pictures and the icon, found through picturePath; each remembers
    // where it came from in pictures.
    QPixmap loadPicture(const QString &name);
    QIcon loadIcon(const QString &name);

    // The PWM record in the DC motor control tab, sending nothing.
    void showPwmData();
    // What the controls hold, into a record of the driver settings, and the
    // board's motion settings and the target into a motion record.
    void controlValuesInto(DrvSettingsRecord &settings) const;
    void controlMotionInto(TrajectoryDataRecord &trajectory) const;
    // Takes what a remote client changed on the board since the baseline
    // into the window's records, keeping the operator's unwritten edits of
    // everything else, and tells the operator which of those edits the
    // client replaced (ui/RemoteClients.cpp).
    void takeRemoteChanges();

    void addTempChartPoint();
    void addPosChartPoint(bool speedMode, double required);
    // Empties a chart, restarts its time and sets the ranges the clear
    // buttons leave.
    void clearChart(LiveChart *chart, ElapsedClock &chartClock);

    // Driver setup tab: the built-in presets at start, and filing the
    // current settings under an entry name of the preset selector.
    void initPresets();
    void StorePresetEntry(const QString &name);
    // Loads a settings file into the controls as "Load settings from file"
    // does once a file is chosen.
    void loadSettingsFile(const QString &path);
    // A settings file chosen to open; empty when cancelled.
    QString chooseSettingsFile(const QString &caption);
    // Shows the motion record in the Auto control tab's controls without
    // reacting to it, then lets that tab take it up (ranges, sign of the
    // speed) without sending anything.
    void showTrajectoryData();
    void refreshTrajectoryControls();
    // The Auto control page's controls that move the stepper, enabled or
    // not; its chart and chart tools are left as they are.
    void enableMotionControls(bool enable);
    // Auto run was switched off: the motor stops, where it stands becomes
    // the zero and the target, and the board gets the record without auto
    // run, which takes it out of speed mode. While new values are being
    // shown, the record goes out once they all are.
    void leaveAutoRun();
    void sendRecordWithoutAutoRun();

    TorvanDRV &device;
    std::unique_ptr<MainWindowForm> ui;
    std::unique_ptr<PlainTextLogPane> logPane;
    Logger *logger = nullptr; // child of the window
    LiveChart *tempChart = nullptr;
    LiveChart *posChart = nullptr;
    RepaintPacer *pacer = nullptr;        // child of the window
    ReadValuesWatch *readWatch = nullptr; // child of the window
    RecordsTab *records = nullptr;        // child of the window
    ReportedSettings *reported = nullptr; // child of the window: what the board last reported
    int showingValues = 0;                // DrvSettings2ControlValues is under way
    bool autoRunLeft = false;             // ...and auto run was left meanwhile
    QLabel *remoteClientsLabel = nullptr;
    BoardService *boardService = nullptr; // the service of the board held, when attached
    // The device object's dialogs as the service should know them: its
    // questions mark the service busy. Put in place by attachService.
    std::unique_ptr<BoardQuestionDialogs> questionDialogs;
    int questionsOpen = 0;
    bool remoteChangesWaiting = false; // to be shown once the questions are answered
    // What the board held when the latest remote command began, and whose
    // it was: the client's changes are what the board holds now beyond it.
    // Not set while no remote command is under way since the window last
    // took the board's values whole (its own read, a new connection).
    struct RemoteBaseline
    {
        bool set = false;
        DrvSettingsRecord settings;
        TrajectoryDataRecord trajectory;
        QString peer;
    };
    RemoteBaseline remoteBaseline;
    // What the live status panel wrote last, where the widget cannot tell.
    struct ShownStatus
    {
        QString voltage, temperature; // texts of the two displays
        int faultFlags = -1;          // the Faults box lists these...
        int faultsRevision = -1;      // ...as long as its document is at this revision
    };
    ShownStatus shown;
    bool motionPending = false; // the boxes wait for the end of the frame
    QVector<PictureSource> pictures;
};
