#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// The texts the tool shows for the board's live state: the driver state, the
// six fault bits and the operating modes. Shared by every front end, in
// English; the window shows them translated (TranslatedStatusText).

// Texts of the board's driver states, indexed by RTData.DriverState.
inline const std::array<QString, 6> DriverStateTexts = {
    QStringLiteral(QT_TRANSLATE_NOOP("StatusTexts", "No motor power available")),
    QStringLiteral(QT_TRANSLATE_NOOP("StatusTexts", "Driver Disabled (Sleep)")),
    QStringLiteral(QT_TRANSLATE_NOOP("StatusTexts", "Driver Active")),
    QStringLiteral(QT_TRANSLATE_NOOP("StatusTexts", "Driver IDLE")),
    QStringLiteral(QT_TRANSLATE_NOOP("StatusTexts", "Driver Overheated")),
    QStringLiteral(QT_TRANSLATE_NOOP("StatusTexts", "Driver in PWM mode")),
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
    QT_TRANSLATE_NOOP("StatusTexts", "Device has entered overtemperature shutdown."),
    QT_TRANSLATE_NOOP("StatusTexts", "Channel A overcurrent shutdown. Please check wireing or possible short circuit."),
    QT_TRANSLATE_NOOP("StatusTexts", "Channel B overcurrent shutdown. Please check wireing or possible short circuit."),
    QT_TRANSLATE_NOOP("StatusTexts", "Channel A predriver fault. Please check driver settings."),
    QT_TRANSLATE_NOOP("StatusTexts", "Channel B predriver fault. Please check driver settings."),
    QT_TRANSLATE_NOOP("StatusTexts", "Power supply voltage too low."),
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

// A text of the above as the window shows it, in its language.
inline QString TranslatedStatusText(const QString &text)
{
    return QCoreApplication::translate("StatusTexts", text.toUtf8().constData());
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
