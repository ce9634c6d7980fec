// A recording stand-in for the operating system. Every call becomes one readable line in calls, time
// runs on a virtual clock that delivers the three timers' ticks in order, and what files, profiles and
// program starts do is scripted by each test.
#pragma once

#include "Platform.h"
#include "frmMain.h"

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace launchwick::test {

class FakePlatform : public Platform {
public:
    // Every call, in order, as "Kind|argument|argument...".
    // Mutable because reads (a file's time, a profile value) are recorded as calls too.
    mutable std::vector<std::string> calls;
    // Only the lines whose kind (the text before the first '|') is one of kinds.
    std::vector<std::string> Lines(std::initializer_list<std::string_view> kinds) const;
    // The text of every trace line, in order.
    std::vector<std::string> Traces() const;
    std::string LastStatus() const;

    // A file or folder. Its content, when it is a profile file, is what ReadProfileString parses.
    struct File {
        std::string dateTime = "07/12/2024 21:45:00";
        std::string content;
        bool open = false;
        bool folder = false;
    };
    std::map<std::string, File> files;
    void AddFile(const std::string& path, std::string content = {}) {
        files[path].content = std::move(content);
    }
    void AddFolder(const std::string& path) { files[path].folder = true; }

    // Scripted failures of text files (failCreate: also opening one to append). Writes count from 1; bytes
    // beyond failAfterBytes are never stored.
    bool failCreate = false;
    int failAtWrite = 0;
    std::size_t failAfterBytes = std::numeric_limits<std::size_t>::max();
    bool failClose = false;
    bool failCreateTemp = false;
    bool failRemove = false;
    bool failProfileKeys = false;                       // ReadProfileKeys cannot list the names
    mutable std::vector<std::string> listedProfileKeys; // what ReadProfileKeys answered last
    std::string tempFolder = "C:\\Users\\me\\AppData\\Local\\Temp\\";

    // Scripted starts.
    ShellAnswer shellExecuteAnswer{true, 0};
    ShellAnswer findExecutableAnswer{true, 0};
    std::string browserPath = "C:\\Browser\\browser.exe";
    std::set<std::string> failingCommandLines;        // StartCommandLine fails with "file not found"
    std::map<std::string, std::uint32_t> startErrors; // StartProgram or OpenItem of these fails with the code
    std::map<std::string, std::string> environment;   // variables for ExpandEnvironment, names in upper case
    // Held starts (for the ready wait): each gives a process, numbered from 1, unless its program is in
    // processless; its WaitForInputIdle answers follow readiness[program] (the last one repeats; Ready
    // when there is none).
    std::set<std::string> processless;
    std::map<std::string, std::vector<InputIdle>> readiness;
    std::set<ProcessToken> heldProcesses; // held and not closed yet
    std::map<std::uint32_t, std::string> systemMessages{
        {fileNotFoundError, "The system cannot find the file specified.\r\n"}};
    bool otherInstance = false; // another process runs for the same settings file
    bool claimFails = false;    // the claim of the settings file throws

    // Setting up the start at log-on, and the log file. A path in failingPaths makes WriteShortcut,
    // RemoveFileIfPresent and RenameFile (of it) fail with that system code; failCreate, AppendTextFile.
    std::string startupFolder =
        "C:\\Users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    std::optional<std::uint32_t> startupFolderError;
    std::string executableName = "ZVKLaunchwick.exe";
    std::map<std::string, std::uint32_t> failingPaths;

    // Scripted processor load: each SystemTimes call moves the clocks on by the next step; the last step
    // repeats. Busy(p) is one second of a load of p percent.
    std::vector<ProcessorTimes> processorSteps{Busy(0)};
    static ProcessorTimes Busy(int percent) {
        const auto p = static_cast<std::uint64_t>(percent);
        return {(100 - p) * 100'000, (100 - p) * 100'000 + p * 50'000, p * 50'000};
    }

    // Scripted network: each NetworkConnectivity call answers the next flags (the last repeats), or fails
    // with networkError.
    std::vector<std::uint32_t> connectivity{0x60};
    std::optional<std::uint32_t> networkError;

    std::string executableFolder = "C:\\ZVK32";
    std::string currentFolder = "C:\\Users\\me";
    double twipsPerPixel = 15.0;
    std::int32_t borderWidth = 7620;

    // Focus requests are refused until the window is shown (Load shows it after Form_Load returns), and
    // always for the targets in refusedFocus.
    bool windowShown = false;
    std::set<FocusTarget> refusedFocus;
    std::optional<FocusTarget> focused;
    bool ended = false;

    // Virtual clock in milliseconds.
    long long now = 0;
    void Bind(frmMain& form) { form_ = &form; }
    // Form_Load; the window is shown when it returns.
    void Load();
    // Window events, delivered at once. Called from a hook, they arrive inside the running handler, as
    // a modal loop of the platform would deliver them.
    void Click();
    void KeyPress(std::int16_t keyAscii);
    void DeliverTickNow(Timer timer);
    // Moves the clock on by ms, delivering every tick that falls due, in order.
    void Advance(long long ms);
    // Runs hook once, right after the first later call whose line starts with prefix is recorded.
    void OnCall(std::string prefix, std::function<void()> hook);
    bool Enabled(Timer timer) const { return timers_[Index(timer)].enabled; }

    // The platform, part by part. Window and timers.
    void ShowMessageBox(const std::string& text, const std::string& title) override;
    void DoEvents() override;
    void SetTimerEnabled(Timer timer, bool enabled) override;
    bool IsTimerEnabled(Timer timer) const override { return Enabled(timer); }
    void SetStatusText(const std::string& text) override;
    void AnnounceStatus() override;
    void SetFocus(FocusTarget target) override;
    bool HasFocus(FocusTarget target) const override;
    double TwipsPerPixelX() const override { return twipsPerPixel; }
    std::int32_t ProgressBorderWidth() const override { return borderWidth; }
    void SetProgressWidth(std::int32_t twips) override;
    void SetProgressVisible(bool visible) override;
    void ShowRunningInstance() override;
    void ShowIconBox(const std::string& text, const std::string& title, BoxIcon icon) override;

    // Settings and files.
    std::string ExecutablePath() const override;
    std::string ExecutableFolder() const override { return executableFolder; }
    std::string CurrentFolder() const override { return currentFolder; }
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
    std::uint32_t NetworkConnectivity() override;
    // Standard output: absent, a console (nothing is written); else a file or pipe that gets the text.
    std::optional<std::string> standardOutput;
    bool WriteStandardOutput(std::string_view text) override;
    // The virtual clock from 2024-07-12 21:45:00.000 on.
    ClockTime LocalTime() const override;
    // The log's line for text made ms into the virtual clock (within its first day).
    static std::string LogLine(long long ms, const std::string& text);
    ProcessorTimes SystemTimes() const override;
    std::string SystemMessage(std::uint32_t code) const override;

    struct ProfileSetting {
        std::string section;
        std::string key;
        std::string value;
    };

private:
    friend class FakeTextFile;
    struct TimerState {
        bool enabled = false;
        long long due = 0;
        long long armedOrder = 0;
    };
    static std::size_t Index(Timer timer) { return static_cast<std::size_t>(timer); }
    void Record(std::string line) const;
    std::unique_ptr<TextFile> Open(const std::string& path);

    frmMain* form_ = nullptr;
    std::array<TimerState, 3> timers_{};
    long long armCount_ = 0;
    int tempCount_ = 0;
    ProcessToken Hold(const std::string& program);
    std::map<ProcessToken, std::pair<std::string, std::size_t>> processes_; // program, answers given
    mutable std::size_t processorStep_ = 0;
    std::size_t networkStep_ = 0;
    mutable ProcessorTimes processorTimes_;
    mutable std::vector<std::pair<std::string, std::function<void()>>> hooks_;
    mutable std::optional<std::pair<std::string, std::vector<ProfileSetting>>> parsedProfile_;
};

} // namespace launchwick::test
