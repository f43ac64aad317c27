#include "cli/UpdateOutcome.h"

#include "cli/CliOptions.h"
#include "cli/Output.h"
#include "device/TorvanDRV.h"

#include <QStringList>

namespace {

// "sector 5", "sectors 3 and 6", "sectors 2, 4 and 7".
QString sectorList(const std::vector<int> &sectors)
{
    QStringList numbers;
    for (int sector : sectors)
        numbers << QString::number(sector);
    if (numbers.size() == 1)
        return QStringLiteral("sector ") + numbers.first();
    const QString last = numbers.takeLast();
    return QStringLiteral("sectors %1 and %2").arg(numbers.join(QStringLiteral(", ")), last);
}

} // namespace

bool updateBrokeOff(const TorvanDRV &drv)
{
    using Outcome = FullUpdateRecord::Outcome;
    const Outcome outcome = drv.LastFullUpdate.outcome;
    return outcome == Outcome::ChecksumFailed || outcome == Outcome::Lost || outcome == Outcome::Aborted;
}

int reportBrokenUpdate(const TorvanDRV &drv)
{
    const FullUpdateRecord &update = drv.LastFullUpdate;
    if (update.outcome == FullUpdateRecord::Outcome::Lost || !drv.IsConnected()) {
        Out::error(QStringLiteral("board %1 was lost during the update; reconnect it and run \"firmware update\" "
                                  "again: it stays in its boot loader until then")
                       .arg(drv.SerialFilter()));
        return Exit::NoBoard;
    }
    // No signature was written, so the boot loader keeps running and the
    // firmware check offers the update again on the next connection.
    QStringList faults;
    if (!update.wrongSectors.empty())
        faults << (update.wrongSectors.size() == 1 ? QStringLiteral("the checksum of %1 differs")
                                                   : QStringLiteral("the checksums of %1 differ"))
                      .arg(sectorList(update.wrongSectors));
    if (!update.unansweredSectors.empty())
        faults << (update.unansweredSectors.size() == 1 ? QStringLiteral("%1 did not answer with its checksum")
                                                        : QStringLiteral("%1 did not answer with their checksums"))
                      .arg(sectorList(update.unansweredSectors));
    if (faults.isEmpty())
        faults << QStringLiteral("an unexpected error ended it");
    Out::error(QStringLiteral("firmware update failed: %1; the board stays in its boot loader, and the next "
                              "\"firmware update\" flashes it again")
                   .arg(faults.join(QStringLiteral(", and "))));
    return Exit::Failed;
}
