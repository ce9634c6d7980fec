#include "Texts.h"

#include "Strings.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace launchwick::texts {

namespace {
// The texts of every tick write their literals with sv: the length is known where they are written, so none
// is counted at run time. The rest, built once a run, keep the shorter code of a plain literal.
using namespace std::string_view_literals;
constexpr std::string_view crlf = lineEnd;

// The parts one after another, in one allocation: one call in place of a chain of string additions, each of
// which the compiler would spell out where it is used.
std::string Join(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (const std::string_view part : parts) {
        size += part.size();
    }
    std::string text;
    text.reserve(size);
    for (const std::string_view part : parts) {
        text += part;
    }
    return text;
}

// "(n of m) ", the start's place in the sequence that begins each status line.
std::string Counted(int n, int m) {
    return Join({"("sv, Str(n), " of "sv, Str(m), ") "sv});
}
} // namespace

std::string FoundSettings(const std::string& path) {
    return Join({"Found \"", path, "\".  Loading settings..."});
}

std::string DidNotFindSettings(const std::string& path) {
    return Join({"Didn't find \"", path, "\".  Loading default settings..."});
}

std::string NoValidPathsMessage(const std::string& path) {
    return Join(
        {"There appears to be an error running ZVK Launchwick.", crlf, crlf, "The configuration file \"",
         path, "\" doesn't appear to contain any valid executable paths.", crlf,
         "You will need to verify your settings in this file to ensure there are valid executable paths "
         "entered."});
}

std::string WelcomeMessage(const std::string& path) {
    return Join({"This appears to be your first time running ZVK Launchwick.", crlf, crlf,
                 "The configuration file \"", path, "\" has been created for you with default values.", crlf,
                 "You will need to edit this file to complete your configuration."});
}

std::string SettingsNotFound(const std::string& path) {
    return Join({"\"", path, "\" wasn't found"});
}

std::string SettingsFound(const std::string& path) {
    return Join({path, "ZVKLaunchwick.ini found"});
}

std::string GetSettingTrace(const std::string& path, int profile, const std::string& value) {
    return Join({"GetSetting(", path, ", \"Paths\", \"Path", Str(profile), "\", \"?\") = ", value});
}

std::string NoValidEntry(int profile) {
    return Join({"No valid entry for path ", Str(profile)});
}

std::string InvalidPathMessage(int profile, const std::string& value) {
    return Join({"The path specified in profile ", Str(profile), " (", value,
                 ") appears to be an invalid file or path."});
}

std::string ShellPathTrace(int index, const std::string& value) {
    return Join({"shellPaths(", Str(index), ") = ", value});
}

std::string ShellPathDelayTrace(int index, std::int32_t delay) {
    return Join({"shellPathDelay("sv, Str(index), ") = "sv, Str(delay)});
}

std::string ShellPathWindowTrace(int index, std::string_view state) {
    return Join({"shellPathWindow(", Str(index), ") = ", state});
}

std::string ShellPathStartInTrace(int index, const std::string& folder) {
    return Join({"shellPathStartIn(", Str(index), ") = ", folder});
}

std::string GetOpenSettingTrace(const std::string& path, int profile, const std::string& value) {
    return Join({"GetSetting(", path, ", \"Paths\", \"Open", Str(profile), "\", \"?\") = ", value});
}

std::string ShellPathOpenTrace(int index) {
    return Join({"shellPathOpen(", Str(index), ") = True"});
}

std::string ShellPathWaitReadyTrace(int index, std::int32_t seconds) {
    return Join({"shellPathWaitReady(", Str(index), ") = ", Str(seconds)});
}

std::string ReadyWaitingTrace(std::int32_t secondsLeft) {
    return Join({"Waiting for ready: ", Str(secondsLeft), " s left"});
}

std::string ReadyWaitingStatus(int profile, int shellPathCount, const std::string& name,
                               std::int32_t secondsLeft) {
    return Join({Counted(profile, shellPathCount), "Waiting for \"", name, "\" to be ready (",
                 Str(secondsLeft), " s at most)"});
}

std::string ShellPathWaitNetworkTrace(int index, std::int32_t seconds) {
    return Join({"shellPathWaitNetwork(", Str(index), ") = ", Str(seconds)});
}

std::string NetworkWaitingTrace(std::int32_t secondsLeft) {
    return Join({"Waiting for the network: ", Str(secondsLeft), " s left"});
}

std::string NetworkWaitingStatus(int profile, int shellPathCount, const std::string& name,
                                 std::int32_t secondsLeft) {
    return Join({Counted(profile, shellPathCount), "Waiting for the network before starting \"", name, "\" (",
                 Str(secondsLeft), " s at most)"});
}

