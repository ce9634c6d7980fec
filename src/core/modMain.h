// The settings module: the sequence tables and the settings file ZVKLaunchwick.ini that fills them.
#pragma once

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
};

// A value of WindowN: its canonical name and the show command it gives the start.
struct WindowState {
    std::string_view name;
    std::int32_t showCommand;
};
// The state a WindowN value names, letter case ignored (the value comes trimmed); none for anything else.
std::optional<WindowState> FindWindowState(std::string_view value);

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

    // Replaces the %NAME% variables of text; leaves it as it is when it has none or they cannot be expanded.
    void ExpandVariables(std::string& text) noexcept;
    // WindowN, StartInN and WaitReadyN of the accepted profile N, stored at index k, read from source (the
    // settings file or its Unicode copy).
    // keys: the [Paths] key names in upper case, or absent when every key is to be looked up.
    void LoadStartOptions(const std::string& source, const std::optional<std::vector<std::string>>& keys,
                          int n, std::size_t k) noexcept;

    Platform& platform_;
};

} // namespace launchwick
