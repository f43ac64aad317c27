# What `cmake --install` puts in place, relative to the prefix:
#   bin/torvan60 (and bin/torvan60ctl, the command-line companion, when built)
#   share/applications/torvan60.desktop        desktop menu entry
#   share/icons/hicolor/NxN/apps/torvan60.png  its icon, several sizes
#   share/torvan60/                            the pictures the window reads
#   lib/udev/rules.d/70-torvan60.rules         board access for the user
#   the Python package torvan60, when built, in the system interpreter's
#   package folder (python/CMakeLists.txt): lib/python3/dist-packages under
#   /usr, lib/python3.X/dist-packages under any other prefix
#   lib/systemd/system/torvan60-serve@.service one board served headless
#   share/doc/torvan60/                        README.md and every page of
#                                              docs/ (the service, the MQTT
#                                              bridge, the records), and the
#                                              unit's example settings
#   share/man/man1/torvan60.1.gz (and torvan60ctl.1.gz)  manual pages
#   share/bash-completion/completions/torvan60ctl  its bash completion, where
#                                              bash-completion looks
# The window finds share/torvan60 from its own folder (ui/Pictures.cpp), so
# the tree works under any prefix. Included last by the top-level list, after
# every executable target is defined.

install(TARGETS torvan60 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET torvan60ctl)
  install(TARGETS torvan60ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The unit names the installed tool, under the prefix the install goes to
  # (cmake --install --prefix, or /usr in the Debian package): it is written
  # at install time.
  set(TORVAN_UNIT_OUT ${CMAKE_BINARY_DIR}/systemd/torvan60-serve@.service)
  install(CODE "
    set(TORVAN60CTL \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/torvan60ctl\")
    set(TORVAN_DOCDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/doc/torvan60\")
    configure_file(\"${PROJECT_SOURCE_DIR}/scripts/systemd/torvan60-serve@.service.in\"
                   \"${TORVAN_UNIT_OUT}\" @ONLY)")
  install(FILES ${TORVAN_UNIT_OUT} DESTINATION lib/systemd/system)
  install(FILES ${PROJECT_SOURCE_DIR}/scripts/systemd/serve.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/torvan60)
  install(FILES ${TORVAN_MANUAL_DIR}/torvan60ctl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${TORVAN_MANUAL_DIR}/completions/torvan60ctl
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
install(FILES ${TORVAN_MANUAL_DIR}/torvan60.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The documentation as the source tree has it, so that its links between
# pages hold.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/torvan60)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/torvan60
        FILES_MATCHING PATTERN "*.md")

set(TORVAN_RESOURCES ${PROJECT_SOURCE_DIR}/resources)
install(FILES ${TORVAN_RESOURCES}/torvan60.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${TORVAN_RESOURCES}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN "*.png")
install(FILES ${TORVAN_RESOURCES}/Torvan-IFU-Graphics2.ico DESTINATION ${TORVAN_DATA_DIR})
install(DIRECTORY ${TORVAN_RESOURCES}/release DESTINATION ${TORVAN_DATA_DIR}
        FILES_MATCHING PATTERN "*.png")
# udev reads lib/udev/rules.d under /usr and /usr/local alike.
install(FILES ${PROJECT_SOURCE_DIR}/scripts/udev/70-torvan60.rules DESTINATION lib/udev/rules.d)

# The Debian package (scripts/package.sh): the same tree under /usr. Its
# dependencies are worked out from the executables by dpkg-shlibdeps; the
# Python module needs the Python version it was built for as well.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvan60)
set(CPACK_PACKAGE_VENDOR "Torvan Drives")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Operator tool for the Torvan60 USB motor driver board")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Finds the Torvan60 stepper and DC motor driver board on the USB bus, shows its live state, "
  "sets up its driver, moves the motor, runs DC motors, charts everything, keeps a log and "
  "updates the board's firmware. Includes a udev rule that lets the logged-in user open the board.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Torvan60 tool maintainers <tools@torvan-drives.example>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.torvan-drives.example")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TORVAN_PYTHON_DEPENDS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${TORVAN_PYTHON_DEPENDS}")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/scripts/debian/postinst ${PROJECT_SOURCE_DIR}/scripts/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
