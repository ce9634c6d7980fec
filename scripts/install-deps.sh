#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and only what is missing. Run as root.
set -euo pipefail

packages=(
    cmake g++ make libgtest-dev        # native build and unit tests
    g++-mingw-w64-x86-64-win32         # the Windows program (win32 thread model)
    wine64 xvfb xauth xdotool imagemagick fonts-wine python3  # end-to-end tests
    clang libclang-rt-14-dev clang-format  # fuzzing and formatting
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing ${missing[*]}; run this script as root to install them" >&2
    exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
