// Builds a settings file from arbitrary bytes on the fake platform, loads it (directly, or through the
// window's load handler) and aborts when a rule of the settings reader is broken.
//
// Input: byte 0 holds options, bytes 1-3 a bit per profile 1..20 whose program part is made to exist,
// the rest is the file.
//   bit 0     the settings file exists (unless the default file is written first)
//   bit 1     the rest is the file's text as it stands; otherwise it is up to 107 values separated by
//             line feeds, for Path1, Delay1, ..., Path22, Delay22, written under "[Paths]", then
//             WaitForIdle and IdleBelow under "[Options]", then Window1, StartIn1, ..., Window20,
//             StartIn20, then WaitReady1 ... WaitReady20, all in the one "[Paths]" before the options, then
//             LogFile under "[Options]" (a value that starts with byte 1 is written with a "#" before its
//             key). The environment has a few variables for the %NAME% texts (see kEnvironment).
//   bit 2     run the window's load handler instead of LoadSettings
//   bits 3, 7 both set: first write the default file, then append the rest to it (its 73 lines make
//             every lookup slow, so only one input in four does this)
//   bits 4-6  how writing the default file fails: not, on create, at write 1, 2, 40, 73 or 74 (there are
//             only 73), or on close
#include "Check.h"
#include "Encoding.h"
#include "FakePlatform.h"
#include "FuzzCheck.h"
#include "LogFile.h"
#include "Paths.h"
#include "Shell_Library.h"
#include "Strings.h"
#include "Texts.h"
#include "frmMain.h"
#include "modMain.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using launchwick::test::FakePlatform;

const std::string kFolder = "C:\\ZVK32";
const std::string kConfig = kFolder + "\\ZVKLaunchwick.ini";
const std::string kCouldNotWrite = "Could not write to " + kConfig;
const std::string kErrorBox = "MessageBox|Error - ZVK Launchwick|";
const std::string kInvalidPrefix = kErrorBox + "The path specified in profile ";
constexpr int kProfiles = 20;
constexpr int kDefaultLines = 73;
constexpr std::int32_t kMaxDelay = 600;

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::size_t FindExe(const std::string& value) {
    std::string upper(value);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper.find(".EXE");
}

std::size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

std::size_t CountLineEnds(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
        ++count;
    }
    return count;
}

// The file the system's reader reads: the settings file, or its Unicode copy (the fake's first temporary
// file) when its encoding needs one.
std::string source = kConfig;

// The value the reader is given for a key: read through the platform, trimmed, or the default text.
std::string Setting(FakePlatform& fake, const std::string& key, const std::string& defaultText,
                    const std::string& section = "Paths") {
    const std::string value = TrimSpaces(fake.ReadProfileString(section, key, defaultText, 4096, source));
    return value.empty() ? defaultText : value;
}

// An option of the idle wait as the reader must take it: digits only, within the range (a long number
// counts as above it); otherwise its default, and a trace line when something else was written.
struct Option {
    long long value;
    bool ignored;
};
Option ReadOption(const std::string& text, long long low, long long high, long long fallback, bool clamp) {
    if (text.empty()) {
        return {fallback, false};
    }
    if (text.find_first_not_of("0123456789") != std::string::npos) {
        return {fallback, true};
    }
    const bool large =
        text.find_first_not_of('0') != std::string::npos && text.size() - text.find_first_not_of('0') > 9;
    const long long value = large ? high + 1 : std::stoll(text);
    if (value >= low && value <= high) {
        return {value, false};
    }
    return clamp && value > high ? Option{high, false} : Option{fallback, true};
}

// A delay text's value when it is plainly a number or plainly not one; nullopt when the reader may
// read it either way (fractions and other number forms are its own choice).
enum class DelayKind { Number, NotANumber, Either };
DelayKind ClassifyDelay(const std::string& text, std::int32_t& value) {
    std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    const std::size_t digitsFrom = i;
    long long whole = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        whole = std::min(whole * 10 + (text[i] - '0'), 1LL << 40); // saturates beyond the 32-bit range
    }
    if (i == text.size() && i > digitsFrom) {
        const long long signedWhole = text[0] == '-' ? -whole : whole;
        if (signedWhole < std::numeric_limits<std::int32_t>::min() ||
            signedWhole > std::numeric_limits<std::int32_t>::max()) {
            return DelayKind::NotANumber; // out of range fails like a text
        }
        value = static_cast<std::int32_t>(signedWhole);
        return DelayKind::Number;
    }
    return text.find_first_of("0123456789") == std::string::npos ? DelayKind::NotANumber : DelayKind::Either;
}

