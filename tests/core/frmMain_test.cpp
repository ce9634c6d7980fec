// The splash window's behaviour against a virtual clock: the progress bar, the start-up flow, the
// sequence of ticks that starts the programs, and cancellation.
#include "frmMain.h"

#include "Encoding.h"
#include "FakePlatform.h"
#include "Texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace launchwick {
namespace {

using test::FakePlatform;
using Lines = std::vector<std::string>;
using Keys = std::vector<std::pair<std::string, std::string>>;

const std::string kConfig = "C:\\ZVK32\\ZVKLaunchwick.ini";
constexpr ShellAnswer kStarted{true, 0};
constexpr ShellAnswer kRefused{false, fileNotFoundError};
const std::string kProgram = "C:\\ZVK32\\Parvane.exe";
const std::string kComplete = "Starting Sequence Complete.  Exiting...";
const std::string kCanceled = "Starting Sequence Canceled.  Exiting...";
const std::string kConfigRequired = "User Configuration Required.  Exiting...";

// What a cancel does while the run is not yet exiting, in order.
const Lines kCancelCalls = {"Timer|tmrMain|off",   "Timer|tmrStart|off", "Trace|Process canceled by user",
                            "Status|" + kCanceled, "AnnounceStatus",     "ProgressVisible|false",
                            "Timer|tmrExit|on",    "SetFocus|txtFocus",  "SetFocus|Command1"};
const Lines kExitCalls = {"Timer|tmrExit|off", "Timer|tmrMain|off", "Timer|tmrStart|off", "EndProcess"};
// What a cancel does once the run is exiting.
const Lines kLateCancelCalls = {"Timer|tmrMain|off", "Timer|tmrStart|off", "SetFocus|txtFocus",
                                "SetFocus|Command1"};

struct Rig {
    Rig() {
        fake.Bind(form);
        fake.AddFile(kProgram);
    }
    void Load(const Keys& keys) {
        std::string text = "[Paths]\r\n";
        for (const auto& [key, value] : keys) {
            text += key + "=" + value + "\r\n";
        }
        fake.AddFile(kConfig, text);
        fake.Load();
    }
    // Profiles n = 1, 2, ... starting kProgram + " /session:n" after the given delays.
    void LoadDelays(const std::vector<int>& delays) {
        Keys keys;
        for (std::size_t i = 0; i < delays.size(); ++i) {
            const std::string n = std::to_string(i + 1);
            keys.emplace_back("Path" + n, kProgram + " /session:" + n);
            keys.emplace_back("Delay" + n, std::to_string(delays[i]));
        }
        Load(keys);
    }
    // Fills the tables directly and arms tmrStart as the start-up flow does, for entries that the
    // settings reader could never accept.
    void Arm(const Lines& entries, const std::vector<std::int32_t>& delays) {
        settings.shellPaths = entries;
        settings.shellPathDelay = delays;
        settings.shellPathCount = static_cast<std::int16_t>(entries.size());
        for (auto delay : delays) {
            settings.totalDelayCount += delay + 1;
        }
        fake.windowShown = true;
        fake.SetTimerEnabled(Timer::tmrStart, true);
    }
    // The calls made while the clock moves on by ms, or while action runs.
    Lines Step(long long ms = 1000) {
        return During([&] { fake.Advance(ms); });
    }
    Lines During(const std::function<void()>& action) {
        const std::size_t from = fake.calls.size();
        action();
        return Lines(fake.calls.begin() + static_cast<std::ptrdiff_t>(from), fake.calls.end());
    }
    // The calls of the start-up flow, with the settings reader's own trace lines left out.
    Lines Flow() const {
        Lines flow;
        bool loading = false;
        for (const auto& line : fake.calls) {
            if (line == "Trace|Loading Settings End") {
                loading = false;
            }
            if (!loading && line.rfind("FileDateTime|", 0) != 0 && line.rfind("Profile|", 0) != 0) {
                flow.push_back(line);
            }
            if (line == "Trace|Loading Settings Start") {
                loading = true;
            }
        }
        return flow;
    }

    FakePlatform fake;
    modMain settings{fake};
    Shell_Library shell{fake};
    frmMain form{fake, settings, shell};
};

Lines Only(const Lines& lines, std::initializer_list<std::string_view> kinds) {
    Lines kept;
    for (const auto& line : lines) {
        const std::string_view kind = std::string_view(line).substr(0, line.find('|'));
        if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end()) {
            kept.push_back(line);
        }
    }
    return kept;
}

bool Contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Countdown(int n, int of, const std::string& name, int seconds) {
    return "(" + std::to_string(n) + " of " + std::to_string(of) + ") Starting \"" + name + "\" in " +
           std::to_string(seconds) + " seconds";
}

std::string Launch(int n, int of, const std::string& name) {
    return "(" + std::to_string(n) + " of " + std::to_string(of) + ") Starting \"" + name + "\"";
}

// The trace lines that open a tick of the only profile, with its delay and the seconds counted so far,
// followed by the rest of the tick.
Lines TickOfOne(int delay, int counted, std::initializer_list<std::string> rest) {
    const std::string count = std::to_string(counted);
    Lines tick = {"Trace|tmrMain_Timer Start currentShellPath=1 shellPathCount=1 timerCount=" + count,
                  "Trace|currentShellPath <= shellPathCount",
                  "Trace|shellPathDelay(0) = " + std::to_string(delay), "Trace|timerCount = " + count};
    tick.insert(tick.end(), rest);
    return tick;
}

// ---- setProgressBar ----

struct BarCase {
    std::int32_t current, max;
    std::int32_t width; // -1: hidden, width untouched
};

constexpr BarCase kBars[] = {
    {0, 0, -1},
    {0, 7, -1},
    {1, 0, 7590},
    {3, 0, 7590},
    {6, 5, 7590},
    {-1, 5, 7590},
    {3, -1, 7590},
    {-1, -1, 7590},
    {5, 5, 7590},
    {1, 2, 3795},
    {1, 4, 1898},
    {3, 4, 5692},
    {1, 3, 2530},
    {2, 3, 5060},
    {1, 20000, 0},
    {2147483647, 2147483647, 7590},
    {-2147483647 - 1, 0, 7590},
};

TEST(setProgressBar, HidesOrSetsTheWidthBeforeShowing) {
    for (const auto& [current, max, width] : kBars) {
        SCOPED_TRACE(std::to_string(current) + ", " + std::to_string(max));
        Rig rig;
        rig.form.setProgressBar(current, max);
        const Lines expected = width < 0
                                   ? Lines{"ProgressVisible|false"}
                                   : Lines{"ProgressWidth|" + std::to_string(width), "ProgressVisible|true"};
        EXPECT_EQ(rig.fake.calls, expected);
    }
}

struct PixelCase {
    double twipsPerPixel;
    std::int32_t border, full, half;
};

constexpr PixelCase kPixels[] = {
    {15.0, 7620, 7590, 3795}, {10.0, 7620, 7600, 3800}, {7.5, 7620, 7604, 3802},
    {12.5, 7620, 7596, 3798}, {14.5, 7620, 7592, 3796}, {15.0, 9000, 8970, 4485},
};

TEST(setProgressBar, UsesTheRoundedPixelSizeAndThePresentFrameWidth) {
    for (const auto& [twipsPerPixel, border, full, half] : kPixels) {
        SCOPED_TRACE(twipsPerPixel);
        Rig rig;
        rig.fake.twipsPerPixel = twipsPerPixel;
        rig.fake.borderWidth = border;
        rig.form.setProgressBar(9, 4);
        rig.form.setProgressBar(1, 2);
        EXPECT_EQ(rig.fake.Lines({"ProgressWidth"}),
                  (Lines{"ProgressWidth|" + std::to_string(full), "ProgressWidth|" + std::to_string(half)}));
    }
}

// ---- Form_Load ----

const std::string kErrorText =
    "There appears to be an error running ZVK Launchwick.\r\n\r\nThe configuration file \"" + kConfig +
    "\" doesn't appear to contain any valid executable paths.\r\nYou will need to verify "
    "your settings in this file to ensure there are valid executable paths entered.";
const std::string kWelcomeText =
    "This appears to be your first time running ZVK Launchwick.\r\n\r\nThe configuration "
    "file \"" +
    kConfig +
    "\" has been created for you with default values.\r\nYou will need to edit this "
    "file to complete your configuration.";

// The start-up flow up to the end of reading a settings file that is there.
Lines Loaded(std::initializer_list<std::string> rest) {
    Lines flow = {"ClaimSettingsFile|" + kConfig, "ProgressVisible|false",
                  "Trace|Found \"" + kConfig + "\".  Loading settings...", "Trace|Loading Settings Start",
                  "Trace|Loading Settings End"};
    flow.insert(flow.end(), rest);
    return flow;
}

