"""The Win32 layer's own test program, and the launcher with the real Win32 platform.

Win32Layer: ZVKLaunchwickWin32Tests.exe runs whole from the folder that holds ZVKLaunchwick.exe; it passes
when it exits 0 and its last line reads "N passed, 0 failed" with N its "ok" lines (a crash leaves no such
line).

Launcher: each row is one ShellRun call made by the test program's "shell-run" mode, started with the
current folder C:\\work (its own folder is another one). Recorder copies stand in for the programs and log how
they were started. Expected: a wrapped entry with arguments is refused by ShellExecuteA and started whole by
the fallback, in the launcher's current folder; a program without arguments, or one separated from its
arguments, is started by ShellExecuteA in its own folder (C:\\ at the root, the current folder for a bare
name); the window style reaches both start requests; the caller's text loses the two quotes of a quoted
program; a missing program raises StatementError to the caller and starts nothing, a bare name not in the current
folder too (never a copy of it on the PATH or in the system's folder); every program starts exactly once. A web address goes, without any quote, to the program that the .htm association names (in the
window style asked for), and the temporary folder is left as it was, names taken beforehand intact; with no association,
or with a temporary folder that cannot hold the probe file, the plain box "Browser Error" / "Could not open
browser" shows until it is dismissed, and nothing starts.

Sequence: the real program with a profile "C:\\Tools\\rec.exe /session:1" of delay 0 starts the recorder
with the arguments "/session:1" in its own current folder, about two seconds after its start.

Start options (one run, profiles of delay 0): each window state reaches the started program as the show
command it was asked for (Normal 1, NoFocus 4, Minimized 7, Maximized 3, Hidden 0; a bad value is traced as
ignored and gives 1); a StartIn folder becomes the current folder of an entry with and without arguments,
also when the folder and the program are relative or come from environment variables set for the program;
without StartIn an entry with arguments starts in the program's current folder; a StartIn folder that does
not exist starts nothing and traces "Could not start <entry>: <the system's text for 267>", and the next
profile starts on its tick. The loading lines show each path as written, then the expanded one.
In the same run, OpenN (for a .lwdoc type, an lwtest: scheme and https, registered under HKCR to the
recorder): the recorder gets a document's full path (a relative one from the current folder) in the
document's folder, and a link or web address whole in the launcher's folder, each in the window state asked
and within a second and a half of its tick; a type with no program traces "Could not start <value>: <the
system's text for 1155>"; a missing document shows the invalid-path box at loading; an OpenN beside a PathN
is traced as ignored. A program without arguments checked at loading and deleted before its turn fails
with the text for 2, and its namesakes on the PATH never start.
"""

import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import expected as x
import lwtest

TESTS_EXE = "ZVKLaunchwickWin32Tests.exe"
PLANTED_DLL = "lwplanted.dll"  # put beside the test program, which must not be able to load it once hardened
# The only DLLs the program may import: the system's own, none that a copy beside the program could replace.
ALLOWED_IMPORTS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
                   "advapi32.dll", "msvcrt.dll", "shlwapi.dll", "comdlg32.dll", "comctl32.dll"}
WORK = "C:\\work"  # the test program's current folder in the launcher rows
BROWSER = "C:\\lwbrowser\\rec.exe"
ADDRESS = "http://example.invalid/page?a=1"
PROG_ID = "LwTest.htm"


def tests_exe_path():
    path = os.path.join(os.path.dirname(lwtest.CONFIG.exe), TESTS_EXE)
    if not os.path.isfile(path):
        raise lwtest.HarnessError(f"missing {path} (build the mingw preset first)")
    return path


class Program:
    """One run of the Win32 test program in the session's prefix; stdout goes to a file, not a pipe, which a
    Wine service started meanwhile could keep open."""

    def __init__(self, session, exe_win, args, cwd_win, env=None):
        self.out = tempfile.TemporaryFile()
        self.started = time.monotonic()
        self.proc = subprocess.Popen([lwtest.WINE, exe_win, *args], cwd=session.unix(cwd_win),
                                     env=session.env(extra=env), stdin=subprocess.DEVNULL, stdout=self.out,
                                     stderr=subprocess.DEVNULL, start_new_session=True)

    def finish(self, timeout):
        """(exit status, stdout text, seconds taken)."""
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait(10)
            rc = None
        self.out.seek(0)
        text = self.out.read().decode("ascii", errors="replace")
        self.out.close()
        return rc, text, time.monotonic() - self.started

    def json(self, timeout=30):
        rc, text, _ = self.finish(timeout)
        lines = [json.loads(line) for line in text.splitlines() if line.startswith("{")]
        if rc != 0 or len(lines) != 1:
            raise AssertionError(f"test program ended with {rc}, output {text!r}")
        return lines[0]


