# Cross build for Windows with MinGW-w64 (i686-w64-mingw32): the shipped installer.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VORLUNE_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
