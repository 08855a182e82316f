# Fails when a library of the radio side loads OpenSSL: TLS belongs to the station's DriskoTls only.
# Usage: cmake -DLIBRARY=path -P CheckNoTlsLibrary.cmake
execute_process(COMMAND ldd ${LIBRARY} OUTPUT_VARIABLE libraries RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd ${LIBRARY} failed: ${status}")
endif()
string(REGEX MATCHALL "lib(ssl|crypto)\\.so[^ \t\n]*" tls "${libraries}")
if(tls)
  message(FATAL_ERROR "${LIBRARY} loads ${tls}\n${libraries}")
endif()
message(STATUS "${LIBRARY} loads no TLS library")
