#include "cli/ServeMqtt.h"

#include "cli/CommandSupport.h"
#include "cli/Output.h"
#include "service/BoardHolder.h"

#include <QSysInfo>

namespace Cli {

int takeMqttOptions(CommandArgs &args, std::optional<MqttConfig> &result)
{
    using Parser = QString (*)(const QString &, MqttConfig &);
    const std::pair<QString, Parser> options[] = {
        {QStringLiteral("--mqtt"), MqttOptions::parseUrl},
        {QStringLiteral("--mqtt-prefix"), MqttOptions::parsePrefix},
        {QStringLiteral("--mqtt-rate"), MqttOptions::parseRate},
        {QStringLiteral("--mqtt-allow"), MqttOptions::parseAllowList},
        {QStringLiteral("--mqtt-credentials"), MqttOptions::readCredentials},
        {QStringLiteral("--mqtt-cafile"), MqttOptions::checkCaFile},
    };
    MqttConfig config;
    QStringList given;
    for (const auto &option : options) {
        // An option given is never empty: the taker refuses that.
        QString value;
        if (!args.value(option.first, value))
            return argsError(args);
        if (value.isEmpty())
            continue;
        given << option.first;
        const QString error = option.second(value, config);
        if (!error.isEmpty())
            return usageError(error);
    }
    bool discovery = false;
    QString discoveryPrefix;
    args.optionalValue(QStringLiteral("--mqtt-discovery"), discovery, discoveryPrefix);
    if (discovery) {
        given << QStringLiteral("--mqtt-discovery");
        const QString error = MqttOptions::parseDiscoveryPrefix(
            discoveryPrefix.isEmpty() ? QStringLiteral("homeassistant") : discoveryPrefix, config);
        if (!error.isEmpty())
            return usageError(error);
    }
    QString sparkplug;
    if (!args.value(QStringLiteral("--sparkplug"), sparkplug))
        return argsError(args);
    if (!sparkplug.isEmpty()) {
        given << QStringLiteral("--sparkplug");
        const QString error = MqttOptions::parseSparkplug(sparkplug, config, QSysInfo::machineHostName());
        if (!error.isEmpty())
            return usageError(error);
    }
    if (given.isEmpty())
        return Exit::Ok;
    if (given.first() != QLatin1String("--mqtt"))
        return usageError(QStringLiteral("%1 needs --mqtt URL").arg(given.first()));
    if (!config.caFile.isEmpty() && !config.tls)
        return usageError(QStringLiteral("--mqtt-cafile is for mqtts:// only"));
    result = config;
    return Exit::Ok;
}

std::unique_ptr<MqttBridge> startMqttBridge(const MqttConfig &config, const QString &serial, BoardHolder &board,
                                            BoardPresence &presence, Logger &log)
{
    auto bridge =
        std::make_unique<MqttBridge>(config, serial, board.service, board.drv, presence, board.wallClock, &log);
    QString error;
    if (!bridge->open(error)) {
        Out::error(error);
        return nullptr;
    }
    bridge->start();
    return bridge;
}

} // namespace Cli
