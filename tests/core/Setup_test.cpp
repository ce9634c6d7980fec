// The jobs of the command line: which job a command line asks for, and what /install and /uninstall do
// with the start-up shortcut, without a window.
#include "Setup.h"

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
    // Refused: the usage, which /quiet keeps silent too.
    {"/quiet", Job::Usage, true},
    {"/install /uninstall", Job::Usage, false},
    {"/install /uninstall /quiet", Job::Usage, true},
    {"/install /install", Job::Usage, false},
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
     {"IconBox|information|ZVK Launchwick|Usage: ZVKLaunchwick.exe [/install | /uninstall] [/quiet]\r\n\r\n"
      "/install - start ZVK Launchwick when you log on (a shortcut in your start-up folder)\r\n"
      "/uninstall - no longer start it when you log on\r\n"
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

} // namespace
} // namespace launchwick
