// The command launcher and the browser opener: how a command line is split, which folder it gets,
// the fallback start, the 16-bit position limits, and the browser lookup through a temporary file.
#include "Shell_Library.h"

#include "FakePlatform.h"
#include "Paths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace launchwick {
namespace {

using test::FakePlatform;
using Lines = std::vector<std::string>;

struct PlanCase {
    const char* commandLine;
    const char* givenFolder; // nullptr: none given
    bool web;
    const char* address;     // web address only
    const char* changedLine; // the caller's command line afterwards
    const char* program;
    const char* parameters;
    const char* folder; // nullptr: the process's current folder
};

constexpr PlanCase kPlans[] = {
    // The worked examples, as the sequence passes them (wrapped in quotes unless they start with one).
    {"\"C:\\ZVK32\\Parvane.exe /session:1\"", nullptr, false, "", "C:\\ZVK32\\Parvane.exe /session:1",
     "C:\\ZVK32\\Parvane.exe /session:1", "", "C:\\ZVK32"},
    {"\"C:\\Program Files\\Tools\\report.exe\" -min", nullptr, false, "",
     "C:\\Program Files\\Tools\\report.exe -min", "C:\\Program Files\\Tools\\report.exe", "-min",
     "C:\\Program Files\\Tools"},
    {"\"D:\\report.exe\"", nullptr, false, "", "D:\\report.exe", "D:\\report.exe", "", "D:\\"},
    {"\"report.exe\"", nullptr, false, "", "report.exe", "report.exe", "", nullptr},
    // Web addresses: "HTTP://" at character 1 or 2, every double quote removed from the copy.
    {"\"http://example.com/a\"", nullptr, true, "http://example.com/a", "\"http://example.com/a\"", "", "",
     nullptr},
    {"xhttp://a.example", nullptr, true, "xhttp://a.example", "xhttp://a.example", "", "", nullptr},
    {" HTTP://A.example/", nullptr, true, " HTTP://A.example/", " HTTP://A.example/", "", "", nullptr},
    {"\"http://a.example/?q=\"x\"\"", nullptr, true, "http://a.example/?q=x", "\"http://a.example/?q=\"x\"\"",
     "", "", nullptr},
    // Not web addresses.
    {"ab http://a.example", nullptr, false, "", "ab http://a.example", "ab", "http://a.example", nullptr},
    {"abhttp://a.example", nullptr, false, "", "abhttp://a.example", "abhttp://a.example", "", nullptr},
    {"  http://a.example", nullptr, false, "", "  http://a.example", "", "http://a.example", nullptr},
    {"\"https://a.example/\"", nullptr, false, "", "https://a.example/", "https://a.example/", "", nullptr},
    // Quotes.
    {"\"C:\\Tools\\app.exe -x", nullptr, false, "", "\"C:\\Tools\\app.exe -x", "\"C:\\Tools\\app.exe -x", "",
     "\"C:\\Tools"},
    {"\"C:\\a.exe\"-x", nullptr, false, "", "C:\\a.exe-x", "C:\\a.exe", "-x", "C:\\"},
    {"C:\\a.exe \"x y\"", nullptr, false, "", "C:\\a.exe \"x y\"", "C:\\a.exe", "\"x y\"", "C:\\"},
    {"\"C:\\T\\a.exe\" \"x\" y", nullptr, false, "", "C:\\T\\a.exe \"x\" y", "C:\\T\\a.exe", "\"x\" y",
     "C:\\T"},
    // Only the program part is searched for a backslash, and only the backslash separates.
    {"\"app.exe\" /dir:C:\\x", nullptr, false, "", "app.exe /dir:C:\\x", "app.exe", "/dir:C:\\x", nullptr},
    {"app.exe C:\\x\\y", nullptr, false, "", "app.exe C:\\x\\y", "app.exe", "C:\\x\\y", nullptr},
    {"\"app.exe /d:C:\\x\\y\"", nullptr, false, "", "app.exe /d:C:\\x\\y", "app.exe /d:C:\\x\\y", "",
     "app.exe /d:C:\\x"},
    {"C:/Tools/a.exe", nullptr, false, "", "C:/Tools/a.exe", "C:/Tools/a.exe", "", nullptr},
    {"C:\\Program Files\\a.exe", nullptr, false, "", "C:\\Program Files\\a.exe", "C:\\Program",
     "Files\\a.exe", "C:\\"},
    // Roots keep their backslash.
    {"\\a.exe -x", nullptr, false, "", "\\a.exe -x", "\\a.exe", "-x", "\\"},
    {"\"\\Tools\\a.exe\"", nullptr, false, "", "\\Tools\\a.exe", "\\Tools\\a.exe", "", "\\Tools"},
    {"C:\\a.exe", nullptr, false, "", "C:\\a.exe", "C:\\a.exe", "", "C:\\"},
    // A given folder is used unchanged.
    {"\"C:\\Tools\\a.exe\"", "D:\\work", false, "", "C:\\Tools\\a.exe", "C:\\Tools\\a.exe", "", "D:\\work"},
    {"C:\\Tools\\a.exe", "", false, "", "C:\\Tools\\a.exe", "C:\\Tools\\a.exe", "", ""},
    // Parameters lose leading spaces only.
    {"a.exe    -x \t ", nullptr, false, "", "a.exe    -x \t ", "a.exe", "-x \t ", nullptr},
    {"a.exe \t-x", nullptr, false, "", "a.exe \t-x", "a.exe", "\t-x", nullptr},
    // Only a space ends an unquoted program name, not a tab.
    {"a.exe\t-x y", nullptr, false, "", "a.exe\t-x y", "a.exe\t-x", "y", nullptr},
    {"\"a.exe\"   -x  ", nullptr, false, "", "a.exe   -x  ", "a.exe", "-x  ", nullptr},
    {" a.exe", nullptr, false, "", " a.exe", "", "a.exe", nullptr},
};

TEST(PlanShellRun, SplitsProgramParametersAndFolder) {
    for (const auto& c : kPlans) {
        SCOPED_TRACE(c.commandLine);
        const auto given = c.givenFolder ? std::optional<std::string>(c.givenFolder) : std::nullopt;
        const ShellRunPlan plan = PlanShellRun(c.commandLine, given);
        EXPECT_EQ(plan.webAddress, c.web);
        EXPECT_EQ(plan.commandLine, c.changedLine);
        if (c.web) {
            EXPECT_EQ(plan.address, c.address);
            continue;
        }
        EXPECT_EQ(plan.program, c.program);
        EXPECT_EQ(plan.parameters, c.parameters);
        EXPECT_EQ(plan.workingFolder, c.folder ? std::optional<std::string>(c.folder) : std::nullopt);
    }
}

// Command lines of the given length made of 'a', with the given text in front or behind.
std::string As(std::size_t count) {
    return std::string(count, 'a');
}

struct LimitCase {
    const char* name;
    std::string commandLine;
    bool fits;
};

TEST(PlanShellRun, PositionsMustFitSixteenBits) {
    const LimitCase cases[] = {
        {"first space at 32767", As(32766) + " x", true},
        {"first space at 32768", As(32767) + " x", false},
        {"closing quote at 32766", "\"" + As(32764) + "\" x", true},
        {"closing quote at 32767", "\"" + As(32765) + "\" x", false},
        {"32766 characters, no space", As(32766), true},
        {"32767 characters, no space", As(32767), false},
        {"unclosed quote, 32766 characters", "\"" + As(32765), true},
        {"unclosed quote, 32767 characters", "\"" + As(32766), false},
        {"long, but the first space is early", "a b" + As(40000), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fits) {
            EXPECT_NO_THROW(PlanShellRun(c.commandLine, std::nullopt));
        } else {
            EXPECT_THROW(PlanShellRun(c.commandLine, std::nullopt), StatementError);
        }
    }
    const auto plan = PlanShellRun(As(32766) + " x", std::nullopt);
    EXPECT_EQ(plan.program, As(32766));
    EXPECT_EQ(plan.parameters, "x");
}

struct AbsoluteCase {
    const char* path;
    const char* folder;
    bool absolute;
    const char* result;
    const char* full; // FullPath: the same, in its one spelling
};

constexpr AbsoluteCase kAbsolutes[] = {
    {"C:\\x\\a.exe", "D:\\work", true, "C:\\x\\a.exe", "C:\\x\\a.exe"},
    {"C:/x/a.exe", "D:\\work", true, "C:/x/a.exe", "C:\\x\\a.exe"},
    {"C:a.exe", "D:\\work", true, "C:a.exe", "C:a.exe"},
    {"\\\\server\\share\\a.exe", "D:\\work", true, "\\\\server\\share\\a.exe", "\\\\server\\share\\a.exe"},
    {"a.exe", "D:\\work", false, "D:\\work\\a.exe", "D:\\work\\a.exe"},
    {"sub\\a.exe", "D:\\", false, "D:\\sub\\a.exe", "D:\\sub\\a.exe"},
    {"..\\a.exe", "D:\\work\\", false, "D:\\work\\..\\a.exe", "D:\\a.exe"},
    {"\\Tools\\a.exe", "D:\\work", false, "D:\\Tools\\a.exe", "D:\\Tools\\a.exe"},
    {"/Tools/a.exe", "D:\\work", false, "D:/Tools/a.exe", "D:\\Tools\\a.exe"},
    {"\\Tools", "\\\\server\\share\\dir", false, "\\\\server\\share\\Tools", "\\\\server\\share\\Tools"},
    {"\\Tools", "\\\\server\\share", false, "\\\\server\\share\\Tools", "\\\\server\\share\\Tools"},
    {"//server/share/dir", "D:\\work", true, "//server/share/dir", "\\\\server\\share\\dir"},
    {"a.exe", "\\\\server\\share", false, "\\\\server\\share\\a.exe", "\\\\server\\share\\a.exe"},
    {"", "D:\\work", false, "D:\\work\\", "D:\\work"},
    {"a\\..\\..\\b.log", "", false, "a\\..\\..\\b.log", "b.log"},
    {"\\\\server\\share\\..\\..\\x.log", "C:\\", true, "\\\\server\\share\\..\\..\\x.log",
     "\\\\server\\share\\x.log"},
};

TEST(AbsolutePath, TakesARelativePathFromTheFolder) {
    for (const auto& c : kAbsolutes) {
        SCOPED_TRACE(std::string(c.path) + " in " + c.folder);
        EXPECT_EQ(IsAbsolutePath(c.path), c.absolute);
        EXPECT_EQ(AbsolutePath(c.path, c.folder), c.result);
        EXPECT_EQ(FullPath(c.path, c.folder), c.full);
    }
}

struct LinkCase {
    const char* text;
    bool link;
};

constexpr LinkCase kLinks[] = {
    {"https://x", true},
    {"HTTP://x", true},
    {"steam://run/1", true},
    {"ms-settings:display", true},
    {"mailto:a@b", true},
    {"x+y.z-1:q", true},
    {"ab:", true},
    {"C:\\x.txt", false},
    {"c:x.txt", false},
    {"\\\\srv\\share\\x.txt", false},
    {"a:b", false}, // one letter: a drive
    {"1abc:x", false},
    {"+ab:x", false},
    {"a b:x", false},
    {"a_b:x", false},
    {"docs\\a.txt", false},
    {":x", false},
    {"", false},
};

TEST(IsLink, ABeginningSchemeOfTwoCharactersOrMoreAndAColon) {
    for (const auto& c : kLinks) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsLink(c.text), c.link);
    }
}

