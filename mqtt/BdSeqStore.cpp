#include "mqtt/BdSeqStore.h"

#include "log/UserFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

BdSeqStore::BdSeqStore(const QString &group, const QString &edge) : file(defaultPath(group, edge))
{}

BdSeqStore::~BdSeqStore()
{
    if (fd >= 0)
        ::close(fd); // and with it the lock
}

QString BdSeqStore::defaultPath(const QString &group, const QString &edge)
{
    // The user folder; without a usable HOME, the one Qt finds for it.
    QString base = userFolder();
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/state/torvan60");
    // The names are topic levels: no "/" in them, but "." and ".." would
    // still climb.
    auto safe = [](QString name) {
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            name.replace(QLatin1Char('.'), QLatin1Char('_'));
        return name;
    };
    return QStringLiteral("%1/sparkplug/%2/%3.bdseq").arg(base, safe(group), safe(edge));
}

bool BdSeqStore::open(QString &error, QString &note)
{
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot make the folder %1 for the Sparkplug bdSeq").arg(folder);
        return false;
    }
    fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = QStringLiteral("cannot open %1: %2").arg(file, systemError());
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK
                    ? QStringLiteral("another torvan60ctl serve is this Sparkplug edge node already (%1 is locked); "
                                     "give each its own --sparkplug GROUP/EDGE")
                          .arg(file)
                    : QStringLiteral("cannot lock %1: %2").arg(file, systemError());
        ::close(fd);
        fd = -1;
        return false;
    }
    char text[16] = {};
    const ssize_t size = ::pread(fd, text, sizeof text - 1, 0);
    if (size > 0) {
        bool ok = false;
        const int value = QByteArray(text, int(size)).trimmed().toInt(&ok);
        if (ok && value >= 0 && value <= 255)
            last = value;
        else
            note = QStringLiteral("Sparkplug: %1 held no bdSeq; starting again at 0").arg(file);
    }
    return true;
}

void BdSeqStore::used()
{
    last = next();
    inUse = last;
    if (fd < 0)
        return;
    const QByteArray text = QByteArray::number(last) + '\n';
    // Short and in place: a crash halfway leaves a file read as no number,
    // which starts again at 0, as a lost one would.
    if (::pwrite(fd, text.constData(), size_t(text.size()), 0) != text.size() || ::ftruncate(fd, text.size()) != 0) {
        // Kept in memory for this run all the same.
    }
}
