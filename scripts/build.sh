#!/usr/bin/env bash
# Builds Quorvel.exe and its Windows test programs (build/), their 64-bit
# twins where this host cannot run 32-bit code (build-win64/), and the native
# logic tests (build-native/). Usage: scripts/build.sh [--no-native]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

jobs=$(nproc 2>/dev/null || echo 2)

# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/wine-arch.sh

cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
if [ "$QUORVEL_WINE_ARCH" = win64 ]; then
    # The 32-bit test programs could not run here: only the program itself
    # and the benchmark's reference programs, whose sizes it reports.
    cmake --build build -j "$jobs" --target Quorvel baretray linkedtray
else
    cmake --build build -j "$jobs"
fi

# Where this host cannot run 32-bit code, the Windows tests run 64-bit twins.
if [ "$QUORVEL_WINE_ARCH" = win64 ]; then
    cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-mingw.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build-win64 -j "$jobs"
fi

if [ "${1:-}" != "--no-native" ]; then
    cmake -S . -B build-native -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-native -j "$jobs"
fi
