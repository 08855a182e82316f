# Fails when a program or library loads a library it must not: what ldd lists (what it links and
# what those link) must match no FORBIDDEN pattern, and, when given, must match REQUIRED (a check
# that FILE is the program meant). WHAT names the forbidden kind in the messages.
# Usage: cmake -DFILE=path -DFORBIDDEN=regex -DWHAT=text [-DREQUIRED=regex] -P CheckLoads.cmake
execute_process(COMMAND ldd ${FILE} OUTPUT_VARIABLE libraries RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd ${FILE} failed: ${status}")
endif()
string(REGEX MATCHALL "${FORBIDDEN}[^ \t\n]*" found "${libraries}")
if(found)
  message(FATAL_ERROR "${FILE} loads ${WHAT} at start: ${found}\n${libraries}")
endif()
if(REQUIRED)
  string(REGEX MATCH "${REQUIRED}" required "${libraries}")
  if(NOT required)
    message(FATAL_ERROR "no ${REQUIRED} among what ${FILE} loads; is it the program?\n${libraries}")
  endif()
endif()
message(STATUS "${FILE} loads no ${WHAT}")
