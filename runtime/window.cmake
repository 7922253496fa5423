# Window, control and thread services. The library is Win32 only; the portable part of the window
# description (page clamping) is tested natively.
set(_window_dir ${CMAKE_CURRENT_LIST_DIR})

if(NOT VORLUNE_WINDOWS)
  add_executable(window_description_test ${_window_dir}/window_description_test.cpp)
  target_include_directories(window_description_test PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(window_description_test PRIVATE GTest::gtest_main)
  target_compile_options(window_description_test PRIVATE ${VORLUNE_WARNINGS})
  add_test(NAME window_description_test COMMAND window_description_test)
  return()
endif()

add_library(vorlune_window STATIC
  ${_window_dir}/window_win.cpp
  ${_window_dir}/built_window_win.cpp
  ${_window_dir}/control_classes_win.cpp
  ${_window_dir}/picture_win.cpp
  ${_window_dir}/file_dialog_win.cpp)
target_include_directories(vorlune_window PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vorlune_window PUBLIC vorlune_text
                      PRIVATE vorlune::png comctl32 comdlg32 ole32 gdi32 user32)
target_compile_options(vorlune_window PRIVATE ${VORLUNE_WARNINGS})
# Texts are UTF-16 at every Win32 call: the resource-name macros too must give wide strings.
target_compile_definitions(vorlune_window PRIVATE UNICODE _UNICODE)

# In-process tests of the services: they build windows, so ctest runs them under Wine on a
# display. The 32-bit build only compiles them (this machine cannot run 32-bit code).
add_executable(window_test ${_window_dir}/window_test.cpp ${_window_dir}/window_test.rc)
target_link_libraries(window_test PRIVATE vorlune_window vorlune_ui_driver vorlune::png ole32
                                          GTest::gtest_main)
target_compile_options(window_test PRIVATE ${VORLUNE_WARNINGS})
target_compile_definitions(window_test PRIVATE UNICODE _UNICODE)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME window_test COMMAND window_test)
  set_tests_properties(window_test PROPERTIES TIMEOUT 300)
endif()
