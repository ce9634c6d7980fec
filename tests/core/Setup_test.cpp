// The jobs of the command line: which job a command line asks for, what /install and /uninstall do with
// the start-up shortcut, and what /check reports, without a window.
#include "Setup.h"

#include "Encoding.h"
#include "FakePlatform.h"
#include "Texts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace launchwick {
namespace {

using test::FakePlatform;
using Lines = std::vector<std::string>;

const std::string kConfig = "C:\\ZVK32\\ZVKLaunchwick.ini";
const std::string kProgram = "C:\\ZVK32\\Parvane.exe";

struct ArgumentCase {
    const char* commandLine;
    Job job;
    bool quiet;
};

constexpr ArgumentCase kArguments[] = {
    {"", Job::Run, false},
    {" \t ", Job::Run, false},
    {"/install", Job::Install, false},
    {"-INSTALL", Job::Install, false},
    {"  /Install   /Quiet  ", Job::Install, true},
    {"-quiet\t/install", Job::Install, true},
    {"\"/install\"", Job::Install, false},
    {"/uninstall", Job::Uninstall, false},
    {"-UnInstall -QUIET", Job::Uninstall, true},
    {"/check", Job::Check, false},
    {"-Check /QUIET", Job::Check, true},
    // Refused: the usage, which /quiet keeps silent too.
    {"/quiet", Job::Usage, true},
    {"/install /uninstall", Job::Usage, false},
    {"/install /uninstall /quiet", Job::Usage, true},
    {"/install /install", Job::Usage, false},
    {"/check /install", Job::Usage, false},
    {"/check /check /quiet", Job::Usage, true},
    {"/install /quiet /quiet", Job::Usage, true},
    {"install", Job::Usage, false},
    {"--install", Job::Usage, false},
    {"/installs", Job::Usage, false},
    {"/in stall", Job::Usage, false},
    {"/", Job::Usage, false},
    {"\"\"", Job::Usage, false},
    {"/start", Job::Usage, false},
    {"/install C:\\x", Job::Usage, false},
    {"\"/install /quiet\"", Job::Usage, false},
    {"/quiet extra", Job::Usage, true},
};

TEST(ParseArguments, AcceptsOneJobWithAnOptionalQuietAndRefusesTheRest) {
    for (const auto& c : kArguments) {
        SCOPED_TRACE(c.commandLine);
        EXPECT_EQ(ParseArguments(c.commandLine), (Arguments{c.job, c.quiet}));
    }
}

const std::string kStartup =
    "C:\\Users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
const std::string kShortcut = kStartup + "\\ZVK Launchwick.lnk";
const std::string kWritten = "Trace|Start-up shortcut written: " + kShortcut;
const std::string kInstalledBox =
    "IconBox|information|ZVK Launchwick|ZVK Launchwick will now start when you log "
    "on.\r\n\r\nShortcut: " +
    kShortcut + "\r\nSettings: " + kConfig;
const std::string kWriteShortcut =
    "WriteShortcut|" + kShortcut + "|C:\\ZVK32\\ZVKLaunchwick.exe||C:\\ZVK32|1";
const std::string kCannotWrite = "Could not write the start-up shortcut " + kShortcut + ": Access is denied.";
const std::string kCannotRemove =
    "Could not remove the start-up shortcut " + kShortcut + ": Access is denied.";
const std::string kNoFolder =
    "Could not write the start-up shortcut ZVK Launchwick.lnk: The system cannot find the file specified.";

struct JobCase {
    const char* name;
    Arguments arguments;
    bool shortcutThere;
    std::uint32_t failure;       // the system's code when writing or removing the shortcut fails
    std::uint32_t folderFailure; // the system's code when the start-up folder is not known
    Lines calls;
    int exitCode;
};

const JobCase kJobs[] = {
    {"install",
     {Job::Install, false},
     false,
     0,
     0,
     {"StartupFolder", kWriteShortcut, kWritten, kInstalledBox},
     0},
    {"install over an older shortcut, quietly",
     {Job::Install, true},
     true,
     0,
     0,
     {"StartupFolder", kWriteShortcut, kWritten},
     0},
    {"install refused",
     {Job::Install, false},
     false,
     5,
     0,
     {"StartupFolder", kWriteShortcut, "SystemMessage|5", "Trace|" + kCannotWrite,
      "IconBox|error|ZVK Launchwick|" + kCannotWrite},
     1},
    {"install refused, quietly",
     {Job::Install, true},
     false,
     5,
     0,
     {"StartupFolder", kWriteShortcut, "SystemMessage|5", "Trace|" + kCannotWrite},
     1},
    {"no start-up folder",
     {Job::Install, false},
     false,
     0,
     2,
     {"StartupFolder", "SystemMessage|2", "Trace|" + kNoFolder, "IconBox|error|ZVK Launchwick|" + kNoFolder},
     1},
    {"a failure the system has no text for",
     {Job::Install, true},
     false,
     0,
     0x80004005U,
     {"StartupFolder", "SystemMessage|2147500037",
      "Trace|Could not write the start-up shortcut ZVK Launchwick.lnk: error 2147500037"},
     1},
    {"uninstall",
     {Job::Uninstall, false},
     true,
     0,
     0,
     {"StartupFolder", "RemoveFileIfPresent|" + kShortcut, "Trace|Start-up shortcut removed: " + kShortcut,
      "IconBox|information|ZVK Launchwick|ZVK Launchwick will no longer start when you log "
      "on.\r\n\r\nRemoved: " +
          kShortcut},
     0},
    {"uninstall without a shortcut",
     {Job::Uninstall, false},
     false,
     0,
     0,
     {"StartupFolder", "RemoveFileIfPresent|" + kShortcut, "Trace|No start-up shortcut at " + kShortcut,
      "IconBox|information|ZVK Launchwick|ZVK Launchwick was not set to start when you log on."},
     0},
    {"uninstall without a shortcut, quietly",
     {Job::Uninstall, true},
     false,
     0,
     0,
     {"StartupFolder", "RemoveFileIfPresent|" + kShortcut, "Trace|No start-up shortcut at " + kShortcut},
     0},
    {"uninstall refused",
     {Job::Uninstall, false},
     true,
     5,
     0,
     {"StartupFolder", "RemoveFileIfPresent|" + kShortcut, "SystemMessage|5", "Trace|" + kCannotRemove,
      "IconBox|error|ZVK Launchwick|" + kCannotRemove},
     1},
    {"usage",
     {Job::Usage, false},
     true,
     0,
     0,
     {"IconBox|information|ZVK Launchwick|Usage: ZVKLaunchwick.exe [/install | /uninstall | /check] "
      "[/quiet]\r\n\r\n"
      "/install - start ZVK Launchwick when you log on (a shortcut in your start-up folder)\r\n"
      "/uninstall - no longer start it when you log on\r\n"
      "/check - report what a start would do with the settings file, starting nothing (exit code 1 when "
      "something needs a look)\r\n"
      "/quiet - show no message; the exit code tells the result (0 done, 1 failed, 2 usage)\r\n\r\n"
      "Without an argument it starts the programs of its settings file."},
     2},
    {"usage, quietly", {Job::Usage, true}, false, 0, 0, {}, 2},
};

// The system's text on one line: each line break one space (CR LF one), the end trimmed; "error N" when
// nothing is left.
struct ReasonCase {
    const char* systemText;
    std::uint32_t code;
    const char* reason;
};
constexpr ReasonCase kReasons[] = {
    {"Access is denied.\r\n", 5, "Access is denied."},
    {"Two\r\nlines.\r\n", 1, "Two lines."},
    {"Bare\nbreaks\rboth\n", 1, "Bare breaks both"},
    {"Blank\r\n\r\nline", 1, "Blank  line"},
    {"LF CR\n\rreversed", 1, "LF CR  reversed"},
    {"CR CR LF\r\r\nend", 1, "CR CR LF  end"},
    {"  leading kept, trailing spaces go   \r\n  ", 1, "  leading kept, trailing spaces go"},
    {"", 5, "error 5"},
    {"\r\n \r\n", 7, "error 7"},
    {"", 0x80004005U, "error 2147500037"},
    {"", 4'294'967'295U, "error 4294967295"},
};

TEST(SystemReason, PutsTheSystemsTextOnOneLineOrNamesTheCode) {
    for (const auto& c : kReasons) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(texts::SystemReason(c.systemText, c.code), c.reason);
    }
}

// No window, no settings file, no claim, nothing started: only the calls listed.
TEST(RunJob, WritesOrRemovesTheStartUpShortcutAndSaysSo) {
    for (const auto& c : kJobs) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        fake.systemMessages[5] = "Access is denied.\r\n";
        if (c.shortcutThere) {
            fake.AddFile(kShortcut, "older");
        }
        if (c.failure != 0) {
            fake.failingPaths[kShortcut] = c.failure;
        }
        if (c.folderFailure != 0) {
            fake.startupFolderError = c.folderFailure;
        }
        EXPECT_EQ(RunJob(fake, c.arguments), c.exitCode);
        EXPECT_EQ(fake.calls, c.calls);
        const bool written = c.exitCode == 0 && c.arguments.job == Job::Install;
        const bool removed = c.exitCode == 0 && c.arguments.job == Job::Uninstall;
        EXPECT_EQ(fake.files.count(kShortcut), (written || (c.shortcutThere && !removed)) ? 1U : 0U);
        if (written) {
            EXPECT_EQ(fake.files.at(kShortcut).content, "shortcut to C:\\ZVK32\\ZVKLaunchwick.exe");
        }
        EXPECT_EQ(fake.files.count(kConfig), 0U);
    }
}

