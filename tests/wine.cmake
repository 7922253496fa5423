# The UI driver and the end-to-end scenarios that run the installer under Wine.
if(NOT VORLUNE_WINDOWS)
  return()
endif()

set(_tests_dir ${CMAKE_CURRENT_LIST_DIR})

# Reusable by every scenario that drives a window: find, click, type, close, read.
add_library(vorlune_ui_driver STATIC ${_tests_dir}/ui_driver.cpp)
target_include_directories(vorlune_ui_driver PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vorlune_ui_driver PUBLIC vorlune_text user32 comctl32)
target_compile_options(vorlune_ui_driver PRIVATE ${VORLUNE_WARNINGS})
target_compile_definitions(vorlune_ui_driver PUBLIC UNICODE _UNICODE)

# Scenarios start the real installer, named to them by VORLUNE_SETUP_EXE. They need a display:
# the Makefile runs this build's ctest under tools/with-display.sh.
function(vorlune_wine_scenario name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE vorlune_ui_driver GTest::gtest_main)
  target_compile_options(${name} PRIVATE ${VORLUNE_WARNINGS})
  add_dependencies(${name} VorluneSetup)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "VORLUNE_SETUP_EXE=$<TARGET_FILE:VorluneSetup>"
      RUN_SERIAL TRUE
      TIMEOUT 600)
  endif()
endfunction()

vorlune_wine_scenario(wizard_window_test ${_tests_dir}/wizard_window_test.cpp)

# Scenarios that run whole installations: they share the helpers of wizard_session, and write the
# fixed temporary copy and the desktop entries, so they hold the locks on those.
add_library(vorlune_wizard_session STATIC ${_tests_dir}/wizard_session.cpp)
target_link_libraries(vorlune_wizard_session PUBLIC vorlune_ui_driver GTest::gtest shell32 vorlune::minizip)
target_compile_options(vorlune_wizard_session PRIVATE ${VORLUNE_WARNINGS})

vorlune_wine_scenario(location_test ${_tests_dir}/location_test.cpp)
target_link_libraries(location_test PRIVATE vorlune_wizard_session)

vorlune_wine_scenario(install_test ${_tests_dir}/install_test.cpp)
target_link_libraries(install_test PRIVATE vorlune_wizard_session vorlune::minizip ole32 uuid)
if(TARGET VorluneSetupDamaged)
  add_dependencies(install_test VorluneSetupDamaged)
  set_property(TEST install_test APPEND PROPERTY ENVIRONMENT
               "VORLUNE_DAMAGED_SETUP_EXE=$<TARGET_FILE:VorluneSetupDamaged>"
               "VORLUNE_PAYLOAD_ZIP=${VORLUNE_PAYLOAD_ARCHIVE}")
  set_tests_properties(install_test PROPERTIES RESOURCE_LOCK vorlune_temporary_copy)
endif()

# For tools/run-headless.sh: where the controls are, which page shows, what was installed.
add_executable(headless_peek ${_tests_dir}/headless_peek.cpp)
target_link_libraries(headless_peek PRIVATE vorlune_ui_driver shell32)
target_compile_options(headless_peek PRIVATE ${VORLUNE_WARNINGS})

# Faults from outside the installer. tests/fault_volume.sh mounts small volumes as drives of a Wine
# prefix of this test's own, so no other test sees the drives or the moved desktop; without the
# privilege to mount, the volume cases are skipped and ctest reports the test as skipped.
add_executable(fault_test ${_tests_dir}/fault_test.cpp)
target_link_libraries(fault_test PRIVATE vorlune_wizard_session GTest::gtest_main advapi32)
target_compile_options(fault_test PRIVATE ${VORLUNE_WARNINGS})
add_dependencies(fault_test VorluneSetup)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME fault_test
           COMMAND ${_tests_dir}/fault_volume.sh ${CMAKE_BINARY_DIR}/fault-prefix
                   $<TARGET_FILE:fault_test>)
  set_tests_properties(fault_test PROPERTIES
    ENVIRONMENT "VORLUNE_SETUP_EXE=$<TARGET_FILE:VorluneSetup>;VORLUNE_PAYLOAD_ZIP=${VORLUNE_PAYLOAD_ARCHIVE}"
    RUN_SERIAL TRUE
    SKIP_RETURN_CODE 77
    TIMEOUT 900)
endif()

# The service tests and the installations again, under Wine's heap checking (tests/heap_check.sh).
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND TARGET services_win_test AND TARGET VorluneSetupDamaged)
  add_test(NAME heap_check
           COMMAND ${_tests_dir}/heap_check.sh $<TARGET_FILE:failure_test> $<TARGET_FILE:services_win_test>
                   $<TARGET_FILE:install_test>)
  set_tests_properties(heap_check PROPERTIES
    ENVIRONMENT "VORLUNE_SETUP_EXE=$<TARGET_FILE:VorluneSetup>;VORLUNE_DAMAGED_SETUP_EXE=$<TARGET_FILE:VorluneSetupDamaged>;VORLUNE_PAYLOAD_ZIP=${VORLUNE_PAYLOAD_ARCHIVE}"
    RUN_SERIAL TRUE
    RESOURCE_LOCK vorlune_temporary_copy
    TIMEOUT 900)
endif()
