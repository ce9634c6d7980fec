"""The timer-driven sequence, run for real: the program counts each profile's delay down in one-second
ticks, starts its program, reports completion and ends itself five seconds later.

Time zero is the arrival of "Loading Settings End": the load handler arms the start timer right after it
and the window is shown when the handler returns. The start tick comes 1 s later and sequence tick k
k seconds after that; profile i is started on tick S(i) = sum of (delay + 1) over profiles 1..i; tick
T + 1 (T the last S) reports completion and the process ends 5 s after it. Each scenario prints its
measured times next to the expected ones.

Expected besides: the trace stream byte for byte; the status line and the green fill read from
screenshots taken just after each tick's last trace line; a program that cannot be started (it vanished
after loading) neither stops nor delays the sequence; a delay of 0 starts the program on its first tick.

Ready wait (one run, profiles of delay 0): after a program that becomes ready for input about 2.5 s after its
start (WaitReady 10), the ticks wait ("Waiting for ready: 9 s left", 8, ...) until the first check after the
moment it really began to wait for input, which writes "Ready: going on" and starts the next profile; a
program that ends at once (started without arguments, WaitReady 5) holds nothing up for long; after one that
stays busy (WaitReady 2) exactly two ticks wait (1, 0 s left) and the next writes "Ready wait over: going on
anyway"; the sequence then completes and the program ends.

The typical run also lists the DLLs it loaded (Wine's loaddll channel): without WaitNetworkN, no netprofm.dll.

Network wait (NetworkWait, its own Wine session in a network namespace whose only network is a veth pair, down
at the start): a profile whose budget runs out waits its two ticks ("Waiting for the network: 1 s left", 0)
and starts with "Network wait over: starting anyway"; the next one, whose program is in a folder that appears
only with the network, waits until the pair is brought up and starts within one tick of that moment with
"Network: starting"; the third, connected at once, does not wait and its program that never appeared is
traced as "Could not start ...", code 2; the fourth starts on time. No box at loading; netprofm.dll is loaded
only after the first tick began. Where namespaces are refused the class is skipped with the reason
(LW_REQUIRE_NETNS=1 makes that a failure).
"""

import contextlib
import os
import re
import subprocess
import sys
import time

import expected as x
import lwtest

END = "tmrMain_Timer End"
LOADED = "Loading Settings End"
PAINT = 0.2  # seconds for the window to repaint after a tick before its screenshot
# Tolerances in seconds: trace lines arrive at once; a started program first has to come up under Wine.
EARLY, TICK_LATE, START_LATE, EXIT_LATE = 0.3, 0.5, 0.9, 0.8
FILE_NOT_FOUND = 2  # the system's error code for a program that is not there
OBJID_CLIENT = -4  # a live-region event names the control's client area

FIGURES = []  # (scenario, what, expected s, measured s), printed at the end for the record


class Timeline:
    """Times of one run relative to the end of loading, checked and recorded as they are read."""

    def __init__(self, case, run):
        self.case, self.run = case, run
        self.t0 = next(t.wall for t in run.traces if t.text == LOADED)
        self.load_count = next(i for i, t in enumerate(run.traces) if t.text == LOADED) + 1

    def tick_end(self, k):
        """Arrival of the last trace line of sequence tick k."""
        return [t.wall for t in self.run.traces if t.text == END][k - 1] - self.t0

    def check(self, what, measured, expected, early=EARLY, late=TICK_LATE):
        FIGURES.append((self.run.scenario.name, what, expected, measured))
        lwtest.log(f"{self.run.scenario.name}: {what}: expected {expected:.2f} s, measured {measured:.2f} s "
                   f"({measured - expected:+.2f})")
        self.case.assertGreaterEqual(measured, expected - early, f"{what}: {measured:.2f} s, expected {expected} s")
        self.case.assertLessEqual(measured, expected + late, f"{what}: {measured:.2f} s, expected {expected} s")

    def check_tick(self, k):
        self.check(f"tick {k}", self.tick_end(k), x.START_DELAY + k * x.TICK)