TEST(Form_Load, ArmsTheStartTimerWhenAProfileIsAccepted) {
    // A claim that fails is no sign of another run: the run goes on as if claimed.
    for (const bool claimFails : {false, true}) {
        SCOPED_TRACE(claimFails ? "the claim fails" : "claimed");
        Rig rig;
        rig.fake.claimFails = claimFails;
        rig.LoadDelays({2});
        EXPECT_EQ(rig.settings.configFilePath, kConfig);
        EXPECT_EQ(rig.Flow(), Loaded({"Timer|tmrStart|on", "SetFocus|Command1", "SetFocus|txtFocus"}));
        EXPECT_EQ(rig.settings.totalDelayCount, 3);
    }
}

TEST(Form_Load, FirstRunWritesTheDefaultsWelcomesAndOpensNotepad) {
    Rig rig;
    rig.fake.Load();
    const Lines tail = {"StartCommandLine|notepad.exe " + kConfig + "|1",
                        "Status|" + kConfigRequired,
                        "AnnounceStatus",
                        "Timer|tmrMain|off",
                        "Timer|tmrExit|on",
                        "SetFocus|Command1",
                        "SetFocus|txtFocus"};
    Lines expected = {"ClaimSettingsFile|" + kConfig,
                      "ProgressVisible|false",
                      "Trace|Didn't find \"" + kConfig + "\".  Loading default settings...",
                      "CreateTextFile|" + kConfig,
                      "Close|" + kConfig,
                      "DoEvents",
                      "MessageBox|Welcome to ZVK Launchwick|" + kWelcomeText,
                      "DoEvents"};
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(rig.Flow(), expected);

    // The next start finds the file, whose profiles are all switched off.
    Rig next;
    next.fake.files = rig.fake.files;
    next.fake.Load();
    expected = Loaded({"MessageBox|Error - ZVK Launchwick|" + kErrorText, "DoEvents"});
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(next.Flow(), expected);

    // Unattended: the box is a trace line, and nobody is left to close Notepad either.
    Rig unattended;
    unattended.fake.files = rig.fake.files;
    unattended.fake.files[kConfig].content += "[Options]\r\nErrorBoxes=Off\r\n";
    unattended.fake.Load();
    expected = Loaded({"Trace|Error - ZVK Launchwick: " + texts::OneLine(kErrorText), "DoEvents",
                       "Trace|Not opening the settings in Notepad: ErrorBoxes=Off"});
    expected.insert(expected.end(), tail.begin() + 1, tail.end());
    EXPECT_EQ(unattended.Flow(), expected);
}

TEST(Form_Load, WelcomesEvenWhenTheFileCannotBeWrittenNorNotepadStarted) {
    Rig rig;
    rig.fake.failCreate = true;
    rig.fake.failingCommandLines = {"notepad.exe " + kConfig};
    rig.fake.Load();
    const Lines flow = rig.Flow();
    EXPECT_TRUE(Contains(flow, "Trace|Could not write to " + kConfig));
    EXPECT_TRUE(Contains(flow, "MessageBox|Welcome to ZVK Launchwick|" + kWelcomeText));
    EXPECT_EQ(Lines(flow.end() - 6, flow.end()),
              (Lines{"Status|" + kConfigRequired, "AnnounceStatus", "Timer|tmrMain|off", "Timer|tmrExit|on",
                     "SetFocus|Command1", "SetFocus|txtFocus"}));
}

const std::string kLog = "C:\\ZVK32\\launchwick.log";
const Keys kLogged = {
    {"Path1", kProgram + " /session:1"}, {"Delay1", "1"}, {"[Options]\r\nLogFile", "launchwick.log"}};

TEST(Form_Load, HandsOverToTheRunningInstanceForTheSameFileAndEnds) {
    const std::pair<const char*, std::optional<Keys>> cases[] = {
        {"first run", std::nullopt},
        {"settings present", Keys{{"Path1", kProgram + " /session:1"}, {"Delay1", "2"}}},
        {"a log file", kLogged},
    };
    for (const auto& [name, keys] : cases) {
        SCOPED_TRACE(name);
        Rig rig;
        rig.fake.otherInstance = true;
        if (keys) {
            rig.Load(*keys);
        } else {
            rig.fake.Load();
        }
        // Nothing of its own: no file written, no log begun, no box, no Notepad, no timer.
        EXPECT_EQ(rig.fake.calls,
                  (Lines{"ClaimSettingsFile|" + kConfig, "Trace|Already running for " + kConfig,
                         "ShowRunningInstance", "EndProcess"}));
        EXPECT_EQ(rig.fake.files.count(kConfig), keys ? 1U : 0U);
        EXPECT_EQ(rig.fake.files.count(kLog), 0U);
    }
}

struct FolderCase {
    const char* folder;
    const char* configFile;
};

constexpr FolderCase kFolders[] = {
    {"C:\\ZVK32", "C:\\ZVK32\\ZVKLaunchwick.ini"},
    {"C:\\", "C:\\ZVKLaunchwick.ini"},
    {"C:\\Program Files\\ZVK Launchwick", "C:\\Program Files\\ZVK Launchwick\\ZVKLaunchwick.ini"},
    {"C:\\Tools  ", "C:\\Tools  \\ZVKLaunchwick.ini"},
    {"C:\\Tools\\  ", "C:\\Tools\\  ZVKLaunchwick.ini"},
};

TEST(Form_Load, PutsTheSettingsBesideTheExecutableAndHandsNotepadThePathUnquoted) {
    for (const auto& [folder, configFile] : kFolders) {
        SCOPED_TRACE(folder);
        Rig rig;
        rig.fake.executableFolder = folder;
        rig.fake.Load();
        EXPECT_EQ(rig.settings.configFilePath, configFile);
        EXPECT_EQ(rig.fake.Lines({"StartCommandLine"}),
                  Lines{"StartCommandLine|notepad.exe " + std::string(configFile) + "|1"});
    }
}

// A second start leaves the log file alone: see the hand-over above.
TEST(Form_Load, TheLogFileBeginsWithTheFirstTraceLine) {
    Rig rig;
    rig.fake.OnCall("Trace|Found", [&] { rig.fake.now += 250; });
    const Lines loading = Only(rig.During([&] { rig.Load(kLogged); }), {"Trace"});
    ASSERT_EQ(loading.at(0), "Trace|Found \"" + kConfig + "\".  Loading settings...");
    std::string expected =
        FakePlatform::LogLine(250, "ZVK Launchwick " LAUNCHWICK_VERSION ", settings " + kConfig);
    for (const auto& line : loading) {
        expected += FakePlatform::LogLine(250, line.substr(6));
    }
    // Then each line of the run as it comes, with the time of its tick, until the process ends.
    for (long long tick = 1; !rig.fake.ended; ++tick) {
        for (const auto& line : Only(rig.Step(1000), {"Trace"})) {
            expected += FakePlatform::LogLine(250 + 1000 * tick, line.substr(6));
        }
    }
    EXPECT_EQ(rig.fake.files.at(kLog).content, expected);
    EXPECT_NE(expected.find("timerCount reached specified delay.  Executing app..."), std::string::npos);
}

// ---- The sequence ----

TEST(Sequence, RunsTheWorkedExampleTickByTick) {
    Rig rig;
    rig.fake.shellExecuteAnswer = kRefused; // refused: the fallback starts the entry as a command line
    rig.LoadDelays({2});
    const std::string name = "Parvane.exe /session:1";

    EXPECT_TRUE(rig.Step(999).empty());
    EXPECT_EQ(rig.Step(1), (Lines{"Timer|tmrStart|off", "ProgressVisible|false", "Timer|tmrMain|on"}));
    EXPECT_EQ(rig.settings.currentShellPath, 1);
    EXPECT_EQ(rig.form.timerCount, 0);
    EXPECT_EQ(rig.form.nextEXE, name);
    EXPECT_EQ(rig.fake.LastStatus(), "Loading Launchwick");

    const auto countdown = [&](int before, int seconds, int width) {
        Lines tick = TickOfOne(2, before,
                               {"Trace|timerCount hasn't reached specified delay...",
                                "Trace|timercount = " + std::to_string(before + 1) + "  currentShellPath = 1",
                                "Status|" + Countdown(1, 1, name, seconds)});
        if (before == 0) {
            tick.push_back("AnnounceStatus"); // only the first text of a countdown is spoken
        }
        tick.insert(tick.end(), {"ProgressWidth|" + std::to_string(width), "ProgressVisible|true",
                                 "SetFocus|Form", "Trace|tmrMain_Timer End"});
        return tick;
    };
    EXPECT_EQ(rig.Step(), countdown(0, 1, 2530));
    EXPECT_EQ(rig.form.timerCount, 1);
    EXPECT_EQ(rig.Step(), countdown(1, 0, 5060));
    EXPECT_EQ(rig.form.timerCount, 2);
    EXPECT_EQ(rig.Step(),
              TickOfOne(2, 2,
                        {"Trace|timerCount reached specified delay.  Executing app...",
                         "Status|" + Launch(1, 1, name), "AnnounceStatus",
                         "ShellExecute|None|(null)|C:\\ZVK32\\Parvane.exe /session:1||C:\\ZVK32|1",
                         "IsFile|C:\\ZVK32\\Parvane.exe",
                         "StartProgram|C:\\ZVK32\\Parvane.exe|/session:1|(null)|1", "ProgressWidth|7590",
                         "ProgressVisible|true", "SetFocus|Form", "Trace|tmrMain_Timer End"}));
    EXPECT_EQ(rig.form.timerCount, 0);
    EXPECT_EQ(rig.settings.currentShellPath, 2);
    EXPECT_EQ(rig.form.nextEXE, name);
    EXPECT_EQ(rig.Step(),
              (Lines{"Trace|tmrMain_Timer Start currentShellPath=2 shellPathCount=1 timerCount=0",
                     "Trace|currentShellPath > shellPathCount", "Status|" + kComplete, "AnnounceStatus",
                     "Timer|tmrMain|off", "Timer|tmrExit|on", "ProgressWidth|7590", "ProgressVisible|true",
                     "SetFocus|Form", "Trace|tmrMain_Timer End"}));
    EXPECT_TRUE(rig.Step(4999).empty());
    EXPECT_EQ(rig.Step(1), kExitCalls);
    EXPECT_EQ(rig.fake.now, 10000);
    EXPECT_TRUE(rig.Step(60000).empty());
}

