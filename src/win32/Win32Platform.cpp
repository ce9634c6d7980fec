// Platform calls of the core, bound to kernel32, user32 and shell32.
#include "Win32Platform.h"

#include "Layout.h"
#include "UniqueHandle.h"
#include "Win32.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace launchwick::win32 {

namespace {

// The characters of a text the C calls would see up to an embedded NUL are not the caller's text.
const char* Terminated(const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        throw StatementError("Bad file name");
    }
    return text.c_str();
}

class Win32TextFile final : public TextFile {
public:
    explicit Win32TextFile(UniqueFile file) noexcept : file_(std::move(file)) {}

    void Write(std::string_view text) override {
        if (!file_) {
            throw StatementError("Bad file name or number");
        }
        while (!text.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(file_.get(), text.data(), chunk, &written, nullptr) || written == 0) {
                throw StatementError("Device I/O error");
            }
            text.remove_prefix(written);
        }
    }

    void Close() override {
        const HANDLE file = file_.release();
        if (file != INVALID_HANDLE_VALUE && !::CloseHandle(file)) {
            throw StatementError("Device I/O error");
        }
    }

private:
    UniqueFile file_;
};

// A folder from a call that fills a buffer and, when the buffer is too small, answers the size it needs.
// Asks again while the answer grows, as the folder may change in between.
std::string FolderFrom(DWORD(WINAPI* call)(DWORD, LPSTR)) {
    std::string folder(MAX_PATH + 1, '\0');
    for (;;) {
        const DWORD length = call(static_cast<DWORD>(folder.size()), folder.data());
        if (length == 0) {
            throw StatementError("Path not found");
        }
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.resize(length + 1); // too small: length is the size needed, with its NUL
    }
}

std::string TempFolder() {
    return FolderFrom(::GetTempPathA);
}

// CreateProcessA without a working folder; the program runs on and nothing waits for it.
void Start(const char* program, const std::string& commandLine, std::int32_t windowStyle) {
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(program, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started)) {
        throw StartError(::GetLastError());
    }
    const UniqueProcessInformation handles(started);
}

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
    : splash_(splash), tempAttempt_(firstTempAttempt) {}

void Win32Platform::Trace(const std::string& line) {
    ::OutputDebugStringA(line.c_str());
}

void Win32Platform::ShowMessageBox(const std::string& text, const std::string& title) {
    const HWND owner = splash_.IsShown() ? splash_.Handle() : nullptr;
    ::MessageBoxA(owner, text.c_str(), title.c_str(), MB_OK);
}

void Win32Platform::DoEvents() {
    splash_.ProcessPending();
}

void Win32Platform::SetTimerEnabled(Timer timer, bool enabled) {
    splash_.SetTimerEnabled(timer, enabled);
}

bool Win32Platform::IsTimerEnabled(Timer timer) const {
    return splash_.IsTimerEnabled(timer);
}

void Win32Platform::SetStatusText(const std::string& text) {
    splash_.SetStatusText(text);
}

void Win32Platform::AnnounceStatus() {
    splash_.AnnounceStatus();
}

void Win32Platform::SetFocus(FocusTarget target) {
    splash_.Focus(target);
}

bool Win32Platform::HasFocus(FocusTarget target) const {
    return splash_.HasFocus(target);
}

double Win32Platform::TwipsPerPixelX() const {
    return static_cast<double>(design::twipsPerInch) / splash_.Dpi();
}

std::int32_t Win32Platform::ProgressBorderWidth() const {
    return splash_.ProgressBorderWidth();
}

void Win32Platform::SetProgressWidth(std::int32_t twips) {
    splash_.SetProgressWidth(twips);
}

void Win32Platform::SetProgressVisible(bool visible) {
    splash_.SetProgressVisible(visible);
}

std::string Win32Platform::ExecutableFolder() const {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw StatementError("Path not found");
        }
        if (length < path.size()) {
            path.resize(length);
            return FolderOfPath(path);
        }
        // A full buffer means the name was cut; long paths reach 32767 characters.
        if (path.size() > 65536) {
            throw StatementError("Path not found");
        }
        path.resize(path.size() * 2);
    }
}

