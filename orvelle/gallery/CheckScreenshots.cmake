# Runs the gallery on the offscreen platform with --screenshot OUT and fails unless it wrote a
# non-empty picture of the whole gallery and of each of the eight controls.
# Usage: cmake -DGALLERY=path -DOUT=dir -P CheckScreenshots.cmake
file(REMOVE_RECURSE "${OUT}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen "${GALLERY}" --screenshot "${OUT}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "orvelle-gallery failed: ${status}")
endif()
foreach(name gallery CButtonEx CEditEx CListBoxEx CStaticEx CStaticFrameEx CCButtonEx CStaticLEDEx
             CStaticMeterEx)
  set(file "${OUT}/${name}.png")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "missing: ${file}")
  endif()
  file(SIZE "${file}" size)
  if(size EQUAL 0)
    message(FATAL_ERROR "empty: ${file}")
  endif()
endforeach()