def reg(session, *args):
    subprocess.run([lwtest.WINE, "reg", *args], env=session.env(), check=True, timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def without_crash_dialog(session):
    """A crash then ends the program with a backtrace on stderr instead of waiting in winedbg's box."""
    reg(session, "add", "HKCU\\Software\\Wine\\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD",
        "/d", "0", "/f")


def records(session, log_win):
    try:
        with open(session.unix(log_win), "rb") as f:
            data = f.read()
    except FileNotFoundError:
        return []
    return [json.loads(line) for line in data.decode("ascii").splitlines() if line.strip()]


def wait_for_records(session, logs_and_counts, timeout=8, settle=1.0):
    """Waits until every log has its count of lines, then settle seconds more for late extra starts."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and any(len(records(session, log)) < n for log, n in logs_and_counts):
        time.sleep(0.1)
    time.sleep(settle)
    return {log: records(session, log) for log, _ in logs_and_counts}


def register_openers(session, sc, program):
    """A document type (.lwdoc), a link scheme (lwtest:) and https, each opened by program with "%1", under
    HKCR: Wine's shell does not read HKCU\\Software\\Classes."""
    command = f'@="\\"{program.replace(chr(92), chr(92) * 2)}\\" \\"%1\\""\r\n'
    reg_file = sc.folder + "\\openers.reg"
    sc.write(reg_file, "Windows Registry Editor Version 5.00\r\n\r\n"
             '[HKEY_CLASSES_ROOT\\.lwdoc]\r\n@="LwTest.doc"\r\n\r\n'
             f"[HKEY_CLASSES_ROOT\\LwTest.doc\\shell\\open\\command]\r\n{command}\r\n"
             '[HKEY_CLASSES_ROOT\\lwtest]\r\n@="URL:lwtest"\r\n"URL Protocol"=""\r\n\r\n'
             f"[HKEY_CLASSES_ROOT\\lwtest\\shell\\open\\command]\r\n{command}\r\n"
             f"[HKEY_CLASSES_ROOT\\https\\shell\\open\\command]\r\n{command}")
    reg(session, "import", reg_file)


class Win32Layer(lwtest.TestCase):
    def test_layer_program(self):
        with self.session.scenario("layer") as sc:
            exe = sc.folder + "\\" + TESTS_EXE
            shutil.copy2(tests_exe_path(), sc.path(exe))
            shutil.copy2(os.path.join(os.path.dirname(tests_exe_path()), PLANTED_DLL), sc.path(sc.folder))
            without_crash_dialog(self.session)
            rc, text, seconds = Program(self.session, exe, [], sc.folder).finish(timeout=90)
            with open(os.path.join(self.session.out, "win32-layer.stdout.txt"), "w") as f:
                f.write(text)
            lwtest.log(f"{TESTS_EXE}: status {rc} after {seconds:.1f} s\n{text}")
            if rc is None:
                self.fail(f"hung: killed after {seconds:.0f} s; "
                          f"visible windows {self.session.visible_windows()}")
            lines = [line.rstrip("\r") for line in text.splitlines() if line.strip()]
            self.assertTrue(lines and re.fullmatch(r"\d+ passed, \d+ failed", lines[-1]),
                            f"no summary line at the end (crashed or hung?), status {rc}")
            passed, failed = map(int, re.findall(r"\d+", lines[-1]))
            self.assertEqual(failed, 0, "failed sections: " + str([l for l in lines if l.startswith("FAIL")]))
            self.assertEqual(rc, 0)
            self.assertEqual(passed, len([l for l in lines if l.startswith("ok  ")]))
            self.assertGreater(passed, 0)


    def test_imports_only_system_dlls(self):
        out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", lwtest.CONFIG.exe], capture_output=True,
                             text=True, check=True).stdout
        imports = {m.lower() for m in re.findall(r"^\s*DLL Name: (\S+)\s*$", out, re.M)}
        lwtest.log(f"imports: {sorted(imports)}")
        self.assertIn("kernel32.dll", imports, "the import table was not read")
        self.assertEqual(imports - ALLOWED_IMPORTS, set(), "DLLs outside the system's own")


