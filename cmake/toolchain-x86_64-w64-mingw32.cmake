# Cross build for Windows with MinGW-w64 (x86_64-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORLUNE_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_ASM_COMPILER x86_64-w64-mingw32-gcc)

# Static libraries built by tools/build-mingw-deps.sh live under build/deps/<triple>.
get_filename_component(_vorlune_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(VORLUNE_DEPS_PREFIX)
  set(CMAKE_FIND_ROOT_PATH /usr/${VORLUNE_TRIPLE} "${VORLUNE_DEPS_PREFIX}")
else()
  set(CMAKE_FIND_ROOT_PATH /usr/${VORLUNE_TRIPLE} "${_vorlune_root}/build/deps/${VORLUNE_TRIPLE}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test executables of this build under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${_vorlune_root}/tools/wine-run.sh")
