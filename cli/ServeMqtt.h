#pragma once

#include "cli/CliOptions.h"
#include "mqtt/MqttBridge.h"

#include <memory>
#include <optional>

class BoardHolder;
class BoardPresence;
class Logger;

// The MQTT side of torvan60ctl serve.
namespace Cli {

// Takes --mqtt URL and the options that go with it from the serve
// command's arguments: Ok, with config set when --mqtt was given, or the
// usage error's exit code after its message.
int takeMqttOptions(CommandArgs &args, std::optional<MqttConfig> &config);

// The bridge of the held board, started; none (after an error message)
// when it cannot be.
std::unique_ptr<MqttBridge> startMqttBridge(const MqttConfig &config, const QString &serial, BoardHolder &board,
                                            BoardPresence &presence, Logger &log);

} // namespace Cli