std::string Win32Platform::CurrentFolder() const {
    return FolderFrom(::GetCurrentDirectoryA);
}

std::string Win32Platform::FileDateTime(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(Terminated(path), GetFileExInfoStandard, &data)) {
        throw StatementError("File not found");
    }
    FILETIME local{};
    SYSTEMTIME time{};
    if (!::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToSystemTime(&local, &time)) {
        throw StatementError("File not found");
    }
    return FormatDateTime(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
}

std::string Win32Platform::ReadProfileString(const std::string& section, const std::string& key,
                                             const std::string& defaultText, std::size_t bufferSize,
                                             const std::string& file) const {
    if (bufferSize == 0 || bufferSize > std::numeric_limits<DWORD>::max()) {
        throw StatementError("Invalid procedure call or argument");
    }
    std::string buffer(bufferSize, ' ');
    const DWORD length =
        ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer.data(),
                                   static_cast<DWORD>(bufferSize), file.c_str());
    buffer.resize(std::min<std::size_t>(length, bufferSize));
    return buffer;
}

bool Win32Platform::IsFile(const std::string& path) const {
    if (path.find('\0') != std::string::npos) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Platform::IsFolder(const std::string& path) const {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string Win32Platform::ExpandEnvironment(const std::string& text) const {
    // The answer is the size needed, its NUL included; ask again while a variable grows in between.
    std::string expanded(text.size() + MAX_PATH, '\0');
    for (;;) {
        const DWORD needed = ::ExpandEnvironmentStringsA(Terminated(text), expanded.data(),
                                                         static_cast<DWORD>(expanded.size()));
        if (needed == 0) {
            throw StatementError("The variables could not be expanded");
        }
        if (needed <= expanded.size()) {
            expanded.resize(needed - 1);
            return expanded;
        }
        expanded.resize(needed);
    }
}

std::unique_ptr<TextFile> Win32Platform::CreateTextFile(const std::string& path) {
    UniqueFile file(::CreateFileA(Terminated(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        throw StatementError("Path/File access error");
    }
    return std::make_unique<Win32TextFile>(std::move(file));
}

std::unique_ptr<TextFile> Win32Platform::CreateTempFile(std::string_view suffix, std::string& path) {
    const std::string folder = TempFolder();
    const auto processId = static_cast<std::uint32_t>(::GetCurrentProcessId());
    // A name another program has taken is skipped; CREATE_NEW never opens or follows an existing file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + TempFileName(processId, tempAttempt_++, suffix);
        UniqueFile file(::CreateFileA(Terminated(candidate), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            auto textFile = std::make_unique<Win32TextFile>(std::move(file));
            path = std::move(candidate);
            return textFile;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    throw StatementError("Path/File access error");
}

void Win32Platform::RemoveFile(const std::string& path) {
    if (!::DeleteFileA(Terminated(path))) {
        throw StatementError("File not found");
    }
}

std::intptr_t Win32Platform::RunShellExecute(Owner owner, const std::optional<std::string>& verb,
                                             const std::string& file, const std::string& parameters,
                                             const std::optional<std::string>& directory,
                                             std::int32_t showCommand) {
    const HWND window = owner == Owner::Splash ? splash_.Handle() : nullptr;
    const HINSTANCE result =
        ::ShellExecuteA(window, verb ? verb->c_str() : nullptr, file.c_str(), parameters.c_str(),
                        directory ? directory->c_str() : nullptr, showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

std::intptr_t Win32Platform::RunFindExecutable(const std::string& file, std::string& result) {
    // A full MAX_PATH buffer: the lookup may write that much, and never more.
    char found[MAX_PATH];
    std::memset(found, ' ', sizeof found);
    const HINSTANCE value = ::FindExecutableA(file.c_str(), nullptr, found);
    result = TextBeforeNul(found, sizeof found);
    return reinterpret_cast<std::intptr_t>(value);
}

void Win32Platform::StartCommandLine(const std::string& commandLine, std::int32_t windowStyle) {
    Start(nullptr, commandLine, windowStyle);
}

bool Win32Platform::ShellStart(const char* file, const std::string& parameters,
                               const std::optional<std::string>& directory, std::int32_t showCommand,
                               ProcessToken* process, std::intptr_t& instance) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    // No asynchronous hand-over to a thread that outlives the call, and no error box of the shell's own:
    // a failure is said in the trace like any other.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | (process != nullptr ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpFile = file;
    info.lpParameters = parameters.empty() ? nullptr : Terminated(parameters);
    info.lpDirectory = directory ? Terminated(*directory) : nullptr;
    info.nShow = showCommand;
    const BOOL started = ::ShellExecuteExA(&info);
    UniqueKernelHandle handle(info.hProcess); // owned at once, whatever happens next
    instance = reinterpret_cast<std::intptr_t>(info.hInstApp);
    if (process != nullptr) {
        *process = noProcess;
        if (started && handle) {
            *process = ++lastProcess_;
            processes_.emplace_back(*process, std::move(handle));
        }
    }
    return started != FALSE;
}

std::intptr_t Win32Platform::RunShellExecuteHeld(const std::string& file, const std::string& parameters,
                                                 const std::optional<std::string>& directory,
                                                 std::int32_t showCommand, ProcessToken& process) {
    std::intptr_t instance = 0;
    ShellStart(file.c_str(), parameters, directory, showCommand, &process, instance);
    return instance;
}

void Win32Platform::StartProgram(const std::string& program, const std::string& parameters,
                                 const std::optional<std::string>& directory, std::int32_t showCommand,
                                 ProcessToken* process) {
    std::intptr_t instance = 0;
    if (!ShellStart(Terminated(program), parameters, directory, showCommand, process, instance)) {
        throw StartError(::GetLastError());
    }
}

InputIdle Win32Platform::ProcessInputIdle(ProcessToken process) {
    const auto it = std::find_if(processes_.begin(), processes_.end(),
                                 [&](const auto& held) { return held.first == process; });
    if (it == processes_.end()) {
        return InputIdle::Failed;
    }
    switch (::WaitForInputIdle(it->second.get(), 0)) {
    case 0:
        return InputIdle::Ready;
    case WAIT_TIMEOUT:
        return InputIdle::NotYet;
    default:
        return InputIdle::Failed;
    }
}

void Win32Platform::CloseProcess(ProcessToken process) noexcept {
    processes_.erase(std::remove_if(processes_.begin(), processes_.end(),
                                    [&](const auto& held) { return held.first == process; }),
                     processes_.end());
}

std::string Win32Platform::SystemMessage(std::uint32_t code) const {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    const UniqueLocalMemory owned(text);
    return length != 0 && text != nullptr ? std::string(text, length) : std::string();
}

bool Win32Platform::ClaimSettingsFile(const std::string& path) {
    std::string upper = path;
    if (!upper.empty()) {
        ::CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    }
    const std::string name = InstanceObjectName(upper);
    UniqueKernelHandle claim(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                  sizeof(ClaimRecord), name.c_str()));
    const bool taken = ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (!claim) {
        throw StatementError("The settings file could not be claimed");
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
                              reinterpret_cast<std::uintptr_t>(splash_.Handle())};
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
        throw StatementError("The processor times could not be read");
    }
    const auto value = [](const FILETIME& time) {
        return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    };
    return ProcessorTimes{value(idle), value(kernel), value(user)};
}

void Win32Platform::EndProcess() {
    splash_.End();
}

void RestrictDllSearch() noexcept {
    const auto setDefaultDllDirectories =
        SystemFunction<BOOL(WINAPI*)(DWORD)>("kernel32.dll", "SetDefaultDllDirectories");
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

} // namespace launchwick::win32
