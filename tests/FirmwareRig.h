#pragma once

#include "firmware/FirmwareCheck.h"
#include "support/LinkRig.h"

#include <QtTest>

// The link rig with what the firmware check and update tests share: how the
// board starts, and letting a restarted board come back.
struct FirmwareRig : LinkRig
{
    FirmwareRig() { PendingUpdateDevice.clear(); }
    ~FirmwareRig() { PendingUpdateDevice.clear(); }

    // ---- How the board starts ----
    // Its application runs, with this version.
    void applicationRunning(unsigned char versionLow)
    {
        board.model.bootloaderRunning = false;
        board.model.signatureValid = true;
        board.model.apVersionLow = versionLow;
        board.model.flash.loadApplication(0x01, versionLow);
        // The flash must tell the same story as the identity the board reports.
        QCOMPARE(board.model.flash.holdsCarriedApplication(), versionLow == 0x23);
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
    void tick() { enumerationTick(); }
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
};
