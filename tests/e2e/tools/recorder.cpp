// Stand-in for the programs the launcher starts: appends one JSON line describing how it was started to the
// file named by LW_RECORD_LOG, then exits at once. GUI subsystem, so starting it opens no console. Its
// path, command line and folder come from the wide calls, so every character of them is recorded (as
// \uXXXX: the line stays ASCII).
#include "JsonText.h"
#include "UnixClock.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string JsonString(const wchar_t* text) {
    return JsonText(std::wstring_view(text));
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

    std::string line = "{\"module\": " + JsonString(module) +
                       ", \"cmdline\": " + JsonString(GetCommandLineW()) + ", \"cwd\": " + JsonString(cwd) +
                       ", \"show\": " + std::to_string(show) +
                       ", \"pid\": " + std::to_string(GetCurrentProcessId()) +
                       ", \"time_ms\": " + std::to_string(UnixMillis()) + "}\r\n";

    // Several recorders may start close together: retry while another one holds the file, for as long as
    // a loaded machine may take to let it go.
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
