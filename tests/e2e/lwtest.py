"""End-to-end harness: runs ZVKLaunchwick.exe under Wine on a private Xvfb and watches what it does.

A Session owns one X server and one Wine prefix (a copy of the per-run template); a Scenario is one
folder on drive C: with the program, a settings file and stand-in programs, and Run is one start of the
program in it: its trace lines with their arrival times, the message boxes it shows, the programs it
starts (through the recorder's log), screenshots and its exit. Standard library only.
"""

import argparse
import contextlib
import fcntl
import glob
import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

import expected

WINE_DIR = "/usr/lib/wine"
WINE = os.path.join(WINE_DIR, "wine64")
WINESERVER = os.path.join(WINE_DIR, "wineserver")
ANSI = "cp1252"  # the ANSI code page Wine uses with LANG=C.UTF-8
SCREEN = (1280, 1024)
TITLE = "ZVK Launchwick"
TEMPLATE_STAMP = "lw-template-ok"
STATUS_LABEL_ID = 104  # the status line's control
BRIGHT = 224  # a text pixel counts as white from this level up, in every channel

# Filled in by main() from the command line.
CONFIG = argparse.Namespace(exe=None, tools=None, out=None, template=None, display=None, keep=False)


class HarnessError(AssertionError):
    """A failure of the program under test as seen by the harness (timeout, missing window...)."""


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


# ---------------------------------------------------------------------------------------------------------
# Trace lines
# ---------------------------------------------------------------------------------------------------------

TRACE_MARK = b':debugstr:OutputDebugStringA "'
_ESCAPES = {ord('"'): b'"', ord("\\"): b"\\", ord("t"): b"\t", ord("r"): b"\r", ord("n"): b"\n"}


def unescape_debugstr(raw: bytes) -> bytes:
    """Undoes Wine's debugstr escaping: \\" \\\\ \\t \\r \\n and \\xNN."""
    out = bytearray()
    i = 0
    while i < len(raw):
        c = raw[i]
        if c == ord("\\") and i + 1 < len(raw):
            nxt = raw[i + 1]
            if nxt in _ESCAPES:
                out += _ESCAPES[nxt]
                i += 2
                continue
            if nxt == ord("x") and re.fullmatch(rb"[0-9a-fA-F]{2}", raw[i + 2:i + 4]):
                out.append(int(raw[i + 2:i + 4], 16))
                i += 4
                continue
        out.append(c)
        i += 1
    return bytes(out)


def ansi(text):
    """A text as a trace line carries it: in the ANSI code page, a character it lacks written as "?"."""
    return text.encode(ANSI, errors="replace").decode(ANSI)


def parse_trace(line: bytes):
    """(text, truncated) for a debugstr line of OutputDebugStringA, else None."""
    at = line.find(TRACE_MARK)
    if at < 0:
        return None
    body = line[at + len(TRACE_MARK):].rstrip(b"\r\n")
    truncated = body.endswith(b'"...')
    if truncated:
        body = body[:-4]
    elif body.endswith(b'"'):
        body = body[:-1]
    return unescape_debugstr(body).decode(ANSI, errors="replace"), truncated


class Trace:
    """A trace line and its arrival: wall is the clock the Windows-side tools stamp their events with, at the
    monotonic clock for intervals measured here alone."""

    def __init__(self, text, truncated, wall, at):
        self.text, self.truncated, self.wall, self.at = text, truncated, wall, at

    def matches(self, expected):
        """Equal to expected as the ANSI code page holds it, or a prefix of that when Wine cut the line."""
        expected = ansi(expected)
        return expected.startswith(self.text) if self.truncated else self.text == expected

    def __repr__(self):
        return repr(self.text) + ("..." if self.truncated else "")


# ---------------------------------------------------------------------------------------------------------
# Screenshots
# ---------------------------------------------------------------------------------------------------------

class Image:
    """An RGB picture read from a binary PPM."""

    def __init__(self, data: bytes):
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise ValueError("not an 8-bit binary PPM")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:pos + 1 + 3 * self.width * self.height]

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def region(self, left, top, right, bottom):
        """Pixels of [left, right) x [top, bottom) as {(x, y): rgb}."""
        return {(x, y): self.pixel(x, y) for y in range(top, bottom) for x in range(left, right)}


