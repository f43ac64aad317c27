#pragma once

#include "config/DriverConfig.h"

#include <QString>
#include <QStringList>

// The timing figures the driver setup lists for the operator: the predriver
// checks, the chopping frequency they give, and the four times of the timing
// picture. Built from the settings and the device object's timing table
// (dead times, gate charge, drive times, drive currents).
namespace TimingSummary {

// The four summary lines: drive current against gate charge over rise time
// (the dead time stands for the rise time), drive time against twice the rise
// time, the chopping frequency, and the gate charge the predriver supply
// allows at that frequency.
QStringList Lines(const DrvSettingsRecord &settings, const double timingTable[13]);

// Texts of the timing picture's labels.
struct Labels
{
    QString Ton; // shortest on time: drive time or blanking time, whichever is longer
    QString Tblank;
    QString Toff;
    QString Tdecay;
};
Labels PictureLabels(const DrvSettingsRecord &settings, const double timingTable[13]);

} // namespace TimingSummary
