# cmake -DCHECK_PAYLOAD=... -DARCHIVE=... [-DMAKE_PAYLOAD=... -DMEMBERS=a|b|c -DOUT=...
#       -DBINARIES=exe|dll] -P check_archive.cmake
#
# The archive the build embedded passes check-payload. For the sample product also: making it
# again from the same files gives the same bytes, and its binaries carry no link time stamp, so
# rebuilding them changes nothing either.
execute_process(COMMAND ${CHECK_PAYLOAD} ${ARCHIVE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "check-payload refuses ${ARCHIVE}")
endif()
if(NOT MAKE_PAYLOAD)
  return()
endif()

string(REPLACE "|" ";" members "${MEMBERS}")
execute_process(COMMAND ${MAKE_PAYLOAD} ${OUT} ${members} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make-payload failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${ARCHIVE} ${OUT} RESULT_VARIABLE rc)
file(REMOVE ${OUT})
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "making the payload again from the same files gave other bytes")
endif()

string(REPLACE "|" ";" binaries "${BINARIES}")
foreach(binary IN LISTS binaries)
  # The COFF header follows "PE\0\0" at e_lfanew (offset 0x3C); its time stamp is at +8.
  file(READ ${binary} lfanew OFFSET 60 LIMIT 4 HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1" lfanew "${lfanew}")
  math(EXPR stamp_at "${lfanew} + 8")
  file(READ ${binary} stamp OFFSET ${stamp_at} LIMIT 4 HEX)
  if(NOT stamp STREQUAL "00000000")
    message(FATAL_ERROR "${binary} carries a link time stamp (0x${stamp}): not reproducible")
  endif()
endforeach()
