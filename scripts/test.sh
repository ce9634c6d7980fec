#!/usr/bin/env bash
# Builds everything and runs every test: the Windows program and the test tools (mingw preset), the core
# and its unit tests (native preset), then ctest, which also runs the end-to-end tests under Wine.
# Extra arguments go to ctest, e.g. `bash scripts/test.sh -j2` or `-R e2e`.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset mingw
cmake --build --preset mingw -j"$(nproc)"
cmake --preset native
cmake --build --preset native -j"$(nproc)"
ctest --preset native "$@"
