// Platform calls of the core for starting programs: the shell, the command line, the processes held for the
// ready wait, and the system's text for why a start failed.
#include "Win32Platform.h"

#include "Strings.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "Win32.h"

#include <algorithm>
#include <utility>

namespace launchwick::win32 {

namespace {

// CreateProcessW without a working folder; the program runs on and nothing waits for it.
void Start(const wchar_t* program, const std::string& commandLine, std::int32_t windowStyle) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring writable = Terminated(commandLine);
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

} // namespace

ShellAnswer Win32Platform::RunShellExecute(Owner owner, const std::optional<std::string>& verb,
                                           const std::string& file, const std::string& parameters,
                                           const std::optional<std::string>& directory,
                                           std::int32_t showCommand) {
    const HWND window = owner == Owner::Splash ? Splash().Handle() : nullptr;
    const std::optional<std::wstring> wideVerb = WideIf(verb);
    const std::wstring wideFile = Terminated(file);
    const std::wstring wideParameters = Terminated(parameters);
    const std::optional<std::wstring> wideDirectory = WideIf(directory);
    const HINSTANCE result = ::ShellExecuteW(window, OrNull(wideVerb), wideFile.c_str(),
                                             wideParameters.c_str(), OrNull(wideDirectory), showCommand);
    const DWORD error = ::GetLastError(); // before anything else can change it
    return AnswerOfShell(reinterpret_cast<std::intptr_t>(result), error);
}

ShellAnswer Win32Platform::RunFindExecutable(const std::string& file, std::string& result) {
    // A full MAX_PATH buffer: the lookup may write that much, and never more.
    wchar_t found[MAX_PATH];
    std::fill(std::begin(found), std::end(found), L' ');
    const std::wstring wideFile = Terminated(file);
    const HINSTANCE value = ::FindExecutableW(wideFile.c_str(), nullptr, found);
    const DWORD error = ::GetLastError(); // before anything else can change it
    const ShellAnswer answer = AnswerOfShell(reinterpret_cast<std::intptr_t>(value), error);
    if (answer.done) {
        result = Utf8(TextBeforeNul(found, MAX_PATH));
    }
    return answer;
}

void Win32Platform::StartCommandLine(const std::string& commandLine, std::int32_t windowStyle) {
    Start(nullptr, commandLine, windowStyle);
}

std::optional<DWORD> Win32Platform::ShellStart(const std::wstring& file, const std::string& parameters,
                                               const std::optional<std::string>& directory,
                                               std::int32_t showCommand, ProcessToken* process,
                                               std::intptr_t& instance) {
    const std::wstring wideParameters = Terminated(parameters);
    const std::optional<std::wstring> wideDirectory = WideIf(directory);
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
    // Before anything else can change it; a failure that left no code is a failure all the same.
    const std::optional<DWORD> error = started ? std::nullopt : std::optional<DWORD>(::GetLastError());
    UniqueKernelHandle handle(info.hProcess); // owned at once, whatever happens next
    instance = reinterpret_cast<std::intptr_t>(info.hInstApp);
    if (process != nullptr) {
        *process = noProcess;
        if (started && handle) {
            *process = ++lastProcess_;
            processes_.emplace_back(*process, std::move(handle));
        }
    }
    return error;
}

ShellAnswer Win32Platform::RunShellExecuteHeld(const std::string& file, const std::string& parameters,
                                               const std::optional<std::string>& directory,
                                               std::int32_t showCommand, ProcessToken& process) {
    std::intptr_t instance = 0;
    if (const auto error =
            ShellStart(Terminated(file), parameters, directory, showCommand, &process, instance)) {
        return {false, ShellRefusalCode(instance, *error)};
    }
    return {true, 0};
}

void Win32Platform::StartProgram(const std::string& program, const std::string& parameters,
                                 const std::optional<std::string>& directory, std::int32_t showCommand,
                                 ProcessToken* process) {
    std::intptr_t instance = 0;
    const std::optional<DWORD> error =
        ShellStart(Terminated(program), parameters, directory, showCommand, process, instance);
    if (error) {
        throw StartError(*error);
    }
}

void Win32Platform::OpenItem(const std::string& file, const std::optional<std::string>& directory,
                             std::int32_t showCommand, ProcessToken* process) {
    std::intptr_t instance = 0;
    if (const auto error =
            ShellStart(Terminated(file), std::string(), directory, showCommand, process, instance)) {
        throw StartError(ShellRefusalCode(instance, *error));
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

std::uint32_t ShellRefusalCode(std::intptr_t instance, std::uint32_t lastError) noexcept {
    switch (instance) {
    case 0: // out of memory or resources
        return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_FNF:
    case SE_ERR_PNF:
    case SE_ERR_ACCESSDENIED:
    case SE_ERR_OOM:
    case ERROR_BAD_FORMAT:
        return static_cast<std::uint32_t>(instance); // the same numbers as the system's codes
    case SE_ERR_SHARE:
        return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
        return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
        return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND:
        return ERROR_DLL_NOT_FOUND;
    default:
        return lastError;
    }
}

ShellAnswer AnswerOfShell(std::intptr_t value, std::uint32_t lastError) noexcept {
    if (value > 32) {
        return {true, 0};
    }
    return {false, ShellRefusalCode(value, lastError)};
}

} // namespace launchwick::win32
