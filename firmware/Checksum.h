#pragma once

#include <cstdint>

// The sector checksum the board computes over its flash and the full update
// compares with the image. Called "CRC" in the log, it is in fact a 128-bit
// shift-register checksum: for each 16-byte block, the register is shifted
// right by one bit with feedback from bits 0, 2, 27 and 29 entering at bit
// 127, then the block is XORed in as four little-endian words. The result
// folds the four register words together.
namespace Firmware {

// Checksum of sector `sector` (0 to 7) of a 32 KiB flash image indexed by
// flash address; 0 for a sector outside the image.
uint32_t sectorChecksum(int sector, const unsigned char *flash);

} // namespace Firmware
