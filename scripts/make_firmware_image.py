#!/usr/bin/env python3
"""Writes resources/firmware.bin, the stand-in for the board's firmware build.

The tool carries one 32 KiB flash image and treats it as opaque bytes; until
the firmware team supplies its build, this script makes a deterministic image
with the layout the flash has:

  0x0000-0x1FFF  boot loader (sectors 0 and 1; never sent to the board)
  0x2000-0x7FFF  application (sectors 2 to 7)

Each region starts with a small header (a tag, the version, the length of its
code) followed by pseudo-random "code" and erased flash (0xFF) after it. The
application's version bytes 0x01 0x23 sit at 0x2004 and 0x2005: the simulated
board reads them there to report the version of what was flashed.

The content is chosen so that a fault in the update shows: every sector
differs from every other, no application sector is all 0x00 or all 0xFF, and
the last application sector ends half code, half erased flash.

Usage: make_firmware_image.py [OUTPUT]   (default: resources/firmware.bin
next to this script's parent directory). Running it twice gives the same
bytes.
"""

import os
import struct
import sys

IMAGE_SIZE = 0x8000
SECTOR_SIZE = 0x1000
APPLICATION_START = 0x2000
VERSION_ADDRESS = APPLICATION_START + 4
APPLICATION_VERSION = (0x01, 0x23)
BOOT_LOADER_VERSION = (0x01, 0x05)
BOOT_LOADER_CODE_END = 0x1A40   # boot loader code, then erased flash
APPLICATION_CODE_END = 0x7A80   # application code, then erased flash


def xorshift32(seed):
    """An explicit generator, so the bytes never depend on a library."""
    state = seed & 0xFFFFFFFF or 1
    while True:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        yield state


def fill_code(image, start, end, seed):
    """Pseudo-random words, re-seeded per sector so sectors never repeat."""
    address = start
    while address < end:
        sector = address // SECTOR_SIZE
        gen = xorshift32(seed * 0x9E3779B1 + sector * 0x85EBCA77)
        sector_end = min(end, (sector + 1) * SECTOR_SIZE)
        while address < sector_end:
            word = next(gen)
            for shift in (0, 8, 16, 24):
                if address < sector_end:
                    image[address] = (word >> shift) & 0xFF
                    address += 1


def header(tag, version, code_length):
    # tag (4 bytes), version high and low, two reserved bytes, code length
    # (little-endian 32 bits), four reserved bytes: 16 bytes in all.
    return tag + bytes(version) + b"\x00\x00" + struct.pack("<I", code_length) + b"\x00" * 4


def build():
    image = bytearray(b"\xFF" * IMAGE_SIZE)

    fill_code(image, 0x0000, BOOT_LOADER_CODE_END, seed=0x0B00)
    image[0x0000:0x0010] = header(b"T60B", BOOT_LOADER_VERSION, BOOT_LOADER_CODE_END)

    fill_code(image, APPLICATION_START, APPLICATION_CODE_END, seed=0x0A99)
    image[APPLICATION_START:APPLICATION_START + 0x10] = header(
        b"T60A", APPLICATION_VERSION, APPLICATION_CODE_END - APPLICATION_START)

    assert len(image) == IMAGE_SIZE
    assert tuple(image[VERSION_ADDRESS:VERSION_ADDRESS + 2]) == APPLICATION_VERSION
    sectors = [bytes(image[s:s + SECTOR_SIZE]) for s in range(0, IMAGE_SIZE, SECTOR_SIZE)]
    assert len(set(sectors)) == len(sectors), "two sectors are equal"
    for s in sectors[2:]:
        assert s != b"\x00" * SECTOR_SIZE and s != b"\xFF" * SECTOR_SIZE
    return bytes(image)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "firmware.bin")
    with open(output, "wb") as f:
        f.write(build())


if __name__ == "__main__":
    main()
