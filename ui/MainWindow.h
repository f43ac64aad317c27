#pragma once

#include <QMainWindow>

#include <memory>

class MonotonicClock;
class TorvanDRV;
class Logger;
class ElapsedClock;
class LiveChart;
class PlainTextLogPane;
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

private slots:
    void on_btnRunStop_clicked();
    void on_btnSetDefault_clicked();
    void on_btnGetDeviceInfo_clicked();
    void on_btnRestart_clicked();
    void on_btnFullUpdate_clicked();
    void on_btnClearTempLog_clicked();
    void on_btnClearPosGraph_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void addTempChartPoint();
    void addPosChartPoint(bool speedMode, double required);
    // Empties a chart, restarts its time and sets the ranges the clear
    // buttons leave.
    void clearChart(LiveChart *chart, ElapsedClock &chartClock);

    TorvanDRV &device;
    std::unique_ptr<MainWindowForm> ui;
    std::unique_ptr<PlainTextLogPane> logPane;
    Logger *logger = nullptr; // child of the window
    LiveChart *tempChart = nullptr;
    LiveChart *posChart = nullptr;
};
