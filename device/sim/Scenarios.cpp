#include "device/sim/Scenarios.h"

#include "device/sim/SimulatedBoard.h"

QStringList simulationScenarioNames()
{
    return {QStringLiteral("outdated"), QStringLiteral("broken"), QStringLiteral("bootloader"),
            QStringLiteral("faults")};
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
    if (name == QLatin1String("faults")) {
        model.overcurrentAfterMs = 30000;
        return true;
    }
    if (name == QLatin1String("bootloader")) {
        model.bootloaderRunning = true;
        model.signatureValid = true;
        return true;
    }
    return false;
}
