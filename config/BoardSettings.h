#pragma once

#include <QString>

class TorvanDRV;

// Writing a configuration to the board, shared by the service's settings
// commands and the restore of a snapshot after a firmware update.
namespace BoardSettings {

// Which parts of a configuration go to the board.
struct Parts
{
    bool driver = true; // the driver values (registers, currents, address, modes)
    bool name = true;   // the name, when the record has one
    bool motion = true; // the motion settings
};

// Writes what the device object's DrvSettings and TrajectoryData hold (as
// loaded by the settings file rules) to the board: the driver values with
// the register codes the controls derive, the name when the record has one
// (otherwise the record takes boardName back), and the motion settings by
// a trajectory command that holds the present position and asks for no
// speed, so nothing moves. Only the parts asked for are sent. Nothing is
// saved in the board.
void Write(TorvanDRV &drv, const QString &boardName, const Parts &parts = Parts());

// What the board keeps of a configuration, to compare a write with its
// read-back: registers 0 to 6 (7 is never written), the side words, the
// address and mode settings, and the motion settings.
QString Kept(const TorvanDRV &drv);

} // namespace BoardSettings