// The status text after each tick, and the ticks on which a program was started.
struct TickLog {
    Lines statuses;
    std::vector<int> launches;
};

TickLog Ticks(Rig& rig, int count) {
    rig.Step(); // the start tick
    TickLog run;
    for (int tick = 1; tick <= count; ++tick) {
        const Lines calls = rig.Step();
        run.statuses.push_back(rig.fake.LastStatus());
        if (!Only(calls, {"ShellExecute"}).empty()) {
            run.launches.push_back(tick);
        }
    }
    return run;
}

// The status texts of a run that are announced to screen readers, in order.
Lines Announced(const Lines& calls) {
    Lines announced;
    for (std::size_t i = 1; i < calls.size(); ++i) {
        if (calls[i] == "AnnounceStatus") {
            announced.push_back(calls[i - 1].substr(7));
        }
    }
    return announced;
}

struct AnnounceCase {
    const char* name;
    std::vector<int> delays;
    const char* waitForIdle;
    Lines announced;
};

TEST(StatusLine, AnnouncesTheChangesWorthHearingAndNotEveryTick) {
    const std::string one = "Parvane.exe /1";
    const std::string two = "Parvane.exe /2";
    const std::string three = "Parvane.exe /3";
    const std::string wait = "(1 of 1) Waiting for the computer to settle before starting \"" + one + "\" ";
    const AnnounceCase cases[] = {
        {"countdowns and starts",
         {2, 0, 3},
         "0",
         {Countdown(1, 3, one, 1), Launch(1, 3, one), Launch(2, 3, two), Countdown(3, 3, three, 2),
          Launch(3, 3, three), kComplete}},
        {"a wait", {0}, "3", {wait + "(processor 100 %, 2 s at most)", Launch(1, 1, one), kComplete}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.fake.processorSteps = {FakePlatform::Busy(100)};
        Keys keys;
        for (std::size_t i = 0; i < c.delays.size(); ++i) {
            keys.emplace_back("Path" + std::to_string(i + 1), kProgram + " /" + std::to_string(i + 1));
            keys.emplace_back("Delay" + std::to_string(i + 1), std::to_string(c.delays[i]));
        }
        keys.emplace_back("[Options]\r\nWaitForIdle", c.waitForIdle);
        rig.Load(keys);
        EXPECT_EQ(Announced(rig.Step(60000)), c.announced);
    }
}

TEST(Sequence, TwoProfilesFollowEachOther) {
    Rig rig;
    rig.LoadDelays({2, 2});
    const std::string one = "Parvane.exe /session:1";
    const std::string two = "Parvane.exe /session:2";
    const TickLog run = Ticks(rig, 7);
    EXPECT_EQ(run.statuses,
              (Lines{Countdown(1, 2, one, 1), Countdown(1, 2, one, 0), Launch(1, 2, one),
                     Countdown(2, 2, two, 1), Countdown(2, 2, two, 0), Launch(2, 2, two), kComplete}));
    EXPECT_EQ(run.launches, (std::vector<int>{3, 6}));
    rig.Step(60000);
    EXPECT_EQ(rig.fake.now, 1000 + 12000);
}

TEST(Sequence, ZeroAndNegativeDelaysLaunchAtOnceAndTheBarFillsEarly) {
    Rig rig;
    rig.LoadDelays({0, -2, 1});
    EXPECT_EQ(rig.settings.totalDelayCount, 2);
    rig.Step();
    Lines widths;
    TickLog run;
    for (int tick = 1; tick <= 5; ++tick) {
        const Lines calls = rig.Step();
        run.statuses.push_back(rig.fake.LastStatus());
        widths.push_back(Only(calls, {"ProgressWidth"}).at(0));
    }
    EXPECT_EQ(run.statuses,
              (Lines{Launch(1, 3, "Parvane.exe /session:1"), Launch(2, 3, "Parvane.exe /session:2"),
                     Countdown(3, 3, "Parvane.exe /session:3", 0), Launch(3, 3, "Parvane.exe /session:3"),
                     kComplete}));
    EXPECT_EQ(widths, (Lines{"ProgressWidth|3795", "ProgressWidth|7590", "ProgressWidth|7590",
                             "ProgressWidth|7590", "ProgressWidth|7590"}));
}

TEST(Sequence, SixHundredSecondsCountDownFrom599) {
    Rig rig;
    rig.LoadDelays({600});
    const std::string name = "Parvane.exe /session:1";
    const TickLog run = Ticks(rig, 602);
    for (int tick = 1; tick <= 600; ++tick) {
        ASSERT_EQ(run.statuses[tick - 1], Countdown(1, 1, name, 600 - tick));
    }
    EXPECT_EQ(run.statuses[600], Launch(1, 1, name));
    EXPECT_EQ(run.statuses[601], kComplete);
    EXPECT_EQ(run.launches, std::vector<int>{601});
}

TEST(Sequence, TwentyProfilesCompleteWhenCurrentShellPathIs21) {
    Rig rig;
    rig.LoadDelays(std::vector<int>(20, 0));
    rig.Step();
    for (int tick = 1; tick <= 20; ++tick) {
        const Lines calls = rig.Step();
        ASSERT_EQ(Only(calls, {"ShellExecute"}).size(), 1U) << tick;
        ASSERT_EQ(rig.settings.currentShellPath, tick + 1);
    }
    EXPECT_EQ(rig.form.nextEXE, "Parvane.exe /session:20");
    const Lines last = rig.Step();
    EXPECT_EQ(Only(last, {"Trace"}),
              (Lines{"Trace|tmrMain_Timer Start currentShellPath=21 shellPathCount=20 timerCount=0",
                     "Trace|currentShellPath > shellPathCount", "Trace|tmrMain_Timer End"}));
    EXPECT_EQ(rig.fake.LastStatus(), kComplete);
    EXPECT_EQ(rig.form.totalTimerCount, 21);
}

struct EntryCase {
    const char* entry;
    const char* name;             // nextEXE
    const char* shellExecute;     // program|parameters|folder as ShellExecute receives them
    const char* opened = nullptr; // file|folder as OpenItem receives them, for an entry of OpenN
};

constexpr EntryCase kEntries[] = {
    {"notepad.exe", "notepad.exe", "C:\\Users\\me\\notepad.exe||C:\\Users\\me"},
    {"https://status.example.com/board", "https://status.example.com/board", nullptr,
     "https://status.example.com/board|(null)"},
    {"C:\\Docs\\Plan.xlsx", "Plan.xlsx", nullptr, "C:\\Docs\\Plan.xlsx|C:\\Docs"},
    {"C:\\a.exe /x:C:\\dir\\f", "f", "C:\\a.exe /x:C:\\dir\\f||C:\\a.exe /x:C:\\dir"},
    {"\"C:\\P F\\a.exe\" -x", "a.exe\" -x", "C:\\P F\\a.exe|-x|C:\\P F"},
    {"C:\\a.exe /d:C:\\", "", "C:\\a.exe /d:C:\\||C:\\a.exe /d:C:\\"},
};

TEST(Sequence, ShowsTheDisplayNameAndWrapsTheEntryUnlessItIsQuoted) {
    for (const auto& [entry, name, shellExecute, opened] : kEntries) {
        SCOPED_TRACE(entry);
        Rig rig;
        rig.Arm({entry}, {0});
        if (opened) {
            rig.settings.shellPathOptions.resize(1);
            rig.settings.shellPathOptions[0].open = true;
        }
        rig.Step();
        EXPECT_EQ(rig.form.nextEXE, name);
        const Lines calls = rig.Step();
        EXPECT_EQ(rig.fake.LastStatus(), Launch(1, 1, name));
        EXPECT_EQ(Only(calls, {"ShellExecute", "OpenItem"}),
                  Lines{opened ? "OpenItem|" + std::string(opened) + "|1"
                               : "ShellExecute|None|(null)|" + std::string(shellExecute) + "|1"});
    }
}

const std::string kGone = "C:\\ZVK32\\Gone.exe";

TEST(Sequence, AProgramThatFailsToStartOrARefusedFocusNeitherStopsNorDelaysTheRest) {
    const auto run = [](bool fail) {
        Rig rig;
        rig.fake.shellExecuteAnswer = kRefused;
        if (fail) {
            rig.fake.refusedFocus = {FocusTarget::Form};
        } else {
            rig.fake.AddFile(kGone);
        }
        rig.Arm({kProgram + " /session:1", kGone + " /session:2", kProgram + " /session:3"}, {1, 1, 1});
        rig.Step(60000);
        return rig.fake.Lines({"Trace", "Status", "Timer", "ProgressWidth", "ProgressVisible", "SetFocus",
                               "StartProgram", "EndProcess"});
    };
    Lines expected = run(false);
    const std::string launched = "StartProgram|" + kGone + "|/session:2|(null)|1";
    const auto at = std::find(expected.begin(), expected.end(), launched);
    ASSERT_NE(at, expected.end());
    // The one difference: the failed start is said where its start would have been.
    *at = "Trace|Could not start " + kGone + " /session:2: The system cannot find the file specified.";
    const Lines failing = run(true);
    EXPECT_EQ(failing, expected);
    EXPECT_EQ(Only(failing, {"StartProgram"}).size(), 2U);
}

struct FailedStartCase {
    const char* entry;
    std::uint32_t code;
    const char* systemText; // nullptr: the system has no text for the code
    const char* line;       // the trace line after "Executing app..."
};

const FailedStartCase kFailedStarts[] = {
    {"C:\\Apps\\admin.exe -q", 740, "The requested operation requires elevation.\r\n",
     "Could not start C:\\Apps\\admin.exe -q: The requested operation requires elevation."},
    // The entry as written, with its own quotes and without the ones the sequence adds.
    {"\"C:\\Apps\\admin.exe\" -q", 5, "Access is denied.\r\n",
     "Could not start \"C:\\Apps\\admin.exe\" -q: Access is denied."},
    {"C:\\Apps\\admin.exe", 193, "%1 is not a valid Win32 application.\r\n",
     "Could not start C:\\Apps\\admin.exe: %1 is not a valid Win32 application."},
    // One line: inner breaks become one space each, trailing breaks and spaces go.
    {"C:\\Apps\\admin.exe", 1, "First line.\r\nSecond\nthird\r.  \r\n\r\n  ",
     "Could not start C:\\Apps\\admin.exe: First line. Second third ."},
    {"C:\\Apps\\admin.exe", 1, "Two\r\n\r\nbreaks\r\n", "Could not start C:\\Apps\\admin.exe: Two  breaks"},
    {"C:\\Apps\\admin.exe", 14001, nullptr, "Could not start C:\\Apps\\admin.exe: error 14001"},
    {"C:\\Apps\\admin.exe", 4294967295U, " \r\n", "Could not start C:\\Apps\\admin.exe: error 4294967295"},
};

TEST(Sequence, AFailedStartIsTracedInItsLaunchTick) {
    for (const auto& c : kFailedStarts) {
        SCOPED_TRACE(c.line);
        Rig rig;
        rig.fake.shellExecuteAnswer = kRefused;
        rig.fake.AddFile("C:\\Apps\\admin.exe");
        rig.fake.startErrors = {{"C:\\Apps\\admin.exe", c.code}};
        rig.fake.systemMessages.clear();
        if (c.systemText != nullptr) {
            rig.fake.systemMessages[c.code] = c.systemText;
        }
        rig.Arm({c.entry}, {0});
        rig.Step();
        const Lines traces = Only(rig.Step(), {"Trace"});
        EXPECT_EQ(traces, TickOfOne(0, 0,
                                    {"Trace|timerCount reached specified delay.  Executing app...",
                                     "Trace|" + std::string(c.line), "Trace|tmrMain_Timer End"}));
    }
}

struct StartOptionRun {
    const char* name;
    Keys profile; // profile 1's keys; profile 2 (kProgram /2, no options) follows with delay 0
    ShellAnswer shellExecute;
    Lines starts; // profile 1's start calls (and its failure), on tick 1
};

const StartOptionRun kStartOptionRuns[] = {
    {"no options",
     {{"Path1", kProgram}},
     kStarted,
     {"ShellExecute|None|(null)|" + kProgram + "||C:\\ZVK32|1"}},
    {"minimized",
     {{"Path1", kProgram}, {"Window1", "minimized"}},
     kStarted,
     {"ShellExecute|None|(null)|" + kProgram + "||C:\\ZVK32|7"}},
    {"no focus, through the fallback",
     {{"Path1", kProgram + " /a"}, {"Window1", "NoFocus"}},
     kRefused,
     {"ShellExecute|None|(null)|" + kProgram + " /a||C:\\ZVK32|4",
      "StartProgram|" + kProgram + "|/a|(null)|4"}},
    {"hidden, started in a folder",
     {{"Path1", kProgram + " /a"}, {"Window1", "Hidden"}, {"StartIn1", "C:\\Work"}},
     kRefused,
     {"ShellExecute|None|(null)|" + kProgram + " /a||C:\\Work|0",
      "StartProgram|" + kProgram + "|/a|C:\\Work|0"}},
    {"a folder through a variable",
     {{"Path1", "%ZVK%\\Parvane.exe"}, {"StartIn1", "%WORK%"}},
     kStarted,
     {"ShellExecute|None|(null)|" + kProgram + "||C:\\Work|1"}},
    {"a share's folder with forward slashes",
     {{"Path1", kProgram}, {"StartIn1", "//server/share/dir"}},
     kStarted,
     {"ShellExecute|None|(null)|" + kProgram + "||//server/share/dir|1"}},
    {"a bad window state",
     {{"Path1", kProgram}, {"Window1", "Iconic"}},
     kStarted,
     {"ShellExecute|None|(null)|" + kProgram + "||C:\\ZVK32|1"}},
    {"maximized browser",
     {{"Path1", "http://example.com/a.exe"}, {"Window1", "Maximized"}, {"StartIn1", "C:\\Gone"}},
     kStarted,
     {"ShellExecute|Splash|open|C:\\Browser\\browser.exe|http://example.com/a.exe|(null)|3"}},
    {"a folder missing at the start",
     {{"Path1", "%ZVK%\\Parvane.exe -x"}, {"StartIn1", "C:\\Gone"}},
     kRefused,
     {"Trace|Could not start " + kProgram + " -x: Directory name invalid."}},
    // Documents, folders and links: opened with the default verb, never through the launcher's program rules.
    {"a document in its folder",
     {{"Open1", "C:\\Docs\\Plan.xlsx"}, {"Window1", "Maximized"}},
     kRefused,
     {"OpenItem|C:\\Docs\\Plan.xlsx|C:\\Docs|3"}},
    {"a relative document",
     {{"Path1", "?"}, {"Open1", "docs\\a.txt"}},
     kRefused,
     {"OpenItem|C:\\Users\\me\\docs\\a.txt|C:\\Users\\me\\docs|1"}},
    {"a folder", {{"Open1", "%WORK%"}}, kRefused, {"OpenItem|C:\\Work|C:\\|1"}},
    {"a document started in a folder",
     {{"Open1", "C:\\Docs\\Plan.xlsx"}, {"StartIn1", "C:\\Work"}},
     kRefused,
     {"OpenItem|C:\\Docs\\Plan.xlsx|C:\\Work|1"}},
    {"a link has no folder",
     {{"Open1", "steam://rungameid/440"}, {"Window1", "Minimized"}},
     kRefused,
     {"OpenItem|steam://rungameid/440|(null)|7"}},
    {"a web address in a folder",
     {{"Open1", "https://status.example.com/board"}, {"StartIn1", "C:\\Work"}},
     kRefused,
     {"OpenItem|https://status.example.com/board|C:\\Work|1"}},
    {"no program for the type",
     {{"Open1", "C:\\Docs\\x.lwnone"}},
     kStarted,
     {"OpenItem|C:\\Docs\\x.lwnone|C:\\Docs|1", "Trace|Could not start C:\\Docs\\x.lwnone: No application is "
                                                "associated with the specified file for this "
                                                "operation."}},
    {"a link's folder missing",
     {{"Open1", "mailto:a@b"}, {"StartIn1", "C:\\Gone"}},
     kStarted,
     {"Trace|Could not start mailto:a@b: Directory name invalid."}},
};

TEST(Sequence, StartsEachProgramAsItsOptionsSay) {
    for (const auto& c : kStartOptionRuns) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.fake.shellExecuteAnswer = c.shellExecute;
        rig.fake.environment = {{"ZVK", "C:\\ZVK32"}, {"WORK", "C:\\Work"}};
        rig.fake.AddFolder("C:\\Work");
        rig.fake.AddFolder("//server/share/dir");
        rig.fake.AddFile("http://example.com/a.exe");
        for (const char* document :
             {"C:\\Docs\\Plan.xlsx", "C:\\Users\\me\\docs\\a.txt", "C:\\Docs\\x.lwnone"}) {
            rig.fake.AddFile(document);
        }
        rig.fake.startErrors = {{"C:\\Docs\\x.lwnone", 1155}};
        rig.fake.systemMessages[1155] =
            "No application is associated with the specified file for this operation.\r\n";
        rig.fake.systemMessages[directoryError] = "Directory name invalid.\r\n";
        Keys keys = c.profile;
        keys.emplace_back("Path2", kProgram + " /2");
        rig.Load(keys);
        rig.Step();
        const auto starts = [](const Lines& calls) {
            Lines kept;
            for (const auto& line : calls) {
                if (line.rfind("ShellExecute|None", 0) == 0 || line.rfind("ShellExecute|Splash", 0) == 0 ||
                    line.rfind("StartProgram|", 0) == 0 || line.rfind("OpenItem|", 0) == 0 ||
                    line.rfind("Trace|Could not start", 0) == 0) {
                    kept.push_back(line);
                }
            }
            return kept;
        };
        EXPECT_EQ(starts(rig.Step()), c.starts);
        // The next profile starts on time, as it would without options.
        const Lines next = starts(rig.Step());
        ASSERT_FALSE(next.empty());
        EXPECT_EQ(next.front(), "ShellExecute|None|(null)|" + kProgram + " /2||C:\\ZVK32|1");
    }
}

