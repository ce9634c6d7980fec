// The recording fake of the platform: a virtual clock, an in-memory file system and scripted starts.
#include "FakePlatform.h"

#include "Design.h"
#include "Paths.h"

#include <algorithm>
#include <cctype>

namespace launchwick::test {
namespace {

const char* Name(Timer timer) {
    static constexpr const char* names[] = {"tmrStart", "tmrMain", "tmrExit"};
    return names[static_cast<int>(timer)];
}

const char* Name(FocusTarget target) {
    static constexpr const char* names[] = {"Command1", "txtFocus", "btnCancel", "Form"};
    return names[static_cast<int>(target)];
}

long long Interval(Timer timer) {
    static constexpr long long intervals[] = {design::tmrStartInterval, design::tmrMainInterval,
                                              design::tmrExitInterval};
    return intervals[static_cast<int>(timer)];
}

std::string OrNull(const std::optional<std::string>& text) {
    return text ? *text : "(null)";
}

std::string TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool SameText(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

// A file with the UTF-16 LE mark is Unicode to the system's reader, and reaches the core as UTF-8; any
// other file reaches it byte for byte.
std::string ProfileText(const std::string& content) {
    if (content.rfind("\xFF\xFE", 0) != 0) {
        return content;
    }
    std::string text;
    const auto unit = [&](std::size_t at) {
        return static_cast<char32_t>(static_cast<unsigned char>(content[at]) |
                                     static_cast<unsigned char>(content[at + 1]) << 8);
    };
    for (std::size_t at = 2; at + 1 < content.size(); at += 2) {
        char32_t c = unit(at);
        if (c >= 0xD800 && c <= 0xDBFF && at + 3 < content.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        }
        const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        constexpr unsigned lead[] = {0x00, 0xC0, 0xE0, 0xF0};
        text += static_cast<char>(lead[extra] | c >> (6 * extra));
        for (int i = extra - 1; i >= 0; --i) {
            text += static_cast<char>(0x80 | (c >> (6 * i) & 0x3F));
        }
    }
    return text;
}

// The value of key in section of a profile file, raw after the '=' so that the core's own trimming
// is what the tests see. Section and key names match in any letter case, as the platform reader does.
// The settings of a profile file in order; a line "[name]" opens a section, "key=value" sets a key in it.
std::vector<FakePlatform::ProfileSetting> ParseProfile(const std::string& content) {
    std::vector<FakePlatform::ProfileSetting> settings;
    std::optional<std::string> section; // keys before the first section belong to none
    std::size_t start = 0;
    while (start <= content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string trimmed = TrimBlanks(line);
        if (!trimmed.empty() && trimmed.front() == '[' && trimmed.back() == ']') {
            section = trimmed.substr(1, trimmed.size() - 2);
        } else if (const auto equals = line.find('='); section && equals != std::string::npos) {
            settings.push_back(
                {*section, TrimBlanks(std::string_view(line).substr(0, equals)), line.substr(equals + 1)});
        }
        start = end + 1;
    }
    return settings;
}

} // namespace

class FakeTextFile : public TextFile {
public:
    FakeTextFile(FakePlatform& fake, std::string path) : fake_(fake), path_(std::move(path)) {}
    ~FakeTextFile() override {
        if (auto it = fake_.files.find(path_); it != fake_.files.end() && it->second.open) {
            it->second.open = false;
            fake_.Record("Close|" + path_);
        }
    }
    void Write(std::string_view text) override {
        auto& file = fake_.files.at(path_);
        if (!file.open) {
            throw StatementError("Bad file name or number");
        }
        ++writes_;
        if (writes_ == fake_.failAtWrite) {
            throw StatementError("Disk full");
        }
        const std::size_t room = fake_.failAfterBytes - std::min(fake_.failAfterBytes, file.content.size());
        file.content.append(text.substr(0, room));
        if (text.size() > room) {
            throw StatementError("Disk full");
        }
    }
    void Close() override {
        auto& file = fake_.files.at(path_);
        file.open = false;
        fake_.Record("Close|" + path_);
        if (fake_.failClose) {
            throw StatementError("Disk full");
        }
    }

private:
    FakePlatform& fake_;
    std::string path_;
    int writes_ = 0;
};

std::vector<std::string> FakePlatform::Lines(std::initializer_list<std::string_view> kinds) const {
    std::vector<std::string> lines;
    for (const auto& line : calls) {
        const std::string_view kind = std::string_view(line).substr(0, line.find('|'));
        if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> FakePlatform::Traces() const {
    std::vector<std::string> traces;
    for (const auto& line : Lines({"Trace"})) {
        traces.push_back(line.substr(6));
    }
    return traces;
}

std::string FakePlatform::LastStatus() const {
    const auto statuses = Lines({"Status"});
    return statuses.empty() ? std::string("Loading Launchwick") : statuses.back().substr(7);
}

void FakePlatform::Record(std::string line) const {
    calls.push_back(std::move(line));
    const std::string& recorded = calls.back();
    for (auto it = hooks_.begin(); it != hooks_.end(); ++it) {
        if (recorded.rfind(it->first, 0) == 0) {
            auto hook = std::move(it->second);
            hooks_.erase(it);
            hook();
            return;
        }
    }
}

void FakePlatform::Load() {
    windowShown = false;
    form_->Form_Load();
    windowShown = true;
}

void FakePlatform::Click() {
    if (!ended) {
        form_->btnCancel_Click();
    }
}

void FakePlatform::KeyPress(std::int16_t keyAscii) {
    if (!ended) {
        form_->Form_KeyPress(keyAscii);
    }
}

void FakePlatform::DeliverTickNow(Timer timer) {
    if (!ended) {
        form_->OnTimer(timer);
    }
}

void FakePlatform::OnCall(std::string prefix, std::function<void()> hook) {
    hooks_.emplace_back(std::move(prefix), std::move(hook));
}

void FakePlatform::Advance(long long ms) {
    const long long until = now + ms;
    while (!ended) {
        // The earliest due timer; of two due at once, the one armed first.
        TimerState* next = nullptr;
        Timer which = Timer::tmrStart;
        for (Timer timer : {Timer::tmrStart, Timer::tmrMain, Timer::tmrExit}) {
            TimerState& state = timers_[Index(timer)];
            if (state.enabled && state.due <= until &&
                (next == nullptr || state.due < next->due ||
                 (state.due == next->due && state.armedOrder < next->armedOrder))) {
                next = &state;
                which = timer;
            }
        }
        if (next == nullptr) {
            break;
        }
        now = next->due;
        const long long armedOrder = next->armedOrder;
        form_->OnTimer(which);
        if (next->enabled && next->armedOrder == armedOrder) {
            next->due += Interval(which);
        }
    }
    if (!ended) {
        now = until;
    }
}

void FakePlatform::WriteTrace(std::string_view line) {
    Record("Trace|" + std::string(line));
}

void FakePlatform::ShowMessageBox(const std::string& text, const std::string& title) {
    Record("MessageBox|" + title + "|" + text);
}

void FakePlatform::DoEvents() {
    Record("DoEvents");
}

void FakePlatform::SetTimerEnabled(Timer timer, bool enabled) {
    Record(std::string("Timer|") + Name(timer) + (enabled ? "|on" : "|off"));
    TimerState& state = timers_[Index(timer)];
    if (enabled && !state.enabled) {
        state.due = now + Interval(timer);
        state.armedOrder = ++armCount_;
    }
    state.enabled = enabled;
}

void FakePlatform::SetStatusText(const std::string& text) {
    Record("Status|" + text);
}

void FakePlatform::AnnounceStatus() {
    Record("AnnounceStatus");
}

void FakePlatform::SetFocus(FocusTarget target) {
    Record(std::string("SetFocus|") + Name(target));
    if (!windowShown || refusedFocus.count(target) != 0) {
        throw StatementError("Invalid procedure call or argument");
    }
}

bool FakePlatform::HasFocus(FocusTarget target) const {
    Record(std::string("HasFocus|") + Name(target));
    return focused == target;
}

void FakePlatform::SetProgressWidth(std::int32_t twips) {
    Record("ProgressWidth|" + std::to_string(twips));
}

void FakePlatform::SetProgressVisible(bool visible) {
    Record(std::string("ProgressVisible|") + (visible ? "true" : "false"));
}

std::string FakePlatform::FileDateTime(const std::string& path) const {
    Record("FileDateTime|" + path);
    const auto it = files.find(path);
    if (it == files.end()) {
        throw StatementError("File not found");
    }
    return it->second.dateTime;
}

std::string FakePlatform::ReadFileBytes(const std::string& path) const {
    Record("ReadFile|" + path);
    const auto it = files.find(path);
    if (it == files.end() || it->second.folder) {
        throw StatementError("File not found");
    }
    return it->second.content;
}

std::string FakePlatform::ReadProfileString(const std::string& section, const std::string& key,
                                            const std::string& defaultText, std::size_t bufferSize,
                                            const std::string& file) const {
    Record("Profile|" + section + "|" + key + "|" + defaultText + "|" + std::to_string(bufferSize) + "|" +
           file);
    std::optional<std::string> value;
    if (const auto it = files.find(file); it != files.end()) {
        // Parsed once per file text: the settings reader asks for up to forty keys of one file.
        if (!parsedProfile_ || parsedProfile_->first != it->second.content) {
            parsedProfile_.emplace(it->second.content, ParseProfile(ProfileText(it->second.content)));
        }
        for (const ProfileSetting& setting : parsedProfile_->second) {
            if (SameText(setting.section, section) && SameText(setting.key, key)) {
                value = setting.value;
                break;
            }
        }
    }
    return value.value_or(defaultText).substr(0, bufferSize == 0 ? 0 : bufferSize - 1);
}

std::vector<std::string> FakePlatform::ReadProfileKeys(const std::string& section,
                                                       const std::string& file) const {
    Record("ProfileKeys|" + section + "|" + file);
    if (failProfileKeys) {
        throw StatementError("Out of memory");
    }
    std::vector<std::string> keys;
    if (const auto it = files.find(file); it != files.end()) {
        for (const ProfileSetting& setting : ParseProfile(ProfileText(it->second.content))) {
            if (SameText(setting.section, section)) {
                keys.push_back(setting.key);
            }
        }
    }
    listedProfileKeys = keys;
    return keys;
}

std::vector<std::string> FakePlatform::ReadProfileSections(const std::string& file) const {
    Record("ProfileSections|" + file);
    std::vector<std::string> sections;
    if (const auto it = files.find(file); it != files.end()) {
        const std::string text = ProfileText(it->second.content);
        for (std::size_t start = 0; start <= text.size();) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            std::string_view raw = std::string_view(text).substr(start, end - start);
            if (!raw.empty() && raw.back() == '\r') {
                raw.remove_suffix(1);
            }
            const std::string line = TrimBlanks(raw);
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']' &&
                std::none_of(sections.begin(), sections.end(), [&](const std::string& section) {
                    return SameText(section, line.substr(1, line.size() - 2));
                })) {
                sections.push_back(line.substr(1, line.size() - 2));
            }
            start = end + 1;
        }
    }
    return sections;
}

bool FakePlatform::IsFile(const std::string& path) const {
    Record("IsFile|" + path);
    const auto it = files.find(path);
    return it != files.end() && !it->second.folder;
}

bool FakePlatform::IsFolder(const std::string& path) const {
    Record("IsFolder|" + path);
    const auto it = files.find(path);
    return it != files.end() && it->second.folder;
}

// As the system does: a %NAME% of a defined variable (any letter case) becomes its value; an undefined one
// stays, and its closing % may open the next name.
std::string FakePlatform::ExpandEnvironment(const std::string& text) const {
    Record("Expand|" + text);
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('%', at);
        const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) {
            out += text.substr(at);
            break;
        }
        out += text.substr(at, open - at);
        std::string name = text.substr(open + 1, close - open - 1);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (const auto it = environment.find(name); it != environment.end() && !name.empty()) {
            out += it->second;
            at = close + 1;
        } else {
            out += text.substr(open, close - open);
            at = close;
        }
    }
    return out;
}

