// The /check job: what a run would do with the settings file beside the program, said before it runs.
#pragma once

#include "Platform.h"

#include <string>
#include <vector>

namespace launchwick {

struct CheckReport {
    std::vector<std::string> lines;
    int exitCode = 1; // 0 when nothing needs a look and at least one profile starts
};

// Loads the settings file exactly as a run does (the same reader, with its boxes and the values it ignores
// collected instead of shown) and says what each profile would do. Starts nothing, writes no file and
// claims nothing.
CheckReport CheckSettings(Platform& platform);

// The report to standard output when it is a file or a pipe, else in one box (cut after boxLines lines),
// or nowhere when quiet. Returns the exit code.
int Check(Platform& platform, bool quiet) noexcept;
constexpr std::size_t boxLines = 40;

} // namespace launchwick
