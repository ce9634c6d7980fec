#include "modMain.h"

#include "Encoding.h"
#include "Numbers.h"
#include "Paths.h"
#include "ResumeNext.h"
#include "Shell_Library.h"
#include "Strings.h"
#include "Texts.h"

#include <algorithm>
#include <iterator>

namespace launchwick {

std::string SettingsFilePath(const std::string& executableFolder) {
    std::string folder = executableFolder;
    const std::string trimmed = TrimSpaces(folder);
    if (trimmed.empty() || trimmed.back() != '\\') {
        folder += '\\';
    }
    return folder.append(texts::settingsFileName);
}

namespace {

// The key of profile n: "Path" and 3 give "Path3".
std::string ProfileKey(std::string_view key, int n) {
    return std::string(key) + Str(n);
}

} // namespace

std::string ProgramPart(const std::string& entry) {
    const auto p = UpperCase(entry).find(".EXE");
    return p == std::string::npos ? std::string() : entry.substr(0, p + 4);
}

std::optional<WindowState> FindWindowState(std::string_view value) {
    static constexpr WindowState states[] = {
        {texts::windowNormal, 1},    // SW_SHOWNORMAL
        {texts::windowNoFocus, 4},   // SW_SHOWNOACTIVATE: the focus stays where it is
        {texts::windowMinimized, 7}, // SW_SHOWMINNOACTIVE, as a shortcut's "Minimized" starts it
        {texts::windowMaximized, 3}, // SW_SHOWMAXIMIZED
        {texts::windowHidden, 0},    // SW_HIDE
    };
    const std::string upper = UpperCase(value);
    for (const WindowState& state : states) {
        if (UpperCase(state.name) == upper) {
            return state;
        }
    }
    return std::nullopt;
}

std::string modMain::GetSetting(const std::string& file, std::string_view section, std::string_view key,
                                std::string_view defaultText) {
    const std::string fallback(defaultText);
    std::string value = TrimSpaces(platform_.ReadProfileString(std::string(section), std::string(key),
                                                               fallback, profileBufferSize, file));
    return value.empty() ? fallback : value;
}

bool modMain::FileExists(const std::string& path) noexcept {
    std::string modified;
    ResumeNext([&] { modified = platform_.FileDateTime(path); });
    std::string text;
    ResumeNext([&] { text = TrimSpaces(modified); });
    return text > " ";
}

void modMain::LoadSettings() noexcept {
    std::int32_t d = 0; // kept across profiles: a delay that is not a number repeats the one before
    platform_.Trace(texts::loadingStart);
    ResumeNext([&] {
        shellPathCount = 0;
        totalDelayCount = 0;
    });
    if (!FileExists(configFilePath)) {
        platform_.Trace([&] { return texts::SettingsNotFound(configFilePath); });
    } else {
        platform_.Trace([&] { return texts::SettingsFound(configFilePath); });
        const std::string copy = MakeUnicodeCopy();
        const std::string& source = copy.empty() ? configFilePath : copy; // what the profile calls read
        // Each lookup reads the whole file again: the optional keys of a profile are looked up only when the
        // section has them. When the names cannot be listed, every key is looked up.
        std::optional<std::vector<std::string>> pathKeys;
        ResumeNext([&] {
            std::vector<std::string> keys =
                platform_.ReadProfileKeys(std::string(texts::pathsSection), source);
            for (std::string& key : keys) {
                key = UpperCase(key);
            }
            pathKeys = std::move(keys);
        });
        LoadErrorBoxes(source);
        for (int n = 1; n <= profileCount; ++n) {
            std::string v;
            ResumeNext([&] {
                v = GetSetting(source, texts::pathsSection, ProfileKey(texts::pathKey, n),
                               texts::noPathValue);
            });
            platform_.Trace([&] { return texts::GetSettingTrace(configFilePath, n, v); });
            ExpandVariables(v); // everything after the trace line sees the expanded path
            const bool open = v == texts::noPathValue || v.empty();
            ProfileOutcome* outcome = nullptr;
            if (open) {
                std::optional<std::string> item = LoadOpen(source, pathKeys, n, outcome);
                if (!item) {
                    continue;
                }
                v = std::move(*item);
            } else {
                const std::string program = ProgramPart(v);
                if (program.empty()) {
                    Record(n, v, ProfileOutcome::Kind::NoProgram);
                    continue; // not a program: skipped without a word
                }
                if (FileExists(program)) {
                    outcome = Record(n, v);
                } else {
                    // A program that waits for the network may be on it: it is looked for at its turn.
                    const bool atItsTurn =
                        WholeNumber(OptionalKey(source, pathKeys, texts::waitNetworkKey, n)).value_or(0) != 0;
                    outcome = Record(
                        n, v, atItsTurn ? ProfileOutcome::Kind::AtItsTurn : ProfileOutcome::Kind::Missing,
                        program);
                    if (!atItsTurn) {
                        ResumeNext([&] {
                            platform_.ShowConfigurationBox(texts::InvalidPathMessage(n, v),
                                                           std::string(texts::errorTitle));
                        });
                        continue;
                    }
                }
            }
            ResumeNext([&] { shellPathCount = Add16(shellPathCount, 1); });
            const std::size_t k = static_cast<std::size_t>(shellPathCount) - 1;
            ResumeNext([&] {
                shellPaths.resize(k + 1);
                shellPathDelay.resize(k + 1);
                shellPathOptions.resize(k + 1);
            });
            ResumeNext([&] { shellPaths.at(k) = v; });
            platform_.Trace([&] { return texts::ShellPathTrace(static_cast<int>(k), v); });
            std::string delayText(texts::noDelayValue);
            ResumeNext([&] {
                delayText = GetSetting(source, texts::pathsSection, ProfileKey(texts::delayKey, n),
                                       texts::noDelayValue);
            });
            if (outcome != nullptr) {
                outcome->delayText = delayText;
            }
            ResumeNext([&] { d = ToInt32(delayText); });
            d = std::min(d, maxDelay);
            ResumeNext([&] { shellPathDelay.at(k) = d; });
            ResumeNext([&] { totalDelayCount = Add32(Add32(totalDelayCount, d), 1); });
            platform_.Trace(
                [&] { return texts::ShellPathDelayTrace(static_cast<int>(k), shellPathDelay.at(k)); });
            if (open) {
                ResumeNext([&] { shellPathOptions.at(k).open = true; });
                platform_.Trace([&] { return texts::ShellPathOpenTrace(static_cast<int>(k)); });
            }
            LoadStartOptions(source, pathKeys, n, k);
        }
        std::string waitForIdle;
        std::string idleBelow;
        ResumeNext([&] { waitForIdle = GetSetting(source, texts::optionsSection, texts::waitForIdleKey); });
        ResumeNext([&] { idleBelow = GetSetting(source, texts::optionsSection, texts::idleBelowKey); });
        idleWait.Configure(waitForIdle, idleBelow);
        std::string logFileValue;
        ResumeNext([&] { logFileValue = GetSetting(source, texts::optionsSection, texts::logFileKey); });
        if (checking) {
            logFilePath = logFile.Path(logFileValue, configFilePath);
            FindUnknownNames(source);
        } else {
            logFile.Configure(logFileValue, configFilePath);
        }
        if (!copy.empty()) {
            ResumeNext([&] { platform_.RemoveFile(copy); });
        }
    }
    platform_.Trace(texts::loadingEnd);
}

std::string modMain::MakeUnicodeCopy() noexcept {
    std::string bytes;
    try {
        bytes = platform_.ReadFileBytes(configFilePath);
    } catch (...) {
        return {}; // unreadable: the profile calls get the file, and their defaults, as before
    }
    const SettingsEncoding encoding = SettingsFileEncoding(bytes);
    settingsEncoding = encoding;
    if (!NeedsUnicodeCopy(encoding)) {
        return {};
    }
    std::string copy;
    try {
        const auto file = platform_.CreateTempFile(texts::unicodeCopySuffix, copy);
        file->Write(Utf16LeCopy(bytes, encoding));
        file->Close();
        return copy;
    } catch (...) {
        if (!copy.empty()) {
            ResumeNext([&] { platform_.RemoveFile(copy); }); // a part written is no use to anybody
        }
        platform_.Trace([&] { return texts::CouldNotReadAsUnicode(configFilePath); });
        return {};
    }
}

void modMain::LoadErrorBoxes(const std::string& source) noexcept {
    std::string value;
    ResumeNext([&] { value = GetSetting(source, texts::optionsSection, texts::errorBoxesKey); });
    const std::string upper = UpperCase(value);
    if (upper == UpperCase(texts::errorBoxesOff)) {
        errorBoxes = false;
    } else if (!value.empty() && upper != UpperCase(texts::errorBoxesOn)) {
        platform_.Trace([&] { return texts::IgnoringOption(texts::errorBoxesKey, value); });
    }
    // A check shows none of a run's boxes: they become trace lines, as with the boxes off.
    platform_.SetConfigurationBoxes(errorBoxes && !checking);
}

namespace {

// The keys the program reads: of each profile in [Paths], N from 1 to 20, and of [Options].
constexpr std::string_view profileKeys[] = {texts::pathKey,    texts::delayKey,     texts::windowKey,
                                            texts::startInKey, texts::waitReadyKey, texts::waitNetworkKey,
                                            texts::openKey};
constexpr std::string_view optionKeys[] = {texts::waitForIdleKey, texts::idleBelowKey, texts::logFileKey,
                                           texts::errorBoxesKey};
// Sections that are the program's own; [Instructions] is free text, whatever its lines look like.
constexpr std::string_view ownSections[] = {texts::pathsSection, texts::optionsSection,
                                            texts::instructionsSection};

bool IsProfileKey(const std::string& upper) {
    for (const std::string_view key : profileKeys) {
        for (int n = 1; n <= modMain::profileCount; ++n) {
            if (upper == UpperCase(ProfileKey(key, n))) {
                return true;
            }
        }
    }
    return false;
}

bool IsOptionKey(const std::string& upper) {
    return std::any_of(std::begin(optionKeys), std::end(optionKeys),
                       [&](std::string_view key) { return upper == UpperCase(key); });
}

} // namespace

void modMain::FindUnknownNames(const std::string& source) noexcept {
    const auto keys = [&](std::string_view section, bool (*known)(const std::string&)) {
        std::vector<std::string> names;
        ResumeNext([&] { names = platform_.ReadProfileKeys(std::string(section), source); });
        for (const std::string& key : names) {
            // A key written with "#" in front is switched off, not mistaken.
            if (!key.empty() && key.front() != '#' && !known(UpperCase(key))) {
                ResumeNext([&] { unknownNames.push_back({key, std::string(section)}); });
            }
        }
    };
    keys(texts::pathsSection, IsProfileKey);
    keys(texts::optionsSection, IsOptionKey);
    std::vector<std::string> sections;
    ResumeNext([&] { sections = platform_.ReadProfileSections(source); });
    for (const std::string& section : sections) {
        const std::string upper = UpperCase(section);
        if (std::none_of(std::begin(ownSections), std::end(ownSections),
                         [&](std::string_view own) { return upper == UpperCase(own); })) {
            ResumeNext([&] { unknownNames.push_back({{}, section}); });
        }
    }
}

std::string_view WindowStateName(std::int32_t showCommand) {
    for (const std::string_view name : {texts::windowNormal, texts::windowNoFocus, texts::windowMinimized,
                                        texts::windowMaximized, texts::windowHidden}) {
        if (FindWindowState(name)->showCommand == showCommand) {
            return name;
        }
    }
    return {};
}

void modMain::ExpandVariables(std::string& text) noexcept {
    if (text.find('%') != std::string::npos) {
        ResumeNext([&] { text = platform_.ExpandEnvironment(text); });
    }
}

std::string modMain::ReadListedKey(const std::string& source,
                                   const std::optional<std::vector<std::string>>& keys,
                                   const std::string& key, std::string_view defaultText) {
    if (keys && std::find(keys->begin(), keys->end(), UpperCase(key)) == keys->end()) {
        return std::string(defaultText);
    }
    return GetSetting(source, texts::pathsSection, key, defaultText);
}

std::optional<std::string> modMain::LoadOpen(const std::string& source,
                                             const std::optional<std::vector<std::string>>& keys, int n,
                                             ProfileOutcome*& outcome) noexcept {
    std::string value(texts::noPathValue);
    ResumeNext(
        [&] { value = ReadListedKey(source, keys, ProfileKey(texts::openKey, n), texts::noPathValue); });
    if (value == texts::noPathValue) {
        platform_.Trace([&] { return texts::NoValidEntry(n); });
        return std::nullopt;
    }
    platform_.Trace([&] { return texts::GetOpenSettingTrace(configFilePath, n, value); });
    ExpandVariables(value);
    if (value.empty()) {
        platform_.Trace([&] { return texts::NoValidEntry(n); });
        return std::nullopt;
    }
    if (IsLink(value)) {
        outcome = Record(n, value, ProfileOutcome::Kind::Opens);
        return value; // what a link names is the handler's business
    }
    std::string item;
    ResumeNext([&] { item = AbsolutePath(value, platform_.CurrentFolder()); });
    if (item.empty() || !FileExists(item)) {
        Record(n, value, ProfileOutcome::Kind::Missing, value);
        ResumeNext([&] {
            platform_.ShowConfigurationBox(texts::InvalidPathMessage(n, value),
                                           std::string(texts::errorTitle));
        });
        return std::nullopt;
    }
    outcome = Record(n, value, ProfileOutcome::Kind::Opens);
    return item;
}

void modMain::LoadStartOptions(const std::string& source, const std::optional<std::vector<std::string>>& keys,
                               int n, std::size_t k) noexcept {
    const int index = static_cast<int>(k);
    const auto read = [&](std::string_view name) { return OptionalKey(source, keys, name, n); };
    bool open = false;
    ResumeNext([&] { open = shellPathOptions.at(k).open; });
    if (!open) {
        const std::string other = read(texts::openKey);
        if (!other.empty() && other != texts::noPathValue) {
            platform_.Trace([&] { return texts::IgnoringOption(ProfileKey(texts::openKey, n), other); });
        }
    }
    const std::string window = read(texts::windowKey);
    if (!window.empty()) {
        if (const auto state = FindWindowState(window)) {
            ResumeNext([&] { shellPathOptions.at(k).showCommand = state->showCommand; });
            platform_.Trace([&] { return texts::ShellPathWindowTrace(index, state->name); });
        } else {
            platform_.Trace([&] { return texts::IgnoringOption(ProfileKey(texts::windowKey, n), window); });
        }
    }
    std::string startIn = read(texts::startInKey);
    ExpandVariables(startIn);
    if (!startIn.empty()) {
        ResumeNext([&] { shellPathOptions.at(k).startIn = startIn; });
        platform_.Trace([&] { return texts::ShellPathStartInTrace(index, startIn); });
    }
    const std::string waitReady = read(texts::waitReadyKey);
    if (const std::int32_t w = WaitOption(platform_, ProfileKey(texts::waitReadyKey, n), waitReady); w > 0) {
        ResumeNext([&] { shellPathOptions.at(k).waitReady = w; });
        platform_.Trace([&] { return texts::ShellPathWaitReadyTrace(index, w); });
    }
    const std::string waitNetwork = read(texts::waitNetworkKey);
    if (const std::int32_t w = WaitOption(platform_, ProfileKey(texts::waitNetworkKey, n), waitNetwork);
        w > 0) {
        ResumeNext([&] { shellPathOptions.at(k).waitNetwork = w; });
        platform_.Trace([&] { return texts::ShellPathWaitNetworkTrace(index, w); });
    }
}

std::string modMain::OptionalKey(const std::string& source,
                                 const std::optional<std::vector<std::string>>& keys, std::string_view name,
                                 int n) noexcept {
    std::string value;
    ResumeNext([&] { value = ReadListedKey(source, keys, ProfileKey(name, n), {}); });
    return value;
}

ProfileOutcome* modMain::Record(int n, const std::string& value, ProfileOutcome::Kind kind,
                                const std::string& program) noexcept {
    ProfileOutcome* outcome = nullptr;
    ResumeNext([&] { outcome = &outcomes.emplace_back(ProfileOutcome{n, kind, value, program, {}}); });
    return outcome;
}

void modMain::WriteDefaultSettings() noexcept {
    if (FileExists(configFilePath)) {
        return;
    }
    // Unlike everything else, writing stops at the first failure; the file closes when it goes out of scope.
    try {
        const auto file = platform_.CreateTextFile(configFilePath);
        for (const std::string& line : texts::DefaultSettingsLines(profileCount)) {
            file->Write(line + std::string(texts::lineEnd));
        }
        file->Close();
    } catch (...) {
        platform_.Trace([&] { return texts::CouldNotWrite(configFilePath); });
    }
}

} // namespace launchwick
