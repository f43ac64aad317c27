#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class SimulatedBoard;

// Practice scenarios for the simulated board, chosen with --simulate=NAME:
// "outdated" runs an older application (0x0122), "broken" runs its boot
// loader over a broken application (no signature), "bootloader" runs its
// boot loader over a valid current application, "held" is held open by
// another program (present but not listed, cannot be opened), "stall" shuts
// channel A down for overcurrent whenever a move starts, "glitch" drops off
// the bus for a second whenever a move starts, "faults" trips a channel A
// over-current fault 30 seconds after it was last free of faults, so it
// trips again about every 30 seconds once the faults are reset. Three fail a
// firmware update: "badchecksum" runs an older application whose update
// always reads back a wrong checksum for sector 5, "nochecksum" runs its boot
// loader over a broken application and never answers the checksum request
// for sector 3, "unplugged" runs its boot loader over a broken application
// and is pulled out halfway through the first upload, back two seconds
// later. "updatereset" runs an older application with a tuned configuration
// saved, which the update to the carried application resets to the factory
// settings; "locked" keeps its saved settings whatever is written (a board
// that refuses a new configuration). The empty name is a board that is up to
// date. False for an unknown name (the board
// is left alone).
bool applySimulationScenario(SimulatedBoard &board, const QString &name);

// The scenarios by name, each with what the board does in it.
struct SimulationScenario
{
    QString name, description;
};
const std::vector<SimulationScenario> &simulationScenarios();
QStringList simulationScenarioNames();

class SimulatedBus;

// Puts count boards on the bus; the first plays the scenario, the others are
// up to date. False for an unknown scenario (the bus is left empty).
bool addSimulatedBoards(SimulatedBus &bus, int count, const QString &scenario);
