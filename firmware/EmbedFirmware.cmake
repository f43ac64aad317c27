# cmake -DINPUT=<image.bin> -DOUTPUT=<FirmwareImage.cpp> -P EmbedFirmware.cmake
#
# Writes the C++ definition of FirmwareImage from the binary image. Fails when
# the image is not exactly the size of the board's flash.

set(expected_size 32768)

if(NOT DEFINED INPUT OR NOT DEFINED OUTPUT)
  message(FATAL_ERROR "EmbedFirmware.cmake needs -DINPUT=<image.bin> and -DOUTPUT=<file.cpp>")
endif()
if(NOT EXISTS "${INPUT}")
  message(FATAL_ERROR "Firmware image ${INPUT} does not exist.")
endif()

file(SIZE "${INPUT}" size)
if(NOT size EQUAL expected_size)
  # The rule comes first: CMake wraps long messages, and the path may be long.
  message(FATAL_ERROR "Firmware image must be exactly ${expected_size} bytes (the board's 32 KiB flash): "
                      "${INPUT} is ${size} bytes.")
endif()

file(READ "${INPUT}" hex HEX)
# Sixteen bytes to a line, each as 0xNN.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# (CMake's regular expressions have no repeat counts.)
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
string(REGEX REPLACE "(${line})" "    \\1\n" bytes "${bytes}")

file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by EmbedFirmware.cmake. Do not edit.\n"
  "#include \"firmware/FirmwareImage.h\"\n\n"
  "const unsigned char FirmwareImage[FirmwareImageSize] = {\n"
  "${bytes}"
  "};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
