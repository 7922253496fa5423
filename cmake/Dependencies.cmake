# Third-party libraries, the same target names in every build:
#   vorlune::zlib, vorlune::minizip, vorlune::png, GTest::gtest, GTest::gtest_main.
# Natively they come from the Debian packages; the MinGW builds link static libraries (zlib from
# libz-mingw-w64-dev, minizip and libpng from tools/build-mingw-deps.sh, GoogleTest compiled here
# from /usr/src/googletest). Both builds accept #include <minizip/unzip.h> and <unzip.h>.

if(WIN32)
  if(NOT VORLUNE_TRIPLE)
    message(FATAL_ERROR "Windows builds need cmake/toolchain-<triple>.cmake as CMAKE_TOOLCHAIN_FILE")
  endif()
  set(VORLUNE_DEPS_PREFIX "${CMAKE_SOURCE_DIR}/build/deps/${VORLUNE_TRIPLE}"
      CACHE PATH "Prefix holding the static MinGW builds of minizip and libpng")
  set(VORLUNE_HOST_TOOLS_DIR "${CMAKE_SOURCE_DIR}/build/native/tools"
      CACHE PATH "Directory of the native build's generator tools")

  set(_sysroot "/usr/${VORLUNE_TRIPLE}")
  foreach(_lib "${VORLUNE_DEPS_PREFIX}/lib/libz.a" "${VORLUNE_DEPS_PREFIX}/lib/libminizip.a"
               "${VORLUNE_DEPS_PREFIX}/lib/libpng16.a")
    if(NOT EXISTS "${_lib}")
      message(FATAL_ERROR "${_lib} is missing: run tools/build-mingw-deps.sh ${VORLUNE_TRIPLE}")
    endif()
  endforeach()

  # The static archives, never the import libraries: the installer must run without any DLL
  # of its own next to it.
  add_library(vorlune::zlib STATIC IMPORTED)
  set_target_properties(vorlune::zlib PROPERTIES
    IMPORTED_LOCATION "${VORLUNE_DEPS_PREFIX}/lib/libz.a"
    INTERFACE_INCLUDE_DIRECTORIES "${VORLUNE_DEPS_PREFIX}/include")

  add_library(vorlune::minizip STATIC IMPORTED)
  set_target_properties(vorlune::minizip PROPERTIES
    IMPORTED_LOCATION "${VORLUNE_DEPS_PREFIX}/lib/libminizip.a"
    INTERFACE_INCLUDE_DIRECTORIES "${VORLUNE_DEPS_PREFIX}/include;${VORLUNE_DEPS_PREFIX}/include/minizip"
    INTERFACE_LINK_LIBRARIES vorlune::zlib)

  add_library(vorlune::png STATIC IMPORTED)
  set_target_properties(vorlune::png PROPERTIES
    IMPORTED_LOCATION "${VORLUNE_DEPS_PREFIX}/lib/libpng16.a"
    INTERFACE_INCLUDE_DIRECTORIES "${VORLUNE_DEPS_PREFIX}/include"
    INTERFACE_LINK_LIBRARIES vorlune::zlib)

  # Only system DLLs may be imported: the C and C++ run-times and winpthread go in statically.
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")

  # The shipped build is made small: each function in its own section so the link drops what is
  # never called, and no symbols.
  set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG -ffunction-sections -fdata-sections")
  set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG -ffunction-sections -fdata-sections")
  string(APPEND CMAKE_EXE_LINKER_FLAGS_RELEASE " -Wl,--gc-sections -s")

  # GoogleTest from Debian's sources, built only when a test links it, with its own flags.
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(gtest_build_tests OFF CACHE BOOL "" FORCE)
  set(gtest_build_samples OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/third_party/googletest"
                   EXCLUDE_FROM_ALL SYSTEM)
else()
  set(VORLUNE_HOST_TOOLS_DIR "${CMAKE_BINARY_DIR}/tools"
      CACHE PATH "Directory of the native build's generator tools")

  find_package(ZLIB REQUIRED)
  find_package(PNG REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  find_package(GTest REQUIRED)

  add_library(vorlune::zlib INTERFACE IMPORTED)
  target_link_libraries(vorlune::zlib INTERFACE ZLIB::ZLIB)
  add_library(vorlune::minizip INTERFACE IMPORTED)
  target_link_libraries(vorlune::minizip INTERFACE PkgConfig::MINIZIP vorlune::zlib)
  add_library(vorlune::png INTERFACE IMPORTED)
  target_link_libraries(vorlune::png INTERFACE PNG::PNG)
endif()