class Launcher(lwtest.TestCase):
    """One scenario C:\\launcher with the test program, the recorder copies, and one log per row."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        without_crash_dialog(cls.session)
        cls.sc = lwtest.Scenario(cls.session, "launcher")
        cls.exe = cls.sc.folder + "\\" + TESTS_EXE
        shutil.copy2(tests_exe_path(), cls.sc.path(cls.exe))
        for program in ("C:\\Tools\\rec.exe", "C:\\rec.exe", "C:\\Program Files\\Tools\\rec.exe",
                        WORK + "\\bare.exe", BROWSER):
            cls.sc.install_recorder(program)
        # A decoy: the fallback start looks in the test program's folder first, ShellExecuteA in the folder
        # it is given, so the right copy shows that ShellExecuteA got the current folder.
        cls.sc.install_recorder(cls.sc.folder + "\\bare.exe")
        # Another decoy: the system's own search through the spaces of "C:\Program Files\..." would run it.
        cls.sc.install_recorder("C:\\Program.exe")
        for decoy in ("C:\\windows\\report.exe", "C:\\lwpath\\report.exe"):
            cls.sc.install_recorder(decoy)
        os.makedirs(cls.session.unix(WORK + "\\logs"), exist_ok=True)
        cls.sc.write(WORK + "\\probe.htm", "<html></html>\r\n")

    def shell_run(self, name, command, style=1, taken=0):
        """Starts one ShellRun call; the row's programs log to their own file."""
        log = f"{WORK}\\logs\\{name}.log"
        env = {"LW_COMMAND": command, "LW_STYLE": str(style), "LW_TAKEN": str(taken), "LW_RECORD_LOG": log,
               "WINEPATH": "C:\\lwpath"}
        return Program(self.session, self.exe, ["shell-run"], WORK, env), log

    def find_executable(self):
        return Program(self.session, self.exe, ["find-executable"], WORK,
                       {"LW_FILE": WORK + "\\probe.htm"}).json()

    def dismiss_browser_error(self, name):
        """The launcher waits in its box: check the box and press OK."""
        rc, out = self.session.driver("dialog", "--title", "Browser Error", "--timeout", "15000",
                                      "--action", "ok", timeout=45)
        box = out[-1] if out else {}
        with self.subTest(name):
            self.assertTrue(rc == 0 and box.get("found") and box.get("dismissed"), f"{name}: box {out}")
            self.assertEqual(box["text"], "Could not open browser")
            self.assertPlainBox(box)

    def check_start(self, name, got, want):
        """got: the recorder's lines for a row; want: (module, arguments, cwd, show) or None."""
        if want is None:
            self.assertEqual(got, [], f"{name}: a program was started")
            return
        self.assertEqual(len(got), 1, f"{name}: expected exactly one start, got {got}")
        module, arguments, cwd, show = want
        rec = got[0]
        self.assertEqual(rec["module"].lower(), module.lower(), f"{name}: program")
        self.assertEqual(lwtest.arguments_of(rec["cmdline"]), arguments,
                         f"{name}: arguments of {rec['cmdline']!r}")
        self.assertEqual(rec["cwd"].lower(), cwd.lower(), f"{name}: current folder")
        self.assertEqual(rec["show"], show, f"{name}: show command")

    def test_programs(self):
        tools = "C:\\Tools\\rec.exe"
        spaced = "C:\\Program Files\\Tools\\rec.exe"
        # (name, command line, window style, caller's text afterwards, thrown, start or None)
        table = [
            # The file name includes the arguments: refused, then started whole with no working folder.
            ("wrapped_args", f'"{tools} /session:1"', 1, f"{tools} /session:1", "none",
             (tools, "/session:1", WORK, 1)),
            ("wrapped_args_style", f'"{tools} /session:2"', 7, f"{tools} /session:2", "none",
             (tools, "/session:2", WORK, 7)),
            ("wrapped_spaced_args", f'"{spaced} -min"', 1, f"{spaced} -min", "none",
             (spaced, "-min", WORK, 1)),
            ("no_args", f'"{tools}"', 1, tools, "none", (tools, "", "C:\\Tools", 1)),
            ("no_args_style", f'"{tools}"', 7, tools, "none", (tools, "", "C:\\Tools", 7)),
            ("drive_root", '"C:\\rec.exe"', 1, "C:\\rec.exe", "none", ("C:\\rec.exe", "", "C:\\", 1)),
            ("bare_name", '"bare.exe"', 1, "bare.exe", "none", (WORK + "\\bare.exe", "", WORK, 1)),
            ("quoted_spaced", f'"{spaced}" -min', 1, f"{spaced} -min", "none",
             (spaced, "-min", "C:\\Program Files\\Tools", 1)),
            ("joined_after_quote", f'"{tools}"/x', 1, f"{tools}/x", "none", (tools, "/x", "C:\\Tools", 1)),
            ("unquoted", f"{tools} /a", 1, f"{tools} /a", "none", (tools, "/a", "C:\\Tools", 1)),
            ("missing", '"C:\\Tools\\missing.exe"', 1, "C:\\Tools\\missing.exe", "StartError", None),
            # Not in the current folder: the copies on the PATH and in the system's folder never stand in.
            ("bare_gone", '"report.exe"', 1, "report.exe", "StartError", None),
            ("missing_args", '"C:\\Tools\\missing.exe /a"', 1, "C:\\Tools\\missing.exe /a", "StartError",
             None),
        ]
        results = {}
        for name, command, style, _, _, _ in table:
            program, log = self.shell_run(name, command, style)
            results[name] = (program.json(), log)
        started = wait_for_records(self.session, [(log, 0 if row[5] is None else 1)
                                                  for row, (_, log) in zip(table, results.values())])
        for name, command, style, after, thrown, start in table:
            with self.subTest(name):
                out, log = results[name]
                self.assertEqual(out["thrown"], thrown, f"{name}: {out['message']}")
                self.assertEqual(out["commandLine"], after, f"{name}: the caller's text afterwards")
                self.check_start(name, started[log], start)

    def test_browser(self):
        # (name, command line, window style, names taken beforehand, start when associated)
        table = [
            ("address", f'"{ADDRESS}"', 1, 0, (BROWSER, ADDRESS, WORK, 1)),
            ("address_style", f'"{ADDRESS}"', 7, 0, (BROWSER, ADDRESS, WORK, 7)),  # the window style asked for
            ("inner_quotes", '"http://example.invalid/say?q="hi""', 1, 0,
             (BROWSER, "http://example.invalid/say?q=hi", WORK, 1)),
            ("names_taken", f'"{ADDRESS}"', 1, 3, (BROWSER, ADDRESS, WORK, 1)),
        ]
        self.sc.write(WORK + "\\assoc.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_CLASSES_ROOT\\.htm]\r\n"
                      f'@="{PROG_ID}"\r\n\r\n'
                      f"[HKEY_CLASSES_ROOT\\{PROG_ID}\\shell\\open\\command]\r\n"
                      f'@="\\"{BROWSER.replace(chr(92), chr(92) * 2)}\\" \\"%1\\""\r\n')
        reg(self.session, "import", WORK + "\\assoc.reg")
        found = self.find_executable()
        self.assertTrue(found["found"], f"the .htm association does not resolve: code {found['code']}")
        self.assertEqual(found["result"].lower(), BROWSER.lower())
        results = {}  # name: (row, whether the browser opens, output, log)
        for row in table:
            program, log = self.shell_run(row[0], *row[1:4])
            results[row[0]] = (row, True, program.json(), log)

        # A temporary folder that cannot hold the probe file: the lookup fails despite the association.
        temp = self.session.unix(results["address"][2]["tempFolder"])
        os.rename(temp, temp + ".away")
        open(temp, "w").close()
        try:
            program, log = self.shell_run("no_temp_folder", table[0][1])
            self.dismiss_browser_error("no_temp_folder")
            results["no_temp_folder"] = (table[0], False, program.json(), log)
        finally:
            os.remove(temp)
            os.rename(temp + ".away", temp)

        reg(self.session, "delete", "HKCR\\.htm", "/f")
        reg(self.session, "delete", f"HKCR\\{PROG_ID}", "/f")
        gone = self.find_executable()
        self.assertFalse(gone["found"], "the .htm association is still there")
        self.assertEqual(gone["code"], 1155, "the lookup's reason for an unassociated type")
        for row in table:
            name = "unassociated_" + row[0]
            program, log = self.shell_run(name, *row[1:4])
            self.dismiss_browser_error(name)
            results[name] = (row, False, program.json(), log)

        started = wait_for_records(self.session, [(log, int(opens)) for _, opens, _, log in results.values()])
        for name, ((_, command, _, taken, start), opens, out, log) in results.items():
            with self.subTest(name):
                self.assertEqual(out["thrown"], "none", f"{name}: {out['message']}")
                self.assertEqual(out["commandLine"], command, f"{name}: the caller's text changed")
                self.check_start(name, started[log], start if opens else None)
                self.assertEqual(len(out["taken"]), taken)
                self.assertTrue(out["takenIntact"], f"{name}: a name taken beforehand was touched")
                self.assertEqual(set(out["after"]) - set(out["before"]), set(out["taken"]),
                                 f"{name}: left in {out['tempFolder']}")
                self.assertEqual(set(out["before"]) - set(out["after"]), set(), f"{name}: removed from temp")