def fill_width(case, image, origin):
    """Width in pixels of the green fill, checked to be one solid block at the interior's corner and full
    height; 0 when no green is shown."""
    left, top = origin
    fw, fh = x.FRAME_BOX[2], x.FRAME_BOX[3]
    green = {(px, py) for px in range(x.FRAME_BOX[0] - 2, x.FRAME_BOX[0] + fw + 2)
             for py in range(x.FRAME_BOX[1] - 2, x.FRAME_BOX[1] + fh + 2)
             if image.pixel(left + px, top + py) == x.PROGRESS_GREEN}
    if not green:
        return 0
    width = max(px for px, _ in green) - x.FILL_LEFT + 1
    block = {(px, py) for px in range(x.FILL_LEFT, x.FILL_LEFT + width)
             for py in range(x.FILL_TOP, x.FILL_TOP + x.FILL_HEIGHT)}
    case.assertEqual(green ^ block, set(), f"the green fill is not one block at ({x.FILL_LEFT}, {x.FILL_TOP}), "
                                          f"{width} x {x.FILL_HEIGHT}")
    return width


def expected_fill(tick, total):
    """Fill width in pixels after setProgressBar(tick, total) at 96 dpi, not rounded (the drawing of a part
    pixel is the program's choice)."""
    if total <= 0 or tick > total:
        return x.FULL_FILL_TWIPS / x.TWIPS_PER_PIXEL
    return round(x.FULL_FILL_TWIPS * tick / total) / x.TWIPS_PER_PIXEL


def print_figures():
    lwtest.log("measured against expected times, in seconds from the reference named (the end of loading unless "
               "another is named; the start tick is 1 s after the end of loading):")
    for scenario, what, want, got in FIGURES:
        lwtest.log(f"  {scenario:10} {what:44} expected {want:6.2f}  measured {got:6.2f}  ({got - want:+.2f})")


@contextlib.contextmanager
def busy_processors():
    """Keeps every processor of the machine busy (niced, so that other work still runs) while inside."""
    spinners = [subprocess.Popen(["nice", "-n", "19", sys.executable, "-c", "while True: pass"])
                for _ in range(os.cpu_count() or 1)]
    try:
        time.sleep(1.0)  # a full sample of the load before the program looks
        yield
    finally:
        for spinner in spinners:
            spinner.kill()
            spinner.wait()


def numbered(delays, entries):
    """(profile number, launch tick, entry) of each profile."""
    return list(zip(range(1, len(entries) + 1), x.launch_ticks(delays), entries))


