"""Runs the cross-built program on a demo folder under Wine: the body of scripts/run.sh.

The folder build/demo is drive D: of a Wine prefix of its own (build/demo/wineprefix, made on first use),
holding ZVKLaunchwick.exe, its settings file and stand-in programs (the test recorder, renamed), which
write a line to build/demo/started.log when they start.

    python3 scripts/demo.py [--save docs/splash.png]

--save also writes the picture of the README: the window just after the first second of the countdown.
"""

import argparse
import os
import shutil
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import lwtest  # noqa: E402  (the test harness: Xvfb, prefix making, trace parsing)

BUILD = os.path.join(ROOT, "build", "mingw")
DEMO = os.path.join(ROOT, "build", "demo")
PREFIX = os.path.join(DEMO, "wineprefix")
APP = os.path.join(DEMO, "app")  # drive D:
TIMEOUT = 90  # seconds; the demo sequence takes about 15

SETTINGS = "\r\n".join([
    "[Paths]",
    "Delay1=3",
    r"Path1=D:\ZVK32\Parvane.exe /session:1",
    "Delay2=1",
    r"Path2=D:\ZVK32\Parvane.exe /session:2",
    "Delay3=1",
    r"Path3=D:\Tools\Report.exe -min",
    "",
])


def prepare():
    shutil.rmtree(APP, ignore_errors=True)
    os.makedirs(os.path.join(APP, "ZVK32"))
    os.makedirs(os.path.join(APP, "Tools"))
    shutil.copy2(os.path.join(BUILD, "ZVKLaunchwick.exe"), APP)
    recorder = os.path.join(BUILD, "tests", "e2e", "tools", "recorder.exe")
    shutil.copy2(recorder, os.path.join(APP, "ZVK32", "Parvane.exe"))
    shutil.copy2(recorder, os.path.join(APP, "Tools", "Report.exe"))
    shutil.copy2(recorder, os.path.join(APP, "notepad.exe"))  # in case the file is found unusable
    with open(os.path.join(APP, "ZVKLaunchwick.ini"), "w", newline="") as f:
        f.write(SETTINGS)
    link = os.path.join(PREFIX, "dosdevices", "d:")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(APP, link)


def screenshot(display, window, path):
    """The window's part of the screen as a PNG with no time stamps in it, so that the same picture gives
    the same file."""
    left, top, right, bottom = window["rect"]
    ppm = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8",
                          "-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage", "ppm:-"],
                         capture_output=True, check=True, timeout=30).stdout
    subprocess.run(["convert", "ppm:-", "-strip", "-define", "png:exclude-chunks=date,time", path],
                   input=ppm, check=True, timeout=30)
    print(f"== screenshot of the splash window: {path}", flush=True)


def main():
    parser = argparse.ArgumentParser(description="Runs ZVKLaunchwick.exe under Wine on a demo folder.")
    parser.add_argument("--save", metavar="PNG", help="also save the README's picture of the window here")
    options = parser.parse_args()
    for need in ("ZVKLaunchwick.exe", os.path.join("tests", "e2e", "tools", "recorder.exe")):
        if not os.path.isfile(os.path.join(BUILD, need)):
            sys.exit(f"missing {os.path.join(BUILD, need)}: build the mingw preset first")
    xvfb = None
    display = os.environ.get("DISPLAY")
    if not display:
        xvfb = lwtest.Xvfb().start()
        display = xvfb.display
    env = lwtest.wine_env(PREFIX, display)
    try:
        if not os.path.exists(os.path.join(PREFIX, lwtest.TEMPLATE_STAMP)):
            print("== making the Wine prefix (once, about 10 s)", flush=True)
            lwtest.make_template(PREFIX, display)
        prepare()
        # Start the prefix's services with their output discarded, so they do not hold our pipe.
        subprocess.run([lwtest.WINE, "cmd", "/c", "exit"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        print(f"== settings file {os.path.join(APP, 'ZVKLaunchwick.ini')}:", flush=True)
        print(SETTINGS.replace("\r\n", "\n"), flush=True)
        run_env = dict(env, WINEDEBUG="-all,+debugstr", LW_RECORD_LOG=r"D:\started.log")
        started = time.time()
        proc = subprocess.Popen([lwtest.WINE, r"D:\ZVKLaunchwick.exe"], cwd=APP, env=run_env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        print(f"== started D:\\ZVKLaunchwick.exe (D: is {APP})", flush=True)

        first_tick = threading.Event()

        def echo():
            for line in iter(proc.stderr.readline, b""):
                parsed = lwtest.parse_trace(line)
                if parsed:
                    print(f"{time.time() - started:7.2f}  {parsed[0]}{'...' if parsed[1] else ''}", flush=True)
                    if parsed[0] == "tmrMain_Timer End":
                        first_tick.set()

        threading.Thread(target=echo, daemon=True).start()
        shots = threading.Thread(target=take_shots, args=(env, display, options.save, first_tick), daemon=True)
        shots.start()
        try:
            status = proc.wait(TIMEOUT)
            print(f"== the program ended by itself after {time.time() - started:.1f} s (status {status})")
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            print(f"== the program was still running after {TIMEOUT} s; stopped it")
        shots.join(5)
        report_started()
    finally:
        subprocess.run([lwtest.WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
        if xvfb:
            xvfb.stop()


def take_shots(env, display, save, first_tick):
    """A screenshot when the window shows, one three seconds later with the sequence under way, and with
    --save the README's picture: the countdown just after its first second."""
    driver = [lwtest.WINE, os.path.join(BUILD, "tests", "e2e", "tools", "lwdriver.exe")]
    done = subprocess.run(driver + ["window", "--title", lwtest.TITLE, "--timeout", "20000"], env=env,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          timeout=60)
    lines = [line for line in done.stdout.decode().splitlines() if line.startswith("{")]
    window = lwtest.json.loads(lines[-1]) if lines else {}
    if not window.get("found"):
        print("== the splash window did not show within 20 s", flush=True)
        return
    screenshot(display, window, os.path.join(DEMO, "splash.png"))
    if save and first_tick.wait(10):
        time.sleep(0.3)  # the repaint after the tick
        screenshot(display, window, save)
    time.sleep(max(0.0, window["seen_ms"] / 1000 + 3 - time.time()))
    screenshot(display, window, os.path.join(DEMO, "splash-running.png"))


def report_started():
    log = os.path.join(APP, "started.log")
    lines = open(log).read().splitlines() if os.path.exists(log) else []
    print(f"== programs started: {len(lines)}")
    for line in lines:
        record = lwtest.json.loads(line)
        print(f"   {record['cmdline']}   (folder {record['cwd']})")


if __name__ == "__main__":
    main()
