# Cross-build for 64-bit Windows with mingw-w64: the test twins of the program
# and its test programs, for hosts that cannot run 32-bit code (see
# tests/fixture/wine-arch.sh). Quorvel.exe as shipped is the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
