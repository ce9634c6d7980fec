// Stand-in for the programs the launcher starts: appends one JSON line describing how it was started (its
// program, command line, current folder and the window state it was asked for) to the file named by
// LW_RECORD_LOG, then exits at once; with "--idle-after=<ms>" it is a program slow to become ready for input
// instead (see WinMain). GUI subsystem, so starting it opens no console. Its path, command line and folder
// come from the wide calls, so every character of them is recorded (as \uXXXX: the line stays ASCII).
#include "JsonText.h"
#include "UnixClock.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string JsonString(const wchar_t* text) {
    return JsonText(std::wstring_view(text));
}

// Appends line to the log. Several recorders may start close together: retry while another one holds the
// file, for as long as a loaded machine may take to let it go. 0, or the exit status of a failure.
int Append(const wchar_t* log, const std::string& line) {
    const ULONGLONG giveUp = GetTickCount64() + 10000;
    while (GetTickCount64() < giveUp) {
        HANDLE file =
            CreateFileW(log, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
            return ok && written == line.size() ? 0 : 3;
        }
        Sleep(10);
    }
    return 4;
}

// With "--idle-after=<ms>" among the arguments: the milliseconds to stay busy before waiting for input.
int IdleAfter(const wchar_t* commandLine) {
    const wchar_t* at = std::wcsstr(commandLine, L"--idle-after=");
    return at != nullptr ? static_cast<int>(std::wcstol(at + std::wcslen(L"--idle-after="), nullptr, 10))
                         : -1;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    wchar_t log[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(L"LW_RECORD_LOG", log, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) {
        return 2;
    }
    wchar_t module[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH * 2);
    wchar_t cwd[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, cwd);
    // The window state the starter asked for, when it asked for one (null otherwise).
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const std::string asked =
        (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? std::to_string(startup.wShowWindow) : "null";

    const std::string line =
        "{\"module\": " + JsonString(module) + ", \"cmdline\": " + JsonString(GetCommandLineW()) +
        ", \"cwd\": " + JsonString(cwd) + ", \"show\": " + std::to_string(show) +
        ", \"show_asked\": " + asked + ", \"pid\": " + std::to_string(GetCurrentProcessId()) +
        ", \"time_ms\": " + std::to_string(UnixMillis()) + "}\r\n";
    const int status = Append(log, line);
    const int idleAfter = IdleAfter(GetCommandLineW());
    if (status != 0 || idleAfter < 0) {
        return status;
    }
    // A program that is slow to come up: busy first (no message queue yet, so not ready for input), then it
    // says when it begins to wait for input, and waits in its message loop for three seconds.
    Sleep(static_cast<DWORD>(idleAfter));
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // makes the message queue
    const UINT_PTR timer = SetTimer(nullptr, 0, 3000, nullptr);
    const int ready = Append(log, "{\"pid\": " + std::to_string(GetCurrentProcessId()) +
                                      ", \"ready_ms\": " + std::to_string(UnixMillis()) + "}\r\n");
    while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) {
        DispatchMessageW(&message);
    }
    KillTimer(nullptr, timer);
    return ready;
}
