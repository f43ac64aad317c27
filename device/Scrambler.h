#pragma once

#include <cstdint>

// Scrambling of the 65-byte output report (byte 0 report id, byte 2 command
// code, byte 64 check byte) with the link key the board supplies.
namespace Scrambler {

constexpr int ReportSize = 65;
constexpr unsigned char CheckMask = 0x4B;
constexpr unsigned char KeyMask = 0x6E;
constexpr unsigned char FixedMaskA = 0x3A;
constexpr unsigned char FixedMaskB = 0xC6;

// Scrambles data in place. With key 0 the report goes out plain (byte 64 = 0).
// randomByte is the generator's low byte before the check mask is ORed in.
// If the scrambled report would not decode back to what was built, the plain
// report is restored, byte 64 included.
void encode(unsigned char data[ReportSize], uint32_t key, unsigned char randomByte);

enum class Decoded { Plain, Scrambled, Corrupt };

// The board's side: undoes encode() in place. Byte 64 of 0 means plain; a
// check byte with every bit of the check mask means scrambled; anything else
// is a corrupt report and left as it is. Byte 63 of a scrambled report is
// always 0 and bytes 61 and 62 are restored.
Decoded decode(unsigned char data[ReportSize], uint32_t key);

// The key from the 16-byte unique id: the XOR of its four 4-byte groups, read
// as a big-endian number.
uint32_t keyFromUniqueId(const unsigned char uniqueId[16]);

} // namespace Scrambler