// Every kind of report line, in a run's order.
const std::string kEveryKind = "[Paths]\r\n"
                               "Path1=C:\\ZVK32\\Parvane.exe /session:1\r\n"
                               "Delay1=20\r\n"
                               "Window1=minimized\r\n"
                               "StartIn1=C:\\ZVK32\r\n"
                               "WaitReady1=30\r\n"
                               "Path2=C:\\ZVK32\\Parvane.exe\r\n"
                               "Delay2=x1\r\n"
                               "Window2=Iconic\r\n"
                               "Path3=C:\\Gone.exe /a\r\n"
                               "Dealy3=10\r\n"
                               "Path4=C:\\ZVK32\\notes.txt\r\n"
                               "Path5=C:\\ZVK32\\Parvane.exe\r\n"
                               "Delay5=-5\r\n"
                               "Path6=C:\\ZVK32\\Parvane.exe\r\n"
                               "Delay6=700\r\n"
                               "WaitReady6=soon\r\n"
                               "#Path7=C:\\Gone.exe\r\n"
                               "Path21=C:\\ZVK32\\Parvane.exe\r\n"
                               "[Options]\r\n"
                               "WaitForIdle=60\r\n"
                               "IdleBelow=20\r\n"
                               "LogFile=launch.log\r\n"
                               "ErrorBoxes=off\r\n"
                               "Colour=blue\r\n"
                               "[Extra]\r\n"
                               "a=b\r\n"
                               "[Instructions]\r\n"
                               "free=text\r\n";
