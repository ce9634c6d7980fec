#!/usr/bin/env bash
# Where the program's bytes go, by hand (not a test): builds ZVKLaunchwick.exe like the mingw preset, with a
# link map, into build/mapsize, and prints its size, its imports and the largest contributors from the map.
# Extra arguments go to bench/mapsize.py (for example --members for one row per library member).
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/mapsize
cmake --preset mingw -B "$out" -DCMAKE_EXE_LINKER_FLAGS="-Wl,-Map=$PWD/$out/ZVKLaunchwick.map" >/dev/null
cmake --build "$out" --target ZVKLaunchwick -j2 >/dev/null
exe="$out/ZVKLaunchwick.exe"
bytes=$(stat -c %s "$exe")
echo "$exe: $bytes bytes ($(awk "BEGIN { printf \"%.1f\", $bytes / 1024 }") KiB, stripped; limit 163840)"
echo "imports: $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')"
python3 bench/mapsize.py "$out/ZVKLaunchwick.map" "$@"
