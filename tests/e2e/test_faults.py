"""Faults around the program: a settings folder it cannot write, programs that cannot be started, a shell
request that is refused, no browser for web addresses, the temporary file's name already taken, and the log
file of [Options] LogFile: over two runs, rotated from 1.1 MiB, never touched by a second start, and in a
folder that does not exist.

In each case the program goes on, ends by itself, and leaves nothing behind: no file beside it but the
recorder's log, no new or changed file in C:\\ or the temporary folders. The program makes its probe page
for the browser look-up under a name of its own in the temporary folder (skipping names already taken),
so a C:\\temphtm.HTM that is already there belongs to someone else and stays as it was.

Two set-ups need care under Wine, where the tests run as root:
- chmod does not stop root, so the settings file is made a dangling symbolic link into /proc/<no such
  process>/: creating the file through it fails for every user.
- A web-address entry must pass the loader's existence test up to ".exe". Wine maps a DOS name to a Unix
  name of the same spelling, so "http://host/x.exe" exists when the program's current folder holds a Unix
  folder "http:" with host/x.exe in it (on Windows no file name can hold a colon).
"""

import glob
import os
import re
import subprocess
import time

import expected as x
import lwtest

WEB = "http://host/x.exe"
TEMP_HTM = r"C:\temphtm.HTM"
BROWSER_BOX = ("Browser Error", "Could not open browser")
COMPLETE = "currentShellPath > shellPathCount"
LAUNCH = "timerCount reached specified delay.  Executing app..."


def no_such_pid():
    pid = 4_000_000
    while os.path.exists(f"/proc/{pid}"):
        pid += 1
    return pid


