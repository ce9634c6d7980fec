#!/usr/bin/env bash
# Benchmark, run by hand (not a test): builds ZVKLaunchwick.exe (mingw preset) and the yardstick, then
# measures both under Wine in both set-ups. Extra arguments go to bench.py (for example --pairs 3 for a
# quick try, or --setups ticks).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset mingw >/dev/null
# Only the program and the recorder: the other targets are not needed here.
cmake --build --preset mingw --target ZVKLaunchwick recorder
cmake -S bench -B build/bench/cmake -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/bench/cmake --target yardstick probe

source bench/measure.sh
# A full measurement (the default rounds and set-ups) also replaces the latest run's tables in bench/README.md.
measure --out build/bench --readme bench/README.md "$@"
