#pragma once

class TorvanDRV;

// A full update runs inside the device object's connection (the firmware
// check after the identity exchange starts it), so whichever wait is running
// when it breaks off ends on it and tells the operator at once.

// Whether the last full update of this run broke off: its checksums failed,
// the board was lost or an error ended it.
bool updateBrokeOff(const TorvanDRV &drv);

// Says on stderr how it broke off and what to do next. The exit code: Failed
// while the board stays connected in its boot loader, NoBoard when it was lost.
int reportBrokenUpdate(const TorvanDRV &drv);