std::unique_ptr<TextFile> FakePlatform::Open(const std::string& path) {
    File& file = files[path];
    file.content.clear();
    file.open = true;
    return std::make_unique<FakeTextFile>(*this, path);
}

std::unique_ptr<TextFile> FakePlatform::CreateTextFile(const std::string& path) {
    Record("CreateTextFile|" + path);
    if (failCreate) {
        throw StatementError("Path/File access error");
    }
    return Open(path);
}

std::unique_ptr<TextFile> FakePlatform::CreateTempFile(std::string_view suffix, std::string& path) {
    const std::string name = tempFolder + "lw" + std::to_string(++tempCount_) + std::string(suffix);
    Record("CreateTempFile|" + std::string(suffix));
    if (failCreateTemp) {
        throw StatementError("Path/File access error");
    }
    path = name;
    return Open(name);
}

void FakePlatform::RemoveFile(const std::string& path) {
    Record("RemoveFile|" + path);
    if (failRemove || files.erase(path) == 0) {
        throw StatementError("File not found");
    }
}

ShellAnswer FakePlatform::RunShellExecute(Owner owner, const std::optional<std::string>& verb,
                                          const std::string& file, const std::string& parameters,
                                          const std::optional<std::string>& directory,
                                          std::int32_t showCommand) {
    Record(std::string("ShellExecute|") + (owner == Owner::Splash ? "Splash" : "None") + "|" + OrNull(verb) +
           "|" + file + "|" + parameters + "|" + OrNull(directory) + "|" + std::to_string(showCommand));
    return shellExecuteAnswer;
}

