# Fails when the program loads a GUI library at start: what ldd lists (the libraries it links and
# theirs) must hold no Qt Widgets, Gui, Help, Sql or Network library.
# Usage: cmake -DPROGRAM=path -P CheckNoGuiLibrary.cmake
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libraries RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd ${PROGRAM} failed: ${status}")
endif()
string(REGEX MATCHALL "libQt6(Widgets|Gui|Help|Sql|Network|OpenGL|DBus)[^ \t\n]*" gui "${libraries}")
if(gui)
  message(FATAL_ERROR "${PROGRAM} loads GUI libraries at start: ${gui}\n${libraries}")
endif()
string(REGEX MATCH "libQt6Core" core "${libraries}")
if(NOT core)
  message(FATAL_ERROR "no QtCore among what ${PROGRAM} loads; is it the program?\n${libraries}")
endif()
message(STATUS "${PROGRAM} loads QtCore and no GUI library")
