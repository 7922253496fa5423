# Cross build for Windows with MinGW-w64 (x86_64-w64-mingw32): the build the tests run.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORLUNE_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

# ctest runs the test executables of this build under Wine (this kernel cannot run 32-bit code).
set(CMAKE_CROSSCOMPILING_EMULATOR "${_vorlune_root}/tools/wine-run.sh")