struct Rig {
    FakePlatform fake;
    Shell_Library shell{fake};
    void Run(std::string& commandLine, std::int32_t style = 1,
             const std::optional<std::string>& folder = std::nullopt) {
        shell.ShellRun(commandLine, style, folder);
    }
    // The code of the StartError thrown, 0 for none.
    std::uint32_t RunCode(std::string& commandLine, std::int32_t style = 1,
                          const std::optional<std::string>& folder = std::nullopt) {
        try {
            Run(commandLine, style, folder);
        } catch (const StartError& failure) {
            return failure.code;
        }
        return 0;
    }
};

struct FallbackCase {
    ShellAnswer answer;
    bool fallback;
};

// Whatever the shell's reason for a refusal, the fallback runs.
constexpr FallbackCase kFallbacks[] = {
    {{false, 8}, true}, {{false, fileNotFoundError}, true}, {{false, 1155}, true}, {{true, 0}, false}};

TEST(ShellRun, FallsBackToTheCommandLineAsItNowStandsWhenRefused) {
    for (const auto& [answer, fallback] : kFallbacks) {
        SCOPED_TRACE(answer.code);
        Rig rig;
        rig.fake.AddFile("C:\\ZVK32\\Parvane.exe");
        rig.fake.shellExecuteAnswer = answer;
        std::string commandLine = "\"C:\\ZVK32\\Parvane.exe\" /session:1";
        rig.Run(commandLine, 7);
        Lines expected = {"ShellExecute|None|(null)|C:\\ZVK32\\Parvane.exe|/session:1|C:\\ZVK32|7"};
        if (fallback) {
            expected.push_back("IsFile|C:\\ZVK32\\Parvane.exe");
            expected.push_back("StartProgram|C:\\ZVK32\\Parvane.exe|/session:1|(null)|7");
        }
        EXPECT_EQ(rig.fake.calls, expected);
        EXPECT_EQ(commandLine, "C:\\ZVK32\\Parvane.exe /session:1");
    }
}

