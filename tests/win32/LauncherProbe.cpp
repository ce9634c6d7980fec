#include "LauncherProbe.h"

#include "JsonText.h"

#include "Layout.h"
#include "Shell_Library.h"
#include "SplashWindow.h"
#include "UniqueHandle.h"
#include "Win32.h"
#include "Win32Platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace launchwick::win32::probe {

namespace {

// Fixed, so that the names the platform tries first are known and can be taken beforehand.
constexpr std::uint32_t firstTempAttempt = 0x7e57;

std::string Environment(const char* name) {
    const DWORD needed = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (needed == 0) {
        return {};
    }
    std::string value(needed, '\0');
    value.resize(::GetEnvironmentVariableA(name, value.data(), needed));
    return value;
}

std::string Json(const std::string& text) {
    return JsonText(std::string_view(text));
}

std::string Json(const std::set<std::string>& texts) {
    std::string out = "[";
    for (const std::string& text : texts) {
        out += (out.size() > 1 ? ", " : "") + Json(text);
    }
    return out + "]";
}

std::string TempFolder() {
    char folder[MAX_PATH + 1] = {};
    ::GetTempPathA(sizeof folder, folder);
    return folder;
}

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found{};
    const HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            names.insert(name);
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
}

bool WriteNewFile(const std::string& path, const std::string& content) {
    UniqueFile file(
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

std::string ReadFile(const std::string& path) {
    UniqueFile file(
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string content;
    char buffer[256];
    DWORD read = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        content.append(buffer, read);
    }
    return content;
}

struct Fixture {
    SplashWindow splash{::GetModuleHandleA(nullptr), ::LoadIconA(nullptr, IDI_APPLICATION),
                        ::LoadIconA(nullptr, IDI_APPLICATION)};
    Win32Platform platform{splash, firstTempAttempt};
    Shell_Library library{platform};
};

} // namespace

int ShellRunMode() {
    std::string commandLine = Environment("LW_COMMAND");
    const std::string style = Environment("LW_STYLE");
    const std::int32_t windowStyle = style.empty() ? 1 : std::atoi(style.c_str());
    const int takenCount = std::atoi(Environment("LW_TAKEN").c_str());

    Fixture f;
    const std::string temp = TempFolder();
    const std::set<std::string> before = FilesIn(temp);

    // Names someone else holds: the probe file must go elsewhere and leave them as they are.
    std::set<std::string> taken;
    bool takenWritten = true;
    const auto pid = static_cast<std::uint32_t>(::GetCurrentProcessId());
    for (int i = 0; i < takenCount; ++i) {
        const std::string name = TempFileName(pid, firstTempAttempt + i, ".HTM");
        takenWritten = WriteNewFile(temp + name, "taken " + name) && takenWritten;
        taken.insert(name);
    }

    std::string thrown = "none";
    std::string message;
    try {
        f.library.ShellRun(commandLine, windowStyle);
    } catch (const StartError& error) {
        thrown = "StartError";
        message = std::to_string(error.code);
    } catch (const StatementError& error) {
        thrown = "StatementError";
        message = error.what();
    } catch (const std::exception& error) {
        thrown = "other";
        message = error.what();
    }

    const std::set<std::string> after = FilesIn(temp);
    bool takenIntact = takenWritten;
    for (const std::string& name : taken) {
        takenIntact = ReadFile(temp + name) == "taken " + name && takenIntact;
        ::DeleteFileA((temp + name).c_str());
    }

    std::printf("{\"thrown\": %s, \"message\": %s, \"commandLine\": %s, \"tempFolder\": %s, \"before\": %s, "
                "\"after\": %s, \"taken\": %s, \"takenIntact\": %s}\n",
                Json(thrown).c_str(), Json(message).c_str(), Json(commandLine).c_str(), Json(temp).c_str(),
                Json(before).c_str(), Json(after).c_str(), Json(taken).c_str(),
                takenIntact ? "true" : "false");
    std::fflush(stdout);
    return 0;
}

int FindExecutableMode() {
    Fixture f;
    std::string found;
    const ShellAnswer answer = f.platform.RunFindExecutable(Environment("LW_FILE"), found);
    std::printf("{\"found\": %s, \"code\": %lu, \"result\": %s}\n", answer.done ? "true" : "false",
                static_cast<unsigned long>(answer.code), Json(found).c_str());
    std::fflush(stdout);
    return 0;
}

} // namespace launchwick::win32::probe
