#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and only what is missing. Run as root.
# Prints one line per step; apt-get's own output goes to build/install-deps.log, shown only on failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/step.sh

# package:what it is, as the step line names it
packages=(
    cmake:CMake g++:g++ make:make libgtest-dev:GoogleTest                 # native build and unit tests
    g++-mingw-w64-x86-64-win32:MinGW-w64                                  # the Windows program (win32 thread model)
    wine64:Wine xvfb:Xvfb xauth:xauth xdotool:xdotool imagemagick:ImageMagick fonts-wine:"Wine's fonts"
    python3:Python                                                        # end-to-end tests
    clang:clang libclang-rt-14-dev:"clang's fuzzing library" clang-format:clang-format  # fuzzing, formatting
)

missing=()
names=()
for entry in "${packages[@]}"; do
    p=${entry%%:*}
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
        names+=("${entry#*:}")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing ${missing[*]}; run this script as root to install them" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
log=build/install-deps.log
rm -f "$log"
list=$(printf '%s, ' "${names[@]}")
step "$log" "updating the package lists" apt-get update
step "$log" "installing ${list%, }" apt-get install -y "${missing[@]}"
