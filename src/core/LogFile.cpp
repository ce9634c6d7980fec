#include "LogFile.h"

#include "Numbers.h"
#include "ResumeNext.h"
#include "Texts.h"

#include <algorithm>

namespace launchwick {

namespace {

bool HasDrive(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

} // namespace

std::string FullPath(std::string_view path, std::string_view folder) {
    std::string whole(path);
    std::replace(whole.begin(), whole.end(), '/', '\\');
    std::size_t root = 0; // the part kept as it is: "C:\", "\\server\share\"
    if (whole.rfind("\\\\", 0) == 0) {
        const auto server = whole.find('\\', 2);
        const auto share = server == std::string::npos ? server : whole.find('\\', server + 1);
        root = share == std::string::npos ? whole.size() : share + 1;
    } else if (HasDrive(whole)) {
        if (whole.size() == 2 || whole[2] != '\\') {
            return whole; // "C:x" is taken from that drive's own current folder: left to the system
        }
        root = 3;
    } else if (!whole.empty() && whole.front() == '\\') {
        const bool drive = HasDrive(folder);
        whole.insert(0, drive ? folder.substr(0, 2) : std::string_view());
        root = drive ? 3 : 1;
    } else {
        return FullPath(std::string(folder) + "\\" + whole, "");
    }
    std::string full = whole.substr(0, root);
    for (std::size_t start = root; start < whole.size();) {
        const std::size_t end = std::min(whole.find('\\', start), whole.size());
        const std::string_view part = std::string_view(whole).substr(start, end - start);
        if (part == "..") {
            full.resize(std::max(full.rfind('\\'), root));
        } else if (!part.empty() && part != ".") {
            full += full.size() > root ? "\\" : "";
            full += part;
        }
        start = end + 1;
    }
    return full;
}

std::string LogLine(const ClockTime& time, std::string_view text) {
    char stamp[] = "0000-00-00 00:00:00.000 ";
    const auto put = [&stamp](std::size_t last, int value, int digits) {
        for (int i = 0; i < digits; ++i, value /= 10) {
            stamp[last - static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
        }
    };
    put(3, time.year, 4);
    put(6, time.month, 2);
    put(9, time.day, 2);
    put(12, time.hour, 2);
    put(15, time.minute, 2);
    put(18, time.second, 2);
    put(22, time.millisecond, 3);
    std::string line(stamp, sizeof stamp - 1);
    line.append(text).append(texts::lineEnd);
    return line;
}

void LogFile::Configure(const std::string& value, const std::string& configFilePath) noexcept {
    std::vector<EarlyLine> early;
    early.swap(early_);
    collecting_ = false; // from here on, a line of this module's own is not kept for the log
    if (value.empty()) {
        return;
    }
    std::string expanded = value;
    ResumeNext([&] { expanded = platform_.ExpandEnvironment(value); });
    const std::string path = FullPath(expanded, FolderOfPath(configFilePath));
    if (UpperCase(path) == UpperCase(FullPath(configFilePath, ""))) {
        ResumeNext([&] { platform_.Trace(texts::IgnoringOption(texts::logFileKey, value)); });
        return;
    }
    try {
        Open(path);
    } catch (...) {
        file_.reset();
        ResumeNext([&] { platform_.Trace(texts::CouldNotWrite(path)); });
        return;
    }
    ClockTime now;
    ResumeNext([&] { now = platform_.LocalTime(); });
    Write(now, texts::LogHeader(configFilePath));
    for (const EarlyLine& line : early) {
        Write(line.time, line.text);
    }
}

void LogFile::Open(const std::string& path) {
    const auto size = platform_.FileSize(path);
    if (size && *size > rotateAbove) {
        try {
            platform_.RenameFile(path, path + std::string(texts::oldLogSuffix));
        } catch (const SystemError& refused) {
            // Another copy that shares this log has it open: it grows on, and one of them renames it later.
            if (refused.code != sharingViolationError) {
                throw;
            }
        }
    }
    file_ = platform_.AppendTextFile(path);
}

void LogFile::Traced(const std::string& line) noexcept {
    if (!collecting_ && !file_) {
        return;
    }
    ClockTime now;
    ResumeNext([&] { now = platform_.LocalTime(); });
    if (file_) {
        Write(now, line);
    } else {
        ResumeNext([&] { early_.push_back({now, line}); });
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
