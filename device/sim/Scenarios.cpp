#include "device/sim/Scenarios.h"

#include "device/Records.h"
#include "device/sim/SimulatedBoard.h"

#include <algorithm>

const std::vector<SimulationScenario> &simulationScenarios()
{
    static const std::vector<SimulationScenario> scenarios = {
        {QStringLiteral("outdated"), QStringLiteral("runs an older application (0x0122): an update is offered")},
        {QStringLiteral("broken"), QStringLiteral("runs its boot loader over a broken application (no signature)")},
        {QStringLiteral("bootloader"), QStringLiteral("runs its boot loader over a valid, current application")},
        {QStringLiteral("held"), QStringLiteral("is held open by another program: present, but it cannot be opened")},
        {QStringLiteral("stall"), QStringLiteral("shuts channel A down for overcurrent whenever a move starts")},
        {QStringLiteral("glitch"), QStringLiteral("drops off the bus for a second whenever a move starts")},
        {QStringLiteral("faults"),
         QStringLiteral("trips a channel A over-current fault 30 seconds after it was last free of faults")},
        {QStringLiteral("badchecksum"),
         QStringLiteral("runs an older application; its update always reads back a wrong checksum for sector 5")},
        {QStringLiteral("nochecksum"), QStringLiteral("runs its boot loader over a broken application and never "
                                                      "answers the checksum request for sector 3")},
        {QStringLiteral("unplugged"), QStringLiteral("runs its boot loader over a broken application and is pulled "
                                                     "out halfway through the first upload, back two seconds later")},
        {QStringLiteral("updatereset"), QStringLiteral("runs an older application with a tuned configuration saved, "
                                                       "which the update to the carried application resets to the "
                                                       "factory settings")},
        {QStringLiteral("locked"), QStringLiteral("keeps its saved settings whatever is written (a board that "
                                                  "refuses a new configuration)")},
    };
    return scenarios;
}

QStringList simulationScenarioNames()
{
    QStringList names;
    for (const SimulationScenario &scenario : simulationScenarios())
        names << scenario.name;
    return names;
}

bool applySimulationScenario(SimulatedBoard &board, const QString &name)
{
    BoardModel &model = board.model;
    if (name.isEmpty())
        return true;
    if (name == QLatin1String("outdated")) {
        model.bootloaderRunning = false;
        model.signatureValid = true;
        model.apVersionHigh = 0x01;
        model.apVersionLow = 0x22;
        model.flash.loadApplication(0x01, 0x22);
        return true;
    }
    if (name == QLatin1String("broken")) {
        model.bootloaderRunning = true;
        model.signatureValid = false;
        model.flash.breakApplication();
        return true;
    }
    if (name == QLatin1String("badchecksum")) {
        applySimulationScenario(board, QStringLiteral("outdated"));
        model.flash.wrongChecksumSector = 5;
        return true;
    }
    if (name == QLatin1String("nochecksum")) {
        applySimulationScenario(board, QStringLiteral("broken"));
        model.flash.silentSector = 3;
        return true;
    }
    if (name == QLatin1String("unplugged")) {
        // Pulled out halfway through the first upload, and plugged in again
        // two seconds later; the next update goes through.
        applySimulationScenario(board, QStringLiteral("broken"));
        board.onCommand = [pulled = false](SimulatedBoard &b, const ReceivedCommand &command) mutable {
            constexpr int HalfwayAddress = (FlashLayout::ApplicationStart + FirmwareImageSize) / 2;
            if (!pulled && command.code() == Report::CmdWriteSubsector &&
                FlashLayout::subsectorAddress(command.plain.data()) == HalfwayAddress) {
                pulled = true;
                b.leaveBusFor(2000);
            }
        };
        return true;
    }
    if (name == QLatin1String("updatereset")) {
        // An older application with a tuned configuration saved (3.0 A full
        // scale, 70 degrees C, 12000 steps/s, named "Bench 7"); the update
        // to the carried application wipes it: the board comes back with its
        // factory settings.
        applySimulationScenario(board, QStringLiteral("outdated"));
        BoardModel::Settings tuned = BoardModel::factorySettings();
        tuned.driver.registers[1] = 0x07B8;
        tuned.driver.tempLimit = 70;
        tuned.other.maxSpeed = 12000;
        tuned.name.fill(0);
        static const char name[] = "Bench 7";
        std::copy(name, name + sizeof(name) - 1, tuned.name.begin());
        model.settings = model.saved = tuned;
        board.onCommand = [](SimulatedBoard &b, const ReceivedCommand &command) {
            if (command.code() == Report::CmdWriteSignature)
                b.model.saved = BoardModel::factorySettings();
        };
        return true;
    }
    if (name == QLatin1String("locked")) {
        // Its settings are write-protected: it reads back what it has saved
        // whatever driver values, name or motion settings are written.
        board.onCommand = [](SimulatedBoard &b, const ReceivedCommand &command) {
            BoardModel::Settings &now = b.model.settings;
            const BoardModel::Settings &saved = b.model.saved;
            if (command.code() == Report::CmdWriteDriverValues)
                now.driver = saved.driver;
            else if (command.code() == Report::CmdSetDriverName)
                now.name = saved.name;
            else if (command.code() == Report::CmdWriteTrajectory)
                now.other = saved.other;
        };
        return true;
    }
    if (name == QLatin1String("faults")) {
        model.overcurrentAfterMs = 30000;
        return true;
    }
    if (name == QLatin1String("bootloader")) {
        model.bootloaderRunning = true;
        model.signatureValid = true;
        return true;
    }
    if (name == QLatin1String("stall")) {
        // Every move ends at once in a channel A overcurrent shutdown, as a
        // blocked motor would; resetting the faults clears it until the next.
        board.onCommand = [](SimulatedBoard &b, const ReceivedCommand &command) {
            if (command.code() == Report::CmdWriteTrajectory)
                b.model.faultFlags |= 0x02;
        };
        return true;
    }
    if (name == QLatin1String("glitch")) {
        // A loose cable: the board drops off the bus for a second whenever a
        // move starts, and keeps moving meanwhile.
        board.onCommand = [](SimulatedBoard &b, const ReceivedCommand &command) {
            if (command.code() == Report::CmdWriteTrajectory)
                b.leaveBusFor(1000);
        };
        return true;
    }
    if (name == QLatin1String("held")) {
        board.heldElsewhere = true;
        return true;
    }
    return false;
}

bool addSimulatedBoards(SimulatedBus &bus, int count, const QString &scenario)
{
    if (!simulationScenarioNames().contains(scenario) && !scenario.isEmpty())
        return false;
    applySimulationScenario(bus.addBoard(), scenario);
    for (int i = 1; i < count; ++i)
        bus.addBoard();
    return true;
}
