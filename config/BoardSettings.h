#pragma once

#include "config/DriverConfig.h"

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

// Writes a configuration (as loaded by the settings file rules) to the
// board: the driver values with the register codes the controls derive,
// the name when settings has one, and the motion settings by a trajectory
// command that holds the present position and asks for no speed, so
// nothing moves. Only the parts asked for are sent; nothing is saved in the
// board. The device object's working records (the window's, with its
// operator's unwritten edits) are left alone: the board's own record
// follows what was sent. The name the board keeps afterwards is returned.
QString Write(TorvanDRV &drv, DrvSettingsRecord settings, const TrajectoryDataRecord &trajectory,
              const Parts &parts = Parts());

// The motion settings of a configuration as the holder has them: the
// board's, with the holder's own (position limits, jog steps, speed for the
// next run in speed mode), which no board keeps.
TrajectoryDataRecord Motion(const TorvanDRV &drv);

// What the board keeps of its configuration, to compare a write with its
// read-back: registers 0 to 6 (7 is never written), the side words, the
// address and mode settings, and the motion settings.
QString Kept(const TorvanDRV &drv);

} // namespace BoardSettings