def grab_screen(display):
    """(width, height, RGB bytes) of the root window of a local X display (":N"), read with one GetImage
    request over the display's socket. ValueError for a display or screen this does not read."""
    m = re.fullmatch(r":(\d+)(?:\.0)?", display or "")
    if not m:
        raise ValueError(f"not a local display: {display}")
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as x:
        x.settimeout(30)
        x.connect(f"/tmp/.X11-unix/X{m.group(1)}")

        def read(count):
            data = bytearray()
            while len(data) < count:
                chunk = x.recv(count - len(data))
                if not chunk:
                    raise OSError("the X server closed the connection")
                data += chunk
            return bytes(data)

        x.sendall(struct.pack("<BxHHHHxx", ord("l"), 11, 0, 0, 0))  # little-endian, X11, no authorisation
        status, _, _, _, extra = struct.unpack("<BBHHH", read(8))
        setup = read(4 * extra)
        if status != 1:
            raise ValueError("the X server refused the connection")
        vendor_length, _, screens, formats, byte_order = struct.unpack_from("<HHBBB", setup, 16)
        at = 32 + (vendor_length + 3) // 4 * 4
        bits = {depth: bpp for depth, bpp, _ in
                (struct.unpack_from("<BBB", setup, at + 8 * i) for i in range(formats))}
        at += 8 * formats
        root, _, _, _, _, width, height = struct.unpack_from("<IIIIIHH", setup, at)
        root_depth = setup[at + 38]
        if screens < 1 or byte_order != 0 or root_depth != 24 or bits.get(24) != 32:
            raise ValueError("not a 24-bit screen of 32-bit pixels")
        # GetImage, ZPixmap, the whole root window, all planes.
        x.sendall(struct.pack("<BBHIhhHHI", 73, 2, 5, root, 0, 0, width, height, 0xFFFFFFFF))
        reply = read(32)
        if reply[0] != 1:
            raise ValueError(f"GetImage failed with error {reply[1]}")
        pixels = read(4 * struct.unpack_from("<I", reply, 4)[0])
    rgb = bytearray(3 * width * height)
    rgb[0::3], rgb[1::3], rgb[2::3] = pixels[2::4], pixels[1::4], pixels[0::4]  # B, G, R, unused
    return width, height, bytes(rgb)


def write_png(path, image):
    """Saves an Image as an 8-bit RGB PNG."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    row = 3 * image.width
    raw = b"".join(b"\0" + image.pixels[y * row:(y + 1) * row] for y in range(image.height))
    header = struct.pack(">IIBBBBB", image.width, image.height, 8, 2, 0, 0, 0)  # 8-bit RGB
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 6))
                + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------------------------------------
# X server and Wine prefix
# ---------------------------------------------------------------------------------------------------------

class Xvfb:
    def __init__(self):
        self.proc = None
        self.display = None

    def start(self):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
             "-nolisten", "tcp"],
            pass_fds=[write_fd], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                raise HarnessError("Xvfb did not start")
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise HarnessError("Xvfb closed its display pipe")
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        log(f"Xvfb {self.display} (pid {self.proc.pid})")
        return self

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def wine_env(prefix, display, debug="-all", extra=None):
    env = {k: v for k, v in os.environ.items() if not k.startswith("WINE")}
    env.update(WINEPREFIX=prefix, DISPLAY=display, WINEDEBUG=debug, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    env.update(extra or {})
    return env


def make_template(path, display):
    """Creates a fresh prefix at path: wineboot, and no window manager role for Wine's X11 driver (without
    it every hide or destroy of a top-level window stalls about two seconds)."""
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # mscoree and mshtml off: no offer to install Mono or Gecko in a fresh prefix.
    env = wine_env(path, display, extra={"WINEDLLOVERRIDES": "mscoree,mshtml="})
    started = time.monotonic()
    subprocess.run([WINE, "wineboot", "-i"], env=env, check=True, timeout=300,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([WINE, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                   env=env, check=True, timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-k"], env=env, timeout=60)
    subprocess.run([WINESERVER, "-w"], env=env, timeout=60)
    with open(os.path.join(path, TEMPLATE_STAMP), "w") as stamp:
        stamp.write(subprocess.run([WINE, "--version"], capture_output=True, text=True).stdout)
    log(f"Wine prefix template {path} made in {time.monotonic() - started:.1f} s")


@contextlib.contextmanager
def template_lock(path):
    """Held while the template is made or copied, so parallel test runs never see a half-made one."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def ensure_template(path, display):
    """Makes the template unless a complete one is there."""
    if not os.path.exists(os.path.join(path, TEMPLATE_STAMP)):
        make_template(path, display)


def win_to_unix(drives, win_path):
    """Unix path of a Windows path on one of the drives ({"c": unix folder, ...})."""
    m = re.match(r"([A-Za-z]):\\", win_path)
    if not m or m.group(1).lower() not in drives:
        raise ValueError(f"not on a known drive: {win_path}")
    return os.path.join(drives[m.group(1).lower()], *[p for p in win_path[3:].split("\\") if p])


