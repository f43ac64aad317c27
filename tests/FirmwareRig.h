#pragma once

#include "app/Logger.h"
#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "firmware/FirmwareCheck.h"
#include "support/CapturingPane.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"

#include <QMetaObject>

#include <algorithm>

// The device object on a simulated bus with one board, a manual clock,
// scripted answers and a captured log: what the firmware check and update
// tests share.
struct FirmwareRig
{
    ManualClock clock;
    SimulatedBus bus{clock};
    SimulatedBoard &board{bus.addBoard()};
    CapturingPane pane;
    Logger logger{nullptr, QString(), &pane};
    ScriptedDialogs dialogs;
    TorvanDRV drv;

    FirmwareRig()
    {
        drv.SetClock(&clock);
        drv.SetTransport(&bus);
        drv.SetLogger(&logger);
        drv.SetDialogs(&dialogs);
        PendingUpdateDevice.clear();
    }
    ~FirmwareRig() { PendingUpdateDevice.clear(); }

    // ---- How the board starts ----
    // Its application runs, with this version.
    void applicationRunning(unsigned char versionLow)
    {
        board.model.bootloaderRunning = false;
        board.model.signatureValid = true;
        board.model.apVersionLow = versionLow;
        board.model.flash.loadApplication(0x01, versionLow);
    }
    // Its boot loader runs over a valid application of this version.
    void bootloaderOverApplication(unsigned char versionLow)
    {
        applicationRunning(versionLow);
        board.model.bootloaderRunning = true;
    }
    // Its boot loader runs over a broken application (an update that broke
    // off); the version bytes still read 0x0123.
    void bootloaderOverBrokenApplication()
    {
        board.model.bootloaderRunning = true;
        board.model.signatureValid = false;
        board.model.flash.breakApplication();
    }

    // ---- Driving the link ----
    void tick() { QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler"); }
    void receiveTick() { QMetaObject::invokeMethod(&drv, "USBRXTimerHandler"); }
    // Lets a restarted board come back on the bus, then runs an enumeration
    // tick.
    void tickAfterRestart()
    {
        clock.advance(board.restartOffBusMs + 1);
        tick();
    }
    void forget()
    {
        board.received.clear();
        pane.lines.clear();
        dialogs.shown.clear();
    }

    int count(unsigned char code) const
    {
        const auto codes = board.receivedCodes();
        return int(std::count(codes.begin(), codes.end(), code));
    }
};
