// Every text the program shows, writes or traces, in one place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace launchwick::texts {

inline constexpr std::string_view settingsFileName = "ZVKLaunchwick.ini";
inline constexpr std::string_view windowTitle = "ZVK Launchwick";
inline constexpr std::string_view command1Caption = "Cancel";
inline constexpr std::string_view btnCancelCaption = "Cancel  ";
inline constexpr std::string_view titleCaption = "Launchwick";
inline constexpr std::string_view statusLoading = "Loading Launchwick";
inline constexpr std::string_view statusConfigurationRequired = "User Configuration Required.  Exiting...";
inline constexpr std::string_view statusComplete = "Starting Sequence Complete.  Exiting...";
inline constexpr std::string_view statusCanceled = "Starting Sequence Canceled.  Exiting...";

inline constexpr std::string_view errorTitle = "Error - ZVK Launchwick";
inline constexpr std::string_view welcomeTitle = "Welcome to ZVK Launchwick";
inline constexpr std::string_view browserErrorTitle = "Browser Error";
inline constexpr std::string_view browserErrorText = "Could not open browser";

inline constexpr std::string_view pathsSection = "Paths";
inline constexpr std::string_view instructionsSection = "Instructions";
inline constexpr std::string_view pathKey = "Path";
inline constexpr std::string_view delayKey = "Delay";
inline constexpr std::string_view noPathValue = "?";
inline constexpr std::string_view noDelayValue = "0";
inline constexpr std::string_view notepadCommand = "notepad.exe ";

inline constexpr std::string_view browserProbeSuffix = ".HTM";
inline constexpr std::string_view browserProbeLine = "\"<HTML> <\\HTML>\"\r\n";
inline constexpr std::string_view openVerb = "open";

// Trace lines and messages that carry values.
std::string FoundSettings(const std::string& path);
std::string DidNotFindSettings(const std::string& path);
std::string NoValidPathsMessage(const std::string& path);
std::string WelcomeMessage(const std::string& path);
std::string SettingsNotFound(const std::string& path);
std::string SettingsFound(const std::string& path);
std::string GetSettingTrace(const std::string& path, int profile, const std::string& value);
std::string NoValidEntry(int profile);
std::string InvalidPathMessage(int profile, const std::string& value);
std::string ShellPathTrace(int index, const std::string& value);
std::string ShellPathDelayTrace(int index, std::int32_t delay);
// The optional start options of a profile.
inline constexpr std::string_view windowKey = "Window";
inline constexpr std::string_view startInKey = "StartIn";
inline constexpr std::string_view windowNormal = "Normal";
inline constexpr std::string_view windowNoFocus = "NoFocus";
inline constexpr std::string_view windowMinimized = "Minimized";
inline constexpr std::string_view windowMaximized = "Maximized";
inline constexpr std::string_view windowHidden = "Hidden";
std::string ShellPathWindowTrace(int index, std::string_view state);
std::string ShellPathStartInTrace(int index, const std::string& folder);

// A document, folder or link opened with its default verb, for a profile without a program.
inline constexpr std::string_view openKey = "Open";
std::string GetOpenSettingTrace(const std::string& path, int profile, const std::string& value);
std::string ShellPathOpenTrace(int index);

// The optional wait for a started program to be ready.
inline constexpr std::string_view waitReadyKey = "WaitReady";
inline constexpr std::string_view readyGoingOn = "Ready: going on";
inline constexpr std::string_view readyWaitOver = "Ready wait over: going on anyway";
std::string ShellPathWaitReadyTrace(int index, std::int32_t seconds);
std::string ReadyWaitingTrace(std::int32_t secondsLeft);
std::string ReadyWaitingStatus(int profile, int shellPathCount, const std::string& name,
                               std::int32_t secondsLeft);
// The optional wait for the network.
inline constexpr std::string_view waitNetworkKey = "WaitNetwork";
inline constexpr std::string_view networkStarting = "Network: starting";
inline constexpr std::string_view networkWaitOver = "Network wait over: starting anyway";
std::string ShellPathWaitNetworkTrace(int index, std::int32_t seconds);
std::string NetworkWaitingTrace(std::int32_t secondsLeft);
std::string NetworkWaitingStatus(int profile, int shellPathCount, const std::string& name,
                                 std::int32_t secondsLeft);
std::string CouldNotAskForNetwork(const std::string& reason);
std::string CouldNotWrite(const std::string& path);
// The settings file needed a Unicode copy that could not be made; it is read as an ANSI file.
std::string CouldNotReadAsUnicode(const std::string& path);
inline constexpr std::string_view unicodeCopySuffix = ".ini";

std::string TickStart(int currentShellPath, int shellPathCount, std::int32_t timerCount);
std::string TimerCountTrace(std::int32_t timerCount);
std::string CountdownTrace(std::int32_t timerCount, int currentShellPath);
std::string LaunchStatus(int currentShellPath, int shellPathCount, const std::string& name);
std::string CountdownStatus(int currentShellPath, int shellPathCount, const std::string& name,
                            std::int32_t seconds);
std::string KeyPressTrace(int keyAscii);
// A start that failed: the entry as written in the settings, and why, in the system's words (systemText,
// on one line) or, where the system has none, as "error <code>".
std::string CouldNotStart(const std::string& entry, const std::string& systemText, std::uint32_t code);
std::string AlreadyRunning(const std::string& path);