TEST(Sequence, ATickArrivingDuringATickIsDropped) {
    Rig rig;
    rig.LoadDelays({0, 0});
    rig.Step();
    rig.fake.OnCall("ShellExecute", [&] { rig.fake.DeliverTickNow(Timer::tmrMain); });
    const Lines calls = rig.Step();
    EXPECT_EQ(Only(calls, {"Trace"}).front(),
              "Trace|tmrMain_Timer Start currentShellPath=1 shellPathCount=2 timerCount=0");
    EXPECT_EQ(Only(calls, {"ShellExecute"}).size(), 1U);
    EXPECT_EQ(rig.form.totalTimerCount, 1);
    EXPECT_EQ(rig.settings.currentShellPath, 2);
    rig.Step();
    EXPECT_EQ(rig.fake.LastStatus(), Launch(2, 2, "Parvane.exe /session:2"));
}

// ---- The optional wait for an idle computer ----

// One tick in short: "count", "launch", "idle launch", "over launch", "wait P S" or "complete".
std::string TickKind(const Lines& calls) {
    std::string kind;
    for (const auto& line : calls) {
        int processor = 0;
        int left = 0;
        if (std::sscanf(line.c_str(), "Trace|Waiting for idle: processor %d %%, %d s left", &processor,
                        &left) == 2) {
            kind = "wait " + std::to_string(processor) + " " + std::to_string(left);
        } else if (line == "Trace|Idle: starting") {
            kind = "idle ";
        } else if (line == "Trace|Idle wait over: starting anyway") {
            kind = "over ";
        } else if (line == "Trace|timerCount reached specified delay.  Executing app...") {
            kind += "launch";
        } else if (line == "Trace|timerCount hasn't reached specified delay...") {
            kind = "count";
        } else if (line == "Trace|currentShellPath > shellPathCount") {
            kind = "complete";
        }
    }
    return kind;
}

