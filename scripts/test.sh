#!/usr/bin/env bash
# Builds everything and runs every test: the Windows program and the test tools (mingw preset), the core
# and its unit tests (native preset), then ctest, which also runs the end-to-end tests under Wine and the
# reproducible-build check, side by side (the job count and the rules for what may overlap are in
# CMakePresets.json and tests/e2e/CMakeLists.txt). Prints one line per set-up step, with the compilers'
# output in build/logs/, then ctest's own lines and the output of any failed test.
# Extra arguments go to ctest, e.g. `bash scripts/test.sh -R e2e`.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/step.sh

bash scripts/install-deps.sh
step build/logs/mingw.log "building ZVKLaunchwick.exe and the Windows test programs (build/mingw)" \
    bash -c 'cmake --preset mingw && cmake --build --preset mingw -j"$(nproc)"'
step build/logs/native.log "building the core and its unit tests (build/native)" \
    bash -c 'cmake --preset native && cmake --build --preset native -j"$(nproc)"'
ctest --preset native "$@"
