#include "ui/MainWindow.h"

#include "app/Logger.h"
#include "device/TorvanDRV.h"
#include "ui/AppInfo.h"
#include "ui/PlainTextLogPane.h"

#include <QPlainTextEdit>

MainWindow::MainWindow(TorvanDRV &device, QWidget *parent) : QMainWindow(parent), device(device)
{
    pteLog = new QPlainTextEdit(this);
    pteLog->setObjectName(QStringLiteral("pteLog"));
    pteLog->setReadOnly(true);
    setCentralWidget(pteLog);
    resize(1118, 724);
    setWindowTitle(AppVersion + QStringLiteral(" - No device connected"));
    device.StartTimers();
    logPane = new PlainTextLogPane(pteLog);
    logger = new Logger(this, QStringLiteral("log.txt"), logPane);
    device.SetLogger(logger);
    logger->write(QStringLiteral("Application started: ") + AppVersion);
}

MainWindow::~MainWindow()
{
    device.SetLogger(nullptr);
    delete logger;
    delete logPane;
}
