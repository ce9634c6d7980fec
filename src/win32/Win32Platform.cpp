// Platform calls of the core, bound to kernel32, user32 and shell32.
#include "Win32Platform.h"

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

// The characters of a text the C calls would see up to an embedded NUL are not the caller's text.
std::wstring Terminated(const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        FailStatement("Bad file name");
    }
    return Wide(text);
}

// A text for an optional argument of a call: a null pointer when absent.
const wchar_t* OrNull(const std::optional<std::wstring>& text) noexcept {
    return text ? text->c_str() : nullptr;
}

std::optional<std::wstring> WideIf(const std::optional<std::string>& text) {
    return text ? std::optional<std::wstring>(Wide(*text)) : std::nullopt;
}

class Win32TextFile final : public TextFile {
public:
    explicit Win32TextFile(UniqueFile file) noexcept : file_(std::move(file)) {}

    void Write(std::string_view text) override {
        if (!file_) {
            FailStatement("Bad file name or number");
        }
        while (!text.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(file_.get(), text.data(), chunk, &written, nullptr) || written == 0) {
                FailStatement("Device I/O error");
            }
            text.remove_prefix(written);
        }
    }

    void Close() override {
        const HANDLE file = file_.release();
        if (file != INVALID_HANDLE_VALUE && !::CloseHandle(file)) {
            FailStatement("Device I/O error");
        }
    }

private:
    UniqueFile file_;
};

// A folder from a call that fills a buffer and, when the buffer is too small, answers the size it needs.
// Asks again while the answer grows, as the folder may change in between.
std::string FolderFrom(DWORD(WINAPI* call)(DWORD, LPWSTR)) {
    std::wstring folder(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD length = call(static_cast<DWORD>(folder.size()), folder.data());
        if (length == 0) {
            FailStatement("Path not found");
        }
        if (length < folder.size()) {
            folder.resize(length);
            return Utf8(folder);
        }
        folder.resize(length + 1); // too small: length is the size needed, with its NUL
    }
}

std::string TempFolder() {
    return FolderFrom(::GetTempPathW);
}

// CreateProcessW without a working folder; the program runs on and nothing waits for it.
void Start(const wchar_t* program, const std::string& commandLine, std::int32_t windowStyle) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring writable = Wide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
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
    : splash_(&splash), tempAttempt_(firstTempAttempt) {}

Win32Platform::Win32Platform() noexcept
    : splash_(nullptr), tempAttempt_(static_cast<std::uint32_t>(::GetTickCount())) {}

SplashWindow& Win32Platform::Splash() const {
    if (splash_ == nullptr) {
        FailStatement("No window");
    }
    return *splash_;
}

void Win32Platform::WriteTrace(const std::string& line) {
    // The debugger reads the ANSI code page; an ASCII line goes out as it is.
    ::OutputDebugStringA(Ansi(line).c_str());
}

void Win32Platform::ShowMessageBox(const std::string& text, const std::string& title) {
    const HWND owner = splash_ != nullptr && splash_->IsShown() ? splash_->Handle() : nullptr;
    ::MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), MB_OK);
}

void Win32Platform::ShowIconBox(const std::string& text, const std::string& title, BoxIcon icon) {
    ::MessageBoxW(nullptr, Wide(text).c_str(), Wide(title).c_str(),
                  MB_OK | (icon == BoxIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION));
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

std::string Win32Platform::ExecutableFolder() const {
    return FolderOfPath(ExecutablePath());
}

std::string Win32Platform::ExecutablePath() const {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            FailStatement("Path not found");
        }
        if (length < path.size()) {
            path.resize(length);
            return Utf8(path);
        }
        // A full buffer means the name was cut; long paths reach 32767 characters.
        if (path.size() > 65536) {
            FailStatement("Path not found");
        }
        path.resize(path.size() * 2);
    }
}

std::string Win32Platform::CurrentFolder() const {
    return FolderFrom(::GetCurrentDirectoryW);
}

std::string Win32Platform::FileDateTime(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Terminated(path).c_str(), GetFileExInfoStandard, &data)) {
        FailStatement("File not found");
    }
    FILETIME local{};
    SYSTEMTIME time{};
    if (!::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToSystemTime(&local, &time)) {
        FailStatement("File not found");
    }
    return FormatDateTime(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
}

std::string Win32Platform::ReadProfileString(const std::string& section, const std::string& key,
                                             const std::string& defaultText, std::size_t bufferSize,
                                             const std::string& file) const {
    if (bufferSize == 0 || bufferSize > std::numeric_limits<DWORD>::max()) {
        FailStatement("Invalid procedure call or argument");
    }
    std::wstring buffer(bufferSize, L' ');
    const DWORD length =
        ::GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(defaultText).c_str(),
                                   buffer.data(), static_cast<DWORD>(bufferSize), Wide(file).c_str());
    buffer.resize(std::min<std::size_t>(length, bufferSize));
    return Utf8(buffer);
}

