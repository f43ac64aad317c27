#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// The texts the tool shows for the board's live state: the driver state, the
// six fault bits and the operating modes. Shared by every front end.

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
inline const char *const FaultLines[6] = {
    "Device has entered overtemperature shutdown.",
    "Channel A overcurrent shutdown. Please check wireing or possible short circuit.",
    "Channel B overcurrent shutdown. Please check wireing or possible short circuit.",
    "Channel A predriver fault. Please check driver settings.",
    "Channel B predriver fault. Please check driver settings.",
    "Power supply voltage too low.",
};

// The lines of the fault bits set in flags, bit 0 first.
inline QStringList FaultTexts(int flags)
{
    QStringList texts;
    for (int bit = 0; bit < 6; ++bit)
        if (flags & (1 << bit))
            texts << QLatin1String(FaultLines[bit]);
    return texts;
}

// Captions of the operating modes 1 to 6 (RTData.OperatingMode); blank for
// any other code.
inline QString OperatingModeText(int32_t mode)
{
    static const char *const captions[6] = {
        "Default (ext Step/Dir)", "Step/Dir", "DC motor (2x)", "Trajectory", "BINx Up/Down", "Speed / Auto run mode"};
    if (mode < 1 || mode > 6)
        return QString();
    return QLatin1String(captions[mode - 1]);
}
