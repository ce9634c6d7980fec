"""Benchmark, run by hand: ZVKLaunchwick.exe against a bare window program of the same shape under Wine.

Both programs run in turn on one warm Wine prefix (wineserver kept running) on a private Xvfb. For each run:
start-up (process start to window visible, seen by probe.exe polling every 1 ms), peak memory (VmHWM of the
program's own process, and ru_maxrss from wait4), CPU time (user + system from wait4) and the time from
window visible to process end against the ideal of the timer schedule. Also the size and imported DLLs of
both executables. Prints a Markdown table and keeps every run in <out>/runs.json. Standard library only.

    python3 bench/bench.py --product build/mingw/ZVKLaunchwick.exe --bare build/bench/cmake/bare.exe \
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
PRODUCT_TITLE = lwtest.TITLE
BARE_TITLE = "Bare Splash"
PROFILES = 20
# Tick schedule of the launcher: T = sum of (delay + 1) over the profiles; the process ends T + 7 s after
# its first timer is armed (start tick after 1 s, completion tick T + 1 s later, exit timer 5 s).
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
               "comctl32.dll", "msimg32.dll", "msvcrt.dll", "advapi32.dll", "shlwapi.dll", "comdlg32.dll",
               "uxtheme.dll", "winmm.dll", "version.dll", "ws2_32.dll", "ntdll.dll"}
# Pause between the probe's first poll and the program's start, so the probe's own start-up is over.
PROBE_SETTLE_S = 0.05
TARGETS = {"startup": 1.2, "memory": 1.1, "cpu": 1.2, "schedule_pct": 0.5, "size_kb": 300}


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


class Program:
    """One measured program in its own folder on drive C:."""

    def __init__(self, bench, name, exe_src, title, ideal_s, ini=None, expect_launches=0, args=()):
        self.bench, self.name, self.title, self.ideal_s = bench, name, title, ideal_s
        self.folder = ROOT_WIN + "\\" + name
        self.exe = self.folder + "\\" + os.path.basename(exe_src)
        self.record_log = self.folder + "\\recorded.log"
        self.expect_launches = expect_launches
        self.args = list(args)
        unix = bench.unix(self.folder)
        shutil.rmtree(unix, ignore_errors=True)
        os.makedirs(unix)
        shutil.copy2(exe_src, bench.unix(self.exe))
        if ini is not None:
            with open(bench.unix(self.folder + "\\" + os.path.splitext(os.path.basename(exe_src))[0] + ".ini"),
                      "wb") as f:
                f.write(ini.encode("cp1252"))

    def launches(self):
        try:
            with open(self.bench.unix(self.record_log), "rb") as f:
                return sum(1 for line in f if line.strip())
        except FileNotFoundError:
            return 0


def launcher_ini(recorder_win, delays):
    lines = ["[Paths]"]
    for n, delay in enumerate(delays, 1):
        lines += [f"Path{n}={recorder_win} /n:{n}", f"Delay{n}={delay}"]
    return "\r\n".join(lines) + "\r\n"


def ideal_seconds(delays):
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

        samples = {"hwm_kb": 0, "cmdline": "", "proc_cpu_ticks": 0}
        deadline = time.monotonic() + program.ideal_s + 30
        while reaper.is_alive():
            self.sample(proc.pid, samples)
            if time.monotonic() > deadline:
                os.kill(proc.pid, 9)
                raise RuntimeError(f"{label}: still running {program.ideal_s + 30} s after its start")
            reaper.join(0.05)
        proc.returncode = os.waitstatus_to_exitcode(ended["status"])

        seen = probe.stdout.readline().split()
        probe.wait(30)
        visible = int(seen[1]) / 1e6 if seen and seen[0] == "visible" else None
        if visible is None:
            # Kept in runs.json, left out of the timing statistics, and counted in the report.
            log(f"{label}: WARNING: window {program.title!r} never seen visible: {seen}")
        usage = ended["usage"]
        launches = program.launches()
        result = {
            "label": label,
            "program": program.name,
            "startup_ms": (visible - start) * 1000 if visible else None,
            "probe_polls": int(seen[2]) if len(seen) > 2 else None,
            "visible_to_end_s": ended["wall"] - visible if visible else None,
            "ideal_s": program.ideal_s,
            "cpu_ms": (usage.ru_utime + usage.ru_stime) * 1000,
            "cpu_user_ms": usage.ru_utime * 1000,
            "cpu_sys_ms": usage.ru_stime * 1000,
            "proc_cpu_ms": samples["proc_cpu_ticks"] * 1000 / os.sysconf("SC_CLK_TCK"),
            "maxrss_kb": usage.ru_maxrss,
            "vmhwm_kb": samples["hwm_kb"],
            "cmdline": samples["cmdline"],
            "exit": proc.returncode,
            "launches": launches,
            "load1": os.getloadavg()[0],
        }
        result["schedule_pct"] = ((result["visible_to_end_s"] - program.ideal_s) / program.ideal_s * 100
                                  if visible else None)
        if program.expect_launches and launches != program.expect_launches:
            log(f"{label}: WARNING: {launches} programs started, expected {program.expect_launches}")
        if visible:
            log(f"{label}: start-up {result['startup_ms']:.1f} ms, visible to end {result['visible_to_end_s']:.3f} s "
                f"({result['schedule_pct']:+.3f} %), CPU {result['cpu_ms']:.0f} ms, VmHWM {result['vmhwm_kb']} kB, "
                f"maxrss {result['maxrss_kb']} kB, started {launches}, load {result['load1']:.2f}")
        return result

    @staticmethod
    def sample(pid, samples):
        """Peak RSS and CPU ticks of the process from /proc; a zombie has no VmHWM, so keep the last values."""
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


def imports(exe):
    out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], capture_output=True, text=True,
                         check=True).stdout
    return re.findall(r"DLL Name: (\S+)", out)


def spread(values):
    return statistics.median(values), min(values), max(values)


def fmt(values, scale=1.0, digits=1):
    med, lo, hi = spread([v * scale for v in values])
    return f"{med:.{digits}f} ({lo:.{digits}f}–{hi:.{digits}f})"


def table(runs, product_name, files):
    prod = [r for r in runs if r["program"] == product_name]
    bare = [r for r in runs if r["program"] == "bare"]

    def col(key):
        return [r[key] for r in prod if r[key] is not None], [r[key] for r in bare if r[key] is not None]

    rows = []

    def ratio_row(metric, key, scale, digits, target):
        p, b = col(key)
        ratio = statistics.median(p) / statistics.median(b)
        rows.append([metric, fmt(p, scale, digits), fmt(b, scale, digits), f"{ratio:.3f}×", f"≤ {target}× bare",
                     "yes" if ratio <= target else f"no (+{(ratio / target - 1) * 100:.0f} % over)"])

    ratio_row("Start-up: process start → window visible (ms)", "startup_ms", 1, 1, TARGETS["startup"])
    ratio_row("Peak memory: VmHWM of the exe's process (MiB)", "vmhwm_kb", 1 / 1024, 1, TARGETS["memory"])
    ratio_row("CPU time: user + system over the whole run (ms)", "cpu_ms", 1, 0, TARGETS["cpu"])
    p, b = col("schedule_pct")
    worst = max(abs(v) for v in p)
    ideal_p = prod[0]["ideal_s"]
    ideal_b = bare[0]["ideal_s"]
    met = abs(statistics.median(p)) <= TARGETS["schedule_pct"]
    rows.append([f"Schedule: window visible → process end, deviation from ideal (product {ideal_p} s, "
                 f"bare {ideal_b} s) (%)", fmt(p, 1, 3), fmt(b, 1, 3), "—",
                 f"within ±{TARGETS['schedule_pct']} %",
                 ("yes" if met else "no") + (f" (worst run {worst:.3f} %)" if worst > TARGETS["schedule_pct"] else "")])
    ps, bs = files["product"]["size"] / 1024, files["bare"]["size"] / 1024
    rows.append(["Executable size (KiB)", f"{ps:.1f}", f"{bs:.1f}", f"{ps / bs:.1f}×",
                 f"≤ {TARGETS['size_kb']} KiB", "yes" if ps <= TARGETS["size_kb"] else "no"])
    pi, bi = files["product"]["imports"], files["bare"]["imports"]
    system_only = all(d.lower() in SYSTEM_DLLS for d in pi)
    rows.append(["Imported DLLs", ", ".join(pi), ", ".join(bi), "—", "system DLLs only",
                 "yes" if system_only else "no"])
    header = ["Metric", f"Product median (min–max), n={len(prod)}", f"Bare median (min–max), n={len(bare)}",
              "Ratio", "Target", "Met"]
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    unseen = [r["label"] for r in prod + bare if r["startup_ms"] is None]
    if unseen:
        lines += ["", f"Window never seen visible (left out of the timings): {', '.join(unseen)}"]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--product", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--probe")
    parser.add_argument("--recorder")
    parser.add_argument("--report", metavar="RUNS_JSON", help="only print the table of an earlier measurement")
    parser.add_argument("--pairs", type=int, default=7)
    parser.add_argument("--out", default="build/bench")
    parser.add_argument("--load", type=float, default=1.3, help="wait for the 1-min load average below this")
    parser.add_argument("--max-wait", type=float, default=20, help="minutes to wait for the load to drop")
    parser.add_argument("--countdown", action="store_true",
                        help="also measure the launcher with one profile of delay 19 (20 ticks, one start)")
    args = parser.parse_args()
    if args.report:
        with open(args.report) as f:
            saved = json.load(f)
        return report(saved["meta"], saved["runs"], args)
    if not (args.probe and args.recorder):
        parser.error("--probe and --recorder are needed to measure")

    bench = Bench(args)
    runs = []
    meta = {"pairs": args.pairs, "countdown": args.countdown, "niceness": os.nice(0)}
    try:
        bench.open()
        recorder_win = ROOT_WIN + "\\tools\\recorder.exe"
        shutil.copy2(args.recorder, bench.unix(recorder_win))
        delays = [0] * PROFILES
        product = Program(bench, "product", args.product, PRODUCT_TITLE, ideal_seconds(delays),
                          ini=launcher_ini(recorder_win, delays), expect_launches=PROFILES)
        bare = Program(bench, "bare", args.bare, BARE_TITLE, ideal_seconds(delays))
        programs = [bare, product]
        if args.countdown:
            programs.append(Program(bench, "countdown", args.product, PRODUCT_TITLE, ideal_seconds([19]),
                                    ini=launcher_ini(recorder_win, [19]), expect_launches=1))
        # Warm-up, not counted: a short run of each, so that the first measured run finds warm caches.
        warm_product = Program(bench, "warmup", args.product, PRODUCT_TITLE, ideal_seconds([0]),
                               ini=launcher_ini(recorder_win, [0]), expect_launches=1)
        warm_bare = Program(bench, "warmbare", args.bare, BARE_TITLE, 1 + 5, args=["1"])
        bench.run(warm_bare, "warm-up bare")
        bench.run(warm_product, "warm-up product")

        meta["load_before"], meta["calm"] = wait_for_load(args.load, args.max_wait * 60)
        for i in range(args.pairs):
            # Alternate the order so neither program always runs first in a round.
            order = programs[i % len(programs):] + programs[:i % len(programs)]
            for program in order:
                runs.append(bench.run(program, f"round {i + 1} {program.name}"))
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


def report(meta, runs, args):

    files = {name: {"size": os.path.getsize(path), "imports": imports(path)}
             for name, path in (("product", args.product), ("bare", args.bare))}
    report = [f"Pairs: {meta['pairs']}; 1-min load average {meta['load_before']:.2f} before"
              f"{'' if meta['calm'] else ' (above the threshold: measured anyway)'}, {meta['load_after']:.2f} after; "
              f"niceness {meta['niceness']}; {meta['finished']}", "",
              table(runs, "product", files)]
    if meta["countdown"]:
        report += ["", "Launcher with one profile of delay 19 (20 ticks, one program started):", "",
                   table(runs, "countdown", files)]
    cross = [f"{r['label']}: VmHWM {r['vmhwm_kb']} kB / ru_maxrss {r['maxrss_kb']} kB, "
             f"CPU wait4 {r['cpu_ms']:.0f} ms / last /proc sample {r['proc_cpu_ms']:.0f} ms, "
             f"started {r['launches']}" for r in runs]
    text = "\n".join(report)
    print("\n" + text + "\n")
    print("Cross-checks per run:\n  " + "\n  ".join(cross))
    return text


if __name__ == "__main__":
    main()
