#include "config/TimingSummary.h"

#include <algorithm>

namespace TimingSummary {

namespace {

// Positions in the timing table.
constexpr int DeadTimeAt = 0;
constexpr int GateChargeAt = 4;
constexpr int DriveTimeAt = 5;
constexpr int DriveCurrentAt = 9;

struct Predriver
{
    double deadNs;
    double chargeNc;
    double driveNs;
    double currentMa;
};

Predriver predriver(const DrvSettingsRecord &s, const double table[13])
{
    return {table[DeadTimeAt + (s.DTime & 3)], table[GateChargeAt], table[DriveTimeAt + (s.TDrive & 3)],
            table[DriveCurrentAt + (s.IDrive & 3)]};
}

} // namespace

QStringList Lines(const DrvSettingsRecord &s, const double table[13])
{
    const Predriver p = predriver(s, table);
    const double fPwm = 1e9 / (2 * p.deadNs + s.BlankingTime * 1000 + s.FixedOffTime * 1000);
    return {
        QString::asprintf("IDRIVE > Q / RT == %0.1fmA > %0.1fnC / %0.1fns = %0.1fmA", p.currentMa, p.chargeNc, p.deadNs,
                          p.chargeNc * 1000 / p.deadNs),
        QString::asprintf("TDRIVE > 2 x RT == %0.1fns > %0.1fns", p.driveNs, 2 * p.deadNs),
        QString::asprintf("DTIME = %0.1fns, TBLANK = %0.0fns, TOFF = %0.0fns, (TDECAY = %0.0fns) >> fPWM ~ %0.1fkHz",
                          p.deadNs, s.BlankingTime * 1000, s.FixedOffTime * 1000, s.MixedDecayTime * 1000, fPwm / 1000),
        QString::asprintf("Q < 20mA/4xfPWM == %0.1fnC", 0.02 / (4 * fPwm) * 1e9),
    };
}

Labels PictureLabels(const DrvSettingsRecord &s, const double table[13])
{
    const Predriver p = predriver(s, table);
    return {QString::asprintf("%0.2fus < ", std::max(p.driveNs / 1000, s.BlankingTime)),
            QString::asprintf("%0.2fus", s.BlankingTime), QString::asprintf("%0.1fus", s.FixedOffTime),
            QString::asprintf("%0.1fus", s.MixedDecayTime)};
}

} // namespace TimingSummary
