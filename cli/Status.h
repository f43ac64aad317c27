#pragma once

#include "device/Records.h"
#include "record/WallClock.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// The board's state as the tool prints it, from the service's identity and
// live objects (service/StatusJson.h).
namespace Status {

// "key: value" lines of the identity and, when live is not empty, of one
// live report.
QStringList snapshotLines(const QJsonObject &identity, const QJsonObject &live);
// One line of status --watch as text.
QString watchLine(const QJsonObject &live, qint64 ms);
// A live object taken with raw values as the record it was made from, and
// the time it carries, for the rows of a live recording.
RTDataRecord record(const QJsonObject &live);
WallTime time(const QJsonObject &live);

} // namespace Status
