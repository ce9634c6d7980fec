// The core's Platform on Win32: the splash window's state, files, the shell and the debugger output. Paths
// and the texts the user sees go through the "...W" calls (UTF-8 inside, Utf.h at the edge); the trace
// lines through OutputDebugStringA in the ANSI code page.
#pragma once

#include "Platform.h"
#include "SplashWindow.h"
#include "UniqueHandle.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace launchwick::win32 {

class Win32Platform final : public Platform {
public:
    explicit Win32Platform(SplashWindow& splash) noexcept;
    // Starts the temporary names at a known point instead of the tick count.
    Win32Platform(SplashWindow& splash, std::uint32_t firstTempAttempt) noexcept;
    // Without a window, for the jobs of the command line: the window's calls fail.
    Win32Platform() noexcept;

    // Window and timers.
    void ShowMessageBox(const std::string& text, const std::string& title) override;
    void DoEvents() override;
    void SetTimerEnabled(Timer timer, bool enabled) override;
    bool IsTimerEnabled(Timer timer) const override;
    void SetStatusText(const std::string& text) override;
    void AnnounceStatus() override;
    void SetFocus(FocusTarget target) override;
    bool HasFocus(FocusTarget target) const override;
    double TwipsPerPixelX() const override;
    std::int32_t ProgressBorderWidth() const override;
    void SetProgressWidth(std::int32_t twips) override;
    void SetProgressVisible(bool visible) override;
    void ShowRunningInstance() override;
    void ShowIconBox(const std::string& text, const std::string& title, BoxIcon icon) override;

    // Settings and files.
    std::string ExecutablePath() const override;
    std::string ExecutableFolder() const override;
    std::string CurrentFolder() const override;
    std::string StartupFolder() const override;
    std::string FileDateTime(const std::string& path) const override;
    std::string ReadProfileString(const std::string& section, const std::string& key,
                                  const std::string& defaultText, std::size_t bufferSize,
                                  const std::string& file) const override;
    std::vector<std::string> ReadProfileKeys(const std::string& section,
                                             const std::string& file) const override;
    std::vector<std::string> ReadProfileSections(const std::string& file) const override;
    std::string ReadFileBytes(const std::string& path) const override;
    bool IsFile(const std::string& path) const override;
    bool IsFolder(const std::string& path) const override;
    std::string ExpandEnvironment(const std::string& text) const override;
    std::unique_ptr<TextFile> CreateTextFile(const std::string& path) override;
    std::unique_ptr<TextFile> CreateTempFile(std::string_view suffix, std::string& path) override;
    void RemoveFile(const std::string& path) override;
    void WriteShortcut(const Shortcut& shortcut) override;
    bool RemoveFileIfPresent(const std::string& path) override;
    std::optional<std::uint64_t> FileSize(const std::string& path) const override;
    void RenameFile(const std::string& from, const std::string& to) override;
    std::unique_ptr<TextFile> AppendTextFile(const std::string& path) override;
    bool ClaimSettingsFile(const std::string& path) override;

    // Starts and processes.
    ShellAnswer RunShellExecute(Owner owner, const std::optional<std::string>& verb, const std::string& file,
                                const std::string& parameters, const std::optional<std::string>& directory,
                                std::int32_t showCommand) override;
    ShellAnswer RunShellExecuteHeld(const std::string& file, const std::string& parameters,
                                    const std::optional<std::string>& directory, std::int32_t showCommand,
                                    ProcessToken& process) override;
    ShellAnswer RunFindExecutable(const std::string& file, std::string& result) override;
    void StartCommandLine(const std::string& commandLine, std::int32_t windowStyle) override;
    void StartProgram(const std::string& program, const std::string& parameters,
                      const std::optional<std::string>& directory, std::int32_t showCommand,
                      ProcessToken* process) override;
    void OpenItem(const std::string& file, const std::optional<std::string>& directory,
                  std::int32_t showCommand, ProcessToken* process) override;
    InputIdle ProcessInputIdle(ProcessToken process) override;
    void CloseProcess(ProcessToken process) noexcept override;
    void EndProcess() override;

    // The system.
    void WriteTrace(std::string_view line) override;
    ClockTime LocalTime() const override;
    ProcessorTimes SystemTimes() const override;
    std::string SystemMessage(std::uint32_t code) const override;
    std::uint32_t NetworkConnectivity() override;
    bool WriteStandardOutput(std::string_view text) override;

private:
    SplashWindow& Splash() const; // throws StatementError when there is no window

    SplashWindow* splash_;
    // ShellExecuteExW; with process, the started process is held under a new token stored there. Answers
    // the system's code of a failed start, read right after the call, and nothing for a start.
    std::optional<DWORD> ShellStart(const std::wstring& file, const std::string& parameters,
                                    const std::optional<std::string>& directory, std::int32_t showCommand,
                                    ProcessToken* process, std::intptr_t& instance);
    std::uint32_t tempAttempt_; // moves on with every temporary name tried
    UniqueKernelHandle claim_;  // held for the whole run: the object goes when the process does
    DWORD runningProcess_ = 0;  // the process that held the claim first, and its splash window
    HWND runningWindow_ = nullptr;
    std::vector<std::pair<ProcessToken, UniqueKernelHandle>>
        processes_; // held for the ready wait (one, mostly)
    ProcessToken lastProcess_ = noProcess;
};

// The system's error code for a refused shell request: the one its answer (hInstApp, 32 or less) names,
// else lastError. The shell's own answer is the surer one: Wine gives 193 for a type with no program.
std::uint32_t ShellRefusalCode(std::intptr_t instance, std::uint32_t lastError) noexcept;
// The shell's answer from its number (ShellExecute's, FindExecutable's or hInstApp): above 32 done, else
// refused with ShellRefusalCode.
ShellAnswer AnswerOfShell(std::intptr_t value, std::uint32_t lastError) noexcept;

// Lets the process load DLLs by bare name from the system folder only, never from the program's own
// folder, which the user can write to. Does nothing where the system lacks the call.
void RestrictDllSearch() noexcept;

} // namespace launchwick::win32