class Sequence(lwtest.TestCase):
    def test_profile_with_arguments(self):
        with self.session.scenario("sequence") as sc:
            sc.install_recorder("C:\\Tools\\rec.exe")
            sc.write_ini("[Paths]\r\nPath1=C:\\Tools\\rec.exe /session:1\r\nDelay1=0\r\n")
            run = sc.start(watchdog=40)
            got = lwtest.wait_records(sc, 1, timeout=10)
            self.assertEqual(len(got), 1, got)
            rec = got[0]
            self.assertEqual(rec["module"].lower(), "c:\\tools\\rec.exe")
            self.assertEqual(lwtest.arguments_of(rec["cmdline"]), "/session:1", rec["cmdline"])
            self.assertEqual(rec["cwd"].lower(), sc.folder.lower(),
                             "the fallback start has no working folder")
            self.assertEqual(rec["show"], 1)
            self.assertAbout(rec["time_ms"] / 1000 - run.start_wall, 2.0, low=0.3, high=1.5, what="start")
            run.assert_no_dialog()
            run.wait_exit(15)
            self.assertEqual(len(sc.recorded()), 1, "started more than once")

    def test_start_options(self):
        with self.session.scenario("options") as sc:
            folder = sc.folder
            rec = folder + "\\bin\\rec.exe"
            work = folder + "\\work"
            docs = folder + "\\docs"
            sc.install_recorder(rec)
            sc.install_recorder(work + "\\rec.exe")  # a decoy: a relative program must not be found here
            # The program checked at loading, deleted before its turn, and copies of its name on the PATH.
            sc.install_recorder(folder + "\\report.exe")
            for decoy in ("C:\\lwpath\\report.exe", "C:\\windows\\report.exe"):
                sc.install_recorder(decoy)
            for name in ("plan.lwdoc", "rel.lwdoc", "x.lwnone"):
                sc.write(docs + "\\" + name, "document\r\n")
            register_openers(self.session, sc, rec)
            env = {"LW_APPS": folder + "\\bin", "LW_WORK": work, "WINEPATH": "C:\\lwpath"}
            link = "lwtest://run/13"
            address = "https://example.invalid/board?p=14"
            # (PathN as written, or None for none; the other keys; the entry after expansion; option lines;
            #  the start: (arguments, window state asked, current folder) or None)
            table = [
                (f"{rec} /p1", ["Window1=Normal"], f"{rec} /p1", ["shellPathWindow({k}) = Normal"],
                 ("/p1", 1, folder)),
                (f"{rec} /p2", ["Window2= nofocus "], f"{rec} /p2", ["shellPathWindow({k}) = NoFocus"],
                 ("/p2", 4, folder)),
                (f"{rec} /p3", ["Window3=MINIMIZED"], f"{rec} /p3", ["shellPathWindow({k}) = Minimized"],
                 ("/p3", 7, folder)),
                (f"{rec} /p4", ["Window4=Maximized"], f"{rec} /p4", ["shellPathWindow({k}) = Maximized"],
                 ("/p4", 3, folder)),
                (f"{rec} /p5", ["Window5=Hidden"], f"{rec} /p5", ["shellPathWindow({k}) = Hidden"],
                 ("/p5", 0, folder)),
                (rec, ["Window6=Iconic", f"StartIn6={work}"], rec,
                 ["Ignoring Window6=Iconic", f"shellPathStartIn({{k}}) = {work}"], ("", 1, work)),
                ("%LW_APPS%\\rec.exe /p7", ["StartIn7=%lw_work%"], f"{rec} /p7",
                 [f"shellPathStartIn({{k}}) = {work}"], ("/p7", 1, work)),
                ("bin\\rec.exe /p8", ["StartIn8=work", "Window8=NoFocus"], "bin\\rec.exe /p8",
                 ["shellPathWindow({k}) = NoFocus", "shellPathStartIn({k}) = work"], ("/p8", 4, work)),
                (f"{rec} /p9", [f"StartIn9={folder}\\missing"], f"{rec} /p9",
                 [f"shellPathStartIn({{k}}) = {folder}\\missing"], None),
                (f"{rec} /p10", ["Window10=Minimized", f"Open10={link}"], f"{rec} /p10",
                 ["Ignoring Open10=" + link, "shellPathWindow({k}) = Minimized"], ("/p10", 7, folder)),
                # Documents and links: the handler gets the full path or the link, in the window state asked;
                # a document in its own folder, a link in none of its own (the launcher's).
                (None, [f"Open11={docs}\\plan.lwdoc", "Window11=Maximized"], f"{docs}\\plan.lwdoc",
                 ["shellPathWindow({k}) = Maximized"], (f"{docs}\\plan.lwdoc", 3, docs)),
                (None, ["Open12=docs\\rel.lwdoc"], f"{docs}\\rel.lwdoc", [], (f"{docs}\\rel.lwdoc", 1, docs)),
                (None, [f"Open13={link}", "Window13=Minimized"], link, ["shellPathWindow({k}) = Minimized"],
                 (link, 7, folder)),
                (None, [f"Open14={address}"], address, [], (address, 1, folder)),
                (None, [f"Open15={docs}\\x.lwnone"], f"{docs}\\x.lwnone", [], None),  # no program for the type
                (None, [f"Open16={docs}\\gone.lwdoc"], None, [], None),  # missing at loading: the box
                ("report.exe", [], "report.exe", [], None),  # deleted before its turn
            ]
            sc.write_ini("[Paths]\r\n" + "".join(
                (f"Path{n}={written}\r\n" if written is not None else "") + "".join(k + "\r\n" for k in keys)
                for n, (written, keys, *_) in enumerate(table, 1)))
            run = sc.start(watchdog=60, env=env)
            box = run.dialog(title=x.ERROR_TITLE, timeout=15)
            self.assertEqual(box["text"], x.missing_program_text(16, f"{docs}\\gone.lwdoc"))
            self.assertPlainBox(box)
            run.wait_trace("Loading Settings End")
            os.remove(sc.path(folder + "\\report.exe"))
            run.wait_exit(40)
            reasons = {code: self.session.system_message(code) for code in (267, 1155, 2)}
            failures = {9: x.failed_start(f"{rec} /p9", reasons[267], 267),
                        15: x.failed_start(f"{docs}\\x.lwnone", reasons[1155], 1155),
                        16: x.failed_start("report.exe", reasons[2], 2)}
            for line in failures.values():
                lwtest.log(line)
            profiles = {}
            for n, (written, keys, entry, options, _) in enumerate(table, 1):
                if written is not None:
                    profiles[n] = ("accept", entry, 0, options, written)
                elif entry is None:
                    profiles[n] = ("open_missing", keys[0].split("=", 1)[1])
                else:
                    profiles[n] = ("open", entry, 0, options, keys[0].split("=", 1)[1])
            accepted = sum(1 for row in table if row[2] is not None)
            self.assertTraces(run, x.load_traces(sc.ini, profiles), start=0,
                              then=[line for tick in x.sequence_ticks([0] * accepted, failures) for line in tick])
            starts = [row[4] for row in table if row[4]]
            got = {lwtest.arguments_of(r["cmdline"]).strip('"'): r for r in lwtest.wait_records(sc, len(starts))}
            lwtest.log("profile | value | what the recorder received | window state asked | current folder\n" +
                       "\n".join(f"{n} | {row[0] if row[0] is not None else row[1][0]} | " + (
                           f"{got[row[4][0]]['cmdline']} | {got[row[4][0]]['show_asked']} | {got[row[4][0]]['cwd']}"
                           if row[4] and row[4][0] in got else "(not started) | - | -")
                           for n, row in enumerate(table, 1)))
            self.assertEqual(len(sc.recorded()), len(starts), sc.recorded())
            launches = [t.wall for t in run.traces if t.text == "timerCount reached specified delay.  Executing app..."]
            accepted_rows = [row for row in table if row[2] is not None]
            for n, (_, _, _, _, start) in enumerate(table, 1):
                if start is None:
                    continue
                arguments, show, cwd = start
                with self.subTest(profile=n):
                    tick = launches[accepted_rows.index(table[n - 1])]
                    if arguments in got:
                        self.assertAbout(got[arguments]["time_ms"] / 1000 - tick, 0.0, low=0.3, high=1.5,
                                         what=f"profile {n}'s start after its tick")
                    r = got.get(arguments)
                    self.assertIsNotNone(r, f"profile {n} did not start")
                    self.assertEqual(r["module"].lower(), rec.lower())
                    self.assertEqual(r["show_asked"], show, "window state asked")
                    self.assertEqual(r["cwd"].lower(), cwd.lower(), "current folder")

    def test_one_run_per_settings_file(self):
        """A second start for the same settings file, 0.5 s after the first, writes one line and ends within
        2 s, with no window, box or start of its own; a copy in another folder runs its own sequence beside
        it; a third start for the first file brings the first splash in front of the other copy's. Both
        sequences run whole, each program starting once."""
        with self.session.scenario("single_a") as a, self.session.scenario("single_b") as b:
            delays = [1, 0]
            for sc in (a, b):
                sc.install_recorder(sc.folder + r"\bin\rec.exe")
                sc.write_ini("[Paths]\r\n" + "".join(f"Path{n}={sc.folder}\\bin\\rec.exe /{n}\r\nDelay{n}={d}\r\n"
                                                     for n, d in enumerate(delays, 1)))
            first = a.start(watchdog=40)
            time.sleep(max(0.0, first.start_wall + 0.5 - time.time()))
            second = a.start(watchdog=20)
            second_end = second.wait_exit(2.0)
            lwtest.log(f"second start ended {second_end - second.start_wall:.2f} s after it began")
            self.assertEqual(second.texts(), [f"Already running for {a.ini}"])
            self.assertEqual(second.proc.returncode, 0)
            hwnd_a = first.window(timeout=10, settle=0)["hwnd"]
            other = b.start(watchdog=40)
            deadline = time.monotonic() + 10
            while not (splashes := [w["hwnd"] for w in self.session.visible_windows() if w["title"] == lwtest.TITLE
                                    and w["hwnd"] != hwnd_a]) and time.monotonic() < deadline:
                time.sleep(0.1)
            self.assertTrue(splashes, "the other copy's splash did not show")
            time.sleep(0.3)
            self.assertEqual(self.foreground(), splashes[0], "the other copy's splash shows last, in front")
            third = a.start(watchdog=20)
            third.wait_exit(2.0)
            self.assertEqual(third.texts(), [f"Already running for {a.ini}"])
            time.sleep(0.3)
            self.assertEqual(self.foreground(), hwnd_a, "the running splash was not brought to the front")
            for sc, run in ((a, first), (b, other)):
                run.wait_exit(20)
                self.assertEqual(run.proc.returncode, 0)
                loaded = run.texts().index("Loading Settings End") + 1
                self.assertEqual(run.texts()[loaded:], [line for tick in x.sequence_ticks(delays) for line in tick])
                self.assertEqual([lwtest.arguments_of(r["cmdline"]) for r in lwtest.wait_records(sc, 2)],
                                 ["/1", "/2"], "each program started once")

    def foreground(self):
        return self.session.driver("window", "--title", lwtest.TITLE)[1][-1]["foreground"]


if __name__ == "__main__":
    lwtest.main()