struct ResolveCase {
    const char* entry; // as the sequence passes it: wrapped in quotes
    std::vector<std::string> files;
    std::vector<std::string> folders;
    const char* program; // nullptr: nothing may start, the start fails as for a missing program; else made
                         // absolute against the current folder
    const char* parameters;
};

// The fallback runs the shortest leading part that ends in ".exe", is followed by a space, a tab or the
// end, and is an existing file; never a program that the system's search through the spaces would find.
const ResolveCase kResolves[] = {
    {"\"C:\\ZVK32\\Parvane.exe /session:1\"",
     {"C:\\ZVK32\\Parvane.exe"},
     {},
     "C:\\ZVK32\\Parvane.exe",
     "/session:1"},
    {"\"C:\\Apps\\d.exe\\tool.exe -z\"",
     {"C:\\Apps\\d.exe\\tool.exe"},
     {"C:\\Apps\\d.exe"},
     "C:\\Apps\\d.exe\\tool.exe",
     "-z"},
    {"\"C:\\x.exe.bak\\y.exe -a\"", {"C:\\x.exe", "C:\\x.exe.bak\\y.exe"}, {}, "C:\\x.exe.bak\\y.exe", "-a"},
    {"\"C:\\A B\\x.EXE\"", {"C:\\A B\\x.EXE"}, {}, "C:\\A B\\x.EXE", ""},
    {"\"C:\\Apps\\My Tools\\app.exe -x\"",
     {"C:\\Apps\\My.exe", "C:\\Apps\\My Tools\\app.exe"},
     {},
     "C:\\Apps\\My Tools\\app.exe",
     "-x"},
    {"\"C:\\Apps\\My Tools\\app.exe -x\"", {"C:\\Apps\\My.exe"}, {}, nullptr, nullptr},
    {"\"C:\\Program Files\\Tools\\x.exe -a\"", {"C:\\Program.exe"}, {}, nullptr, nullptr},
    // A tab ends the program too; spaces and tabs before the arguments go, those inside and after stay.
    {"\"C:\\T\\a.exe\t-x\"", {"C:\\T\\a.exe"}, {}, "C:\\T\\a.exe", "-x"},
    {"\"C:\\T\\a.exe \t -x \ty \"", {"C:\\T\\a.exe"}, {}, "C:\\T\\a.exe", "-x \ty "},
    // The shortest qualifying part wins; a folder named like a program does not qualify.
    {"\"C:\\A\\b.exe c.exe -q\"", {"C:\\A\\b.exe", "C:\\A\\b.exe c.exe"}, {}, "C:\\A\\b.exe", "c.exe -q"},
    {"\"C:\\d.exe x\\y.exe -a\"", {"C:\\d.exe x\\y.exe"}, {"C:\\d.exe"}, "C:\\d.exe x\\y.exe", "-a"},
    {"\"bare.exe -x\"", {"bare.exe"}, {}, "C:\\Users\\me\\bare.exe", "-x"},
    {"\"\\Tools\\r.exe -x\"", {"\\Tools\\r.exe"}, {}, "C:\\Tools\\r.exe", "-x"},
    // No program at all: not an .exe, or a quote that the settings reader would never have accepted.
    {"\"C:\\T\\run.bat -x\"", {"C:\\T\\run.bat"}, {}, nullptr, nullptr},
    {"\"C:\\T\\a.exe -x", {"C:\\T\\a.exe"}, {}, nullptr, nullptr},
};

