"""A generated corpus of malformed settings files (corpus_gen.py, fixed seed), each read by the real program.

For every file: the program neither crashes nor hangs and ends by itself; it shows no box but its own
"Error - ZVK Launchwick" boxes (as many as it likes; the test presses OK on each); every box names a
profile whose value has ".exe" but was not loaded, with that value; the file is byte for byte as before and
nothing new is left in the folder; it ends five seconds after its last box or its completion tick. Where the
documented reading rules fix the outcome, the number of loaded profiles and of boxes is checked too.

Several programs run at once, each in its own folder of one prefix, to keep the wall time down.
"""

import os
import re
import shutil
import time

import corpus_gen
import expected as x
import lwtest

PARALLEL = 3
WATCH_MS = 2000  # how long one driver waits for a box; it returns as soon as one shows
POLL = 0.1  # seconds between looks at the runs while a driver waits
BUDGET = 75  # seconds a run may take before it counts as hung (the longest case needs about 30)
BOX_RE = re.compile(r"The path specified in profile (\d+) \((.*)\) appears to be an invalid file or path\.\Z",
                    re.S)
TID_RE = re.compile(rb"^([0-9a-f]{4,8}):", re.M)
LAUNCH = "timerCount reached specified delay.  Executing app..."
COMPLETE = "currentShellPath > shellPathCount"


STAND_INS = r"C:\corpus"  # the folder the corpus names for its programs, shared by all runs


def listing(root):
    found = {}
    for base, _, files in os.walk(root):
        for f in files:
            path = os.path.join(base, f)
            found[os.path.relpath(path, root)] = os.path.getsize(path) if not os.path.islink(path) else -1
    return found


class Job:
    """One case in its own folder: the scenario, the run and the boxes seen for it."""

    def __init__(self, session, case):
        self.case = case
        self.sc = session.scenario("c_" + case.name)
        sc = self.sc
        sc.install_recorder(sc.folder + r"\notepad.exe")
        sc.write_ini(case.content)
        self.before = listing(sc.unix_folder)
        self.run = sc.start(watchdog=BUDGET + 15)
        self.boxes = []
        self.tid = None

    def thread_id(self):
        if self.tid is None:
            m = TID_RE.search(bytes(self.run.stderr))
            self.tid = int(m.group(1), 16) if m else None
        return self.tid


