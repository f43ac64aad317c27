#include "mqtt/MqttConfig.h"

#include "service/BoardService.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MqttOptions {

QString parseUrl(const QString &text, MqttConfig &config)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")))
        return QStringLiteral("--mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not \"%1\"").arg(text);
    if (url.host().isEmpty())
        return QStringLiteral("--mqtt \"%1\" names no host").arg(text);
    if (!url.userInfo().isEmpty())
        return QStringLiteral("--mqtt \"%1\": credentials go in a file (--mqtt-credentials), never on the command line")
            .arg(text);
    if ((!url.path().isEmpty() && url.path() != QLatin1String("/")) || url.hasQuery() || url.hasFragment())
        return QStringLiteral("--mqtt \"%1\": only a host and a port are taken, no path").arg(text);
    // QUrl takes port 0 and an empty port ("host:") alike as none.
    if (text.endsWith(QLatin1Char(':')) || url.port() == 0)
        return QStringLiteral("--mqtt \"%1\": the port must be 1 to 65535").arg(text);
    config.url = text;
    config.tls = scheme == QLatin1String("mqtts");
    config.host = url.host();
    config.port = url.port(config.tls ? MqttConfig::DefaultTlsPort : MqttConfig::DefaultPort);
    return QString();
}

namespace {

// What makes a character unfit for a topic, or nothing: brokers refuse
// topics with control characters and noncharacters, and text that is not
// whole UTF-8 cannot be sent at all.
QString unfitInTopic(uint code)
{
    if (code < 0x20 || (code >= 0x7f && code <= 0x9f))
        return QStringLiteral("a control character");
    if ((code & 0xfffe) == 0xfffe || (code >= 0xfdd0 && code <= 0xfdef))
        return QStringLiteral("a noncharacter");
    if (code >= 0xd800 && code <= 0xdfff)
        return QStringLiteral("half of a surrogate pair");
    return QString();
}

// The first character of text that brokers refuse in a topic, named (not
// shown: it may be anything) for a usage error of the option; empty when
// there is none.
QString unprintableInTopic(const QString &option, const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        uint code = text.at(i).unicode();
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
        const QString why = unfitInTopic(code);
        if (!why.isEmpty())
            return QStringLiteral("%1 cannot hold U+%2 (%3): MQTT topics are printable text")
                .arg(option, QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0')), why);
        if (code > 0xffff)
            ++i;
    }
    return QString();
}

// Each board's topics are <prefix>/<serial>/...: a wildcard or an empty
// level would make topics nobody can subscribe to one by one, and "$"
// topics belong to the broker.
bool isTopicPrefix(const QString &prefix)
{
    return !(prefix.isEmpty() || prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')) ||
             prefix.startsWith(QLatin1Char('$')) || prefix.split(QLatin1Char('/')).contains(QString()) ||
             prefix.contains(QChar(0)) || prefix.toUtf8().size() > 1024);
}

// One level of a Sparkplug topic: no separator, wildcard or control
// character, and short.
bool isSparkplugId(const QString &id)
{
    if (id.isEmpty() || id.toUtf8().size() > 256 || id.startsWith(QLatin1Char('$')))
        return false;
    for (const QChar c : id)
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') || c.unicode() < 0x20 ||
            c.unicode() == 0x7f)
            return false;
    return true;
}

} // namespace

QString parsePrefix(const QString &prefix, MqttConfig &config)
{
    // Checked first, so that the prefix quoted below is printable.
    const QString unprintable = unprintableInTopic(QStringLiteral("--mqtt-prefix"), prefix);
    if (!unprintable.isEmpty())
        return unprintable;
    if (!isTopicPrefix(prefix))
        return QStringLiteral("--mqtt-prefix takes topic levels without +, #, a leading $ or empty levels, not \"%1\"")
            .arg(prefix);
    config.prefix = prefix;
    return QString();
}

QString parseDiscoveryPrefix(const QString &prefix, MqttConfig &config)
{
    const QString unprintable = unprintableInTopic(QStringLiteral("--mqtt-discovery"), prefix);
    if (!unprintable.isEmpty())
        return unprintable;
    if (!isTopicPrefix(prefix))
        return QStringLiteral(
                   "--mqtt-discovery takes topic levels without +, #, a leading $ or empty levels, not \"%1\"")
            .arg(prefix);
    config.discoveryPrefix = prefix;
    return QString();
}

QString parseSparkplug(const QString &text, MqttConfig &config, const QString &hostName)
{
    const QStringList parts = text.split(QLatin1Char('/'));
    const QString edge = parts.size() > 1 ? parts.at(1) : hostName;
    const QString unprintable = unprintableInTopic(QStringLiteral("--sparkplug"), text);
    if (!unprintable.isEmpty())
        return unprintable;
    if (parts.size() > 2 || !isSparkplugId(parts.at(0)) || !isSparkplugId(edge))
        return QStringLiteral("--sparkplug takes GROUP or GROUP/EDGE, each a topic level without /, +, # or a "
                              "leading $, not \"%1\"%2")
            .arg(text, parts.size() == 1 && !isSparkplugId(edge)
                           ? QStringLiteral(" (the host name \"%1\" is no edge node name: give one)").arg(edge)
                           : QString());
    config.sparkplugGroup = parts.at(0);
    config.sparkplugEdge = edge;
    return QString();
}

