#pragma once

#include "record/WallClock.h"

#include <QJsonObject>
#include <QString>

class TorvanDRV;
struct DriverInfoRecord;
struct RTDataRecord;

// The board's state as JSON, the same for the local service, MQTT and
// torvan60ctl status --json.
namespace StatusJson {

QString version(int high, int low);

// name, unique id, versions, firmware state
QJsonObject identity(const TorvanDRV &drv);

// One live report as the window shows it (filtered voltage and temperature)
// and when it came in; with raw, the unfiltered values as well.
QJsonObject live(const RTDataRecord &rt, const WallTime &when, bool raw = false);

// The firmware check: versions, what runs, signature, up to date.
QJsonObject firmware(const DriverInfoRecord &info);

// "up to date", "outdated", "boot loader" or "corrupt"
QString firmwareState(const DriverInfoRecord &info);

} // namespace StatusJson
