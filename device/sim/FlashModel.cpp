#include "device/sim/FlashModel.h"

#include "device/ByteOrder.h"
#include "device/Records.h"
#include "firmware/Checksum.h"

#include <algorithm>
#include <cstring>

using namespace FlashLayout;

namespace {

constexpr int CommandByte = 2;
constexpr int SectorByte = 3;
constexpr int SubsectorByte = 4;
constexpr int DataByte = 5;
constexpr int SignatureByte = 8;
constexpr int ReplySectorByte = 16;

bool isApplicationSector(int sector)
{
    return sector >= FirstApplicationSector && sector < SectorCount;
}

} // namespace

FlashModel::FlashModel()
{
    std::copy(FirmwareImage, FirmwareImage + FirmwareImageSize, memory.begin());
    std::copy(SignatureMarker, SignatureMarker + 4, signature.begin());
}

bool FlashModel::handleCommand(const unsigned char *plain, std::vector<InputReportBytes> &replies)
{
    const int sector = plain[SectorByte];
    switch (plain[CommandByte]) {
    case Report::CmdEraseSector:
        if (!isApplicationSector(sector)) {
            ++refused;
            return true;
        }
        eraseSector(sector);
        return true;
    case Report::CmdWriteSubsector: {
        const int subsector = plain[SubsectorByte];
        if (!isApplicationSector(sector) || subsector >= SubsectorsPerSector) {
            ++refused;
            return true;
        }
        unsigned char *cell = memory.data() + sector * SectorSize + subsector * SubsectorSize;
        for (int i = 0; i < SubsectorSize; ++i)
            cell[i] &= plain[DataByte + i];
        ++writes;
        return true;
    }
    case Report::CmdReadSectorCRC:
        if (sector >= SectorCount) {
            ++refused;
            return true;
        }
        if (sector == silentSector)
            return true;
        if (sector == staleSector && sector > 0)
            replies.push_back(checksumReply(sector - 1));
        else
            replies.push_back(checksumReply(sector));
        return true;
    case Report::CmdWriteSignature:
        std::memcpy(signature.data(), plain + SignatureByte, signature.size());
        return true;
    default:
        return false;
    }
}

void FlashModel::eraseSector(int sector)
{
    std::fill_n(memory.begin() + sector * SectorSize, SectorSize, 0xFF);
    // The signature vouches for the whole application; any erase voids it.
    signature.fill(0xFF);
    ++erases;
}

InputReportBytes FlashModel::checksumReply(int sector) const
{
    uint32_t checksum = sectorChecksum(sector);
    if (sector == wrongChecksumSector)
        checksum ^= 0x00010000u;
    InputReportBytes reply{};
    ByteOrder::putBE32(&reply[1], checksum);
    reply[Report::TypeByte] = ChecksumReplyType;
    reply[ReplySectorByte] = static_cast<unsigned char>(sector);
    return reply;
}

void FlashModel::loadApplication(unsigned char versionHigh, unsigned char versionLow)
{
    std::copy(FirmwareImage, FirmwareImage + FirmwareImageSize, memory.begin());
    if (versionHigh != UpdateVersion[0] || versionLow != UpdateVersion[1]) {
        // Another build: every application sector differs from the carried
        // image's somewhere in its middle.
        for (int sector = FirstApplicationSector; sector < SectorCount; ++sector)
            for (int i = 0x400; i < 0x440; ++i)
                memory[size_t(sector * SectorSize + i)] ^= static_cast<unsigned char>(0x5A + sector + i);
        memory[VersionAddress] = versionHigh;
        memory[VersionAddress + 1] = versionLow;
    }
    std::copy(SignatureMarker, SignatureMarker + 4, signature.begin());
}

void FlashModel::breakApplication()
{
    for (int sector = SectorCount - 3; sector < SectorCount; ++sector)
        std::fill_n(memory.begin() + sector * SectorSize, SectorSize, 0xFF);
    signature.fill(0xFF);
}

bool FlashModel::signatureValid() const
{
    return std::equal(signature.begin(), signature.end(), SignatureMarker);
}

uint32_t FlashModel::sectorChecksum(int sector) const
{
    return Firmware::sectorChecksum(sector, memory.data());
}

bool FlashModel::holdsCarriedApplication() const
{
    return std::equal(memory.begin() + ApplicationStart, memory.end(), FirmwareImage + ApplicationStart);
}
