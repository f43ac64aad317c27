#pragma once

#include "ui_AboutPage.h"
#include "ui_ConnectionDiagramsPage.h"
#include "ui_DcMotorPage.h"
#include "ui_DriverSetupPage.h"
#include "ui_FirmwarePage.h"
#include "ui_LogChartsPage.h"
#include "ui_LogPage.h"
#include "ui_MainWindow.h"
#include "ui_PositionControlPage.h"
#include "ui_RecordsPage.h"
#include "ui_StatusPage.h"
#include "ui_StepControlPage.h"

class QMainWindow;

// The window's form: the frame (status panel and the two tab widgets) and one
// Designer form per tab page, built into the frame's empty pages. Widget
// names are unique across all forms, so every widget is reached as
// ui->objectName as if it were one form.
struct MainWindowForm : Ui::MainWindow,
                        Ui::StatusPage,
                        Ui::FirmwarePage,
                        Ui::DriverSetupPage,
                        Ui::StepControlPage,
                        Ui::PositionControlPage,
                        Ui::DcMotorPage,
                        Ui::LogChartsPage,
                        Ui::RecordsPage,
                        Ui::LogPage,
                        Ui::AboutPage,
                        Ui::ConnectionDiagramsPage
{
    // Builds every form into window. The forms do not wire slots by name
    // themselves: the caller does that once for the whole tree, so no
    // widget's slot is connected twice.
    void setupUi(QMainWindow *window)
    {
        Ui::MainWindow::setupUi(window);
        Ui::StatusPage::setupUi(tab_6);
        Ui::FirmwarePage::setupUi(tab_7);
        Ui::DriverSetupPage::setupUi(tabDriverSetup);
        Ui::StepControlPage::setupUi(tabStepDirControl);
        Ui::PositionControlPage::setupUi(tabPositionControl);
        Ui::DcMotorPage::setupUi(tabPWMControl);
        Ui::LogChartsPage::setupUi(tabTempLog);
        Ui::RecordsPage::setupUi(tabRecords);
        Ui::LogPage::setupUi(tab_5);
        Ui::AboutPage::setupUi(tab);
        Ui::ConnectionDiagramsPage::setupUi(tabConnectionDiagrams);
        lockGroupsAtStart();
    }

    // The groups that start locked, locked only now that all they hold
    // exists. A widget built inside a parent that is disabled at that
    // moment (a disabled group, an unticked checkable one) takes the
    // accessibility interface of a plain widget for as long as it lives:
    // a screen reader would see a nameless object in place of a slider or
    // a button. So the forms build these groups enabled.
    void lockGroupsAtStart()
    {
        gbAdvancedDriverSetup->setEnabled(false);
        gbPWMControl->setChecked(false);
    }
};
