#!/usr/bin/env bash
# Builds ZVKLaunchwick.exe from source in a clean build folder (build/release, the mingw build's settings)
# and packs the release: dist/ZVKLaunchwick-<version>-win64.zip with the program and README.txt, and
# dist/SHA256SUMS. Two runs from the same sources, in any folders, give the same bytes; the test
# release.reproducible checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/step.sh

bash scripts/install-deps.sh
rm -rf build/release dist
step build/logs/release.log "building ZVKLaunchwick.exe from source (build/release)" \
    bash -c 'cmake --preset release && cmake --build --preset release -j"$(nproc)"'
python3 scripts/package_release.py build/release dist