ProcessToken FakePlatform::Hold(const std::string& program) {
    if (processless.count(program) != 0) {
        return noProcess;
    }
    const auto token = static_cast<ProcessToken>(processes_.size() + 1);
    processes_[token] = {program, 0};
    heldProcesses.insert(token);
    return token;
}

ShellAnswer FakePlatform::RunShellExecuteHeld(const std::string& file, const std::string& parameters,
                                              const std::optional<std::string>& directory,
                                              std::int32_t showCommand, ProcessToken& process) {
    Record("ShellExecuteHeld|" + file + "|" + parameters + "|" + OrNull(directory) + "|" +
           std::to_string(showCommand));
    process = shellExecuteAnswer.done ? Hold(file) : noProcess;
    return shellExecuteAnswer;
}

ShellAnswer FakePlatform::RunFindExecutable(const std::string& file, std::string& result) {
    Record("FindExecutable|" + file);
    // Like the real lookup, a file that is not there is "file not found".
    if (files.count(file) == 0) {
        return {false, fileNotFoundError};
    }
    if (findExecutableAnswer.done) {
        result = browserPath;
    }
    return findExecutableAnswer;
}

void FakePlatform::StartCommandLine(const std::string& commandLine, std::int32_t windowStyle) {
    Record("StartCommandLine|" + commandLine + "|" + std::to_string(windowStyle));
    if (failingCommandLines.count(commandLine) != 0) {
        throw StartError(fileNotFoundError);
    }
}