const std::string kHeader = "ZVK Launchwick " LAUNCHWICK_VERSION ": " + kConfig;

struct CheckCase {
    const char* name;
    std::string file; // empty: there is none
    bool console;     // standard output is no file nor pipe: the box
    bool quiet;
    bool claimed; // another run holds the settings file
    Lines report;
    int exitCode;
};

const CheckCase kChecks[] = {
    {"every kind of line",
     kEveryKind,
     false,
     false,
     false,
     {kHeader + " (ANSI)",
      "Profile 1: starts C:\\ZVK32\\Parvane.exe with /session:1 after 20 s, window Minimized, in C:\\ZVK32, "
      "then "
      "waits up to 30 s for it to be ready",
      "Profile 2: starts C:\\ZVK32\\Parvane.exe after 20 s",
      "Profile 3: not started: C:\\Gone.exe does not exist",
      "Profile 4: not started: no program ending in \".exe\"",
      "Profile 5: starts C:\\ZVK32\\Parvane.exe after 0 s",
      "Profile 6: starts C:\\ZVK32\\Parvane.exe after 600 s",
      "Idle wait: up to 60 s before each start, below 20 % processor",
      "Log file: C:\\ZVK32\\launch.log",
      "Error boxes: off",
      "Ignored: Window2=Iconic",
      "Ignored: WaitReady6=soon",
      "Note: Delay2=x1 counts as 20",
      "Note: Delay5=-5 counts as 0",
      "Note: Delay6=700 counts as 600",
      "Ignored: Dealy3 in [Paths] (not a key of ZVK Launchwick)",
      "Ignored: Path21 in [Paths] (not a key of ZVK Launchwick)",
      "Ignored: Colour in [Options] (not a key of ZVK Launchwick)",
      "Ignored: [Extra] (not a section of ZVK Launchwick)",
      "4 of 6 profiles start; 11 problems"},
     1},
    {"a clean file, while a run holds it",
     "[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe\r\nDelay1=5\r\n",
     false,
     false,
     true,
     {kHeader + " (ANSI)", "Profile 1: starts C:\\ZVK32\\Parvane.exe after 5 s",
      "1 of 1 profiles start; 0 problems"},
     0},
    {"an ignored value alone is a problem",
     "[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe\r\n[Options]\r\nErrorBoxes=maybe\r\n",
     false,
     false,
     false,
     {kHeader + " (ANSI)", "Profile 1: starts C:\\ZVK32\\Parvane.exe after 0 s", "Ignored: ErrorBoxes=maybe",
      "1 of 1 profiles start; 1 problems"},
     1},
    {"documents, links and a program on the network",
     "[Paths]\r\n"
     "Path1=\\\\files\\apps\\tool.exe --tray\r\n"
     "Delay1=5\r\n"
     "WaitNetwork1=60\r\n"
     "Open2=C:\\ZVK32\\notes.txt\r\n"
     "Window2=Maximized\r\n"
     "Open3=https://status.example.com/board\r\n"
     "WaitNetwork3=5\r\n"
     "Open4=C:\\ZVK32\\gone.txt\r\n"
     "Path5=C:\\ZVK32\\Parvane.exe\r\n"
     "Open5=C:\\ZVK32\\notes.txt\r\n",
     false,
     false,
     false,
     {kHeader + " (ANSI)",
      "Profile 1: starts \\\\files\\apps\\tool.exe with --tray after 5 s, after waiting for the network up "
      "to "
      "60 s (checked at its turn; \\\\files\\apps\\tool.exe does not exist now)",
      "Profile 2: opens C:\\ZVK32\\notes.txt after 0 s, window Maximized",
      "Profile 3: opens https://status.example.com/board after 0 s, after waiting for the network up to 5 s",
      "Profile 4: not started: C:\\ZVK32\\gone.txt does not exist",
      "Profile 5: starts C:\\ZVK32\\Parvane.exe after 0 s", "Ignored: Open5=C:\\ZVK32\\notes.txt",
      "4 of 5 profiles start; 2 problems"},
     1},
    {"no usable profile", "[Paths]\r\n#Path1=C:\\ZVK32\\Parvane.exe\r\n", false, false, false,
     Lines{kHeader + " (ANSI)", "0 of 0 profiles start; 0 problems"}, 1},
    {"no settings file",
     "",
     false,
     false,
     false,
     {"No settings file at " + kConfig + ": a run writes the default file and opens it in Notepad."},
     1},
    {"in a box", "[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe\r\n", true, false, false,
     Lines{kHeader + " (ANSI)", "Profile 1: starts C:\\ZVK32\\Parvane.exe after 0 s",
           "1 of 1 profiles start; 0 problems"},
     0},
    {"quiet", kEveryKind, false, true, false, {}, 1},
    {"quiet, clean", "[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe\r\n", true, true, false, {}, 0},
};