// Digits only, saturating at a million; anything else is none.
struct WholeNumberCase {
    const char* text;
    std::optional<std::uint64_t> value;
};
const WholeNumberCase kWholeNumbers[] = {
    {"0", 0},
    {"007", 7},
    {"600", 600},
    {"999999", 999'999},
    {"1000001", 1'000'000},
    {"184467440737095516160", 1'000'000},
    {"", std::nullopt},
    {" 5", std::nullopt},
    {"5 ", std::nullopt},
    {"+5", std::nullopt},
    {"-1", std::nullopt},
    {"5.0", std::nullopt},
    {"1e3", std::nullopt},
};

TEST(IdleWait, WholeNumberTakesDigitsOnly) {
    for (const auto& c : kWholeNumbers) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(WholeNumber(c.text), c.value);
    }
}

// Busy share of kernel plus user time between two samples, whole percent rounded down.
struct UseCase {
    const char* name;
    ProcessorTimes before, after;
    int percent;
};
const UseCase kUses[] = {
    {"no time passed", {5, 9, 3}, {5, 9, 3}, 0},
    {"all idle", {0, 0, 0}, {1000, 1000, 0}, 0},
    {"all busy", {0, 0, 0}, {0, 700, 300}, 100},
    {"kernel includes idle", {0, 0, 0}, {600, 800, 200}, 40},
    {"from a later start", {1000, 2000, 500}, {1600, 2800, 700}, 40},
    {"rounded down", {0, 0, 0}, {1, 3, 0}, 66},
    {"idle above the total counts as all idle", {0, 0, 0}, {900, 400, 100}, 0},
    {"idle went back", {10, 0, 0}, {5, 100, 100}, 0},
    {"kernel went back", {0, 10, 0}, {0, 5, 100}, 0},
    {"user went back", {0, 0, 10}, {0, 100, 5}, 0},
};

TEST(IdleWait, ProcessorUseIsTheBusyShareOfTheTimeBetweenTwoSamples) {
    for (const auto& c : kUses) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProcessorUse(c.before, c.after), c.percent);
    }
}

struct IdleCase {
    const char* name;
    const char* waitForIdle;
    const char* idleBelow;
    std::vector<int> delays;
    std::vector<ProcessorTimes> load; // one step per sample; the first is taken at the start tick
    Lines ticks;                      // TickKind of each tick
};

const ProcessorTimes kSplit{600, 800, 200}; // kernel includes idle: 40 % busy, not 62 %

const IdleCase kIdleCases[] = {
    {"off", "0", "30", {1}, {FakePlatform::Busy(100)}, {"count", "launch", "complete"}},
    {"just below", "3", "30", {1}, {FakePlatform::Busy(29)}, {"count", "launch", "complete"}},
    {"just above: released by the limit",
     "3",
     "30",
     {1},
     {FakePlatform::Busy(30)},
     {"count", "wait 30 2", "wait 30 1", "wait 30 0", "over launch", "complete"}},
    {"released by idle",
     "3",
     "30",
     {0},
     {FakePlatform::Busy(0), FakePlatform::Busy(80), FakePlatform::Busy(50), FakePlatform::Busy(10)},
     {"wait 80 2", "wait 50 1", "idle launch", "complete"}},
    {"each start has its own budget",
     "2",
     "",
     {0, 0},
     {FakePlatform::Busy(90)},
     {"wait 90 1", "wait 90 0", "over launch", "wait 90 1", "wait 90 0", "over launch", "complete"}},
    {"idle on its first tick after a wait of the one before",
     "2",
     "50",
     {0, 1},
     {FakePlatform::Busy(0), FakePlatform::Busy(60), FakePlatform::Busy(20)},
     {"wait 60 1", "idle launch", "count", "launch", "complete"}},
    {"kernel time includes idle time",
     "5",
     "45",
     {0},
     {FakePlatform::Busy(0), kSplit},
     {"launch", "complete"}},
    {"split just at the threshold",
     "1",
     "40",
     {0},
     {FakePlatform::Busy(0), kSplit},
     {"wait 40 0", "over launch", "complete"}},
    {"29.5 % rounds down to 29, under 30",
     "3",
     "30",
     {0},
     {ProcessorTimes{705, 1000, 0}},
     {"launch", "complete"}},
    // Counters read at different moments: the idle share is capped at the whole, not wrapped into garbage.
    {"idle time above kernel plus user",
     "3",
     "30",
     {0},
     {ProcessorTimes{1500, 1000, 0}},
     {"launch", "complete"}},
    {"IdleBelow=100 is always idle", "9", "100", {0}, {FakePlatform::Busy(100)}, {"launch", "complete"}},
    {"a bad value leaves the option off", "x", "", {0}, {FakePlatform::Busy(100)}, {"launch", "complete"}},
};

