// The command line's jobs: writing or removing the shortcut that starts the program at log-on, and the
// usage. Each runs instead of the splash window and ends the process with an exit code.
#pragma once

#include "Platform.h"

#include <string_view>

namespace launchwick {

enum class Job { Run, Install, Uninstall, Check, Usage };

struct Arguments {
    Job job = Job::Run;
    bool quiet = false; // no box, whatever the job
    friend bool operator==(const Arguments&, const Arguments&) = default;
};

// The words of the command line after the program's name: blanks separate them, double quotes group them.
// Letter case is ignored and "/" or "-" leads each: "install", "uninstall" or "check", with "quiet" once at
// most.
// No word: the plain start. Anything else: the usage.
Arguments ParseArguments(std::string_view commandLine);

// Exit codes of the jobs.
constexpr int exitDone = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

// Carries out a job other than Run and returns the process's exit code. Writes no settings file, claims
// nothing, starts nothing.
int RunJob(Platform& platform, const Arguments& arguments) noexcept;

} // namespace launchwick
