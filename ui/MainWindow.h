#pragma once

#include <QMainWindow>

class TorvanDRV;
class Logger;
class LogPane;
class QPlainTextEdit;

// Bare window holding the log pane until the full form lands.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(TorvanDRV &device, QWidget *parent = nullptr);
    ~MainWindow() override;

private:
    TorvanDRV &device;
    QPlainTextEdit *pteLog;
    LogPane *logPane;
    Logger *logger;
};
