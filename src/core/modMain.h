// The settings module: the sequence tables and the settings file ZVKLaunchwick.ini that fills them.
#pragma once

#include "IdleWait.h"
#include "LogFile.h"
#include "Platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace launchwick {

// The settings file's full path for the folder of the executable.
std::string SettingsFilePath(const std::string& executableFolder);

class modMain {
public:
    // The log file sees every trace line from here on, so that it can begin with the first one.
    explicit modMain(Platform& platform) : idleWait(platform), logFile(platform), platform_(platform) {
        platform.SetTraceListener(&logFile);
    }
    modMain(const modMain&) = delete;
    modMain& operator=(const modMain&) = delete;
    ~modMain() { platform_.SetTraceListener(nullptr); }

    // Sequence tables: filled once at start, then only read; currentShellPath moves with the ticks.
    std::string configFilePath;
    std::vector<std::string> shellPaths;
    std::vector<std::int32_t> shellPathDelay;
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
    std::string GetSetting(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& defaultText);
    // True when the last-modified time of the file or folder can be read. Never fails.
    bool FileExists(const std::string& path) noexcept;
    void LoadSettings() noexcept;
    void WriteDefaultSettings() noexcept;

private:
    // The file the system's profile reader is to read for the settings file: a UTF-16 LE copy in the
    // temporary folder when the file's encoding needs one, else empty (the file itself).
    std::string MakeUnicodeCopy() noexcept;

    Platform& platform_;
};

} // namespace launchwick