class NetworkNamespace:
    """A network namespace of its own whose only network is a veth pair, down until up() (needs root).
    Where namespaces are refused the test is skipped with the reason, or fails when LW_REQUIRE_NETNS=1."""

    def __init__(self):
        self.name = f"lw{os.getpid()}"
        made = subprocess.run(["ip", "netns", "add", self.name], capture_output=True, text=True)
        if made.returncode != 0:
            reason = f"network namespaces refused: {made.stderr.strip() or made.returncode}"
            if os.environ.get("LW_REQUIRE_NETNS") == "1":
                raise HarnessError(reason)
            raise unittest.SkipTest(reason)
        self.ip("link", "add", "v0", "type", "veth", "peer", "name", "v1")

    def ip(self, *args):
        subprocess.run(["ip", "-n", self.name, *args], check=True, timeout=10)

    def up(self):
        """Both ends up, an IPv4 address and a default route; returns the moment it was done."""
        self.ip("link", "set", "v0", "up")
        self.ip("link", "set", "v1", "up")
        self.ip("addr", "add", "10.203.0.1/24", "dev", "v0")
        self.ip("route", "add", "default", "via", "10.203.0.2", "dev", "v0", "onlink")
        return time.time()

    def delete(self):
        subprocess.run(["ip", "netns", "delete", self.name], timeout=10)


def loaded_modules(stderr):
    """The DLLs a run loaded, in order, from Wine's loaddll channel (WINEDEBUG +loaddll)."""
    return [m.group(1).decode().lower() for m in re.finditer(rb'loaddll:\w+ Loaded L"[^"]*?([^"\\]+)"', stderr)]


# ---------------------------------------------------------------------------------------------------------
# Session, scenario, run
# ---------------------------------------------------------------------------------------------------------

