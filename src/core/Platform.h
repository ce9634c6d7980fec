// The one narrow door from the portable core to the operating system, in four parts.
// The Win32 layer implements it with the real calls; the unit tests implement it with a recording fake.
#pragma once

#include "Errors.h"
#include "ResumeNext.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace launchwick {

// A moment of the local clock.
struct ClockTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// A shortcut file (.lnk) that starts a program.
struct Shortcut {
    std::string path; // of the shortcut itself
    std::string target;
    std::string arguments;
    std::string workingFolder;
    std::int32_t showCommand = 0;
};

enum class BoxIcon { Information, Error };

// Gets a copy of every trace line (the optional log file).
class TraceListener {
public:
    virtual void Traced(std::string_view line) noexcept = 0;

protected:
    ~TraceListener() = default;
};

enum class Timer { tmrStart, tmrMain, tmrExit };

// What may be asked to take, or be asked whether it has, the keyboard focus. Form is the splash window.
enum class FocusTarget { Command1, txtFocus, btnCancel, Form };

// The window style for a started program: a normal window that is shown and takes the focus.
constexpr std::int32_t showNormal = 1;

// The system's processor times since it started, in 100 ns units, summed over every processor. Kernel
// time includes the idle time.
struct ProcessorTimes {
    std::uint64_t idle = 0;
    std::uint64_t kernel = 0;
    std::uint64_t user = 0;
};

// A started process that the platform holds for the ready wait until CloseProcess; noProcess is none.
using ProcessToken = std::uint32_t;
constexpr ProcessToken noProcess = 0;

// What WaitForInputIdle says at once about a held process: waiting for input (0), not yet (WAIT_TIMEOUT), or
// failed (WAIT_FAILED: a console program, one that has ended, or one the query is refused for).
enum class InputIdle { Ready, NotYet, Failed };

// The shell's answer to a request: done (started, or found), or refused with the system's error code for
// why. How the shell's own numbers say so is the platform's business.
struct ShellAnswer {
    bool done = false;
    std::uint32_t code = 0; // when refused
};

// Whose window owns a shell request: none, or the splash window.
enum class Owner { None, Splash };

// A text file open for writing. Closing happens in Close() or, at the latest, in the destructor.
class TextFile {
public:
    virtual ~TextFile() = default;
    virtual void Write(std::string_view text) = 0; // throws StatementError when the write fails
    virtual void Close() = 0;                      // throws StatementError when the close fails
};

// The four parts of the platform, one for each concern; a room of the core takes the part it uses, or the
// whole Platform when it uses several. Member names avoid the names that <windows.h> turns into macros
// (MessageBox, DeleteFile, ...). Every text that crosses them, paths and file contents read as text
// included, is UTF-8.

// The window and its timers, and the boxes shown to the user.
class PlatformWindow {
public:
    // Modal box with an OK button and no icon. Returns when the user has closed it.
    virtual void ShowMessageBox(const std::string& text, const std::string& title) = 0;
    // Lets the window system process the window messages that are waiting, once.
    virtual void DoEvents() = 0;

    // The splash window.
    virtual void SetTimerEnabled(Timer timer, bool enabled) = 0;
    virtual bool IsTimerEnabled(Timer timer) const = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // Tells screen readers that the status line now says something worth hearing; while the window is not
    // shown yet, as soon as it is.
    virtual void AnnounceStatus() = 0;
    virtual void SetFocus(FocusTarget target) = 0; // throws StatementError when refused
    virtual bool HasFocus(FocusTarget target) const = 0;
    virtual double TwipsPerPixelX() const = 0;             // width of one screen pixel in twips
    virtual std::int32_t ProgressBorderWidth() const = 0;  // present width of recProgressBorder, twips
    virtual void SetProgressWidth(std::int32_t twips) = 0; // width of recProgress, twips
    virtual void SetProgressVisible(bool visible) = 0;

    // Brings the window of the process that holds the claim to the front.
    virtual void ShowRunningInstance() = 0;
    // Modal box with an OK button and the icon, owned by no window.
    virtual void ShowIconBox(const std::string& text, const std::string& title, BoxIcon icon) = 0;

protected:
    ~PlatformWindow() = default;
};