void WriteFailure(std::uint8_t selector, FakePlatform& fake) {
    static constexpr int atWrite[] = {0, 0, 1, 2, 40, 73, 74, 0};
    fake.failCreate = selector == 1;
    fake.failAtWrite = atWrite[selector];
    fake.failClose = selector == 7;
}

void ClearWriteFailure(FakePlatform& fake) {
    WriteFailure(0, fake);
}

// After WriteDefaultSettings ran on an absent file with the given failure.
void CheckDefaultWrite(const FakePlatform& fake, std::uint8_t selector) {
    const std::size_t complaints = CountOf(fake.Traces(), kCouldNotWrite);
    const auto file = fake.files.find(kConfig);
    if (selector == 1) {
        FUZZ_CHECK(file == fake.files.end() && complaints == 1);
        return;
    }
    FUZZ_CHECK(file != fake.files.end() && !file->second.open);
    const std::string& content = file->second.content;
    FUZZ_CHECK(content.empty() || content.size() >= 2);
    FUZZ_CHECK(content.empty() || content.compare(content.size() - 2, 2, "\r\n") == 0);
    const std::size_t lines = CountLineEnds(content);
    switch (selector) {
    case 2:
    case 3:
    case 4:
    case 5: {
        static constexpr int atWrite[] = {0, 0, 1, 2, 40, 73};
        FUZZ_CHECK(lines == static_cast<std::size_t>(atWrite[selector] - 1) && complaints == 1);
        break;
    }
    case 7:
        FUZZ_CHECK(lines == kDefaultLines && complaints == 1);
        break;
    default:
        FUZZ_CHECK(lines == kDefaultLines && complaints == 0);
        break;
    }
}

std::string BuildFile(std::string_view payload) {
    std::string paths = "[Paths]\r\n";
    std::string options = "[Options]\r\n";
    std::size_t start = 0;
    // Lines 1 to 44: Path1, Delay1 ... Delay22; lines 45 and 46: the two options of the idle wait; lines
    // 47 to 86: Window1, StartIn1 ... StartIn20; lines 87 to 106: WaitReady1 ... WaitReady20; all of them in
    // the one [Paths] section before [Options]; line 107: the log; lines 108 to 127: Open1 ... Open20.
    for (int i = 0; i < 127 && start <= payload.size(); ++i) {
        std::size_t end = payload.find('\n', start);
        if (end == std::string_view::npos) {
            end = payload.size();
        }
        std::string_view value = payload.substr(start, end - start);
        std::string key;
        if (i < 44) {
            key = (i % 2 == 0 ? "Path" : "Delay") + std::to_string(i / 2 + 1);
        } else if (i < 46) {
            key = i == 44 ? "WaitForIdle" : "IdleBelow";
        } else if (i < 86) {
            key = (i % 2 == 0 ? "Window" : "StartIn") + std::to_string((i - 46) / 2 + 1);
        } else if (i < 106) {
            key = "WaitReady" + std::to_string(i - 85);
        } else if (i == 106) {
            key = "LogFile";
        } else {
            key = "Open" + std::to_string(i - 106);
        }
        if (!value.empty() && value.front() == '\x01') {
            key.insert(0, "#");
            value.remove_prefix(1);
        }
        ((i >= 44 && i < 46) || i == 106 ? options : paths) += key + "=" + std::string(value) + "\r\n";
        start = end + 1;
    }
    return paths + options;
}

// Variables of the environment for the %NAME% texts: a folder that exists, one that does not, an empty one.
const std::map<std::string, std::string> kEnvironment = {
    {"A", kFolder}, {"B", "C:\\Missing"}, {"E", ""}, {"P", "%A%"}};

