#!/usr/bin/env bash
# Builds Quorvel.exe and its Windows test programs (build/), and the native
# logic tests (build-native/). Usage: scripts/build.sh [--no-native]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"

if [ "${1:-}" != "--no-native" ]; then
    cmake -S . -B build-native -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-native -j "$jobs"
fi