TEST(ShellRun, TheFallbackStartsOnlyTheNamedProgram) {
    for (const auto& c : kResolves) {
        SCOPED_TRACE(c.entry);
        Rig rig;
        rig.fake.shellExecuteAnswer = {false, fileNotFoundError};
        for (const auto& file : c.files) {
            rig.fake.AddFile(file);
        }
        for (const auto& folder : c.folders) {
            rig.fake.AddFolder(folder);
        }
        std::string commandLine = c.entry;
        const std::uint32_t code = rig.RunCode(commandLine);
        const Lines starts = rig.fake.Lines({"StartProgram", "StartCommandLine"});
        if (c.program == nullptr) {
            EXPECT_EQ(code, fileNotFoundError);
            EXPECT_EQ(starts, Lines{});
        } else {
            EXPECT_EQ(code, 0U);
            EXPECT_EQ(starts,
                      Lines{"StartProgram|" + std::string(c.program) + "|" + c.parameters + "|(null)|1"});
        }
    }
}

constexpr ShellAnswer kStarted{true, 0};
constexpr ShellAnswer kRefused{false, fileNotFoundError};

struct StartInCase {
    const char* name;
    const char* entry;
    const char* startIn; // nullptr: none given
    std::int32_t style;
    ShellAnswer shellExecute;
    Lines calls;        // IsFolder, ShellExecute, IsFile and StartProgram, in order
    std::uint32_t code; // the StartError thrown, 0 for none
};