// The optional wait for an idle computer.
inline constexpr std::string_view optionsSection = "Options";
inline constexpr std::string_view waitForIdleKey = "WaitForIdle";
inline constexpr std::string_view idleBelowKey = "IdleBelow";
inline constexpr std::string_view idleStarting = "Idle: starting";
inline constexpr std::string_view idleWaitOver = "Idle wait over: starting anyway";
// "Ignoring <Key>=<value>": a value a run does not use.
inline constexpr std::string_view ignoringPrefix = "Ignoring ";
std::string IgnoringOption(std::string_view key, const std::string& value);
std::string WaitingTrace(int processor, std::int32_t secondsLeft);
std::string WaitingStatus(int currentShellPath, int shellPathCount, const std::string& name, int processor,
                          std::int32_t secondsLeft);

// The log file.
inline constexpr std::string_view logFileKey = "LogFile";
inline constexpr std::string_view oldLogSuffix = ".old";
// "ZVK Launchwick <version>, settings <path>".
std::string LogHeader(const std::string& configFilePath);

// Starting at log-on: the command line's jobs.
inline constexpr std::string_view shortcutName = "ZVK Launchwick.lnk";
inline constexpr std::string_view usageText =
    "Usage: ZVKLaunchwick.exe [/install | /uninstall | /check] [/quiet]\r\n\r\n"
    "/install - start ZVK Launchwick when you log on (a shortcut in your start-up folder)\r\n"
    "/uninstall - no longer start it when you log on\r\n"
    "/check - report what a start would do with the settings file, starting nothing "
    "(exit code 1 when something needs a look)\r\n"
    "/quiet - show no message; the exit code tells the result (0 done, 1 failed, 2 usage)\r\n\r\n"
    "Without an argument it starts the programs of its settings file.";
inline constexpr std::string_view notInstalledMessage =
    "ZVK Launchwick was not set to start when you log on.";
std::string InstalledMessage(const std::string& shortcut, const std::string& configFilePath);
std::string UninstalledMessage(const std::string& shortcut);
std::string ShortcutWritten(const std::string& shortcut);
std::string ShortcutRemoved(const std::string& shortcut);
std::string NoShortcut(const std::string& shortcut);
std::string CouldNotWriteShortcut(const std::string& shortcut, const std::string& reason);
std::string CouldNotRemoveShortcut(const std::string& shortcut, const std::string& reason);
// The system's text for a failure on one line, or "error <code>" where it has none.
std::string SystemReason(const std::string& systemText, std::uint32_t code);
// Each line break (CR LF, CR or LF) as one space.
std::string OneLine(std::string_view text);

// [Options] ErrorBoxes=Off: each configuration box becomes one trace line "<title>: <text>".
inline constexpr std::string_view errorBoxesKey = "ErrorBoxes";
inline constexpr std::string_view errorBoxesOff = "Off";
inline constexpr std::string_view errorBoxesOn = "On";
inline constexpr std::string_view noNotepadTrace = "Not opening the settings in Notepad: ErrorBoxes=Off";
std::string BoxTrace(std::string_view title, std::string_view text);

// The report of /check, one line each.
inline constexpr std::string_view encodingAnsi = "ANSI";
inline constexpr std::string_view encodingUtf8 = "UTF-8";
inline constexpr std::string_view encodingUtf8Mark = "UTF-8 with a byte-order mark";
inline constexpr std::string_view encodingUtf16Le = "UTF-16 LE";
inline constexpr std::string_view encodingUtf16Be = "UTF-16 BE";
inline constexpr std::string_view reportCut = "\xE2\x80\xA6"; // the box shows this in place of the rest
inline constexpr std::string_view errorBoxesOffLine = "Error boxes: off";
std::string ReportHeader(const std::string& path, std::string_view encoding);
std::string NoSettingsFile(const std::string& path);
// "Profile N: starts <program>[ with <arguments>] after <d> s"; the additions below follow it.
std::string ProfileStarts(int profile, const std::string& program, const std::string& arguments,
                          std::int32_t delay);
std::string ProfileOpens(int profile, const std::string& value, std::int32_t delay);
std::string WindowAddition(std::string_view state);
std::string StartInAddition(const std::string& folder);
std::string NetworkAddition(std::int32_t seconds);
std::string ReadyAddition(std::int32_t seconds);
// A profile that waits for the network is looked at only when its turn comes.
std::string CheckedAtItsTurn(const std::string& startLine, const std::string& program);
std::string ProgramMissing(int profile, const std::string& program);
std::string NoProgram(int profile);
std::string IdleWaitLine(std::int32_t seconds, int processor);
std::string LogFileLine(const std::string& path);
// A run's "Ignoring <Key>=<value>" trace line as the report says it.
std::string IgnoredValue(std::string_view ignoringTrace);
std::string DelayNote(std::string_view key, const std::string& value, std::int32_t seconds);
std::string UnknownKey(const std::string& key, const std::string& section);
std::string UnknownSection(const std::string& section);
std::string ReportSummary(int starting, int profiles, int problems);

inline constexpr std::string_view loadingStart = "Loading Settings Start";
inline constexpr std::string_view loadingEnd = "Loading Settings End";
inline constexpr std::string_view tickInRange = "currentShellPath <= shellPathCount";
inline constexpr std::string_view tickLaunch = "timerCount reached specified delay.  Executing app...";
inline constexpr std::string_view tickCountdown = "timerCount hasn't reached specified delay...";
inline constexpr std::string_view tickComplete = "currentShellPath > shellPathCount";
inline constexpr std::string_view tickEnd = "tmrMain_Timer End";
inline constexpr std::string_view canceledByUser = "Process canceled by user";

// The lines of the default settings file, with the disabled profiles 1 to profiles (20 profiles: 73
// lines); each is written followed by CR LF.
std::vector<std::string> DefaultSettingsLines(int profiles);
inline constexpr std::string_view lineEnd = "\r\n";

} // namespace launchwick::texts
