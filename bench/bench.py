"""Benchmark, run by hand: ZVKLaunchwick.exe against the yardstick (bench/yardstick.cpp) under Wine.

Both programs read the same settings file and run in turn on one warm Wine prefix (wineserver kept running)
on a private Xvfb, in two set-ups: "starts", 20 profiles of delay 0, each starting recorder.exe (without
arguments); "ticks", one profile of delay 19 (20 sequence ticks, one start). Both set-ups end 27 s after the
first timer is armed. Every round runs each program once in each set-up, the order rotated from round to
round. For each run: start-up (process start to the window visible, and to its first pixels on the screen,
seen by probe.exe polling every 1 ms), peak memory (VmHWM of the program's own process, and ru_maxrss from
wait4), CPU time (user + system from wait4, and that of the sequence alone, from the threads' schedstat
read every 50 ms) and the time from window visible to process end against the ideal of the timer schedule. Also the size and imported DLLs of both executables. With --variant, other
builds of the launcher run in the same rounds (the CPU split, bench/split.sh). Prints Markdown tables and
keeps every run in <out>/runs.json. Standard library only.

    python3 bench/bench.py --launcher build/mingw/ZVKLaunchwick.exe --yardstick build/bench/cmake/yardstick.exe \
        --probe build/bench/cmake/probe.exe --recorder build/mingw/tests/e2e/tools/recorder.exe --pairs 7
"""

import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import lwtest  # noqa: E402  (Xvfb, prefix template and Wine environment of the end-to-end tests)

ROOT_WIN = r"C:\lwbench"
LAUNCHER_TITLE = lwtest.TITLE
YARDSTICK_TITLE = "Yardstick"
SETTINGS = "ZVKLaunchwick.ini"  # both programs read this file beside them
SETUPS = {"starts": [0] * 20, "ticks": [19]}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
               "comctl32.dll", "msvcrt.dll", "advapi32.dll", "shlwapi.dll", "comdlg32.dll"}
# Pause between the probe's first poll and the program's start, so the probe's own start-up is over.
PROBE_SETTLE_S = 0.05
# The goals: ratios to the yardstick, the schedule's deviation, the size limit.
GOALS = {"painted": 1.10, "memory": 1.05, "cpu": 1.10, "schedule_pct": 0.1, "size_kib": 160}
# Where --readme writes the tables of a full measurement, in place of what stood there.
README_BEGIN = "<!-- The latest full run: written by bench/bench.py --readme, do not edit by hand. -->"
README_END = "<!-- End of the latest full run. -->"


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


class Program:
    """One measured program in one set-up, in its own folder on drive C: with the set-up's settings."""

    def __init__(self, bench, name, exe_src, title, setup, recorder_win):
        delays = SETUPS[setup]
        self.bench, self.name, self.title, self.setup = bench, name, title, setup
        self.ideal_s = ideal_seconds(delays)
        self.expect_launches = len(delays)
        self.folder = ROOT_WIN + "\\" + f"{name}-{setup}"
        self.exe = self.folder + "\\" + os.path.basename(exe_src)
        self.record_log = self.folder + "\\recorded.log"
        self.args = []
        unix = bench.unix(self.folder)
        shutil.rmtree(unix, ignore_errors=True)
        os.makedirs(unix)
        shutil.copy2(exe_src, bench.unix(self.exe))
        with open(bench.unix(self.folder + "\\" + SETTINGS), "wb") as f:
            f.write(settings(recorder_win, delays).encode("cp1252"))

    def launches(self):
        try:
            with open(self.bench.unix(self.record_log), "rb") as f:
                return sum(1 for line in f if line.strip())
        except FileNotFoundError:
            return 0


def settings(recorder_win, delays):
    # No arguments: the launcher then starts each program with one ShellExecuteW call, as the yardstick does
    # with ShellExecuteA.
    lines = ["[Paths]"]
    for n, delay in enumerate(delays, 1):
        lines += [f"Path{n}={recorder_win}", f"Delay{n}={delay}"]
    return "\r\n".join(lines) + "\r\n"


def ideal_seconds(delays):
    # The start tick 1 s after the timer is armed, one tick per second of delay and one per start, the
    # completion tick, then 5 s to the end.
    return sum(max(d, 0) + 1 for d in delays) + 7


