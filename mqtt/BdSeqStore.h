#pragma once

#include <QString>

#include <atomic>

// The Sparkplug edge node's birth/death number (bdSeq), kept across runs of
// torvan60ctl serve in a file of its own: the number of the last connection
// the broker took. Each connection's will carries the next one, and only a
// connection the broker took uses it up, so attempts that fail repeat it.
//
// The file is $XDG_STATE_HOME/torvan60/sparkplug/<group>/<edge>.bdseq (or
// ~/.local/state/... when XDG_STATE_HOME is not set), one number from 0 to
// 255. A missing file starts at 0, as does one that holds anything else
// (said in the log). It is locked while serve runs: two processes claiming
// one edge node would confuse every host, so the second is refused.
class BdSeqStore
{
public:
    BdSeqStore(const QString &group, const QString &edge);
    ~BdSeqStore();

    static QString defaultPath(const QString &group, const QString &edge);

    // Creates the folder, takes the lock and reads the number. False with
    // error set when that fails; note is set when the file was unreadable.
    bool open(QString &error, QString &note);
    const QString &path() const { return file; }

    // The bdSeq of the next connection.
    int next() const { return (last + 1) % 256; }
    // The broker took a connection with next(): it is written as the last.
    void used();
    // The bdSeq of the connection up now, -1 before the first.
    int current() const { return inUse.load(); }

private:
    QString file;
    int fd = -1;
    int last = -1;
    std::atomic<int> inUse{-1};
};
