// Firmware maintenance members of the device object: the check of what the
// board runs against the carried image, the sector checksum and the full
// update of the application region.
#include "device/ByteOrder.h"
#include "device/TorvanDRV.h"
#include "firmware/Checksum.h"
#include "firmware/FirmwareCheck.h"
#include "firmware/FirmwareImage.h"
#include "log/Logger.h"

#include <QTimer>

#include <algorithm>

QString PendingUpdateDevice;

namespace {

constexpr int ChecksumPauseMs = 20;
constexpr int ChecksumPollMs = 500;
constexpr int ChecksumSectorByte = 16;
constexpr int ApplicationSectors = FlashLayout::SectorCount - FlashLayout::FirstApplicationSector;

const QString CorruptionTitle =
    QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Device firmware corruption detected."));
const QString MismatchTitle =
    QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Device firmware mismatch detected."));

// The question about a board whose firmware is not the carried one: in
// English for the log, translated for the operator.
QString mismatchText(const DriverInfoRecord &info, bool restart, bool translated)
{
    const char *text = restart ? QT_TRANSLATE_NOOP("TorvanDRV", "Device firmware mismatch detected. Device FW version: "
                                                                "0x%1, update version: 0x%2. Click OK to restart "
                                                                "device and update FW.")
                               : QT_TRANSLATE_NOOP("TorvanDRV", "Device firmware mismatch detected. Device FW version: "
                                                                "0x%1, update version: 0x%2. Click OK to update FW.");
    return (translated ? TorvanDRV::tr(text) : QString::fromUtf8(text))
        .arg(QString::asprintf("%02X%02X", static_cast<unsigned>(info.APVersionHigh & 0xFF),
                               static_cast<unsigned>(info.APVersionLow & 0xFF)),
             QString::asprintf("%02X%02X", unsigned(UpdateVersion[0]), unsigned(UpdateVersion[1])));
}

} // namespace

// ---------------------------------------------------------------------------
// The check after every device information exchange

void TorvanDRV::CheckFirmware()
{
    // The question's text goes to the log (in English) whatever the answer;
    // without a dialog provider every question is answered Cancel.
    const auto ask = [this](const QString &title, const QString &text, const QString &shown) {
        log(text);
        return dialogs && dialogs->ask(title, shown);
    };
    const DriverInfoRecord &info = DriverInfo;

    if (info.BootloaderActive && !info.SignatureValid) {
        const char *corrupt = QT_TR_NOOP("Device firmware corruption detected. Click OK to update the FW.");
        if (ask(CorruptionTitle, QString::fromUtf8(corrupt), tr(corrupt)))
            FullUpdate();
        return;
    }
    if (info.BootloaderActive) {
        if (info.FirmwareUpToDate)
            return;
        // The board the operator already agreed to restart for this update
        // is updated without asking again. An empty pending id matches no
        // board, not even one whose id text was never read.
        if (!PendingUpdateDevice.isEmpty() && PendingUpdateDevice == info.UniqueIDText) {
            FullUpdate();
            PendingUpdateDevice.clear();
            return;
        }
        if (ask(MismatchTitle, mismatchText(info, false, false), mismatchText(info, false, true))) {
            FullUpdate();
            PendingUpdateDevice.clear();
        }
        return;
    }
    const bool versionMatches = info.APVersionHigh == UpdateVersion[0] && info.APVersionLow == UpdateVersion[1];
    if (!versionMatches && ask(MismatchTitle, mismatchText(info, true, false), mismatchText(info, true, true))) {
        emit firmwareUpdateStarting();
        PendingUpdateDevice = info.UniqueIDText;
        RestartDevice();
    }
}

unsigned int TorvanDRV::CalculateCRC(int nSector, const unsigned char *Flash)
{
    return Firmware::sectorChecksum(nSector, Flash);
}

// ---------------------------------------------------------------------------
// The full update

void TorvanDRV::FullUpdate()
{
    emit firmwareUpdateStarting();
    LastFullUpdate = FullUpdateRecord();
    LastFullUpdate.outcome = FullUpdateRecord::Outcome::Running;
    try {
        updateFirmware();
    } catch (...) {
        LastFullUpdate.outcome = Connected ? FullUpdateRecord::Outcome::Aborted : FullUpdateRecord::Outcome::Lost;
        // The receive tick stays stopped, as after every end of the update.
        reportException(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Error updating firmware")),
                        QT_TR_NOOP("Unexpected error occurred while updating firmware. Please try reconnecting "
                                   "device."));
    }
}

