#include "service/ServicePaths.h"

#include "log/LogText.h"
#include "service/ServiceClient.h"
#include "service/ServicePeer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ServicePaths {

namespace {

// The longest path a socket address holds, its terminating zero left out.
constexpr int MaxSocketPathBytes = int(sizeof(sockaddr_un::sun_path)) - 1;

QString systemError(const QString &what, int error)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

QString folder()
{
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (runtime.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(runtime + QStringLiteral("/torvan60"));
    return QDir::cleanPath(QDir::tempPath() + QStringLiteral("/torvan60-%1").arg(::getuid()));
}

QString socketPath(const QString &serial, QString *error)
{
    auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return QString();
    };
    // Only names that stay one plain file name wherever they come from: a
    // serial is what the board (or a command line) says it is.
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]*$"));
    if (serial.isEmpty())
        return refuse(QStringLiteral("a board without a serial number cannot be served"));
    if (!safe.match(serial).hasMatch())
        return refuse(QStringLiteral("the serial number \"%1\" cannot name a socket file (only letters, digits, "
                                     "'.', '_' and '-' can, and not a '.' first)")
                          .arg(serial));
    const QString path = folder() + QLatin1Char('/') + serial + QStringLiteral(".sock");
    const int bytes = QFile::encodeName(path).size();
    if (bytes > MaxSocketPathBytes)
        return refuse(QStringLiteral("the socket path %1 is too long for a socket address (%2 bytes, at most %3)")
                          .arg(path)
                          .arg(bytes)
                          .arg(MaxSocketPathBytes));
    if (error)
        error->clear();
    return path;
}

bool prepareFolder(QString &error)
{
    const QString path = folder();
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) == 0) {
        // The mode given to mkdir is cut by the umask; the folder is ours.
        if (::chmod(name.constData(), 0700) != 0) {
            error = systemError(QStringLiteral("cannot set the mode of %1").arg(path), errno);
            return false;
        }
    } else if (errno != EEXIST) {
        error = systemError(QStringLiteral("cannot make the folder %1").arg(path), errno);
        return false;
    }
    // Whatever was there already must be a folder of this user's alone.
    struct stat info;
    if (::lstat(name.constData(), &info) != 0) {
        error = systemError(QStringLiteral("cannot read %1").arg(path), errno);
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        error = QStringLiteral("%1 is a symbolic link; the service uses only a folder of its own").arg(path);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = QStringLiteral("%1 is not a folder").arg(path);
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        error = QStringLiteral("the folder %1 belongs to user id %2, not to this user (%3)")
                    .arg(path)
                    .arg(info.st_uid)
                    .arg(::geteuid());
        return false;
    }
    if (info.st_mode & 077) {
        error = QStringLiteral("the folder %1 is open to others (mode %2); it must be 0700")
                    .arg(path)
                    .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
        return false;
    }
    error.clear();
    return true;
}

bool probe(const QString &path, Served &served, int timeoutMs)
{
    ServiceClient client;
    if (!client.connectTo(path, timeoutMs).isEmpty())
        return false;
    const Rpc::Reply reply = client.call(QStringLiteral("hello"), QJsonObject(), timeoutMs);
    if (!reply.ok)
        return false;
    served.path = path;
    served.serial = reply.result.value(QLatin1String("serial")).toString();
    if (served.serial.isEmpty())
        served.serial = QFileInfo(path).completeBaseName();
    // Another program's words, shown in messages and the log.
    served.program =
        LogText::escaped(reply.result.value(QLatin1String("program")).toString(), ServicePeer::MaxProgramChars);
    served.product = LogText::escaped(reply.result.value(QLatin1String("product")).toString());
    served.pid = qint64(reply.result.value(QLatin1String("pid")).toDouble());
    return true;
}

std::vector<Served> served(int timeoutMs)
{
    std::vector<Served> list;
    const QDir dir(folder());
    const QStringList names =
        dir.entryList({QStringLiteral("*.sock")}, QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISSOCK(info.st_mode))
            continue;
        Served entry;
        if (probe(path, entry, timeoutMs))
            list.push_back(entry);
    }
    return list;
}

} // namespace ServicePaths