std::string CouldNotAskForNetwork(const std::string& reason) {
    return Join({"Could not ask for the network: ", reason});
}

std::string CouldNotWrite(const std::string& path) {
    return Join({"Could not write to ", path});
}

std::string CouldNotReadAsUnicode(const std::string& path) {
    return Join({"Could not read ", path, " as Unicode"});
}

std::string CouldNotStart(const std::string& entry, const std::string& systemText, std::uint32_t code) {
    return Join({"Could not start ", entry, ": ", SystemReason(systemText, code)});
}

std::string SystemReason(const std::string& systemText, std::uint32_t code) {
    std::string reason = OneLine(systemText);
    reason.erase(reason.find_last_not_of(' ') + 1); // the trailing break and spaces
    return reason.empty() ? Join({"error ", Str(code)}) : reason;
}

std::string OneLine(std::string_view text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
        } else if (!(c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            line += ' '; // one space for each line break, CR LF counting as one
        }
    }
    return line;
}

std::string BoxTrace(std::string_view title, std::string_view text) {
    return Join({title, ": ", OneLine(text)});
}

std::string ReportHeader(const std::string& path, std::string_view encoding) {
    return Join({"ZVK Launchwick " LAUNCHWICK_VERSION ": ", path, " (", encoding, ")"});
}

std::string NoSettingsFile(const std::string& path) {
    return Join({"No settings file at ", path, ": a run writes the default file and opens it in Notepad."});
}

std::string ProfileStarts(int profile, const std::string& program, const std::string& arguments,
                          std::int32_t delay) {
    return Join({"Profile ", Str(profile), ": starts ", program, arguments.empty() ? "" : " with ", arguments,
                 " after ", Str(delay), " s"});
}

std::string ProfileOpens(int profile, const std::string& value, std::int32_t delay) {
    return Join({"Profile ", Str(profile), ": opens ", value, " after ", Str(delay), " s"});
}

std::string WindowAddition(std::string_view state) {
    return Join({", window ", state});
}

std::string StartInAddition(const std::string& folder) {
    return Join({", in ", folder});
}

std::string NetworkAddition(std::int32_t seconds) {
    return Join({", after waiting for the network up to ", Str(seconds), " s"});
}

std::string ReadyAddition(std::int32_t seconds) {
    return Join({", then waits up to ", Str(seconds), " s for it to be ready"});
}

std::string CheckedAtItsTurn(const std::string& startLine, const std::string& program) {
    return Join({startLine, " (checked at its turn; ", program, " does not exist now)"});
}

std::string ProgramMissing(int profile, const std::string& program) {
    return Join({"Profile ", Str(profile), ": not started: ", program, " does not exist"});
}

std::string NoProgram(int profile) {
    return Join({"Profile ", Str(profile), ": not started: no program ending in \".exe\""});
}

std::string IdleWaitLine(std::int32_t seconds, int processor) {
    return Join(
        {"Idle wait: up to ", Str(seconds), " s before each start, below ", Str(processor), " % processor"});
}

std::string LogFileLine(const std::string& path) {
    return Join({"Log file: ", path});
}

std::string IgnoredValue(std::string_view ignoringTrace) {
    return Join({"Ignored: ", ignoringTrace.substr(std::min(ignoringPrefix.size(), ignoringTrace.size()))});
}

std::string DelayNote(std::string_view key, const std::string& value, std::int32_t seconds) {
    return Join({"Note: ", key, "=", value, " counts as ", Str(seconds)});
}

std::string UnknownKey(const std::string& key, const std::string& section) {
    return Join({"Ignored: ", key, " in [", section, "] (not a key of ZVK Launchwick)"});
}

std::string UnknownSection(const std::string& section) {
    return Join({"Ignored: [", section, "] (not a section of ZVK Launchwick)"});
}

std::string ReportSummary(int starting, int profiles, int problems) {
    return Join({Str(starting), " of ", Str(profiles), " profiles start; ", Str(problems), " problems"});
}

std::string AlreadyRunning(const std::string& path) {
    return Join({"Already running for ", path});
}

std::string IgnoringOption(std::string_view key, const std::string& value) {
    return Join({ignoringPrefix, key, "=", value});
}

std::string WaitingTrace(int processor, std::int32_t secondsLeft) {
    return Join({"Waiting for idle: processor ", Str(processor), " %, ", Str(secondsLeft), " s left"});
}

std::string WaitingStatus(int currentShellPath, int shellPathCount, const std::string& name, int processor,
                          std::int32_t secondsLeft) {
    return Join({Counted(currentShellPath, shellPathCount),
                 "Waiting for the computer to settle before starting \"", name, "\" (processor ",
                 Str(processor), " %, ", Str(secondsLeft), " s at most)"});
}

