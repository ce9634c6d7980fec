// The settings module: the sequence tables and the settings file ZVKLaunchwick.ini that fills them.
#pragma once

#include "Encoding.h"
#include "IdleWait.h"
#include "LogFile.h"
#include "Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace launchwick {

// The settings file's full path for the folder of the executable.
std::string SettingsFilePath(const std::string& executableFolder);

// How a profile's program is started, from its optional keys; the defaults are a start without them.
struct StartOptions {
    std::int32_t showCommand = showNormal;
    std::optional<std::string> startIn; // the program's current folder as written (expanded); absent: none
    std::int32_t waitReady = 0;         // seconds the next profile waits for this program to be ready; 0: off
    std::int32_t waitNetwork = 0;       // seconds this program waits for the network; 0: off
    bool open = false; // the entry is a document, folder or link (OpenN), opened with its default verb
};

// The program part of an entry: everything up to and including its first ".exe", in any letter case; empty
// when it has none.
std::string ProgramPart(const std::string& entry);

// A value of WindowN: its canonical name and the show command it gives the start.
struct WindowState {
    std::string_view name;
    std::int32_t showCommand;
};
// The state a WindowN value names, letter case ignored (the value comes trimmed); none for anything else.
std::optional<WindowState> FindWindowState(std::string_view value);
// The canonical name of the state that gives showCommand; empty for none.
std::string_view WindowStateName(std::int32_t showCommand);

// What loading made of a profile with a value in PathN, in profile order: what the check reports.
struct ProfileOutcome {
    // AtItsTurn: accepted, though its program is not there now; a run looks for it after the network wait.
    // Opens: an accepted OpenN.
    enum class Kind { Accepted, AtItsTurn, Opens, Missing, NoProgram };
    int profile = 0;
    Kind kind = Kind::Accepted;
    std::string value;     // the entry, its variables expanded
    std::string program;   // Missing, AtItsTurn: the part that was tested (for OpenN, its value)
    std::string delayText; // Accepted: DelayN as read ("0" when absent)
};

// A key or section in the settings file that the program never reads.
struct UnknownName {
    std::string key; // empty for a whole section
    std::string section;
};

class modMain {
public:
    // The log file sees every trace line from here on, so that it can begin with the first one.
    explicit modMain(Platform& platform)
        : idleWait(platform), logFile(platform, platform), platform_(platform) {
        platform.SetTraceListener(&logFile);
    }
    modMain(const modMain&) = delete;
    modMain& operator=(const modMain&) = delete;
    ~modMain() { platform_.SetTraceListener(nullptr); }

    // Sequence tables: filled once at start, then only read; currentShellPath moves with the ticks.
    std::string configFilePath;
    std::vector<std::string> shellPaths;
    std::vector<std::int32_t> shellPathDelay;
    std::vector<StartOptions> shellPathOptions;
    std::int16_t shellPathCount = 0;
    std::int16_t currentShellPath = 0;
    std::int32_t totalDelayCount = 0;
    // The optional wait for an idle computer, set from the settings file's [Options].
    IdleWait idleWait;
    // The optional log file, set from [Options] LogFile.
    LogFile logFile;
    // [Options] ErrorBoxes: false for Off.
    bool errorBoxes = true;
    SettingsEncoding settingsEncoding = SettingsEncoding::Ansi;
    std::vector<ProfileOutcome> outcomes;

    // A check loads as a run does but shows no box and writes no file; it also notes the log file's path
    // and the names the program never reads.
    bool checking = false;
    std::string logFilePath;
    std::vector<UnknownName> unknownNames;

    static constexpr int profileCount = 20;
    static constexpr std::int32_t maxDelay = 600;
    static constexpr std::size_t profileBufferSize = 4096;

    // The key's value trimmed of spaces, or defaultText when it has no non-blank value.
    std::string GetSetting(const std::string& file, std::string_view section, std::string_view key,
                           std::string_view defaultText = {});
    // True when the last-modified time of the file or folder can be read. Never fails.
    bool FileExists(const std::string& path) noexcept;
    void LoadSettings() noexcept;
    void WriteDefaultSettings() noexcept;

private:
    // The file the system's profile reader is to read for the settings file: a UTF-16 LE copy in the
    // temporary folder when the file's encoding needs one, else empty (the file itself).
    std::string MakeUnicodeCopy() noexcept;

    // The settings' [Options] ErrorBoxes, read before the profiles, whose boxes it decides.
    void LoadErrorBoxes(const std::string& source) noexcept;
    void FindUnknownNames(const std::string& source) noexcept;
    // Replaces the %NAME% variables of text; leaves it as it is when it has none or they cannot be expanded.
    void ExpandVariables(std::string& text) noexcept;
    // The key's value when the section lists it (or the names could not be listed), else defaultText.
    std::string ReadListedKey(const std::string& source, const std::optional<std::vector<std::string>>& keys,
                              const std::string& key, std::string_view defaultText);
    // The value of profile n's optional key name, or empty when the section has no such key.
    std::string OptionalKey(const std::string& source, const std::optional<std::vector<std::string>>& keys,
                            std::string_view name, int n) noexcept;
    // Notes profile n, whose value is value, among the outcomes as kind; null when it cannot.
    ProfileOutcome* Record(int n, const std::string& value,
                           ProfileOutcome::Kind kind = ProfileOutcome::Kind::Accepted,
                           const std::string& program = {}) noexcept;
    // OpenN of profile N, whose PathN has no value: the value to open (a document or folder made absolute),
    // or none, after its trace line or its box. outcome: where the profile is noted once OpenN has a value.
    std::optional<std::string> LoadOpen(const std::string& source,
                                        const std::optional<std::vector<std::string>>& keys, int n,
                                        ProfileOutcome*& outcome) noexcept;
    // WindowN, StartInN, WaitReadyN and WaitNetworkN of the accepted profile N, stored at index k, read from
    // source (the settings file or its Unicode copy). keys: the [Paths] key names in upper case, or absent
    // when every key is to be looked up.
    void LoadStartOptions(const std::string& source, const std::optional<std::vector<std::string>>& keys,
                          int n, std::size_t k) noexcept;

    Platform& platform_;
};

} // namespace launchwick
