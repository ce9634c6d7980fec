"""First run: no settings file beside the program.

Expected, in this order: the trace line 'Didn't find "<ini>".  Loading default settings...'; the default
settings file written (73 lines, CR LF each); the welcome box, before any window shows; after OK, Notepad
started as "notepad.exe <ini>" (path unquoted); the splash window with "User Configuration Required.
Exiting..."; the end of the process five seconds after OK. No other trace line. A second start then finds
the file and takes the "no usable profile" path, leaving the file as it was; a third start while its box is
up only writes "Already running for <ini>" and ends. A folder with a CJK name gets the same, with the path in
its own characters in the box and Notepad's command line (and in the ANSI code page in the trace lines). When the file cannot be
written, the trace line "Could not write to <ini>" follows the first one and nothing else changes.
"""

import os

import expected as x
import lwtest


class FirstRun(lwtest.TestCase):
    # (scenario name, program folder, whether the file can be written): the folder decides the settings
    # path everywhere it shows.
    CASES = [
        ("first_run", None, True),
        ("first_run_spaces", r"C:\Program Files\Zvk Launch wick", True),
        ("first_run_root", "D:\\", True),
        # A name outside the ANSI code page: the box and Notepad get every character of the path.
        ("first_run_cjk", "C:\\\u674e\u96f7 Launchwick", True),
        ("first_run_unwritable", None, False),
    ]

    def test_first_run(self):
        for name, folder, writable in self.CASES:
            with self.subTest(name), self.session.scenario(name, folder) as sc:
                self.first_run(sc, writable)
                if name in ("first_run", "first_run_cjk"):
                    self.second_run(sc)

    def first_run(self, sc, writable):
        ini = sc.ini
        self.assertTrue(ini.endswith("\\ZVKLaunchwick.ini") and "\\\\" not in ini)
        sc.install_recorder(sc.folder.rstrip("\\") + r"\notepad.exe")
        if not writable:
            # A link to a folder that does not exist: the file is absent, and creating it fails.
            os.symlink("/nonexistent-launchwick/folder/file.ini", sc.path(ini))
        traces = [x.trace_not_found(ini)] + ([] if writable else ["Could not write to " + ini])
        run = sc.start(watchdog=40)

        box = run.dialog(x.WELCOME_TITLE, timeout=15, action="none")
        self.assertEqual(box["text"], x.welcome_text(ini))
        self.assertPlainBox(box)
        # While the box is up: the trace line is out, the file is written, no window and no Notepad yet.
        run.wait_trace_count(len(traces))
        self.assertTraces(run, traces)
        self.assert_default_file(sc, writable)
        self.assertFalse([w for w in self.session.visible_windows() if w["title"] == x.APP],
                         "the splash window showed before the welcome box was closed")
        self.assertEqual(sc.recorded(), [])

        ok = run.dialog(x.WELCOME_TITLE, timeout=5, action="ok")
        self.assertTrue(ok["dismissed"])
        dismissed = ok["acted_ms"] / 1000

        win = run.window(timeout=10)
        shot = self.session.screenshot(run.label + "-window")
        self.assertStatus(shot, win, x.STATUS_CONFIG, x.STATUS_LOADING)

        records = lwtest.wait_records(sc, 1)
        self.assertEqual(len(records), 1, records)
        notepad = records[0]
        self.assertEqual(notepad["module"].lower(), (sc.folder.rstrip("\\") + r"\notepad.exe").lower())
        self.assertTrue(lwtest.program_of(notepad["cmdline"]).lower().endswith("notepad.exe"), notepad)
        self.assertEqual(lwtest.arguments_of(notepad["cmdline"]), ini)
        self.assertEqual(notepad["cwd"].rstrip("\\").lower(), sc.folder.rstrip("\\").lower(), "Notepad's folder")
        self.assertGreaterEqual(notepad["time_ms"] / 1000, dismissed - 0.05, "Notepad started before OK")

        ended = run.wait_exit(x.EXIT_DELAY + 10)
        self.assertAbout(ended - dismissed, x.EXIT_DELAY, what="end after OK")
        self.assertTraces(run, traces)
        self.assert_default_file(sc, writable)
        self.assertEqual(len(sc.recorded()), 1, "a program was started after Notepad")

    def assert_default_file(self, sc, writable):
        if writable:
            self.assertEqual(sc.read(sc.ini), x.default_settings_bytes())
        else:
            self.assertFalse(os.path.exists(sc.path(sc.ini)), "a settings file appeared")

    def second_run(self, sc):
        ini = sc.ini
        run = sc.start(watchdog=40)
        box = run.dialog(x.ERROR_TITLE, timeout=15, action="none")
        self.assertEqual(box["text"], x.no_profile_text(ini))
        # Meanwhile a start for the same settings file hands over and ends.
        other = sc.start(watchdog=30)
        other.wait_exit(20)
        self.assertTraces(other, ["Already running for " + ini])
        run.dialog(x.ERROR_TITLE, timeout=5)
        self.assertTraces(run, x.load_traces(ini, {}))
        run.wait_exit(x.EXIT_DELAY + 10)
        self.assertEqual([lwtest.arguments_of(r["cmdline"]) for r in sc.recorded()], [ini, ini])
        self.assertEqual(sc.read(ini), x.default_settings_bytes())


if __name__ == "__main__":
    lwtest.main()