// A start-in folder is checked at the start, taken from the current folder when relative, and given to both
// kinds of start; a relative program is then taken from the current folder, never from the start-in folder.
const StartInCase kStartIns[] = {
    {"none: the program's folder",
     "\"C:\\Tools\\a.exe\"",
     nullptr,
     1,
     kStarted,
     {"ShellExecute|None|(null)|C:\\Tools\\a.exe||C:\\Tools|1"},
     0},
    {"none: a bare name gets the current folder",
     "\"report.exe\"",
     nullptr,
     1,
     kStarted,
     {"ShellExecute|None|(null)|C:\\Users\\me\\report.exe||C:\\Users\\me|1"},
     0},
    // Without arguments a relative program goes by the path that was checked, never looked for elsewhere:
    // gone by its turn, it fails.
    {"none: gone by its turn",
     "\"tools\\report.exe\"",
     nullptr,
     1,
     kRefused,
     {"ShellExecute|None|(null)|C:\\Users\\me\\tools\\report.exe||tools|1", "IsFile|tools\\report.exe"},
     fileNotFoundError},
    {"none: with arguments it stays as written",
     "\"tools\\a.exe\" -x",
     nullptr,
     1,
     kStarted,
     {"ShellExecute|None|(null)|tools\\a.exe|-x|tools|1"},
     0},
    {"given",
     "C:\\Tools\\a.exe -x",
     "D:\\work",
     4,
     kStarted,
     {"IsFolder|D:\\work", "ShellExecute|None|(null)|C:\\Tools\\a.exe|-x|D:\\work|4"},
     0},
    {"missing at the start",
     "\"C:\\Tools\\a.exe\"",
     "D:\\gone",
     1,
     kStarted,
     {"IsFolder|D:\\gone"},
     directoryError},
    {"relative",
     "\"C:\\Tools\\a.exe\"",
     "sub",
     1,
     kStarted,
     {"IsFolder|C:\\Users\\me\\sub", "ShellExecute|None|(null)|C:\\Tools\\a.exe||C:\\Users\\me\\sub|1"},
     0},
    {"from the root",
     "\"C:\\Tools\\a.exe\"",
     "\\work",
     1,
     kStarted,
     {"IsFolder|C:\\work", "ShellExecute|None|(null)|C:\\Tools\\a.exe||C:\\work|1"},
     0},
    {"a bare program stays the current folder's",
     "\"tool.exe\"",
     "D:\\work",
     0,
     kStarted,
     {"IsFolder|D:\\work", "ShellExecute|None|(null)|C:\\Users\\me\\tool.exe||D:\\work|0"},
     0},
    {"the fallback gets it too",
     "\"tool.exe -tray\"",
     "D:\\work",
     7,
     kRefused,
     {"IsFolder|D:\\work", "ShellExecute|None|(null)|C:\\Users\\me\\tool.exe -tray||D:\\work|7",
      "IsFile|tool.exe", "StartProgram|C:\\Users\\me\\tool.exe|-tray|D:\\work|7"},
     0},
    {"the fallback without one",
     "\"C:\\Tools\\a.exe -x y\"",
     nullptr,
     3,
     kRefused,
     {"ShellExecute|None|(null)|C:\\Tools\\a.exe -x y||C:\\Tools|3", "IsFile|C:\\Tools\\a.exe",
      "StartProgram|C:\\Tools\\a.exe|-x y|(null)|3"},
     0},
    {"missing: the fallback does not run either",
     "\"tool.exe -tray\"",
     "D:\\gone",
     7,
     kRefused,
     {"IsFolder|D:\\gone"},
     directoryError},
    // A fallback start that fails passes its code on to the caller.
    {"the fallback fails",
     "\"C:\\Apps\\admin.exe -q\"",
     nullptr,
     1,
     kRefused,
     {"ShellExecute|None|(null)|C:\\Apps\\admin.exe -q||C:\\Apps|1", "IsFile|C:\\Apps\\admin.exe",
      "StartProgram|C:\\Apps\\admin.exe|-q|(null)|1"},
     740},
    // A web address has no start-in folder; its window state reaches the browser's start.
    {"web address",
     "\"http://a.example/\"",
     "D:\\gone",
     7,
     kStarted,
     {"ShellExecute|Splash|open|C:\\Browser\\browser.exe|http://a.example/|(null)|7"},
     0},
};

