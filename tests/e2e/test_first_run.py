"""First run: no settings file beside the program.

Expected, in this order: the trace line 'Didn't find "<ini>".  Loading default settings...'; the default
settings file written (73 lines, CR LF each); the welcome box, before any window shows; after OK, Notepad
started as "notepad.exe <ini>" (path unquoted); the splash window with "User Configuration Required.
Exiting..."; the end of the process five seconds after OK. No other trace line. A second start then finds
the file and takes the "no usable profile" path, leaving the file as it was; a third start while its box is
up only writes "Already running for <ini>" and ends. A folder with a CJK name gets the same, with the path in
its own characters in the box and Notepad's command line (and in the ANSI code page in the trace lines). When the file cannot be
written, the trace line "Could not write to <ini>" follows the first one and nothing else changes.

Setting it up to start at log-on, before or instead of a first run: /install writes the shortcut
<start-up folder>\\ZVK Launchwick.lnk (read back with IShellLinkA: the exe, no arguments, its folder, show
command 1) and says so in a box with an icon; /install /quiet replaces a broken one without a box; /uninstall
twice removes it, then says there was none; an unknown argument shows the usage (exit code 2), /quiet alone
shows nothing (2); a shortcut that cannot be written or removed gives the same line in the trace and in an
error box (1). Each job writes only its one trace line, shows no splash window, writes no settings file,
starts nothing and does not claim the settings file: all but the first two run while a started copy holds
it. /check writes its report (typo, missing program, ignored window state, three good profiles) to a file
that the starter's shell redirected it to, in UTF-8 with CR LF (exit code 1), from a batch file too, or
shows it in one box; a clean file gives exit code 0, also while a run of it is going, which goes on.
"""

