// The settings module: reading the profiles into the sequence tables, the default file, and the two
// helpers GetSetting and FileExists.
#include "modMain.h"

#include "Encoding.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace launchwick {
namespace {

using test::FakePlatform;
using Lines = std::vector<std::string>;
using namespace std::string_literals;

const std::string kConfig = "C:\\ZVK32\\ZVKLaunchwick.ini";
const std::string kProgram = "C:\\ZVK32\\Parvane.exe";

std::string GetSettingTrace(int n, const std::string& value) {
    return "GetSetting(" + kConfig + ", \"Paths\", \"Path" + std::to_string(n) + "\", \"?\") = " + value;
}

std::string InvalidPathText(int n, const std::string& value) {
    return "The path specified in profile " + std::to_string(n) + " (" + value +
           ") appears to be an invalid file or path.";
}

// The default settings file, from its listed lines, each followed by CR LF.
std::string DefaultFileText() {
    std::vector<std::string> lines = {
        "[Instructions]",
        "This file contains the profiles for executables to be ",
        "started and the delay times between them. Each profile has ",
        "a delay time, denoted by the \"Delay#=\" setting and the ",
        "executable to be started, denoted by the \"Path#\" setting.",
        "The example entries for profiles 1-5 can be modified to start ",
        "any executable you wish. The delay time can be between 1 and ",
        "600 seconds. Each executable is started after the delay time ",
        "specified and occurs in sequencial order.",
        "",
        "The specified path can include the fully qualified path and ",
        "executable name, along with any command line switches desired.",
        "",
        "All the default profiles are disabled with a \"#\" symbol preceeding ",
        "each setting. To enable a profile, remove the \"#\" symbol from the ",
        "beginning of the \"Delay#=\" and \"Path#=\" lines for the corresponding ",
        "profile.",
        "",
        "To disable a profile, replace the \"#\" symbol from the beginning ",
        "of the desired profile's lines. For example, to disable profile 10, ",
        "add the \"#\" at the beginning of each of the profile's settings ",
        "so they resemble  \"#Delay10=\" and \"#Path10=\".",
        "",
        "NOTE: Make sure to remove the default startup link added by the ZVK",
        "product installation so that the default startup link doesn't start",
        "the ZVK product in addition to the delayed startup for the ZVK product",
        "from this startup sequence utility.  Otherwise, you'll get two instances",
        "of the ZVK product opening inadvertently when your computer boots up.",
        "",
        "",
        "",
        "",
        "[Paths]",
        "#Delay1=20",
        "#Path1=C:\\ZVK32\\Parvane.exe /session:1",
        "#Delay2=20",
        "#Path2=C:\\ZVK32\\Parvane.exe /session:2",
        "#Delay3=20",
        "#Path3=C:\\ZVK32\\Parvane.exe /session:3",
        "#Delay4=20",
        "#Path4=C:\\ZVK32\\Parvane.exe /session:4",
    };
    for (int n = 5; n <= 20; ++n) {
        lines.push_back("#Delay" + std::to_string(n) + "=20");
        lines.push_back("#Path" + std::to_string(n) + "=");
    }
    EXPECT_EQ(lines.size(), 73U);
    std::string text;
    for (const auto& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

// A settings module on a fake file system that holds the settings folder and a few programs.
struct Rig {
    Rig() {
        settings.configFilePath = kConfig;
        for (const char* path : {"C:\\ZVK32", "C:\\ZVK32\\Parvane.exe", "C:\\Tools\\Mixed.ExE", "C:\\My.exe",
                                 "notepad.exe", "C:\\Program Files\\Tools\\report.exe"}) {
            fake.AddFile(path);
        }
    }
    // Writes the settings file: a [Paths] section with the keys in the order given, after a section
    // that must not be read.
    void WriteIni(const std::vector<std::pair<std::string, std::string>>& keys) {
        std::string text = "[Instructions]\r\nPath1=C:\\ZVK32\\Parvane.exe /not-this-section\r\n[Paths]\r\n";
        for (const auto& [key, value] : keys) {
            text += key + "=" + value + "\r\n";
        }
        fake.AddFile(kConfig, text);
    }
    // The paths tested for existence while loading, the settings file itself left out.
    Lines ProgramLookups() const {
        Lines lookups;
        for (const auto& line : fake.Lines({"FileDateTime"})) {
            if (line != "FileDateTime|" + kConfig) {
                lookups.push_back(line.substr(13));
            }
        }
        return lookups;
    }
    bool Traced(const std::string& line) const {
        const Lines traces = fake.Traces();
        return std::find(traces.begin(), traces.end(), line) != traces.end();
    }

    FakePlatform fake;
    modMain settings{fake};
};

struct SettingCase {
    const char* raw; // nullptr: the key is absent
    const char* expected;
};

constexpr SettingCase kSettingCases[] = {
    {"  x y  ", "x y"}, {"value", "value"}, {"", "dflt"},
    {"    ", "dflt"},   {nullptr, "dflt"},  {"\tx ", "\tx"},
};

TEST(GetSetting, TrimsSpacesAndFallsBackToTheDefault) {
    for (const auto& [raw, expected] : kSettingCases) {
        Rig rig;
        rig.WriteIni(raw ? std::vector<std::pair<std::string, std::string>>{{"Key", raw}}
                         : std::vector<std::pair<std::string, std::string>>{});
        EXPECT_EQ(rig.settings.GetSetting(kConfig, "Paths", "Key", "dflt"), expected)
            << (raw ? raw : "(absent)");
        EXPECT_EQ(rig.fake.calls, Lines{"Profile|Paths|Key|dflt|4096|" + kConfig});
    }
}

TEST(FileExists, IsTrueExactlyWhenTheTimeCanBeRead) {
    Rig rig;
    rig.fake.files["C:\\blank"].dateTime = "   ";
    EXPECT_TRUE(rig.settings.FileExists(kProgram));
    EXPECT_TRUE(rig.settings.FileExists("C:\\ZVK32")); // a folder counts
    EXPECT_FALSE(rig.settings.FileExists("C:\\ZVK32\\Missing.exe"));
    EXPECT_FALSE(rig.settings.FileExists(""));
    EXPECT_FALSE(rig.settings.FileExists("C:\\blank"));
    EXPECT_TRUE(rig.fake.Traces().empty());
}

TEST(LoadSettings, WritesTheFullTraceStreamAndPacksTheTables) {
    Rig rig;
    rig.WriteIni({{"Delay1", "5"},
                  {"Path1", "C:\\ZVK32\\Parvane.exe /session:1"},
                  {"Delay2", "9"},
                  {"Path3", "  C:\\ZVK32\\Parvane.exe /session:3  "},
                  {"Path4", "?"}});
    rig.settings.LoadSettings();

    Lines traces = {"Loading Settings Start",
                    kConfig + "ZVKLaunchwick.ini found",
                    GetSettingTrace(1, "C:\\ZVK32\\Parvane.exe /session:1"),
                    "shellPaths(0) = C:\\ZVK32\\Parvane.exe /session:1",
                    "shellPathDelay(0) = 5",
                    GetSettingTrace(2, "?"),
                    "No valid entry for path 2",
                    GetSettingTrace(3, "C:\\ZVK32\\Parvane.exe /session:3"),
                    "shellPaths(1) = C:\\ZVK32\\Parvane.exe /session:3",
                    "shellPathDelay(1) = 0"};
    // The optional keys of a profile are looked up only when the section has them.
    Lines keys = {"Path1|?", "Delay1|0", "Path2|?", "Path3|?", "Delay3|0"};
    for (int n = 4; n <= 20; ++n) {
        traces.push_back(GetSettingTrace(n, "?"));
        traces.push_back("No valid entry for path " + std::to_string(n));
        keys.push_back("Path" + std::to_string(n) + "|?");
    }
    traces.push_back("Loading Settings End");
    EXPECT_EQ(rig.fake.Traces(), traces);

    // ErrorBoxes first: the boxes of the profiles depend on it.
    Lines lookups = {"Profile|Options|ErrorBoxes||4096|" + kConfig};
    for (const auto& key : keys) {
        lookups.push_back("Profile|Paths|" + key + "|4096|" + kConfig);
    }
    lookups.push_back("Profile|Options|WaitForIdle||4096|" + kConfig);
    lookups.push_back("Profile|Options|IdleBelow||4096|" + kConfig);
    lookups.push_back("Profile|Options|LogFile||4096|" + kConfig);
    EXPECT_EQ(rig.fake.Lines({"Profile"}), lookups);
    // Without a log file, no file is looked at for one.
    EXPECT_TRUE(rig.fake.Lines({"FileSize", "RenameFile", "AppendTextFile"}).empty());

    EXPECT_EQ(rig.settings.shellPathCount, 2);
    EXPECT_EQ(rig.settings.shellPaths,
              (Lines{"C:\\ZVK32\\Parvane.exe /session:1", "C:\\ZVK32\\Parvane.exe /session:3"}));
    EXPECT_EQ(rig.settings.shellPathDelay, (std::vector<std::int32_t>{5, 0}));
    EXPECT_EQ(rig.settings.totalDelayCount, 7);
    EXPECT_TRUE(rig.fake.Lines({"MessageBox"}).empty());
}

enum class Outcome { Accepted, NoEntry, Silent, Box };

struct PathCase {
    const char* value; // nullptr: Path1 is absent
    Outcome outcome;
    const char* tested; // the program part tested for existence; nullptr when none is
    const char* stored; // the value as stored, or as the box shows it
};

constexpr PathCase kPathCases[] = {
    {"C:\\ZVK32\\Parvane.exe", Outcome::Accepted, "C:\\ZVK32\\Parvane.exe", "C:\\ZVK32\\Parvane.exe"},
    {"  C:\\ZVK32\\Parvane.exe /a /b  ", Outcome::Accepted, "C:\\ZVK32\\Parvane.exe",
     "C:\\ZVK32\\Parvane.exe /a /b"},
    {"C:\\Tools\\Mixed.ExE /x", Outcome::Accepted, "C:\\Tools\\Mixed.ExE", "C:\\Tools\\Mixed.ExE /x"},
    {"C:\\My.exe.d\\tool.exe -q", Outcome::Accepted, "C:\\My.exe", "C:\\My.exe.d\\tool.exe -q"},
    {"C:\\Program Files\\Tools\\report.exe -a -b", Outcome::Accepted, "C:\\Program Files\\Tools\\report.exe",
     "C:\\Program Files\\Tools\\report.exe -a -b"},
    {"notepad.exe", Outcome::Accepted, "notepad.exe", "notepad.exe"},
    {"\"C:\\Program Files\\Tools\\report.exe\" -min", Outcome::Box, "\"C:\\Program Files\\Tools\\report.exe",
     "\"C:\\Program Files\\Tools\\report.exe\" -min"},
    {"C:\\Missing\\gone.EXE /x", Outcome::Box, "C:\\Missing\\gone.EXE", "C:\\Missing\\gone.EXE /x"},
    {"http://example.com/", Outcome::Silent, nullptr, nullptr},
    {"C:\\scripts\\run.bat", Outcome::Silent, nullptr, nullptr},
    {"C:\\Tools\\app.ex", Outcome::Silent, nullptr, nullptr},
    {"??", Outcome::Silent, nullptr, nullptr},
    {"?", Outcome::NoEntry, nullptr, nullptr},
    {"  ?  ", Outcome::NoEntry, nullptr, nullptr},
    {"", Outcome::NoEntry, nullptr, nullptr},
    {"   ", Outcome::NoEntry, nullptr, nullptr},
    {nullptr, Outcome::NoEntry, nullptr, nullptr},
};

TEST(LoadSettings, DecidesEachPathValue) {
    for (const auto& c : kPathCases) {
        SCOPED_TRACE(c.value ? c.value : "(absent)");
        Rig rig;
        rig.WriteIni(c.value ? std::vector<std::pair<std::string, std::string>>{{"Path1", c.value}}
                             : std::vector<std::pair<std::string, std::string>>{});
        rig.settings.LoadSettings();

        EXPECT_EQ(rig.Traced("No valid entry for path 1"), c.outcome == Outcome::NoEntry);
        EXPECT_EQ(rig.Traced(GetSettingTrace(1, "?")), c.outcome == Outcome::NoEntry);
        EXPECT_EQ(rig.ProgramLookups(), c.tested ? Lines{c.tested} : Lines{});
        EXPECT_EQ(rig.settings.shellPathCount, c.outcome == Outcome::Accepted ? 1 : 0);
        if (c.outcome == Outcome::Accepted) {
            EXPECT_EQ(rig.settings.shellPaths, Lines{c.stored});
            EXPECT_TRUE(rig.Traced(std::string("shellPaths(0) = ") + c.stored));
        }
        EXPECT_EQ(rig.fake.Lines({"MessageBox"}),
                  c.outcome == Outcome::Box
                      ? Lines{"MessageBox|Error - ZVK Launchwick|" + InvalidPathText(1, c.stored)}
                      : Lines{});
    }
}

struct ErrorBoxesCase {
    const char* value; // nullptr: no such key
    bool shown;
    const char* ignoring; // the trace line of a value that is neither On nor Off
};

constexpr ErrorBoxesCase kErrorBoxes[] = {
    {nullptr, true, nullptr},
    {"On", true, nullptr},
    {"  oN  ", true, nullptr},
    {"Off", false, nullptr},
    {" OFF ", false, nullptr},
    {"", true, nullptr},
    {"no", true, "Ignoring ErrorBoxes=no"},
    {"Off!", true, "Ignoring ErrorBoxes=Off!"},
};

TEST(LoadSettings, SkippedProfilesLeaveNoGapsAndEachMissingProgramGetsItsBox) {
    for (const auto& c : kErrorBoxes) {
        SCOPED_TRACE(c.value ? c.value : "(absent)");
        Rig rig;
        rig.WriteIni({{"Path1", "C:\\ZVK32\\Parvane.exe /session:1"},
                      {"Path2", "C:\\Gone\\a.exe -x"},
                      {"Delay2", "30"},
                      {"Path3", "C:\\ZVK32\\Parvane.exe /session:3"},
                      {"Delay3", "4"},
                      {"Path5", "D:\\b.exe"}});
        if (c.value) {
            rig.fake.files[kConfig].content += "[Options]\r\nErrorBoxes=" + std::string(c.value) + "\r\n";
        }
        rig.settings.LoadSettings();
        const Lines texts = {InvalidPathText(2, "C:\\Gone\\a.exe -x"), InvalidPathText(5, "D:\\b.exe")};
        const Lines traces = rig.fake.Traces();
        if (c.shown) {
            EXPECT_EQ(rig.fake.Lines({"MessageBox"}),
                      (Lines{"MessageBox|Error - ZVK Launchwick|" + texts[0],
                             "MessageBox|Error - ZVK Launchwick|" + texts[1]}));
        } else {
            // Each box a trace line, where the box would have come: right after its profile's lookup.
            EXPECT_TRUE(rig.fake.Lines({"MessageBox"}).empty());
            for (const int n : {2, 5}) {
                const auto at = std::find(traces.begin(), traces.end(),
                                          GetSettingTrace(n, n == 2 ? "C:\\Gone\\a.exe -x" : "D:\\b.exe"));
                ASSERT_NE(at, traces.end());
                EXPECT_EQ(*(at + 1), "Error - ZVK Launchwick: " + texts[n == 2 ? 0 : 1]);
            }
        }
        EXPECT_EQ(rig.settings.errorBoxes, c.shown);
        EXPECT_EQ(rig.Traced(c.ignoring ? c.ignoring : "Ignoring ErrorBoxes="), c.ignoring != nullptr);
        // Read before the profiles, whose boxes it decides.
        EXPECT_EQ(rig.fake.Lines({"Profile"}).front(), "Profile|Options|ErrorBoxes||4096|" + kConfig);
        EXPECT_EQ(rig.settings.shellPaths,
                  (Lines{"C:\\ZVK32\\Parvane.exe /session:1", "C:\\ZVK32\\Parvane.exe /session:3"}));
        EXPECT_EQ(rig.settings.shellPathDelay, (std::vector<std::int32_t>{0, 4}));
        EXPECT_TRUE(rig.Traced("shellPaths(1) = C:\\ZVK32\\Parvane.exe /session:3"));
        EXPECT_TRUE(rig.Traced("shellPathDelay(1) = 4"));
        // The delay of a rejected profile is never looked up.
        for (const auto& line : rig.fake.Lines({"Profile"})) {
            EXPECT_EQ(line.find("|Delay2|"), std::string::npos);
        }
    }
}

constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

struct DelayCase {
    const char* first;  // Delay1; nullptr: absent
    const char* second; // Delay2; nullptr: absent
    std::int32_t firstStored, secondStored, total;
};

constexpr DelayCase kDelayCases[] = {
    {"7", "700", 7, 600, 8 + 601},
    {"7", "600", 7, 600, 8 + 601},
    {"7", "601", 7, 600, 8 + 601},
    {"7", "-5", 7, -5, 8 - 4},
    {"7", "0", 7, 0, 8 + 1},
    {"7", "", 7, 0, 8 + 1},
    {"7", "   ", 7, 0, 8 + 1},
    {"7", nullptr, 7, 0, 8 + 1},
    {"7", " 12 ", 7, 12, 8 + 13},
    {"7", "abc", 7, 7, 8 + 8},
    {"7", "2147483648", 7, 7, 8 + 8},
    {"7", "-2147483649", 7, 7, 8 + 8},
    {"7", "18446744073709551621", 7, 7, 8 + 8}, // 2^64 + 5 must not wrap round to 5
    {"7", "-", 7, 7, 8 + 8},
    {"7", "+", 7, 7, 8 + 8},
    {"7", ".", 7, 7, 8 + 8},
    {"7", "12abc", 7, 7, 8 + 8},
    {"7", "+12", 7, 12, 8 + 13},
    // A fraction rounds half to even.
    {"7", "2.5", 7, 2, 8 + 3},
    {"7", "3.5", 7, 4, 8 + 5},
    {"7", "2.7", 7, 3, 8 + 4},
    {"7", "2.45", 7, 2, 8 + 3}, // two fraction digits: not 2.5 first, then 2
    {"7", "1.25", 7, 1, 8 + 2},
    {"7", ".7", 7, 1, 8 + 2}, // no whole part
    {"7", "5.", 7, 5, 8 + 6}, // no fraction digits
    {"abc", "3", 0, 3, 1 + 4},
    {"99999999999", nullptr, 0, 0, 1 + 1},
    // The second sum leaves the 32-bit range, so the total stays as the first profile left it.
    {"-2147483648", "-2147483648", kMin32, kMin32, kMin32 + 1},
};

TEST(LoadSettings, ClampsConvertsAndCarriesDelays) {
    for (const auto& c : kDelayCases) {
        SCOPED_TRACE(std::string(c.first ? c.first : "(absent)") + " / " +
                     (c.second ? c.second : "(absent)"));
        Rig rig;
        std::vector<std::pair<std::string, std::string>> keys = {{"Path1", kProgram + " /1"},
                                                                 {"Path2", kProgram + " /2"}};
        if (c.first) {
            keys.emplace_back("Delay1", c.first);
        }
        if (c.second) {
            keys.emplace_back("Delay2", c.second);
        }
        rig.WriteIni(keys);
        rig.settings.LoadSettings();
        EXPECT_EQ(rig.settings.shellPathDelay, (std::vector<std::int32_t>{c.firstStored, c.secondStored}));
        EXPECT_EQ(rig.settings.totalDelayCount, c.total);
        EXPECT_TRUE(rig.Traced("shellPathDelay(1) = " + std::to_string(c.secondStored)));
    }
}

struct OptionCase {
    const char* waitForIdle; // nullptr: absent
    const char* idleBelow;
    std::int32_t wait;
    int below;
    Lines ignored; // trace lines, right before "Loading Settings End"
};

const OptionCase kOptions[] = {
    {nullptr, nullptr, 0, 30, {}},
    {"60", "30", 60, 30, {}},
    {"  60  ", " 5 ", 60, 5, {}},
    {"0", "", 0, 30, {}},
    {"", "   ", 0, 30, {}},
    {"600", "100", 600, 100, {}},
    {"601", "1", 600, 1, {}},
    {"99999999999999999999", "007", 600, 7, {}},
    {"18446744073709551621", "30", 600, 30, {}}, // 2^64 + 5 saturates, never wraps round to 5
    {"+5", nullptr, 0, 30, {"Ignoring WaitForIdle=+5"}},
    {"-1", "0", 0, 30, {"Ignoring WaitForIdle=-1", "Ignoring IdleBelow=0"}},
    {"2.5", "101", 0, 30, {"Ignoring WaitForIdle=2.5", "Ignoring IdleBelow=101"}},
    {"5 s", "+30", 0, 30, {"Ignoring WaitForIdle=5 s", "Ignoring IdleBelow=+30"}},
    {"12", "thirty", 12, 30, {"Ignoring IdleBelow=thirty"}},
    {"ten", "20.0", 0, 30, {"Ignoring WaitForIdle=ten", "Ignoring IdleBelow=20.0"}},
};

TEST(LoadSettings, ReadsTheIdleWaitOptionsLast) {
    for (const auto& c : kOptions) {
        SCOPED_TRACE(std::string(c.waitForIdle ? c.waitForIdle : "(absent)") + " / " +
                     (c.idleBelow ? c.idleBelow : "(absent)"));
        Rig rig;
        std::string text = "[Paths]\r\nPath1=" + kProgram + "\r\n[Options]\r\n";
        if (c.waitForIdle) {
            text += "WaitForIdle=" + std::string(c.waitForIdle) + "\r\n";
        }
        if (c.idleBelow) {
            text += "IdleBelow=" + std::string(c.idleBelow) + "\r\n";
        }
        rig.fake.AddFile(kConfig, text);
        rig.settings.LoadSettings();
        EXPECT_EQ(rig.settings.idleWait.WaitSeconds(), c.wait);
        EXPECT_EQ(rig.settings.idleWait.IdleBelow(), c.below);
        const Lines traces = rig.fake.Traces();
        Lines tail = c.ignored;
        tail.push_back("Loading Settings End");
        ASSERT_GE(traces.size(), tail.size());
        EXPECT_EQ(Lines(traces.end() - static_cast<std::ptrdiff_t>(tail.size()), traces.end()), tail);
        EXPECT_EQ(traces.at(traces.size() - tail.size() - 1), "No valid entry for path 20");
        EXPECT_TRUE(rig.fake.Lines({"SystemTimes"}).empty());
    }
}

struct LogCase {
    const char* value;      // LogFile=; nullptr: no key
    std::size_t before;     // bytes in the log before; 0: no such file
    std::uint32_t renaming; // the system's code when renaming the log is refused; 0: it is not
    bool openFails;
    const char* path;   // the log's full path; nullptr: none is looked at
    const char* traced; // the one trace line the option adds, before "Loading Settings End"
    bool rotated;       // the log was renamed to <path>.old
};

constexpr std::size_t kMiB = 1'048'576;

const LogCase kLogCases[] = {
    {nullptr, 0, 0, false, nullptr, nullptr, false},
    {"", 0, 0, false, nullptr, nullptr, false},
    {"   ", 0, 0, false, nullptr, nullptr, false},
    // Relative to the settings file's folder, %NAME% expanded, "/" and "." and ".." resolved.
    {"  launchwick.log  ", 0, 0, false, "C:\\ZVK32\\launchwick.log", nullptr, false},
    {"%LOGS%\\run.log", 0, 0, false, "D:\\Logs\\run.log", nullptr, false},
    {"%logs%\\%NOSUCH%.log", 0, 0, false, "D:\\Logs\\%NOSUCH%.log", nullptr, false},
    {"..\\logs\\.\\x.log", 0, 0, false, "C:\\logs\\x.log", nullptr, false},
    {"C:/Temp//x.log", 0, 0, false, "C:\\Temp\\x.log", nullptr, false},
    {"\\x.log", 0, 0, false, "C:\\x.log", nullptr, false},
    {"\\\\server\\share\\..\\x.log", 0, 0, false, "\\\\server\\share\\x.log", nullptr, false},
    {"//server/share/x.log", 0, 0, false, "\\\\server\\share\\x.log", nullptr, false},
    // Rotation above 1 MiB only; a rename refused because another copy has the log open leaves it as it is.
    {"launchwick.log", kMiB - 1, 0, false, "C:\\ZVK32\\launchwick.log", nullptr, false},
    {"launchwick.log", kMiB, 0, false, "C:\\ZVK32\\launchwick.log", nullptr, false},
    {"launchwick.log", kMiB + 1, 0, false, "C:\\ZVK32\\launchwick.log", nullptr, true},
    {"launchwick.log", kMiB + 1, 32, false, "C:\\ZVK32\\launchwick.log", nullptr, false},
    // Cannot be renamed for another reason, or opened: said once, and no log.
    {"launchwick.log", kMiB + 1, 5, false, "C:\\ZVK32\\launchwick.log",
     "Could not write to C:\\ZVK32\\launchwick.log", false},
    {"Missing\\launchwick.log", 0, 0, true, "C:\\ZVK32\\Missing\\launchwick.log",
     "Could not write to C:\\ZVK32\\Missing\\launchwick.log", false},
    // The settings file itself is never written.
    {"zvklaunchwick.INI", 0, 0, false, nullptr, "Ignoring LogFile=zvklaunchwick.INI", false},
    {"C:\\ZVK32\\sub\\..\\ZVKLaunchwick.ini", 0, 0, false, nullptr,
     "Ignoring LogFile=C:\\ZVK32\\sub\\..\\ZVKLaunchwick.ini", false},
};

TEST(LoadSettings, CopiesTheTraceToTheLogFileReadLast) {
    Rig plain; // the same file without the option: the trace the debugger sees in every case
    plain.WriteIni({{"Path1", kProgram}});
    plain.settings.LoadSettings();
    for (const auto& c : kLogCases) {
        SCOPED_TRACE(std::string(c.value ? c.value : "(absent)") + " / " + std::to_string(c.before) + " / " +
                     std::to_string(c.renaming));
        Rig rig;
        rig.fake.environment = {{"LOGS", "D:\\Logs"}};
        const std::string old = c.path ? c.path + std::string(".old") : "";
        const std::string earlier(c.before, 'x');
        if (c.before != 0) {
            rig.fake.AddFile(c.path, earlier);
            rig.fake.AddFile(old, "older");
        }
        if (c.renaming != 0) {
            rig.fake.failingPaths[c.path] = c.renaming;
        }
        rig.fake.failCreate = c.openFails;
        rig.fake.AddFile(kConfig,
                         "[Paths]\r\nPath1=" + kProgram + "\r\n" +
                             (c.value ? "[Options]\r\nLogFile=" + std::string(c.value) + "\r\n" : ""));
        const std::string config = rig.fake.files.at(kConfig).content;
        // The clock moves on while the file is read: each line has the time it was made.
        rig.fake.OnCall("Trace|Loading Settings Start", [&] { rig.fake.now += 1234; });
        rig.fake.OnCall("Trace|" + GetSettingTrace(20, "?"), [&] { rig.fake.now += 60'000; });
        rig.settings.LoadSettings();

        Lines traces = plain.fake.Traces();
        if (c.traced) {
            traces.insert(traces.end() - 1, c.traced);
        }
        EXPECT_EQ(rig.fake.Traces(), traces);
        EXPECT_EQ(rig.fake.files.at(kConfig).content, config);
        EXPECT_EQ(rig.settings.logFile.On(), c.path && !c.traced);
        Lines opened;
        if (c.path) {
            opened.push_back("FileSize|" + std::string(c.path));
            if (c.before > kMiB) {
                opened.push_back("RenameFile|" + std::string(c.path) + "|" + old);
            }
            if (c.renaming == 0 || c.renaming == 32) {
                opened.push_back("AppendTextFile|" + std::string(c.path));
            }
        }
        EXPECT_EQ(rig.fake.Lines({"FileSize", "RenameFile", "AppendTextFile"}), opened);
        if (!c.path || c.traced) {
            EXPECT_TRUE(!c.path || rig.fake.files.count(c.path) == (c.before != 0 ? 1U : 0U));
            continue;
        }
        // The header at the moment of opening, then every line from the first one, each with its own time.
        std::string logged =
            FakePlatform::LogLine(61'234, "ZVK Launchwick " LAUNCHWICK_VERSION ", settings " + kConfig);
        long long at = 0;
        for (const std::string& line : traces) {
            at = line == "Loading Settings Start" ? 1234 : line == GetSettingTrace(20, "?") ? 61'234 : at;
            logged += FakePlatform::LogLine(at, line);
        }
        EXPECT_EQ(rig.fake.files.at(c.path).content, (c.before != 0 && !c.rotated ? earlier : "") + logged);
        EXPECT_EQ(rig.fake.files.count(old) == 1 ? rig.fake.files.at(old).content : "(none)",
                  c.rotated       ? earlier
                  : c.before != 0 ? "older"
                                  : "(none)");
        EXPECT_TRUE(rig.fake.files.at(c.path).open);
    }
}

struct LogWriteFailure {
    const char* name;
    int atWrite;            // the failing write, counted from 1
    std::size_t afterBytes; // bytes that reach the file
    std::size_t lines;      // whole lines in the log afterwards
};

constexpr LogWriteFailure kLogWriteFailures[] = {
    {"the header", 1, std::size_t(-1), 0},
    {"the first early line", 2, std::size_t(-1), 1},
    {"disk full inside the first line", 0, 30, 0},
};

TEST(LoadSettings, AFailedWriteEndsTheLogWithoutAWord) {
    for (const auto& f : kLogWriteFailures) {
        SCOPED_TRACE(f.name);
        Rig rig;
        rig.fake.AddFile(kConfig, "[Paths]\r\nPath1=" + kProgram + "\r\n[Options]\r\nLogFile=x.log\r\n");
        rig.fake.failAtWrite = f.atWrite;
        rig.fake.failAfterBytes = f.afterBytes;
        rig.settings.LoadSettings();
        rig.fake.Trace("a later line");
        EXPECT_FALSE(rig.settings.logFile.On());
        const Lines traces = rig.fake.Traces();
        EXPECT_EQ(traces.back(), "a later line");
        EXPECT_FALSE(rig.Traced("Could not write to C:\\ZVK32\\x.log"));
        const std::string& log = rig.fake.files.at("C:\\ZVK32\\x.log").content;
        EXPECT_EQ(static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n')), f.lines);
        EXPECT_EQ(log.find("a later line"), std::string::npos);
        EXPECT_FALSE(rig.fake.files.at("C:\\ZVK32\\x.log").open);
    }
}

struct StartOptionCase {
    const char* window;  // Window1; nullptr: absent
    const char* startIn; // StartIn1; nullptr: absent
    std::int32_t show;
    const char* folder;              // nullptr: none
    Lines traces;                    // right after "shellPathDelay(0) = 0"
    const char* waitReady = nullptr; // WaitReady1; nullptr: absent
    std::int32_t wait = 0;
    const char* waitNetwork = nullptr; // WaitNetwork1; nullptr: absent
    std::int32_t network = 0;
};

const StartOptionCase kStartOptions[] = {
    {nullptr, nullptr, 1, nullptr, {}},
    {"Normal", nullptr, 1, nullptr, {"shellPathWindow(0) = Normal"}},
    {"nofocus", nullptr, 4, nullptr, {"shellPathWindow(0) = NoFocus"}},
    {"  MINIMIZED  ", nullptr, 7, nullptr, {"shellPathWindow(0) = Minimized"}},
    {"Maximized", nullptr, 3, nullptr, {"shellPathWindow(0) = Maximized"}},
    {"hIdDeN", nullptr, 0, nullptr, {"shellPathWindow(0) = Hidden"}},
    {"", "", 1, nullptr, {}},
    {"   ", "   ", 1, nullptr, {}},
    {"Minimised", nullptr, 1, nullptr, {"Ignoring Window1=Minimised"}},
    {" max ", nullptr, 1, nullptr, {"Ignoring Window1=max"}},
    {"7", nullptr, 1, nullptr, {"Ignoring Window1=7"}},
    {"Normal Minimized", nullptr, 1, nullptr, {"Ignoring Window1=Normal Minimized"}},
    {nullptr, "  D:\\Work  ", 1, "D:\\Work", {"shellPathStartIn(0) = D:\\Work"}},
    {"Hidden", "sub\\dir", 0, "sub\\dir", {"shellPathWindow(0) = Hidden", "shellPathStartIn(0) = sub\\dir"}},
    // Variables: defined (in any letter case), two of them, undefined, a lone %.
    {nullptr,
     "%LocalAppData%\\Chat",
     1,
     "C:\\Users\\me\\AppData\\Local\\Chat",
     {"shellPathStartIn(0) = C:\\Users\\me\\AppData\\Local\\Chat"}},
    {nullptr, "%HOMEDRIVE%%HOMEPATH%", 1, "C:\\Users\\me", {"shellPathStartIn(0) = C:\\Users\\me"}},
    {nullptr, "%NOT_SET%\\x", 1, "%NOT_SET%\\x", {"shellPathStartIn(0) = %NOT_SET%\\x"}},
    {nullptr, "C:\\100%", 1, "C:\\100%", {"shellPathStartIn(0) = C:\\100%"}},
    {nullptr, "%EMPTY%", 1, nullptr, {}},
    // The ready wait: seconds, digits only, 0 or empty off, at most 600.
    {nullptr, nullptr, 1, nullptr, {"shellPathWaitReady(0) = 60"}, "60", 60},
    {nullptr, nullptr, 1, nullptr, {"shellPathWaitReady(0) = 1"}, " 001 ", 1},
    {nullptr, nullptr, 1, nullptr, {"shellPathWaitReady(0) = 600"}, "600", 600},
    {nullptr, nullptr, 1, nullptr, {"shellPathWaitReady(0) = 600"}, "601", 600},
    {nullptr, nullptr, 1, nullptr, {"shellPathWaitReady(0) = 600"}, "99999999999999999999", 600},
    {nullptr, nullptr, 1, nullptr, {}, "0", 0},
    {nullptr, nullptr, 1, nullptr, {}, "", 0},
    {nullptr, nullptr, 1, nullptr, {"Ignoring WaitReady1=-5"}, "-5", 0},
    {nullptr, nullptr, 1, nullptr, {"Ignoring WaitReady1=+5"}, "+5", 0},
    {nullptr, nullptr, 1, nullptr, {"Ignoring WaitReady1=2.5"}, "2.5", 0},
    {nullptr, nullptr, 1, nullptr, {"Ignoring WaitReady1=10 s"}, " 10 s ", 0},
    {nullptr, nullptr, 1, nullptr, {"Ignoring WaitReady1=%WAIT%"}, "%WAIT%", 0}, // no variables here
    // The network wait: read with the same rules, after the ready wait.
    {nullptr, nullptr, 1, nullptr, {"shellPathWaitNetwork(0) = 60"}, nullptr, 0, "60", 60},
    {nullptr, nullptr, 1, nullptr, {"shellPathWaitNetwork(0) = 600"}, nullptr, 0, "601", 600},
    {nullptr, nullptr, 1, nullptr, {}, nullptr, 0, "0", 0},
    {nullptr, nullptr, 1, nullptr, {"Ignoring WaitNetwork1=1m"}, nullptr, 0, " 1m ", 0},
    {nullptr, nullptr, 1, nullptr, {"Ignoring WaitNetwork1=-3"}, nullptr, 0, "-3", 0},
    {"Minimized",
     "C:\\Work",
     7,
     "C:\\Work",
     {"shellPathWindow(0) = Minimized", "shellPathStartIn(0) = C:\\Work", "shellPathWaitReady(0) = 30",
      "shellPathWaitNetwork(0) = 5"},
     "30",
     30,
     "5",
     5},
};

void SetEnvironment(FakePlatform& fake) {
    fake.environment = {{"LOCALAPPDATA", "C:\\Users\\me\\AppData\\Local"},
                        {"HOMEDRIVE", "C:"},
                        {"HOMEPATH", "\\Users\\me"},
                        {"EMPTY", ""},
                        {"ZVK", "C:\\ZVK32"}};
}

// The canonical name and show command of a WindowN value, letter case ignored; the value comes trimmed.
struct WindowStateCase {
    const char* value;
    const char* name; // none: not a state
    std::int32_t showCommand;
};
constexpr WindowStateCase kWindowStates[] = {
    {"normal", "Normal", 1},       {"NOFOCUS", "NoFocus", 4}, {"Minimized", "Minimized", 7},
    {"maximized", "Maximized", 3}, {"HiDdEn", "Hidden", 0},   {"", nullptr, 0},
    {" Normal", nullptr, 0},       {"Normal ", nullptr, 0},   {"Minimised", nullptr, 0},
    {"Min", nullptr, 0},           {"Max", nullptr, 0},       {"Normal1", nullptr, 0},
    {"No Focus", nullptr, 0},      {"1", nullptr, 0},
};

TEST(FindWindowState, NamesTheStateOfAValueAndNoneForAnythingElse) {
    for (const auto& c : kWindowStates) {
        SCOPED_TRACE(c.value);
        const auto state = FindWindowState(c.value);
        EXPECT_EQ(state.has_value(), c.name != nullptr);
        if (state && c.name != nullptr) {
            EXPECT_EQ(state->name, c.name);
            EXPECT_EQ(state->showCommand, c.showCommand);
        }
    }
}

TEST(LoadSettings, ReadsTheStartOptionsOfAnAcceptedProfileRightAfterItsDelay) {
    for (const bool listed : {true, false})
        for (const auto& c : kStartOptions) {
            SCOPED_TRACE(
                std::string(c.window ? c.window : "(absent)") + " / " + (c.startIn ? c.startIn : "(absent)") +
                " / " + (c.waitReady ? c.waitReady : "(absent)") + " / " +
                (c.waitNetwork ? c.waitNetwork : "(absent)") + (listed ? "" : " / key names not listed"));
            Rig rig;
            rig.fake.failProfileKeys = !listed;
            SetEnvironment(rig.fake);
            std::vector<std::pair<std::string, std::string>> keys = {{"Path1", kProgram},
                                                                     {"Path2", "C:\\Gone.exe"}};
            if (c.window) {
                keys.emplace_back("Window1", c.window);
            }
            if (c.startIn) {
                keys.emplace_back("StartIn1", c.startIn);
            }
            if (c.waitReady) {
                keys.emplace_back("WaitReady1", c.waitReady);
            }
            if (c.waitNetwork) {
                keys.emplace_back("WaitNetwork1", c.waitNetwork);
            }
            // The options of a profile that is not accepted are never read.
            keys.emplace_back("Window2", "Bad");
            keys.emplace_back("StartIn2", "%ZVK%");
            keys.emplace_back("WaitReady2", "x");
            rig.WriteIni(keys);
            rig.settings.LoadSettings();
            ASSERT_EQ(rig.settings.shellPathOptions.size(), 1U);
            EXPECT_EQ(rig.settings.shellPathOptions[0].showCommand, c.show);
            EXPECT_EQ(rig.settings.shellPathOptions[0].startIn,
                      c.folder ? std::optional<std::string>(c.folder) : std::nullopt);
            EXPECT_EQ(rig.settings.shellPathOptions[0].waitReady, c.wait);
            EXPECT_EQ(rig.settings.shellPathOptions[0].waitNetwork, c.network);
            const Lines traces = rig.fake.Traces();
            const auto delay = std::find(traces.begin(), traces.end(), "shellPathDelay(0) = 0");
            ASSERT_NE(delay, traces.end());
            Lines expected = c.traces;
            expected.push_back(GetSettingTrace(2, "C:\\Gone.exe"));
            EXPECT_EQ(Lines(delay + 1, delay + 1 + static_cast<std::ptrdiff_t>(expected.size())), expected);
            Lines lookups;
            for (const auto& line : rig.fake.Lines({"Profile"})) {
                lookups.push_back(line.substr(0, line.find("|4096|")));
            }
            // Only the keys the section has are looked up; all of them when the names cannot be listed.
            Lines expectedLookups = {"Profile|Options|ErrorBoxes|", "Profile|Paths|Path1|?",
                                     "Profile|Paths|Delay1|0"};
            for (const auto& [key, value] :
                 {std::pair{"Open1", static_cast<const char*>(nullptr)}, std::pair{"Window1", c.window},
                  std::pair{"StartIn1", c.startIn}, std::pair{"WaitReady1", c.waitReady},
                  std::pair{"WaitNetwork1", c.waitNetwork}}) {
                if (value || rig.fake.failProfileKeys) {
                    expectedLookups.push_back("Profile|Paths|" + std::string(key) + "|");
                }
            }
            expectedLookups.push_back("Profile|Paths|Path2|?");
            EXPECT_EQ(
                Lines(lookups.begin(), lookups.begin() + static_cast<std::ptrdiff_t>(expectedLookups.size())),
                expectedLookups);
            EXPECT_EQ(std::count(lookups.begin(), lookups.end(), "Profile|Paths|Window2|"), 0);
        }
}

std::string GetOpenTrace(int n, const std::string& value) {
    return "GetSetting(" + kConfig + ", \"Paths\", \"Open" + std::to_string(n) + "\", \"?\") = " + value;
}

struct OpenCase {
    const char* path; // Path1; nullptr: absent
    const char* open; // Open1
    Lines traces;     // after Path1's GetSetting line, up to Path2's
    const char* box;  // the value the box shows; nullptr: no box
    bool opened;      // accepted as an entry to open
};

// The trace of Open1 accepted as an entry to open: its value as read, and as it will be used.
Lines Opened(const std::string& value, const std::string& used) {
    return {GetOpenTrace(1, value), "shellPaths(0) = " + used, "shellPathDelay(0) = 0",
            "shellPathOpen(0) = True"};
}

const OpenCase kOpenCases[] = {
    {nullptr, "C:\\ZVK32\\Plan.xlsx", Opened("C:\\ZVK32\\Plan.xlsx", "C:\\ZVK32\\Plan.xlsx"), nullptr, true},
    {"?", " https://status.example.com/board ",
     Opened("https://status.example.com/board", "https://status.example.com/board"), nullptr, true},
    {"", "steam://rungameid/440", Opened("steam://rungameid/440", "steam://rungameid/440"), nullptr, true},
    // Variables, a relative document, a folder: made absolute from the current folder.
    {"  ?  ", "%ZVK%\\Plan.xlsx", Opened("%ZVK%\\Plan.xlsx", "C:\\ZVK32\\Plan.xlsx"), nullptr, true},
    {nullptr, "docs\\a.txt", Opened("docs\\a.txt", "C:\\Users\\me\\docs\\a.txt"), nullptr, true},
    {nullptr, "C:\\ZVK32", Opened("C:\\ZVK32", "C:\\ZVK32"), nullptr, true},
    // Missing: the box with the value, and the profile is skipped. "C:" is a drive, not a scheme.
    {nullptr, "C:\\Docs\\gone.xlsx", {GetOpenTrace(1, "C:\\Docs\\gone.xlsx")}, "C:\\Docs\\gone.xlsx", false},
    {nullptr, "docs\\gone.txt", {GetOpenTrace(1, "docs\\gone.txt")}, "docs\\gone.txt", false},
    {nullptr, "c:a.txt", {GetOpenTrace(1, "c:a.txt")}, "c:a.txt", false},
    {nullptr, "?", {"No valid entry for path 1"}, nullptr, false},
    {nullptr, "%EMPTY%", {GetOpenTrace(1, "%EMPTY%"), "No valid entry for path 1"}, nullptr, false},
    // With a path, the path is used as it always was, and OpenN is said to be ignored only when it is.
    {"C:\\ZVK32\\Parvane.exe",
     "C:\\ZVK32\\Plan.xlsx",
     {"shellPaths(0) = C:\\ZVK32\\Parvane.exe", "shellPathDelay(0) = 0",
      "Ignoring Open1=C:\\ZVK32\\Plan.xlsx"},
     nullptr,
     false},
    {"http://example.com/", "https://example.com/", {}, nullptr, false},
    {"C:\\Missing\\gone.EXE", "https://example.com/", {}, "C:\\Missing\\gone.EXE", false},
};

TEST(LoadSettings, OpensOpenNWhenPathNHasNoValue) {
    for (const auto& c : kOpenCases) {
        SCOPED_TRACE(std::string(c.path ? c.path : "(absent)") + " / " + c.open);
        Rig rig;
        SetEnvironment(rig.fake);
        rig.fake.AddFile("C:\\ZVK32\\Plan.xlsx");
        rig.fake.AddFile("C:\\Users\\me\\docs\\a.txt");
        std::vector<std::pair<std::string, std::string>> keys;
        if (c.path) {
            keys.emplace_back("Path1", c.path);
        }
        keys.emplace_back("Open1", c.open);
        rig.WriteIni(keys);
        rig.settings.LoadSettings();
        const Lines traces = rig.fake.Traces();
        const auto from = std::find_if(traces.begin(), traces.end(), [](const std::string& line) {
            return line.rfind("GetSetting(", 0) == 0;
        });
        const auto to = std::find(traces.begin(), traces.end(), GetSettingTrace(2, "?"));
        ASSERT_TRUE(from != traces.end() && to != traces.end());
        EXPECT_EQ(Lines(from + 1, to), c.traces);
        EXPECT_EQ(rig.fake.Lines({"MessageBox"}),
                  c.box ? Lines{"MessageBox|Error - ZVK Launchwick|" + InvalidPathText(1, c.box)} : Lines{});
        const bool accepted = std::any_of(c.traces.begin(), c.traces.end(), [](const std::string& line) {
            return line.rfind("shellPaths(0)", 0) == 0;
        });
        ASSERT_EQ(rig.settings.shellPathCount, accepted ? 1 : 0);
        if (accepted) {
            EXPECT_EQ(rig.settings.shellPathOptions[0].open, c.opened);
        }
        // OpenN is looked up only when the section has it.
        EXPECT_EQ(
            std::count_if(rig.fake.calls.begin(), rig.fake.calls.end(),
                          [](const std::string& line) { return line.rfind("Profile|Paths|Open2", 0) == 0; }),
            0);
    }
}

struct ExpandCase {
    const char* value; // Path1 as written
    const char* used;  // the path after expansion: stored, or shown in the box
    bool accepted;
};

const ExpandCase kExpands[] = {
    {"%ZVK%\\Parvane.exe /s", "C:\\ZVK32\\Parvane.exe /s", true},
    {"%zvk%\\Parvane.exe %HOMEDRIVE%%HOMEPATH%", "C:\\ZVK32\\Parvane.exe C:\\Users\\me", true},
    {"%LOCALAPPDATA%\\Chat\\chat.exe --tray", "C:\\Users\\me\\AppData\\Local\\Chat\\chat.exe --tray", false},
    {"%NOT_SET%\\Parvane.exe", "%NOT_SET%\\Parvane.exe", false},
    {"C:\\ZVK32\\Parvane.exe 100%", "C:\\ZVK32\\Parvane.exe 100%", true},
    {"%EMPTY%C:\\ZVK32\\Parvane.exe", "C:\\ZVK32\\Parvane.exe", true},
};

TEST(LoadSettings, ExpandsVariablesInThePathAfterItsTraceLine) {
    for (const auto& c : kExpands) {
        SCOPED_TRACE(c.value);
        Rig rig;
        SetEnvironment(rig.fake);
        rig.WriteIni({{"Path1", c.value}});
        rig.settings.LoadSettings();
        EXPECT_TRUE(rig.Traced(GetSettingTrace(1, c.value))); // as written
        EXPECT_EQ(rig.fake.Lines({"Expand"}), Lines{"Expand|" + std::string(c.value)});
        if (c.accepted) {
            EXPECT_EQ(rig.settings.shellPaths, Lines{c.used});
            EXPECT_TRUE(rig.Traced("shellPaths(0) = " + std::string(c.used)));
        } else {
            EXPECT_EQ(rig.fake.Lines({"MessageBox"}),
                      Lines{"MessageBox|Error - ZVK Launchwick|" + InvalidPathText(1, c.used)});
        }
    }
    // Without a % nothing is expanded: the system is not even asked.
    Rig plain;
    plain.WriteIni({{"Path1", kProgram}, {"StartIn1", "C:\\ZVK32"}});
    plain.settings.LoadSettings();
    EXPECT_TRUE(plain.fake.Lines({"Expand"}).empty());
}

TEST(LoadSettings, TwentyProfilesOfSixHundredSecondsAndNothingAboveTwenty) {
    Rig rig;
    std::vector<std::pair<std::string, std::string>> keys;
    for (int n = 1; n <= 22; ++n) {
        keys.emplace_back("Path" + std::to_string(n), kProgram + " /session:" + std::to_string(n));
        keys.emplace_back("Delay" + std::to_string(n), "600");
    }
    rig.WriteIni(keys);
    rig.settings.LoadSettings();
    EXPECT_EQ(rig.settings.shellPathCount, 20);
    EXPECT_EQ(rig.settings.shellPaths.size(), 20U);
    EXPECT_EQ(rig.settings.shellPaths.back(), kProgram + " /session:20");
    EXPECT_EQ(rig.settings.totalDelayCount, 12020);
    for (const auto& line : rig.fake.calls) {
        for (const char* key : {"Path21", "Delay21", "Path22", "Delay22"}) {
            EXPECT_EQ(line.find(key), std::string::npos) << line;
        }
    }
}

TEST(LoadSettings, AbsentFileResetsTheCountsAndReadsNothing) {
    Rig rig;
    rig.settings.shellPathCount = 5;
    rig.settings.totalDelayCount = 9;
    rig.settings.LoadSettings();
    EXPECT_EQ(rig.fake.Traces(),
              (Lines{"Loading Settings Start", "\"" + kConfig + "\" wasn't found", "Loading Settings End"}));
    EXPECT_TRUE(rig.fake.Lines({"Profile"}).empty());
    EXPECT_EQ(rig.settings.shellPathCount, 0);
    EXPECT_EQ(rig.settings.totalDelayCount, 0);
}

TEST(WriteDefaultSettings, WritesThe73LinesThatLoadAsNoProfile) {
    Rig rig;
    rig.settings.WriteDefaultSettings();
    EXPECT_EQ(rig.fake.files.at(kConfig).content, DefaultFileText());
    EXPECT_FALSE(rig.fake.files.at(kConfig).open);
    EXPECT_EQ(rig.fake.Lines({"CreateTextFile", "Close", "Trace"}),
              (Lines{"CreateTextFile|" + kConfig, "Close|" + kConfig}));

    rig.fake.calls.clear();
    rig.settings.LoadSettings();
    EXPECT_EQ(rig.settings.shellPathCount, 0);
    EXPECT_EQ(rig.settings.totalDelayCount, 0);
    for (int n = 1; n <= 20; ++n) {
        EXPECT_TRUE(rig.Traced(GetSettingTrace(n, "?")));
        EXPECT_TRUE(rig.Traced("No valid entry for path " + std::to_string(n)));
    }
}

TEST(WriteDefaultSettings, LeavesAnExistingFileAlone) {
    Rig rig;
    rig.fake.AddFile(kConfig, "mine");
    rig.settings.WriteDefaultSettings();
    EXPECT_EQ(rig.fake.calls, Lines{"FileDateTime|" + kConfig});
    EXPECT_EQ(rig.fake.files.at(kConfig).content, "mine");
}

struct WriteFailure {
    const char* name;
    bool atOpen;
    int atWrite;
    std::size_t afterBytes;
    bool atClose;
};

constexpr WriteFailure kWriteFailures[] = {
    {"open", true, 0, std::size_t(-1), false},          {"first write", false, 1, std::size_t(-1), false},
    {"second write", false, 2, std::size_t(-1), false}, {"disk full after 100 bytes", false, 0, 100, false},
    {"close", false, 0, std::size_t(-1), true},
};

TEST(WriteDefaultSettings, AFailureIsTracedAndKeepsWhatWasWritten) {
    const std::string full = DefaultFileText();
    for (const auto& f : kWriteFailures) {
        SCOPED_TRACE(f.name);
        Rig rig;
        rig.fake.failCreate = f.atOpen;
        rig.fake.failAtWrite = f.atWrite;
        rig.fake.failAfterBytes = f.afterBytes;
        rig.fake.failClose = f.atClose;
        rig.settings.WriteDefaultSettings();
        EXPECT_EQ(rig.fake.Traces(), Lines{"Could not write to " + kConfig});
        EXPECT_TRUE(rig.fake.Lines({"MessageBox"}).empty());
        if (f.atOpen) {
            EXPECT_EQ(rig.fake.files.count(kConfig), 0U);
            continue;
        }
        const auto& file = rig.fake.files.at(kConfig);
        EXPECT_FALSE(file.open);
        EXPECT_EQ(full.compare(0, file.content.size(), file.content), 0)
            << "not a prefix of the default text";
        if (f.afterBytes != std::size_t(-1)) {
            EXPECT_EQ(file.content, full.substr(0, f.afterBytes));
        }
        if (f.atWrite == 1) {
            EXPECT_EQ(file.content, "");
        }
        if (f.atWrite > 1) {
            EXPECT_NE(file.content, "");
            EXPECT_LT(file.content.size(), full.size());
        }
    }
}

// ---- The settings file's encoding ----

// UTF-16 LE bytes of ASCII text.
std::string Le(std::string_view ascii) {
    std::string out;
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

struct EncodingCase {
    const char* name;
    std::string bytes;
    SettingsEncoding encoding;
    std::string copy; // what the system's reader gets through the copy; empty when there is none
};

const std::string kUe = "\xC3\xBC";           // ü in UTF-8
const std::string kLi = "\xE6\x9D\x8E";       // 李
const std::string kClef = "\xF0\x9D\x84\x9E"; // U+1D11E, a surrogate pair in UTF-16
const std::string kMark16 = "\xFF\xFE";

const EncodingCase kEncodingCases[] = {
    {"empty", "", SettingsEncoding::Ansi, ""},
    {"ASCII only", "[Paths]\r\nPath1=C:\\a.exe\r\n", SettingsEncoding::Ansi, ""},
    {"UTF-16 LE mark", kMark16 + Le("[P]"), SettingsEncoding::Utf16Le, ""},
    {"UTF-16 LE mark alone", kMark16, SettingsEncoding::Utf16Le, ""},
    {"UTF-16 BE mark", "\xFE\xFF" + std::string("\0[\0P\x67\x4E", 6), SettingsEncoding::Utf16Be,
     kMark16 + Le("[P") + "\x4E\x67"},
    {"UTF-16 BE mark alone", "\xFE\xFF", SettingsEncoding::Utf16Be, kMark16},
    {"UTF-16 BE, odd last byte", "\xFE\xFF" + std::string("\0a\0", 3), SettingsEncoding::Utf16Be,
     kMark16 + Le("a")},
    {"UTF-8 mark", "\xEF\xBB\xBF[Paths]\r\n", SettingsEncoding::Utf8Mark, kMark16 + Le("[Paths]\r\n")},
    {"UTF-8 mark alone", "\xEF\xBB\xBF", SettingsEncoding::Utf8Mark, kMark16},
    {"UTF-8 mark, ASCII", "\xEF\xBB\xBFx", SettingsEncoding::Utf8Mark, kMark16 + Le("x")},
    {"UTF-8 mark, invalid byte",
     "\xEF\xBB\xBF"
     "a\xFF"
     "b",
     SettingsEncoding::Utf8Mark, kMark16 + Le("a") + "\xFD\xFF" + Le("b")},
    {"UTF-8, two bytes", "P=J" + kUe + "rgen", SettingsEncoding::Utf8,
     kMark16 + Le("P=J") + "\xFC\0"s + Le("rgen")},
    {"UTF-8, three bytes", "P=" + kLi, SettingsEncoding::Utf8, kMark16 + Le("P=") + "\x4E\x67"},
    {"UTF-8, four bytes", kClef, SettingsEncoding::Utf8, kMark16 + "\x34\xD8\x1E\xDD"},
    // The edges of the UTF-16 copy: the last single unit, the first and the last surrogate pair.
    {"UTF-8, U+FFFF", "\xEF\xBF\xBF", SettingsEncoding::Utf8, kMark16 + "\xFF\xFF"},
    {"UTF-8, U+10000", "\xF0\x90\x80\x80", SettingsEncoding::Utf8, kMark16 + "\0\xD8\0\xDC"s},
    {"UTF-8, U+10FFFF", "\xF4\x8F\xBF\xBF", SettingsEncoding::Utf8, kMark16 + "\xFF\xDB\xFF\xDF"},
    {"UTF-8 late, after 1,800 ASCII bytes", std::string(1800, 'a') + kUe, SettingsEncoding::Utf8,
     kMark16 + Le(std::string(1800, 'a')) + "\xFC\0"s},
    {"ANSI ü", "J\xFCrgen", SettingsEncoding::Ansi, ""},
    // A lead byte followed by a high byte that is not a continuation byte.
    {"ANSI ÆØ", "\xC6\xD8", SettingsEncoding::Ansi, ""},
    {"ANSI ÉÈ", "CAF\xC9\xC8", SettingsEncoding::Ansi, ""},
    {"valid UTF-8, then one ANSI byte late", kUe + std::string(1800, 'a') + "\xE9", SettingsEncoding::Ansi,
     ""},
    {"cut sequence at the end", "a" + kLi.substr(0, 2), SettingsEncoding::Ansi, ""},
    {"overlong slash", "\xC0\xAF", SettingsEncoding::Ansi, ""},
    {"overlong three bytes", "\xE0\x80\xAF", SettingsEncoding::Ansi, ""},
    {"overlong three bytes, the highest", "\xE0\x9F\xBF", SettingsEncoding::Ansi, ""},
    {"overlong four bytes, the highest", "\xF0\x8F\xBF\xBF", SettingsEncoding::Ansi, ""},
    {"surrogate", "\xED\xA0\x80", SettingsEncoding::Ansi, ""},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", SettingsEncoding::Ansi, ""},
    {"F5 lead", "\xF5\x80\x80\x80", SettingsEncoding::Ansi, ""},
    {"lone continuation", "a\x80", SettingsEncoding::Ansi, ""},
    {"lone 0x80, then UTF-8", "\x80" + kUe, SettingsEncoding::Ansi, ""},
    {"UTF-8 mark, lone 0x80", "\xEF\xBB\xBF\x80", SettingsEncoding::Utf8Mark, kMark16 + "\xFD\xFF"},
    {"NUL bytes only", std::string(4, '\0'), SettingsEncoding::Ansi, ""},
};

TEST(SettingsEncoding, DecidedFromTheWholeFile) {
    for (const auto& c : kEncodingCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SettingsFileEncoding(c.bytes), c.encoding);
        EXPECT_EQ(NeedsUnicodeCopy(c.encoding), !c.copy.empty());
        if (!c.copy.empty()) {
            EXPECT_EQ(Utf16LeCopy(c.bytes, c.encoding), c.copy);
        }
    }
}

// The same settings in each encoding: through a copy where one is needed, with the same trace stream as
// the file itself would give and the copy gone afterwards.
TEST(LoadSettings, ReadsEachEncodingThroughTheSystemsReader) {
    const std::string accented = "C:\\Users\\J" + kUe + "rgen\\app.exe";
    const std::string cjk = "C:\\Tools\\" + kLi + "\\app.exe";
    const std::string text = "[Paths]\r\nPath1=" + accented + " -x\r\nDelay2=3\r\nPath2=" + cjk + " /y \"" +
                             kLi + "\"\r\nPath3=C:\\Tools\\" + kLi + "\\gone.exe\r\n";
    const std::string utf16 = Utf16LeCopy(text, SettingsEncoding::Utf8);
    std::string be = "\xFE\xFF";
    for (std::size_t i = 2; i < utf16.size(); i += 2) {
        be += utf16.substr(i + 1, 1) + utf16.substr(i, 1);
    }
    const std::pair<const char*, std::string> files[] = {
        {"UTF-8", text}, {"UTF-8 mark", "\xEF\xBB\xBF" + text}, {"UTF-16 LE", utf16}, {"UTF-16 BE", be}};
    Lines expectedTraces;
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        Rig rig;
        rig.fake.AddFile(accented);
        rig.fake.AddFile(cjk);
        rig.fake.AddFile(kConfig, bytes);
        rig.settings.LoadSettings();
        EXPECT_EQ(rig.settings.shellPaths, (Lines{accented + " -x", cjk + " /y \"" + kLi + "\""}));
        EXPECT_EQ(rig.settings.shellPathDelay, (std::vector<std::int32_t>{0, 3}));
        EXPECT_EQ(rig.fake.Lines({"MessageBox"}),
                  Lines{"MessageBox|Error - ZVK Launchwick|" +
                        InvalidPathText(3, "C:\\Tools\\" + kLi + "\\gone.exe")});
        if (expectedTraces.empty()) {
            expectedTraces = rig.fake.Traces();
            EXPECT_EQ(expectedTraces.at(1), kConfig + "ZVKLaunchwick.ini found");
            EXPECT_EQ(expectedTraces.at(2), GetSettingTrace(1, accented + " -x"));
        }
        EXPECT_EQ(rig.fake.Traces(), expectedTraces);
        // Every profile call reads one file: the copy, or the file itself for UTF-16 LE.
        const bool copied = name != std::string("UTF-16 LE");
        const std::string copy = rig.fake.tempFolder + "lw1.ini";
        for (const auto& line : rig.fake.Lines({"Profile"})) {
            EXPECT_TRUE(line.ends_with("|4096|" + (copied ? copy : kConfig))) << line;
        }
        EXPECT_EQ(rig.fake.Lines({"ReadFile", "CreateTempFile", "RemoveFile"}),
                  copied ? (Lines{"ReadFile|" + kConfig, "CreateTempFile|.ini", "RemoveFile|" + copy})
                         : Lines{"ReadFile|" + kConfig});
        EXPECT_EQ(rig.fake.files.count(copy), 0U);
        EXPECT_EQ(rig.fake.files.at(kConfig).content, bytes) << "the settings file was written";
    }
}

// An ASCII or ANSI file, or one that cannot be read, makes no copy and reads as before.
TEST(LoadSettings, AnAnsiFileIsReadAsItIs) {
    for (const std::string& bytes : {std::string("[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe\r\n"),
                                     std::string("[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe -\xFC\r\n")}) {
        Rig rig;
        rig.fake.AddFile(kConfig, bytes);
        rig.settings.LoadSettings();
        EXPECT_EQ(rig.settings.shellPathCount, 1);
        EXPECT_EQ(rig.fake.Lines({"ReadFile", "CreateTempFile", "RemoveFile"}), Lines{"ReadFile|" + kConfig});
        EXPECT_EQ(rig.fake.Lines({"Profile"}).size(), 25U); // 20 paths, a delay, 4 options
        EXPECT_EQ(rig.fake.Lines({"Profile"}).back(), "Profile|Options|LogFile||4096|" + kConfig);
    }
}

TEST(LoadSettings, ACopyThatCannotBeMadeIsSaidAndTheFileReadAsAnsi) {
    for (const auto& f : kWriteFailures) {
        if (f.atWrite > 1) {
            continue; // the copy is written at once
        }
        SCOPED_TRACE(f.name);
        Rig rig;
        // Longer than 100 bytes as a copy.
        rig.fake.AddFile(kConfig, "[Instructions]\r\n" + std::string(60, 'x') +
                                      "\r\n[Paths]\r\nPath1=C:\\ZVK32\\Parvane.exe -" + kUe + "\r\n");
        rig.fake.failCreateTemp = f.atOpen;
        rig.fake.failAtWrite = f.atWrite;
        rig.fake.failAfterBytes = f.afterBytes;
        rig.fake.failClose = f.atClose;
        rig.settings.LoadSettings();
        const Lines traces = rig.fake.Traces();
        ASSERT_GE(traces.size(), 4U);
        EXPECT_EQ(traces[1], kConfig + "ZVKLaunchwick.ini found");
        EXPECT_EQ(traces[2], "Could not read " + kConfig + " as Unicode");
        EXPECT_EQ(traces[3], GetSettingTrace(1, "C:\\ZVK32\\Parvane.exe -" + kUe));
        EXPECT_EQ(rig.fake.Lines({"Profile"}).at(1), "Profile|Paths|Path1|?|4096|" + kConfig);
        EXPECT_EQ(rig.settings.shellPathCount, 1);
        // Nothing of a copy is left behind, and only the settings file and the programs remain.
        for (const auto& [path, file] : rig.fake.files) {
            EXPECT_EQ(path.rfind(rig.fake.tempFolder, 0), std::string::npos) << path;
        }
    }
}

} // namespace
} // namespace launchwick