TEST(ShellRun, ChecksAndUsesTheStartInFolder) {
    for (const auto& c : kStartIns) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.fake.shellExecuteAnswer = c.shellExecute;
        for (const char* folder : {"D:\\work", "C:\\Users\\me\\sub", "C:\\work"}) {
            rig.fake.AddFolder(folder);
        }
        for (const char* file : {"C:\\Tools\\a.exe", "tool.exe", "C:\\Apps\\admin.exe"}) {
            rig.fake.AddFile(file);
        }
        rig.fake.startErrors = {{"C:\\Apps\\admin.exe", 740}};
        std::string commandLine = c.entry;
        EXPECT_EQ(
            rig.RunCode(commandLine, c.style,
                        c.startIn ? std::optional<std::string>(c.startIn) : std::optional<std::string>()),
            c.code);
        EXPECT_EQ(rig.fake.Lines({"IsFolder", "ShellExecute", "IsFile", "StartProgram"}), c.calls);
    }
}

TEST(ShellRun, AnOverflowStartsAndChangesNothing) {
    Rig rig;
    std::string commandLine = "\"" + As(32765) + "\" x";
    const std::string before = commandLine;
    EXPECT_THROW(rig.Run(commandLine), StatementError);
    EXPECT_EQ(commandLine, before);
    EXPECT_TRUE(rig.fake.calls.empty());
}

TEST(ShellRun, HandsAWebAddressToTheBrowserAndKeepsTheCallersText) {
    Rig rig;
    std::string commandLine = "\"http://example.com/\"";
    rig.Run(commandLine);
    EXPECT_EQ(commandLine, "\"http://example.com/\"");
    EXPECT_EQ(rig.fake.Lines({"ShellExecute", "StartCommandLine"}),
              Lines{"ShellExecute|Splash|open|C:\\Browser\\browser.exe|http://example.com/|(null)|1"});
}

const std::string kTemp = "C:\\Users\\me\\AppData\\Local\\Temp\\lw1.HTM";