class CorpusBase(lwtest.TestCase):
    SHARE = (0, 2)  # the subclass runs the cases with index % SHARE[1] == SHARE[0]

    def run_corpus(self):
        started = time.monotonic()
        cases = [c for i, c in enumerate(corpus_gen.generate(STAND_INS)) if i % self.SHARE[1] == self.SHARE[0]]
        self.assertGreaterEqual(len(cases), 25)
        stand_ins = self.session.unix(STAND_INS)
        os.makedirs(stand_ins, exist_ok=True)
        for rel in [r"bin\rec.exe"] + [p for c in cases for p in c.programs]:
            target = os.path.join(stand_ins, *rel.split("\\"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(os.path.join(lwtest.CONFIG.tools, "recorder.exe"), target)
        lwtest.log(f"{len(cases)} corpus files, {PARALLEL} at a time")
        pending, running, done = list(cases), [], []
        watcher = None  # a driver waiting for the next box while the runs go on

        def over(job):
            return not job.run.alive or time.time() - job.run.start_wall > BUDGET

        while pending or running:
            while pending and len(running) < PARALLEL:
                running.append(Job(self.session, pending.pop(0)))
            if watcher is None:
                watcher = self.session.start_driver("dialog", "--title", x.ERROR_TITLE, "--timeout", str(WATCH_MS),
                                                    "--action", "ok", "--strict", "1")
            # A box or the end of a run, whichever comes first (a new driver for each poll would cost more
            # processor time than the runs themselves).
            while not watcher.finished() and not any(map(over, running)):
                time.sleep(POLL)
            if watcher.finished():
                self.take_box(watcher.result(30), running)
                watcher = None
            for job in [j for j in running if over(j)]:
                running.remove(job)
                if job.run.alive:
                    job.run.kill()
                    job.hung = True
                done.append(job)
                job.run.stop()
                job.sc.runs.clear()  # stopped already; no end-of-scenario box check across parallel runs
        if watcher is not None:
            self.take_box(watcher.result(30), running)
        lwtest.log(f"corpus done in {time.monotonic() - started:.1f} s")
        for job in done:
            with self.subTest(job.case.name):
                self.check(job)

    def take_box(self, result, running):
        """Files the box that a dialog driver dismissed (if any) under the run that showed it."""
        rc, out = result
        box = out[-1] if out else {}
        if box.get("unexpected"):
            box = dict(box["unexpected"], unexpected=True)
            self.session.driver("dialog", "--action", "ok", "--timeout", "0", timeout=30)
        elif not box.get("found"):
            return
        box.setdefault("acted_ms", time.time() * 1000)
        for job in running:
            if job.thread_id() == box.get("tid"):
                job.boxes.append(box)
                return
        # A box of a run whose first trace line has not been read yet: wait for it.
        time.sleep(0.3)
        for job in running:
            if job.thread_id() == box.get("tid"):
                job.boxes.append(box)
                return
        self.fail(f"a box of no known run: {box.get('title')!r} {box.get('text', '')[:200]!r}")

    def check(self, job):
        case, sc, run = job.case, job.sc, job.run
        took = f"{run.exit_wall - run.start_wall:.1f} s" if run.exit_wall else "never"
        lwtest.log(f"{case.name}: {len(job.boxes)} boxes, ended after {took}")
        self.assertFalse(getattr(job, "hung", False) or run.watchdog_fired, "did not end by itself (hang)")
        self.assertEqual(run.proc.returncode, 0, "exit status (a crash gives its exception code)")
        odd = [(b["title"], b.get("text", "")[:200]) for b in job.boxes if b.get("unexpected")]
        self.assertEqual(odd, [], "boxes with another title")
        self.assertEqual(sc.read(sc.ini), case.content, "the settings file changed")
        after = listing(sc.unix_folder)
        after.pop("recorded.log", None)
        self.assertEqual(after, job.before, "files in the program's folder changed")

        texts = run.texts()
        self.assertEqual(texts[:2], [x.trace_found(sc.ini), "Loading Settings Start"])
        self.assertIn("Loading Settings End", texts)
        loading = run.traces[:texts.index("Loading Settings End")]
        gets = [i for i, t in enumerate(loading) if t.text.startswith("GetSetting(")]
        self.assertEqual([(re.search(r'"Paths", "Path(\d+)"', loading[i].text) or [0, ""])[1] for i in gets],
                         [str(n) for n in range(1, 21)], "one lookup per profile, 1 to 20 in order")

        # What each profile did, as the trace lines after its lookup tell.
        missing, accepted = [], 0
        for n, i in enumerate(gets, 1):
            line = loading[i]
            after_line = loading[i + 1].text if i + 1 < len(loading) else ""
            value = line.text.split(") = ", 1)[1] if ") = " in line.text else None
            if after_line.startswith("shellPaths("):
                accepted += 1
            elif not after_line.startswith("No valid entry for path"):
                if line.truncated or value is None:
                    missing.append((n, None))
                elif ".EXE" in value.upper():
                    missing.append((n, value))
        error_boxes = [b for b in job.boxes if not b.get("unexpected")]
        parsed = [BOX_RE.match(b["text"]) for b in error_boxes]
        program_boxes = [(int(m.group(1)), m.group(2)) for m in parsed if m]
        # A lookup line that Wine cut short hides whether the value had ".exe": a box may or may not follow.
        known = {n: v for n, v in missing if v is not None}
        unknown = {n for n, v in missing if v is None}
        numbers = [n for n, _ in program_boxes]
        self.assertEqual(numbers, sorted(set(numbers)), "one box per profile, in profile order")
        self.assertEqual(set(numbers) - unknown, set(known),
                         "a box for each profile with '.exe' that was not loaded")
        for n, shown in program_boxes:
            if n in known:
                self.assertEqual(shown, known[n], f"profile {n}: the box shows the value")
        if case.accepted is not None:
            self.assertEqual(accepted, case.accepted, "profiles loaded")
        if case.boxes is not None:
            self.assertEqual(len(program_boxes), case.boxes, "missing-program boxes")

        others = [b["text"] for b, m in zip(error_boxes, parsed) if not m]
        records = sc.recorded()
        notepad = [r for r in records if r["module"].lower().endswith("\\notepad.exe")]
        if accepted == 0:
            self.assertEqual(others, [x.no_profile_text(sc.ini)], "the no-profile box, once, last")
            self.assertTrue(error_boxes and not BOX_RE.match(error_boxes[-1]["text"]), "no-profile box last")
            self.assertEqual([lwtest.arguments_of(r["cmdline"]) for r in notepad], [sc.ini], "Notepad started")
            self.assertNotIn(COMPLETE, texts)
            last = error_boxes[-1]["acted_ms"] / 1000
        else:
            self.assertEqual(others, [], "no other box when a profile was loaded")
            self.assertEqual(notepad, [], "Notepad started although a profile was loaded")
            self.assertEqual(texts.count(LAUNCH), accepted, "one launch per loaded profile")
            self.assertIn(COMPLETE, texts)
            last = next(t.wall for t in run.traces if t.text == COMPLETE)
        self.assertAbout(run.exit_wall - last, x.EXIT_DELAY, high=2.5, what="end after the last event")


class CorpusA(CorpusBase):
    SHARE = (0, 2)

    def test_corpus(self):
        self.run_corpus()


class CorpusB(CorpusBase):
    SHARE = (1, 2)

    def test_corpus(self):
        self.run_corpus()

if __name__ == "__main__":
    lwtest.main()