class Session:
    """One X server and one Wine prefix, shared by the scenarios of one test module in turn."""

    def __init__(self, name, netns=None):
        """netns: a network namespace (ip netns) in which the whole Wine session runs, wineserver included."""
        self.name = name
        self.netns = netns
        self.out = os.path.join(CONFIG.out, name)
        self.xvfb = None
        self.display = CONFIG.display
        self.prefix = os.path.join(CONFIG.out, name, "prefix")
        self.tools_win = r"C:\lwtools"
        self.savers = []  # threads still writing screenshots

    def __enter__(self):
        try:
            return self._open()
        except BaseException:
            self.__exit__(None, None, None)
            raise

    def _open(self):
        check_inputs()
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.out)
        if not self.display:
            self.xvfb = Xvfb().start()
            self.display = self.xvfb.display
        started = time.monotonic()
        with template_lock(CONFIG.template):
            ensure_template(CONFIG.template, self.display)
            subprocess.run(["cp", "-a", CONFIG.template, self.prefix], check=True)
        self.drives = {"c": os.path.join(self.prefix, "drive_c")}
        tools = self.unix(self.tools_win)
        os.makedirs(tools)
        for tool in ("lwdriver.exe", "recorder.exe"):
            shutil.copy2(os.path.join(CONFIG.tools, tool), tools)
        # Start the wineserver and the prefix's services now, with their output discarded, so that they
        # do not hold the program's stderr pipe open and the program starts on a warm prefix.
        subprocess.run(self.command(WINESERVER, "-p"), env=self.env(), timeout=30)
        self.driver("list", timeout=60)
        log(f"session {self.name}: prefix {self.prefix} ready in {time.monotonic() - started:.1f} s")
        return self

    def __exit__(self, *exc):
        for saver in self.savers:
            saver.join()
        if os.path.isdir(self.prefix):
            env = self.env()
            subprocess.run(self.command(WINESERVER, "-k"), env=env, timeout=30, stderr=subprocess.DEVNULL)
            subprocess.run(self.command(WINESERVER, "-w"), env=env, timeout=30, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.stop()
        if not CONFIG.keep:
            shutil.rmtree(self.prefix, ignore_errors=True)
        return False

    def env(self, debug="-all", extra=None):
        return wine_env(self.prefix, self.display, debug, extra)

    def command(self, *args):
        """A command line of this session's Wine, inside its network namespace when it has one."""
        return (["ip", "netns", "exec", self.netns] if self.netns else []) + list(args)

    def unix(self, win_path):
        return win_to_unix(self.drives, win_path)

    def map_drive(self, letter):
        """Makes drive letter: an empty folder of its own; returns its Unix path."""
        letter = letter.lower()
        folder = os.path.join(self.prefix, "drive_" + letter)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        link = os.path.join(self.prefix, "dosdevices", letter + ":")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(folder, link)
        self.drives[letter] = folder
        return folder

    def driver(self, *args, timeout=30):
        """Runs lwdriver.exe; returns (exit status, list of JSON objects it printed)."""
        return self.start_driver(*args).result(timeout)

    def start_driver(self, *args):
        """Starts lwdriver.exe and returns at once; the DriverCall gives its result when it ends."""
        return DriverCall(self, args)

    def visible_windows(self):
        return self.driver("list")[1]

    def status_label(self):
        """The splash window's status line as a screen reader finds it: its label control (text, rect in
        client pixels, style), or None when the window or the label is not there."""
        rc, out = self.driver("window", "--title", TITLE, "--timeout", "2000")
        if rc != 0 or not out:
            return None
        return next((c for c in out[-1]["children"] if c["id"] == STATUS_LABEL_ID), None)

    def watch_live_regions(self, seconds):
        """Starts hooking live-region events of every program in the prefix, for seconds; returns once the
        hook is in place. The watch's events() gives them once it has ended."""
        return LiveRegionWatch(self, seconds)

    def shortcut(self, win_path):
        """The fields of a shortcut file as the shell reads them (IShellLinkW): target, arguments, workdir,
        show; found is false when it cannot be read."""
        rc, out = self.driver("shortcut", "--path", win_path)
        return out[-1] if out else {"found": False}

    def system_message(self, code):
        """The prefix's own text for a system error code (FormatMessageA), as the program reads it."""
        rc, out = self.driver("message", "--code", str(code))
        if rc != 0 or not out:
            raise HarnessError(f"no message for error {code}")
        return out[-1]["text"].encode("latin-1").decode(ANSI)

    def screenshot(self, name):
        """Takes the whole screen at once and returns it as an Image; saves it as <out>/<name>.png on the
        side. The picture is read straight from the X server: a tool started for it would take a good part
        of a second on a busy machine, and the tests take pictures between one-second ticks."""
        path = os.path.join(self.out, name + ".png")
        try:
            width, height, rgb = grab_screen(self.display)
            ppm = b"P6\n%d %d\n255\n" % (width, height) + rgb
        except (OSError, ValueError):  # a display of another kind: ask ImageMagick
            ppm = subprocess.run(["import", "-display", self.display, "-window", "root", "-depth", "8", "ppm:-"],
                                 capture_output=True, check=True, timeout=30).stdout
        image = Image(ppm)
        saver = threading.Thread(target=write_png, args=(path, image), daemon=False)
        saver.start()
        self.savers.append(saver)
        log(f"screenshot: {path}")
        return image

    def xdotool(self, *args):
        """Real input through the X server (XTEST), as a user's keyboard and mouse give it; returns the moment
        just before the input was sent, on the monotonic clock (compare it with a trace line's at)."""
        sent = time.monotonic()
        subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.display), check=True,
                       timeout=15, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return sent

    def press_key(self, keysym):
        """Types one key (an X keysym such as Escape or a) into the window that has the input focus."""
        sent = self.xdotool("key", keysym)
        log(f"key {keysym}")
        return sent

    def click_at(self, x, y):
        """Moves the pointer to screen position (x, y) and clicks the left button there."""
        # One call: the server handles the move before the click. (--sync would wait forever for a pointer
        # that is already there.)
        sent = self.xdotool("mousemove", str(x), str(y), "click", "1")
        log(f"click at ({x}, {y})")
        return sent

    def render_text(self, text, width, height, font, points100, weight):
        """Pixels at or above BRIGHT of text drawn white on black, centred in width x height."""
        rc, out = self.driver("render", "--text", text, "--width", str(width), "--height", str(height),
                              "--font", font, "--points100", str(points100), "--weight", str(weight))
        if rc != 0 or not out:
            raise HarnessError(f"render of {text!r} failed")
        rows = out[-1]["rows"]
        return {(x, y) for y, row in enumerate(rows) for x in range(width)
                if int(row[2 * x:2 * x + 2], 16) >= BRIGHT}

    def text_similarity(self, image, origin, box, text, font="Microsoft Sans Serif", points100=1200,
                        weight=400, shift=(2, 8, 1)):
        """How well the white pixels of a label drawn by the program match text rendered the same way:
        the best intersection over union over small shifts (the vertical placement of text in a label box
        is the program's choice). box = (left, top, width, height) in client pixels; origin = the client
        origin on the screen; shift = (sideways, up, down) in pixels, also the margin of screen rows
        looked at, so keep it clear of other white things."""
        left, top, width, height = box
        mask = self.render_text(text, width, height, font, points100, weight)
        sx, up, down = shift
        shot = set()
        for y in range(top - up, top + height + down):
            for x in range(left - sx, left + width + sx):
                if min(image.pixel(origin[0] + x, origin[1] + y)) >= BRIGHT:
                    shot.add((x - left, y - top))
        best = 0.0
        for dy in range(-up, down + 1):
            for dx in range(-sx, sx + 1):
                moved = {(x + dx, y + dy) for x, y in mask}
                union = len(moved | shot)
                best = max(best, len(moved & shot) / union if union else 1.0)
        return best

    def scenario(self, name, folder=None):
        return Scenario(self, name, folder)

    def temp_copies(self):
        """The files of the user's temporary folder whose names start with ZVK, as {name: bytes}."""
        found = {}
        # Wine's %TEMP%: C:\users\<name>\Temp (on Windows it lies under AppData\Local).
        for folder in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*", "Temp")):
            for name in os.listdir(folder):
                if name.upper().startswith("ZVK"):
                    with open(os.path.join(folder, name), "rb") as f:
                        found[name] = f.read()
        return found


