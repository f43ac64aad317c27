#pragma once

#include <QString>

#include <array>
#include <cstdint>

// What the board's driver state and fault bits mean, in the words the status
// panel and the live data files use.

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

// One line per fault bit of RTData.FaultFlags, bit 0 first.
inline const std::array<QString, 6> FaultBitTexts = {
    QStringLiteral("Device has entered overtemperature shutdown."),
    QStringLiteral("Channel A overcurrent shutdown. Please check wireing or possible short circuit."),
    QStringLiteral("Channel B overcurrent shutdown. Please check wireing or possible short circuit."),
    QStringLiteral("Channel A predriver fault. Please check driver settings."),
    QStringLiteral("Channel B predriver fault. Please check driver settings."),
    QStringLiteral("Power supply voltage too low."),
};
