# The firmware image the tool carries. resources/firmware.bin is turned into a
# constant array in a generated source of torvan_core at build time, and again
# whenever the file (or the generator) changes. A file of any other size than
# the board's 32 KiB flash fails the build.

set(TORVAN_FIRMWARE_BIN "${CMAKE_CURRENT_SOURCE_DIR}/resources/firmware.bin"
    CACHE FILEPATH "Firmware image carried by the tool (exactly 32768 bytes)")
set(TORVAN_FIRMWARE_EMBED "${CMAKE_CURRENT_LIST_DIR}/EmbedFirmware.cmake")
set(TORVAN_FIRMWARE_CPP "${CMAKE_CURRENT_BINARY_DIR}/generated/firmware/FirmwareImage.cpp")

if(NOT EXISTS "${TORVAN_FIRMWARE_BIN}")
  message(FATAL_ERROR "Firmware image ${TORVAN_FIRMWARE_BIN} is missing. "
                      "Run scripts/make_firmware_image.py or set TORVAN_FIRMWARE_BIN.")
endif()

add_custom_command(
  OUTPUT "${TORVAN_FIRMWARE_CPP}"
  COMMAND "${CMAKE_COMMAND}" "-DINPUT=${TORVAN_FIRMWARE_BIN}" "-DOUTPUT=${TORVAN_FIRMWARE_CPP}"
          -P "${TORVAN_FIRMWARE_EMBED}"
  DEPENDS "${TORVAN_FIRMWARE_BIN}" "${TORVAN_FIRMWARE_EMBED}"
  COMMENT "Embedding firmware image ${TORVAN_FIRMWARE_BIN}"
  VERBATIM)
target_sources(torvan_core PRIVATE "${TORVAN_FIRMWARE_CPP}")

# The size check itself: the generator must refuse an image of the wrong size.
add_test(NAME firmware_image_wrong_size
         COMMAND "${CMAKE_COMMAND}" "-DINPUT=${TORVAN_FIRMWARE_EMBED}"
                 "-DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/generated/firmware/wrong_size.cpp"
                 -P "${TORVAN_FIRMWARE_EMBED}")
set_tests_properties(firmware_image_wrong_size PROPERTIES
  PASS_REGULAR_EXPRESSION "must be exactly 32768 bytes")
