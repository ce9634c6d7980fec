"""Pixel comparison of two builds of ZVKLaunchwick.exe, by hand (not a test): are they drawn the same?

Both builds run in turn in one Wine prefix on one Xvfb, at 96, 144 and 192 dpi, through the same states:
loading, countdown, partial bar, full bar, cancelled, and each of the last two again after another window
has covered part of the splash (title, status line, bar and Cancel button) and gone, and the covered part
has been painted again. Each state is a screenshot of the whole window, taken with the program stopped
(SIGSTOP) so that it cannot move on meanwhile (a run that moved on before it was stopped is run again).
The table gives the number of pixels that differ between the builds ("size" when the windows differ in
size or place). Exit status 0 when every count is 0.

    python3 bench/pixels.py --before A.exe --after B.exe --tools build/mingw/tests/e2e/tools \\
        --probe build/bench/cmake/probe.exe --out build/pixels

The settings: two profiles of the recorder, delays 2 and 1 (T = 5). Main ticks: 1 and 2 count down, 3
starts the first program (bar 3/5), 4 counts down, 5 starts the second (full), 6 completes. The screenshots
are taken between ticks, so each build is seen in the same state. Standard library, plus the end-to-end
harness (tests/e2e/lwtest.py).
"""

import argparse
import contextlib
import os
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import lwtest  # noqa: E402

