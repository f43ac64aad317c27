#include "cli/Commands.h"

#include "cli/CommandSupport.h"
#include "device/sim/Scenarios.h"

#include <functional>
#include <map>

using namespace Cli;

QString usageText()
{
    // The simulator's scenarios as it names them, wrapped under the option.
    QStringList scenarioLines{QStringLiteral("scenarios:")};
    const QStringList names = simulationScenarioNames();
    for (int i = 0; i < names.size(); ++i) {
        const QString word = names[i] + (i + 1 < names.size() ? QStringLiteral(",") : QString());
        if (scenarioLines.last().size() + 1 + word.size() > 46)
            scenarioLines << word;
        else
            scenarioLines.last() += QLatin1Char(' ') + word;
    }
    const QString scenarios = scenarioLines.join(QStringLiteral("\n                          "));
    return QStringLiteral(R"(Usage: torvan60ctl [OPTIONS] COMMAND [ARGUMENTS]

Controls a Torvan60 motor driver board from the command line.

Options (anywhere before a "--"):
  -d, --serial SERIAL     use the board with this USB serial number (needed
                          when several boards are connected)
  --simulate[=SCENARIO]   use a simulated board instead of the USB bus;
                          %1
  --simulate-boards=N     put N simulated boards on the bus (implies
                          --simulate; the scenario applies to the first)
  --trace FILE            append every HID write and read to FILE
  --log                   write the event log to log.txt in this folder
  -h, --help              show this text
  --version               show the version

Commands:
  list                    boards: serial, product, path, free, held or
                          served by PROGRAM (pid N)
  status [--json]         identity, firmware and one live snapshot
  status --watch [--csv] [--count N]
                          one line per live report until Ctrl-C (or N lines)
  settings get [FILE.tvs] name, settings line, register dump and motion
                          settings, or saved to a settings file
  settings set FILE.tvs [--save] [--developer-currents]
                          load a settings file (values outside the controls'
                          ranges are adjusted, with a warning each), write it
                          to the board, read it back; --save keeps it over
                          restarts
  enable | sleep          wake the driver or put it to sleep
  reset-faults            clear the fault flags (fails if a fault remains)
  restart                 restart the board and wait until it is back: a
                          running application restarts into the boot loader
                          (as for a manual firmware update), a boot loader
                          into the application, so a second restart brings
                          the application back
  name NEW [--save]       set the board's name (--save: keep it over restarts)
  move TARGET [--max-speed N] [--accel N] [--decel N] [--timeout S] [--no-wait]
                          move to TARGET steps and wait until it is reached;
                          wakes a sleeping driver; Ctrl-C stops the move
  run SPEED [--max-speed N] [--accel N] [--decel N]
                          run at SPEED steps/s (negative: backwards) and return
  stop                    brake any motion to rest and wait for it
  home                    make the present position zero
  pwm [--freq HZ] [--a DUTY] [--b DUTY]
                          DC motor mode: duties in percent (-100..100),
                          frequency 10..100000 Hz (default 20000)
  pwm stop | pwm off      outputs to 0 and driver asleep; off also leaves
                          DC motor mode
  firmware check          compare the board's firmware with the carried one
  firmware update [--yes] update the firmware (asks on a terminal; without
                          one, --yes is needed)
  serve                   hold the board and serve it to other programs on
                          its local socket until Ctrl-C or SIGTERM; finds it
                          again after an unplug; ends with 3 when another
                          program serves it already
  serve --mqtt URL [--mqtt-prefix P] [--mqtt-rate HZ] [--mqtt-allow LIST]
        [--mqtt-credentials FILE] [--mqtt-cafile FILE]
        [--mqtt-discovery [PREFIX]] [--sparkplug GROUP[/EDGE]]
                          also publish it to an MQTT broker (mqtt:// or
                          mqtts://) under P/SERIAL/ (default torvan60), state
                          HZ times a second (default 10), and take the
                          methods in LIST from its cmd topic (default none);
                          user= and password= lines from FILE (mode 600);
                          Home Assistant discovery under PREFIX (default
                          homeassistant); a Sparkplug B edge node EDGE
                          (default the host name) in GROUP; see docs/mqtt.md

Exit codes:
  0  done
  1  the board refused, an operation failed or was interrupted, or the
     firmware needs an update (firmware check)
  2  usage error, a file that is not a settings file, or several boards
     and no --serial
  3  no board, the board is held by another program, or it was lost
)")
        .arg(scenarios);
}

int runCommand(Session &session, const QStringList &words)
{
    using Command = std::function<int(Session &, CommandArgs &)>;
    static const std::map<QString, Command> commands = {
        {QStringLiteral("list"), cmdList},
        {QStringLiteral("status"), cmdStatus},
        {QStringLiteral("settings"), cmdSettings},
        {QStringLiteral("enable"), [](Session &s, CommandArgs &a) { return cmdEnableSleep(s, a, true); }},
        {QStringLiteral("sleep"), [](Session &s, CommandArgs &a) { return cmdEnableSleep(s, a, false); }},
        {QStringLiteral("reset-faults"), cmdResetFaults},
        {QStringLiteral("restart"), cmdRestart},
        {QStringLiteral("name"), cmdName},
        {QStringLiteral("move"), cmdMove},
        {QStringLiteral("run"), cmdRun},
        {QStringLiteral("stop"), cmdStop},
        {QStringLiteral("home"), cmdHome},
        {QStringLiteral("pwm"), cmdPwm},
        {QStringLiteral("firmware"), cmdFirmware},
        {QStringLiteral("serve"), cmdServe},
    };
    if (words.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const auto command = commands.find(words.first());
    if (command == commands.end())
        return usageError(QStringLiteral("unknown command \"%1\"").arg(words.first()));
    CommandArgs args(words.mid(1));
    return command->second(session, args);
}
