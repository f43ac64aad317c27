#include "cli/ServeMqtt.h"

#include "cli/CommandSupport.h"
#include "service/BoardHolder.h"

namespace Cli {

namespace {

using Parser = QString (*)(const QString &, MqttConfig &);

// Each option and the reader of its value.
struct MqttOption
{
    CommandLine::Option option;
    Parser parse;
};

std::vector<MqttOption> declared()
{
    using CommandLine::Option;
    const QStringList mqtt{QStringLiteral("--mqtt")};
    return {
        {Option::text({QStringLiteral("--mqtt")}, QStringLiteral("URL"),
                      QStringLiteral("Also publish the board to the MQTT broker at URL: mqtt://HOST[:PORT] (port "
                                     "1883) or mqtts://HOST[:PORT] (TLS, port 8883), IPv6 hosts in brackets; "
                                     "credentials in a URL are refused. See docs/mqtt.md.")),
         MqttOptions::parseUrl},
        {Option::text({QStringLiteral("--mqtt-prefix")}, QStringLiteral("PREFIX"),
                      QStringLiteral("The topics' prefix, one or more levels (lab1, plant/line2), without +, #, a "
                                     "leading $ or an empty level; the board's topics are PREFIX/SERIAL/. Default "
                                     "torvan60."))
             .with(mqtt),
         MqttOptions::parsePrefix},
        {Option::text({QStringLiteral("--mqtt-rate")}, QStringLiteral("HZ"),
                      QStringLiteral("State messages a second, %1 to %2. Default %3.")
                          .arg(MqttConfig::MinRate)
                          .arg(MqttConfig::MaxRate)
                          .arg(MqttConfig().rate))
             .with(mqtt),
         MqttOptions::parseRate},
        {Option::text({QStringLiteral("--mqtt-allow")}, QStringLiteral("LIST"),
                      QStringLiteral("The methods of the board's service that MQTT clients may call on its cmd "
                                     "topic, separated by commas (stop,move,home); firmware.update never. Default "
                                     "none."))
             .with(mqtt),
         MqttOptions::parseAllowList},
        {Option::file({QStringLiteral("--mqtt-credentials")}, QStringLiteral("FILE"), QString(),
                      QStringLiteral("The broker's user and password from FILE: user=NAME and password=SECRET lines; "
                                     "the file must be readable by its owner only (chmod 600)."))
             .with(mqtt),
         MqttOptions::readCredentials},
        {Option::file({QStringLiteral("--mqtt-cafile")}, QStringLiteral("FILE"), QString(),
                      QStringLiteral("The CA certificates (PEM) an mqtts:// broker is checked against; without it, "
                                     "the system's."))
             .with(mqtt),
         MqttOptions::checkCaFile},
    };
}

} // namespace

CommandLine::Options mqttOptions()
{
    CommandLine::Options options;
    for (const MqttOption &option : declared())
        options.push_back(option.option);
    return options;
}

int takeMqttOptions(const CommandArgs &args, std::optional<MqttConfig> &result)
{
    MqttConfig config;
    // The parser has checked that the others go with --mqtt.
    for (const MqttOption &option : declared()) {
        const QString value = args.value(option.option.name());
        if (value.isEmpty())
            continue;
        const QString error = option.parse(value, config);
        if (!error.isEmpty())
            return usageError(args, error);
    }
    if (args.value(QStringLiteral("--mqtt")).isEmpty())
        return Exit::Ok;
    if (!config.caFile.isEmpty() && !config.tls)
        return usageError(args, QStringLiteral("--mqtt-cafile is for mqtts:// only"));
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
