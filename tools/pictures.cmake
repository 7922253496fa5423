# The setup window's pictures are drawn by make-pictures and committed under ui/pictures; the
# `pictures` target redraws them in place.
if(NOT VORLUNE_WINDOWS)
  set(_pictures_dir ${CMAKE_CURRENT_LIST_DIR}/../ui/pictures)
  cmake_path(NORMAL_PATH _pictures_dir)

  add_executable(make-pictures ${CMAKE_CURRENT_LIST_DIR}/make_pictures.cpp)
  target_link_libraries(make-pictures PRIVATE vorlune::png)
  target_include_directories(make-pictures PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(make-pictures PRIVATE ${VORLUNE_WARNINGS})

  add_custom_target(pictures COMMAND make-pictures ${_pictures_dir}
                    COMMENT "Drawing the setup window's pictures into ui/pictures" VERBATIM)

  add_executable(pictures_test ${CMAKE_CURRENT_LIST_DIR}/pictures_test.cpp)
  target_link_libraries(pictures_test PRIVATE vorlune::png GTest::gtest_main)
  target_compile_options(pictures_test PRIVATE ${VORLUNE_WARNINGS})
  target_compile_definitions(pictures_test PRIVATE
    VORLUNE_MAKE_PICTURES="$<TARGET_FILE:make-pictures>"
    VORLUNE_PICTURES_DIR="${_pictures_dir}")
  add_dependencies(pictures_test make-pictures)
  add_test(NAME pictures_test COMMAND pictures_test)
endif()

# The installer's resources (app/resources.rc): read back out of the built program. The script
# needs no Wine, so it also covers the shipped 32-bit build; the test program asks Windows itself.
if(VORLUNE_WINDOWS)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_resources_arch amd64)
  else()
    set(_resources_arch x86)
  endif()
  add_test(NAME resources_check
           COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:VorluneSetup>
                   -DWINDRES=${CMAKE_RC_COMPILER} -DARCH=${_resources_arch}
                   -P ${CMAKE_CURRENT_LIST_DIR}/check_resources.cmake)

  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_pictures_dir ${CMAKE_CURRENT_LIST_DIR}/../ui/pictures)
    cmake_path(NORMAL_PATH _pictures_dir)
    add_executable(resources_test ${CMAKE_CURRENT_LIST_DIR}/resources_test.cpp)
    target_link_libraries(resources_test PRIVATE GTest::gtest_main version)
    target_compile_options(resources_test PRIVATE ${VORLUNE_WARNINGS})
    # Wine maps the Unix root to drive Z:.
    target_compile_definitions(resources_test PRIVATE
      VORLUNE_SETUP_EXE="Z:$<TARGET_FILE:VorluneSetup>"
      VORLUNE_ICON_FILE="Z:${_pictures_dir}/vorlune.ico")
    add_dependencies(resources_test VorluneSetup)
    add_test(NAME resources_test COMMAND resources_test)
  endif()
endif()
