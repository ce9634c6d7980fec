#include "modMain.h"

#include "Encoding.h"
#include "Numbers.h"
#include "ReadyWait.h"
#include "ResumeNext.h"
#include "Strings.h"
#include "Texts.h"

#include <algorithm>

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
    ResumeNext([&] { platform_.Trace(std::string(texts::loadingStart)); });
    ResumeNext([&] {
        shellPathCount = 0;
        totalDelayCount = 0;
    });
    if (!FileExists(configFilePath)) {
        ResumeNext([&] { platform_.Trace(texts::SettingsNotFound(configFilePath)); });
    } else {
        ResumeNext([&] { platform_.Trace(texts::SettingsFound(configFilePath)); });
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
        for (int n = 1; n <= profileCount; ++n) {
            std::string v;
            ResumeNext([&] {
                v = GetSetting(source, texts::pathsSection, ProfileKey(texts::pathKey, n),
                               texts::noPathValue);
            });
            ResumeNext([&] { platform_.Trace(texts::GetSettingTrace(configFilePath, n, v)); });
            ExpandVariables(v); // everything after the trace line sees the expanded path
            if (v == texts::noPathValue || v.empty()) {
                ResumeNext([&] { platform_.Trace(texts::NoValidEntry(n)); });
                continue;
            }
            const auto p = UpperCase(v).find(".EXE");
            if (p == std::string::npos) {
                continue; // not a program: skipped without a word
            }
            const std::string program = v.substr(0, p + 4);
            if (!FileExists(program)) {
                ResumeNext([&] {
                    platform_.ShowMessageBox(texts::InvalidPathMessage(n, v), std::string(texts::errorTitle));
                });
                continue;
            }
            ResumeNext([&] { shellPathCount = Add16(shellPathCount, 1); });
            const std::size_t k = static_cast<std::size_t>(shellPathCount) - 1;
            ResumeNext([&] {
                shellPaths.resize(k + 1);
                shellPathDelay.resize(k + 1);
                shellPathOptions.resize(k + 1);
            });
            ResumeNext([&] { shellPaths.at(k) = v; });
            ResumeNext([&] { platform_.Trace(texts::ShellPathTrace(static_cast<int>(k), v)); });
            ResumeNext([&] {
                d = ToInt32(GetSetting(source, texts::pathsSection, ProfileKey(texts::delayKey, n),
                                       texts::noDelayValue));
            });
            d = std::min(d, maxDelay);
            ResumeNext([&] { shellPathDelay.at(k) = d; });
            ResumeNext([&] { totalDelayCount = Add32(Add32(totalDelayCount, d), 1); });
            ResumeNext([&] {
                platform_.Trace(texts::ShellPathDelayTrace(static_cast<int>(k), shellPathDelay.at(k)));
            });
            LoadStartOptions(source, pathKeys, n, k);
        }
        std::string waitForIdle;
        std::string idleBelow;
        ResumeNext([&] { waitForIdle = GetSetting(source, texts::optionsSection, texts::waitForIdleKey); });
        ResumeNext([&] { idleBelow = GetSetting(source, texts::optionsSection, texts::idleBelowKey); });
        idleWait.Configure(waitForIdle, idleBelow);
        std::string logFileValue;
        ResumeNext([&] { logFileValue = GetSetting(source, texts::optionsSection, texts::logFileKey); });
        logFile.Configure(logFileValue, configFilePath);
        if (!copy.empty()) {
            ResumeNext([&] { platform_.RemoveFile(copy); });
        }
    }
    ResumeNext([&] { platform_.Trace(std::string(texts::loadingEnd)); });
}

std::string modMain::MakeUnicodeCopy() noexcept {
    std::string bytes;
    try {
        bytes = platform_.ReadFileBytes(configFilePath);
    } catch (...) {
        return {}; // unreadable: the profile calls get the file, and their defaults, as before
    }
    const SettingsEncoding encoding = SettingsFileEncoding(bytes);
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
        ResumeNext([&] { platform_.Trace(texts::CouldNotReadAsUnicode(configFilePath)); });
        return {};
    }
}

void modMain::ExpandVariables(std::string& text) noexcept {
    if (text.find('%') != std::string::npos) {
        ResumeNext([&] { text = platform_.ExpandEnvironment(text); });
    }
}

void modMain::LoadStartOptions(const std::string& source, const std::optional<std::vector<std::string>>& keys,
                               int n, std::size_t k) noexcept {
    const int index = static_cast<int>(k);
    // The value of the optional key, or empty when the section has no such key.
    const auto read = [&](std::string_view name, std::string& value) {
        const std::string key = ProfileKey(name, n);
        if (!keys || std::find(keys->begin(), keys->end(), UpperCase(key)) != keys->end()) {
            ResumeNext([&] { value = GetSetting(source, texts::pathsSection, key); });
        }
    };
    std::string window;
    read(texts::windowKey, window);
    if (!window.empty()) {
        if (const auto state = FindWindowState(window)) {
            ResumeNext([&] { shellPathOptions.at(k).showCommand = state->showCommand; });
            ResumeNext([&] { platform_.Trace(texts::ShellPathWindowTrace(index, state->name)); });
        } else {
            ResumeNext(
                [&] { platform_.Trace(texts::IgnoringOption(ProfileKey(texts::windowKey, n), window)); });
        }
    }
    std::string startIn;
    read(texts::startInKey, startIn);
    ExpandVariables(startIn);
    if (!startIn.empty()) {
        ResumeNext([&] { shellPathOptions.at(k).startIn = startIn; });
        ResumeNext([&] { platform_.Trace(texts::ShellPathStartInTrace(index, startIn)); });
    }
    std::string waitReady;
    read(texts::waitReadyKey, waitReady);
    if (const auto seconds = WholeNumber(waitReady)) {
        if (*seconds > 0) {
            const auto w = static_cast<std::int32_t>(std::min<std::uint64_t>(*seconds, ReadyWait::maxWait));
            ResumeNext([&] { shellPathOptions.at(k).waitReady = w; });
            ResumeNext([&] { platform_.Trace(texts::ShellPathWaitReadyTrace(index, w)); });
        }
    } else if (!waitReady.empty()) {
        ResumeNext(
            [&] { platform_.Trace(texts::IgnoringOption(ProfileKey(texts::waitReadyKey, n), waitReady)); });
    }
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
        ResumeNext([&] { platform_.Trace(texts::CouldNotWrite(configFilePath)); });
    }
}

} // namespace launchwick
