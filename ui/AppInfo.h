#pragma once

#include "device/Clock.h"
#include "device/StatusTexts.h"

#include <QString>

// Product name and version: window title, About box, first log line. A
// build for developers adds its marker (below) before the window is built.
inline QString AppVersion = QStringLiteral("Torvan60 1.23");

// Whether the developer controls are shown. Set by the window at start from
// the version text and toggled with F12; never stored.
inline bool DeveloperMode = false;

// A version text carrying this marker (in exactly this case) starts the tool
// with the developer controls shown.
inline bool IsDeveloperVersion(const QString &version)
{
    return version.contains(QLatin1String("developer"), Qt::CaseSensitive);
}

// Time bases of the two charts: keys are seconds since the clock was started
// or restarted (by the chart's clear button).
inline ElapsedClock TempChartClock;
inline ElapsedClock PosChartClock;