// The settings file, other files and folders, and the start-up shortcut.
class PlatformFiles {
public:
    virtual std::string ExecutablePath() const = 0;   // full path of the running executable
    virtual std::string ExecutableFolder() const = 0; // folder of the running executable
    virtual std::string CurrentFolder() const = 0;    // the process's current folder
    virtual std::string StartupFolder() const = 0;    // the user's start-up folder (CSIDL_STARTUP)

    // The settings file.
    // Text form of the last-modified time of a file or folder; throws StatementError when it cannot be read.
    virtual std::string FileDateTime(const std::string& path) const = 0;
    // GetPrivateProfileString with a buffer of bufferSize characters: the characters placed in the buffer.
    virtual std::string ReadProfileString(const std::string& section, const std::string& key,
                                          const std::string& defaultText, std::size_t bufferSize,
                                          const std::string& file) const = 0;
    // GetPrivateProfileString with no key: the names of the section's keys, as the reader matches them.
    // Throws StatementError when they cannot be listed.
    virtual std::vector<std::string> ReadProfileKeys(const std::string& section,
                                                     const std::string& file) const = 0;
    // GetPrivateProfileSectionNames: the names of the file's sections. Throws StatementError.
    virtual std::vector<std::string> ReadProfileSections(const std::string& file) const = 0;
    // The whole file's bytes. Throws StatementError when it cannot be read.
    virtual std::string ReadFileBytes(const std::string& path) const = 0;
    // True when path names an existing file, not a folder; a relative path is taken from the current folder.
    virtual bool IsFile(const std::string& path) const = 0;
    // True when path names an existing folder; a relative path is taken from the current folder.
    virtual bool IsFolder(const std::string& path) const = 0;
    // ExpandEnvironmentStrings: each %NAME% of a defined variable replaced by its value, the rest as it
    // stands. Throws StatementError when the system cannot expand it.
    virtual std::string ExpandEnvironment(const std::string& text) const = 0;
    // Creates the file, or empties an existing one. Throws StatementError when it cannot.
    virtual std::unique_ptr<TextFile> CreateTextFile(const std::string& path) = 0;
    // Creates a new file with a name of its own choosing that ends in suffix, in the user's temporary
    // folder, never opening a file that already exists. Stores the full path in path. Throws StatementError.
    virtual std::unique_ptr<TextFile> CreateTempFile(std::string_view suffix, std::string& path) = 0;
    virtual void RemoveFile(const std::string& path) = 0; // throws StatementError when it cannot

    // The start-up shortcut. Failures throw SystemError with the system's code.
    // Writes the shortcut file, replacing one that is there (IShellLinkW, IPersistFile).
    virtual void WriteShortcut(const Shortcut& shortcut) = 0;
    // False when there was no such file.
    virtual bool RemoveFileIfPresent(const std::string& path) = 0;

    // The log file.
    // Absent when the size of the file cannot be read.
    virtual std::optional<std::uint64_t> FileSize(const std::string& path) const = 0;
    // Renames a file, replacing a file of the new name. Throws SystemError.
    virtual void RenameFile(const std::string& from, const std::string& to) = 0;
    // Opens a file for appending, creating it (not its folder) when absent, shared for reading and writing;
    // each write reaches the disk before it returns. Throws StatementError.
    virtual std::unique_ptr<TextFile> AppendTextFile(const std::string& path) = 0;

    // One run per settings file. False when another process already runs for this settings path (letter
    // case ignored); the claim lasts until this process ends, however it ends.
    virtual bool ClaimSettingsFile(const std::string& path) = 0;

protected:
    ~PlatformFiles() = default;
};

