#pragma once

#include "device/Clock.h"

#include <QString>

#include <array>
#include <cstdint>

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

// Texts of the board's driver states, indexed by RTData.DriverState.
inline const std::array<QString, 6> DriverStateTexts = {
    QStringLiteral("No motor power available"),
    QStringLiteral("Driver Disabled (Sleep)"),
    QStringLiteral("Driver Active"),
    QStringLiteral("Driver IDLE"),
    QStringLiteral("Driver Overheated"),
    QStringLiteral("Driver in PWM mode"),
};

// The text for a driver state; a state the table does not know shows blank.
inline QString DriverStateText(int32_t state)
{
    if (state < 0 || state >= static_cast<int32_t>(DriverStateTexts.size()))
        return QString();
    return DriverStateTexts[static_cast<size_t>(state)];
}

// Time bases of the two charts: keys are seconds since the clock was started
// or restarted (by the chart's clear button).
inline ElapsedClock TempChartClock;
inline ElapsedClock PosChartClock;