class Faults(lwtest.TestCase):
    def reg(self, *args, check=True):
        r = subprocess.run([lwtest.WINE, "reg", *args], env=self.session.env(), capture_output=True,
                           timeout=60)
        if check:
            self.assertEqual(r.returncode, 0, f"reg {args}: {r.stdout!r} {r.stderr!r}")

    def take_probe_names(self, pid, started_ms):
        """Takes the program's probe names ZVKLaunchwick-<pid>-<n>.HTM in the temporary folders. Its first n
        is its tick count at start, which under Wine is the monotonic clock in ms (about 0.1 to 1 s after the
        start here); every name from half a second before the start to 2.5 s after is taken except one in
        each hundred, so the program almost surely meets a taken name and needs fewer than a hundred tries
        to find a free one."""
        taken = []
        first = int(started_ms)
        for folder in self.temp_folders()[1:]:  # the users' folders: where GetTempPath points
            for n in range(first - 500, first + 2500):
                if n % 100 != 99:
                    path = os.path.join(folder, f"ZVKLaunchwick-{pid:x}-{n:x}.HTM")
                    try:
                        with open(path, "xb") as f:
                            f.write(b"taken")
                        taken.append(path)
                    except FileExistsError:
                        pass
        lwtest.log(f"took {len(taken)} probe names in {time.monotonic() * 1000 - started_ms:.0f} ms after start")
        return taken

    def temp_folders(self):
        drive = self.session.unix("C:\\")
        return [os.path.join(drive, "windows", "temp"), *glob.glob(os.path.join(drive, "users", "*", "Temp"))]

    def temp_files(self):
        """Files in C:\\, C:\\windows\\temp and the users' temporary folders (name -> size)."""
        drive = self.session.unix("C:\\")
        found = {}
        for folder in [drive, *self.temp_folders()]:
            for name in os.listdir(folder) if os.path.isdir(folder) else []:
                path = os.path.join(folder, name)
                if os.path.isfile(path) or os.path.islink(path):
                    found[os.path.relpath(path, drive)] = os.path.getsize(path) if os.path.isfile(path) else -1
        return found

    def test_settings_folder_cannot_be_written(self):
        with self.session.scenario("unwritable") as sc:
            sc.install_recorder(sc.folder + r"\notepad.exe")
            ini = sc.path(sc.ini)
            os.symlink(f"/proc/{no_such_pid()}/gone/ZVKLaunchwick.ini", ini)
            with self.assertRaises(OSError, msg="the set-up must stop even root from creating the file"):
                open(ini, "wb").close()
            before = sorted(os.listdir(sc.unix_folder))
            run = sc.start()
            box = run.dialog(x.WELCOME_TITLE)
            self.assertEqual(box["text"], x.welcome_text(sc.ini))
            self.assertPlainBox(box)
            ended = run.wait_exit(15)
            self.assertEqual(run.proc.returncode, 0)
            self.assertEqual(run.texts(), [x.trace_not_found(sc.ini), "Could not write to " + sc.ini])
            self.assertEqual([lwtest.arguments_of(r["cmdline"]) for r in lwtest.wait_records(sc, 1)], [sc.ini],
                             "Notepad started on the file")
            self.assertAbout(ended - box["acted_ms"] / 1000, x.EXIT_DELAY, what="end after the welcome box")
            self.assertFalse(os.path.exists(ini), "a settings file was left")
            self.assertTrue(os.path.islink(ini))
            self.assertEqual(sorted(os.listdir(sc.unix_folder)), sorted(before + ["recorded.log"]))

    # (name, set-up, profiles (entry templates, {F} = the program's folder), boxes, arguments the recorder
    # sees in order). Set-ups: assoc = the .htm association (None: none; "rec": the recorder as browser);
    # temp = what is in the way: None; "fixed" = a file C:\temphtm.HTM; "names" = the program's own probe
    # names in the temporary folders (see take_probe_names).
    CASES = [
        ("unstartable_programs", dict(assoc=None, temp=None),
         [r"{F}\text.exe", r"{F}\empty.exe", r"{F}\bin\rec.exe /refused-then-fallback", r"{F}\bin\rec.exe"],
         [], ["/refused-then-fallback", ""]),  # the refused request falls back to a start without a folder
        ("no_browser_association", dict(assoc=None, temp=None),
         [WEB, r"{F}\bin\rec.exe /after"], [BROWSER_BOX], ["/after"]),
        ("fixed_temp_name_taken", dict(assoc=None, temp="fixed"),
         [WEB, r"{F}\bin\rec.exe /after"], [BROWSER_BOX], ["/after"]),
        ("browser_found", dict(assoc="rec", temp=None),
         [WEB, r"{F}\bin\rec.exe /after"], [], [WEB, "/after"]),
        ("browser_found_probe_names_taken", dict(assoc="rec", temp="names", delay=3),
         [WEB, r"{F}\bin\rec.exe /after"], [], [WEB, "/after"]),
    ]

    # Starts that fail, by case: profile number -> the system's error code, which the trace line reports in
    # the prefix's own words. A file named .exe that is no program cannot be run (ERROR_BAD_EXE_FORMAT).
    FAILED_STARTS = {"unstartable_programs": {1: 193, 2: 193}}

    def test_launch_faults(self):
        for name, setup, entries, boxes, arguments in self.CASES:
            with self.subTest(name):
                self.launch_case(name, setup, entries, boxes, arguments)

    def launch_case(self, name, setup, entries, boxes, arguments):
        sc = self.session.scenario("f_" + name)
        with sc:
            sc.install_recorder(sc.folder + r"\notepad.exe")
            sc.install_recorder(sc.folder + r"\bin\rec.exe")
            sc.write(sc.folder + r"\text.exe", "this is no program\r\n")
            sc.write(sc.folder + r"\empty.exe", b"")
            sc.write(sc.folder + r"\http:\host\x.exe", b"")
            self.set_association(setup["assoc"], sc.folder + r"\bin\rec.exe")
            temp_unix = self.session.unix(TEMP_HTM)
            taken = []
            if setup["temp"] == "fixed":
                sc.write(TEMP_HTM, "taken\r\n")
            sc.write_ini("[Paths]\r\n" + "".join(f"Path{n}={e.format(F=sc.folder)}\r\n" for n, e in
                                                 enumerate(entries, 1)) + f"Delay1={setup.get('delay', 0)}\r\n")
            folder_before = sorted(os.listdir(sc.unix_folder))
            temp_before = self.temp_files()
            started_ms = time.monotonic() * 1000
            run = sc.start()
            try:
                pid = run.window()["pid"]
                if setup["temp"] == "names":
                    taken = self.take_probe_names(pid, started_ms)
                    temp_before = self.temp_files()
                seen = []
                for title, text in boxes:
                    box = run.dialog(title, timeout=15)
                    self.assertPlainBox(box)
                    seen.append((box["title"], box["text"]))
                self.assertEqual(seen, boxes)
                run.wait_trace(COMPLETE, timeout=20)
                complete = next(t.wall for t in run.traces if t.text == COMPLETE)
                ended = run.wait_exit(15)
                self.assertEqual(run.proc.returncode, 0)
                self.assertEqual(run.texts().count(LAUNCH), len(entries), "every profile launched, one after the other")
                failed = self.FAILED_STARTS.get(name, {})
                lines = run.texts()
                self.assertEqual([lines[i - 1:i + 1] for i, line in enumerate(lines) if line.startswith("Could not start ")],
                                 [[LAUNCH, x.failed_start(entries[n - 1].format(F=sc.folder),
                                                          self.session.system_message(code), code)]
                                  for n, code in sorted(failed.items())], "failed starts, each after its launch line")
                self.assertAbout(ended - complete, x.EXIT_DELAY, what="end after the completion tick")
                records = lwtest.wait_records(sc, len(arguments))
                self.assertEqual([lwtest.arguments_of(r["cmdline"]) for r in records], arguments)
                if name == "unstartable_programs":
                    # Working folders tell the two starts apart: the fallback gets none (the program's
                    # current folder), the accepted request gets the program's own folder.
                    self.assertEqual([r["cwd"].lower() for r in records],
                                     [sc.folder.lower(), (sc.folder + r"\bin").lower()])
                self.assertEqual(sorted(os.listdir(sc.unix_folder)), sorted(folder_before + ["recorded.log"]),
                                 "files beside the program")
                after = self.temp_files()
                changed = sorted(k for k in set(after) | set(temp_before) if after.get(k) != temp_before.get(k))
                self.assertEqual(changed, [], "files left or changed in C:\\ or the temporary folders")
                if setup["temp"] == "fixed":
                    self.assertEqual(sc.read(TEMP_HTM), b"taken\r\n", "a file of another program was changed")
                for t in taken:
                    with open(t, "rb") as f:
                        self.assertEqual(f.read(), b"taken", f"a file of another program was changed: {t}")
            finally:
                for t in taken:
                    os.remove(t)
                if os.path.lexists(temp_unix):
                    os.remove(temp_unix)
                self.set_association(None, None)

    def test_log_file(self):
        with self.session.scenario("logged") as sc:
            sc.install_recorder(sc.folder + r"\notepad.exe")
            sc.install_recorder(sc.folder + r"\bin\rec.exe")
            entry = sc.folder + r"\bin\rec.exe /logged"
            # %NAME% expanded, relative to the settings file's folder.
            sc.write_ini(f"[Paths]\r\nPath1={entry}\r\nDelay1=0\r\n[Options]\r\n"
                         "LogFile = %LW_LOG_FOLDER%\\launchwick.log \r\n")
            log = sc.folder + r"\logs\launchwick.log"
            older = b"".join(b"%07d an older line\r\n" % n for n in range(55_000))[:1_153_434]  # 1.1 MiB
            sc.write(log, older)
            sc.write(log + ".old", b"the oldest\r\n")
            traces = x.load_traces(sc.ini, {1: ("accept", entry, 0)}) + [
                line for tick in x.sequence_ticks([0]) for line in tick]
            runs = []
            for n in range(2):
                run = sc.start(env={"LW_LOG_FOLDER": "logs"})
                if n == 1:
                    run.wait_trace(COMPLETE, timeout=20)
                    second = sc.start(env={"LW_LOG_FOLDER": "logs"})
                    second.wait_exit(15)
                    self.assertEqual(second.texts(), ["Already running for " + sc.ini])
                run.wait_exit(20)
                self.assertEqual(run.texts(), traces, "the trace for the debugger")
                runs.append(run)
            self.assertEqual(sc.read(log + ".old"), older, "the log above 1 MiB, renamed")
            lines = sc.read(log).decode(lwtest.ANSI).split("\r\n")
            self.assertEqual(lines[-1], "", "the last line ends with CR LF")
            stamped = [re.fullmatch(r"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) (.*)", line) for line in lines[:-1]]
            self.assertTrue(all(stamped), [line for line, m in zip(lines, stamped) if not m][:3])
            header = x.log_header(sc.ini)
            self.assertEqual([m.group(2) for m in stamped], [header, *traces, header, *traces])
            # Each line has the local time it was made, within its own run.
            for run, part in zip(runs, (stamped[:len(traces) + 1], stamped[len(traces) + 1:])):
                for m in part:
                    seconds = time.mktime(time.strptime(m.group(1)[:19], "%Y-%m-%d %H:%M:%S"))
                    made = seconds + int(m.group(1)[20:]) / 1000
                    self.assertTrue(run.start_wall - 1 <= made <= run.exit_wall + 1, f"{m.group(0)} outside its run")
            lwtest.log("log over two runs:\n" + "\n".join(lines[:4] + ["..."] + lines[len(traces):len(traces) + 4]
                                                        + ["..."] + lines[-4:-1]))

            # A log in a folder that does not exist: one trace line, and the run goes on without a log.
            missing = sc.folder + r"\no such folder\launchwick.log"
            sc.write_ini(f"[Paths]\r\nPath1={entry}\r\nDelay1=0\r\n[Options]\r\nLogFile={missing}\r\n")
            run = sc.start()
            run.wait_exit(20)
            end = traces.index("Loading Settings End")
            self.assertEqual(run.texts(), [*traces[:end], "Could not write to " + missing, *traces[end:]])
            self.assertFalse(os.path.exists(os.path.dirname(sc.path(missing))), "the log's folder was made")

    def set_association(self, kind, program):
        if kind is None:
            self.reg("delete", r"HKCR\.htm", "/f", check=False)
            self.reg("delete", r"HKCR\lwtest.htm", "/f", check=False)
            return
        self.reg("add", r"HKCR\.htm", "/ve", "/d", "lwtest.htm", "/f")
        self.reg("add", r"HKCR\lwtest.htm\shell\open\command", "/ve", "/d", f'"{program}" "%1"', "/f")


if __name__ == "__main__":
    lwtest.main()