class DriverCall:
    """One run of lwdriver.exe in a session's prefix."""

    def __init__(self, session, args):
        self.args = args
        # A file, not a pipe: a Wine service started by this call would inherit a pipe and keep it open.
        self.out = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(session.command(WINE, session.tools_win + r"\lwdriver.exe", *args),
                                     env=session.env(),
                                     stdin=subprocess.DEVNULL, stdout=self.out, stderr=subprocess.DEVNULL)

    def finished(self):
        return self.proc.poll() is not None

    def result(self, timeout):
        """Waits for the end; returns (exit status, list of JSON objects it printed)."""
        with self.out:
            try:
                rc = self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
                raise HarnessError(f"lwdriver {' '.join(self.args)} hung for {timeout} s")
            self.out.seek(0)
            text = self.out.read().decode()
        return rc, [json.loads(line) for line in text.splitlines() if line.startswith("{")]


class LiveRegionWatch:
    """lwdriver liveregion running beside a test: what a screen reader would be told, and when."""

    def __init__(self, session, seconds):
        self.path = os.path.join(session.out, f"liveregion-{time.monotonic_ns()}.jsonl")
        with open(self.path, "wb") as out:
            self.proc = subprocess.Popen([WINE, session.tools_win + r"\lwdriver.exe", "liveregion", "--timeout",
                                          str(int(seconds * 1000))], env=session.env(), stdin=subprocess.DEVNULL,
                                         stdout=out, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 15
        while not any(line.get("hooked") for line in self._lines()):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                raise HarnessError("the live-region hook did not start")
            time.sleep(0.05)

    def _lines(self):
        with open(self.path, "rb") as f:
            return [json.loads(line) for line in f.read().decode().splitlines() if line.startswith("{")]

    def events(self, pid, kinds=("liveregion",)):
        """The events of the process pid so far, oldest first: "liveregion", "name" (a control's text
        changed) or "initial" (its text when the watch began). Ends the watch; each line is flushed as it
        comes, so nothing is lost."""
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        return [e for e in self._lines() if e.get("event") in kinds and e["pid"] == pid]

    def label_texts(self, pid, control_id=STATUS_LABEL_ID):
        """(time in s, text) of the control's text when the watch began and after each change."""
        return [(e["time_ms"] / 1000, e["text"]) for e in self.events(pid, ("initial", "name"))
                if e["id"] == control_id]


class Scenario:
    """A fresh folder C:\\<name> holding the program, its settings file and stand-in programs."""

    def __init__(self, session, name, folder=None):
        """folder: the program's folder, C:\\<name> by default; a bare drive root such as D:\\ gets a
        drive of its own."""
        self.session = session
        self.name = name
        self.folder = folder or "C:\\" + name
        if re.fullmatch(r"[A-Za-z]:\\", self.folder):
            session.map_drive(self.folder[0])
        self.unix_folder = session.unix(self.folder)
        if self.folder.lower() != "c:\\":
            shutil.rmtree(self.unix_folder, ignore_errors=True)
        os.makedirs(self.unix_folder, exist_ok=True)
        sep = "" if self.folder.endswith("\\") else "\\"
        self.exe = self.folder + sep + "ZVKLaunchwick.exe"
        self.ini = self.folder + sep + "ZVKLaunchwick.ini"
        self.record_log = self.folder + sep + "recorded.log"
        self.runs = []
        shutil.copy2(CONFIG.exe, session.unix(self.exe))

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, tb):
        try:
            # A box nobody expected, still open at the end, fails the scenario (unless it failed already).
            if exc_type is None and any(run.alive for run in self.runs):
                self.runs[-1].assert_no_dialog()
        finally:
            for run in self.runs:
                run.stop()
        return False

    def path(self, win_path):
        return self.session.unix(win_path)

    def write(self, win_path, content):
        """Writes bytes (or text, as ANSI bytes unchanged) to a file given by its C: path."""
        unix = self.path(win_path)
        os.makedirs(os.path.dirname(unix), exist_ok=True)
        with open(unix, "wb") as f:
            f.write(content if isinstance(content, bytes) else content.encode(ANSI))
        return unix

    def write_ini(self, content):
        return self.write(self.ini, content)

    def read(self, win_path):
        with open(self.path(win_path), "rb") as f:
            return f.read()

    def install_recorder(self, win_path):
        """Copies the recorder to win_path (a folder is created as needed)."""
        unix = self.path(win_path)
        os.makedirs(os.path.dirname(unix), exist_ok=True)
        shutil.copy2(os.path.join(CONFIG.tools, "recorder.exe"), unix)

    def recorded(self):
        """The programs the recorder saw started, oldest first (dicts: module, cmdline, cwd, time_ms...)."""
        try:
            data = self.read(self.record_log)
        except FileNotFoundError:
            return []
        return [json.loads(line) for line in data.decode("ascii").splitlines() if line.strip()]

    def start(self, watchdog=60, cwd=None, args=(), env=None, stdout=None):
        """Starts the program with the command-line arguments args and the environment variables env;
        stdout: an open file or subprocess.PIPE for its standard output (none by default)."""
        run = Run(self, watchdog, cwd or self.unix_folder, args, env, stdout)
        self.runs.append(run)
        return run


