// Starting a command line: a program with a derived working folder and a fallback start, or a web
// address in the default browser.
#pragma once

#include "Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace launchwick {

// What ShellRun decides for a command line, before it touches the system.
struct ShellRunPlan {
    bool webAddress = false;
    std::string address; // web address: the command line with every double quote removed
    std::string
        commandLine; // the caller's command line afterwards (the quoted-program rule drops two quotes)
    std::string program;
    std::string parameters;
    std::optional<std::string> workingFolder; // absent: the process's current folder
};

// Throws StatementError ("Overflow") when a character position does not fit 16 bits.
ShellRunPlan PlanShellRun(std::string_view commandLine, const std::optional<std::string>& workingFolder);

// The program that the fallback start runs for a command line, and the parameters it hands it.
struct FallbackStart {
    std::string program;    // the shortest leading part that ends in ".exe" and names an existing file
    std::string parameters; // the rest of the line, without the spaces and tabs before it
};

// Absent when no leading part names a program: the system's own search through the spaces of the line
// would otherwise run whatever ".exe" sits at one of them ("C:\Program Files\x.exe" starting C:\Program.exe).
// Asks the platform which parts are files.
std::optional<FallbackStart> PlanFallbackStart(std::string_view commandLine, const PlatformFiles& platform);

// True when text begins with a scheme and a colon ("https:", "steam:", "ms-settings:"): a letter, then
// letters, digits, '+', '-' or '.', two characters at least, so that "C:" stays a drive.
bool IsLink(std::string_view text);

class Shell_Library {
public:
    explicit Shell_Library(Platform& platform) : platform_(platform) {}

    // Starts commandLine. May change the caller's text (see ShellRunPlan::commandLine). Failures are thrown
    // to the caller: StartError for a program that cannot be started, StatementError for an overflow.
    // A working folder (a profile's start-in folder) must exist at the start, or nothing starts; a web
    // address ignores it. With process, the started process is held for the ready wait and stored there
    // (noProcess when the start gave none).
    void ShellRun(std::string& commandLine, const std::int32_t& windowStyle,
                  const std::optional<std::string>& workingFolder = std::nullopt,
                  ProcessToken* process = nullptr);
    // Opens a document, folder or link with its default verb: a document or folder by its full path, in
    // the start-in folder or else its own folder; a link as it is, in the start-in folder or none. Failures
    // are thrown as StartError; process as for ShellRun.
    void ShellOpen(const std::string& item, std::int32_t showCommand,
                   const std::optional<std::string>& startIn = std::nullopt, ProcessToken* process = nullptr);
    // Opens address in the default browser, its window shown as showCommand says. Never fails.
    void ShellBrowse(std::string address, std::int32_t showCommand = showNormal) noexcept;

private:
    Platform& platform_;
};

} // namespace launchwick
