#include "LogFile.h"

#include "Paths.h"
#include "ResumeNext.h"
#include "Strings.h"
#include "Texts.h"

namespace launchwick {

std::string LogLine(const ClockTime& time, std::string_view text) {
    std::string line = DateStamp(time.year, time.month, time.day, time.hour, time.minute, time.second);
    line += '.';
    AppendDecimal(line, time.millisecond, 3);
    line += ' ';
    line.append(text).append(texts::lineEnd);
    return line;
}

void LogFile::Configure(const std::string& value, const std::string& configFilePath) noexcept {
    std::vector<EarlyLine> early;
    early.swap(early_);
    collecting_ = false; // from here on, a line of this module's own is not kept for the log
    const std::string path = Path(value, configFilePath);
    if (path.empty()) {
        return;
    }
    try {
        Open(path);
    } catch (...) {
        file_.reset();
        system_.Trace([&] { return texts::CouldNotWrite(path); });
        return;
    }
    ClockTime now;
    ResumeNext([&] { now = system_.LocalTime(); });
    Write(now, texts::LogHeader(configFilePath));
    for (const EarlyLine& line : early) {
        Write(line.time, line.text);
    }
}

std::string LogFile::Path(const std::string& value, const std::string& configFilePath) noexcept {
    if (value.empty()) {
        return {};
    }
    std::string expanded = value;
    ResumeNext([&] { expanded = files_.ExpandEnvironment(value); });
    std::string path;
    ResumeNext([&] { path = FullPath(expanded, FolderOfPath(configFilePath)); });
    bool settingsFile = false;
    ResumeNext([&] { settingsFile = UpperCase(path) == UpperCase(FullPath(configFilePath, "")); });
    if (settingsFile) {
        system_.Trace([&] { return texts::IgnoringOption(texts::logFileKey, value); });
        return {};
    }
    return path;
}

void LogFile::Open(const std::string& path) {
    const auto size = files_.FileSize(path);
    if (size && *size > rotateAbove) {
        try {
            files_.RenameFile(path, path + std::string(texts::oldLogSuffix));
        } catch (const SystemError& refused) {
            // Another copy that shares this log has it open: it grows on, and one of them renames it later.
            if (refused.code != sharingViolationError) {
                throw;
            }
        }
    }
    file_ = files_.AppendTextFile(path);
}

void LogFile::Traced(std::string_view line) noexcept {
    if (!collecting_ && !file_) {
        return;
    }
    ClockTime now;
    ResumeNext([&] { now = system_.LocalTime(); });
    if (file_) {
        Write(now, line);
    } else {
        ResumeNext([&] { early_.push_back({now, std::string(line)}); });
    }
}

// One write per line, so that two copies sharing a log interleave whole lines. A failed write ends the log
// without a word: the trace has all the lines anyway.
void LogFile::Write(const ClockTime& time, std::string_view text) noexcept {
    if (!file_) {
        return;
    }
    try {
        file_->Write(LogLine(time, text));
    } catch (...) {
        file_.reset();
    }
}

} // namespace launchwick
