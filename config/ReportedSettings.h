#pragma once

#include "config/DriverConfig.h"
#include "config/SettingsDiff.h"

#include <QObject>
#include <QSet>

class TorvanDRV;

// Whether the board has reported its settings since it connected, and the
// board's side of a comparison: what it holds, from the device object's
// record of the board (what it last reported, or was last sent), never the
// window's records, which its controls write (edits not yet sent).
class ReportedSettings : public QObject
{
    Q_OBJECT
public:
    explicit ReportedSettings(TorvanDRV &drv, QObject *parent = nullptr);

    // All three replies came since the board connected.
    bool complete() const { return seen.size() == 3; }
    // The board's side of a comparison.
    SettingsDiff::Side side() const;

private:
    void take();

    TorvanDRV &drv;
    QSet<int> seen;
};
