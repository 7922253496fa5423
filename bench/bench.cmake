# Benchmarks. Natively: the archive generator, the in-memory floor and `run-bench` (what
# `make bench` runs). In a Windows build: the minimal window and the timer that measure how long
# the installer takes to show its window.

if(NOT VORLUNE_WINDOWS)
  add_executable(vorlune-bench-archives ${CMAKE_CURRENT_LIST_DIR}/make_archives.cpp)
  target_link_libraries(vorlune-bench-archives PRIVATE vorlune_zip_writer)
  target_compile_options(vorlune-bench-archives PRIVATE ${VORLUNE_WARNINGS})

  add_executable(vorlune-bench-floor ${CMAKE_CURRENT_LIST_DIR}/floor.cpp)
  target_link_libraries(vorlune-bench-floor PRIVATE vorlune::zlib)
  target_compile_options(vorlune-bench-floor PRIVATE ${VORLUNE_WARNINGS})

  if(TARGET vorlune-extract)
    set(_extract "$<TARGET_FILE:vorlune-extract>")
  else()
    set(_extract "")
  endif()
  # A wrapper that hands the script this build's programs.
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/run-bench
       CONTENT "#!/bin/sh
exec python3 '${CMAKE_CURRENT_LIST_DIR}/run-bench' \\
  --root '${PROJECT_SOURCE_DIR}' \\
  --archives '${CMAKE_CURRENT_BINARY_DIR}/archives' \\
  --generator '$<TARGET_FILE:vorlune-bench-archives>' \\
  --floor '$<TARGET_FILE:vorlune-bench-floor>' \\
  --extract '${_extract}' \"$@\"
"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                        WORLD_READ WORLD_EXECUTE)
else()
  add_executable(vorlune-minimal-window WIN32 ${CMAKE_CURRENT_LIST_DIR}/minimal_window.cpp)
  target_compile_options(vorlune-minimal-window PRIVATE ${VORLUNE_WARNINGS})
  target_compile_definitions(vorlune-minimal-window PRIVATE UNICODE _UNICODE)
  target_link_options(vorlune-minimal-window PRIVATE -municode)

  add_executable(vorlune-window-timer ${CMAKE_CURRENT_LIST_DIR}/window_timer.cpp)
  target_compile_options(vorlune-window-timer PRIVATE ${VORLUNE_WARNINGS})
  target_compile_definitions(vorlune-window-timer PRIVATE UNICODE _UNICODE)
  target_link_options(vorlune-window-timer PRIVATE -municode)
endif()