TEST(IdleWait, StartsWhenTheComputerHasSettledOrTheBudgetIsSpent) {
    for (const auto& c : kIdleCases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.fake.processorSteps = c.load;
        Keys keys;
        for (std::size_t i = 0; i < c.delays.size(); ++i) {
            keys.emplace_back("Path" + std::to_string(i + 1), kProgram + " /" + std::to_string(i + 1));
            keys.emplace_back("Delay" + std::to_string(i + 1), std::to_string(c.delays[i]));
        }
        keys.emplace_back("[Options]\r\nWaitForIdle", c.waitForIdle);
        keys.emplace_back("IdleBelow", c.idleBelow);
        rig.Load(keys);
        const bool on = rig.settings.idleWait.On();
        EXPECT_EQ(Only(rig.Step(), {"SystemTimes"}).size(), on ? 1U : 0U); // the start tick's sample
        Lines ticks;
        Lines widths;
        for (std::size_t tick = 1; tick <= c.ticks.size(); ++tick) {
            const Lines calls = rig.Step();
            ticks.push_back(TickKind(calls));
            const Lines bar = Only(calls, {"ProgressWidth", "ProgressVisible"});
            widths.push_back(bar.empty() ? "(no tick)" : bar.front());
            EXPECT_EQ(Only(calls, {"SystemTimes"}).size(), on ? 1U : 0U);
            if (ticks.back().rfind("wait", 0) == 0) {
                // The bar holds still and the status line says what it waits for.
                EXPECT_EQ(widths.back(),
                          widths.size() > 1 ? widths[widths.size() - 2] : "ProgressVisible|false");
                int processor = 0;
                int left = 0;
                std::sscanf(ticks.back().c_str(), "wait %d %d", &processor, &left);
                EXPECT_EQ(rig.fake.LastStatus(),
                          "(" + std::to_string(rig.settings.currentShellPath) + " of " +
                              std::to_string(c.delays.size()) +
                              ") Waiting for the computer to settle before starting \"" + rig.form.nextEXE +
                              "\" (processor " + std::to_string(processor) + " %, " + std::to_string(left) +
                              " s at most)");
            }
        }
        EXPECT_EQ(ticks, c.ticks);
        // Waiting ticks do not count: the bar is full exactly on the last start's tick.
        EXPECT_EQ(rig.form.totalTimerCount, rig.settings.totalDelayCount + 1);
        ASSERT_GE(widths.size(), 2U);
        EXPECT_EQ(widths[widths.size() - 2], "ProgressWidth|7590");
        EXPECT_EQ(Only(rig.fake.calls, {"ShellExecute"}).size(), c.delays.size());
        rig.Step(60000);
        EXPECT_TRUE(rig.fake.ended);
    }
}

TEST(IdleWait, AWaitingTickTracesOnlyItsWaitAndTheStartNamesHowItCame) {
    Rig rig;
    rig.fake.processorSteps = {FakePlatform::Busy(95)};
    rig.Load({{"Path1", kProgram}, {"[Options]\r\nWaitForIdle", "1"}});
    rig.Step();
    Lines wait =
        TickOfOne(0, 0,
                  {"Trace|Waiting for idle: processor 95 %, 0 s left",
                   "Status|(1 of 1) Waiting for the computer to settle before starting \"Parvane.exe\" "
                   "(processor 95 %, 0 s at most)",
                   "AnnounceStatus", "ProgressVisible|false", "SetFocus|Form", "Trace|tmrMain_Timer End"});
    wait.insert(wait.begin(), "SystemTimes");
    EXPECT_EQ(rig.Step(), wait);
    EXPECT_EQ(Only(rig.Step(), {"Trace"}),
              TickOfOne(0, 0,
                        {"Trace|Idle wait over: starting anyway",
                         "Trace|timerCount reached specified delay.  Executing app...",
                         "Trace|tmrMain_Timer End"}));
}

