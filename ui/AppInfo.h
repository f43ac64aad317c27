#pragma once

#include <QString>

// Product name and version: window title, About box, first log line.
inline const QString AppVersion = QStringLiteral("Torvan60 1.23");
