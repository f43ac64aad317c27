#include "firmware/UpdateSnapshots.h"

#include "config/BoardSettings.h"
#include "config/SettingsFile.h"
#include "device/TorvanDRV.h"
#include "log/Logger.h"
#include "log/UserFolder.h"
#include "record/WallClock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString PendingFile = QStringLiteral("pending");
const QString Suffix = QStringLiteral("-before-update.tvs");
// <yyyyMMdd-hhmmss>[-N]-before-update.tvs; N tells apart the snapshots of
// one second.
const QRegularExpression SnapshotName(QStringLiteral("^(\\d{8}-\\d{6})(?:-(\\d+))?-before-update\\.tvs$"));

SettingsFile::LoadRules snapshotRules()
{
    SettingsFile::LoadRules rules;
    rules.developerCurrents = true; // a snapshot holds what the board held
    return rules;
}

QString describe(const SettingsDiff::Difference &d)
{
    const QString unit = d.unit.isEmpty() ? QString() : QLatin1Char(' ') + d.unit;
    return QStringLiteral("%1 was %2%4, is %3%4")
        .arg(d.key, SettingsDiff::valueText(d.a), SettingsDiff::valueText(d.b), unit);
}

} // namespace

UpdateSnapshots::UpdateSnapshots(TorvanDRV &drv, const WallClock &wallClock, QObject *parent)
    : QObject(parent), drv(drv), wallClock(wallClock)
{
    connect(&drv, &TorvanDRV::firmwareUpdateStarting, this, &UpdateSnapshots::updateStarting);
    connect(&drv, &TorvanDRV::newDriverInfoAvailable, this, &UpdateSnapshots::boardIdentified);
}

QString UpdateSnapshots::defaultFolder()
{
    const QString user = userFolder();
    return user.isEmpty() ? QString() : user + QStringLiteral("/snapshots");
}

QString UpdateSnapshots::boardFolder(const QString &serial) const
{
    QString name = serial;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QLatin1Char('_'));
    return root + QLatin1Char('/') + name;
}

QStringList UpdateSnapshots::snapshots(const QString &serial) const
{
    if (root.isEmpty())
        return {};
    struct Entry
    {
        QString stamp;
        int n;
        QString path;
    };
    std::vector<Entry> entries;
    const QDir dir(boardFolder(serial));
    for (const QString &name : dir.entryList({QStringLiteral("*") + Suffix}, QDir::Files)) {
        const QRegularExpressionMatch match = SnapshotName.match(name);
        if (match.hasMatch())
            entries.push_back({match.captured(1), match.captured(2).toInt(), dir.filePath(name)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.stamp != b.stamp ? a.stamp > b.stamp : a.n > b.n; });
    QStringList paths;
    for (const Entry &entry : entries)
        paths << entry.path;
    return paths;
}

QString UpdateSnapshots::pending(const QString &serial) const
{
    if (root.isEmpty())
        return QString();
    QFile marker(boardFolder(serial) + QLatin1Char('/') + PendingFile);
    if (!marker.open(QIODevice::ReadOnly))
        return QString();
    const QString name = QString::fromUtf8(marker.read(256)).trimmed();
    if (!SnapshotName.match(name).hasMatch())
        return QString();
    const QString path = boardFolder(serial) + QLatin1Char('/') + name;
    return QFile::exists(path) ? path : QString();
}

void UpdateSnapshots::setPending(const QString &serial, const QString &snapshot)
{
    const QString path = boardFolder(serial) + QLatin1Char('/') + PendingFile;
    if (snapshot.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QFile marker(path);
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate))
        marker.write(QFileInfo(snapshot).fileName().toUtf8() + '\n');
}

void UpdateSnapshots::log(const QString &text) const
{
    if (logger)
        logger->write(text);
}

void UpdateSnapshots::noSnapshot(const QString &why)
{
    log(QStringLiteral("No settings snapshot before the firmware update: %1.").arg(why));
}

QString UpdateSnapshots::takeSnapshot(const QString &serial)
{
    if (!drv.ReadSettingsNow(ReadWindowMs)) {
        noSnapshot(QStringLiteral("the board did not report its settings"));
        return QString();
    }
    const QString folder = boardFolder(serial);
    const QString stamp = wallClock.now().toDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString path;
    bool written = QDir().mkpath(folder);
    for (int n = 1; written && path.isEmpty() && n < 100; ++n) {
        const QString candidate =
            folder + QLatin1Char('/') + stamp + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) + Suffix;
        QFile file(candidate);
        // Never over another snapshot: the name is taken only when new.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            path = candidate;
        else if (!file.exists())
            written = false;
    }
    if (written && !path.isEmpty()) {
        // What the board holds, not edits the window has not written.
        DrvSettingsRecord s = drv.OnBoardSettings();
        TrajectoryDataRecord t = BoardSettings::Motion(drv);
        SettingsFile::Shown(s, t);
        written = SettingsFile::Save(path, s, t);
    }
    if (!written || path.isEmpty()) {
        if (!path.isEmpty())
            QFile::remove(path);
        if (!folderFailureTold)
            log(QStringLiteral("Settings snapshots cannot be written to %1.").arg(root));
        folderFailureTold = true;
        if (OperatorDialogs *dialogs = drv.Dialogs())
            dialogs->notice(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "No settings snapshot")),
                            tr("The board's settings could not be saved to %1. The firmware update runs "
                               "without a snapshot of them.")
                                .arg(root));
        return QString();
    }
    setPending(serial, path);
    log(QStringLiteral("Settings snapshot before the firmware update: %1").arg(path));
    emit snapshotTaken(path);
    return path;
}