// Esc during any wait starts nothing more; a program held for its ready wait is let go of.
TEST(Cancel, DuringAWaitStartsNothingMore) {
    const struct {
        Keys keys;
        std::string status; // how the status line begins while it waits
        bool held;          // a program started and held for its ready wait
    } cases[] = {
        {{{"Path1", kProgram}, {"[Options]\r\nWaitForIdle", "5"}},
         "(1 of 1) Waiting for the computer to settle",
         false},
        {{{"Path1", kProgram}, {"WaitNetwork1", "5"}}, "(1 of 1) Waiting for the network", false},
        {{{"Path1", kProgram + " /1"}, {"WaitReady1", "10"}, {"Path2", kProgram + " /2"}},
         "(1 of 2) Waiting for \"Parvane.exe /1\" to be ready",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        Rig rig;
        rig.fake.processorSteps = {FakePlatform::Busy(100)};
        rig.fake.connectivity = {0};
        rig.fake.readiness[kProgram] = {InputIdle::NotYet};
        rig.fake.shellExecuteAnswer = kRefused;
        rig.Load(c.keys);
        rig.Step(3000); // the start tick, the launch if any, and the waiting ticks
        EXPECT_EQ(rig.fake.LastStatus().rfind(c.status, 0), 0U) << rig.fake.LastStatus();
        ASSERT_EQ(rig.fake.heldProcesses.size(), c.held ? 1U : 0U);
        Lines esc = {"Trace|Form_KeyPress KeyAscii = 27"};
        if (c.held) {
            esc.push_back("CloseProcess|1");
        }
        esc.insert(esc.end(), kCancelCalls.begin(), kCancelCalls.end());
        EXPECT_EQ(rig.During([&] { rig.fake.KeyPress(27); }), esc);
        EXPECT_TRUE(rig.fake.heldProcesses.empty());
        EXPECT_EQ(rig.Step(60000), kExitCalls);
        EXPECT_EQ(rig.fake.now, 8000);
        EXPECT_TRUE(Only(rig.fake.calls, {"ShellExecute"}).empty());
        EXPECT_EQ(Only(rig.fake.calls, {"StartProgram"}).size(), c.held ? 1U : 0U);
    }
}

// ---- The optional wait for a started program to be ready ----

// One tick in short: "wait S", or what it did ("count", "launch", "complete", "idle" for a wait for an idle
// computer), after "ready " or "over " when it went on after a ready wait. For the network: "net S" for a
// waiting tick, "online ", "offline " or "unasked:<why> " before what the tick then did, " missing" after a
// launch whose program was not there.
std::string ReadyTickKind(const Lines& calls) {
    std::string kind;
    for (const auto& line : calls) {
        int left = 0;
        if (std::sscanf(line.c_str(), "Trace|Waiting for ready: %d s left", &left) == 1) {
            return "wait " + std::to_string(left);
        }
        if (std::sscanf(line.c_str(), "Trace|Waiting for the network: %d s left", &left) == 1) {
            return kind + "net " + std::to_string(left);
        }
        const std::string unasked = "Trace|Could not ask for the network: ";
        if (line.rfind(unasked, 0) == 0) {
            kind += "unasked:" + line.substr(unasked.size()) + " ";
        } else if (line == "Trace|Network: starting") {
            kind += "online ";
        } else if (line == "Trace|Network wait over: starting anyway") {
            kind += "offline ";
        } else if (line.rfind("Trace|Could not start ", 0) == 0 &&
                   line.find(": The system cannot find the file specified.") != std::string::npos) {
            kind += " missing";
        }
        if (line == "Trace|Ready: going on") {
            kind = "ready ";
        } else if (line == "Trace|Ready wait over: going on anyway") {
            kind = "over ";
        } else if (line == "Trace|timerCount reached specified delay.  Executing app...") {
            kind += "launch";
        } else if (line == "Trace|timerCount hasn't reached specified delay...") {
            kind += "count";
        } else if (line == "Trace|currentShellPath > shellPathCount") {
            kind += "complete";
        } else if (line.rfind("Trace|Waiting for idle: ", 0) == 0) {
            kind += "idle";
        }
    }
    return kind;
}

struct ReadyCase {
    const char* name;
    Keys keys;                      // after Path1=kProgram /1 (started through the fallback when refused)
    std::vector<InputIdle> answers; // WaitForInputIdle's answers for kProgram
    Lines ticks;                    // ReadyTickKind of each tick
    ShellAnswer shellExecute = kStarted;
    bool processless = false;
    std::uint32_t startError = 0;
    std::vector<std::uint32_t> network = {0x60}; // the network's connectivity at each check
    std::size_t networkChecks = 0;
    std::uint32_t networkError = 0; // the list manager cannot be made, with this code
    int appearsOnTick = 0;          // kShare appears before this tick; 0: never
};

const std::string kShare = "\\\\files\\apps\\tool.exe";

const ReadyCase kReadyCases[] = {
    {"ready at the first check: the tick is as without the wait",
     {{"WaitReady1", "10"}, {"Path2", kProgram + " /2"}, {"Delay2", "1"}},
     {InputIdle::Ready},
     {"launch", "count", "launch", "complete"}},
    {"ready after waits",
     {{"WaitReady1", "10"}, {"Path2", kProgram + " /2"}},
     {InputIdle::NotYet, InputIdle::NotYet, InputIdle::Ready},
     {"launch", "wait 9", "wait 8", "ready launch", "complete"}},
    {"the limit, then the next countdown",
     {{"WaitReady1", "2"}, {"Path2", kProgram + " /2"}, {"Delay2", "1"}},
     {InputIdle::NotYet},
     {"launch", "wait 1", "wait 0", "over count", "launch", "complete"}},
    {"readiness wins over the spent budget",
     {{"WaitReady1", "1"}, {"Path2", kProgram + " /2"}},
     {InputIdle::NotYet, InputIdle::Ready},
     {"launch", "wait 0", "ready launch", "complete"}},
    {"a console program, or one that has ended (WAIT_FAILED)",
     {{"WaitReady1", "5"}, {"Path2", kProgram + " /2"}},
     {InputIdle::Failed},
     {"launch", "launch", "complete"}},
    {"a start that gave no process",
     {{"WaitReady1", "5"}, {"Path2", kProgram + " /2"}},
     {InputIdle::NotYet},
     {"launch", "launch", "complete"},
     kStarted,
     true},
    {"a start that failed",
     {{"WaitReady1", "5"}, {"Path2", kProgram + " /2"}},
     {InputIdle::NotYet},
     {"launch", "launch", "complete"},
     kRefused,
     false,
     740},
    {"through the fallback",
     {{"WaitReady1", "5"}, {"Path2", kProgram + " /2"}},
     {InputIdle::NotYet, InputIdle::Ready},
     {"launch", "wait 4", "ready launch", "complete"},
     kRefused},
    {"the last profile: the completion tick waits",
     {{"WaitReady1", "3"}},
     {InputIdle::NotYet, InputIdle::NotYet, InputIdle::Ready},
     {"launch", "wait 2", "wait 1", "ready complete"}},
    {"the idle wait comes at the end of the next countdown, with its own budget",
     {{"WaitReady1", "2"}, {"Path2", kProgram + " /2"}, {"[Options]\r\nWaitForIdle", "1"}},
     {InputIdle::NotYet},
     {"idle", "launch", "wait 1", "wait 0", "over idle", "launch", "complete"}},
    {"off: 0",
     {{"WaitReady1", "0"}, {"Path2", kProgram + " /2"}},
     {InputIdle::NotYet},
     {"launch", "launch", "complete"}},
    {"off: a bad value",
     {{"WaitReady1", "1.5"}, {"Path2", kProgram + " /2"}},
     {InputIdle::NotYet},
     {"launch", "launch", "complete"}},
    {"two ready waits in a row: each has its own budget",
     {{"WaitReady1", "2"}, {"Path2", kProgram + " /2"}, {"WaitReady2", "2"}},
     {InputIdle::NotYet},
     {"launch", "wait 1", "wait 0", "over launch", "wait 1", "wait 0", "over complete"}},
    // The network gate, on the fake's connectivity.
    {"network: connected at once, the launch is as without the wait",
     {{"WaitNetwork1", "5"}},
     {},
     {"launch", "complete"},
     kStarted,
     false,
     0,
     {0x40},
     1},
    {"network: after waits, IPv6 local network alone is connected",
     {{"WaitNetwork1", "5"}},
     {},
     {"net 4", "net 3", "online launch", "complete"},
     kStarted,
     false,
     0,
     {0, 0x1 | 0x2, 0x200},
     3},
    {"network: the limit; the no-traffic flags alone are not connected",
     {{"WaitNetwork1", "2"}, {"Path2", kProgram + " /2"}, {"WaitNetwork2", "1"}},
     {},
     {"net 1", "net 0", "offline launch", "net 0", "offline launch", "complete"},
     kStarted,
     false,
     0,
     {0x1 | 0x2},
     5},
    {"network: the list manager cannot be made: said once, the gate opens for the run",
     {{"WaitNetwork1", "5"}, {"Path2", kProgram + " /2"}, {"WaitNetwork2", "5"}},
     {},
     {"unasked:Class not registered launch", "launch", "complete"},
     kStarted,
     false,
     0,
     {0},
     1,
     0x80040154},
    {"network first, then the idle wait, each with its own budget",
     {{"WaitNetwork1", "3"}, {"[Options]\r\nWaitForIdle", "2"}},
     {},
     {"net 2", "online idle", "idle", "launch", "complete"},
     kStarted,
     false,
     0,
     {0, 0x20},
     2},
    {"network after a ready wait",
     {{"WaitReady1", "2"}, {"Path2", kProgram + " /2"}, {"WaitNetwork2", "3"}},
     {InputIdle::NotYet},
     {"launch", "wait 1", "wait 0", "over net 2", "net 1", "online launch", "complete"},
     kStarted,
     false,
     0,
     {0, 0, 0x10},
     3},
    {"a program on the network is looked for at its turn: there",
     {{"Path2", kShare + " /2"}, {"WaitNetwork2", "3"}},
     {},
     {"launch", "net 2", "online launch", "complete"},
     kStarted,
     false,
     0,
     {0, 0x40},
     2,
     0,
     1},
    {"a program on the network that appears during the wait",
     {{"Path2", kShare + " /2"}, {"WaitNetwork2", "3"}},
     {},
     {"launch", "net 2", "net 1", "online launch", "complete"},
     kStarted,
     false,
     0,
     {0, 0, 0x40},
     3,
     0,
     4},
    {"a program on the network that never appears is not started; the next one starts on time",
     {{"Path2", kShare + " /2"}, {"WaitNetwork2", "2"}, {"Path3", kProgram + " /3"}},
     {},
     {"launch", "net 1", "net 0", "offline launch missing", "launch", "complete"},
     kStarted,
     false,
     0,
     {0},
     3},
};

TEST(ReadyWait, TheNextProfileWaitsUntilTheProgramIsReadyOrTheBudgetIsSpent) {
    for (const auto& c : kReadyCases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.fake.shellExecuteAnswer = c.shellExecute;
        rig.fake.readiness[kProgram] = c.answers;
        rig.fake.readiness[kProgram + " /1"] = c.answers; // the plain start's file, arguments and all
        rig.fake.readiness[kProgram + " /2"] = c.answers;
        rig.fake.processorSteps = {FakePlatform::Busy(100)};
        if (c.processless) {
            rig.fake.processless = {kProgram + " /1"};
        }
        if (c.startError != 0) {
            rig.fake.startErrors = {{kProgram, c.startError}};
        }
        rig.fake.connectivity = c.network;
        if (c.networkError != 0) {
            rig.fake.networkError = c.networkError;
            rig.fake.systemMessages[c.networkError] = "Class not registered\r\n";
        }
        Keys keys = {{"Path1", kProgram + " /1"}};
        keys.insert(keys.end(), c.keys.begin(), c.keys.end());
        rig.Load(keys);
        rig.Step();
        Lines ticks;
        std::string bar = "ProgressVisible|false";
        int firstWaits = 0;
        for (std::size_t tick = 1; tick <= c.ticks.size(); ++tick) {
            if (static_cast<int>(tick) == c.appearsOnTick) {
                rig.fake.AddFile(kShare);
            }
            const Lines calls = rig.Step();
            ticks.push_back(ReadyTickKind(calls));
            const Lines drawn = Only(calls, {"ProgressWidth", "ProgressVisible"});
            ASSERT_FALSE(drawn.empty());
            const auto net = ticks.back().find("net ");
            if (net != std::string::npos) {
                // Nothing starts, the bar holds still, and the status line says what it waits for.
                EXPECT_TRUE(Only(calls, {"ShellExecute", "ShellExecuteHeld", "StartProgram"}).empty());
                EXPECT_EQ(drawn.front(), bar);
                EXPECT_EQ(rig.fake.LastStatus(), "(" + std::to_string(rig.settings.currentShellPath) +
                                                     " of " + std::to_string(rig.settings.shellPathCount) +
                                                     ") Waiting for the network before starting \"" +
                                                     rig.form.nextEXE + "\" (" +
                                                     ticks.back().substr(net + 4) + " s at most)");
                firstWaits += Contains(calls, "AnnounceStatus") ? 1 : 0;
            }
            if (ticks.back().rfind("wait", 0) == 0) {
                const std::string left = ticks.back().substr(5);
                const std::string waited = std::to_string(rig.settings.currentShellPath - 1);
                // Only the three lines, nothing counts or starts, the bar holds still.
                EXPECT_EQ(Only(calls, {"Trace"}),
                          (Lines{"Trace|" + texts::TickStart(rig.settings.currentShellPath,
                                                             rig.settings.shellPathCount, 0),
                                 "Trace|Waiting for ready: " + left + " s left", "Trace|tmrMain_Timer End"}));
                EXPECT_TRUE(Only(calls, {"ShellExecute", "ShellExecuteHeld", "StartProgram"}).empty());
                EXPECT_EQ(drawn.front(), bar);
                EXPECT_EQ(rig.fake.LastStatus(), "(" + waited + " of " +
                                                     std::to_string(rig.settings.shellPathCount) +
                                                     ") Waiting for \"Parvane.exe /" + waited +
                                                     "\" to be ready (" + left + " s at most)");
                firstWaits += Contains(calls, "AnnounceStatus") ? 1 : 0;
            }
            bar = drawn.front();
        }
        EXPECT_EQ(ticks, c.ticks);
        // Announced on the first waiting tick of each wait only.
        const auto wait = [&](std::size_t i) -> std::string {
            return ticks[i].rfind("wait", 0) == 0               ? "ready"
                   : ticks[i].find("net ") != std::string::npos ? "net"
                                                                : "";
        };
        int waits = 0;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            waits += !wait(i).empty() && (i == 0 || wait(i) != wait(i - 1)) ? 1 : 0;
        }
        EXPECT_EQ(firstWaits, waits);
        EXPECT_EQ(Only(rig.fake.calls, {"Network"}).size(), c.networkChecks);
        EXPECT_TRUE(Only(rig.fake.calls, {"MessageBox"}).empty());
        // Waiting ticks do not count: the bar is full exactly on the last start's tick and stays so.
        EXPECT_EQ(rig.form.totalTimerCount, rig.settings.totalDelayCount + 1);
        EXPECT_EQ(bar, "ProgressWidth|7590");
        // Only a profile with the wait holds its process, and lets go of it when the wait ends.
        const auto on =
            std::count_if(rig.settings.shellPathOptions.begin(), rig.settings.shellPathOptions.end(),
                          [](const StartOptions& o) { return o.waitReady > 0; });
        EXPECT_EQ(Only(rig.fake.calls, {"ShellExecuteHeld"}).size(), static_cast<std::size_t>(on));
        EXPECT_TRUE(rig.fake.heldProcesses.empty());
        rig.Step(60000);
        EXPECT_TRUE(rig.fake.ended);
    }
}

