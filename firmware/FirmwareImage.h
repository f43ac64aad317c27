#pragma once

// The firmware image the tool carries for the board, with its version and the
// signature marker the full update writes last. The image is opaque: the tool
// sends and checksums its bytes and reads nothing else out of it.

constexpr int FirmwareImageSize = 32768;

// Byte i is what the board's flash is to hold at address i. Generated at
// build time from resources/firmware.bin.
extern const unsigned char FirmwareImage[FirmwareImageSize];

// Version of the carried image: high byte, low byte (shown as 0x0123).
inline constexpr unsigned char UpdateVersion[2] = {0x01, 0x23};

// Written after every sector checksum has been confirmed; the board reports
// it back in its device information while its application is valid.
inline constexpr unsigned char SignatureMarker[4] = {0xBA, 0xBE, 0x3D, 0xC2};

// The board's flash layout.
namespace FlashLayout {
constexpr int SectorSize = 4096;
constexpr int SectorCount = 8;
constexpr int SubsectorSize = 32;
constexpr int SubsectorsPerSector = SectorSize / SubsectorSize;
// Sectors 0 and 1 hold the board's boot loader, which the tool never touches.
constexpr int FirstApplicationSector = 2;
constexpr int ApplicationStart = FirstApplicationSector * SectorSize;

// The address of the subsector a write report uploads, from the report as
// it is before scrambling: byte 3 holds address bits 12 and up, byte 4 bits
// 5 to 11.
constexpr int subsectorAddress(const unsigned char *report)
{
    return (report[3] << 12) | (report[4] << 5);
}

// How far an upload is, in percent, when the subsector at this address goes
// out (100 with the last one).
constexpr int uploadPercent(int address)
{
    return (address + SubsectorSize - ApplicationStart) * 100 / (FirmwareImageSize - ApplicationStart);
}
} // namespace FlashLayout