void FakePlatform::StartProgram(const std::string& program, const std::string& parameters,
                                const std::optional<std::string>& directory, std::int32_t showCommand,
                                ProcessToken* process) {
    Record("StartProgram|" + program + "|" + parameters + "|" + OrNull(directory) + "|" +
           std::to_string(showCommand) + (process != nullptr ? "|held" : ""));
    if (const auto it = startErrors.find(program); it != startErrors.end()) {
        throw StartError(it->second);
    }
    if (process != nullptr) {
        *process = Hold(program);
    }
}

void FakePlatform::OpenItem(const std::string& file, const std::optional<std::string>& directory,
                            std::int32_t showCommand, ProcessToken* process) {
    Record("OpenItem|" + file + "|" + OrNull(directory) + "|" + std::to_string(showCommand) +
           (process != nullptr ? "|held" : ""));
    if (const auto it = startErrors.find(file); it != startErrors.end()) {
        throw StartError(it->second);
    }
    if (process != nullptr) {
        *process = Hold(file);
    }
}

InputIdle FakePlatform::ProcessInputIdle(ProcessToken process) {
    Record("InputIdle|" + std::to_string(process));
    const auto it = processes_.find(process);
    if (it == processes_.end() || heldProcesses.count(process) == 0) {
        return InputIdle::Failed;
    }
    const auto answers = readiness.find(it->second.first);
    if (answers == readiness.end() || answers->second.empty()) {
        return InputIdle::Ready;
    }
    const std::size_t at = std::min(it->second.second++, answers->second.size() - 1);
    return answers->second[at];
}

void FakePlatform::CloseProcess(ProcessToken process) noexcept {
    Record("CloseProcess|" + std::to_string(process));
    heldProcesses.erase(process);
}

std::string FakePlatform::SystemMessage(std::uint32_t code) const {
    Record("SystemMessage|" + std::to_string(code));
    const auto it = systemMessages.find(code);
    return it != systemMessages.end() ? it->second : std::string();
}

bool FakePlatform::ClaimSettingsFile(const std::string& path) {
    Record("ClaimSettingsFile|" + path);
    if (claimFails) {
        throw StatementError("Permission denied");
    }
    return !otherInstance;
}

