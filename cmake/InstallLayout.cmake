# The installed layout (GNUInstallDirs): programs in bin/, the libraries in the private folder
# lib/<arch>/quintar (they serve these programs only), data in share/. Installed programs find the
# libraries through a RUNPATH relative to their own place ($ORIGIN), so an unpacked package runs from
# wherever it lies and no build path is left in an installed file.
include(GNUInstallDirs)

set(QUINTAR_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quintar)
file(RELATIVE_PATH QUINTAR_BIN_TO_PRIVATE_LIBDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/quintar)
# The build tree keeps the installed layout where a program looks for something by a relative path:
# the voice library and the help sit where <program folder>/../ finds them, as every program of the
# build tree is one folder below its root.
get_filename_component(QUINTAR_BUILD_PRIVATE_LIBDIR ${PROJECT_BINARY_DIR}/bin/${QUINTAR_BIN_TO_PRIVATE_LIBDIR} ABSOLUTE)

# Installation components, one Debian package each (debian/rules): the station (programs, QtCore
# libraries, service), its window (the window library with the display controls, help, desktop
# entry and icons), its optional voice, the remote operator's link (no Qt, no service) and the
# link's optional voice. The manual pages are a component of their own: the packages install them
# with dh_installman.
set(QUINTAR_COMPONENT Station)
set(QUINTAR_WINDOW_COMPONENT Window)
set(QUINTAR_VOICE_COMPONENT Voice)
set(QUINTAR_LINK_COMPONENT Link)
set(QUINTAR_LINK_VOICE_COMPONENT LinkVoice)
set(QUINTAR_MANUAL_COMPONENT Manual)

# Where this system's systemd looks for units (Debian 12: /lib/systemd/system); under the prefix
# where systemd does not say.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_get_variable(QUINTAR_SYSTEMD_DEFAULT_UNIT_DIR systemd systemdsystemunitdir)
endif()
if(NOT QUINTAR_SYSTEMD_DEFAULT_UNIT_DIR OR NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(QUINTAR_SYSTEMD_DEFAULT_UNIT_DIR ${CMAKE_INSTALL_PREFIX}/lib/systemd/system)
endif()
set(QUINTAR_SYSTEMD_UNIT_DIR ${QUINTAR_SYSTEMD_DEFAULT_UNIT_DIR} CACHE PATH "Where the service unit is installed")

# A program; COMPONENT defaults to the station.
function(quintar_install_program target)
  cmake_parse_arguments(arg "" "COMPONENT" "" ${ARGN})
  if(NOT arg_COMPONENT)
    set(arg_COMPONENT ${QUINTAR_COMPONENT})
  endif()
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${QUINTAR_BIN_TO_PRIVATE_LIBDIR}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${arg_COMPONENT})
endfunction()

# A shared library in the private folder: versioned, finding its neighbours through $ORIGIN.
# COMPONENT defaults to the station; NAMELINK keeps lib<name>.so for a library loaded by that name.
# A module (a library only ever loaded by name) keeps its one unversioned name.
function(quintar_install_library target)
  cmake_parse_arguments(arg "NAMELINK" "COMPONENT" "" ${ARGN})
  if(NOT arg_COMPONENT)
    set(arg_COMPONENT ${QUINTAR_COMPONENT})
  endif()
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  get_target_property(type ${target} TYPE)
  if(NOT type STREQUAL "MODULE_LIBRARY")
    set_target_properties(${target} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  endif()
  if(arg_NAMELINK OR type STREQUAL "MODULE_LIBRARY")
    install(TARGETS ${target} LIBRARY DESTINATION ${QUINTAR_PRIVATE_LIBDIR} COMPONENT ${arg_COMPONENT})
  else()
    install(TARGETS ${target} LIBRARY DESTINATION ${QUINTAR_PRIVATE_LIBDIR} COMPONENT ${arg_COMPONENT}
            NAMELINK_SKIP)
  endif()
endfunction()

# The linker checks that layers point one way: the objects of `name`'s layers, linked with only the
# libraries a layer below may use, must make a shared object without undefined symbols, so a call
# that points the wrong way (into a layer above, or to a library the layer must not use) fails to
# link here. LIBRARIES are taken as given: a target's own dependencies do not come with it.
function(quintar_link_check name)
  cmake_parse_arguments(arg "" "" "OBJECTS;LIBRARIES" ${ARGN})
  set(objects)
  foreach(part IN LISTS arg_OBJECTS)
    list(APPEND objects $<TARGET_OBJECTS:${part}>)
  endforeach()
  set(libraries)
  foreach(library IN LISTS arg_LIBRARIES)
    get_target_property(imported ${library} IMPORTED)
    if(imported)
      list(APPEND libraries ${library})
    else()
      list(APPEND libraries $<TARGET_LINKER_FILE:${library}>)
    endif()
  endforeach()
  add_library(${name}LinkCheck SHARED ${objects})
  target_link_libraries(${name}LinkCheck PRIVATE ${libraries})
  foreach(library IN LISTS arg_LIBRARIES)
    get_target_property(imported ${library} IMPORTED)
    if(NOT imported)
      add_dependencies(${name}LinkCheck ${library})
    endif()
  endforeach()
  target_link_options(${name}LinkCheck PRIVATE -Wl,--no-undefined)
endfunction()