QString parseRate(const QString &text, MqttConfig &config)
{
    bool ok = false;
    const double rate = text.toDouble(&ok);
    if (!ok || !(rate >= MqttConfig::MinRate && rate <= MqttConfig::MaxRate))
        return QStringLiteral("--mqtt-rate takes messages per second from %1 to %2, not \"%3\"")
            .arg(MqttConfig::MinRate)
            .arg(MqttConfig::MaxRate)
            .arg(text);
    config.rate = rate;
    return QString();
}

QString parseAllowList(const QString &list, MqttConfig &config)
{
    QSet<QString> allowed;
    for (const QString &part : list.split(QLatin1Char(','))) {
        const QString method = part.trimmed();
        if (method.isEmpty())
            continue;
        if (method == QLatin1String("firmware.update"))
            return QStringLiteral("--mqtt-allow: firmware.update is never allowed over MQTT");
        if (!BoardService::methods().contains(method)) {
            QStringList known = BoardService::methods();
            known.removeAll(QStringLiteral("firmware.update"));
            return QStringLiteral("--mqtt-allow: unknown method \"%1\" (methods: %2)")
                .arg(method, known.join(QLatin1Char(',')));
        }
        allowed.insert(method);
    }
    config.allowed = allowed;
    return QString();
}

QString readCredentials(const QString &fileName, MqttConfig &config)
{
    auto unreadable = [&fileName](const QString &why) {
        return QStringLiteral("--mqtt-credentials: cannot read \"%1\": %2").arg(fileName, why);
    };
    // Looked at once opened, so that what is checked is what is read; a
    // FIFO does not hold the open up.
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return error == ENOENT ? QStringLiteral("--mqtt-credentials: no such file \"%1\"").arg(fileName)
                               : unreadable(QString::fromLocal8Bit(std::strerror(error)));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return unreadable(file.errorString());
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return unreadable(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("--mqtt-credentials: \"%1\" is a folder, not a file").arg(fileName);
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("--mqtt-credentials: \"%1\" is not a plain file").arg(fileName);
    // Another user's file, even one root may read, is not this user's secret.
    if (info.st_uid != ::geteuid())
        return QStringLiteral("--mqtt-credentials: \"%1\" belongs to user id %2, not to the user serve runs as (%3)")
            .arg(fileName)
            .arg(info.st_uid)
            .arg(::geteuid());
    if (info.st_mode & (S_IRGRP | S_IROTH))
        return QStringLiteral("--mqtt-credentials: \"%1\" is readable by others; make it readable by its owner only "
                              "(chmod 600)")
            .arg(fileName);
    const QByteArray content = file.read(MqttConfig::MaxCredentialsBytes + 1);
    if (content.size() > MqttConfig::MaxCredentialsBytes)
        return QStringLiteral("--mqtt-credentials: \"%1\" is too large for a credentials file").arg(fileName);
    QString user, password;
    bool hasUser = false;
    int lineNumber = 0;
    for (QByteArray line : content.split('\n')) {
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith('#'))
            continue;
        const int equals = line.indexOf('=');
        const QByteArray key = line.left(qMax(equals, 0)).trimmed();
        // The password is everything after the "=", spaces included.
        const QString value = QString::fromUtf8(line.mid(equals + 1));
        if (equals > 0 && key == "user") {
            user = value.trimmed();
            hasUser = true;
        } else if (equals > 0 && key == "password") {
            password = value;
        } else {
            return QStringLiteral("--mqtt-credentials: \"%1\" line %2 is not user=NAME or password=SECRET")
                .arg(fileName)
                .arg(lineNumber);
        }
    }
    if (!hasUser || user.isEmpty())
        return QStringLiteral("--mqtt-credentials: \"%1\" has no user=NAME line").arg(fileName);
    config.user = user;
    config.password = password;
    return QString();
}

QString checkCaFile(const QString &fileName, MqttConfig &config)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || !info.isReadable())
        return QStringLiteral("--mqtt-cafile: no readable file \"%1\"").arg(fileName);
    config.caFile = fileName;
    return QString();
}

} // namespace MqttOptions

QString MqttTopics::level(const QString &serial)
{
    QString level = serial.isEmpty() ? QStringLiteral("_") : serial;
    for (int i = 0; i < level.size(); ++i) {
        const ushort c = level.at(i).unicode();
        if (c == '/' || c == '+' || c == '#' || c < 0x20 || (c >= 0x7f && c < 0xa0) || (i == 0 && c == '$'))
            level[i] = QLatin1Char('_');
    }
    return level;
}
