# The Debian packages (cpack -G DEB; scripts/package builds them): "quintar", the station with its
# programs, libraries, data and service, and "quintar-voice", the voice library with the SIP
# engine it needs, which the station uses when it is installed. Dependencies come from the
# libraries the files link (dpkg-shlibdeps). Build them from a tree configured with
# -DCMAKE_INSTALL_PREFIX=/usr: the service unit and the manual pages name installed paths.
set(CPACK_PACKAGE_NAME quintar)
set(CPACK_PACKAGE_VENDOR "Talvern")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description starts with its own summary line. CPack would put a summary of its
# own before it unless the summary is CPack's "not set" value (the project's description otherwise).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_RPM_PACKAGE_LICENSE "GPL-3.0-or-later")
set(CPACK_GENERATOR TGZ DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${QUINTAR_COMPONENT} ${QUINTAR_WINDOW_COMPONENT})
# For now the window goes into the station's package: both components form its group.
string(TOUPPER ${QUINTAR_WINDOW_COMPONENT} window)
string(TOUPPER ${QUINTAR_COMPONENT} station)
set(CPACK_COMPONENT_${station}_GROUP ${QUINTAR_COMPONENT})
set(CPACK_COMPONENT_${window}_GROUP ${QUINTAR_COMPONENT})
if(TARGET Ambrel)
  list(APPEND CPACK_COMPONENTS_ALL ${QUINTAR_VOICE_COMPONENT})
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quintar developers <quintar@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries in the private folder belong to the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_FULL_LIBDIR}/quintar)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_${station}_PACKAGE_NAME quintar)
# passwd: useradd, for the service user where systemd-sysusers is not installed.
set(CPACK_DEBIAN_${station}_PACKAGE_DEPENDS "passwd")
set(CPACK_DEBIAN_${station}_PACKAGE_SUGGESTS "quintar-voice")
set(CPACK_DEBIAN_${station}_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/dist/debian/postinst ${PROJECT_SOURCE_DIR}/dist/debian/prerm
  ${PROJECT_SOURCE_DIR}/dist/debian/postrm)
set(CPACK_COMPONENT_GROUP_${station}_DESCRIPTION
  "Remote-operation host for an amateur-radio transceiver
Quintar runs a station: it talks to the transceiver on a serial port and lets one network
client at a time log in over TCP and operate the radio with the radio's own command set,
with a daily access log, up to ten users and login, idle and session time limits.

The package has the station host (window, headless mode and setup command), the simulated
radio quintar-radiosim, the remote operator's link quintar-link, and the systemd service
quintar@NAME that runs the station on /etc/quintar/NAME.ini as the system user quintar.")

string(TOUPPER ${QUINTAR_VOICE_COMPONENT} voice)
set(CPACK_DEBIAN_${voice}_PACKAGE_NAME quintar-voice)
set(CPACK_DEBIAN_${voice}_PACKAGE_DEPENDS "quintar (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_${voice}_DESCRIPTION
  "Voice calls for the Quintar station host
The voice library of the Quintar station host: with it installed, the station takes an incoming
SIP call so that the remote operator also hears and speaks through the station.")

include(CPack)
