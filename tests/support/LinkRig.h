#pragma once

#include "device/TorvanDRV.h"
#include "device/sim/SimulatedBoard.h"
#include "log/Logger.h"
#include "support/CapturingPane.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"

#include <QMetaObject>
#include <QTest>

#include <algorithm>

// The device object on a simulated bus with one board, a manual clock,
// scripted answers to the operator's questions and a captured log.
struct LinkRig
{
    ManualClock clock;
    SimulatedBus bus{clock};
    SimulatedBoard &board{bus.addBoard()};
    CapturingPane pane;
    Logger logger{nullptr, QString(), &pane};
    ScriptedDialogs dialogs;
    TorvanDRV drv;

    LinkRig()
    {
        drv.SetClock(&clock);
        drv.SetTransport(&bus);
        drv.SetLogger(&logger);
        drv.SetDialogs(&dialogs);
    }

    void enumerationTick() { QMetaObject::invokeMethod(&drv, "USBEnumTimerHandler"); }
    void receiveTick() { QMetaObject::invokeMethod(&drv, "USBRXTimerHandler"); }
    // Finds the board and connects it: identity exchange and live stream.
    void connectBoard()
    {
        enumerationTick();
        QVERIFY(drv.IsConnected());
    }

    // How many commands with this code the board took in.
    int count(unsigned char code) const
    {
        const auto codes = board.receivedCodes();
        return int(std::count(codes.begin(), codes.end(), code));
    }
};
