#pragma once

#include "config/DriverConfig.h"
#include "config/SettingsDiff.h"

#include <QObject>
#include <QSet>

class TorvanDRV;

// What the board last reported of its settings, kept apart from the device
// object's records, which the window's controls also write (edits not yet
// sent). Taken from each settings reply as it is decoded: the driver values,
// the motion settings and the name.
class ReportedSettings : public QObject
{
    Q_OBJECT
public:
    // Must be made before anything else that reacts to the device object's
    // driver values signal (and may change its records) is connected.
    explicit ReportedSettings(TorvanDRV &drv, QObject *parent = nullptr);

    // All three replies came since the board connected.
    bool complete() const { return seen.size() == 3; }
    // The board's side of a comparison.
    SettingsDiff::Side side() const { return SettingsDiff::fromBoard(settings, trajectory); }

private:
    void take();

    TorvanDRV &drv;
    DrvSettingsRecord settings;
    TrajectoryDataRecord trajectory;
    QSet<int> seen;
};