class Run:
    """One start of the program: trace lines as they arrive, exit time, a watchdog that kills it."""

    def __init__(self, scenario, watchdog, cwd, args=(), env=None, stdout=None):
        self.scenario = scenario
        self.session = scenario.session
        self.index = len(scenario.runs) + 1
        self.label = f"{scenario.name}-run{self.index}"
        self.traces = []
        self.stderr = bytearray()
        self.exit_wall = self.exit_at = None
        self.watchdog_fired = False
        self.cond = threading.Condition()
        self.box_count = 0
        env = self.session.env("-all,+debugstr", {"LW_RECORD_LOG": scenario.record_log, **(env or {})})
        self.start_wall = time.time()
        self.proc = subprocess.Popen(self.session.command(WINE, scenario.exe, *args), cwd=cwd, env=env,
                                     stdin=subprocess.DEVNULL,
                                     stdout=stdout or subprocess.DEVNULL, stderr=subprocess.PIPE,
                                     start_new_session=True)
        log(f"{self.label}: started {scenario.exe} (pid {self.proc.pid})")
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.waiter = threading.Thread(target=self._wait, daemon=True)
        self.waiter.start()
        self.watchdog = threading.Timer(watchdog, self._watchdog)
        self.watchdog.daemon = True
        self.watchdog.start()

    def _read(self):
        with self.proc.stderr:
            for line in iter(self.proc.stderr.readline, b""):
                now, at = time.time(), time.monotonic()
                with self.cond:
                    self.stderr += line
                    parsed = parse_trace(line)
                    if parsed:
                        self.traces.append(Trace(parsed[0], parsed[1], now, at))
                    self.cond.notify_all()

    def _wait(self):
        self.proc.wait()
        with self.cond:
            self.exit_wall, self.exit_at = time.time(), time.monotonic()
            self.cond.notify_all()

    def _watchdog(self):
        if self.proc.poll() is None:
            self.watchdog_fired = True
            log(f"{self.label}: WATCHDOG: still running after its deadline; killing it")
            try:
                self.session.screenshot(self.label + "-watchdog")
            except Exception as e:  # the kill matters more than the picture
                log(f"screenshot failed: {e}")
            self.kill()

    @property
    def alive(self):
        return self.exit_wall is None

    def texts(self):
        with self.cond:
            return [t.text for t in self.traces]

    def wait_for(self, predicate, timeout, what):
        """Waits until predicate() holds (checked whenever a trace line arrives or the program ends)."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while not predicate():
                left = deadline - time.monotonic()
                if left <= 0:
                    raise HarnessError(f"{self.label}: timed out after {timeout} s waiting for {what}; "
                                       f"traces so far: {[t.text for t in self.traces]}")
                self.cond.wait(min(left, 0.25))

    def wait_trace(self, text, timeout=10):
        self.wait_for(lambda: any(t.matches(text) for t in self.traces), timeout, f"trace {text!r}")

    def wait_trace_count(self, count, timeout=10):
        self.wait_for(lambda: len(self.traces) >= count, timeout, f"{count} trace lines")

    def wait_exit(self, timeout):
        """Waits for the program to end by itself; returns the wall time of its end."""
        try:
            self.wait_for(lambda: not self.alive, timeout, "the program to end")
        except HarnessError:
            self.fail_with_windows(f"{self.label}: did not end within {timeout} s")
        if self.watchdog_fired:
            raise HarnessError(f"{self.label}: killed by the watchdog")
        self.watchdog.cancel()
        log(f"{self.label}: ended with status {self.proc.returncode}")
        return self.exit_wall

    def fail_with_windows(self, message):
        windows = self.session.visible_windows()
        shot = self.label + "-failure"
        self.session.screenshot(shot)
        raise HarnessError(f"{message}; visible windows: {windows}; screenshot {shot}.png")

    def dialog(self, title=None, timeout=10, action="ok"):
        """Waits for a visible message box (with this title, when given), reads it and presses OK.
        A box with another title fails the wait. Returns the driver's description of the box."""
        args = ["dialog", "--timeout", str(int(timeout * 1000)), "--action", action]
        if title is not None:
            args += ["--title", title]
        rc, out = self.session.driver(*args, timeout=timeout + 30)
        box = out[-1] if out else {}
        if box.get("unexpected"):
            raise HarnessError(f"{self.label}: unexpected box {box['unexpected']}")
        if rc != 0 or not box.get("found"):
            self.fail_with_windows(f"{self.label}: no message box titled {title!r} within {timeout} s")
        self.box_count += 1
        log(f"{self.label}: box {box['title']!r}: {box['text']!r} ({action})")
        return box

    def window(self, title=TITLE, timeout=10, settle=0.3):
        """Waits for the splash window to be visible, then settle seconds for it to be painted; fails
        early when a message box shows instead."""
        rc, out = self.session.driver("window", "--title", title, "--timeout", str(int(timeout * 1000)),
                                      "--strict", "1", timeout=timeout + 30)
        win = out[-1] if out else {}
        if win.get("unexpected"):
            raise HarnessError(f"{self.label}: unexpected box while waiting for the window: "
                               f"{win['unexpected']}")
        if rc != 0 or not win.get("found"):
            self.fail_with_windows(f"{self.label}: window {title!r} not visible within {timeout} s")
        time.sleep(settle)
        return win

    def assert_no_dialog(self):
        boxes = [w for w in self.session.visible_windows() if w.get("class") == "#32770"]
        if boxes:
            self.session.driver("dialog", "--action", "none", "--timeout", "0")
            raise HarnessError(f"{self.label}: unexpected message box(es): {boxes}")

    def kill(self):
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.proc.wait(10)

    def stop(self):
        """Ends the run (killing the program if needed) and saves its stderr and trace lines."""
        self.watchdog.cancel()
        self.kill()
        self.reader.join(0.5)
        base = os.path.join(self.session.out, self.label)
        with open(base + ".stderr.txt", "wb") as f:
            f.write(bytes(self.stderr))
        with open(base + ".traces.txt", "w", encoding="utf-8") as f:
            for t in self.traces:
                f.write(f"{t.wall - self.start_wall:8.3f} {t.text!r}{'...' if t.truncated else ''}\n")


