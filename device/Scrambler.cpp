#include "device/Scrambler.h"

#include <cstring>

namespace Scrambler {
namespace {

unsigned char keyByte(uint32_t key, int n)
{
    return static_cast<unsigned char>((key >> (8 * n)) & 0xFF);
}

// The seven runs of eight bytes over bytes 5 to 60; XOR is its own inverse.
void xorRuns(unsigned char *d, uint32_t key)
{
    const unsigned char masks[7] = {keyByte(key, 0), keyByte(key, 3), FixedMaskA,     keyByte(key, 2),
                                    keyByte(key, 1), FixedMaskB,      keyByte(key, 0)};
    for (int run = 0; run < 7; ++run)
        for (int i = 0; i < 8; ++i)
            d[5 + run * 8 + i] ^= masks[run];
}

} // namespace

void encode(unsigned char data[ReportSize], uint32_t key, unsigned char randomByte)
{
    unsigned char plain[ReportSize];
    std::memcpy(plain, data, ReportSize);
    if (key == 0) {
        data[64] = 0;
        return;
    }
    const unsigned char m = randomByte | CheckMask;
    const unsigned char k2 = keyByte(key, 2);
    data[64] = m;
    data[2] ^= m;
    data[3] ^= (k2 | KeyMask);
    data[4] ^= data[14];
    xorRuns(data, key);
    data[63] = 0;
    data[61] = static_cast<unsigned char>(data[61] + m);
    data[62] = static_cast<unsigned char>(data[62] - m);

    // Self-check: undo on a copy and compare with what was built.
    unsigned char check[ReportSize];
    std::memcpy(check, data, ReportSize);
    if ((check[64] & CheckMask) == CheckMask) {
        check[61] = plain[61];
        check[62] = plain[62];
        xorRuns(check, key);
        check[4] ^= check[14];
        check[3] ^= (k2 | KeyMask);
        check[2] ^= check[64];
    }
    if (std::memcmp(check, plain, 64) != 0) {
        // Goes out as built, but marked plain: the check byte left over from
        // the previous scrambled send would make the board unscramble it.
        std::memcpy(data, plain, ReportSize);
        data[64] = 0;
    }
}

Decoded decode(unsigned char data[ReportSize], uint32_t key)
{
    const unsigned char m = data[64];
    if (m == 0)
        return Decoded::Plain;
    if ((m & CheckMask) != CheckMask)
        return Decoded::Corrupt;
    data[61] = static_cast<unsigned char>(data[61] - m);
    data[62] = static_cast<unsigned char>(data[62] + m);
    xorRuns(data, key);
    data[4] ^= data[14];
    data[3] ^= (keyByte(key, 2) | KeyMask);
    data[2] ^= m;
    return Decoded::Scrambled;
}

uint32_t keyFromUniqueId(const unsigned char uniqueId[16])
{
    uint32_t key = 0;
    for (int j = 0; j < 4; ++j) {
        const unsigned char b = uniqueId[j] ^ uniqueId[4 + j] ^ uniqueId[8 + j] ^ uniqueId[12 + j];
        key = (key << 8) | b;
    }
    return key;
}

} // namespace Scrambler
