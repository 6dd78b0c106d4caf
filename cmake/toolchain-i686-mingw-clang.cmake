# Second compiler for the same 32-bit Windows target: clang with the mingw-w64
# headers and libraries, GNU ld and windres from binutils. Only built, never
# run: it shows code that one compiler accepts and the other does not.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_SYSTEM_VERSION 4.0)

set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(QUORVEL_MINGW_SYSROOT /usr/${TOOLCHAIN_PREFIX})

# clang does not find Debian's versioned GCC folder (e.g. 12-posix) by
# itself: ask the mingw-w64 GCC where its C++ headers and runtime live.
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-g++-posix -print-file-name=libstdc++.a
  OUTPUT_VARIABLE QUORVEL_LIBSTDCXX OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(QUORVEL_MINGW_GCC_DIR "${QUORVEL_LIBSTDCXX}" DIRECTORY)
if(NOT EXISTS "${QUORVEL_MINGW_GCC_DIR}/include/c++")
  message(FATAL_ERROR "mingw-w64 GCC runtime not found (${QUORVEL_LIBSTDCXX})")
endif()

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_AR /usr/bin/${TOOLCHAIN_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${TOOLCHAIN_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_SYSROOT ${QUORVEL_MINGW_SYSROOT})

set(QUORVEL_GCC_CXX_INCLUDE ${QUORVEL_MINGW_GCC_DIR}/include/c++)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
  ${QUORVEL_GCC_CXX_INCLUDE}
  ${QUORVEL_GCC_CXX_INCLUDE}/${TOOLCHAIN_PREFIX}
  ${QUORVEL_GCC_CXX_INCLUDE}/backward)
# GCC's start-up objects and runtime libraries (crtbegin.o, libgcc,
# libstdc++), linked by GNU ld.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-B${QUORVEL_MINGW_GCC_DIR} -L${QUORVEL_MINGW_GCC_DIR} -fuse-ld=bfd")

set(CMAKE_FIND_ROOT_PATH ${QUORVEL_MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
