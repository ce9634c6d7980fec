"""Where the bytes of an executable come from, read from a GNU ld link map (-Wl,-Map=FILE).

Sums the input sections of each output section by contributor: an object of the program, or a member of a
library archive (grouped by archive, and with --members by member). Prints the largest contributors first.

    python3 bench/mapsize.py build/mapsize/ZVKLaunchwick.map [--members] [--top 25]

bench/size.sh makes the map (a build of the mingw preset with -Wl,-Map) and runs this on it.
"""

import argparse
import collections
import os
import re
import sys

# " .text          0x0000000140001000      0x510 /path/lib.a(member.o)"; long section names put the
# address and size on the next line.
ENTRY = re.compile(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
NAME_ONLY = re.compile(r"^ (\S+)$")
CONTINUED = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
OUTPUT = re.compile(r"^(\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)")
MEMBER = re.compile(r"^(.*?)([^/]+\.a)\((.*)\)$")


def contributor(path, members):
    name = os.path.basename(path)
    if ".ltrans" in name:
        return "the program's own code, optimised across files (LTO)"
    m = MEMBER.match(path)
    if not m:
        return name
    archive = m.group(2)
    # CMake's objects.a holds the program's own objects: always shown one by one (the resources among them).
    return f"{archive}({m.group(3)})" if members or archive == "objects.a" else archive


def read(map_file, members):
    sizes = collections.defaultdict(lambda: collections.Counter())
    in_memory_map = False
    section = None
    pending = None
    with open(map_file, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("Linker script and memory map"):
                in_memory_map = True
                continue
            if not in_memory_map:
                continue
            out = OUTPUT.match(line)
            if out:
                section = out.group(1)
                continue
            if pending is not None:
                c = CONTINUED.match(line)
                pending_name, pending = pending, None
                if c and section:
                    sizes[section][contributor(c.group(3), members)] += int(c.group(2), 16)
                    continue
            e = ENTRY.match(line)
            if e and section and not e.group(1).startswith("*"):
                sizes[section][contributor(e.group(4), members)] += int(e.group(3), 16)
                continue
            n = NAME_ONLY.match(line)
            if n and not n.group(1).startswith("*"):
                pending = n.group(1)
    return sizes


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("map")
    parser.add_argument("--members", action="store_true", help="one row per archive member, not per archive")
    parser.add_argument("--top", type=int, default=25)
    args = parser.parse_args()

    sizes = read(args.map, args.members)
    loaded = [s for s in sizes if s not in (".bss",) and not s.startswith(".debug")]
    total = collections.Counter()
    for s in loaded:
        total.update(sizes[s])
    print(f"{'bytes':>8}  {'text':>7} {'rdata':>6} {'unwind':>6} {'data':>5} {'rsrc':>6}  contributor")
    for name, size in total.most_common(args.top):
        unwind = sizes[".pdata"][name] + sizes[".xdata"][name]
        data = sizes[".data"][name] + sizes[".CRT"][name] + sizes[".tls"][name] + sizes[".idata"][name]
        print(f"{size:8d}  {sizes['.text'][name]:7d} {sizes['.rdata'][name]:6d} {unwind:6d} {data:5d} "
              f"{sizes['.rsrc'][name]:6d}  {name}")
    print(f"{sum(total.values()):8d}  total of {len(total)} contributors (before file alignment)")
    print("sections: " + ", ".join(f"{s} {sum(sizes[s].values())}" for s in loaded if sum(sizes[s].values())))


if __name__ == "__main__":
    sys.exit(main())
