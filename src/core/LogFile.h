// The optional log file: a copy of the run's trace lines, each with the local time, for the person who
// wants to know afterwards what happened at log-on, when no debugger was watching.
#pragma once

#include "Platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace launchwick {

// "yyyy-mm-dd hh:mm:ss.mmm " + text + CR LF.
std::string LogLine(const ClockTime& time, std::string_view text);

class LogFile final : public TraceListener {
public:
    LogFile(PlatformFiles& files, PlatformSystem& system) noexcept : files_(files), system_(system) {}
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // A log larger than this when it is opened is first renamed to <path>.old.
    static constexpr std::uint64_t rotateAbove = 1'048'576;

    // The LogFile option as read, trimmed ("" when absent). Until it is known, the trace lines are kept in
    // memory; then they go to the new log, or nowhere.
    void Configure(const std::string& value, const std::string& configFilePath) noexcept;
    // The full path that value names, its variables expanded, relative to the settings file's folder;
    // empty when there is none or it is the settings file itself (then traced as ignored).
    std::string Path(const std::string& value, const std::string& configFilePath) noexcept;
    bool On() const noexcept { return file_ != nullptr; }

    void Traced(std::string_view line) noexcept override;

private:
    struct EarlyLine {
        ClockTime time;
        std::string text;
    };
    void Open(const std::string& path);
    void Write(const ClockTime& time, std::string_view text) noexcept;

    PlatformFiles& files_;
    PlatformSystem& system_;
    bool collecting_ = true;
    std::vector<EarlyLine> early_;
    std::unique_ptr<TextFile> file_;
};

} // namespace launchwick
