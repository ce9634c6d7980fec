#!/usr/bin/env bash
# Where the launcher's CPU time goes, by hand (not a test). Builds the launcher as it is and twice more with
# one part switched off: "no-traces" (OutputDebugStringA goes nowhere) and "no-repaint" (InvalidateRect does
# nothing, so nothing is repainted after the window's first paint). The switch is an object of bench/split/
# linked into that build in place of the system call's import, so the launcher's sources stay as they are.
# With --before TREE, the same three builds of another source tree (e.g. a worktree of an older commit) are
# measured in the same rounds. All run with bench.py alongside the yardstick; other arguments go to bench.py.
#
#   bash bench/split.sh [--before TREE] [--pairs N] [--setups ticks]
set -euo pipefail
cd "$(dirname "$0")/.."

before=""
if [ "${1:-}" = "--before" ]; then
    before=$(cd "$2" && pwd)
    shift 2
fi

cmake -S bench -B build/bench/cmake -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/bench/cmake
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target ZVKLaunchwick recorder

variants=()
# build_variants LABEL TREE [PARTS...]: the launcher of TREE, with each part switched off in turn.
build_variants() {
    local label=$1 tree=$2
    shift 2
    for part in "$@"; do
        local out="$PWD/build/split/$label-$part" object=""
        if [ "$part" != "as-built" ]; then
            object="$PWD/build/bench/cmake/CMakeFiles/${part//-/_}.dir/split/${part//-/_}.cpp.obj"
        fi
        (cd "$tree" && cmake --preset mingw -B "$out" -DCMAKE_EXE_LINKER_FLAGS="$object" >/dev/null)
        cmake --build "$out" --target ZVKLaunchwick -j2 >/dev/null
        variants+=(--variant "$label-$part=$out/ZVKLaunchwick.exe")
    done
}
build_variants after "$PWD" no-traces no-repaint
if [ -n "$before" ]; then
    build_variants before "$before" as-built no-traces no-repaint
fi

source bench/measure.sh
measure --out build/split/bench --setups ticks "${variants[@]}" "$@"
