#pragma once

#include "device/BoardOptions.h"
#include "device/Clock.h"
#include "device/TorvanDRV.h"
#include "device/TransportChain.h"
#include "firmware/UpdateSnapshots.h"
#include "record/WallClock.h"
#include "service/BoardPresence.h"
#include "service/BoardService.h"

#include <QObject>

#include <memory>
#include <vector>

class Logger;

// One matching board on the bus before any is opened.
struct BoardEntry
{
    HidDeviceEntry entry;
    bool held = false; // another program holds it open
};

// A board held by a program without a window (torvan60ctl, its serve
// command, the Python package): the transport chain of the shared options,
// the device object on it and the service that answers for it. It connects
// the one board it is told to hold, and again after every loss, as the
// window does; it closes the board (sending nothing) when it goes.
class BoardHolder : public QObject
{
    Q_OBJECT
public:
    explicit BoardHolder(QObject *parent = nullptr);
    ~BoardHolder() override;

    // Builds the transport chain; empty on success, else why not.
    QString open(const BoardOptions &options);
    // The event log, for the device object and the service.
    void setLogger(Logger *logger);

    // Matching boards, free ones first in bus order, then held ones.
    std::vector<BoardEntry> boards();
    // The simulated boards' bus, when the options asked for one.
    SimulatedBus *simulatedBus() const { return chain.simulatedBus(); }

    // Holds the board with this serial from now on.
    void hold(const QString &serial);
    // Connected, its identity read and no exchange running.
    bool identified() const { return presence.identified(); }
    // Its driver values, motion settings and name read since it connected.
    bool settingsRead() const { return presence.settingsRead(); }
    // Live reports since it connected.
    int liveReports() const { return presence.liveReports(); }

    // How long a board may take, with margin for a loaded machine: the
    // device information exchange (on a board that does not answer), its
    // settings after that, and the live reports that fill the voltage and
    // temperature filter.
    static constexpr int ConnectTimeoutMs = 10000;
    static constexpr int SettingsTimeoutMs = 4000;
    static constexpr int LiveTimeoutMs = 4000;
    static constexpr int FilterReports = BoardPresence::FilterReports;

    SteadyClock clock;
    SystemWallClock wallClock;
    TorvanDRV drv;
    BoardService service{drv, clock, wallClock};
    // The board's settings kept over a firmware update, under the user
    // folder (set by open()).
    UpdateSnapshots snapshots{drv, wallClock};

signals:
    // Something of the board changed: a report, a connection or a loss.
    void changed();

private:
    TransportChain chain{clock};
    // What is known of the board since it connected; made before the
    // constructor connects changed(), so it is up to date when that is sent.
    BoardPresence presence{drv};
};
