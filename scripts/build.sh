#!/usr/bin/env bash
# Configures and builds everything (both programs, the skin library, tests, benchmarks) into build/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${QUOVANTA_BUILD:-$here/build}
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)"
