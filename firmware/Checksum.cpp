#include "firmware/Checksum.h"

#include "device/ByteOrder.h"
#include "firmware/FirmwareImage.h"

namespace Firmware {

using namespace ByteOrder;

uint32_t sectorChecksum(int sector, const unsigned char *flash)
{
    if (sector < 0 || sector >= FlashLayout::SectorCount)
        return 0; // no such sector: nothing outside the image is read
    const unsigned char *block = flash + sector * FlashLayout::SectorSize;
    const unsigned char *end = block + FlashLayout::SectorSize;
    uint32_t w0 = 0, w1 = 0, w2 = 0, w3 = 0;
    for (; block != end; block += 16) {
        const uint32_t feedback = (w0 ^ (w0 >> 2) ^ (w0 >> 27) ^ (w0 >> 29)) & 1u;
        w0 = (w0 >> 1) | (w1 << 31);
        w1 = (w1 >> 1) | (w2 << 31);
        w2 = (w2 >> 1) | (w3 << 31);
        w3 = (w3 >> 1) | (feedback << 31);
        w0 ^= getLE32(block);
        w1 ^= getLE32(block + 4);
        w2 ^= getLE32(block + 8);
        w3 ^= getLE32(block + 12);
    }
    return w0 ^ w1 ^ w2 ^ w3;
}

} // namespace Firmware
