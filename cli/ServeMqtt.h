#pragma once

#include "cli/Command.h"
#include "mqtt/MqttBridge.h"

#include <memory>
#include <optional>

class BoardHolder;
class BoardPresence;
class Logger;

// The MQTT side of torvan60ctl serve.
namespace Cli {

// --mqtt URL and the options that go with it, as serve declares them.
CommandLine::Options mqttOptions();

// Reads those options from the serve command's arguments: Ok, with config
// set when --mqtt was given, or the usage error's exit code after its
// message.
int takeMqttOptions(const CommandArgs &args, std::optional<MqttConfig> &config);

// The bridge of the held board, started; none (after an error message)
// when it cannot be.
std::unique_ptr<MqttBridge> startMqttBridge(const MqttConfig &config, const QString &serial, BoardHolder &board,
                                            BoardPresence &presence, Logger &log);

} // namespace Cli
