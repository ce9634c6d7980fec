// Platform calls of the core, bound to kernel32, user32 and shell32: traces, boxes, the window, the claim
// of the settings file, the processor times and the clock. Files and program starts have rooms of their own.
#include "Win32Platform.h"

#include "FilledText.h"
#include "Layout.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "Win32.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace launchwick::win32 {

namespace {

// What the first process of a settings file leaves in its claim for the ones that come after it.
struct ClaimRecord {
    std::uint32_t processId;
    std::uint32_t reserved;
    std::uint64_t window;
};

} // namespace

Win32Platform::Win32Platform(SplashWindow& splash) noexcept
    : Win32Platform(splash, static_cast<std::uint32_t>(::GetTickCount())) {}

Win32Platform::Win32Platform(SplashWindow& splash, std::uint32_t firstTempAttempt) noexcept
    : splash_(&splash), tempAttempt_(firstTempAttempt) {}

Win32Platform::Win32Platform() noexcept
    : splash_(nullptr), tempAttempt_(static_cast<std::uint32_t>(::GetTickCount())) {}

SplashWindow& Win32Platform::Splash() const {
    if (splash_ == nullptr) {
        FailStatement("No window");
    }
    return *splash_;
}

void Win32Platform::WriteTrace(std::string_view line) {
    // The debugger reads the ANSI code page, up to a NUL. A short ASCII line, as every line of a tick is, is
    // copied to the stack as it is checked: no allocation. The loop ends at the first byte that is not ASCII,
    // so the compiler does not make it a library copy.
    char shortLine[256];
    std::size_t length = 0;
    for (const char c : line) {
        if (static_cast<unsigned char>(c) >= 0x80 || length + 1 >= sizeof shortLine) {
            ::OutputDebugStringA(Ansi(line).c_str());
            return;
        }
        shortLine[length++] = c;
    }
    shortLine[length] = '\0';
    ::OutputDebugStringA(shortLine);
}

void Win32Platform::ShowMessageBox(const std::string& text, const std::string& title) {
    const HWND owner = splash_ != nullptr && splash_->IsShown() ? splash_->Handle() : nullptr;
    ::MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), MB_OK);
}

void Win32Platform::ShowIconBox(const std::string& text, const std::string& title, BoxIcon icon) {
    ::MessageBoxW(nullptr, Wide(text).c_str(), Wide(title).c_str(),
                  MB_OK | (icon == BoxIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION));
}

// A program without a console has standard output only when its starter handed it one: a file or a pipe
// ("> report.txt" in a batch file, a pipe in PowerShell). A console would show nothing of it.
bool Win32Platform::WriteStandardOutput(std::string_view text) {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD type = ::GetFileType(output);
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) {
        return false;
    }
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(output, text.data(), chunk, &written, nullptr) || written == 0) {
            FailStatement("Device I/O error");
        }
        text.remove_prefix(written);
    }
    return true;
}

void Win32Platform::DoEvents() {
    Splash().ProcessPending();
}

void Win32Platform::SetTimerEnabled(Timer timer, bool enabled) {
    Splash().SetTimerEnabled(timer, enabled);
}

bool Win32Platform::IsTimerEnabled(Timer timer) const {
    return Splash().IsTimerEnabled(timer);
}

void Win32Platform::SetStatusText(const std::string& text) {
    Splash().SetStatusText(text);
}

void Win32Platform::AnnounceStatus() {
    Splash().AnnounceStatus();
}

void Win32Platform::SetFocus(FocusTarget target) {
    Splash().Focus(target);
}

bool Win32Platform::HasFocus(FocusTarget target) const {
    return Splash().HasFocus(target);
}

double Win32Platform::TwipsPerPixelX() const {
    return static_cast<double>(design::twipsPerInch) / Splash().Dpi();
}

std::int32_t Win32Platform::ProgressBorderWidth() const {
    return Splash().ProgressBorderWidth();
}

void Win32Platform::SetProgressWidth(std::int32_t twips) {
    Splash().SetProgressWidth(twips);
}

void Win32Platform::SetProgressVisible(bool visible) {
    Splash().SetProgressVisible(visible);
}

bool Win32Platform::ClaimSettingsFile(const std::string& path) {
    // One character to one, so that the hash of an ASCII path's UTF-8 is that of its ANSI bytes before.
    std::wstring upper = Wide(path);
    if (!upper.empty()) {
        ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    }
    const std::wstring name = Wide(InstanceObjectName(Utf8(upper)));
    UniqueKernelHandle claim(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                  sizeof(ClaimRecord), name.c_str()));
    const bool taken = ::GetLastError() == ERROR_ALREADY_EXISTS; // nothing may run between the call and this
    if (!claim) {
        FailStatement("The settings file could not be claimed");
    }
    const UniqueMappedView view(::MapViewOfFile(claim.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    auto* record = static_cast<ClaimRecord*>(view.get());
    if (taken) {
        // The first process may not have written its record yet; then there is no window to show.
        if (record != nullptr) {
            runningProcess_ = record->processId;
            runningWindow_ = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(record->window));
        }
        return false;
    }
    if (record != nullptr) {
        *record = ClaimRecord{static_cast<std::uint32_t>(::GetCurrentProcessId()), 0,
                              reinterpret_cast<std::uintptr_t>(Splash().Handle())};
    }
    claim_ = std::move(claim);
    return true;
}

void Win32Platform::ShowRunningInstance() {
    DWORD owner = 0;
    if (runningWindow_ == nullptr || ::GetWindowThreadProcessId(runningWindow_, &owner) == 0 ||
        owner != runningProcess_) {
        return; // gone meanwhile, or not known yet
    }
    // The user has just asked for the program: hand this process's right to the foreground over to it.
    ::AllowSetForegroundWindow(runningProcess_);
    ::PostMessageA(runningWindow_, SplashWindow::bringToFrontMessage, 0, 0);
}

ProcessorTimes Win32Platform::SystemTimes() const {
    FILETIME idle{};
    FILETIME kernel{};
    FILETIME user{};
    if (!::GetSystemTimes(&idle, &kernel, &user)) {
        FailStatement("The processor times could not be read");
    }
    const auto value = [](const FILETIME& time) {
        return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    };
    return ProcessorTimes{value(idle), value(kernel), value(user)};
}

void Win32Platform::EndProcess() {
    Splash().End();
}

std::string Win32Platform::ExpandEnvironment(const std::string& text) const {
    const std::wstring wide = Terminated(text);
    std::wstring expanded = FilledText(
        std::max<std::size_t>(wide.size() + 1, MAX_PATH), "Out of memory", [&](std::wstring& buffer) {
            const DWORD length =
                ::ExpandEnvironmentStringsW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0) {
                throw SystemError(::GetLastError());
            }
            // The count includes the NUL.
            return Filled{length <= buffer.size(), length <= buffer.size() ? length - 1 : length};
        });
    return Utf8(expanded);
}

ClockTime Win32Platform::LocalTime() const {
    SYSTEMTIME time{};
    ::GetLocalTime(&time);
    return ClockTime{time.wYear,   time.wMonth,  time.wDay,         time.wHour,
                     time.wMinute, time.wSecond, time.wMilliseconds};
}

void RestrictDllSearch() noexcept {
    const auto setDefaultDllDirectories =
        SystemFunction<BOOL(WINAPI*)(DWORD)>("kernel32.dll", "SetDefaultDllDirectories");
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

} // namespace launchwick::win32
