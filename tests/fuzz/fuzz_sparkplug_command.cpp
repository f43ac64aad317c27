// A Sparkplug command from the broker: the first byte says which (odd: an
// NCMD for the edge node, even: a DCMD for the board), the rest is the
// payload. Checked: what is read back is what a payload can say (within the
// limits, encoded and read again alike), every command is one of the board's
// command metrics with its one parameter in range, and firmware.update is
// never among them.
#include "FuzzSupport.h"

#include "mqtt/sparkplug/SparkplugCommands.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

void require(bool holds, const char *what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz_sparkplug_command: %s\n", what);
    std::abort();
}

bool isCommandMetric(const Sparkplug::Command &command)
{
    for (const Sparkplug::CommandMetric &entry : Sparkplug::commandMetrics()) {
        if (command.metric != QLatin1String(entry.name) || command.method != QLatin1String(entry.method))
            continue;
        if (!entry.parameter)
            return command.params.isEmpty();
        const QJsonValue value = command.params.value(QLatin1String(entry.parameter));
        return command.params.size() == 1 && value.isDouble() &&
               value.toDouble() >= double(std::numeric_limits<qint32>::min()) &&
               value.toDouble() <= double(std::numeric_limits<qint32>::max());
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool node = data[0] & 1;
    const QByteArray payload(reinterpret_cast<const char *>(data + 1), int(size - 1));

    Sparkplug::Payload decoded;
    QString error;
    const bool read = Sparkplug::decode(payload, decoded, error);
    require(read || !error.isEmpty(), "a refused payload must say why");
    if (read) {
        require(int(decoded.metrics.size()) <= Sparkplug::MaxMetrics, "more metrics than the limit");
        Sparkplug::Payload again;
        QString againError;
        require(Sparkplug::decode(Sparkplug::encode(decoded), again, againError), "what was read does not encode");
        require(again.seq == decoded.seq && again.timestampMs == decoded.timestampMs &&
                    again.metrics == decoded.metrics,
                "encoded and read again, the payload changed");
    }

    Sparkplug::CommandRead command;
    QString commandError;
    const bool taken = node ? Sparkplug::readNodeCommand(payload, command, commandError)
                            : Sparkplug::readDeviceCommand(payload, command, commandError);
    require(taken == read, "a command is read exactly when its payload is");
    if (!taken) {
        require(!commandError.isEmpty(), "a refused command must say why");
        return 0;
    }
    require(command.commands.size() + size_t(command.refused.size()) <= decoded.metrics.size(),
            "more commands and refusals than metrics");
    require(!node || command.commands.empty(), "an NCMD names no command of the board");
    for (const Sparkplug::Command &c : command.commands) {
        require(c.method != QLatin1String("firmware.update"), "a firmware update from Sparkplug");
        require(isCommandMetric(c), "a command that is no command metric, or its parameter out of range");
    }
    for (const QString &why : command.refused)
        require(!why.isEmpty(), "a refusal without a reason");
    return 0;
}
