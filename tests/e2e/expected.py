"""What the program is expected to show and write, written out from its documented behaviour (not taken
from its code), for the end-to-end tests to compare with."""

import os
import re

APP = "ZVK Launchwick"
WELCOME_TITLE = "Welcome to ZVK Launchwick"
ERROR_TITLE = "Error - ZVK Launchwick"
STATUS_LOADING = "Loading Launchwick"
STATUS_CONFIG = "User Configuration Required.  Exiting..."
EXIT_DELAY = 5.0  # seconds from arming the exit timer to the end of the process

_INSTRUCTIONS = [
    "[Instructions]",
    "This file contains the profiles for executables to be ",
    "started and the delay times between them. Each profile has ",
    'a delay time, denoted by the "Delay#=" setting and the ',
    'executable to be started, denoted by the "Path#" setting.',
    "The example entries for profiles 1-5 can be modified to start ",
    "any executable you wish. The delay time can be between 1 and ",
    "600 seconds. Each executable is started after the delay time ",
    "specified and occurs in sequencial order.",
    "",
    "The specified path can include the fully qualified path and ",
    "executable name, along with any command line switches desired.",
    "",
    'All the default profiles are disabled with a "#" symbol preceeding ',
    'each setting. To enable a profile, remove the "#" symbol from the ',
    'beginning of the "Delay#=" and "Path#=" lines for the corresponding ',
    "profile.",
    "",
    'To disable a profile, replace the "#" symbol from the beginning ',
    "of the desired profile's lines. For example, to disable profile 10, ",
    'add the "#" at the beginning of each of the profile\'s settings ',
    'so they resemble  "#Delay10=" and "#Path10=".',
    "",
    "NOTE: Make sure to remove the default startup link added by the ZVK",
    "product installation so that the default startup link doesn't start",
    "the ZVK product in addition to the delayed startup for the ZVK product",
    "from this startup sequence utility.  Otherwise, you'll get two instances",
    "of the ZVK product opening inadvertently when your computer boots up.",
    "",
    "",
    "",
    "",
    "[Paths]",
]


def default_settings_lines():
    lines = list(_INSTRUCTIONS)
    for n in range(1, 21):
        lines.append(f"#Delay{n}=20")
        lines.append(f"#Path{n}=" + (rf"C:\ZVK32\Parvane.exe /session:{n}" if n <= 4 else ""))
    return lines


def default_settings_bytes():
    return "".join(line + "\r\n" for line in default_settings_lines()).encode("cp1252")


def welcome_text(ini):
    return ("This appears to be your first time running ZVK Launchwick.\r\n\r\n"
            f'The configuration file "{ini}" has been created for you with default values.\r\n'
            "You will need to edit this file to complete your configuration.")


def no_profile_text(ini):
    return ("There appears to be an error running ZVK Launchwick.\r\n\r\n"
            f'The configuration file "{ini}" doesn\'t appear to contain any valid executable paths.\r\n'
            "You will need to verify your settings in this file to ensure there are valid executable paths "
            "entered.")


def missing_program_text(n, value):
    return f"The path specified in profile {n} ({value}) appears to be an invalid file or path."


def trace_not_found(ini):
    return f'Didn\'t find "{ini}".  Loading default settings...'


# The command line's jobs and the log file.
SHORTCUT_TAIL = r"\Start Menu\Programs\Startup\ZVK Launchwick.lnk"  # in the user's start-up folder
USAGE_START = "Usage: ZVKLaunchwick.exe [/install | /uninstall | /check] [/quiet]"
NOT_INSTALLED = "ZVK Launchwick was not set to start when you log on."


def installed_text(shortcut, ini):
    return f"ZVK Launchwick will now start when you log on.\r\n\r\nShortcut: {shortcut}\r\nSettings: {ini}"


def uninstalled_text(shortcut):
    return f"ZVK Launchwick will no longer start when you log on.\r\n\r\nRemoved: {shortcut}"


def version():
    """The project's version, as CMakeLists.txt gives it."""
    with open(os.path.join(os.path.dirname(__file__), "..", "..", "CMakeLists.txt")) as f:
        return re.search(r"project\(ZVKLaunchwick VERSION (\S+)", f.read()).group(1)


def log_header(ini):
    return f"ZVK Launchwick {version()}, settings {ini}"


def trace_found(ini):
    return f'Found "{ini}".  Loading settings...'


def trace_get_path(ini, n, value):
    return f'GetSetting({ini}, "Paths", "Path{n}", "?") = {value}'


