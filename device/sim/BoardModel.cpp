#include "device/sim/BoardModel.h"

#include "device/Records.h"

#include <cmath>

namespace {

void putBE16(unsigned char *p, uint16_t v)
{
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

void putBE32(unsigned char *p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

} // namespace

BoardModel::BoardModel(int index) : index(index)
{
    // A stable unique id per board position.
    for (int i = 0; i < 16; ++i)
        uniqueId[static_cast<size_t>(i)] = static_cast<unsigned char>(0x3A + 17 * i + 29 * index + (i * i) % 7);
}

void BoardModel::advanceTo(qint64) {}

void BoardModel::fillDeviceInfo(InputReportBytes &r) const
{
    r[1] = blVersionHigh;
    r[2] = blVersionLow;
    r[3] = apVersionHigh;
    r[4] = apVersionLow;
    r[5] = bootloaderRunning ? Report::BootloaderMode : ApplicationMode;
    r[Report::TypeByte] = Report::RptDeviceInfo;
    putBE32(&r[20], signatureValid ? Report::SignatureWord : 0xFFFFFFFFu);
    for (int i = 0; i < 16; ++i)
        r[static_cast<size_t>(24 + i)] = uniqueId[static_cast<size_t>(i)];
    putBE16(&r[44], static_cast<uint16_t>(std::lround(temperature / 0.125)));
}

void BoardModel::fillLiveReport(InputReportBytes &r) const
{
    r[6] = inputs;
    putBE16(&r[8], static_cast<uint16_t>(std::lround(supplyVoltage * 2.2 / 49.2 / 3.3 * 1024.0)));
    r[Report::TypeByte] = Report::RptRTData;
    putBE32(&r[20], static_cast<uint32_t>(position));
    putBE32(&r[24], static_cast<uint32_t>(speed));
    putBE16(&r[44], static_cast<uint16_t>(std::lround(temperature / 0.125)));
    r[46] = driverState;
    r[47] = operatingMode;
    r[48] = currentGainCode;
    r[49] = rawCurrent;
    r[54] = faultFlags;
    r[56] = static_cast<unsigned char>(trajTickRaw & 0xFF);
    r[57] = static_cast<unsigned char>(trajTickRaw >> 8);
}

void BoardModel::handleCommand(const unsigned char *plain, qint64, std::vector<InputReportBytes> &replies)
{
    const unsigned char code = plain[2];
    if (code >= Report::CmdEraseSector && code <= Report::CmdReadSectorCRC) {
        // The application ignores the flash commands; only the boot loader
        // obeys them. An erase voids the signature, a signature write sets it.
        if (bootloaderRunning) {
            flash.handleCommand(plain, replies);
            if (code == Report::CmdEraseSector || code == Report::CmdWriteSignature)
                signatureValid = flash.signatureValid();
        }
        return;
    }
}

void BoardModel::restart()
{
    if (!bootloaderRunning)
        bootloaderRunning = true;
    else if (signatureValid)
        startApplication();
}

void BoardModel::startApplication()
{
    bootloaderRunning = false;
    // A reflashed board runs, and reports, what was flashed.
    if (flash.reprogrammed()) {
        apVersionHigh = flash.versionHigh();
        apVersionLow = flash.versionLow();
    }
}

void BoardModel::powerUp()
{
    if (signatureValid)
        startApplication();
    else
        bootloaderRunning = true;
}