// The state a WindowN value names, as the reader must take it (case ignored), and its show command.
std::optional<std::pair<std::string, std::int32_t>> WindowStateOf(const std::string& value) {
    static const std::pair<std::string, std::int32_t> states[] = {
        {"Normal", 1}, {"NoFocus", 4}, {"Minimized", 7}, {"Maximized", 3}, {"Hidden", 0}};
    for (const auto& state : states) {
        if (state.first.size() == value.size() &&
            std::equal(value.begin(), value.end(), state.first.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return state;
        }
    }
    return std::nullopt;
}

bool HasKey(const std::vector<std::string>& keys, const std::string& key) {
    return std::any_of(keys.begin(), keys.end(), [&](const std::string& listed) {
        return launchwick::UpperCase(listed) == launchwick::UpperCase(key);
    });
}

struct Profile {
    std::string written; // Path value as read, before its variables are expanded
    std::string value;   // Path value as the reader sees it
    bool hasExe = false;
    bool exists = false;
};

// What a profile's report line must say, from what the run did at its launch: the program and
// arguments it started, the countdown ticks before, and the options its start carried.
struct Launch {
    std::string line; // after "Profile N: "; empty when the run's start says nothing clear
};

const char* WindowName(std::int32_t show) {
    static const std::pair<std::int32_t, const char*> names[] = {
        {4, "NoFocus"}, {7, "Minimized"}, {3, "Maximized"}, {0, "Hidden"}};
    for (const auto& [command, name] : names) {
        if (command == show) {
            return name;
        }
    }
    return nullptr;
}

// Runs a short sequence (a long one would make the input slow): every start of a profile gets the show
// command that its trace lines named, and its start-in folder when it has one; a start-in folder that is
// not there starts nothing and says so. Returns what each launched profile's report line must say.
// filesAtLoading: the files as the settings were read, which is what /check sees.
std::vector<Launch> CheckStarts(FakePlatform& fake, const launchwick::modMain& settings,
                                const decltype(FakePlatform::files)& filesAtLoading) {
    std::vector<Launch> launches;
    long long ticks = 0;
    for (const std::int32_t d : settings.shellPathDelay) {
        ticks += std::max<std::int32_t>(d, 0) + 1;
    }
    if (ticks > 60) {
        return launches;
    }
    fake.AddFolder(kFolder);
    fake.Advance(1000); // the start tick
    std::int32_t countdown = 0;
    for (long long tick = 0; tick <= ticks; ++tick) {
        const std::int16_t current = settings.currentShellPath;
        if (current < 1 || current > settings.shellPathCount) {
            break; // only the completion tick is left
        }
        const auto k = static_cast<std::size_t>(current - 1);
        const std::string entry = settings.shellPaths.at(k); // the launcher may drop its quotes
        const std::size_t from = fake.calls.size();
        fake.Advance(1000);
        if (settings.currentShellPath == current) {
            countdown += static_cast<std::int32_t>(
                std::count(fake.calls.begin() + static_cast<std::ptrdiff_t>(from), fake.calls.end(),
                           "Trace|timerCount hasn't reached specified delay..."));
            continue; // a countdown tick, or one that waits
        }
        const std::int32_t counted = countdown;
        countdown = 0;
        launches.emplace_back();
        const launchwick::StartOptions& options = settings.shellPathOptions.at(k);
        bool web = false;
        try {
            web = !options.open &&
                  launchwick::PlanShellRun(entry.front() == '"' ? entry : '"' + entry + '"', std::nullopt)
                      .webAddress;
        } catch (const launchwick::StatementError&) {
            continue; // too long to be started at all
        }
        std::vector<std::string> starts;
        bool failed = false;
        for (std::size_t i = from; i < fake.calls.size(); ++i) {
            const std::string& line = fake.calls[i];
            if (line.rfind("ShellExecute|", 0) == 0 || line.rfind("StartProgram|", 0) == 0 ||
                line.rfind("OpenItem|", 0) == 0) {
                starts.push_back(line);
            }
            failed = failed || line.rfind("Trace|Could not start " + entry + ": ", 0) == 0;
        }
        const std::string show = "|" + std::to_string(options.showCommand);
        for (std::string start : starts) {
            // A start for the ready wait holds its process: the plain start's other call, the fallback's
            // mark.
            FUZZ_CHECK((start.rfind("ShellExecuteHeld|", 0) == 0 ||
                        start.size() > 5 && start.compare(start.size() - 5, 5, "|held") == 0) ==
                       (options.waitReady > 0 && !web));
            if (start.size() > 5 && start.compare(start.size() - 5, 5, "|held") == 0) {
                start.resize(start.size() - 5);
            }
            FUZZ_CHECK(start.size() >= show.size() &&
                       start.compare(start.size() - show.size(), show.size(), show) == 0);
        }
        // The line the report must give this profile: the program as the launcher started it (the whole
        // entry where it names a file, as the system's shell takes it), after the countdown the run counted.
        if (!web && entry.find('|') == std::string::npos) {
            std::string program;
            std::string parameters;
            std::optional<std::string> directory;
            bool held = false;
            for (const std::string& start : starts) {
                if (start.rfind("StartProgram|", 0) != 0) {
                    continue;
                }
                std::string rest = start.substr(13);
                held = rest.size() > 5 && rest.compare(rest.size() - 5, 5, "|held") == 0;
                rest.resize(rest.size() - (held ? 5 : 0));
                rest.resize(rest.rfind('|')); // the show command, checked above
                const std::string folder = rest.substr(rest.rfind('|') + 1);
                directory = folder == "(null)" ? std::nullopt : std::optional<std::string>(folder);
                rest.resize(rest.rfind('|'));
                program = rest.substr(0, rest.find('|'));
                parameters = rest.substr(rest.find('|') + 1);
            }
            // A file the run made after loading (its log, say) is not one the check can see.
            if (const auto it = filesAtLoading.find(entry); !program.empty() && entry.front() != '"' &&
                                                            it != filesAtLoading.end() &&
                                                            !it->second.folder) {
                // Taken from the current folder when it is relative, as the shell does.
                program = launchwick::AbsolutePath(entry, fake.currentFolder);
                parameters.clear();
            }
            if (!program.empty()) {
                std::string& line = launches.back().line;
                line = "starts " + program + (parameters.empty() ? "" : " with " + parameters) + " after " +
                       std::to_string(counted) + " s";
                if (const char* name = WindowName(options.showCommand)) {
                    line += std::string(", window ") + name;
                }
                if (directory && options.startIn) {
                    line += ", in " + *options.startIn;
                }
                if (held) {
                    line +=
                        ", then waits up to " + std::to_string(options.waitReady) + " s for it to be ready";
                }
            }
        }
        if (web || !options.startIn) {
            continue;
        }
        const std::string folder = launchwick::AbsolutePath(*options.startIn, fake.currentFolder);
        const auto it = fake.files.find(folder);
        if (it == fake.files.end() || !it->second.folder) {
            FUZZ_CHECK(starts.empty() && failed);
            continue;
        }
        for (const std::string& start : starts) {
            FUZZ_CHECK(start.find("|" + folder + "|") != std::string::npos);
        }
    }
    return launches;
}

// The check of the same file, with the files as they were at loading, says profile by profile what the run
// did.
void CheckReportAgrees(const decltype(FakePlatform::files)& files, const launchwick::modMain& settings,
                       const std::vector<Launch>& launches) {
    FakePlatform fake;
    fake.executableFolder = kFolder;
    fake.environment = kEnvironment;
    fake.files = files;
    fake.standardOutput = "";
    const std::vector<std::string> report = launchwick::CheckSettings(fake).lines;
    std::vector<std::string> starts;
    for (const std::string& line : report) {
        const auto colon = line.find(": ");
        // Documents and links are opened: the report says so, and the run's line for them is left empty.
        if (line.rfind("Profile ", 0) == 0 && colon != std::string::npos &&
            (line.compare(colon + 2, 7, "starts ") == 0 || line.compare(colon + 2, 6, "opens ") == 0)) {
            starts.push_back(line.substr(colon + 2));
        }
    }
    FUZZ_CHECK(starts.size() == static_cast<std::size_t>(settings.shellPathCount));
    FUZZ_CHECK(!report.empty() &&
               report.back().rfind(std::to_string(settings.shellPathCount) + " of ", 0) == 0);
    for (std::size_t k = 0; k < launches.size() && k < starts.size(); ++k) {
        FUZZ_CHECK(launches[k].line.empty() || launches[k].line == starts[k]);
    }
    FUZZ_CHECK(fake.Lines({"MessageBox", "StartProgram", "ShellExecute", "CreateTextFile", "AppendTextFile"})
                   .empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::uint8_t options = data[0];
    const std::uint32_t existing = data[1] | data[2] << 8 | data[3] << 16;
    const std::string_view payload(reinterpret_cast<const char*>(data) + 4, size - 4);
    const bool rawText = (options & 0x02) != 0;
    const bool throughForm = (options & 0x04) != 0;
    const bool fromDefault = (options & 0x88) == 0x88;
    const std::uint8_t failure = (options >> 4) & 0x07;

    FakePlatform fake;
    fake.executableFolder = kFolder;
    fake.environment = kEnvironment;
    launchwick::modMain settings(fake);
    settings.configFilePath = kConfig;
    launchwick::Shell_Library shell(fake);
    launchwick::frmMain form(fake, settings, shell);
    fake.Bind(form);

    const std::string text = rawText ? std::string(payload) : BuildFile(payload);
    if (fromDefault) {
        WriteFailure(failure, fake);
        settings.WriteDefaultSettings();
        CheckDefaultWrite(fake, failure);
        ClearWriteFailure(fake);
        if (const auto file = fake.files.find(kConfig); file != fake.files.end()) {
            file->second.content += text;
            // A file that is there is never written again.
            const std::string before = file->second.content;
            fake.calls.clear();
            settings.WriteDefaultSettings();
            FUZZ_CHECK(fake.files.at(kConfig).content == before);
            FUZZ_CHECK(fake.Lines({"FileDateTime"}).size() == fake.calls.size());
        }
    } else if ((options & 0x01) != 0) {
        fake.AddFile(kConfig, text);
    }
    const bool configExists = fake.files.count(kConfig) != 0;
    source = kConfig;
    std::string copy;
    if (configExists) {
        const std::string& bytes = fake.files.at(kConfig).content;
        const launchwick::SettingsEncoding encoding = launchwick::SettingsFileEncoding(bytes);
        if (launchwick::NeedsUnicodeCopy(encoding)) {
            copy = launchwick::Utf16LeCopy(bytes, encoding);
            source = fake.tempFolder + "lw1.ini";
            fake.AddFile(source, copy);
        }
    }

    // What the reader will see, and which program parts exist.
    Profile profiles[kProfiles + 1];
    for (int n = 1; n <= kProfiles && configExists; ++n) {
        Profile profile;
        profile.written = Setting(fake, "Path" + std::to_string(n), "?");
        profile.value = profile.written.find('%') == std::string::npos
                            ? profile.written
                            : fake.ExpandEnvironment(profile.written);
        const std::size_t p = FindExe(profile.value);
        profile.hasExe = profile.value != "?" && p != std::string::npos;
        const std::string program = profile.hasExe ? profile.value.substr(0, p + 4) : std::string();
        if (profile.hasExe && (existing >> (n - 1) & 1) != 0 && program != kConfig && program != source) {
            fake.AddFile(program);
        }
        profiles[n] = profile;
    }
    for (int n = 1; n <= kProfiles; ++n) {
        Profile& profile = profiles[n];
        profile.exists =
            profile.hasExe && fake.files.count(profile.value.substr(0, FindExe(profile.value) + 4)) != 0;
    }
    fake.calls.clear();
    const auto filesAtLoading = fake.files; // a log file made while loading is no document to open

    if (throughForm) {
        // Refused as a whole, as the system refuses an entry with arguments: the launcher's own rule for the
        // spaces in it decides what starts, and the check must say the same.
        fake.shellExecuteAnswer = {false, launchwick::fileNotFoundError};
        if (!configExists && !fromDefault) {
            WriteFailure(failure, fake);
        }
        fake.Load();
    } else {
        settings.LoadSettings();
    }

    // The tables agree with each other.
    const auto count = static_cast<std::size_t>(std::max<int>(settings.shellPathCount, 0));
    FUZZ_CHECK(settings.shellPathCount >= 0 && settings.shellPathCount <= kProfiles);
    FUZZ_CHECK(settings.shellPaths.size() == count && settings.shellPathDelay.size() == count);
    FUZZ_CHECK(settings.currentShellPath == 0);

    const std::vector<std::string> traces = fake.Traces();
    const std::vector<std::string> boxes = fake.Lines({"MessageBox"});
    const std::vector<std::string> lookups = fake.Lines({"Profile"});
    if (source != kConfig) {
        // The copy is gone after loading; the checks below read it again.
        FUZZ_CHECK(fake.files.count(source) == 0);
        fake.AddFile(source, copy);
    }

    if (!configExists) {
        FUZZ_CHECK(count == 0 && settings.totalDelayCount == 0 && lookups.empty());
        if (throughForm) {
            // The load handler writes the default file instead, welcomes the user and opens Notepad.
            CheckDefaultWrite(fake, fromDefault ? 0 : failure);
            FUZZ_CHECK(CountOf(traces, "Loading Settings Start") == 0);
            FUZZ_CHECK(boxes.size() == 1 && boxes[0].rfind(kErrorBox, 0) != 0);
            FUZZ_CHECK(fake.Lines({"StartCommandLine"}) ==
                       std::vector<std::string>{"StartCommandLine|notepad.exe " + kConfig + "|1"});
            FUZZ_CHECK(fake.Enabled(launchwick::Timer::tmrExit) &&
                       !fake.Enabled(launchwick::Timer::tmrStart));
        } else {
            FUZZ_CHECK(traces ==
                       (std::vector<std::string>{"Loading Settings Start", "\"" + kConfig + "\" wasn't found",
                                                 "Loading Settings End"}));
            FUZZ_CHECK(boxes.empty());
        }
        return 0;
    }

    // ErrorBoxes=Off first: then each box is a trace line instead.
    const bool boxesOff = launchwick::UpperCase(Setting(fake, "ErrorBoxes", "", "Options")) == "OFF";
    // Walk the profiles as the reader must.
    std::vector<std::string> expectedLookups = {"Profile|Options|ErrorBoxes||4096|" + source};
    std::vector<std::string> expectedBoxes;
    std::vector<std::string> expectedNoEntry;
    std::vector<std::string> accepted;
    for (int n = 1; n <= kProfiles; ++n) {
        const Profile& profile = profiles[n];
        const std::string number = std::to_string(n);
        expectedLookups.push_back("Profile|Paths|Path" + number + "|?|4096|" + source);
        // The trace shows the path as written, before its variables are expanded.
        FUZZ_CHECK(CountOf(traces, "GetSetting(" + kConfig + ", \"Paths\", \"Path" + number +
                                       "\", \"?\") = " + profile.written) >= 1);
        // Without a path, OpenN: a link as it is, a document or folder that exists by its full path.
        const bool noPath = profile.value == "?" || profile.value.empty();
        std::string item;
        bool opens = false;
        if (noPath) {
            std::string open = "?";
            if (HasKey(fake.listedProfileKeys, "Open" + number)) {
                expectedLookups.push_back("Profile|Paths|Open" + number + "|?|4096|" + source);
                open = Setting(fake, "Open" + number, "?");
            }
            if (open != "?") {
                FUZZ_CHECK(CountOf(traces, "GetSetting(" + kConfig + ", \"Paths\", \"Open" + number +
                                               "\", \"?\") = " + open) >= 1);
                item = open.find('%') == std::string::npos ? open : fake.ExpandEnvironment(open);
            }
            if (item.empty()) {
                expectedNoEntry.push_back("No valid entry for path " + number);
            } else if (launchwick::IsLink(item)) {
                opens = true;
            } else if (const std::string full = launchwick::AbsolutePath(item, fake.currentFolder);
                       filesAtLoading.count(full) != 0) {
                item = full;
                opens = true;
            } else {
                expectedBoxes.push_back(kInvalidPrefix + number + " (" + item +
                                        ") appears to be an invalid file or path.");
            }
        } else if (profile.hasExe && !profile.exists) {
            expectedBoxes.push_back(kInvalidPrefix + number + " (" + profile.value +
                                    ") appears to be an invalid file or path.");
        }
        if (opens || (!noPath && profile.exists)) {
            expectedLookups.push_back("Profile|Paths|Delay" + number + "|0|4096|" + source);
            // The optional keys only when the section has them, as the system listed its key names.
            for (const std::string key : {"Open", "Window", "StartIn", "WaitReady"}) {
                if (HasKey(fake.listedProfileKeys, key + number) && !(opens && key == "Open")) {
                    expectedLookups.push_back("Profile|Paths|" + key + number + "||4096|" + source);
                }
            }
            accepted.push_back(opens ? item : profile.value);
            FUZZ_CHECK(accepted.size() <= count);
            // The delay stored for this entry.
            const std::size_t k = accepted.size() - 1;
            const std::int32_t previous = k == 0 ? 0 : settings.shellPathDelay[k - 1];
            std::int32_t value = 0;
            const std::int32_t stored = settings.shellPathDelay[k];
            switch (ClassifyDelay(Setting(fake, "Delay" + number, "0"), value)) {
            case DelayKind::Number:
                FUZZ_CHECK(stored == std::min(value, kMaxDelay));
                break;
            case DelayKind::NotANumber:
                FUZZ_CHECK(stored == previous);
                break;
            case DelayKind::Either:
                break;
            }
            // The start options: stored as read, and traced once each, with k.
            const std::string index = std::to_string(k);
            const std::string window = Setting(fake, "Window" + number, "");
            const auto state = WindowStateOf(window);
            const launchwick::StartOptions& options = settings.shellPathOptions.at(k);
            FUZZ_CHECK(options.open == opens);
            FUZZ_CHECK(CountOf(traces, "shellPathOpen(" + index + ") = True") == (opens ? 1u : 0u));
            const std::string other = opens ? std::string() : Setting(fake, "Open" + number, "");
            if (!other.empty() && other != "?") {
                FUZZ_CHECK(CountOf(traces, "Ignoring Open" + number + "=" + other) >= 1);
            }
            FUZZ_CHECK(options.showCommand == (state ? state->second : 1));
            FUZZ_CHECK(CountOf(traces, "shellPathWindow(" + index + ") = " + (state ? state->first : "")) ==
                       (state ? 1u : 0u));
            if (!window.empty() && !state) {
                FUZZ_CHECK(CountOf(traces, "Ignoring Window" + number + "=" + window) >= 1);
            }
            std::string startIn = Setting(fake, "StartIn" + number, "");
            if (startIn.find('%') != std::string::npos) {
                startIn = fake.ExpandEnvironment(startIn);
            }
            FUZZ_CHECK(options.startIn ==
                       (startIn.empty() ? std::nullopt : std::optional<std::string>(startIn)));
            FUZZ_CHECK(CountOf(traces, "shellPathStartIn(" + index + ") = " + startIn) ==
                       (startIn.empty() ? 0u : 1u));
            // The ready wait: digits only, 0 off, at most 600; anything else is ignored and said so.
            const std::string waitText = Setting(fake, "WaitReady" + number, "");
            const Option wait =
                waitText.empty() || waitText.find_first_not_of("0123456789") != std::string::npos
                    ? Option{0, !waitText.empty()}
                    : ReadOption(waitText, 0, 600, 0, true);
            FUZZ_CHECK(options.waitReady == wait.value);
            FUZZ_CHECK(CountOf(traces, "shellPathWaitReady(" + index + ") = " + std::to_string(wait.value)) ==
                       (wait.value > 0 ? 1u : 0u));
            if (wait.ignored) {
                FUZZ_CHECK(CountOf(traces, "Ignoring WaitReady" + number + "=" + waitText) >= 1);
            }
        }
    }

    // Then the two options, whose values are read last and traced only when they are ignored.
    expectedLookups.push_back("Profile|Options|WaitForIdle||4096|" + source);
    expectedLookups.push_back("Profile|Options|IdleBelow||4096|" + source);
    expectedLookups.push_back("Profile|Options|LogFile||4096|" + source);
    const std::string waitText = Setting(fake, "WaitForIdle", "", "Options");
    const std::string belowText = Setting(fake, "IdleBelow", "", "Options");
    const Option wait = ReadOption(waitText, 0, 600, 0, true);
    const Option below = ReadOption(belowText, 1, 100, 30, false);
    FUZZ_CHECK(settings.idleWait.WaitSeconds() == wait.value && settings.idleWait.IdleBelow() == below.value);
    std::vector<std::string> ignored;
    if (wait.ignored) {
        ignored.push_back("Ignoring WaitForIdle=" + waitText);
    }
    if (below.ignored) {
        ignored.push_back("Ignoring IdleBelow=" + belowText);
    }
    // The log: never the settings file; otherwise every trace line of the run after a header, as the fake
    // never refuses to open it.
    const std::string logText = Setting(fake, "LogFile", "", "Options");
    // %NAME% expanded as the reader does (the fake's environment), relative to the settings file's folder.
    const std::string logPath = launchwick::FullPath(
        logText.find('%') == std::string::npos ? logText : fake.ExpandEnvironment(logText), kFolder);
    const bool selfLog = !logText.empty() && launchwick::UpperCase(logPath) == launchwick::UpperCase(kConfig);
    if (selfLog) {
        ignored.push_back("Ignoring LogFile=" + logText);
    }
    FUZZ_CHECK(fake.Lines({"AppendTextFile"}) ==
               (logText.empty() || selfLog ? std::vector<std::string>{}
                                           : std::vector<std::string>{"AppendTextFile|" + logPath}));
    FUZZ_CHECK(settings.logFile.On() == !fake.Lines({"AppendTextFile"}).empty());
    if (settings.logFile.On()) {
        std::string logged;
        for (const std::string& line : traces) {
            logged += launchwick::test::FakePlatform::LogLine(0, line);
        }
        const std::string& content = fake.files.at(logPath).content;
        FUZZ_CHECK(content.size() >= logged.size() &&
                   content.compare(content.size() - logged.size(), logged.size(), logged) == 0);
        FUZZ_CHECK(content.find(launchwick::test::FakePlatform::LogLine(
                       0, "ZVK Launchwick " LAUNCHWICK_VERSION ", settings " + kConfig)) !=
                   std::string::npos);
    }
    const auto loaded = std::find(traces.begin(), traces.end(), "Loading Settings End");
    FUZZ_CHECK(loaded - traces.begin() >= static_cast<std::ptrdiff_t>(ignored.size()) &&
               std::vector<std::string>(loaded - static_cast<std::ptrdiff_t>(ignored.size()), loaded) ==
                   ignored);
    FUZZ_CHECK(fake.Lines({"SystemTimes"}).empty());

    // Only Path1..Path20 are looked up, each once and in order, and Delay N only for an accepted N.
    FUZZ_CHECK(lookups == expectedLookups);
    FUZZ_CHECK(settings.shellPaths == accepted);
    std::int32_t total = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::string& entry = settings.shellPaths[k];
        FUZZ_CHECK(FindExe(entry) != std::string::npos || settings.shellPathOptions.at(k).open);
        FUZZ_CHECK(entry == TrimSpaces(entry) && entry != "?");
        const std::int32_t d = settings.shellPathDelay[k];
        FUZZ_CHECK(d <= kMaxDelay);
        // When the total plus d, or that plus 1, leaves the 32-bit range, the total stays as it was.
        const long long withDelay = static_cast<long long>(total) + d;
        if (withDelay >= std::numeric_limits<std::int32_t>::min() &&
            withDelay + 1 <= std::numeric_limits<std::int32_t>::max()) {
            total = static_cast<std::int32_t>(withDelay + 1);
        }
        FUZZ_CHECK(CountOf(traces, "shellPaths(" + std::to_string(k) + ") = " + entry) == 1);
        FUZZ_CHECK(CountOf(traces, "shellPathDelay(" + std::to_string(k) + ") = " + std::to_string(d)) == 1);
    }
    FUZZ_CHECK(settings.totalDelayCount == total);

    // One box per program part that is missing, in profile order, and a trace per empty profile.
    std::vector<std::string> invalidBoxes;
    for (const std::string& box : boxes) {
        if (box.rfind(kInvalidPrefix, 0) == 0) {
            invalidBoxes.push_back(box);
        }
    }
    if (boxesOff) {
        FUZZ_CHECK(invalidBoxes.empty());
        const std::string prefix = "Error - ZVK Launchwick: The path specified in profile ";
        for (const std::string& trace : traces) {
            if (trace.rfind(prefix, 0) == 0) {
                invalidBoxes.push_back(kInvalidPrefix + trace.substr(prefix.size()));
            }
        }
        // A value with a line break in it is said on one line.
        for (std::string& box : expectedBoxes) {
            box = launchwick::texts::OneLine(box);
        }
    }
    FUZZ_CHECK(invalidBoxes == expectedBoxes);
    std::vector<std::string> noEntry;
    for (const std::string& trace : traces) {
        if (trace.rfind("No valid entry for path ", 0) == 0) {
            noEntry.push_back(trace);
        }
    }
    FUZZ_CHECK(noEntry == expectedNoEntry);
    FUZZ_CHECK(CountOf(traces, "Loading Settings Start") == 1 &&
               CountOf(traces, "Loading Settings End") == 1);
    const auto start = std::find(traces.begin(), traces.end(), "Loading Settings Start");
    const auto end = std::find(traces.begin(), traces.end(), "Loading Settings End");
    FUZZ_CHECK(start < end);
    FUZZ_CHECK(throughForm || (start == traces.begin() && end == traces.end() - 1));

    if (throughForm) {
        // Exactly one timer runs: the sequence when an entry was accepted, else the exit.
        const bool any = count != 0;
        FUZZ_CHECK(fake.Enabled(launchwick::Timer::tmrStart) == any);
        FUZZ_CHECK(fake.Enabled(launchwick::Timer::tmrExit) == !any);
        FUZZ_CHECK(!fake.Enabled(launchwick::Timer::tmrMain));
        FUZZ_CHECK(boxes.size() == (boxesOff ? 0 : expectedBoxes.size() + (any ? 0 : 1)));
        FUZZ_CHECK(fake.Lines({"StartCommandLine"}).size() == (any || boxesOff ? 0u : 1u));
        FUZZ_CHECK(fake.Lines({"CreateTextFile"}).empty());
        if (any) {
            // As the files were at loading: the run adds a log file, and the start-in folder the ticks need.
            const std::vector<Launch> launches = CheckStarts(fake, settings, filesAtLoading);
            CheckReportAgrees(filesAtLoading, settings, launches);
        }
    } else {
        FUZZ_CHECK(boxes.size() == (boxesOff ? 0 : expectedBoxes.size()));
    }
    return 0;
}