def load_traces(ini, profiles):
    """Trace lines of loading the file at ini, from "Found" to "Loading Settings End".

    profiles maps N (1..20) to what the program does with it, in load order:
      ("none", value)           -> no valid entry (value as read: "?" or the trimmed value)
      ("skip", value)           -> no ".exe": no further line
      ("missing", value)        -> message box, no further line
      ("accept", value, delay)  -> shellPaths/shellPathDelay lines (delay after clamping)
      ("accept", value, delay, options, written)
                                -> the same, then the option lines (each formatted with k), with the
                                   GetSetting line showing the value as written before its expansion
      ("open", value, delay, options, written)
                                -> no PathN: OpenN's GetSetting line (as written), then the accepted lines,
                                   "shellPathOpen(k) = True" and the option lines
      ("open_missing", written) -> no PathN: OpenN's GetSetting line, then its box and no further line
    A profile not in the map reads as absent ("?").
    """
    lines = [trace_found(ini), "Loading Settings Start", ini + "ZVKLaunchwick.ini found"]
    k = 0
    for n in range(1, 21):
        kind, value, *rest = profiles.get(n, ("none", "?"))
        if kind.startswith("open"):
            lines.append(trace_get_path(ini, n, "?"))
            lines.append(f'GetSetting({ini}, "Paths", "Open{n}", "?") = {rest[2] if rest else value}')
            if kind == "open":
                lines += [f"shellPaths({k}) = {value}", f"shellPathDelay({k}) = {rest[0]}",
                          f"shellPathOpen({k}) = True"] + [option.format(k=k) for option in rest[1]]
                k += 1
            continue
        lines.append(trace_get_path(ini, n, rest[2] if len(rest) > 2 else value))
        if kind == "none":
            lines.append(f"No valid entry for path {n}")
        elif kind == "accept":
            lines.append(f"shellPaths({k}) = {value}")
            lines.append(f"shellPathDelay({k}) = {rest[0]}")
            lines += [option.format(k=k) for option in (rest[1] if len(rest) > 1 else ())]
            k += 1
    lines.append("Loading Settings End")
    return lines


# The window's layout in pixels at 96 dpi, relative to the client origin: (left, top, width, height).
CLIENT_SIZE = (567, 203)
STATUS_BOX = (2, 150, 563, 21)
FRAME_BOX = (7, 173, 508, 22)
CANCEL_BOX = (515, 173, 45, 22)
CANCEL_TEXT = "Cancel  "
FRAME_FILL = (64, 64, 64)
PROGRESS_GREEN = (0, 192, 0)
TITLE_BOX = (7, 84, 553, 44)  # the white title label
TITLE_TEXT = "Launchwick"
TITLE_POINTS100 = 2775


# The sequence and cancellation.
STATUS_COMPLETE = "Starting Sequence Complete.  Exiting..."
STATUS_CANCELED = "Starting Sequence Canceled.  Exiting..."
TRACE_CANCELED = "Process canceled by user"
START_DELAY = 1.0  # seconds from arming the start timer (end of loading) to the start tick
TICK = 1.0  # seconds between sequence ticks; tick 1 comes one tick after the start tick
FILL_LEFT, FILL_TOP, FILL_HEIGHT = 8, 174, 20  # the green fill inside the frame, in client pixels
FULL_FILL_TWIPS = 7590
TWIPS_PER_PIXEL = 15


def display_name(entry):
    """The status line's name of an entry: the text after its last backslash."""
    return entry.rsplit("\\", 1)[-1]


def countdown_status(current, count, name, seconds):
    return f'({current} of {count}) Starting "{name}" in {seconds} seconds'


def launch_status(current, count, name):
    return f'({current} of {count}) Starting "{name}"'


IDLE_WAIT_OVER = "Idle wait over: starting anyway"
NETWORK_STARTING = "Network: starting"
NETWORK_WAIT_OVER = "Network wait over: starting anyway"
LAUNCH = "timerCount reached specified delay.  Executing app..."


def waiting_status(current, count, name, processor, seconds):
    return (f'({current} of {count}) Waiting for the computer to settle before starting "{name}" '
            f"(processor {processor} %, {seconds} s at most)")


def key_trace(code):
    return f"Form_KeyPress KeyAscii = {code}"


def launch_ticks(delays):
    """S(i): the tick that starts profile i, for each profile; a negative delay counts as 0."""
    ticks, total = [], 0
    for delay in delays:
        total += max(delay, 0) + 1
        ticks.append(total)
    return ticks


def system_reason(system_text, code):
    """The system's text for a failure on one line, or the code where it has none."""
    return re.sub(r"\r\n|\r|\n", " ", system_text).rstrip(" ") or f"error {code}"


def failed_start(entry, system_text, code):
    """The trace line of a start that failed."""
    return f"Could not start {entry}: {system_reason(system_text, code)}"


def sequence_ticks(delays, failures=None):
    """The trace lines of every sequence tick, tick 1 first, up to and including the completion tick.
    failures maps a profile number to the line of its failed start, written right after its launch line."""
    failures = failures or {}
    count = len(delays)
    ticks = []
    for current, delay in enumerate(delays, 1):
        timer = 0
        while True:
            lines = [f"tmrMain_Timer Start currentShellPath={current} shellPathCount={count} timerCount={timer}",
                     "currentShellPath <= shellPathCount", f"shellPathDelay({current - 1}) = {delay}",
                     f"timerCount = {timer}"]
            launch = timer >= delay
            if launch:
                lines.append("timerCount reached specified delay.  Executing app...")
                lines += [failures[current]] if current in failures else []
            else:
                timer += 1
                lines += ["timerCount hasn't reached specified delay...",
                          f"timercount = {timer}  currentShellPath = {current}"]
            ticks.append(lines + ["tmrMain_Timer End"])
            if launch:
                break
    ticks.append([f"tmrMain_Timer Start currentShellPath={count + 1} shellPathCount={count} timerCount=0",
                  "currentShellPath > shellPathCount", "tmrMain_Timer End"])
    return ticks
