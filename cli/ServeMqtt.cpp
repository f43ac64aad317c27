#include "cli/ServeMqtt.h"

#include "cli/CommandSupport.h"
#include "cli/Output.h"
#include "service/BoardHolder.h"

#include <QSysInfo>

#include <functional>

namespace Cli {

namespace {

// Each option and the reader of its value.
struct MqttOption
{
    CommandLine::Option option;
    std::function<QString(const QString &, MqttConfig &)> parse;
};

std::vector<MqttOption> declared()
{
    using CommandLine::Option;
    const QStringList mqtt{QStringLiteral("--mqtt")};
    const QString levels = QStringLiteral("one or more topic levels (lab1, plant/line2) without +, #, a leading $, an "
                                          "empty level, a control character or a noncharacter");
    return {
        {Option::text({QStringLiteral("--mqtt")}, QStringLiteral("URL"),
                      QStringLiteral("Also publish the board to the MQTT broker at URL: mqtt://HOST[:PORT] (port "
                                     "1883) or mqtts://HOST[:PORT] (TLS, port 8883), IPv6 hosts in brackets; "
                                     "credentials in a URL are refused. See docs/mqtt.md.")),
         MqttOptions::parseUrl},
        {Option::text({QStringLiteral("--mqtt-prefix")}, QStringLiteral("PREFIX"),
                      QStringLiteral("The topics' prefix, %1; the board's topics are PREFIX/SERIAL/. Default "
                                     "torvan60.")
                          .arg(levels))
             .with(mqtt),
         MqttOptions::parsePrefix},
        {Option::number({QStringLiteral("--mqtt-rate")}, QStringLiteral("HZ"),
                        QStringLiteral("State messages a second, %1 to %2. Default %3.")
                            .arg(MqttConfig::MinRate)
                            .arg(MqttConfig::MaxRate)
                            .arg(MqttConfig().rate))
             .with(mqtt),
         MqttOptions::parseRate},
        {Option::text({QStringLiteral("--mqtt-allow")}, QStringLiteral("LIST"),
                      QStringLiteral("The methods of the board's service that MQTT clients may call on its cmd "
                                     "topic, separated by commas (stop,move,home); firmware.update never. Default "
                                     "none (hello only)."))
             .with(mqtt),
         MqttOptions::parseAllowList},
        {Option::file({QStringLiteral("--mqtt-credentials")}, QStringLiteral("FILE"), QString(),
                      QStringLiteral("The broker's user and password from FILE, a plain file of the serving user: "
                                     "user=NAME and password=SECRET lines; readable by its owner only (chmod "
                                     "600)."))
             .with(mqtt),
         MqttOptions::readCredentials},
        {Option::file({QStringLiteral("--mqtt-cafile")}, QStringLiteral("FILE"), QString(),
                      QStringLiteral("The CA certificates (PEM) an mqtts:// broker is checked against; without it, "
                                     "the system's."))
             .with(mqtt),
         MqttOptions::checkCaFile},
        {Option::text({QStringLiteral("--mqtt-discovery")}, QStringLiteral("PREFIX"),
                      QStringLiteral("Also Home Assistant discovery configs under PREFIX, %1. Default "
                                     "homeassistant.")
                          .arg(levels))
             .optional()
             .with(mqtt),
         [](const QString &prefix, MqttConfig &config) {
             return MqttOptions::parseDiscoveryPrefix(prefix.isEmpty() ? QStringLiteral("homeassistant") : prefix,
                                                      config);
         }},
        {Option::text({QStringLiteral("--sparkplug")}, QStringLiteral("GROUP[/EDGE]"),
                      QStringLiteral("Also a Sparkplug B edge node EDGE (default: the host name) in the group GROUP; "
                                     "each is one topic level, without /, +, #, a leading $, a control character "
                                     "or a noncharacter."))
             .with(mqtt),
         [](const QString &text, MqttConfig &config) {
             return MqttOptions::parseSparkplug(text, config, QSysInfo::machineHostName());
         }},
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
    // The parser has checked that the others go with --mqtt. An option
    // whose value may be left out is given when its flag is.
    for (const MqttOption &option : declared()) {
        if (!args.flag(option.option.name()))
            continue;
        const QString error = option.parse(args.value(option.option.name()), config);
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
    QString error;
    if (!bridge->open(error)) {
        Out::error(error);
        return nullptr;
    }
    bridge->start();
    return bridge;
}

} // namespace Cli
