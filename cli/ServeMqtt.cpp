#include "cli/ServeMqtt.h"

#include "cli/CommandSupport.h"
#include "service/BoardHolder.h"

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
    bridge->start();
    return bridge;
}

} // namespace Cli
