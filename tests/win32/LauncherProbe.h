// The launcher with the real Win32 platform, one call per run of the test program. The end-to-end tests
// prepare the prefix (programs, file associations), start a mode and check what it printed and started.
#pragma once

namespace launchwick::win32::probe {

// "shell-run": ShellRun on the command line in LW_COMMAND, with the window style in LW_STYLE (1 when
// unset), after taking the first LW_TAKEN temporary names the platform will try. Prints one JSON line.
int ShellRunMode();

// "find-executable": FindExecutableA on the file named by LW_FILE. Prints one JSON line.
int FindExecutableMode();

} // namespace launchwick::win32::probe
