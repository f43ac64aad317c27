#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

class TorvanDRV;

// The board's state as the tool prints it: identity, firmware and live data.
namespace Status {

QString version(int high, int low);
// One snapshot for status --json; live is false for a board in its boot
// loader, which sends no live data (the live members are then absent).
QJsonObject snapshot(const TorvanDRV &drv, bool live);
// The same as "key: value" lines.
QStringList snapshotLines(const TorvanDRV &drv, bool live);
// One line of status --watch as text; --csv writes the rows of a live
// recording instead (record/LiveCsv.h).
QString watchLine(const TorvanDRV &drv, qint64 ms);

} // namespace Status