DENSITIES = (96, 144, 192)
DPI_KEYS = (r"HKCU\Control Panel\Desktop",
            r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts")
STATES = ("loading", "countdown", "partial-bar", "full-bar", "full-bar uncovered", "cancelled",
          "cancelled uncovered")
TICK_END = "tmrMain_Timer End"
CANCELED = "Process canceled by user"
SETTLE_S = 0.35  # after a tick, for the repaint to reach the screen
COVER_MS = 600


def set_density(session, dpi):
    for key in DPI_KEYS:
        subprocess.run([lwtest.WINE, "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
                        "/f"], env=session.env(), check=True, capture_output=True, timeout=60)


def ticks(run):
    return sum(t.matches(TICK_END) for t in run.traces)


def wait_ticks(run, count):
    run.wait_for(lambda: ticks(run) >= count, 15, f"{count} ticks")


class Late(Exception):
    """The program moved on before its screenshot was taken (a slow moment of the shared machine)."""


class Shooter:
    """Runs one build through the states at one density and keeps the window's pixels of each."""

    def __init__(self, session, probe_win, name):
        self.session, self.probe_win, self.name = session, probe_win, name
        self.shots = {}
        self.coverer = None

    def window_rect(self):
        rc, out = self.session.driver("window", "--title", lwtest.TITLE, "--dpi-aware", "1")
        if rc != 0 or not out:
            raise lwtest.HarnessError("window not found")
        return tuple(out[-1]["rect"])

    def shoot(self, run, state, rect, tick_count):
        """A screenshot of the window, taken with the program stopped, so that it is certainly still in the
        state after tick_count ticks (and still running)."""
        try:
            os.kill(run.proc.pid, signal.SIGSTOP)
        except ProcessLookupError:
            raise Late(f"{self.name}: {state}: the program has ended") from None
        try:
            time.sleep(0.05)  # a trace line written just before the stop reaches the harness
            if not run.alive or ticks(run) != tick_count:
                raise Late(f"{self.name}: {state}: {ticks(run)} ticks, alive {run.alive}")
            image = self.session.screenshot(f"{self.name}-{state.replace(' ', '-')}")
        finally:
            with contextlib.suppress(ProcessLookupError):
                os.kill(run.proc.pid, signal.SIGCONT)
        left, top, right, bottom = rect
        self.shots[state] = (rect, [image.pixels[3 * (y * image.width + left):3 * (y * image.width + right)]
                                    for y in range(top, bottom)])

    def start_cover(self, rect):
        """Starts the covering window's program for the window at rect (shown later, by cover())."""
        left, top, right, bottom = rect
        self.box = (left + (right - left) // 2, top + (bottom - top) * 3 // 10, right + 20, bottom + 20)
        self.coverer = subprocess.Popen([lwtest.WINE, self.probe_win, "--cover", *map(str, self.box),
                                         lwtest.TITLE],
                                        env=self.session.env(), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True, bufsize=1)

    def cover(self, state, rect):
        """A plain white window over the right part of the splash for a moment (title, status line, bar and
        button), seen in place on a screenshot of its own, then gone; what it covered is then invalidated,
        as Windows does (Wine 8 puts back the pixels it kept instead), so the splash paints it again."""
        self.coverer.stdin.write(f"show {COVER_MS}\n")
        if not self.coverer.stdout.readline().startswith("covering"):
            raise lwtest.HarnessError("the covering window could not be made")
        time.sleep(0.2)  # for it to reach the screen
        image = self.session.screenshot(f"{self.name}-{state.replace(' ', '-')}-covered")
        if not self.coverer.stdout.readline().startswith("gone"):
            raise lwtest.HarnessError("the covering window did not go")
        right, bottom = rect[2], rect[3]
        inside = [image.pixel(x, y) for y in range(self.box[1], bottom) for x in range(self.box[0], right)]
        if any(p != (255, 255, 255) for p in inside):
            raise lwtest.HarnessError(f"{self.name}: the covering window was not over the splash")
        time.sleep(SETTLE_S)

    def stop_cover(self):
        if self.coverer is not None:
            self.coverer.communicate(timeout=60)
            self.coverer = None

    def run_all(self, exe, attempts=5):
        for attempt in range(1, attempts + 1):
            try:
                return self.run_once(exe, attempt)
            except Late as late:
                lwtest.log(f"too late for a screenshot ({late}); again")
            finally:
                self.stop_cover()
        raise lwtest.HarnessError(f"{self.name}: every attempt was too late for a screenshot")

    def run_once(self, exe, attempt):
        lwtest.CONFIG.exe = exe
        with self.session.scenario(f"{self.name}-{attempt}-sequence") as sc:
            sc.install_recorder(sc.folder + r"\bin\rec.exe")
            sc.write_ini(f"[Paths]\r\nPath1={sc.folder}\\bin\\rec.exe\r\nDelay1=2\r\n"
                         f"Path2={sc.folder}\\bin\\rec.exe\r\nDelay2=1\r\n")
            run = sc.start()
            run.window(settle=SETTLE_S)
            rect = self.window_rect()
            self.shoot(run, "loading", rect, 0)
            self.start_cover(rect)
            for state, count in (("countdown", 1), ("partial-bar", 3), ("full-bar", 6)):
                wait_ticks(run, count)
                time.sleep(SETTLE_S)
                self.shoot(run, state, rect, count)
            self.cover("full-bar", rect)
            self.shoot(run, "full-bar uncovered", rect, 6)
            run.wait_exit(15)
        self.stop_cover()
        with self.session.scenario(f"{self.name}-{attempt}-cancel") as sc:
            sc.install_recorder(sc.folder + r"\bin\rec.exe")
            sc.write_ini(f"[Paths]\r\nPath1={sc.folder}\\bin\\rec.exe\r\nDelay1=2\r\n")
            run = sc.start()
            run.window(settle=0)
            rect = self.window_rect()
            self.start_cover(rect)
            wait_ticks(run, 1)
            self.session.driver("key", "--title", lwtest.TITLE, "--vk", "27")
            run.wait_trace(CANCELED)
            time.sleep(SETTLE_S)
            count = ticks(run)
            self.shoot(run, "cancelled", rect, count)
            self.cover("cancelled", rect)
            self.shoot(run, "cancelled uncovered", rect, count)
            run.wait_exit(15)


def differing(a, b):
    (rect_a, rows_a), (rect_b, rows_b) = a, b
    if rect_a != rect_b:
        return "size"
    return sum(1 for ra, rb in zip(rows_a, rows_b) for i in range(0, len(ra), 3) if ra[i:i + 3] != rb[i:i + 3])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--before", required=True)
    parser.add_argument("--after", required=True)
    parser.add_argument("--tools", required=True, help="folder with lwdriver.exe and recorder.exe")
    parser.add_argument("--probe", required=True, help="bench/probe.exe, built")
    parser.add_argument("--out", default="build/pixels")
    args = parser.parse_args()
    for path in (args.before, args.after, args.probe):
        if not os.path.isfile(path):
            parser.error(f"missing: {path}")

    lwtest.CONFIG.tools = os.path.abspath(args.tools)
    lwtest.CONFIG.out = os.path.abspath(args.out)
    lwtest.CONFIG.template = os.path.join(lwtest.CONFIG.out, "wine-template")
    lwtest.CONFIG.exe = os.path.abspath(args.before)
    table = {}
    with lwtest.Session("pixels") as session:
        probe_win = session.tools_win + r"\probe.exe"
        shutil.copy2(args.probe, session.unix(probe_win))
        for dpi in DENSITIES:
            set_density(session, dpi)
            shooters = {}
            for name, exe in (("before", args.before), ("after", args.after)):
                shooters[name] = Shooter(session, probe_win, f"{dpi}dpi-{name}")
                shooters[name].run_all(os.path.abspath(exe))
            for state in STATES:
                table[(state, dpi)] = differing(shooters["before"].shots[state], shooters["after"].shots[state])
            lwtest.log(f"{dpi} dpi: " + ", ".join(f"{s} {table[(s, dpi)]}" for s in STATES))

    lines = ["| State | " + " | ".join(f"{dpi} dpi" for dpi in DENSITIES) + " |",
             "|---|" + "---|" * len(DENSITIES)]
    for state in STATES:
        lines.append(f"| {state} | " + " | ".join(str(table[(state, dpi)]) for dpi in DENSITIES) + " |")
    text = (f"Differing pixels, whole window, {os.path.basename(args.before)} ({args.before}) against "
            f"{args.after}:\n\n" + "\n".join(lines))
    print("\n" + text)
    with open(os.path.join(lwtest.CONFIG.out, "table.md"), "w") as f:
        f.write(text + "\n")
    return 0 if all(v == 0 for v in table.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