void TorvanDRV::updateFirmware()
{
    using namespace FlashLayout;

    // The procedure reads the replies itself; the receive tick must not take
    // them. It stays stopped afterwards, whatever the outcome.
    rxTimer->stop();
    log(QStringLiteral("Starting full update..."));
    log(QStringLiteral("Erasing sectors..."));

    // Sending scrambles the buffer in place, so every report is built anew.
    for (int sector = SectorCount - 1; sector >= FirstApplicationSector; --sector) {
        OutputReport[2] = Report::CmdEraseSector;
        OutputReport[3] = static_cast<unsigned char>(sector);
        SendReport();
    }
    if (!Connected) {
        log(QStringLiteral("Device disconnected during erase. Please reconnect device."));
        LastFullUpdate.outcome = FullUpdateRecord::Outcome::Lost;
        return;
    }
    log(QStringLiteral("Erasing done!"));

    log(QStringLiteral("Uploading new FW..."));
    for (int address = ApplicationStart; address < FirmwareImageSize && Connected; address += SubsectorSize) {
        OutputReport[2] = Report::CmdWriteSubsector;
        OutputReport[3] = static_cast<unsigned char>(address >> 12);
        OutputReport[4] = static_cast<unsigned char>((address >> 5) & 0x7F);
        std::copy(FirmwareImage + address, FirmwareImage + address + SubsectorSize, OutputReport + 5);
        // The window reads the progress from bytes 3 and 4 now, while they
        // are still plain.
        emit newFWProgressValueAvailable();
        SendReport();
    }
    if (!Connected) {
        log(QStringLiteral("Device disconnected during upload. Please reconnect device."));
        LastFullUpdate.outcome = FullUpdateRecord::Outcome::Lost;
        return;
    }
    log(QStringLiteral("Uploading OK."));

    ClearHIDReadBuffer();
    log(QStringLiteral("Reading CRCs..."));
    int goodSectors = 0;
    for (int sector = FirstApplicationSector; sector < SectorCount; ++sector) {
        ClearHIDReadBuffer();
        InputReport[1] = InputReport[2] = InputReport[3] = InputReport[4] = 0;
        InputReport[ChecksumSectorByte] = 0xFF;
        OutputReport[2] = Report::CmdReadSectorCRC;
        OutputReport[3] = static_cast<unsigned char>(sector);
        SendReport();
        BusyWait(ChecksumPauseMs);

        // Only a whole report is taken, so its sector byte is never a
        // leftover of an earlier one.
        const PollResult poll =
            pollReply(ChecksumPollMs, [this, sector] { return InputReport[ChecksumSectorByte] == sector; });
        if (poll == PollResult::ReadFailed) {
            LastFullUpdate.outcome = FullUpdateRecord::Outcome::Lost;
            return; // the board is gone: the disconnect lines say so
        }
        if (poll == PollResult::NoReply) {
            LastFullUpdate.unansweredSectors.push_back(sector);
            continue;
        }
        const uint32_t reported = ByteOrder::getBE32(InputReport + 1);
        const bool good = CalculateCRC(sector, FirmwareImage) == reported;
        if (good)
            ++goodSectors;
        else
            LastFullUpdate.wrongSectors.push_back(sector);
        log(QString::asprintf("CRC %ld is %s.", static_cast<long>(sector), good ? "OK" : "NOK"));
    }
    if (!Connected || goodSectors < ApplicationSectors) {
        log(QStringLiteral("Device disconnected during CRC check or CRC(s) failed. Please reconnect device."));
        LastFullUpdate.outcome =
            Connected ? FullUpdateRecord::Outcome::ChecksumFailed : FullUpdateRecord::Outcome::Lost;
        return;
    }

    log(QStringLiteral("All CRCs OK."));
    log(QStringLiteral("Writing signature."));
    OutputReport[2] = Report::CmdWriteSignature;
    std::copy(SignatureMarker, SignatureMarker + 4, OutputReport + 8);
    SendReport();

    RestartDevice();
    // A board that took neither report is gone, unsigned or not restarted.
    LastFullUpdate.outcome = Connected ? FullUpdateRecord::Outcome::Restarted : FullUpdateRecord::Outcome::Lost;
}