// Reads as a run does and says so; starts nothing, shows no box of a run's, writes no file, claims nothing.
TEST(Check, ReportsWhatARunWouldDoAndExitsWithItsVerdict) {
    for (const auto& c : kChecks) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        fake.AddFile(kProgram);
        fake.AddFile("C:\\ZVK32\\notes.txt");
        fake.otherInstance = c.claimed;
        if (!c.file.empty()) {
            fake.AddFile(kConfig, c.file);
        }
        if (!c.console) {
            fake.standardOutput = "";
        }
        const auto files = fake.files;
        EXPECT_EQ(RunJob(fake, Arguments{Job::Check, c.quiet}), c.exitCode);
        std::string text;
        for (const std::string& line : c.report) {
            text += line + "\r\n";
        }
        if (c.quiet) {
            EXPECT_TRUE(fake.Lines({"StandardOutput", "IconBox"}).empty());
        } else if (c.console) {
            text.erase(text.size() - 2);
            EXPECT_EQ(fake.Lines({"IconBox"}), Lines{"IconBox|information|ZVK Launchwick|" + text});
        } else {
            EXPECT_EQ(fake.standardOutput, text);
            EXPECT_TRUE(fake.Lines({"IconBox"}).empty());
        }
        EXPECT_TRUE(fake.Lines({"MessageBox", "ClaimSettingsFile", "ShellExecute", "ShellExecuteHeld",
                                "StartProgram", "StartCommandLine", "CreateTextFile", "AppendTextFile"})
                        .empty());
        EXPECT_EQ(fake.files.size(), files.size());
    }
}

