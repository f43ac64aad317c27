#include "cli/ServeMqtt.h"

#include "cli/CommandSupport.h"
#include "cli/Output.h"
#include "service/BoardHolder.h"

#include <QSysInfo>

namespace Cli {

int takeMqttOptions(CommandArgs &args, std::optional<MqttConfig> &result)
{
    using Parser = QString (*)(const QString &, MqttConfig &);
    struct Option
    {
        QString name;
        Parser parse;
        OptionValue kind;
    };
    const Option options[] = {
        {QStringLiteral("--mqtt"), MqttOptions::parseUrl, OptionValue::Text},
        {QStringLiteral("--mqtt-prefix"), MqttOptions::parsePrefix, OptionValue::Text},
        {QStringLiteral("--mqtt-rate"), MqttOptions::parseRate, OptionValue::Number},
        {QStringLiteral("--mqtt-allow"), MqttOptions::parseAllowList, OptionValue::Text},
        {QStringLiteral("--mqtt-credentials"), MqttOptions::readCredentials, OptionValue::Text},
        {QStringLiteral("--mqtt-cafile"), MqttOptions::checkCaFile, OptionValue::Text},
    };
    MqttConfig config;
    QStringList given;
    for (const Option &option : options) {
        // An option given is never empty: the taker refuses that.
        QString value;
        if (!args.value(option.name, value, option.kind))
            return argsError(args);
        if (value.isEmpty())
            continue;
        given << option.name;
        const QString error = option.parse(value, config);
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