TEST(ShellBrowse, OpensTheAssociatedBrowserThroughATemporaryPage) {
    Rig rig;
    std::string written;
    rig.fake.OnCall("FindExecutable", [&] { written = rig.fake.files.at(kTemp).content; });
    rig.shell.ShellBrowse("http://a.example/x y");
    EXPECT_EQ(written, "\"<HTML> <\\HTML>\"\r\n");
    EXPECT_EQ(written.size(), 18U);
    EXPECT_EQ(rig.fake.calls,
              (Lines{"CreateTempFile|.HTM", "Close|" + kTemp, "FindExecutable|" + kTemp,
                     "ShellExecute|Splash|open|C:\\Browser\\browser.exe|http://a.example/x y|(null)|1",
                     "RemoveFile|" + kTemp}));
    EXPECT_EQ(rig.fake.files.count(kTemp), 0U);
}

struct BrowseCase {
    const char* name;
    ShellAnswer found;
    ShellAnswer started;
    bool box;
    bool opened;
    bool boxesOff = false; // ErrorBoxes=Off: the box is a trace line
};

constexpr BrowseCase kBrowseCases[] = {
    {"found", {true, 0}, {true, 0}, false, true},
    {"refused start is silent", {true, 0}, {false, fileNotFoundError}, false, true},
    {"no association", {false, 1155}, {true, 0}, true, false},
    {"not found", {false, fileNotFoundError}, {true, 0}, true, false},
    {"not found, boxes off", {false, fileNotFoundError}, {true, 0}, true, false, true},
    {"found, boxes off", {true, 0}, {true, 0}, false, true, true},
};

TEST(ShellBrowse, TellsTheUserOnlyWhenNoBrowserIsFoundAndAlwaysRemovesThePage) {
    for (const auto& c : kBrowseCases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.fake.findExecutableAnswer = c.found;
        rig.fake.shellExecuteAnswer = c.started;
        rig.fake.SetConfigurationBoxes(!c.boxesOff);
        rig.shell.ShellBrowse("http://a.example/");
        const Lines told = {(c.boxesOff ? "Trace|Browser Error: " : "MessageBox|Browser Error|") +
                            std::string("Could not open browser")};
        EXPECT_EQ(rig.fake.Lines({"MessageBox", "Trace"}), c.box ? told : Lines{});
        EXPECT_EQ(rig.fake.Lines({"ShellExecute"}).size(), c.opened ? 1U : 0U);
        EXPECT_EQ(rig.fake.calls.back(), "RemoveFile|" + kTemp);
        EXPECT_EQ(rig.fake.files.count(kTemp), 0U);
    }
}

TEST(ShellBrowse, SurvivesAPageThatCannotBeCreatedWrittenOrRemoved) {
    Rig noPage;
    noPage.fake.failCreateTemp = true;
    noPage.shell.ShellBrowse("http://a.example/");
    EXPECT_EQ(noPage.fake.Lines({"MessageBox"}), Lines{"MessageBox|Browser Error|Could not open browser"});
    EXPECT_TRUE(noPage.fake.Lines({"ShellExecute"}).empty());
    // Some systems answer a lookup of an empty name with success and an empty path: never ask it.
    EXPECT_TRUE(noPage.fake.Lines({"FindExecutable"}).empty());
    EXPECT_TRUE(noPage.fake.Lines({"RemoveFile"}).empty()); // there is no page to remove

    Rig badWrite;
    badWrite.fake.failAtWrite = 1;
    badWrite.shell.ShellBrowse("http://a.example/");
    EXPECT_EQ(badWrite.fake.files.count(kTemp), 0U);
    EXPECT_EQ(badWrite.fake.Lines({"RemoveFile"}), Lines{"RemoveFile|" + kTemp});

    Rig stuck;
    stuck.fake.failRemove = true;
    stuck.shell.ShellBrowse("http://a.example/");
    EXPECT_EQ(stuck.fake.Lines({"ShellExecute"}).size(), 1U);
    EXPECT_TRUE(stuck.fake.Lines({"MessageBox", "Trace"}).empty());
}

} // namespace
} // namespace launchwick