std::string Win32Platform::ReadFileBytes(const std::string& path) const {
    const UniqueFile file(::CreateFileW(Terminated(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        FailStatement("File not found");
    }
    std::string bytes;
    char buffer[16384];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    if (read != 0) {
        FailStatement("Device I/O error");
    }
    return bytes;
}

bool Win32Platform::IsFile(const std::string& path) const {
    if (path.find('\0') != std::string::npos) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Platform::IsFolder(const std::string& path) const {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::unique_ptr<TextFile> Win32Platform::CreateTextFile(const std::string& path) {
    UniqueFile file(::CreateFileW(Terminated(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        FailStatement("Path/File access error");
    }
    return std::make_unique<Win32TextFile>(std::move(file));
}

std::unique_ptr<TextFile> Win32Platform::CreateTempFile(std::string_view suffix, std::string& path) {
    const std::string folder = TempFolder();
    const auto processId = static_cast<std::uint32_t>(::GetCurrentProcessId());
    // A name another program has taken is skipped; CREATE_NEW never opens or follows an existing file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + TempFileName(processId, tempAttempt_++, suffix);
        UniqueFile file(::CreateFileW(Terminated(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
    FailStatement("Path/File access error");
}

// FILE_APPEND_DATA alone: every write lands at the end, whole, even when another process appends too.
std::unique_ptr<TextFile> Win32Platform::AppendTextFile(const std::string& path) {
    UniqueFile file(::CreateFileW(Terminated(path).c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!file) {
        FailStatement("Path/File access error");
    }
    return std::make_unique<Win32TextFile>(std::move(file));
}

std::optional<std::uint64_t> Win32Platform::FileSize(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Terminated(path).c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

void Win32Platform::RenameFile(const std::string& from, const std::string& to) {
    if (!::MoveFileExW(Terminated(from).c_str(), Terminated(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        throw SystemError(::GetLastError());
    }
}

bool Win32Platform::RemoveFileIfPresent(const std::string& path) {
    if (::DeleteFileW(Terminated(path).c_str())) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return false;
    }
    throw SystemError(error);
}

void Win32Platform::RemoveFile(const std::string& path) {
    if (!::DeleteFileW(Terminated(path).c_str())) {
        FailStatement("File not found");
    }
}

std::intptr_t Win32Platform::RunShellExecute(Owner owner, const std::optional<std::string>& verb,
                                             const std::string& file, const std::string& parameters,
                                             const std::optional<std::string>& directory,
                                             std::int32_t showCommand) {
    const HWND window = owner == Owner::Splash ? Splash().Handle() : nullptr;
    const HINSTANCE result =
        ::ShellExecuteW(window, OrNull(WideIf(verb)), Wide(file).c_str(), Wide(parameters).c_str(),
                        OrNull(WideIf(directory)), showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

std::intptr_t Win32Platform::RunFindExecutable(const std::string& file, std::string& result) {
    // A full MAX_PATH buffer: the lookup may write that much, and never more.
    wchar_t found[MAX_PATH];
    std::fill(std::begin(found), std::end(found), L' ');
    const HINSTANCE value = ::FindExecutableW(Wide(file).c_str(), nullptr, found);
    result = Utf8(TextBeforeNul(found, MAX_PATH));
    return reinterpret_cast<std::intptr_t>(value);
}

void Win32Platform::StartCommandLine(const std::string& commandLine, std::int32_t windowStyle) {
    Start(nullptr, commandLine, windowStyle);
}

bool Win32Platform::ShellStart(const std::wstring& file, const std::string& parameters,
                               const std::optional<std::string>& directory, std::int32_t showCommand,
                               ProcessToken* process, std::intptr_t& instance) {
    const std::wstring wideParameters = Terminated(parameters);
    const std::optional<std::wstring> wideDirectory =
        directory ? std::optional<std::wstring>(Terminated(*directory)) : std::nullopt;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No asynchronous hand-over to a thread that outlives the call, and no error box of the shell's own:
    // a failure is said in the trace like any other.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | (process != nullptr ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpFile = file.c_str();
    info.lpParameters = wideParameters.empty() ? nullptr : wideParameters.c_str();
    info.lpDirectory = OrNull(wideDirectory);
    info.nShow = showCommand;
    const BOOL started = ::ShellExecuteExW(&info);
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
    ShellStart(Terminated(file), parameters, directory, showCommand, &process, instance);
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
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const UniqueLocalMemory owned(text);
    return length != 0 && text != nullptr ? Utf8(std::wstring_view(text, length)) : std::string();
}

bool Win32Platform::ClaimSettingsFile(const std::string& path) {
    // One character to one, so that the hash of an ASCII path's UTF-8 is that of its ANSI bytes before.
    std::wstring upper = Wide(path);
    if (!upper.empty()) {
        ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    }
    const std::string name = InstanceObjectName(Utf8(upper));
    UniqueKernelHandle claim(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                  sizeof(ClaimRecord), Wide(name).c_str()));
    const bool taken = ::GetLastError() == ERROR_ALREADY_EXISTS;
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
    std::wstring expanded(std::max<std::size_t>(wide.size() + 1, MAX_PATH), L'\0');
    for (;;) {
        const DWORD length =
            ::ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (length == 0) {
            throw SystemError(::GetLastError());
        }
        if (length <= expanded.size()) {
            expanded.resize(length - 1); // the count includes the NUL
            return Utf8(expanded);
        }
        expanded.resize(length);
    }
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
