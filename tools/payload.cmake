# The payload's tools. vorlune_payload_check holds the conditions an archive must meet to be
# installed; it builds everywhere, so tests under Wine can run it on the embedded block too.
# make-payload (a reproducible archive writer) and check-payload run natively at build time;
# the Windows builds call them from VORLUNE_HOST_TOOLS_DIR.
add_library(vorlune_payload_check STATIC ${CMAKE_CURRENT_LIST_DIR}/payload_check.cpp)
target_include_directories(vorlune_payload_check PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vorlune_payload_check PRIVATE vorlune::minizip)
target_compile_options(vorlune_payload_check PRIVATE ${VORLUNE_WARNINGS})

# The ZIP writer behind the payload, the benchmark archives and the extraction tests' archives.
add_library(vorlune_zip_writer STATIC ${CMAKE_CURRENT_LIST_DIR}/zip_writer.cpp)
target_include_directories(vorlune_zip_writer PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vorlune_zip_writer PRIVATE vorlune::zlib)
target_compile_options(vorlune_zip_writer PRIVATE ${VORLUNE_WARNINGS})

if(NOT VORLUNE_WINDOWS)
  add_executable(make-payload ${CMAKE_CURRENT_LIST_DIR}/make_payload.cpp)
  target_link_libraries(make-payload PRIVATE vorlune_zip_writer)
  target_compile_options(make-payload PRIVATE ${VORLUNE_WARNINGS})

  add_executable(check-payload ${CMAKE_CURRENT_LIST_DIR}/check_payload.cpp)
  target_link_libraries(check-payload PRIVATE vorlune_payload_check)
  target_compile_options(check-payload PRIVATE ${VORLUNE_WARNINGS})

  add_executable(payload_tools_test ${CMAKE_CURRENT_LIST_DIR}/payload_tools_test.cpp)
  target_link_libraries(payload_tools_test PRIVATE vorlune_payload_check vorlune_zip_writer
                                                   vorlune::minizip GTest::gtest_main)
  target_compile_options(payload_tools_test PRIVATE ${VORLUNE_WARNINGS})
  target_compile_definitions(payload_tools_test PRIVATE
    VORLUNE_MAKE_PAYLOAD="$<TARGET_FILE:make-payload>"
    VORLUNE_CHECK_PAYLOAD="$<TARGET_FILE:check-payload>")
  add_dependencies(payload_tools_test make-payload check-payload)
  add_test(NAME payload_tools_test COMMAND payload_tools_test)
endif()
