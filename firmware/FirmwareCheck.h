#pragma once

#include <QString>

// The unique id text of the board the operator agreed to restart for an
// update; empty when none. When that board comes back in its boot loader, the
// update runs without asking again. Lives only in memory.
extern QString PendingUpdateDevice;
