#!/usr/bin/env bash
# Builds ZVKLaunchwick.exe and runs it under Wine on a demo folder (build/demo): three demo programs with
# delays of 3, 1 and 1 seconds. Prints the program's trace lines as they come, saves screenshots of the
# splash window and ends when the program does. Starts its own Xvfb when DISPLAY is unset. Set-up steps
# print one line each; their own output goes to build/install-deps.log and build/logs/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/step.sh

bash scripts/install-deps.sh
step build/logs/mingw.log "building ZVKLaunchwick.exe (build/mingw)" \
    bash -c 'cmake --preset mingw && cmake --build --preset mingw -j"$(nproc)"'
exec python3 scripts/demo.py "$@"