TEST(ReadyWait, HoldsTheProcessOfBothKindsOfStart) {
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused);
        Rig rig;
        rig.fake.shellExecuteAnswer = refused ? kRefused : kStarted;
        rig.fake.AddFolder("C:\\Work");
        rig.Load({{"Path1", kProgram + " /1"},
                  {"WaitReady1", "3"},
                  {"StartIn1", "C:\\Work"},
                  {"Window1", "Hidden"}});
        rig.Step(2000);
        Lines expected = {"ShellExecuteHeld|" + kProgram + " /1||C:\\Work|0"};
        if (refused) {
            expected.push_back("StartProgram|" + kProgram + "|/1|C:\\Work|0|held");
        }
        EXPECT_EQ(rig.fake.Lines({"ShellExecute", "ShellExecuteHeld", "StartProgram"}), expected);
    }
}

// ---- Cancellation ----

struct CancelCase {
    const char* name;
    std::vector<int> delays;
    long long clickAt;   // ms after Form_Load
    std::size_t started; // programs started before the click
    bool focusRefused = false;
};

TEST(Cancel, StopsTheSequenceHidesTheBarAndExitsFiveSecondsLater) {
    const CancelCase cases[] = {
        {"before the start tick", {0}, 500, 0},
        {"during a countdown", {1, 5, 1}, 5000, 1},
        {"after the last launch, before the completion tick", {0}, 2500, 1},
        // A refused focus request does not stop the next one.
        {"the focus refused", {0}, 0, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.LoadDelays(c.delays);
        if (c.focusRefused) {
            rig.fake.refusedFocus = {FocusTarget::txtFocus};
        }
        rig.Step(c.clickAt);
        EXPECT_EQ(rig.During([&] { rig.fake.Click(); }), kCancelCalls);
        EXPECT_EQ(rig.Step(60000), kExitCalls);
        EXPECT_EQ(rig.fake.now, c.clickAt + 5000);
        EXPECT_EQ(Only(rig.fake.calls, {"ShellExecute"}).size(), c.started);
        EXPECT_FALSE(Contains(rig.fake.calls, "Status|" + kComplete));
    }
}

TEST(Cancel, ClicksAndKeysArrivingDuringATickRunAfterIt) {
    Rig rig;
    rig.LoadDelays({0, 3});
    rig.Step();
    rig.fake.OnCall("ShellExecute", [&] {
        rig.fake.KeyPress(97);
        rig.fake.Click();
        rig.fake.KeyPress(27);
    });
    const Lines calls = rig.Step();
    Lines after = {"Trace|tmrMain_Timer End", "Trace|Form_KeyPress KeyAscii = 97"};
    after.insert(after.end(), kCancelCalls.begin(), kCancelCalls.end());
    after.push_back("Trace|Form_KeyPress KeyAscii = 27");
    after.insert(after.end(), kLateCancelCalls.begin(), kLateCancelCalls.end());
    ASSERT_GE(calls.size(), after.size());
    // The launch tick ran to its end first, its program started and its bar drawn.
    EXPECT_EQ(Lines(calls.end() - static_cast<std::ptrdiff_t>(after.size()), calls.end()), after);
    EXPECT_TRUE(Contains(calls, "ProgressWidth|1518")); // 1 of 5
    rig.Step(60000);
    EXPECT_EQ(Only(rig.fake.calls, {"ShellExecute"}).size(), 1U);
    EXPECT_EQ(rig.fake.now, 7000);
}

struct ExitingCase {
    const char* name;
    std::function<void(Rig&)> reach; // leaves the run exiting, one second before the click
    long long end;                   // when the process ends
};

TEST(Cancel, WhileExitingOnlyMovesTheFocus) {
    const ExitingCase cases[] = {
        {"after completion",
         [](Rig& r) {
             r.LoadDelays({2});
             r.Step(5000);
         },
         10000},
        {"on a configuration path",
         [](Rig& r) {
             r.Load({{"Path1", "?"}});
         },
         5000},
        {"after an earlier cancel",
         [](Rig& r) {
             r.LoadDelays({2});
             r.Step(500);
             r.fake.Click();
         },
         5500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.reach(rig);
        rig.Step(1000);
        const std::string status = rig.fake.LastStatus();
        EXPECT_EQ(rig.During([&] { rig.fake.Click(); }), kLateCancelCalls);
        EXPECT_EQ(rig.fake.LastStatus(), status);
        rig.Step(60000);
        EXPECT_EQ(rig.fake.now, c.end);
    }
}

struct KeyCase {
    std::int16_t key;
    std::optional<FocusTarget> focused;
    bool asksFocus; // Enter asks where the focus is
    bool cancels;
};

const KeyCase kKeys[] = {
    {97, FocusTarget::btnCancel, false, false},
    {27, FocusTarget::Command1, false, true},
    {27, FocusTarget::btnCancel, false, true},
    // Enter clicks the focused Cancel button, as in every dialog, and nothing else.
    {13, FocusTarget::btnCancel, true, true},
    {13, FocusTarget::Command1, true, false},
    {13, FocusTarget::txtFocus, true, false},
    {13, std::nullopt, true, false},
    {32, FocusTarget::btnCancel, false, false}, // the button itself clicks on Space
};

TEST(Form_KeyPress, EscAndEnterOnCancelCancelAndOtherKeysAreOnlyTraced) {
    for (const auto& c : kKeys) {
        SCOPED_TRACE(c.key);
        Rig rig;
        rig.LoadDelays({3});
        rig.Step(2000);
        rig.fake.focused = c.focused;
        Lines expected = {"Trace|Form_KeyPress KeyAscii = " + std::to_string(c.key)};
        if (c.asksFocus) {
            expected.push_back("HasFocus|btnCancel");
        }
        if (c.cancels) {
            expected.insert(expected.end(), kCancelCalls.begin(), kCancelCalls.end());
        }
        EXPECT_EQ(rig.During([&] { rig.fake.KeyPress(c.key); }), expected);
        if (!c.cancels) {
            EXPECT_EQ(rig.Step().at(0),
                      "Trace|tmrMain_Timer Start currentShellPath=1 shellPathCount=1 timerCount=1");
            continue;
        }
        // Once exiting, the same key only moves the focus.
        expected.resize(c.asksFocus ? 2 : 1);
        expected.insert(expected.end(), kLateCancelCalls.begin(), kLateCancelCalls.end());
        EXPECT_EQ(rig.During([&] { rig.fake.KeyPress(c.key); }), expected);
    }
}

} // namespace
} // namespace launchwick
