# The setup window's pictures are drawn by make-pictures and committed under ui/pictures; the
# `pictures` target redraws them in place.
if(NOT VORLUNE_WINDOWS)
  set(_pictures_dir ${CMAKE_CURRENT_LIST_DIR}/../ui/pictures)
  cmake_path(NORMAL_PATH _pictures_dir)

  add_executable(make-pictures ${CMAKE_CURRENT_LIST_DIR}/make_pictures.cpp)
  target_link_libraries(make-pictures PRIVATE vorlune::png)
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