// Each encoding is named, and read through the same copy as a run's.
TEST(Check, NamesTheEncodingAndTheBoxIsCutAfterFortyLines) {
    const std::string text = "[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe -\xC3\xA9\r\n";
    std::string be = Utf16LeCopy(text, SettingsEncoding::Utf8);
    for (std::size_t i = 0; i + 1 < be.size(); i += 2) {
        std::swap(be[i], be[i + 1]);
    }
    const std::pair<std::string, std::string> encodings[] = {
        {text, "UTF-8"},
        {"\xEF\xBB\xBF" + text, "UTF-8 with a byte-order mark"},
        {Utf16LeCopy(text, SettingsEncoding::Utf8), "UTF-16 LE"},
        {be, "UTF-16 BE"},
        {"[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe -\xE9\r\n", "ANSI"}};
    for (const auto& [bytes, name] : encodings) {
        SCOPED_TRACE(name);
        FakePlatform fake;
        fake.AddFile(kProgram);
        fake.AddFile(kConfig, bytes);
        fake.standardOutput = "";
        EXPECT_EQ(RunJob(fake, Arguments{Job::Check, false}), 0);
        const std::string argument = name == "ANSI" ? "-\xE9" : "-\xC3\xA9";
        EXPECT_EQ(*fake.standardOutput, kHeader + " (" + name +
                                            ")\r\nProfile 1: starts C:\\ZVK32\\Parvane.exe with " + argument +
                                            " after 0 s\r\n1 of 1 profiles start; 0 problems\r\n");
        EXPECT_TRUE(fake.Lines({"RemoveFile"}).size() == (name == "ANSI" || name == "UTF-16 LE" ? 0U : 1U));
    }

    // 39 unknown keys: 41 lines, the last of which the box leaves out.
    for (const int keys : {38, 39}) {
        SCOPED_TRACE(keys);
        FakePlatform fake;
        fake.AddFile(kProgram);
        std::string file = "[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe\r\n[Options]\r\n";
        Lines lines = {kHeader + " (ANSI)", "Profile 1: starts C:\\ZVK32\\Parvane.exe after 0 s"};
        for (int k = 1; k <= keys; ++k) {
            file += "Key" + std::to_string(k) + "=1\r\n";
            lines.push_back("Ignored: Key" + std::to_string(k) +
                            " in [Options] (not a key of ZVK Launchwick)");
        }
        lines.push_back("1 of 1 profiles start; " + std::to_string(keys) + " problems");
        fake.AddFile(kConfig, file);
        EXPECT_EQ(RunJob(fake, Arguments{Job::Check, false}), 1);
        std::string box;
        for (std::size_t i = 0; i < lines.size() && i < 40; ++i) {
            box += (i == 0 ? "" : "\r\n") + lines[i];
        }
        if (lines.size() > 40) {
            box += "\r\n\xE2\x80\xA6";
        }
        EXPECT_EQ(fake.Lines({"IconBox"}), Lines{"IconBox|information|ZVK Launchwick|" + box});
    }
}

} // namespace
} // namespace launchwick