# ---------------------------------------------------------------------------------------------------------
# Checks shared by the test modules
# ---------------------------------------------------------------------------------------------------------

class TestCase(unittest.TestCase):
    """Base of the end-to-end test cases: one Session per test class."""

    session = None
    own_network = False  # the whole session runs in a network namespace of its own (cls.network)
    network = None

    @classmethod
    def setUpClass(cls):
        module = os.path.splitext(os.path.basename(sys.modules[cls.__module__].__file__))[0]
        if cls.own_network:
            cls.network = NetworkNamespace()
        try:
            cls.session = Session(module + "." + cls.__name__,
                                  netns=cls.network.name if cls.network else None).__enter__()
        except BaseException:
            if cls.network:
                cls.network.delete()
            raise

    @classmethod
    def tearDownClass(cls):
        if cls.session:
            cls.session.__exit__(None, None, None)
        if cls.network:
            cls.network.delete()

    def assertTraces(self, run, expected, start=0, then=()):
        """The trace lines from index start on are exactly expected, in order, followed by nothing but the
        beginning of then: the lines of a sequence that may have begun while the test looked."""
        with run.cond:
            traces = list(run.traces)
        got = traces[start:start + len(expected) + 1]
        for i, text in enumerate(expected):
            self.assertLess(i, len(got), f"trace line {start + i} missing; expected {text!r}; "
                                         f"got {traces[start:]}")
            self.assertTrue(got[i].matches(text), f"trace line {start + i}: expected {text!r}, got {got[i]!r}")
        rest = traces[start + len(expected):]
        self.assertLessEqual(len(rest), len(then), f"extra trace lines: {rest}")
        for i, (trace, text) in enumerate(zip(rest, then)):
            self.assertTrue(trace.matches(text), f"extra trace lines from {i}: {rest[i:]}; expected {then[i:]}")

    def assertPlainBox(self, box):
        """A message box with an OK button only and no icon."""
        buttons = [c for c in box["children"] if c["class"].lower() == "button" and c["visible"]]
        self.assertEqual([(b["id"], b["text"]) for b in buttons], [(1, "OK")], "buttons of the box")
        self.assertFalse([c for c in box["children"] if c["icon"]], "the box shows an icon")

    def assertStatus(self, image, win, text, other):
        """The window's status line reads text (and matches it clearly better than the other text)."""
        origin = win["client"][:2]
        good = self.session.text_similarity(image, origin, expected.STATUS_BOX, text)
        bad = self.session.text_similarity(image, origin, expected.STATUS_BOX, other)
        log(f"status line: {good:.2f} like {text!r}, {bad:.2f} like {other!r}")
        self.assertGreater(good, 0.7, f"the status line does not read {text!r}")
        self.assertGreater(good, bad + 0.2, f"the status line is as much like {other!r} as like {text!r}")

    def assertAbout(self, seconds, expected, low=0.3, high=1.5, what="interval"):
        """A time measured across Wine: not earlier than a little before expected, not much later."""
        self.assertGreaterEqual(seconds, expected - low, f"{what}: {seconds:.2f} s, expected ~{expected} s")
        self.assertLessEqual(seconds, expected + high, f"{what}: {seconds:.2f} s, expected ~{expected} s")


