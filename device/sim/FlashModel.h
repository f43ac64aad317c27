#pragma once

#include "firmware/FirmwareImage.h"

#include <array>
#include <cstdint>
#include <vector>

using InputReportBytes = std::array<unsigned char, 64>;

// The simulated board's 32 KiB flash and the part of its boot loader that
// obeys the flash commands: erase a sector, write a 32-byte subsector, report
// a sector checksum, write the signature. Sectors 0 and 1 hold the boot loader
// itself and refuse every erase and write.
//
// Flash cells behave like flash: an erase sets a sector to 0xFF and a write
// can only clear bits, so a sector written without being erased first ends up
// wrong and its checksum shows it.
//
// Whether the boot loader runs (and so whether these commands are obeyed at
// all) is the board's state, not the flash's: the board routes the commands
// here only while its boot loader runs.
class FlashModel
{
public:
    // Where the application keeps its two version bytes (high, low).
    static constexpr int VersionAddress = FlashLayout::ApplicationStart + 4;
    // Input report type of the checksum reply. Not 0x01 and not 0x00, so it
    // is never taken for device information.
    static constexpr unsigned char ChecksumReplyType = 0x06;

    // Starts holding the carried image, signed: a board with an up-to-date
    // application.
    FlashModel();

    // Obeys one plain command report (65 bytes, byte 2 the command code).
    // Returns false, doing nothing, for a code that is not a flash command.
    // The checksum reply, if any, is appended to replies.
    bool handleCommand(const unsigned char *plain, std::vector<InputReportBytes> &replies);

    // ---- Start states ----
    // A signed application of another build than the carried one, carrying
    // the given version bytes (the carried image itself for 0x01 0x23).
    void loadApplication(unsigned char versionHigh, unsigned char versionLow);
    // An update that broke off while writing: the application's last sectors
    // erased and no signature.
    void breakApplication();

    // ---- State ----
    bool signatureValid() const;
    // The version bytes of the application in the flash.
    unsigned char versionHigh() const { return memory[VersionAddress]; }
    unsigned char versionLow() const { return memory[VersionAddress + 1]; }
    uint32_t sectorChecksum(int sector) const;
    // The application region holds exactly the carried image's.
    bool holdsCarriedApplication() const;
    // An erase or write reached the application since the flash was loaded:
    // from then on, what the board reports about its application is what the
    // flash holds.
    bool reprogrammed() const { return erases > 0 || writes > 0; }

    std::array<unsigned char, FirmwareImageSize> memory{};
    std::array<unsigned char, 4> signature{};

    // ---- Faults (sector number, -1 for none) ----
    int wrongChecksumSector = -1; // reports a checksum with one bit flipped
    int silentSector = -1;        // never answers a checksum request
    int staleSector = -1;         // answers it with the sector before's reply

    // ---- Record ----
    int erases = 0;  // sectors erased
    int writes = 0;  // subsectors written
    int refused = 0; // flash commands for sectors 0 and 1 or out of range

private:
    void eraseSector(int sector);
    InputReportBytes checksumReply(int sector) const;
};