std::string LogHeader(const std::string& configFilePath) {
    return Join({"ZVK Launchwick " LAUNCHWICK_VERSION ", settings ", configFilePath});
}

std::string InstalledMessage(const std::string& shortcut, const std::string& configFilePath) {
    return Join({"ZVK Launchwick will now start when you log on.", crlf, crlf, "Shortcut: ", shortcut, crlf,
                 "Settings: ", configFilePath});
}

std::string UninstalledMessage(const std::string& shortcut) {
    return Join({"ZVK Launchwick will no longer start when you log on.", crlf, crlf, "Removed: ", shortcut});
}

std::string ShortcutWritten(const std::string& shortcut) {
    return Join({"Start-up shortcut written: ", shortcut});
}

std::string ShortcutRemoved(const std::string& shortcut) {
    return Join({"Start-up shortcut removed: ", shortcut});
}

std::string NoShortcut(const std::string& shortcut) {
    return Join({"No start-up shortcut at ", shortcut});
}

std::string CouldNotWriteShortcut(const std::string& shortcut, const std::string& reason) {
    return Join({"Could not write the start-up shortcut ", shortcut, ": ", reason});
}

std::string CouldNotRemoveShortcut(const std::string& shortcut, const std::string& reason) {
    return Join({"Could not remove the start-up shortcut ", shortcut, ": ", reason});
}

std::string TickStart(int currentShellPath, int shellPathCount, std::int32_t timerCount) {
    return Join({"tmrMain_Timer Start currentShellPath="sv, Str(currentShellPath), " shellPathCount="sv,
                 Str(shellPathCount), " timerCount="sv, Str(timerCount)});
}

std::string TimerCountTrace(std::int32_t timerCount) {
    return Join({"timerCount = "sv, Str(timerCount)});
}

// Written with a lower-case c and two spaces before currentShellPath, as debugger filters expect.
std::string CountdownTrace(std::int32_t timerCount, int currentShellPath) {
    return Join({"timercount = "sv, Str(timerCount), "  currentShellPath = "sv, Str(currentShellPath)});
}

std::string LaunchStatus(int currentShellPath, int shellPathCount, const std::string& name) {
    return Join({Counted(currentShellPath, shellPathCount), "Starting \"", name, "\""});
}

std::string CountdownStatus(int currentShellPath, int shellPathCount, const std::string& name,
                            std::int32_t seconds) {
    return Join({Counted(currentShellPath, shellPathCount), "Starting \""sv, name, "\" in "sv, Str(seconds),
                 " seconds"sv});
}

std::string KeyPressTrace(int keyAscii) {
    return Join({"Form_KeyPress KeyAscii = ", Str(keyAscii)});
}

namespace {
constexpr std::string_view defaultSettingsHead[] = {
    "[Instructions]",
    "This file contains the profiles for executables to be ",
    "started and the delay times between them. Each profile has ",
    "a delay time, denoted by the \"Delay#=\" setting and the ",
    "executable to be started, denoted by the \"Path#\" setting.",
    "The example entries for profiles 1-5 can be modified to start ",
    "any executable you wish. The delay time can be between 1 and ",
    "600 seconds. Each executable is started after the delay time ",
    "specified and occurs in sequencial order.",
    "",
    "The specified path can include the fully qualified path and ",
    "executable name, along with any command line switches desired.",
    "",
    "All the default profiles are disabled with a \"#\" symbol preceeding ",
    "each setting. To enable a profile, remove the \"#\" symbol from the ",
    "beginning of the \"Delay#=\" and \"Path#=\" lines for the corresponding ",
    "profile.",
    "",
    "To disable a profile, replace the \"#\" symbol from the beginning ",
    "of the desired profile's lines. For example, to disable profile 10, ",
    "add the \"#\" at the beginning of each of the profile's settings ",
    "so they resemble  \"#Delay10=\" and \"#Path10=\".",
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
};
} // namespace

// The instructions, then the disabled profiles: the first four start the sample program.
std::vector<std::string> DefaultSettingsLines(int profiles) {
    std::vector<std::string> lines(std::begin(defaultSettingsHead), std::end(defaultSettingsHead));
    for (int n = 1; n <= profiles; ++n) {
        lines.push_back(Join({"#Delay", Str(n), "=20"}));
        const std::string sample = n <= 4 ? "C:\\ZVK32\\Parvane.exe /session:" + Str(n) : "";
        lines.push_back(Join({"#Path", Str(n), "=", sample}));
    }
    return lines;
}

} // namespace launchwick::texts
