#pragma once

#include <QString>

// The per-user folder of the tool, from the environment: torvan60 under
// XDG_STATE_HOME when that is an absolute path, else under HOME's
// .local/state. Empty when neither gives an absolute path. The window runs
// there with --user-dir, and every program keeps its settings snapshots
// there.
QString userFolder(const QString &xdgStateHome, const QString &home);
QString userFolder();