class Sequence(lwtest.TestCase):
    @classmethod
    def tearDownClass(cls):
        print_figures()
        super().tearDownClass()

    def start_sequence(self, sc, profiles, watchdog=40, options="", env=None):
        """Writes profiles [(entry, delay)] (and options, the lines of an [Options] section), starts the
        program and waits for its window; checks loading."""
        sc.write_ini("[Paths]\r\n" + "".join(f"Path{n}={entry}\r\nDelay{n}={delay}\r\n"
                                             for n, (entry, delay) in enumerate(profiles, 1))
                     + (f"[Options]\r\n{options}" if options else ""))
        run = sc.start(watchdog=watchdog, env=env)
        win = run.window(timeout=10, settle=0)
        run.wait_trace(LOADED)
        loading = x.load_traces(sc.ini, {n: ("accept", entry, delay)
                                         for n, (entry, delay) in enumerate(profiles, 1)})
        self.assertEqual(run.texts()[:len(loading)], loading, "loading trace lines")
        return run, win

    def follow(self, run, ticks, shots=()):
        """Waits for sequence ticks 1..ticks; screenshots just after the ticks listed in shots."""
        images = {}
        for k in range(1, ticks + 1):
            run.wait_for(lambda: sum(t.text == END for t in run.traces) >= k, 5, f"the end of tick {k}")
            if k in shots:
                time.sleep(PAINT)
                images[k] = self.session.screenshot(f"{run.label}-tick{k}")
        return images

    def label_after_ticks(self, run, win, watch, timeline, ticks):
        """The status label's text as a screen reader reads it after each of the ticks (0: before tick 1)."""
        texts = watch.label_texts(win["pid"])
        lwtest.log("status label: " + ", ".join(f"{at - timeline.t0:.3f} s {text!r}" for at, text in texts))
        self.assertTrue(texts and texts[0][0] < timeline.t0 + x.START_DELAY + x.TICK, "no text before tick 1")
        moments = {k: timeline.t0 + x.START_DELAY + (k + 0.5) * x.TICK for k in ticks}
        return {k: [text for at, text in texts if at <= moment][-1] for k, moment in moments.items()}

    def check_announced(self, run, win, watch, timeline, announced):
        """The live-region events of the run are exactly announced: (tick, status text), each raised by its
        own tick (its event arrives between that tick's first and last trace lines, give or take the
        hook's delivery), and none on the other ticks."""
        events = watch.events(win["pid"])
        lwtest.log("live-region events: " + ", ".join(f"{(e['time_ms'] / 1000 - timeline.t0):.3f} s "
                                                      f"{e['text']!r}" for e in events))
        self.assertEqual([(e["class"].lower(), e["id"], e["object"]) for e in events],
                         [("static", lwtest.STATUS_LABEL_ID, OBJID_CLIENT)] * len(events), "raised by the label")
        self.assertEqual([e["text"] for e in events], [text for _, text in announced], "announced texts")
        for event, (tick, _) in zip(events, announced):
            at = event["time_ms"] / 1000 - timeline.t0
            timeline.check(f"live-region event of tick {tick}", at, timeline.tick_end(tick), early=0.3, late=0.3)

    def check_stream(self, run, timeline, delays, failures=None):
        """The trace lines after loading are the sequence ticks for these delays and nothing else."""
        self.assertTraces(run, [line for tick in x.sequence_ticks(delays, failures) for line in tick],
                          start=timeline.load_count)

    def check_exit(self, run, timeline, delays):
        """The program ended by itself, 5 s after the completion tick (call after run.wait_exit)."""
        completion = x.launch_ticks(delays)[-1] + 1
        timeline.check("exit", run.exit_wall - timeline.t0, x.START_DELAY + completion * x.TICK + x.EXIT_DELAY,
                       late=EXIT_LATE)
        self.assertEqual(run.proc.returncode, 0, "exit status")

    def finish(self, run, delays, stream=True, failures=None):
        """Waits for the program to end by itself and checks its exit, every tick up to the completion tick
        and, unless the caller checks the trace lines itself, the sequence's trace stream."""
        run.wait_exit(x.EXIT_DELAY + 5)
        timeline = Timeline(self, run)
        if stream:
            self.check_stream(run, timeline, delays, failures)
        self.check_exit(run, timeline, delays)
        for k in range(1, x.launch_ticks(delays)[-1] + 2):
            timeline.check_tick(k)
        return timeline

    def check_starts(self, timeline, starts, records):
        """Each recorded start, oldest first, matches (profile number, launch tick, entry) in starts: the
        entry's program and arguments, started by its own launch tick. Read the records once the program
        has ended, when no start can follow."""
        self.assertEqual(len(records), len(starts), f"programs started: {records}")
        for record, (profile, tick, entry) in zip(records, starts):
            program, args = re.fullmatch(r"(.*?\.exe)(?: (.*))?", entry, re.I).groups(default="")
            self.assertEqual(record["module"].lower(), program.lower(), f"program of profile {profile}")
            self.assertEqual(lwtest.arguments_of(record["cmdline"]), args, f"arguments of profile {profile}")
            started = record["time_ms"] / 1000 - timeline.t0
            timeline.check(f"profile {profile} started (tick {tick})", started, x.START_DELAY + tick * x.TICK,
                           late=START_LATE)
            # Never before its own tick ran: the trace line of the launch tick comes first.
            self.assertGreater(started, timeline.tick_end(tick) - 0.1, f"profile {profile} started before its tick")

    def assertCountdown(self, image, win, text, other):
        """Like assertStatus, for two texts that differ in one digit only: the program draws with the same
        fonts as the reference rendering, so the right text matches almost exactly and the other less."""
        origin = win["client"][:2]
        good = self.session.text_similarity(image, origin, x.STATUS_BOX, text)
        bad = self.session.text_similarity(image, origin, x.STATUS_BOX, other)
        lwtest.log(f"status line: {good:.3f} like {text!r}, {bad:.3f} like {other!r}")
        self.assertGreater(good, 0.95, f"the status line does not read {text!r}")
        self.assertGreater(good, bad + 0.01, f"the status line is as much like {other!r} as like {text!r}")

    def assertFill(self, image, win, tick, total):
        width = fill_width(self, image, win["client"][:2])
        want = expected_fill(tick, total)
        lwtest.log(f"tick {tick}: green fill {width} px, expected {want:.2f} px")
        self.assertLessEqual(abs(width - want), 1, f"fill after tick {tick} of {total}: {width} px, "
                                                   f"expected {want:.2f} px")

    def test_typical_run(self):
        """One profile, delay 2: two countdown ticks, the launch on tick 3, completion on tick 4."""
        with self.session.scenario("typical") as sc:
            entry = r"C:\ZVK32\Parvane.exe /session:1"
            sc.install_recorder(r"C:\ZVK32\Parvane.exe")
            run, win = self.start_sequence(sc, [(entry, 2)], env={"WINEDEBUG": "-all,+debugstr,+loaddll"})
            watch = self.session.watch_live_regions(20)
            # Between the start tick and tick 1: the start tick changes nothing on the screen.
            loaded = next(t.at for t in run.traces if t.text == LOADED)
            time.sleep(max(0.0, loaded + x.START_DELAY + x.TICK / 2 - time.monotonic()))
            before = self.session.screenshot(run.label + "-before")
            images = self.follow(run, 4, shots=(1, 2, 3, 4))
            # The trace lines are spelled out below rather than derived.
            timeline = self.finish(run, [2], stream=False)

            tick = [
                "tmrMain_Timer Start currentShellPath=1 shellPathCount=1 timerCount={}",
                "currentShellPath <= shellPathCount",
                "shellPathDelay(0) = 2",
                "timerCount = {}",
            ]
            countdown = ["timerCount hasn't reached specified delay...", "timercount = {}  currentShellPath = 1",
                         "tmrMain_Timer End"]
            stream = ([line.format(0) for line in tick] + [line.format(1) for line in countdown]
                      + [line.format(1) for line in tick] + [line.format(2) for line in countdown]
                      + [line.format(2) for line in tick]
                      + ["timerCount reached specified delay.  Executing app...", "tmrMain_Timer End",
                         "tmrMain_Timer Start currentShellPath=2 shellPathCount=1 timerCount=0",
                         "currentShellPath > shellPathCount", "tmrMain_Timer End"])
            self.assertTraces(run, x.load_traces(sc.ini, {1: ("accept", entry, 2)}) + stream)

            self.check_starts(timeline, [(1, 3, entry)], lwtest.wait_records(sc, 1))
            # The same, counted from the moment the window was seen on the screen.
            seen = win["seen_ms"] / 1000 - timeline.t0
            lwtest.log(f"window seen {seen:+.3f} s after the end of loading")
            started = lwtest.wait_records(sc, 1)[0]["time_ms"] / 1000 - timeline.t0
            timeline.check("program started, after the window showed", started - seen, 4.0, early=0.5,
                           late=START_LATE)
            timeline.check("process gone, after the window showed", run.exit_wall - timeline.t0 - seen, 10.0,
                           early=0.5, late=EXIT_LATE)

            name = x.display_name(entry)
            self.assertEqual(fill_width(self, before, win["client"][:2]), 0,
                             "green fill between the start tick and tick 1")
            self.assertStatus(before, win, x.STATUS_LOADING, x.countdown_status(1, 1, name, 1))
            # What a screen reader reads, and what it is told to speak: the first countdown text, the start
            # and the completion, not the countdown's next second.
            texts = [x.STATUS_LOADING, x.countdown_status(1, 1, name, 1), x.countdown_status(1, 1, name, 0),
                     x.launch_status(1, 1, name), x.STATUS_COMPLETE]
            labels = self.label_after_ticks(run, win, watch, timeline, range(5))
            self.assertEqual([labels[k] for k in range(5)], texts, "the status label's text after each tick")
            self.check_announced(run, win, watch, timeline, [(1, texts[1]), (3, texts[3]), (4, texts[4])])
            for k in range(1, 5):
                with self.subTest(tick=k):
                    self.assertFill(images[k], win, k, 3)
            in_1, in_0 = x.countdown_status(1, 1, name, 1), x.countdown_status(1, 1, name, 0)
            self.assertCountdown(images[1], win, in_1, in_0)
            self.assertCountdown(images[2], win, in_0, in_1)
            self.assertStatus(images[3], win, x.launch_status(1, 1, name), x.countdown_status(1, 1, name, 0))
            self.assertStatus(images[4], win, x.STATUS_COMPLETE, x.launch_status(1, 1, name))
            # Without WaitNetworkN the network list manager is never loaded.
            modules = lwtest.loaded_modules(bytes(run.stderr))
            lwtest.log("modules loaded: " + ", ".join(modules))
            self.assertIn("ole32.dll", modules)
            self.assertNotIn("netprofm.dll", modules)

    def test_two_profiles(self):
        """Delays 2 and 1: starts on ticks 3 and 5, completion on tick 6, the end 5 s later."""
        with self.session.scenario("two") as sc:
            entries = [r"C:\ZVK32\Parvane.exe /session:1", r"C:\ZVK32\Parvane.exe /session:2"]
            delays = [2, 1]
            sc.install_recorder(r"C:\ZVK32\Parvane.exe")
            run, win = self.start_sequence(sc, list(zip(entries, delays)))
            images = self.follow(run, 6, shots=(4, 5))
            timeline = self.finish(run, delays)
            self.check_starts(timeline, numbered(delays, entries), lwtest.wait_records(sc, 2))

            name = x.display_name(entries[1])
            self.assertStatus(images[4], win, x.countdown_status(2, 2, name, 0), x.launch_status(1, 2, name))
            self.assertStatus(images[5], win, x.launch_status(2, 2, name), x.countdown_status(2, 2, name, 0))
            self.assertFill(images[4], win, 4, 5)
            self.assertFill(images[5], win, 5, 5)

    def test_programs_that_cannot_start_and_spaced_paths(self):
        """Profile 1's program exists when the file is loaded and is gone by its launch tick: neither the
        shell nor the command-line start can run it; its launch tick says so in one trace line with the
        system's own words for a missing file; profile 2 still starts on time, no box shows, and the
        program completes and ends as usual. Profiles 3 and 4 are unquoted paths with spaces, as the
        settings file takes them: each starts its own program with its arguments at its tick, never
        C:\\Apps\\My.exe or C:\\Program.exe, which sit where the system's own search through the spaces of
        the line would look first."""
        with self.session.scenario("vanished") as sc:
            gone = r"C:\ZVK32\Vanishing.exe"
            spaced = [r"C:\Apps\My Tools\app.exe -x", r"C:\Program Files\Lw Tools\report.exe -a /b"]
            entries = [gone + " /session:1", r"C:\ZVK32\Parvane.exe /session:2"] + spaced
            delays = [2, 1, 0, 1]
            decoys = [r"C:\Apps\My.exe", r"C:\Program.exe"]
            for program in [gone, r"C:\ZVK32\Parvane.exe", r"C:\Apps\My Tools\app.exe",
                            r"C:\Program Files\Lw Tools\report.exe"] + decoys:
                sc.install_recorder(program)
            try:
                run, win = self.start_sequence(sc, list(zip(entries, delays)))
                self.follow(run, 1)
                os.remove(sc.path(gone))  # during the countdown, before its launch on tick 3
                images = self.follow(run, 6, shots=(3, 5))
                run.assert_no_dialog()
                missing = x.failed_start(entries[0], self.session.system_message(FILE_NOT_FOUND), FILE_NOT_FOUND)
                lwtest.log(f"failed start: {missing!r}")
                timeline = self.finish(run, delays, failures={1: missing})
                records = lwtest.wait_records(sc, 3)
                lwtest.log("started: " + ", ".join(f"{r['module']} [{lwtest.arguments_of(r['cmdline'])}]"
                                                   for r in records))
                # Profile 1 still counts as started: the others keep their own ticks.
                self.check_starts(timeline, numbered(delays, entries)[1:], records)
                for record in records[1:]:
                    self.assertEqual(record["cwd"].lower(), sc.folder.lower(), "the fallback has no working folder")
                first, second = map(x.display_name, entries[:2])
                self.assertStatus(images[3], win, x.launch_status(1, 4, first), x.countdown_status(1, 4, first, 0))
                self.assertStatus(images[5], win, x.launch_status(2, 4, second),
                                  x.countdown_status(2, 4, second, 0))
            finally:
                for program in decoys:
                    os.remove(sc.path(program))

    def test_wait_for_idle(self):
        """WaitForIdle=3 while every processor is kept busy: the profile's countdown ends on tick 2, three
        ticks wait (2, 1 and 0 s left, the status line says so, the bar holds still), and tick 5 starts the
        program anyway, 3 s late. The same load with IdleBelow=100 counts as idle: exactly today's run."""
        entry = r"C:\ZVK32\Parvane.exe /idle"
        with busy_processors():
            with self.session.scenario("idle_wait") as sc:
                sc.install_recorder(r"C:\ZVK32\Parvane.exe")
                run, win = self.start_sequence(sc, [(entry, 1)], options="WaitForIdle=3\r\n")
                watch = self.session.watch_live_regions(20)
                images = self.follow(run, 6, shots=(1, 3))
                run.wait_exit(x.EXIT_DELAY + 5)
                timeline = Timeline(self, run)
                countdown, launch, complete = x.sequence_ticks([1])
                waits = []
                for left in (2, 1, 0):
                    waits += launch[:4] + [rf"Waiting for idle: processor (\d+) %, {left} s left", launch[-1]]
                expected = countdown + waits + launch[:4] + [x.IDLE_WAIT_OVER] + launch[4:] + complete
                got = run.texts()[timeline.load_count:]
                self.assertEqual(len(got), len(expected), f"trace lines after loading: {got}")
                busy = []
                for line, want in zip(got, expected):
                    m = re.fullmatch(want, line) if want.startswith("Waiting") else None
                    self.assertTrue(m or line == want, f"expected {want!r}, got {line!r}")
                    busy += [int(m.group(1))] if m else []
                lwtest.log(f"processor use while waiting: {busy} %")
                self.assertTrue(all(30 <= p <= 100 for p in busy), f"not busy: {busy}")
                self.check_exit(run, timeline, [4])  # the start came on tick 5, as for a delay of 4
                for k in range(1, 7):
                    timeline.check_tick(k)
                self.check_starts(timeline, [(1, 5, entry)], lwtest.wait_records(sc, 1))
                name = x.display_name(entry)
                self.assertStatus(images[3], win, x.waiting_status(1, 1, name, busy[1], 1),
                                  x.countdown_status(1, 1, name, 0))
                labels = self.label_after_ticks(run, win, watch, timeline, range(7))
                self.assertEqual([labels[k] for k in range(7)],
                                 [x.STATUS_LOADING, x.countdown_status(1, 1, name, 0)]
                                 + [x.waiting_status(1, 1, name, busy[i], 2 - i) for i in range(3)]
                                 + [x.launch_status(1, 1, name), x.STATUS_COMPLETE], "the status label")
                # Spoken: the countdown's first text, the wait's first text, the start and the end.
                self.check_announced(run, win, watch, timeline,
                                     [(1, labels[1]), (2, x.waiting_status(1, 1, name, busy[0], 2)),
                                      (5, x.launch_status(1, 1, name)), (6, x.STATUS_COMPLETE)])
                self.assertFill(images[1], win, 1, 2)
                self.assertFill(images[3], win, 1, 2)

            with self.session.scenario("idle_always") as sc:
                sc.install_recorder(r"C:\ZVK32\Parvane.exe")
                run, win = self.start_sequence(sc, [(entry, 1)], options="WaitForIdle=3\r\nIdleBelow=100\r\n")
                timeline = self.finish(run, [1])
                self.check_starts(timeline, numbered([1], [entry]), lwtest.wait_records(sc, 1))

    def test_delay_zero(self):
        """Delay 0 starts the program on the profile's first tick, first in line or after another
        profile, and never shows a countdown text for it."""
        with self.session.scenario("zero") as sc:
            entries = [r"C:\ZVK32\Parvane.exe /first", r"C:\ZVK32\Parvane.exe /second",
                       r"C:\ZVK32\Parvane.exe /third"]
            delays = [0, 1, 0]
            sc.install_recorder(r"C:\ZVK32\Parvane.exe")
            run, win = self.start_sequence(sc, list(zip(entries, delays)))
            images = self.follow(run, 5, shots=(1, 4))
            timeline = self.finish(run, delays)
            self.check_starts(timeline, numbered(delays, entries), lwtest.wait_records(sc, 3))
            first, third = x.display_name(entries[0]), x.display_name(entries[2])
            self.assertStatus(images[1], win, x.launch_status(1, 3, first), x.countdown_status(1, 3, first, 0))
            self.assertStatus(images[4], win, x.launch_status(3, 3, third), x.countdown_status(3, 3, third, 0))
            self.assertFill(images[1], win, 1, 4)
            self.assertFill(images[4], win, 4, 4)

    def test_wait_ready(self):
        with self.session.scenario("ready") as sc:
            rec = sc.folder + "\\bin\\rec.exe"
            sc.install_recorder(rec)
            # (PathN, WaitReadyN or None)
            table = [(f"{rec} --idle-after=2500 /slow", "10"), (rec, "5"), (f"{rec} --idle-after=8000 /stuck", "2"),
                     (f"{rec} /last", None)]
            sc.write_ini("[Paths]\r\n" + "".join(f"Path{n}={path}\r\n" + (f"WaitReady{n}={w}\r\n" if w else "")
                                                   for n, (path, w) in enumerate(table, 1)))
            run = sc.start(watchdog=60)
            run.wait_exit(45)
            with run.cond:
                traces = list(run.traces)
            lines = [t.text for t in traces]
            load = x.load_traces(sc.ini, {n: ("accept", path, 0, [f"shellPathWaitReady({{k}}) = {w}"] if w else [])
                                          for n, (path, w) in enumerate(table, 1)})
            self.assertEqual(lines[:len(load)], load)
            records = sc.recorded()
            starts = {lwtest.arguments_of(r["cmdline"]): r for r in records if "module" in r}
            ready = {r["pid"]: r["ready_ms"] / 1000 for r in records if "ready_ms" in r}
            slow = starts["--idle-after=2500 /slow"]
            self.assertIn(slow["pid"], ready, "the slow program never began to wait for input")
            ready_at = ready[slow["pid"]]

            def tick_of(i):
                """The tick (index of its Start line) that trace line i belongs to."""
                return max(j for j in range(i + 1) if lines[j].startswith("tmrMain_Timer Start"))

            waits = [i for i, t in enumerate(lines) if t.startswith("Waiting for ready: ")]
            goes = [i for i, t in enumerate(lines) if t in ("Ready: going on", "Ready wait over: going on anyway")]
            launches = [i for i, t in enumerate(lines) if t == "timerCount reached specified delay.  Executing app..."]
            self.assertEqual(len(launches), 4, lines)
            # The slow program: waiting ticks from its start until it was ready, then the tick that goes on.
            slow_waits = [i for i in waits if launches[0] < i < launches[1]]
            slow_go = [i for i in goes if launches[0] < i < launches[1]]
            began = slow["time_ms"] / 1000
            lwtest.log(f"ready wait, slow program (seconds after its start; ready for input at {ready_at - began:.2f}):\n"
                       + "\n".join(f"{traces[i].wall - began:5.2f} {lines[i]}"
                                    for i in range(tick_of(launches[0]), launches[1] + 1)))
            self.assertTrue(slow_waits, "no waiting tick for the slow program")
            self.assertEqual([lines[i] for i in slow_waits],
                             [f"Waiting for ready: {9 - j} s left" for j in range(len(slow_waits))])
            self.assertEqual([lines[i] for i in slow_go], ["Ready: going on"])
            self.assertEqual(slow_go[0], tick_of(slow_go[0]) + 1, "not right after the tick's Start line")
            for i in slow_waits:
                self.assertLessEqual(traces[i].wall, ready_at + TICK_LATE, "a tick waited after the program was ready")
            self.assertGreaterEqual(traces[slow_go[0]].wall, ready_at, "went on before the program was ready")
            self.assertLessEqual(traces[slow_go[0]].wall, ready_at + x.TICK + TICK_LATE,
                                 "the tick after readiness did not go on")
            # The program that ends at once: never waited for up to its limit.
            quick_go = [lines[i] for i in goes if launches[1] < i < launches[2]]
            lwtest.log("ready wait, program that ends at once:\n" + "\n".join(lines[tick_of(launches[1]):launches[2] + 1]))
            self.assertNotIn("Ready wait over: going on anyway", quick_go)
            # The busy one: exactly its two waiting ticks, then on anyway.
            stuck_waits = [lines[i] for i in waits if launches[2] < i < launches[3]]
            stuck_go = [i for i in goes if launches[2] < i < launches[3]]
            lwtest.log("ready wait, busy program:\n" + "\n".join(
                lines[tick_of(launches[2]) + 0:launches[3] + 1]))
            self.assertEqual(stuck_waits, ["Waiting for ready: 1 s left", "Waiting for ready: 0 s left"])
            self.assertEqual([lines[i] for i in stuck_go], ["Ready wait over: going on anyway"])
            self.assertEqual(lines[-3:], ["tmrMain_Timer Start currentShellPath=5 shellPathCount=4 timerCount=0",
                                          "currentShellPath > shellPathCount", "tmrMain_Timer End"])

