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
    // Opens address in the default browser, its window shown as showCommand says. Never fails.
    void ShellBrowse(std::string address, std::int32_t showCommand = showNormal) noexcept;

private:
    Platform& platform_;
};

} // namespace launchwick