import os
import subprocess

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
                if name == "first_run_cjk":
                    # The shortcut names the program by every character of its folder.
                    run, _ = self.job(sc, ["/install", "/quiet"], 0, box=False)
                    shortcut = run.texts()[0].removeprefix("Start-up shortcut written: ")
                    self.assert_shortcut(sc, shortcut)
                    self.job(sc, ["/uninstall", "/quiet"], 0, box=False)

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

    def test_start_at_log_on(self):
        with self.session.scenario("log_on", r"C:\Program Files\Zvk Log On") as sc:
            sc.install_recorder(sc.folder + r"\notepad.exe")
            sc.install_recorder(sc.folder + r"\bin\rec.exe")
            run, text = self.job(sc, ["/install"], 0)
            shortcut = run.texts()[0].removeprefix("Start-up shortcut written: ")
            self.assertTrue(shortcut.lower().endswith(x.SHORTCUT_TAIL.lower()), shortcut)
            self.assertEqual(run.texts(), ["Start-up shortcut written: " + shortcut])
            self.assertEqual(text, x.installed_text(shortcut, sc.ini))
            self.assert_shortcut(sc, shortcut)
            self.assertFalse(os.path.exists(sc.path(sc.ini)), "a settings file was written")

            # A broken shortcut of the same name is replaced.
            with open(self.session.unix(shortcut), "wb") as f:
                f.write(b"not a shortcut")
            self.assertFalse(self.session.shortcut(shortcut)["found"])
            run, _ = self.job(sc, ["/INSTALL", "-Quiet"], 0, box=False)
            self.assertEqual(run.texts(), ["Start-up shortcut written: " + shortcut])
            self.assert_shortcut(sc, shortcut)

            # The rest while a started copy holds the settings file: no job waits for it or hands over to it.
            sc.write_ini(f"[Paths]\r\nPath1={sc.folder}\\bin\\rec.exe /late\r\nDelay1=60\r\n")
            running = sc.start(watchdog=120)
            running.window(timeout=15)
            run, text = self.job(sc, ["/uninstall"], 0)
            self.assertEqual(run.texts(), ["Start-up shortcut removed: " + shortcut])
            self.assertEqual(text, x.uninstalled_text(shortcut))
            self.assertFalse(os.path.lexists(self.session.unix(shortcut)), "the shortcut is still there")
            run, text = self.job(sc, ["-uninstall"], 0)
            self.assertEqual(run.texts(), ["No start-up shortcut at " + shortcut])
            self.assertEqual(text, x.NOT_INSTALLED)
            for args in (["/start"], ["/install", "/uninstall"]):
                run, text = self.job(sc, args, 2)
                self.assertTrue(text.startswith(x.USAGE_START + "\r\n"), text)
                self.assertEqual(run.texts(), [])
            run, _ = self.job(sc, ["/quiet"], 2, box=False)
            self.assertEqual(run.texts(), [])

            # A folder in the shortcut's place can be neither written over nor removed as a file.
            os.mkdir(self.session.unix(shortcut))
            denied = x.system_reason(self.session.system_message(5), 5)  # ERROR_ACCESS_DENIED
            try:
                run, text = self.job(sc, ["/install"], 1)
                self.assertEqual(run.texts(), [f"Could not write the start-up shortcut {shortcut}: {denied}"])
                self.assertEqual(text, run.texts()[0])
                run, _ = self.job(sc, ["/uninstall", "/quiet"], 1, box=False)
                self.assertEqual(run.texts(), [f"Could not remove the start-up shortcut {shortcut}: {denied}"])
            finally:
                os.rmdir(self.session.unix(shortcut))
            self.assertEqual(running.texts()[:1], [x.trace_found(sc.ini)])
            self.assertTrue(running.alive, "the started copy ended")
            self.assertEqual(lwtest.wait_records(sc, 1, timeout=0), [], "a program was started")

    def test_check(self):
        with self.session.scenario("check", r"C:\Check Here") as sc:
            good = sc.folder + r"\bin\rec.exe"
            sc.install_recorder(good)
            missing = sc.folder + r"\Missing.exe"
            instructions = "[Instructions]\r\nThe \"Delay#=\" setting and the \"Path#\" setting.\r\n"
            sc.write_ini(instructions + "[Paths]\r\n"
                         f"Path1={good} /one\r\nDelay1=2\r\n"
                         "Dealy3=10\r\n"
                         f"Path2={missing} /two\r\n"
                         f"Path3={good}\r\nWindow3=Iconic\r\n"
                         f"Path4={good} /four\r\nDelay4=3\r\nWindow4=minimized\r\n")
            report = [f"ZVK Launchwick {x.version()}: {sc.ini} (ANSI)",
                      f"Profile 1: starts {good} with /one after 2 s",
                      f"Profile 2: not started: {missing} does not exist",
                      f"Profile 3: starts {good} after 0 s",
                      f"Profile 4: starts {good} with /four after 3 s, window Minimized",
                      "Ignored: Window3=Iconic",
                      "Ignored: Dealy3 in [Paths] (not a key of ZVK Launchwick)",
                      "3 of 4 profiles start; 3 problems"]
            lines = [line.encode() for line in report] + [b""]

            # Redirected by the shell that started it: a file.
            with open(os.path.join(sc.unix_folder, "report.txt"), "wb") as out:
                run = sc.start(watchdog=30, args=["/check"], stdout=out)
                run.wait_exit(20)
            self.assertEqual(run.proc.returncode, 1)
            self.assertEqual(sc.read(sc.folder + r"\report.txt").split(b"\r\n"), lines)
            # From a batch file: cmd's redirection, and the exit code as its errorlevel.
            sc.write(sc.folder + r"\check.bat", '@echo off\r\nZVKLaunchwick.exe /check > "batch report.txt"\r\n'
                                                 "echo exit %errorlevel% > level.txt\r\n")
            subprocess.run([lwtest.WINE, "cmd", "/c", "check.bat"], cwd=sc.unix_folder, env=self.session.env(),
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=60)
            self.assertEqual(sc.read(sc.folder + r"\batch report.txt").split(b"\r\n"), lines)
            self.assertEqual(sc.read(sc.folder + r"\level.txt").strip(), b"exit 1")
            # No redirection: one box with the report; here with a section of another program too.
            with open(sc.path(sc.ini), "ab") as f:
                f.write(b"[Other Tool]\r\nx=1\r\n")
            _, text = self.job(sc, ["/check"], 1)
            self.assertEqual(text, "\r\n".join(report[:-1] + ["Ignored: [Other Tool] (not a section of ZVK Launchwick)",
                                                               "3 of 4 profiles start; 4 problems"]))

            # A clean file, while a run of it is going: both go on as if the other were not there.
            sc.write_ini(f"[Paths]\r\nPath1={good} /late\r\nDelay1=60\r\n")
            running = sc.start(watchdog=120)
            running.window(timeout=15)
            with open(os.path.join(sc.unix_folder, "clean.txt"), "wb") as out:
                run = sc.start(watchdog=30, args=["-CHECK"], stdout=out)
                run.wait_exit(20)
            self.assertEqual(run.proc.returncode, 0)
            self.assertEqual(sc.read(sc.folder + r"\clean.txt").decode().split("\r\n"),
                             [report[0], f"Profile 1: starts {good} with /late after 60 s",
                              "1 of 1 profiles start; 0 problems", ""])
            self.job(sc, ["/check", "/quiet"], 0, box=False)
            self.assertTrue(running.alive, "the run ended")
            self.assertNotIn("Already running for " + sc.ini, running.texts())
            self.assertEqual(lwtest.wait_records(sc, 1, timeout=0), [], "a program was started")

    def job(self, sc, args, exit_code, box=True):
        """Runs the program with a job's arguments, presses OK on its one box and checks that no splash
        window showed and that it ended with exit_code. Returns the run and the box's text (None: no box)."""
        run = sc.start(watchdog=30, args=args)
        if box:
            shown = run.dialog(x.APP, timeout=15, action="none")
            self.assertFalse([w for w in self.session.visible_windows()
                              if w["pid"] == shown["pid"] and w["class"] != "#32770"], "a splash window showed")
            buttons = [c for c in shown["children"] if c["class"].lower() == "button" and c["visible"]]
            self.assertEqual([(b["id"], b["text"]) for b in buttons], [(1, "OK")], "buttons of the box")
            self.assertTrue([c for c in shown["children"] if c["icon"]], "the box shows no icon")
            lwtest.log(f"{args}: box {shown['text']!r}")
            run.dialog(x.APP, timeout=5, action="ok")
        run.wait_exit(15)
        self.assertEqual(run.proc.returncode, exit_code, f"exit code of {args}")
        lwtest.log(f"{args}: exit code {run.proc.returncode}, traces {run.texts()}")
        return run, shown["text"] if box else None

    def assert_shortcut(self, sc, shortcut):
        fields = self.session.shortcut(shortcut)
        lwtest.log(f"shortcut read back: {fields}")
        self.assertTrue(fields["found"], fields)
        self.assertEqual((fields["target"], fields["arguments"], fields["workdir"], fields["show"]),
                         (sc.exe, "", sc.folder, 1))

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