class Bench:
    def __init__(self, args):
        self.args = args
        self.out = os.path.abspath(args.out)
        self.prefix = os.path.join(self.out, "prefix")
        self.xvfb = None
        self.display = None

    # -- Wine ------------------------------------------------------------------------------------------

    def env(self, extra=None):
        return lwtest.wine_env(self.prefix, self.display, "-all", extra)

    def unix(self, win_path):
        return lwtest.win_to_unix({"c": os.path.join(self.prefix, "drive_c")}, win_path)

    def open(self):
        os.makedirs(self.out, exist_ok=True)
        self.xvfb = lwtest.Xvfb().start()
        self.display = self.xvfb.display
        # A prefix of the benchmark's own, made once and kept: later runs find its files in the page cache.
        if not os.path.exists(os.path.join(self.prefix, lwtest.TEMPLATE_STAMP)):
            lwtest.make_template(self.prefix, self.display)
        subprocess.run([lwtest.WINESERVER, "-p"], env=self.env(), timeout=30)
        tools = self.unix(ROOT_WIN + "\\tools")
        shutil.rmtree(tools, ignore_errors=True)
        os.makedirs(tools)
        shutil.copy2(self.args.probe, tools)
        self.probe_exe = ROOT_WIN + "\\tools\\probe.exe"
        # Starts the prefix's services (explorer, services.exe...) before anything is measured.
        self.run_probe_once()
        self.recorder_win = ROOT_WIN + "\\tools\\recorder.exe"
        shutil.copy2(self.args.recorder, self.unix(self.recorder_win))

    def close(self):
        if self.display:
            subprocess.run([lwtest.WINESERVER, "-k"], env=self.env(), timeout=30, stderr=subprocess.DEVNULL)
            subprocess.run([lwtest.WINESERVER, "-w"], env=self.env(), timeout=30, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.stop()

    def run_probe_once(self):
        subprocess.run([lwtest.WINE, self.probe_exe, "no such window", "0"], env=self.env(), timeout=60,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # -- one run -----------------------------------------------------------------------------------------

    def run(self, program, label):
        """Starts the program once and measures it; returns a dict of the run's numbers."""
        record_unix = self.unix(program.record_log)
        if os.path.exists(record_unix):
            os.remove(record_unix)
        env = self.env({"LW_RECORD_LOG": program.record_log})
        probe = subprocess.Popen([lwtest.WINE, self.probe_exe, program.title, "20000"], env=env,
                                 stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 text=True)
        ready = probe.stdout.readline().split()
        if not ready or ready[0] != "ready":
            probe.kill()
            raise RuntimeError(f"{label}: probe did not start: {ready}")
        time.sleep(PROBE_SETTLE_S)

        start = time.time()
        proc = subprocess.Popen([lwtest.WINE, program.exe, *program.args], cwd=self.unix(program.folder), env=env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ended = {}

        def reap():
            # wait4, not Popen.wait: the kernel's rusage of the process (CPU time, peak RSS).
            _, status, usage = os.wait4(proc.pid, 0)
            ended.update(wall=time.time(), status=status, usage=usage)

        reaper = threading.Thread(target=reap, daemon=True)
        reaper.start()

        samples = {"hwm_kb": 0, "cmdline": "", "proc_cpu_ticks": 0, "series": []}
        deadline = time.monotonic() + program.ideal_s + 30
        while reaper.is_alive():
            self.sample(proc.pid, samples)
            if time.monotonic() > deadline:
                os.kill(proc.pid, 9)
                raise RuntimeError(f"{label}: still running {program.ideal_s + 30} s after its start")
            reaper.join(0.05)
        proc.returncode = os.waitstatus_to_exitcode(ended["status"])

        seen = probe.stdout.readline().split()
        painted_line = probe.stdout.readline().split()
        probe.wait(30)
        visible = int(seen[1]) / 1e6 if seen and seen[0] == "visible" else None
        painted = int(painted_line[1]) / 1e6 if painted_line and painted_line[0] == "painted" else None
        if visible is None or painted is None:
            # Kept in runs.json, left out of the timing statistics, and counted in the report.
            log(f"{label}: WARNING: window {program.title!r} not seen visible and painted: {seen} {painted_line}")
        usage = ended["usage"]
        launches = program.launches()
        result = {
            "label": label,
            "program": program.name,
            "setup": program.setup,
            "startup_ms": (visible - start) * 1000 if visible else None,
            "painted_ms": (painted - start) * 1000 if painted else None,
            "probe_polls": int(seen[2]) if len(seen) > 2 else None,
            "visible_to_end_s": ended["wall"] - visible if visible else None,
            "ideal_s": program.ideal_s,
            "cpu_ms": (usage.ru_utime + usage.ru_stime) * 1000,
            "cpu_user_ms": usage.ru_utime * 1000,
            "cpu_sys_ms": usage.ru_stime * 1000,
            "proc_cpu_ms": samples["proc_cpu_ticks"] * 1000 / os.sysconf("SC_CLK_TCK"),
            # The sequence alone, without start-up and end: from 0.5 s after the first pixels (the start tick
            # comes about 1 s after them) to 4.5 s before the end (the completion tick about 5 s before it).
            "cpu_sequence_ms": cpu_between(samples["series"], painted + 0.5, ended["wall"] - 4.5) if painted else None,
            "maxrss_kb": usage.ru_maxrss,
            "vmhwm_kb": samples["hwm_kb"],
            "cmdline": samples["cmdline"],
            "exit": proc.returncode,
            "launches": launches,
            "load1": os.getloadavg()[0],
        }
        result["schedule_pct"] = ((result["visible_to_end_s"] - program.ideal_s) / program.ideal_s * 100
                                  if visible else None)
        if launches != program.expect_launches:
            log(f"{label}: WARNING: {launches} programs started, expected {program.expect_launches}")
        if visible:
            painted_text = f" (painted {result['painted_ms']:.1f} ms)" if painted else ""
            log(f"{label}: start-up {result['startup_ms']:.1f} ms{painted_text}, visible to end "
                f"{result['visible_to_end_s']:.3f} s ({result['schedule_pct']:+.3f} %), CPU {result['cpu_ms']:.0f} ms "
                f"(user {result['cpu_user_ms']:.0f}, sequence {result['cpu_sequence_ms'] or 0:.1f}), VmHWM {result['vmhwm_kb']} kB, maxrss {result['maxrss_kb']} kB, "
                f"started {launches}, load {result['load1']:.2f}")
        return result

    @staticmethod
    def sample(pid, samples):
        """Peak RSS and CPU ticks of the process from /proc; a zombie has no VmHWM, so keep the last values.
        Also the CPU time of all its threads to the nanosecond (schedstat), with the time it was read."""
        try:
            runtime = 0
            for task in os.listdir(f"/proc/{pid}/task"):
                with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                    runtime += int(f.read().split()[0])
            samples["series"].append((time.time(), runtime))
        except (FileNotFoundError, ProcessLookupError, IndexError, ValueError):
            pass
        try:
            with open(f"/proc/{pid}/status") as f:
                m = re.search(r"^VmHWM:\s+(\d+) kB", f.read(), re.M)
            if m:
                samples["hwm_kb"] = max(samples["hwm_kb"], int(m.group(1)))
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            ticks = int(fields[11]) + int(fields[12])  # utime, stime
            if ticks:
                samples["proc_cpu_ticks"] = ticks
            if not samples["cmdline"]:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    samples["cmdline"] = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
        except (FileNotFoundError, ProcessLookupError, IndexError):
            pass


# -- load, statistics, table ------------------------------------------------------------------------------

def wait_for_load(threshold, max_wait_s):
    started = time.monotonic()
    while True:
        load1 = os.getloadavg()[0]
        if load1 < threshold:
            log(f"load average {load1:.2f} < {threshold}: measuring")
            return load1, True
        waited = time.monotonic() - started
        if waited >= max_wait_s:
            log(f"load average still {load1:.2f} after {waited / 60:.0f} min: measuring anyway")
            return load1, False
        log(f"load average {load1:.2f} >= {threshold}: waiting")
        time.sleep(min(30, max_wait_s - waited))


def cpu_between(series, begin, end):
    """CPU time in ms of the process's threads between two wall times, from the samples nearest inside."""
    inside = [(t, ns) for t, ns in series if begin <= t <= end]
    if len(inside) < 2:
        return None
    return (inside[-1][1] - inside[0][1]) / 1e6


def imports(exe):
    out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], capture_output=True, text=True,
                         check=True).stdout
    return re.findall(r"DLL Name: (\S+)", out)


def spread(values):
    return statistics.median(values), min(values), max(values)


def fmt(values, scale=1.0, digits=1):
    med, lo, hi = spread([v * scale for v in values])
    return f"{med:.{digits}f} ({lo:.{digits}f}–{hi:.{digits}f})"


def ratio_row(rows, metric, key, launcher, yardstick, scale, digits, goal):
    p = [r[key] for r in launcher if r[key] is not None]
    b = [r[key] for r in yardstick if r[key] is not None]
    if not p or not b:
        rows.append([metric, "—", "—", "—", f"≤ {goal}×", "no data"])
        return
    ratio = statistics.median(p) / statistics.median(b)
    met = "yes" if ratio <= goal else f"no (+{(ratio / goal - 1) * 100:.1f} % over)"
    rows.append([metric, fmt(p, scale, digits), fmt(b, scale, digits), f"{ratio:.3f}×", f"≤ {goal}×", met])


def markdown(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    return "\n".join(lines + ["| " + " | ".join(row) + " |" for row in rows])


def setup_table(runs, setup):
    launcher = [r for r in runs if r["program"] == "launcher" and r["setup"] == setup]
    yardstick = [r for r in runs if r["program"] == "yardstick" and r["setup"] == setup]
    rows = []
    ratio_row(rows, "Start-up: process start → first pixels on screen (ms)", "painted_ms", launcher, yardstick,
              1, 1, GOALS["painted"])
    ratio_row(rows, "Start-up: process start → window visible (ms)", "startup_ms", launcher, yardstick, 1, 1,
              GOALS["painted"])
    ratio_row(rows, "Peak memory: VmHWM of the exe's process (MiB)", "vmhwm_kb", launcher, yardstick, 1 / 1024,
              2, GOALS["memory"])
    ratio_row(rows, "CPU time: user + system over the whole run (ms)", "cpu_ms", launcher, yardstick, 1, 0,
              GOALS["cpu"])
    ratio_row(rows, "CPU time of the sequence alone, without start-up and end (ms)", "cpu_sequence_ms", launcher,
              yardstick, 1, 1, GOALS["cpu"])
    p = [r["schedule_pct"] for r in launcher if r["schedule_pct"] is not None]
    b = [r["schedule_pct"] for r in yardstick if r["schedule_pct"] is not None]
    if p and b:
        met = abs(statistics.median(p)) <= GOALS["schedule_pct"]
        worst = max(abs(v) for v in p)
        rows.append([f"Schedule: window visible → process end, deviation from the ideal {launcher[0]['ideal_s']} s "
                     "(%)", fmt(p, 1, 3), fmt(b, 1, 3), "—", f"within ±{GOALS['schedule_pct']} %",
                     ("yes" if met else "no") + (f" (worst run {worst:.3f} %)" if worst > GOALS["schedule_pct"]
                                                 else "")])
    header = ["Metric", f"Launcher median (min–max), n={len(launcher)}",
              f"Yardstick median (min–max), n={len(yardstick)}", "Ratio", "Goal", "Met"]
    text = markdown(header, rows)
    unseen = [r["label"] for r in launcher + yardstick if r["painted_ms"] is None]
    if unseen:
        text += f"\n\nWindow not seen visible and painted (left out of the timings): {', '.join(unseen)}"
    return text


def files_table(files):
    launcher, yardstick = files["launcher"], files["yardstick"]
    size_l, size_y = launcher["size"] / 1024, yardstick["size"] / 1024
    system_only = all(d.lower() in SYSTEM_DLLS for d in launcher["imports"])
    rows = [["Executable size (KiB)", f"{size_l:.1f}", f"{size_y:.1f}", f"≤ {GOALS['size_kib']} KiB",
             "yes" if size_l <= GOALS["size_kib"] else "no"],
            ["Imported DLLs", ", ".join(launcher["imports"]), ", ".join(yardstick["imports"]),
             "system DLLs only", "yes" if system_only else "no"]]
    return markdown(["File", "Launcher", "Yardstick", "Goal", "Met"], rows)


def cpu_table(runs, setup, programs):
    rows = []
    for name in programs:
        mine = [r for r in runs if r["program"] == name and r["setup"] == setup]
        if mine:
            sequence = [r["cpu_sequence_ms"] for r in mine if r.get("cpu_sequence_ms") is not None]
            rows.append([name, str(len(mine)), fmt([r["cpu_ms"] for r in mine], 1, 0),
                         fmt([r["cpu_user_ms"] for r in mine], 1, 0), fmt([r["cpu_sys_ms"] for r in mine], 1, 0),
                         fmt(sequence, 1, 1) if sequence else "—"])
    return markdown(["Program", "n", "CPU ms, whole run, median (min–max)", "user", "system",
                     "sequence alone"], rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--yardstick", required=True)
    parser.add_argument("--probe")
    parser.add_argument("--recorder")
    parser.add_argument("--variant", action="append", default=[], metavar="NAME=EXE",
                        help="another build of the launcher (of the yardstick when NAME starts with "
                             "'yardstick'), measured in the same rounds (repeatable)")
    parser.add_argument("--setups", default="starts,ticks", help=f"comma-separated, of {', '.join(SETUPS)}")
    parser.add_argument("--report", metavar="RUNS_JSON", help="only print the tables of an earlier measurement")
    parser.add_argument("--pairs", type=int, default=7, help="rounds: each program once per set-up per round")
    parser.add_argument("--out", default="build/bench")
    parser.add_argument("--load", type=float, default=1.3, help="wait for the 1-min load average below this")
    parser.add_argument("--max-wait", type=float, default=10, help="minutes to wait for the load to drop")
    parser.add_argument("--readme", metavar="PATH",
                        help="write the tables of a full measurement (7 rounds of both set-ups, no variant) "
                             "into PATH, between its markers of the latest run")
    args = parser.parse_args()
    if args.report:
        with open(args.report) as f:
            saved = json.load(f)
        return report(saved["meta"], saved["runs"], args)
    if not (args.probe and args.recorder):
        parser.error("--probe and --recorder are needed to measure")
    setups = [s for s in args.setups.split(",") if s]
    if any(s not in SETUPS for s in setups):
        parser.error(f"unknown set-up in {args.setups}")
    builds = [("launcher", args.launcher, LAUNCHER_TITLE), ("yardstick", args.yardstick, YARDSTICK_TITLE)]
    for variant in args.variant:
        name, _, exe = variant.partition("=")
        builds.append((name, exe, YARDSTICK_TITLE if name.startswith("yardstick") else LAUNCHER_TITLE))

    bench = Bench(args)
    runs = []
    meta = {"pairs": args.pairs, "setups": setups, "programs": [b[0] for b in builds], "niceness": os.nice(0),
            "started": time.strftime("%Y-%m-%d %H:%M")}
    try:
        bench.open()
        programs = {setup: [Program(bench, name, exe, title, setup, bench.recorder_win)
                            for name, exe, title in builds] for setup in setups}
        # Warm-up, not counted: one run of each build, so that the first measured run finds warm caches.
        for program in programs[setups[-1]]:
            bench.run(program, f"warm-up {program.name}")

        meta["load_before"], meta["calm"] = wait_for_load(args.load, args.max_wait * 60)
        for i in range(args.pairs):
            for setup in setups:
                # Rotate the order so that no program always runs first in a round.
                order = programs[setup][i % len(builds):] + programs[setup][:i % len(builds)]
                for program in order:
                    runs.append(bench.run(program, f"round {i + 1} {setup} {program.name}"))
                    time.sleep(1)
        meta["load_after"] = os.getloadavg()[0]
        meta["finished"] = time.strftime("%Y-%m-%d %H:%M")
    finally:
        bench.close()
        with open(os.path.join(bench.out, "runs.json"), "w") as f:
            json.dump({"meta": meta, "runs": runs}, f, indent=1)
    text = report(meta, runs, args)
    with open(os.path.join(bench.out, "table.md"), "w") as f:
        f.write(text + "\n")
    if args.readme:
        full = args.pairs == 7 and setups == list(SETUPS) and not args.variant
        if full:
            write_readme(args.readme, meta, runs, text, os.path.getsize(args.launcher))
        print(f"{args.readme}: {'written' if full else 'left as it was (not a full measurement)'}")


def headline(runs, size):
    """The README's headline: the ratios of both set-ups, a line each, and what each goal asks."""
    rows = []
    for metric, key, goal in (("Start-up to first pixels", "painted_ms", GOALS["painted"]),
                              ("Peak memory", "vmhwm_kb", GOALS["memory"]),
                              ("CPU, whole run", "cpu_ms", GOALS["cpu"]),
                              ("CPU, the sequence alone", "cpu_sequence_ms", GOALS["cpu"])):
        cells = []
        for setup in SETUPS:
            p = [r[key] for r in runs if r["program"] == "launcher" and r["setup"] == setup and r[key] is not None]
            b = [r[key] for r in runs if r["program"] == "yardstick" and r["setup"] == setup and r[key] is not None]
            if not p or not b:
                cells.append("no data")
                continue
            ratio = statistics.median(p) / statistics.median(b)
            cells.append(f"{ratio:.3f}×" + ("" if ratio <= goal else " (missed)"))
        rows.append([metric] + cells + [f"≤ {goal:.2f}×"])
    cells = []
    for setup in SETUPS:
        p = [r["schedule_pct"] for r in runs if r["program"] == "launcher" and r["setup"] == setup
             and r["schedule_pct"] is not None]
        cells.append(f"{statistics.median(p):+.3f} %" + ("" if abs(statistics.median(p)) <= GOALS["schedule_pct"]
                                                        else " (missed)") if p else "no data")
    rows.append(["Schedule, window visible to end, against the ideal 27 s"] + cells +
                [f"within {GOALS['schedule_pct']} %"])
    kib = size / 1024
    rows.append(["Executable size", f"{kib:.1f} KiB" + ("" if kib <= GOALS["size_kib"] else " (missed)"), "",
                 f"≤ {GOALS['size_kib']} KiB"])
    return markdown(["Against the yardstick, median of 7", "20 starts", "One start, 20 ticks", "Goal"], rows)


def write_readme(path, meta, runs, text, size):
    with open(path, encoding="utf-8") as f:
        readme = f.read()
    begin, end = readme.find(README_BEGIN), readme.find(README_END)
    if begin < 0 or end < begin:
        raise SystemExit(f"{path}: the markers of the latest run are missing")
    block = [README_BEGIN, "",
             f"`bash bench/run.sh`, 7 rounds of both set-ups, {meta['started']} to {meta.get('finished', '?')}:", "",
             text, "", "The README's headline, from this run:", "", headline(runs, size), "", README_END]
    with open(path, "w", encoding="utf-8") as f:
        f.write(readme[:begin] + "\n".join(block) + readme[end + len(README_END):])


def report(meta, runs, args):
    files = {name: {"size": os.path.getsize(path), "imports": imports(path)}
             for name, path in (("launcher", args.launcher), ("yardstick", args.yardstick))}
    loads = [r["load1"] for r in runs]
    out = [f"Rounds: {meta['pairs']}; {meta['started']} to {meta.get('finished', '?')}; 1-min load average "
           f"{meta.get('load_before', 0):.2f} before"
           f"{'' if meta.get('calm', True) else ' (above the threshold: measured anyway)'}, "
           f"{meta.get('load_after', 0):.2f} after, {min(loads):.2f}–{max(loads):.2f} during the runs; "
           f"niceness {meta['niceness']}", ""]
    names = {"starts": "20 profiles of delay 0: 20 starts (ideal 27 s)",
             "ticks": "one profile of delay 19: 20 ticks, one start (ideal 27 s)"}
    for setup in meta["setups"]:
        out += [f"Set-up \"{setup}\", {names[setup]}:", "", setup_table(runs, setup), ""]
    out += [files_table(files)]
    if len(meta["programs"]) > 2:
        for setup in meta["setups"]:
            out += ["", f"CPU time by build, set-up \"{setup}\":", "", cpu_table(runs, setup, meta["programs"])]
    cross = [f"{r['label']}: VmHWM {r['vmhwm_kb']} kB / ru_maxrss {r['maxrss_kb']} kB, "
             f"CPU wait4 {r['cpu_ms']:.0f} ms / last /proc sample {r['proc_cpu_ms']:.0f} ms, "
             f"started {r['launches']}" for r in runs]
    text = "\n".join(out)
    print("\n" + text + "\n")
    print("Cross-checks per run:\n  " + "\n  ".join(cross))
    return text


if __name__ == "__main__":
    main()
