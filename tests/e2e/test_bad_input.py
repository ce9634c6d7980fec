"""Settings files the program was not written for: random bytes, NUL bytes, 10 MB, UTF-16, values of 5 000
characters, 200 profiles.

Expected for each: the program neither crashes nor hangs; it shows only its own boxes (missing program,
"no valid executable paths"), which the test dismisses, starts Notepad, ends by itself (status 0) five
seconds after the last box, and leaves the file byte for byte as it was. Where the outcome follows from
the documented reading rules, the boxes and trace lines are checked exactly.
"""

import random
import time

import expected as x
import lwtest

MISSING = r"C:\missing\prog.exe"


def lines(*text):
    return "".join(t + "\r\n" for t in text)


def long_values():
    # The reader returns at most 4 095 characters of a value: the missing program keeps its arguments up
    # to that length in the box; a ".exe" beyond it is never seen, so that profile is skipped silently.
    v1 = MISSING + " " + "a" * 5000
    v2 = "C:\\" + "b" * 5000 + ".exe"
    content = lines("[Paths]", "Path1=" + v1, "Path2=" + v2, "Delay1=" + "9" * 5000)
    return content, {1: ("missing", v1[:4095]), 2: ("skip", v2[:4095])}


def many_profiles():
    # Profiles 1..20 have no ".exe"; 21..200 name missing programs and must never be read. A repeated key:
    # the first one counts.
    body = ["[Paths]"]
    for n in range(1, 201):
        body += [f"Delay{n}={n}", f"Path{n}=" + (rf"C:\notexe\{n}" if n <= 20 else rf"C:\missing\p{n}.exe")]
    body.append(r"Path1=C:\missing\second.exe")
    return lines(*body), {n: ("skip", rf"C:\notexe\{n}") for n in range(1, 21)}


def big_file():
    junk = "".join(f"free text line {i} with no equals sign in it, just filler text\r\n" for i in range(160000))
    content = "[Instructions]\r\n" + junk + lines("[Paths]", "Path1=" + MISSING + " /big")
    assert len(content) > 10_000_000
    return content, {1: ("missing", MISSING + " /big")}


def utf16():
    text = lines("[Paths]", "Path1=" + MISSING + " /u16")
    return b"\xff\xfe" + text.encode("utf-16-le"), {1: ("missing", MISSING + " /u16")}


def random_bytes():
    return random.Random(20240607).randbytes(256 * 1024), None


def nul_bytes():
    # A NUL ends a value; the lines after a run of NULs are still read.
    content = (b"[Paths]\r\nPath1=" + MISSING.encode() + b"\0 /after-nul\r\nPath2=\0\0\0\r\n" + b"\0" * 4096 +
               b"\r\nPath3=" + MISSING.encode() + b" /3\r\n")
    return content, {1: ("missing", MISSING), 3: ("missing", MISSING + " /3")}


# (name, builder returning (file content, {N: how the profile reads} or None when only the generic
# checks apply))
CASES = [
    ("random_bytes", random_bytes),
    ("nul_bytes", nul_bytes),
    ("big_file", big_file),
    ("utf16", utf16),
    ("long_values", long_values),
    ("many_profiles", many_profiles),
]

KNOWN_TITLES = {x.ERROR_TITLE}


class BadInput(lwtest.TestCase):
    def test_bad_settings_files(self):
        for name, build in CASES:
            with self.subTest(name), self.session.scenario("bad_" + name) as sc:
                content, profiles = build()
                sc.install_recorder(sc.folder + r"\notepad.exe")
                path = sc.write_ini(content)
                with open(path, "rb") as f:
                    before = f.read()
                run = sc.start(watchdog=90)

                boxes = self.dismiss_until_exit(run, 60)
                self.assertFalse(run.watchdog_fired, "the program hung")
                self.assertEqual(run.proc.returncode, 0,
                                 "exit status (a crash gives the low byte of its exception code)")
                titles = [b["title"] for b in boxes]
                self.assertTrue(set(titles) <= KNOWN_TITLES, f"unexpected boxes: {titles}")
                self.assertEqual(boxes[-1]["text"], x.no_profile_text(sc.ini), "the last box")
                self.assertAbout(run.exit_wall - boxes[-1]["acted_ms"] / 1000, x.EXIT_DELAY,
                                 what="end after the last box")
                self.assertEqual(sc.read(sc.ini), before, "the settings file changed")
                self.assertEqual([lwtest.arguments_of(r["cmdline"]) for r in sc.recorded()], [sc.ini])
                texts = run.texts()
                self.assertEqual(texts[:2], [x.trace_found(sc.ini), "Loading Settings Start"])
                self.assertEqual(texts[-1], "Loading Settings End")
                if profiles is not None:
                    missing = [x.missing_program_text(n, how[1]) for n, how in sorted(profiles.items())
                               if how[0] == "missing"]
                    self.assertEqual([b["text"] for b in boxes[:-1]], missing)
                    self.assertTraces(run, x.load_traces(sc.ini, profiles))

    def dismiss_until_exit(self, run, timeout):
        """Presses OK on every box the program shows until it ends; returns the boxes in order."""
        boxes = []
        deadline = time.monotonic() + timeout
        while run.alive and time.monotonic() < deadline:
            rc, out = self.session.driver("dialog", "--timeout", "500", "--action", "ok", timeout=30)
            if out and out[-1].get("found"):
                boxes.append(out[-1])
                lwtest.log(f"{run.label}: box {out[-1]['title']!r}: {out[-1]['text'][:200]!r}")
        run.wait_exit(max(1, deadline - time.monotonic()))
        self.assertTrue(boxes, "no box at all")
        return boxes


if __name__ == "__main__":
    lwtest.main()
