# Shared part of the MinGW-w64 toolchain files: they set CMAKE_SYSTEM_PROCESSOR and VORLUNE_TRIPLE
# and include this.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VORLUNE_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VORLUNE_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${VORLUNE_TRIPLE}-windres)
set(CMAKE_ASM_COMPILER ${VORLUNE_TRIPLE}-gcc)

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