void FakePlatform::ShowRunningInstance() {
    Record("ShowRunningInstance");
}

ProcessorTimes FakePlatform::SystemTimes() const {
    Record("SystemTimes");
    const ProcessorTimes& step = processorSteps.at(std::min(processorStep_++, processorSteps.size() - 1));
    processorTimes_.idle += step.idle;
    processorTimes_.kernel += step.kernel;
    processorTimes_.user += step.user;
    return processorTimes_;
}

std::uint32_t FakePlatform::NetworkConnectivity() {
    Record("Network");
    if (networkError) {
        throw SystemError(*networkError);
    }
    return connectivity.at(std::min(networkStep_++, connectivity.size() - 1));
}

void FakePlatform::EndProcess() {
    Record("EndProcess");
    ended = true;
}

std::string FakePlatform::ExecutablePath() const {
    return JoinPath(executableFolder, executableName);
}

std::string FakePlatform::StartupFolder() const {
    Record("StartupFolder");
    if (startupFolderError) {
        throw SystemError(*startupFolderError);
    }
    return startupFolder;
}

void FakePlatform::WriteShortcut(const Shortcut& shortcut) {
    Record("WriteShortcut|" + shortcut.path + "|" + shortcut.target + "|" + shortcut.arguments + "|" +
           shortcut.workingFolder + "|" + std::to_string(shortcut.showCommand));
    if (const auto it = failingPaths.find(shortcut.path); it != failingPaths.end()) {
        throw SystemError(it->second);
    }
    AddFile(shortcut.path, "shortcut to " + shortcut.target);
}

bool FakePlatform::RemoveFileIfPresent(const std::string& path) {
    Record("RemoveFileIfPresent|" + path);
    if (const auto it = failingPaths.find(path); it != failingPaths.end()) {
        throw SystemError(it->second);
    }
    return files.erase(path) != 0;
}

void FakePlatform::ShowIconBox(const std::string& text, const std::string& title, BoxIcon icon) {
    Record(std::string("IconBox|") + (icon == BoxIcon::Error ? "error" : "information") + "|" + title + "|" +
           text);
}

bool FakePlatform::WriteStandardOutput(std::string_view text) {
    Record("StandardOutput|" + std::string(standardOutput ? "file" : "console"));
    if (standardOutput) {
        standardOutput->append(text);
    }
    return standardOutput.has_value();
}

// As the system does it: a name that is not set keeps its percent signs.
ClockTime FakePlatform::LocalTime() const {
    const long long ms = now + ((21 * 60 + 45) * 60) * 1000LL;
    const long long seconds = ms / 1000;
    return ClockTime{2024,
                     7,
                     12 + static_cast<int>(seconds / 86400),
                     static_cast<int>(seconds / 3600 % 24),
                     static_cast<int>(seconds / 60 % 60),
                     static_cast<int>(seconds % 60),
                     static_cast<int>(ms % 1000)};
}

std::string FakePlatform::LogLine(long long ms, const std::string& text) {
    const auto two = [](long long n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
    const long long seconds = (21 * 60 + 45) * 60 + ms / 1000;
    return "2024-07-12 " + two(seconds / 3600) + ":" + two(seconds / 60 % 60) + ":" + two(seconds % 60) +
           "." + std::to_string(1000 + ms % 1000).substr(1) + " " + text + "\r\n";
}

std::optional<std::uint64_t> FakePlatform::FileSize(const std::string& path) const {
    Record("FileSize|" + path);
    const auto it = files.find(path);
    if (it == files.end()) {
        return std::nullopt;
    }
    return it->second.content.size();
}

void FakePlatform::RenameFile(const std::string& from, const std::string& to) {
    Record("RenameFile|" + from + "|" + to);
    if (const auto it = failingPaths.find(from); it != failingPaths.end()) {
        throw SystemError(it->second);
    }
    if (files.count(from) == 0) {
        throw SystemError(fileNotFoundError);
    }
    files[to] = files.at(from);
    files.erase(from);
}

std::unique_ptr<TextFile> FakePlatform::AppendTextFile(const std::string& path) {
    Record("AppendTextFile|" + path);
    if (failCreate) {
        throw StatementError("Path not found");
    }
    files[path].open = true;
    return std::make_unique<FakeTextFile>(*this, path);
}

} // namespace launchwick::test
