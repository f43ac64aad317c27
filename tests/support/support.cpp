// Header-only support; this unit gives the support library a body.
#include "support/CapturingPane.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