void UpdateSnapshots::updateStarting()
{
    const QString serial = drv.SerialString();
    if (root.isEmpty() || serial.isEmpty() || !drv.IsConnected())
        return;
    if (!drv.DriverInfo.BootloaderActive) {
        takeSnapshot(serial);
        return;
    }
    const QString earlier = pending(serial);
    if (earlier.isEmpty())
        noSnapshot(QStringLiteral("the board runs its boot loader, so it has no settings to read"));
    else
        log(QStringLiteral("The board runs its boot loader; after the update its settings are compared with %1")
                .arg(earlier));
}

void UpdateSnapshots::boardIdentified()
{
    const QString serial = drv.SerialString();
    const DriverInfoRecord &info = drv.DriverInfo;
    if (root.isEmpty() || !drv.IsConnected() || info.BootloaderActive || !info.FirmwareUpToDate)
        return;
    const QString snapshot = pending(serial);
    if (snapshot.isEmpty())
        return;
    if (!drv.ReadSettingsNow(ReadWindowMs)) {
        log(QStringLiteral("The board did not report its settings after the firmware update; it is compared with "
                           "%1 when it does.")
                .arg(snapshot));
        return;
    }
    QString refusal;
    const QVariantMap values = SettingsFile::ReadValues(snapshot, refusal);
    const SettingsDiff::Side before =
        refusal.isEmpty() ? SettingsDiff::fromFile(values, snapshotRules(), &refusal) : SettingsDiff::Side();
    setPending(serial, QString());
    if (!refusal.isEmpty()) {
        log(QStringLiteral("The settings snapshot %1 cannot be read (%2).").arg(snapshot, refusal));
        return;
    }
    outcome = Outcome();
    outcome.serial = serial;
    outcome.snapshot = snapshot;
    outcome.differences =
        SettingsDiff::compare(before, SettingsDiff::fromBoard(drv.OnBoardSettings(), drv.OnBoardTrajectory()));
    if (outcome.differences.empty()) {
        outcome.state = Outcome::State::Equal;
        log(QStringLiteral("Settings after the firmware update are those of %1.").arg(snapshot));
        emit compared();
        return;
    }
    QStringList lines;
    for (const SettingsDiff::Difference &d : outcome.differences) {
        lines << describe(d);
        log(QStringLiteral("Setting changed by the firmware update: %1.").arg(lines.last()));
    }
    bool restoring = onDifference == OnDifference::Restore;
    if (onDifference == OnDifference::Ask) {
        OperatorDialogs *dialogs = drv.Dialogs();
        restoring = dialogs &&
                    dialogs->choose(
                        QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Settings changed by the update")),
                        tr("The firmware update changed %1 of the board's settings:\n%2\n\nRestore them from %3?")
                            .arg(QString::number(outcome.differences.size()), lines.join(QLatin1Char('\n')), snapshot),
                        tr("Restore"), tr("Keep"));
    }
    if (!restoring) {
        outcome.state = Outcome::State::Kept;
        log(QStringLiteral("Kept the board's settings after the firmware update; the snapshot stays: %1")
                .arg(snapshot));
    } else if (restore(snapshot, outcome.left) && outcome.left.empty()) {
        outcome.state = Outcome::State::Restored;
    } else {
        outcome.state = Outcome::State::RestoreFailed;
    }
    emit compared();
}

bool UpdateSnapshots::restore(const QString &snapshot, std::vector<SettingsDiff::Difference> &left)
{
    left.clear();
    QString refusal;
    const QVariantMap values = SettingsFile::ReadValues(snapshot, refusal);
    const SettingsDiff::Side wanted =
        refusal.isEmpty() ? SettingsDiff::fromFile(values, snapshotRules(), &refusal) : SettingsDiff::Side();
    if (!refusal.isEmpty() || !drv.IsConnected() || drv.DriverInfo.BootloaderActive) {
        log(QStringLiteral("Settings not restored from %1 (%2).")
                .arg(snapshot, refusal.isEmpty() ? QStringLiteral("no board runs its application") : refusal));
        return false;
    }
    DrvSettingsRecord settings = drv.OnBoardSettings();
    TrajectoryDataRecord trajectory = BoardSettings::Motion(drv);
    SettingsFile::LoadValues(values, settings, trajectory, snapshotRules());
    BoardSettings::Write(drv, settings, trajectory);
    SettingsFile::TakeHolderSettings(trajectory, drv.TrajectoryData);
    drv.SaveDriverValues();
    // A board may still answer reads from before the write: it is read
    // again a few times before what differs counts as not taken.
    for (int read = 0; read < RestoreReads; ++read) {
        if (!drv.ReadSettingsNow(ReadWindowMs)) {
            log(QStringLiteral("Settings written from %1, but the board did not report them back.").arg(snapshot));
            return false;
        }
        left = SettingsDiff::compare(wanted, SettingsDiff::fromBoard(drv.OnBoardSettings(), drv.OnBoardTrajectory()));
        if (left.empty())
            break;
    }
    if (left.empty()) {
        log(QStringLiteral("Settings restored from %1.").arg(snapshot));
        return true;
    }
    for (const SettingsDiff::Difference &d : left)
        log(QStringLiteral("Setting not restored: %1.").arg(describe(d)));
    return true;
}
