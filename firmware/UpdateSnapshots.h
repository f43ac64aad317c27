#pragma once

#include "config/SettingsDiff.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

class Logger;
class TorvanDRV;
class WallClock;

// Keeps a board's settings safe over a firmware update, for whatever
// program holds the board. Before an update, while the board still runs its
// application, its settings are read from it and saved as a settings file
// under the folder: <folder>/<serial>/<yyyyMMdd-hhmmss>-before-update.tvs.
// That snapshot stays the board's pending one until the board is back with
// the carried application: its settings are then read again and compared
// with the snapshot, and the differences kept or restored. A board that
// comes back in its boot loader keeps its pending snapshot, across
// programs, and the next update that succeeds compares with it. An update
// that starts from the boot loader (no application to read) takes the
// pending snapshot when there is one and says that there is none otherwise.
// Snapshots are never overwritten. A folder that cannot be written is said
// once in the log and to the operator; the update runs all the same.
class UpdateSnapshots : public QObject
{
    Q_OBJECT
public:
    // What to do with differences after an update.
    enum class OnDifference {
        Ask,     // the operator chooses "Restore" or "Keep" (OperatorDialogs::choose)
        Keep,    // log them and keep the board's
        Restore, // write the snapshot back and save it
    };

    UpdateSnapshots(TorvanDRV &drv, const WallClock &wallClock, QObject *parent = nullptr);

    // The folder snapshots go to; empty (the default) takes none.
    void setFolder(const QString &folder) { root = folder; }
    const QString &folder() const { return root; }
    // snapshots under the user folder; empty when there is no user folder.
    static QString defaultFolder();
    void setLogger(Logger *logger) { this->logger = logger; }
    void setOnDifference(OnDifference policy) { onDifference = policy; }

    // A board's snapshots, newest first (full paths).
    QStringList snapshots(const QString &serial) const;
    // The snapshot a board will be compared with when it is back, or empty.
    QString pending(const QString &serial) const;

    // How the last comparison after an update came out.
    struct Outcome
    {
        enum class State { None, Equal, Kept, Restored, RestoreFailed };
        State state = State::None;
        QString serial;
        QString snapshot;
        std::vector<SettingsDiff::Difference> differences; // snapshot (a) against the board (b)
        std::vector<SettingsDiff::Difference> left;        // after a restore that did not take
    };
    const Outcome &lastOutcome() const { return outcome; }

    // Writes a snapshot's settings to the connected board (whole, by the
    // window's loading rules, currents up to 15 A), saves them in it and
    // reads them back; the differences left (none when it took them).
    // False when the board did not report its settings after the write.
    bool restore(const QString &snapshot, std::vector<SettingsDiff::Difference> &left);

    static constexpr int ReadWindowMs = 1000;
    static constexpr int RestoreReads = 3;

signals:
    // A snapshot was saved before an update.
    void snapshotTaken(const QString &path);
    // A comparison after an update ended; lastOutcome() tells how.
    void compared();

private:
    void updateStarting();
    void boardIdentified();
    QString takeSnapshot(const QString &serial);
    QString boardFolder(const QString &serial) const;
    void setPending(const QString &serial, const QString &snapshot);
    void log(const QString &text) const;
    void noSnapshot(const QString &why);

    TorvanDRV &drv;
    const WallClock &wallClock;
    Logger *logger = nullptr;
    QString root;
    OnDifference onDifference = OnDifference::Keep;
    bool folderFailureTold = false;
    Outcome outcome;
};