def wait_records(scenario, count, timeout=5):
    """The recorder's lines once there are count of them, or whatever is there after timeout seconds."""
    deadline = time.monotonic() + timeout
    while len(scenario.recorded()) < count and time.monotonic() < deadline:
        time.sleep(0.1)
    return scenario.recorded()


def program_of(cmdline):
    """The program name at the start of a command line, without quotes."""
    if cmdline.startswith('"'):
        return cmdline[1:cmdline.index('"', 1)]
    return cmdline.split(" ", 1)[0]


def arguments_of(cmdline):
    """The arguments of a command line: the text after the program name, which Wine may have re-quoted."""
    if cmdline.startswith('"'):
        end = cmdline.index('"', 1) + 1
    else:
        end = cmdline.find(" ")
        end = len(cmdline) if end < 0 else end
    rest = cmdline[end:]
    return rest[1:] if rest.startswith(" ") else rest


def check_inputs():
    missing = [p for p in (CONFIG.exe, os.path.join(CONFIG.tools, "lwdriver.exe"),
                           os.path.join(CONFIG.tools, "recorder.exe")) if not os.path.isfile(p)]
    if missing:
        raise HarnessError(f"missing (build the mingw preset first): {', '.join(missing)}")


def main():
    """Entry point of a test module: harness options, then unittest's own."""
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--exe", required=False)
    parser.add_argument("--tools", required=False)
    parser.add_argument("--out", required=False)
    parser.add_argument("--template", required=False)
    parser.add_argument("--display", help="use this X display instead of a private Xvfb")
    parser.add_argument("--keep", action="store_true", help="keep the Wine prefix afterwards")
    parser.add_argument("--make-template", action="store_true", help="only make a fresh prefix template")
    options, rest = parser.parse_known_args()
    for name in ("exe", "tools", "out", "template"):
        value = getattr(options, name) or os.environ.get("LW_" + name.upper())
        setattr(CONFIG, name, os.path.abspath(value) if value else None)
    CONFIG.display = options.display or os.environ.get("LW_DISPLAY")
    CONFIG.keep = options.keep or os.environ.get("LW_KEEP") == "1"
    CONFIG.out = CONFIG.out or os.path.abspath("e2e-out")
    CONFIG.template = CONFIG.template or os.path.join(CONFIG.out, "wine-template")
    if options.make_template:
        xvfb = None if CONFIG.display else Xvfb().start()
        try:
            with template_lock(CONFIG.template):
                make_template(CONFIG.template, CONFIG.display or xvfb.display)
        finally:
            if xvfb:
                xvfb.stop()
        return
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
