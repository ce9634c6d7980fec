"""The release is reproducible: two copies of the tracked sources, in folders of different names and
depths, each run scripts/release.sh (a clean build and the packing); the two give byte-identical
ZVKLaunchwick.exe, zip and SHA256SUMS, and the exe is the one the other tests ran (the mingw build).

Also: the exe carries a fixed time stamp (zero) and none of the folders it was built in; the zip holds
ZVKLaunchwick.exe and README.txt in that order, dated 1980-01-01 with fixed attributes, README.txt names
the version; SHA256SUMS holds the right sums. Standard library only.

    python3 test_reproducible.py --source ROOT --tested EXE --work FOLDER
"""

import argparse
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import unittest
import zipfile

ARGS = argparse.Namespace()


def tracked_files(root):
    out = subprocess.run(["git", "-C", root, "ls-files", "-z"], capture_output=True, check=True).stdout
    return [name for name in out.decode().split("\0") if name]


def copy_sources(root, target):
    """The tracked files as they are in the work tree (changes not yet committed included)."""
    shutil.rmtree(target, ignore_errors=True)
    for name in tracked_files(root):
        source = os.path.join(root, name)
        if not os.path.lexists(source):
            continue  # deleted in the work tree and not yet committed
        os.makedirs(os.path.dirname(os.path.join(target, name)), exist_ok=True)
        shutil.copy2(source, os.path.join(target, name), follow_symlinks=False)


def pe_time_stamp(data):
    """TimeDateStamp of a PE file's COFF header."""
    at = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[at:at + 4] == b"PE\0\0", "not a PE file"
    return struct.unpack_from("<I", data, at + 8)[0]


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Reproducible(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Different names and depths, so that a folder name that reached the program would show.
        cls.copies = [os.path.join(ARGS.work, "first", "ZVKLaunchwick"),
                      os.path.join(ARGS.work, "second-copy", "deeper", "src")]
        cls.builds = []
        for folder in cls.copies:
            copy_sources(ARGS.source, folder)
            done = subprocess.run(["bash", "scripts/release.sh"], cwd=folder, capture_output=True, text=True)
            print(done.stdout + done.stderr, flush=True)
            if done.returncode != 0:
                raise AssertionError(f"release.sh failed in {folder} with status {done.returncode}")
            dist = os.path.join(folder, "dist")
            cls.builds.append({name: read(os.path.join(dist, name)) for name in sorted(os.listdir(dist))}
                              | {"exe": read(os.path.join(folder, "build", "release", "ZVKLaunchwick.exe"))})
        for folder, build in zip(cls.copies, cls.builds):
            for name, data in sorted(build.items()):
                print(f"{hashlib.sha256(data).hexdigest()}  {name}  ({folder})", flush=True)

    def test_same_bytes(self):
        first, second = self.builds
        self.assertEqual(sorted(first), sorted(second), "files in dist/")
        for name in first:
            with self.subTest(name):
                self.assertTrue(first[name] == second[name], f"{name} differs between the two builds")
        self.assertTrue(first["exe"] == read(ARGS.tested), f"the release exe is not the tested {ARGS.tested}")

    def test_program(self):
        exe = self.builds[0]["exe"]
        self.assertEqual(pe_time_stamp(exe), 0, "PE time stamp")
        for folder in self.copies + [ARGS.source, os.path.dirname(ARGS.tested)]:
            for form in {folder, folder.replace("/", "\\")}:
                with self.subTest(form):
                    self.assertNotIn(form.encode(), exe, "a build folder inside the exe")

    def test_package(self):
        build = self.builds[0]
        zips = [name for name in build if name.endswith(".zip")]
        self.assertEqual(len(zips), 1, f"one zip in dist/: {sorted(build)}")
        m = re.fullmatch(r"ZVKLaunchwick-(\d+\.\d+\.\d+)-win64\.zip", zips[0])
        self.assertIsNotNone(m, zips[0])
        version = m.group(1)
        with zipfile.ZipFile(os.path.join(self.copies[0], "dist", zips[0])) as z:
            entries = z.infolist()
            self.assertEqual([e.filename for e in entries], ["ZVKLaunchwick.exe", "README.txt"])
            for e in entries:
                with self.subTest(e.filename):
                    self.assertEqual(e.date_time, (1980, 1, 1, 0, 0, 0))
                    self.assertEqual((e.create_system, e.external_attr), (0, 0x20), "attributes")
            self.assertTrue(z.read("ZVKLaunchwick.exe") == build["exe"], "the zipped exe is the built one")
            readme = z.read("README.txt").decode("ascii")
        self.assertIn(f"ZVK Launchwick {version}", readme)
        self.assertNotIn("@", readme.replace("$env:", ""), "a placeholder left in README.txt")
        self.assertNotIn("\n", readme.replace("\r\n", ""), "README.txt has a bare LF line end")
        sums = {name: hashlib.sha256(build[key]).hexdigest() for name, key in
                ((zips[0], zips[0]), ("ZVKLaunchwick.exe", "exe"))}
        self.assertEqual(build["SHA256SUMS"].decode(), "".join(f"{h}  {n}\n" for n, h in sums.items()))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True, help="the source tree whose tracked files are built")
    parser.add_argument("--tested", required=True, help="the ZVKLaunchwick.exe that the other tests run")
    parser.add_argument("--work", required=True, help="a folder for the two copies")
    options, rest = parser.parse_known_args()
    for name in ("source", "tested", "work"):
        setattr(ARGS, name, os.path.abspath(getattr(options, name)))
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
