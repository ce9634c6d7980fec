"""Packs a release from a finished release build: dist/ZVKLaunchwick-<version>-win64.zip holding
ZVKLaunchwick.exe and README.txt, and dist/SHA256SUMS for the zip and the exe. The body of release.sh.

The zip is the same bytes whenever the same program is packed: its entries come in a fixed order with a
fixed date (1980-01-01, the earliest a zip can hold) and fixed attributes, compressed at a fixed level.

    python3 scripts/package_release.py BUILD_FOLDER DIST_FOLDER
"""

import hashlib
import os
import re
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
README = os.path.join(ROOT, "docs", "release", "README.txt")
EXE = "ZVKLaunchwick.exe"
DATE = (1980, 1, 1, 0, 0, 0)
ATTRIBUTES = 0x20  # FILE_ATTRIBUTE_ARCHIVE, as Windows gives a file it writes; no Unix mode


def project_version(build):
    """The project version of the build, from its CMake cache (project(... VERSION ...))."""
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            m = re.match(r"CMAKE_PROJECT_VERSION:STATIC=(\d+\.\d+\.\d+)$", line.strip())
            if m:
                return m.group(1)
    sys.exit(f"no project version in {build}/CMakeCache.txt")


def readme(version):
    """README.txt for Windows: the template with the version filled in, CR LF line ends."""
    with open(README, encoding="ascii") as f:
        text = f.read().replace("@VERSION@", version)
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("ascii")


def entry(name):
    info = zipfile.ZipInfo(name, DATE)
    info.create_system = 0  # MS-DOS attributes
    info.external_attr = ATTRIBUTES
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main():
    build, dist = sys.argv[1:3]
    version = project_version(build)
    with open(os.path.join(build, EXE), "rb") as f:
        program = f.read()
    os.makedirs(dist, exist_ok=True)
    name = f"ZVKLaunchwick-{version}-win64.zip"
    path = os.path.join(dist, name)
    with zipfile.ZipFile(path, "w") as z:
        for member, data in ((EXE, program), ("README.txt", readme(version))):
            z.writestr(entry(member), data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    with open(path, "rb") as f:
        packed = f.read()
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {member}\n"
                   for member, data in ((name, packed), (EXE, program)))
    with open(os.path.join(dist, "SHA256SUMS"), "w", newline="\n") as f:
        f.write(sums)
    print(f"{path}\n{os.path.join(dist, 'SHA256SUMS')}:\n{sums}", end="")


if __name__ == "__main__":
    main()
