# File, shell and archive services; the extraction engine behind them is portable and also
# builds natively, for its tests and the command-line front end.
set(_services_dir ${CMAKE_CURRENT_LIST_DIR})

add_library(vorlune_services STATIC
  ${_services_dir}/failure.cpp
  ${_services_dir}/member_name.cpp
  ${_services_dir}/extract.cpp
  ${_services_dir}/extract_reader.cpp
  ${_services_dir}/extract_writer.cpp)
if(VORLUNE_WINDOWS)
  target_sources(vorlune_services PRIVATE
    ${_services_dir}/extract_fs_win.cpp
    ${_services_dir}/files_win.cpp
    ${_services_dir}/shell_win.cpp)
  target_link_libraries(vorlune_services PRIVATE ole32 uuid shell32)
else()
  target_sources(vorlune_services PRIVATE ${_services_dir}/extract_fs_posix.cpp)
endif()
target_link_libraries(vorlune_services PUBLIC vorlune_text PRIVATE vorlune::minizip vorlune::zlib)
target_compile_options(vorlune_services PRIVATE ${VORLUNE_WARNINGS})

# Unit tests beside the code; in the x86_64 Windows build ctest runs them under Wine. The 32-bit
# build only compiles them: this machine cannot run 32-bit code.
function(vorlune_services_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE vorlune_services vorlune::minizip vorlune::zlib
                                        GTest::gtest_main)
  target_compile_options(${name} PRIVATE ${VORLUNE_WARNINGS})
  if(NOT VORLUNE_WINDOWS OR CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_test(NAME ${name} COMMAND ${name})
  endif()
endfunction()

vorlune_services_test(text_test ${_services_dir}/text_test.cpp)
vorlune_services_test(member_name_test ${_services_dir}/member_name_test.cpp)
vorlune_services_test(failure_test ${_services_dir}/failure_test.cpp)
vorlune_services_test(extract_test ${_services_dir}/extract_test.cpp)
target_link_libraries(extract_test PRIVATE vorlune_zip_writer)
if(VORLUNE_WINDOWS)
  vorlune_services_test(services_win_test ${_services_dir}/services_win_test.cpp)
  target_link_libraries(services_win_test PRIVATE vorlune_zip_writer ole32 uuid shell32)
endif()