// Starting programs, and the processes held for the ready wait.
class PlatformStarts {
public:
    // ShellExecute; verb and directory may be absent (null pointers).
    virtual ShellAnswer RunShellExecute(Owner owner, const std::optional<std::string>& verb,
                                        const std::string& file, const std::string& parameters,
                                        const std::optional<std::string>& directory,
                                        std::int32_t showCommand) = 0;
    // ShellExecuteEx with the same request as RunShellExecute (no owner, no verb), which also holds the
    // started process for the ready wait (SEE_MASK_NOCLOSEPROCESS, without an error box of the shell's own).
    // Stores the process in process, noProcess when the start gave none.
    virtual ShellAnswer RunShellExecuteHeld(const std::string& file, const std::string& parameters,
                                            const std::optional<std::string>& directory,
                                            std::int32_t showCommand, ProcessToken& process) = 0;
    // FindExecutable with no directory; when found, stores the path it found (text before the NUL).
    virtual ShellAnswer RunFindExecutable(const std::string& file, std::string& result) = 0;
    // Starts a whole command line in the given window style, with no working folder, without waiting; the
    // system finds the program at its start. Throws StartError when the program cannot be started.
    virtual void StartCommandLine(const std::string& commandLine, std::int32_t windowStyle) = 0;
    // ShellExecuteEx of a program named by its full path, with its parameters (none when empty), its
    // current folder (absent: this process's) and show command, without waiting and without an error box
    // of the shell's own; a program that asks for administrator rights gets the consent prompt. Throws
    // StartError with the system's code when the program cannot be started.
    // With process, the start also holds the started process, as RunShellExecuteHeld does.
    virtual void StartProgram(const std::string& program, const std::string& parameters,
                              const std::optional<std::string>& directory, std::int32_t showCommand,
                              ProcessToken* process) = 0;
    // ShellExecuteEx of a document, folder or link with its default verb and no parameters, in the given
    // current folder (absent: none) and show command, without waiting and without an error box of the
    // shell's own. Throws StartError with the system's code when the shell refuses it. With process, the
    // started process is held as RunShellExecuteHeld does (noProcess when the handler gave none).
    virtual void OpenItem(const std::string& file, const std::optional<std::string>& directory,
                          std::int32_t showCommand, ProcessToken* process) = 0;
    // WaitForInputIdle(process, 0). Never fails: anything but an answer counts as Failed.
    virtual InputIdle ProcessInputIdle(ProcessToken process) = 0;
    // Lets go of a held process; noProcess or one already closed is ignored.
    virtual void CloseProcess(ProcessToken process) noexcept = 0;
    // Ends the process at once; no further handler of the window runs.
    virtual void EndProcess() = 0;

protected:
    ~PlatformStarts() = default;
};

// The system itself: the debugger's trace and standard output, the clock, the processor, the network, the
// system's error texts.
class PlatformSystem {
public:
    // Debugger output (OutputDebugStringA, in the system's ANSI code page), then a copy to the listener, when
    // there is one. A statement of its own: a line that cannot be written is skipped.
    void Trace(std::string_view line) noexcept;
    // The same for a line built by build(): a line that cannot be built is skipped as well.
    template <class Build, std::enable_if_t<std::is_invocable_v<const Build&>, int> = 0>
    void Trace(const Build& build) noexcept {
        ResumeNext([&] { WriteLine(build()); });
    }
    void SetTraceListener(TraceListener* listener) noexcept { traceListener_ = listener; }

    virtual ClockTime LocalTime() const = 0; // the local clock, for the log's lines
    // GetSystemTimes. Throws StatementError when the system cannot tell.
    virtual ProcessorTimes SystemTimes() const = 0;
    // The system's own text for an error code (FormatMessage), empty when it has none.
    virtual std::string SystemMessage(std::uint32_t code) const = 0;
    // INetworkListManager::GetConnectivity (NLM_CONNECTIVITY flags) of a list manager made for this question:
    // one made earlier keeps the answer of its own moment. Throws SystemError with the system's code when it
    // cannot be made or cannot answer.
    virtual std::uint32_t NetworkConnectivity() = 0;
    // Writes text as it is to standard output when that is a file or a pipe, and returns true; otherwise
    // (a console, or none) writes nothing and returns false. Throws StatementError when a write fails.
    virtual bool WriteStandardOutput(std::string_view text) = 0;

protected:
    ~PlatformSystem() = default;
    virtual void WriteTrace(std::string_view line) = 0;

private:
    void WriteLine(std::string_view line);
    TraceListener* traceListener_ = nullptr;
};

// The one narrow door from the portable core to the operating system: all four parts.
class Platform : public PlatformWindow, public PlatformFiles, public PlatformStarts, public PlatformSystem {
public:
    virtual ~Platform() = default;

    // A box that tells of a problem in the configuration (a missing program, no usable profile, no browser);
    // with the boxes off ([Options] ErrorBoxes=Off) it is one trace line instead, at the same moment.
    void ShowConfigurationBox(const std::string& text, const std::string& title);
    void SetConfigurationBoxes(bool shown) noexcept { configurationBoxes_ = shown; }
    bool ConfigurationBoxes() const noexcept { return configurationBoxes_; }

private:
    bool configurationBoxes_ = true;
};

} // namespace launchwick