class NetworkWait(lwtest.TestCase):
    """The wait for the network, for real: the whole Wine session runs in a network namespace of its own whose
    only network is a veth pair, down at the start (Wine's list manager reports 0) and brought up (an address
    and a default route) during the run."""

    own_network = True

    def test_wait_network(self):
        with self.session.scenario("network") as sc:
            rec = sc.folder + "\\bin\\rec.exe"
            sc.install_recorder(rec)
            share = sc.folder + "\\later\\tool.exe"  # appears, with the network, during its wait
            never = sc.folder + "\\never\\gone.exe"
            # (PathN, DelayN, WaitNetworkN or None)
            table = [(f"{rec} /limit", 0, 2), (f"{share} /share", 0, 20), (f"{never} /never", 0, 3),
                     (f"{rec} /last", 1, None)]
            sc.write_ini("[Paths]\r\n" + "".join(f"Path{n}={path}\r\nDelay{n}={d}\r\n"
                                                   + (f"WaitNetwork{n}={w}\r\n" if w else "")
                                                   for n, (path, d, w) in enumerate(table, 1)))
            run = sc.start(watchdog=60, env={"WINEDEBUG": "-all,+debugstr,+loaddll"})
            # Missing programs of profiles that wait for the network give no box: they are looked for later.
            run.wait_trace("Waiting for the network: 17 s left", timeout=20)
            sc.install_recorder(share)
            up = self.network.up()
            run.wait_trace(x.NETWORK_STARTING, timeout=10)
            run.wait_exit(30)
            with run.cond:
                traces = list(run.traces)
            lines = [t.text for t in traces]
            load = x.load_traces(sc.ini, {n: ("accept", path, d, [f"shellPathWaitNetwork({{k}}) = {w}"] if w else [])
                                          for n, (path, d, w) in enumerate(table, 1)})
            self.assertEqual(lines[:len(load)], load)
            self.assertEqual(run.box_count, 0)
            launches = [i for i, line in enumerate(lines) if line == x.LAUNCH]
            self.assertEqual(len(launches), 4)
            waits = [line for line in lines if line.startswith("Waiting for the network: ")]
            # Profile 1: never up, so its two waiting ticks and then on anyway.
            limit = lines[launches[0] - 5:launches[0] + 1]
            lwtest.log("wait released by the limit:\n" + "\n".join(lines[launches[0] - 13:launches[0] + 2]))
            self.assertEqual(waits[:2], ["Waiting for the network: 1 s left", "Waiting for the network: 0 s left"])
            self.assertEqual(limit[-2:], [x.NETWORK_WAIT_OVER, x.LAUNCH])
            # Profile 2: released by the network within one tick of the moment it came up.
            go = lines.index(x.NETWORK_STARTING)
            lwtest.log("wait released by the network:\n" + "\n".join(lines[go - 10:launches[1] + 2]))
            self.assertEqual(lines[go + 1], x.LAUNCH)
            self.assertEqual(waits[2:5], [f"Waiting for the network: {s} s left" for s in (19, 18, 17)])
            self.assertTrue(all(t.wall <= up + TICK_LATE for t in traces if t.text in waits[5:]),
                            "a tick waited after the network came up")
            seconds = traces[go].wall - up
            lwtest.log(f"network up -> start: {seconds:.2f} s; waiting ticks after the first three: "
                       f"{len(waits) - 5}")
            self.assertGreaterEqual(seconds, 0)
            self.assertLessEqual(seconds, x.TICK + TICK_LATE, "the start did not follow the network")
            # Profile 3: connected at once, no wait; its program never appeared.
            self.assertEqual(lines[launches[2] - 1], "timerCount = 0")
            self.assertEqual(lines[launches[2] + 1],
                             f"Could not start {never} /never: {self.session.system_message(FILE_NOT_FOUND).strip()}")
            # Profile 4 starts on time: one countdown tick after the launch tick of profile 3.
            self.assertAbout(traces[launches[3]].wall - traces[launches[2]].wall, 2 * x.TICK, 0.3, TICK_LATE,
                             "profile 3's launch to profile 4's")
            self.assertEqual([lwtest.arguments_of(r["cmdline"]) for r in sc.recorded() if "module" in r],
                             ["/limit", "/share", "/last"])
            # The list manager comes in with the first network check, not before.
            stderr = bytes(run.stderr)
            self.assertIn("netprofm.dll", lwtest.loaded_modules(stderr))
            self.assertGreater(re.search(rb'loaddll:\w+ Loaded L"[^"]*netprofm\.dll"', stderr).start(),
                               stderr.index(b"tmrMain_Timer Start"), "loaded before the first tick")


if __name__ == "__main__":
    lwtest.main()
