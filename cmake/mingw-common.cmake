# What both mingw-w64 toolchain files share; they set TOOLCHAIN_PREFIX first.
# The posix thread model is the one GoogleTest builds with; everything links
# statically, so the programs import only Windows' own DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# CTest runs the Windows test programs under Wine (on a host without 32-bit
# support, tests/fixture/wine-arch.sh puts Wine's 64-bit loader first on PATH).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
