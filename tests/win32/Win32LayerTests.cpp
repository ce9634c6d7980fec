// Tests of the Win32 layer: the pixel arithmetic, the platform's file and start calls, the splash
// window's layout, focus, timers, key preview and drawing, and the program's resources.
// A console program; run it under Wine or Windows from the folder that holds ZVKLaunchwick.exe.
// With a mode argument it instead runs one launcher call for the end-to-end tests (LauncherProbe.h).
#include "LauncherProbe.h"
#include "Layout.h"
#include "Paths.h"
#include "SplashWindow.h"
#include "Strings.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "Version.h"
#include "Win32.h"
#include "Win32Platform.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace launchwick;
using namespace launchwick::win32;

namespace {

int failures = 0;

void Check(bool condition, const char* text, int line) {
    if (!condition) {
        ++failures;
        std::printf("  FAILED line %d: %s\n", line, text);
    }
}

template <class A, class B> void CheckEqual(const A& actual, const B& expected, const char* text, int line) {
    if (!(actual == expected)) {
        ++failures;
        std::printf("  FAILED line %d: %s\n", line, text);
    }
}

#define CHECK(condition) Check((condition), #condition, __LINE__)
#define CHECK_EQ(actual, expected) CheckEqual((actual), (expected), #actual " == " #expected, __LINE__)

template <class Statement> bool Throws(Statement&& statement) {
    try {
        statement();
    } catch (const StatementError&) {
        return true;
    }
    return false;
}

// The system's code that a statement failed with (StartError, SystemError), 0 when it did not fail.
template <class Error> std::uint32_t ErrorCode(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const Error& error) {
        return error.code;
    }
    return 0;
}

// ---- Pixel arithmetic ----

void TwipsBecomeNearestPixels() {
    struct Case {
        long long twips;
        int dpi;
        int pixels;
    };
    constexpr Case cases[] = {
        {15, 96, 1},      {8505, 96, 567}, {3045, 96, 203},  {7725, 96, 515},
        {7, 96, 0},       {8, 96, 1},      {8505, 120, 709}, // 708.75
        {3045, 120, 254},                                    // 253.75
        {15, 48, 1},                                         // 0.5 goes away from zero
        {45, 144, 5},                                        // 4.5
        {-45, 144, -5},   {0, 192, 0},     {1440, 192, 192},
    };
    for (const Case& c : cases) {
        CHECK_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels);
    }
}

void DesignRectsAtNinetySixDpi() {
    // The pixel column of the window's design table.
    struct Case {
        design::Rect twips;
        PixelRect pixels;
    };
    const Case cases[] = {
        {design::Command1, {215, 298, 215 + 45, 298 + 22}},
        {design::txtFocus, {76, 256, 76 + 72, 256 + 24}},
        {design::btnCancel, {515, 173, 515 + 45, 173 + 22}},
        {design::lblStatus, {2, 150, 2 + 563, 150 + 21}},
        {design::recProgress, {8, 174, 8 + 77, 174 + 20}},
        {design::recProgressBorder, {7, 173, 7 + 508, 173 + 22}},
        {design::lblTitle[0], {7, 84, 7 + 553, 84 + 44}},
        {design::lblTitle[1], {6, 83, 6 + 553, 83 + 44}},
        {design::lblTitle[2], {6, 85, 6 + 553, 85 + 44}},
        {design::lblTitle[3], {8, 83, 8 + 553, 83 + 44}},
        {design::lblTitle[4], {8, 85, 8 + 553, 85 + 44}},
    };
    for (const Case& c : cases) {
        CHECK(ToPixels(c.twips, 96) == c.pixels);
    }
}

void FrameAndButtonShareEdgesAtAnyDensity() {
    for (const int dpi : {96, 110, 120, 125, 144, 168, 192, 240, 288}) {
        const PixelRect frame = ToPixels(design::recProgressBorder, dpi);
        const PixelRect button = ToPixels(design::btnCancel, dpi);
        CHECK_EQ(frame.right, button.left);
        CHECK_EQ(frame.top, button.top);
        CHECK_EQ(frame.bottom, button.bottom);
    }
}

void ProgressFillAtNinetySixDpi() {
    struct Case {
        std::int32_t widthTwips;
        int right; // the fill always starts at x 8 and spans y 174..193
    };
    constexpr Case cases[] = {
        {7590, 514},              // covers the interior exactly
        {1155, 85},               // the design width, 77 pixels
        {3795, 261},              // 253 pixels
        {2530, 177},              // 168.67 pixels
        {15, 9},     {9000, 514}, // clamped to the interior
        {0, 8},      {7, 8},      // less than half a pixel draws nothing
    };
    for (const Case& c : cases) {
        const PixelRect fill = ProgressFillRect(design::recProgressBorder, c.widthTwips, 96);
        CHECK_EQ(fill.left, 8);
        CHECK_EQ(fill.top, 174);
        CHECK_EQ(fill.bottom, 194);
        CHECK_EQ(fill.right, c.right);
    }
    CHECK(ProgressFillRect(design::recProgressBorder, 0, 96).Empty());
}

void FullFillCoversTheInteriorAtWholeTwipDensities() {
    // The core's full width is the frame less two pixel sizes, the pixel size rounded to whole twips.
    for (const int dpi : {96, 120, 144, 192}) {
        const auto pixelSize = static_cast<std::int32_t>(std::nearbyint(1440.0 / dpi));
        const std::int32_t full = design::recProgressBorder.width - 2 * pixelSize;
        const PixelRect frame = ToPixels(design::recProgressBorder, dpi);
        const PixelRect fill = ProgressFillRect(design::recProgressBorder, full, dpi);
        CHECK(fill == Deflate(frame, 1));
    }
}

void FontHeightsFollowMulDiv() {
    struct Case {
        int hundredths, dpi, height;
    };
    constexpr Case cases[] = {
        {825, 96, -11}, {1200, 96, -16}, {2775, 96, -37}, {825, 120, -14}, {2775, 144, -56}, {1200, 192, -32},
    };
    for (const Case& c : cases) {
        CHECK_EQ(FontHeight(c.hundredths, c.dpi), c.height);
    }
}

void FolderOfPathKeepsOnlyRootBackslashes() {
    struct Case {
        const char* path;
        const char* folder;
    };
    constexpr Case cases[] = {
        {"C:\\Tools\\ZVKLaunchwick.exe", "C:\\Tools"},
        {"C:\\ZVKLaunchwick.exe", "C:\\"},
        {"\\ZVKLaunchwick.exe", "\\"},
        {"\\\\server\\share\\x.exe", "\\\\server\\share"},
        {"C:\\a b\\c d\\e.exe", "C:\\a b\\c d"},
        {"ZVKLaunchwick.exe", ""},
    };
    for (const Case& c : cases) {
        CHECK_EQ(FolderOfPath(c.path), std::string(c.folder));
    }
}

void SmallTextBuilders() {
    const char withNul[] = {'a', 'b', 'c', '\0', 'x', 'y'};
    const char withoutNul[] = {'a', 'b', ' ', ' '};
    const char leadingNul[] = {'\0', 'a'};
    CHECK_EQ(TextBeforeNul(withNul, sizeof withNul), std::string("abc"));
    CHECK_EQ(TextBeforeNul(withoutNul, sizeof withoutNul), std::string("ab  "));
    CHECK_EQ(TextBeforeNul(leadingNul, sizeof leadingNul), std::string());

    // Zero-padded to four and two digits, never cut: the same text as "%04d-%02d-%02d %02d:%02d:%02d".
    struct Date {
        int year, month, day, hour, minute, second;
        const char* text;
    };
    constexpr Date dates[] = {
        {2024, 3, 5, 7, 8, 9, "2024-03-05 07:08:09"},     {1999, 12, 31, 23, 59, 58, "1999-12-31 23:59:58"},
        {1601, 1, 1, 0, 0, 0, "1601-01-01 00:00:00"},     {987, 10, 20, 10, 40, 50, "0987-10-20 10:40:50"},
        {30827, 9, 14, 2, 48, 5, "30827-09-14 02:48:05"},
    };
    for (const Date& d : dates) {
        CHECK_EQ(DateStamp(d.year, d.month, d.day, d.hour, d.minute, d.second), std::string(d.text));
    }
    // Lower-case hexadecimal without leading zeros, as "%lx".
    struct Temp {
        std::uint32_t processId, attempt;
        const char* suffix;
        const char* name;
    };
    constexpr Temp temps[] = {
        {0x1a2b, 0xff, ".HTM", "ZVKLaunchwick-1a2b-ff.HTM"},
        {7, 0, "", "ZVKLaunchwick-7-0"},
        {0xffffffff, 0x10, ".tmp", "ZVKLaunchwick-ffffffff-10.tmp"},
        {0x80000000, 0xabcdef09, ".htm", "ZVKLaunchwick-80000000-abcdef09.htm"},
    };
    for (const Temp& t : temps) {
        CHECK_EQ(TempFileName(t.processId, t.attempt, t.suffix), std::string(t.name));
    }
}

void CentringInTheWorkArea() {
    CHECK(CentredIn(PixelRect{0, 0, 1024, 768}, 567, 203) == (PixelRect{228, 282, 228 + 567, 282 + 203}));
    CHECK(CentredIn(PixelRect{0, 30, 1920, 1050}, 567, 203) == (PixelRect{676, 438, 676 + 567, 438 + 203}));
    CHECK(CentredIn(PixelRect{-1280, 0, 0, 1024}, 567, 203) == (PixelRect{-924, 410, -924 + 567, 410 + 203}));
}

// ---- Text at the edge: UTF-8 inside, UTF-16 for the system, ANSI for the debugger ----

void TextCrossesTheEdgeWhole() {
    struct Case {
        const char* name;
        std::string utf8;
        std::wstring wide;
        std::string back; // Utf8(wide): the text itself, or U+FFFD where it was not UTF-8
    };
    const std::string replacement = "\xEF\xBF\xBD";
    const Case cases[] = {
        {"empty", "", L"", ""},
        {"ASCII", "C:\\ZVK32\\Parvane.exe /session:1", L"C:\\ZVK32\\Parvane.exe /session:1",
         "C:\\ZVK32\\Parvane.exe /session:1"},
        {"accented", "C:\\J\xC3\xBCrgen\\caf\xC3\xA9.exe", L"C:\\J\u00FCrgen\\caf\u00E9.exe",
         "C:\\J\xC3\xBCrgen\\caf\xC3\xA9.exe"},
        {"CJK", "C:\\\xE6\x9D\x8E\xE9\x9B\xB7\\a.exe", L"C:\\\u674E\u96F7\\a.exe",
         "C:\\\xE6\x9D\x8E\xE9\x9B\xB7\\a.exe"},
        {"beyond the BMP", "\xF0\x9D\x84\x9E", L"\xD834\xDD1E", "\xF0\x9D\x84\x9E"},
        {"invalid byte",
         "a\xFF"
         "b",
         L"a\xFFFD"
         L"b",
         "a" + replacement + "b"},
        {"cut sequence", "a\xE6\x9D", L"a\xFFFD", "a" + replacement},
        {"embedded NUL", std::string("a\0b", 3), std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        std::printf("  %s\n", c.name);
        CHECK(Wide(c.utf8) == c.wide);
        CHECK_EQ(Utf8(Wide(c.utf8)), c.back);
    }
    CHECK_EQ(Utf8(std::wstring(1, L'\xD800')), replacement); // an unpaired surrogate
    // The trace lines: ASCII as it is; others in the ANSI code page (Wine's here is 1252).
    CHECK_EQ(Ansi("tmrMain_Timer End"), std::string("tmrMain_Timer End"));
    CHECK_EQ(Ansi(""), std::string());
    if (::GetACP() == 1252) {
        CHECK_EQ(Ansi("J\xC3\xBCrgen"), std::string("J\xFCrgen"));
        CHECK_EQ(Ansi("\xE6\x9D\x8E").size(), std::size_t{1}); // one character, written as the system does
    }
}

// ---- Platform calls ----

std::string ReadWholeFile(const std::string& path) {
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        content.append(buffer, read);
    }
    return content;
}

std::string TempFolder() {
    char folder[MAX_PATH + 1] = {};
    ::GetTempPathA(sizeof folder, folder);
    return folder;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool SameFolder(std::string a, std::string b) {
    for (std::string* text : {&a, &b}) {
        while (text->size() > 3 && text->back() == '\\') {
            text->pop_back();
        }
    }
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A fresh hidden splash window and a platform on it, for every test that needs one.
struct Fixture {
    SplashWindow splash{::GetModuleHandleA(nullptr), ::LoadIconA(nullptr, IDI_APPLICATION),
                        ::LoadIconA(nullptr, IDI_APPLICATION)};
    Win32Platform platform{splash, 0x5eed};
};

void TempFilesAreNewWithTheirSuffix() {
    Fixture f;
    std::string first, second;
    auto a = f.platform.CreateTempFile(".HTM", first);
    auto b = f.platform.CreateTempFile(".HTM", second);
    CHECK(first != second);
    CHECK(EndsWith(first, ".HTM"));
    CHECK(SameFolder(FolderOfPath(first), TempFolder()));
    a->Write("\"<HTML> <\\HTML>\"\r\n");
    a->Close();
    a->Close(); // closing twice is harmless
    CHECK_EQ(ReadWholeFile(first), std::string("\"<HTML> <\\HTML>\"\r\n"));
    b.reset(); // the destructor closes
    f.platform.RemoveFile(first);
    f.platform.RemoveFile(second);
    CHECK(Throws([&] { (void)f.platform.FileDateTime(first); }));

    // A file that cannot be removed fails with the system's code for why.
    const std::string held = TempFolder() + "ZVKLaunchwick-test-held.txt";
    auto open = f.platform.CreateTextFile(held); // not shared for deletion
    struct Refusal {
        std::string path;
        std::uint32_t code;
    };
    const Refusal refusals[] = {
        {first, ERROR_FILE_NOT_FOUND},
        {TempFolder() + "no such folder\\x.txt", ERROR_PATH_NOT_FOUND},
        {held, ERROR_SHARING_VIOLATION},
    };
    for (const Refusal& r : refusals) {
        std::printf("  %s\n", r.path.c_str());
        CHECK_EQ(ErrorCode<SystemError>([&] { f.platform.RemoveFile(r.path); }), r.code);
    }
    CHECK_EQ(ErrorCode<SystemError>([&] { f.platform.RemoveFileIfPresent(held); }),
             static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    open.reset();
    f.platform.RemoveFile(held);
}

void TempFileNeverOpensAnExistingFile() {
    Fixture f;
    // The name the platform tries first, taken by someone else.
    const std::string taken = TempFolder() + TempFileName(::GetCurrentProcessId(), 0x5eed, ".tmp");
    {
        auto other = f.platform.CreateTextFile(taken);
        other->Write("not yours");
    }
    std::string path;
    auto file = f.platform.CreateTempFile(".tmp", path);
    file->Write("mine");
    file->Close();
    CHECK(path != taken);
    CHECK_EQ(ReadWholeFile(taken), std::string("not yours"));
    CHECK_EQ(ReadWholeFile(path), std::string("mine"));
    f.platform.RemoveFile(taken);
    f.platform.RemoveFile(path);
}

void TextFilesAreEmptiedAndWrittenWhole() {
    Fixture f;
    const std::string path = TempFolder() + "ZVKLaunchwick-test-text.txt";
    {
        auto file = f.platform.CreateTextFile(path);
        file->Write(std::string(100000, 'x')); // more than one buffer of the system
    }
    CHECK_EQ(ReadWholeFile(path).size(), std::size_t{100000});
    {
        auto file = f.platform.CreateTextFile(path);
        file->Write("short\r\n");
        file->Write("");
    }
    CHECK_EQ(ReadWholeFile(path), std::string("short\r\n"));
    f.platform.RemoveFile(path);
    CHECK(Throws([&] { f.platform.CreateTextFile(TempFolder() + "no such folder\\x.txt"); }));
}

// The log file: appended to by two writers at once and read meanwhile; renamed only once nobody has it open.
void LogFilesAreSharedAndRenamedOnlyWhenClosed() {
    Fixture f;
    const std::string path = TempFolder() + "ZVKLaunchwick-test.log";
    const std::string old = path + ".old";
    f.platform.RemoveFileIfPresent(path);
    {
        auto first = f.platform.AppendTextFile(path);
        auto second = f.platform.AppendTextFile(path);
        first->Write("one\r\n");
        second->Write("two\r\n");
        first->Write("three\r\n");
        CHECK_EQ(ReadWholeFile(path), std::string("one\r\ntwo\r\nthree\r\n"));
        CHECK(f.platform.FileSize(path) == std::optional<std::uint64_t>(17));
        CHECK_EQ(ErrorCode<SystemError>([&] { f.platform.RenameFile(path, old); }), sharingViolationError);
    }
    f.platform.AppendTextFile(old)->Write("older");
    f.platform.RenameFile(path, old);
    CHECK(!f.platform.FileSize(path));
    CHECK_EQ(ReadWholeFile(old), std::string("one\r\ntwo\r\nthree\r\n"));
    CHECK(f.platform.RemoveFileIfPresent(old));
    CHECK(!f.platform.RemoveFileIfPresent(old));
    CHECK(Throws([&] { f.platform.AppendTextFile(TempFolder() + "no such folder\\x.log"); }));
    CHECK_EQ(f.platform.ExpandEnvironment("%ZVK_NO_SUCH_NAME%\\x"), std::string("%ZVK_NO_SUCH_NAME%\\x"));
    ::SetEnvironmentVariableA("ZVK_TEST_FOLDER", "C:\\Logs");
    CHECK_EQ(f.platform.ExpandEnvironment("%zvk_test_folder%\\%ZVK_TEST_FOLDER%"),
             std::string("C:\\Logs\\C:\\Logs"));
}

long long SecondsBetween(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    FILETIME fa{}, fb{};
    ::SystemTimeToFileTime(&a, &fa);
    ::SystemTimeToFileTime(&b, &fb);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                      t.dwLowDateTime);
    };
    return (ticks(fa) - ticks(fb)) / 10000000;
}

// "YYYY-MM-DD HH:MM:SS", digits and separators exactly where they belong.
bool ParseStamp(const std::string& text, SYSTEMTIME& time) {
    const std::string shape = "0000-00-00 00:00:00";
    if (text.size() != shape.size()) {
        return false;
    }
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == '0' ? (text[i] < '0' || text[i] > '9') : text[i] != shape[i]) {
            return false;
        }
    }
    const auto number = [&](std::size_t at, std::size_t digits) {
        return static_cast<WORD>(std::stoi(text.substr(at, digits)));
    };
    time.wYear = number(0, 4);
    time.wMonth = number(5, 2);
    time.wDay = number(8, 2);
    time.wHour = number(11, 2);
    time.wMinute = number(14, 2);
    time.wSecond = number(17, 2);
    return true;
}

void FileDateTimeIsLocalLastWriteTime() {
    Fixture f;
    const std::string path = TempFolder() + "ZVKLaunchwick-test-time.txt";
    f.platform.CreateTextFile(path)->Write("x");
    const std::string text = f.platform.FileDateTime(path);
    SYSTEMTIME stamped{};
    CHECK(ParseStamp(text, stamped));
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    CHECK(std::llabs(SecondsBetween(now, stamped)) < 120);
    f.platform.RemoveFile(path);

    CHECK(!f.platform.FileDateTime("C:\\windows").empty()); // folders have one too
    for (const char* bad : {"", "C:\\windows\\*", "C:\\no such folder\\x.exe", "\"C:\\windows"}) {
        CHECK(Throws([&] { (void)f.platform.FileDateTime(bad); }));
    }
    CHECK(Throws([&] { (void)f.platform.FileDateTime(std::string("C:\\windows\0x", 12)); }));
}

// The far end of a pipe that hands over the start of a settings file and then breaks.
DWORD WINAPI WriteThenBreak(void* pipe) {
    const UniqueFile server(static_cast<HANDLE>(pipe));
    if (::ConnectNamedPipe(server.get(), nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED) {
        DWORD written = 0;
        ::WriteFile(server.get(), "[Paths]\r\n", 9, &written, nullptr);
        ::FlushFileBuffers(server.get()); // until the reader has it
    }
    return 0;
}

void ProfileStringsComeBackTrimmedAndCut() {
    Fixture f;
    const std::string path = TempFolder() + "ZVKLaunchwick-test.ini";
    {
        auto file = f.platform.CreateTextFile(path);
        file->Write("[Paths]\r\nPath1=  C:\\x.exe /a  \r\n#Path2=C:\\y.exe\r\nPath3=\r\nLong=");
        file->Write(std::string(5000, 'v'));
        file->Write("\r\n");
    }
    struct Case {
        const char* key;
        std::size_t buffer;
        std::string expected;
    };
    const Case cases[] = {
        {"Path1", 4096, "C:\\x.exe /a"},
        {"path1", 4096, "C:\\x.exe /a"},
        {"Path2", 4096, "?"},
        {"Path3", 4096, ""},
        {"Long", 4096, std::string(4095, 'v')},
        {"Path1", 5, "C:\\x"}, // the buffer keeps room for the NUL
    };
    for (const Case& c : cases) {
        CHECK_EQ(f.platform.ReadProfileString("Paths", c.key, "?", c.buffer, path), c.expected);
    }
    CHECK_EQ(f.platform.ReadProfileString("Paths", "Path1", "dflt", 4096, path + ".missing"),
             std::string("dflt"));
    f.platform.RemoveFile(path);

    // Under a name outside the ANSI code page: a UTF-16 LE file gives every character back, an ANSI file
    // what its code page means; the bytes read back as written.
    const std::string unicodePath = TempFolder() + "ZVKLaunchwick-test-\xE6\x9D\x8E.ini";
    const std::string value = "C:\\\xE6\x9D\x8E\xE9\x9B\xB7\\a.exe -\xC3\xBC";
    const std::wstring wide = Wide("[Paths]\r\nPath1=" + value + "\r\n");
    const std::string utf16 =
        "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    const std::pair<std::string, std::string> files[] = {
        {utf16, value},
        {"[Paths]\r\nPath1=J\xFCrgen\r\n", ::GetACP() == 1252 ? "J\xC3\xBCrgen" : ""},
    };
    for (const auto& [content, expected] : files) {
        f.platform.CreateTextFile(unicodePath)->Write(content);
        CHECK(f.platform.IsFile(unicodePath));
        CHECK(!f.platform.FileDateTime(unicodePath).empty());
        CHECK_EQ(f.platform.ReadFileBytes(unicodePath), content);
        if (!expected.empty()) {
            CHECK_EQ(f.platform.ReadProfileString("Paths", "Path1", "?", 4096, unicodePath), expected);
        }
    }
    f.platform.RemoveFile(unicodePath);
    CHECK(!f.platform.IsFile(unicodePath));
    CHECK(Throws([&] { (void)f.platform.ReadFileBytes(unicodePath); }));

    // Key names beyond the first buffer come back whole and in order.
    std::string many = "[Paths]\r\n";
    for (int n = 0; n < 700; ++n) {
        many += "Key" + std::to_string(1000 + n) + "=x\r\n";
    }
    f.platform.CreateTextFile(path)->Write(many);
    const std::vector<std::string> keys = f.platform.ReadProfileKeys("Paths", path);
    CHECK_EQ(keys.size(), std::size_t{700});
    CHECK(!keys.empty() && keys.front() == "Key1000" && keys.back() == "Key1699");
    f.platform.RemoveFile(path);

    // A read that fails after part of the file has come fails the statement, and is not the file's end.
    const std::string pipe = "\\\\.\\pipe\\ZVKLaunchwick-test-" + std::to_string(::GetCurrentProcessId());
    UniqueFile server(::CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                         4096, 4096, 0, nullptr));
    CHECK(static_cast<bool>(server));
    const UniqueKernelHandle writer(
        ::CreateThread(nullptr, 0, &WriteThenBreak, server.release(), 0, nullptr));
    CHECK(Throws([&] { (void)f.platform.ReadFileBytes(pipe); }));
    ::WaitForSingleObject(writer.get(), 10000);
}

void FoldersOfTheProcess() {
    Fixture f;
    const std::string folder = f.platform.ExecutableFolder();
    char module[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string name = std::string(module).substr(std::string(module).find_last_of('\\') + 1);
    CHECK(folder.size() == 3 || folder.back() != '\\');
    CHECK(!f.platform.FileDateTime(folder + (folder.back() == '\\' ? "" : "\\") + name).empty());

    const std::string before = f.platform.CurrentFolder();
    ::SetCurrentDirectoryA(TempFolder().c_str());
    CHECK(SameFolder(f.platform.CurrentFolder(), TempFolder()));
    ::SetCurrentDirectoryA("C:\\");
    CHECK_EQ(f.platform.CurrentFolder(), std::string("C:\\"));
    ::SetCurrentDirectoryA(before.c_str());
}

void StartingPrograms() {
    Fixture f;
    CHECK(ErrorCode<StartError>(
              [&] { f.platform.StartCommandLine("C:\\no such folder\\nothing.exe /a", 1); }) != 0);
    CHECK_EQ(ErrorCode<StartError>([&] { f.platform.StartCommandLine("cmd.exe /c exit 0", 0); }), 0U);
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, sizeof system);
    const std::string cmd = std::string(system) + "\\cmd.exe";
    CHECK_EQ(
        ErrorCode<StartError>([&] { f.platform.StartProgram(cmd, "/c exit 0", std::nullopt, 0, nullptr); }),
        0U);
    CHECK_EQ(ErrorCode<StartError>(
                 [&] { f.platform.StartProgram(cmd, "/c exit 0", std::string(system), 0, nullptr); }),
             0U);
    CHECK_EQ(ErrorCode<StartError>([&] {
                 f.platform.StartProgram(std::string(system) + "\\nothing.exe", "x", std::nullopt, 0,
                                         nullptr);
             }),
             static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));

    // A held process: a console program answers WAIT_FAILED, which counts as ready; a start that gave no
    // process holds none; a closed one is no longer asked about.
    ProcessToken held = noProcess;
    CHECK_EQ(
        ErrorCode<StartError>([&] { f.platform.StartProgram(cmd, "/c exit 0", std::nullopt, 0, &held); }),
        0U);
    CHECK(held != noProcess);
    CHECK(f.platform.ProcessInputIdle(held) == InputIdle::Failed);
    f.platform.CloseProcess(held);
    CHECK(f.platform.ProcessInputIdle(held) == InputIdle::Failed);
    ProcessToken none = 7;
    CHECK(!f.platform.RunShellExecuteHeld("C:\\no such folder\\x.exe", "", std::nullopt, 1, none).done);
    CHECK(none == noProcess);

    // Folders, and variables of the environment.
    CHECK(f.platform.IsFolder(system));
    CHECK(!f.platform.IsFolder(cmd));
    CHECK(!f.platform.IsFolder(std::string(system) + "\\no such folder"));
    CHECK(!f.platform.IsFolder(""));
    ::SetEnvironmentVariableA("LW_TEST_VALUE", "C:\\x y");
    CHECK_EQ(f.platform.ExpandEnvironment("%lw_test_value%\\a.exe %LW_UNDEFINED_NAME% 100%"),
             std::string("C:\\x y\\a.exe %LW_UNDEFINED_NAME% 100%"));
    CHECK_EQ(f.platform.ExpandEnvironment(std::string(5000, 'a') + "%LW_TEST_VALUE%"),
             std::string(5000, 'a') + "C:\\x y");
    CHECK_EQ(f.platform.ExpandEnvironment(""), std::string());

    // A file, not a folder; a relative name is looked for in the current folder.
    CHECK(f.platform.IsFile(cmd));
    CHECK(!f.platform.IsFile(system));
    CHECK(!f.platform.IsFile(std::string(system) + "\\nothing.exe"));
    CHECK(!f.platform.IsFile(""));
    CHECK(!f.platform.IsFile(cmd + std::string(1, '\0') + "x"));
    const std::string before = f.platform.CurrentFolder();
    ::SetCurrentDirectoryA(system);
    CHECK(f.platform.IsFile("cmd.exe"));
    ::SetCurrentDirectoryA(before.c_str());

    // The system's words for an error, and none for a code it does not know.
    CHECK(!f.platform.SystemMessage(ERROR_FILE_NOT_FOUND).empty());
    CHECK(f.platform.SystemMessage(0x2fffffffU).empty());

    std::string found = "unchanged";
    const ShellAnswer lookup = f.platform.RunFindExecutable("C:\\no such folder\\x.htm", found);
    CHECK(!lookup.done && lookup.code != 0);
    CHECK(found.size() < MAX_PATH); // cut at the NUL the lookup wrote, or empty

    std::string probe;
    f.platform.CreateTempFile(".HTM", probe)->Write("<HTML></HTML>\r\n");
    if (f.platform.RunFindExecutable(probe, found).done) {
        CHECK(!found.empty() && found.back() != ' ');
    }
    f.platform.RemoveFile(probe);

    const ShellAnswer refused = f.platform.RunShellExecute(Owner::None, std::nullopt,
                                                           "C:\\no such folder\\x.exe", "", std::nullopt, 1);
    CHECK(!refused.done);
    CHECK(refused.code == ERROR_PATH_NOT_FOUND || refused.code == ERROR_FILE_NOT_FOUND);

    // Opening: the code is the one the shell's answer names, whatever the last error says.
    CHECK_EQ(ErrorCode<StartError>(
                 [&] { f.platform.OpenItem("C:\\no such folder\\x.txt", std::nullopt, 1, nullptr); }),
             static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    std::string unassociated;
    f.platform.CreateTempFile(".lwnone", unassociated)->Write("x");
    ProcessToken opened = 7;
    CHECK_EQ(ErrorCode<StartError>([&] { f.platform.OpenItem(unassociated, std::nullopt, 1, &opened); }),
             static_cast<std::uint32_t>(ERROR_NO_ASSOCIATION));
    CHECK(opened == noProcess);
    f.platform.RemoveFile(unassociated);
    // The shell's numbers: above 32 done, else refused with the code they name (0 is out of memory), or the
    // last error where they name none.
    struct Refusal {
        std::intptr_t answer;
        bool done;
        std::uint32_t code;
    };
    constexpr Refusal refusals[] = {
        {0, false, 8},     {1, false, 193},   {2, false, 2},   {3, false, 3},     {5, false, 5},
        {8, false, 8},     {11, false, 11},   {26, false, 32}, {27, false, 1155}, {28, false, 1156},
        {31, false, 1155}, {32, false, 1157}, {33, true, 0},   {42, true, 0}};
    for (const Refusal& r : refusals) {
        const ShellAnswer answer = AnswerOfShell(r.answer, 193);
        CHECK_EQ(answer.done, r.done);
        CHECK_EQ(answer.code, r.code);
    }
}

// A text with a NUL inside never reaches a wide call cut short: the statement fails, nothing is read, started
// or written.
void TextsWithANulFailAtTheEdge() {
    Fixture f;
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); // for the shortcut
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, sizeof system);
    const std::string cmd = std::string(system) + "\\cmd.exe";
    const std::string ini = TempFolder() + "ZVKLaunchwick-test-nul.ini";
    f.platform.CreateTextFile(ini)->Write("[Paths]\r\nPath1=C:\\x.exe\r\n");
    const std::string link = TempFolder() + "ZVKLaunchwick-test-nul.lnk";
    const std::string nul(1, '\0');
    struct Case {
        const char* what;
        std::function<void()> statement;
    };
    const Case cases[] = {
        {"profile file",
         [&] { (void)f.platform.ReadProfileString("Paths", "Path1", "", 4096, ini + nul + "x"); }},
        {"profile key",
         [&] { (void)f.platform.ReadProfileString("Paths", "Path1" + nul + "x", "", 4096, ini); }},
        {"profile default",
         [&] { (void)f.platform.ReadProfileString("Paths", "Path9", "d" + nul, 4096, ini); }},
        {"key list file", [&] { (void)f.platform.ReadProfileKeys("Paths", ini + nul + "x"); }},
        {"shell file",
         [&] { f.platform.RunShellExecute(Owner::None, std::nullopt, cmd + nul + "x", "", {}, 0); }},
        {"shell parameters",
         [&] { f.platform.RunShellExecute(Owner::None, std::nullopt, cmd, "/c exit 0" + nul + "x", {}, 0); }},
        {"shell folder",
         [&] { f.platform.RunShellExecute(Owner::None, std::nullopt, cmd, "/c exit 0", system + nul, 0); }},
        {"command line", [&] { f.platform.StartCommandLine("cmd.exe /c exit 0" + nul + "x", 0); }},
        {"association",
         [&] {
             std::string found;
             (void)f.platform.RunFindExecutable(ini + nul + "x", found);
         }},
        {"shortcut arguments",
         [&] {
             f.platform.WriteShortcut(Shortcut{link, cmd, "/c" + nul + "x", system, 1});
         }},
        {"shortcut target",
         [&] {
             f.platform.WriteShortcut(Shortcut{link, cmd + nul, "/c", system, 1});
         }},
    };
    for (const Case& c : cases) {
        std::printf("  %s\n", c.what);
        std::string failure;
        try {
            c.statement();
        } catch (const StatementError& error) {
            failure = error.what();
        }
        CHECK_EQ(failure, std::string("Bad file name"));
    }
    CHECK(!f.platform.IsFile(link));
    f.platform.RemoveFile(ini);
    if (com) {
        ::CoUninitialize();
    }
}

// The processor times only move on, and kernel time holds the idle time.
void ProcessorTimesMoveOn() {
    Fixture f;
    const ProcessorTimes before = f.platform.SystemTimes();
    ::Sleep(200);
    const ProcessorTimes after = f.platform.SystemTimes();
    CHECK(after.idle >= before.idle && after.kernel >= before.kernel && after.user >= before.user);
    CHECK(after.kernel - before.kernel >= after.idle - before.idle);
    CHECK(after.kernel + after.user > before.kernel + before.user);
}

// The network list manager's DLL comes with the first question about the network, never before; each
// question gets an answer (here a machine with or without a network: any of the known flags).
void NetworkIsAskedOnlyWhenNeeded() {
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        Fixture f;
        CHECK(::GetModuleHandleA("netprofm.dll") == nullptr);
        for (int question = 0; question < 2; ++question) {
            std::uint32_t connectivity = 0xFFFFFFFF;
            try {
                connectivity = f.platform.NetworkConnectivity();
            } catch (const SystemError& error) {
                std::printf("  the network could not be asked: 0x%08X\n", static_cast<unsigned>(error.code));
            }
            CHECK_EQ(connectivity & ~std::uint32_t{0x773}, std::uint32_t{0});
        }
        CHECK(::GetModuleHandleA("netprofm.dll") != nullptr);
    }
    if (com) {
        ::CoUninitialize();
    }
}

// One run per settings file, whatever the letter case of its path; the claim goes with its holder.
void OneClaimPerSettingsFile() {
    const std::string path =
        "C:\\Lw Claim " + std::to_string(::GetCurrentProcessId()) + "\\ZVKLaunchwick.ini";
    std::string lower = path;
    ::CharLowerBuffA(lower.data(), static_cast<DWORD>(lower.size()));
    Fixture f;
    {
        Win32Platform first(f.splash);
        CHECK(first.ClaimSettingsFile(path));
        Win32Platform second(f.splash);
        CHECK(!second.ClaimSettingsFile(lower));
        Win32Platform other(f.splash);
        CHECK(other.ClaimSettingsFile(path + "x")); // another file runs side by side
    }
    Win32Platform later(f.splash);
    CHECK(later.ClaimSettingsFile(lower));

    // An ASCII path keeps the name of its ANSI upper case; any other is upper-cased character by character.
    std::string upper = path;
    ::CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    const UniqueKernelHandle named(
        ::OpenFileMappingA(FILE_MAP_READ, FALSE, InstanceObjectName(upper).c_str()));
    CHECK(named.get() != nullptr);
    const std::string accented = "C:\\Lw Claim \xC3\x9C\xE6\x9D\x8E\\ZVKLaunchwick.ini"; // Ü李
    Win32Platform third(f.splash);
    CHECK(third.ClaimSettingsFile(accented));
    Win32Platform fourth(f.splash);
    CHECK(!fourth.ClaimSettingsFile("C:\\lw claim \xC3\xBC\xE6\x9D\x8E\\zvklaunchwick.ini")); // ü李
}

// ---- The splash window ----

struct Recorder final : SplashEvents {
    std::vector<int> keys;
    int cancels = 0;
    std::vector<Timer> ticks;
    void KeyPress(std::int16_t keyAscii) override { keys.push_back(keyAscii); }
    void CancelClicked() override { ++cancels; }
    void TimerElapsed(Timer timer) override { ticks.push_back(timer); }
};

PixelRect ChildRect(HWND parent, HWND child) {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return PixelRect{rect.left, rect.top, rect.right, rect.bottom};
}

std::string WindowText(HWND window) {
    char text[256] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

// In UTF-8, every character as the window holds it.
std::string WideWindowText(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return Utf8(text);
}

void SplashIsAHiddenFramelessCentredWindow() {
    Fixture f;
    const HWND window = f.splash.Handle();
    const int dpi = f.splash.Dpi();
    CHECK(!f.splash.IsShown());
    CHECK_EQ(WindowText(window), std::string("ZVK Launchwick"));
    const LONG_PTR style = ::GetWindowLongPtrA(window, GWL_STYLE);
    CHECK((style & WS_POPUP) != 0);
    CHECK((style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME)) == 0);
    CHECK(::GetClassLongPtrA(window, GCLP_HICON) ==
          reinterpret_cast<ULONG_PTR>(::LoadIconA(nullptr, IDI_APPLICATION)));

    RECT client{}, frame{}, work{};
    ::GetClientRect(window, &client);
    ::GetWindowRect(window, &frame);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    CHECK_EQ(client.right, TwipsToPixels(design::clientWidth, dpi));
    CHECK_EQ(client.bottom, TwipsToPixels(design::clientHeight, dpi));
    CHECK_EQ(frame.right - frame.left, client.right); // no frame around the client area
    CHECK(std::abs((frame.left - work.left) - (work.right - frame.right)) <= 1);
    CHECK(std::abs((frame.top - work.top) - (work.bottom - frame.bottom)) <= 1);

    struct Control {
        int id;
        design::Rect box;
        const char* text;
    };
    const Control controls[] = {
        {SplashWindow::command1Id, design::Command1, "Cancel"},
        {SplashWindow::txtFocusId, design::txtFocus, ""},
        {SplashWindow::btnCancelId, design::btnCancel, "Cancel  "},
    };
    for (const Control& c : controls) {
        const HWND child = f.splash.Control(c.id);
        CHECK(child != nullptr);
        CHECK(ChildRect(window, child) == ToPixels(c.box, dpi));
        CHECK_EQ(WindowText(child), std::string(c.text));
        CHECK((::GetWindowLongPtrA(child, GWL_STYLE) & WS_VISIBLE) != 0);
        CHECK(::IsWindowEnabled(child));
    }
    CHECK(f.splash.Scene().progressVisible);
    CHECK_EQ(f.splash.Scene().progressWidth, design::recProgress.width);
    CHECK_EQ(f.splash.Scene().statusText, std::string("Loading Launchwick"));
    CHECK_EQ(f.platform.ProgressBorderWidth(), design::recProgressBorder.width);
    CHECK(std::abs(f.platform.TwipsPerPixelX() * dpi - 1440.0) < 1e-9);
}

void FocusIsRefusedWhileHidden() {
    Fixture f;
    for (const FocusTarget target : {FocusTarget::Command1, FocusTarget::txtFocus, FocusTarget::Form}) {
        CHECK(Throws([&] { f.platform.SetFocus(target); }));
    }
}

void FocusStartsOnCommand1AndFollowsRequests() {
    Fixture f;
    f.splash.Show();
    f.platform.DoEvents();
    const HWND command1 = f.splash.Control(SplashWindow::command1Id);
    const HWND txtFocus = f.splash.Control(SplashWindow::txtFocusId);
    if (::GetForegroundWindow() != f.splash.Handle()) {
        std::printf("  (skipped: the splash did not become the foreground window)\n");
        return;
    }
    CHECK(::GetFocus() == command1);
    f.platform.SetFocus(FocusTarget::txtFocus);
    CHECK(::GetFocus() == txtFocus);
    f.platform.SetFocus(FocusTarget::Command1);
    CHECK(::GetFocus() == command1);
    ::SetFocus(f.splash.Handle()); // the form itself passes the focus on to the remembered child
    CHECK(::GetFocus() == command1);
    ::SetFocus(txtFocus);
    f.platform.SetFocus(FocusTarget::Form); // already inside: stays where it is
    CHECK(::GetFocus() == txtFocus);

    // Tab walks the controls in their order and is not a character for the key preview.
    Recorder recorder;
    f.splash.SetEvents(&recorder);
    const HWND btnCancel = f.splash.Control(SplashWindow::btnCancelId);
    for (const HWND expected : {btnCancel, command1, txtFocus}) {
        ::PostMessageA(::GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001);
        f.platform.DoEvents();
        CHECK(::GetFocus() == expected);
    }
    CHECK(recorder.keys.empty());
}

void TheFocusedControlIsKnown() {
    Fixture f;
    f.splash.Show();
    f.platform.DoEvents();
    if (::GetForegroundWindow() != f.splash.Handle()) {
        std::printf("  (skipped: the splash did not become the foreground window)\n");
        return;
    }
    for (const auto& [id, target] : {std::pair{SplashWindow::command1Id, FocusTarget::Command1},
                                     std::pair{SplashWindow::txtFocusId, FocusTarget::txtFocus},
                                     std::pair{SplashWindow::btnCancelId, FocusTarget::btnCancel}}) {
        ::SetFocus(f.splash.Control(id));
        for (const FocusTarget other :
             {FocusTarget::Command1, FocusTarget::txtFocus, FocusTarget::btnCancel, FocusTarget::Form}) {
            CHECK_EQ(f.platform.HasFocus(other), other == target);
        }
    }
}

int liveRegionEvents = 0;

// The splash the screen-reader case shows, and how often its service had been asked for when it was shown.
const SplashWindow* shownSplash = nullptr;
int requestsAtShow = -1;

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now{}, frequency{};
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// The status line is a label that screen readers can read, announced only when asked, and only once shown.
// Its live setting, and with it oleacc.dll, comes only when an assistive technology can use it.
void StatusLineIsALabelThatIsAnnounced() {
    // The program's own apartment, in which the property service can be made.
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    BOOL screenReader = TRUE;
    CHECK(::SystemParametersInfoA(SPI_GETSCREENREADER, 0, &screenReader, 0) && !screenReader);
    {
        Fixture f;
        const HWND label = f.splash.Control(SplashWindow::lblStatusId);
        char kind[32] = {};
        ::GetClassNameA(label, kind, sizeof kind);
        CHECK_EQ(std::string(kind), std::string("Static"));
        const auto style = static_cast<DWORD>(::GetWindowLongA(label, GWL_STYLE));
        CHECK((style & SS_TYPEMASK) == SS_OWNERDRAW && (style & WS_TABSTOP) == 0 &&
              (style & WS_VISIBLE) != 0);
        CHECK(ChildRect(f.splash.Handle(), label) == StatusRect(96));
        CHECK_EQ(WindowText(label), std::string("Loading Launchwick"));
        f.platform.SetStatusText("(1 of 2) Starting \"a.exe\"");
        CHECK_EQ(WindowText(label), std::string("(1 of 2) Starting \"a.exe\""));
        const std::string cjk = "(1 of 1) Starting \"\xE6\x9D\x8E\xE9\x9B\xB7.exe\" in 3 seconds";
        f.platform.SetStatusText(cjk);
        CHECK_EQ(WideWindowText(label), cjk);

        const HWINEVENTHOOK hook = ::SetWinEventHook(
            0x8019, 0x8019, nullptr,
            [](HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
                liveRegionEvents +=
                    object == OBJID_CLIENT && child == CHILDID_SELF && ::GetDlgCtrlID(window) == 104;
            },
            ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
        CHECK(hook != nullptr);
        const auto pump = [&] {
            for (int i = 0; i < 10; ++i) {
                f.platform.DoEvents();
                ::Sleep(10);
            }
        };
        f.platform.AnnounceStatus(); // hidden: held until the window shows
        pump();
        CHECK_EQ(liveRegionEvents, 0);
        f.splash.Show();
        pump();
        CHECK_EQ(liveRegionEvents, 1);
        f.platform.SetStatusText("next");
        pump();
        CHECK_EQ(liveRegionEvents, 1); // a change alone is not announced
        f.platform.AnnounceStatus();
        pump();
        CHECK_EQ(liveRegionEvents, 2);
        ::UnhookWinEvent(hook);

        // Shown, announced, its text changed, and the windows of the tests before: no client has asked and no
        // screen reader runs, so the service was never asked for and its DLL is not in the process.
        const LiveRegion& region = f.splash.StatusLiveRegion();
        CHECK_EQ(region.ServiceRequests(), 0);
        CHECK(::GetModuleHandleA("oleacc.dll") == nullptr);

        // A client's first question to the label: the service is made before the answer, and only once.
        LARGE_INTEGER start{};
        ::QueryPerformanceCounter(&start);
        const LRESULT answer = ::SendMessageA(label, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
        const double first = MillisecondsSince(start);
        CHECK_EQ(region.ServiceRequests(), 1);
        CHECK_EQ(answer, LRESULT{0}); // the system's default object, now with the live setting
        CHECK(::GetModuleHandleA("oleacc.dll") != nullptr);
        ::QueryPerformanceCounter(&start);
        for (const auto& [asked, object] : {std::pair{label, OBJID_CLIENT}, std::pair{label, OBJID_WINDOW},
                                            std::pair{f.splash.Handle(), OBJID_CLIENT}}) {
            ::SendMessageA(asked, WM_GETOBJECT, 0, static_cast<LPARAM>(object));
        }
        const double next = MillisecondsSince(start) / 3;
        CHECK_EQ(region.ServiceRequests(), 1);
        // What the accessibility property service answered (Wine: E_NOTIMPL); the label works either way.
        std::printf(
            "  (live region: the first question took %.2f ms, each next one %.3f ms; the property service "
            "answered 0x%08lx)\n",
            first, next, static_cast<unsigned long>(region.ServiceAnswer()));
    }

    // A question to the window itself, any object id, does it as well.
    {
        Fixture g;
        ::SendMessageA(g.splash.Handle(), WM_GETOBJECT, 0, static_cast<LPARAM>(-25)); // UI Automation's root
        CHECK_EQ(g.splash.StatusLiveRegion().ServiceRequests(), 1);
    }

    // A screen reader that runs: made after the load handler, before the window shows, once.
    if (::SystemParametersInfoA(SPI_SETSCREENREADER, TRUE, nullptr, 0)) {
        Fixture g;
        CHECK_EQ(g.splash.StatusLiveRegion().ServiceRequests(), 0); // not while the load handler may run
        shownSplash = &g.splash;
        // Sent messages of this thread, seen before the window procedure: WM_SHOWWINDOW comes before any
        // pixel.
        const HHOOK hook = ::SetWindowsHookExA(
            WH_CALLWNDPROC,
            [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
                const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
                if (code == HC_ACTION && sent->hwnd == shownSplash->Handle() &&
                    sent->message == WM_SHOWWINDOW && sent->wParam != 0) {
                    requestsAtShow = shownSplash->StatusLiveRegion().ServiceRequests();
                }
                return ::CallNextHookEx(nullptr, code, wParam, lParam);
            },
            nullptr, ::GetCurrentThreadId());
        CHECK(hook != nullptr);
        g.splash.Show();
        ::UnhookWindowsHookEx(hook);
        CHECK_EQ(requestsAtShow, 1);
        ::SendMessageA(g.splash.Control(SplashWindow::lblStatusId), WM_GETOBJECT, 0,
                       static_cast<LPARAM>(OBJID_CLIENT));
        CHECK_EQ(g.splash.StatusLiveRegion().ServiceRequests(), 1);
        ::SystemParametersInfoA(SPI_SETSCREENREADER, FALSE, nullptr, 0);
    } else {
        CHECK(false && "the screen-reader flag could be set");
    }
    if (com) {
        ::CoUninitialize();
    }
}

void TimersKeepTheirStateAndTick() {
    Fixture f;
    Recorder recorder;
    f.splash.SetEvents(&recorder);
    for (const Timer timer : {Timer::tmrStart, Timer::tmrMain, Timer::tmrExit}) {
        CHECK(!f.platform.IsTimerEnabled(timer));
        f.platform.SetTimerEnabled(timer, true);
        f.platform.SetTimerEnabled(timer, true);
        CHECK(f.platform.IsTimerEnabled(timer));
        f.platform.SetTimerEnabled(timer, false);
        f.platform.SetTimerEnabled(timer, false);
        CHECK(!f.platform.IsTimerEnabled(timer));
    }

    // Enabling again 600 ms in must not restart the interval: the tick still comes about 1 s after the start.
    const ULONGLONG start = ::GetTickCount64();
    f.platform.SetTimerEnabled(Timer::tmrMain, true);
    bool renewed = false;
    while (recorder.ticks.empty() && ::GetTickCount64() - start < 3000) {
        if (!renewed && ::GetTickCount64() - start >= 600) {
            f.platform.SetTimerEnabled(Timer::tmrMain, true);
            renewed = true;
        }
        f.platform.DoEvents();
        ::Sleep(5);
    }
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    CHECK_EQ(recorder.ticks.size(), std::size_t{1});
    CHECK(!recorder.ticks.empty() && recorder.ticks.front() == Timer::tmrMain);
    CHECK(elapsed >= 900 && elapsed < 1450);

    // A disabled timer's tick that was already queued does not reach the events.
    f.platform.SetTimerEnabled(Timer::tmrMain, false);
    ::PostMessageA(f.splash.Handle(), WM_TIMER, 2, 0);
    f.platform.DoEvents();
    CHECK_EQ(recorder.ticks.size(), std::size_t{1});
}

void KeyPreviewSeesEveryCharacterOfTheWindow() {
    Fixture f;
    Recorder recorder;
    f.splash.SetEvents(&recorder);
    f.splash.Show();
    const HWND outsider = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                            ::GetModuleHandleA(nullptr), nullptr);
    struct Case {
        HWND target;
        WPARAM character;
    };
    const Case cases[] = {
        {f.splash.Control(SplashWindow::txtFocusId), 27},
        {f.splash.Control(SplashWindow::btnCancelId), 'a'},
        {f.splash.Control(SplashWindow::command1Id), 'b'},
        {f.splash.Handle(), 13},
        {f.splash.Control(SplashWindow::txtFocusId), 0xE9}, // an ANSI letter above 127 stays positive
        {outsider, 'z'},                                    // not the splash window's
    };
    for (const Case& c : cases) {
        ::PostMessageA(c.target, WM_CHAR, c.character, 1);
    }
    f.platform.DoEvents();
    CHECK(recorder.keys == (std::vector<int>{27, 'a', 'b', 13, 0xE9}));
    CHECK_EQ(recorder.cancels, 0);

    // Esc typed into the text box: the key-down becomes the character 27 on its way through the loop.
    ::PostMessageA(f.splash.Control(SplashWindow::txtFocusId), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    f.platform.DoEvents();
    CHECK(recorder.keys.size() == 6 && recorder.keys.back() == 27);

    // The key still reaches the control after the preview.
    ::PostMessageA(f.splash.Control(SplashWindow::txtFocusId), WM_CHAR, 'q', 1);
    f.platform.DoEvents();
    CHECK_EQ(WindowText(f.splash.Control(SplashWindow::txtFocusId)), std::string("\xE9q"));
    ::DestroyWindow(outsider);
}

void CancelButtonClicksReachTheEvents() {
    Fixture f;
    Recorder recorder;
    f.splash.SetEvents(&recorder);
    f.splash.Show();
    ::SendMessageA(f.splash.Control(SplashWindow::command1Id), BM_CLICK, 0, 0);
    CHECK_EQ(recorder.cancels, 0);
    ::SendMessageA(f.splash.Control(SplashWindow::btnCancelId), BM_CLICK, 0, 0);
    f.platform.DoEvents();
    CHECK_EQ(recorder.cancels, 1);
}

// A change of the status line or the bar repaints only that part; a change that shows nothing new, none.
void ChangesRepaintOnlyWhatTheyChange() {
    Fixture f;
    f.splash.Show();
    f.platform.DoEvents();
    const HWND window = f.splash.Handle();
    const int dpi = f.splash.Dpi();
    const PixelRect none{};
    // A new status text is drawn at once (the label is not left to repaint); a change of the bar waits for
    // the window's paint of what it invalidated.
    struct Case {
        const char* what;
        std::function<void()> change;
        PixelRect repainted;
        bool labelDrawn;
    };
    const Case cases[] = {
        {"new status text", [&] { f.platform.SetStatusText("(1 of 2) Starting"); }, none, true},
        {"the same status text", [&] { f.platform.SetStatusText("(1 of 2) Starting"); }, none, false},
        {"longer status text", [&] { f.platform.SetStatusText("(1 of 2) Starting \"b.exe\" in 9 s"); }, none,
         true},
        {"a wider fill", [&] { f.platform.SetProgressWidth(3000); }, ProgressInteriorRect(dpi), false},
        {"the same width", [&] { f.platform.SetProgressWidth(3000); }, none, false},
        {"the bar hidden", [&] { f.platform.SetProgressVisible(false); }, ProgressInteriorRect(dpi), false},
        {"a new width while hidden", [&] { f.platform.SetProgressWidth(7590); }, none, false},
        {"hidden again", [&] { f.platform.SetProgressVisible(false); }, none, false},
        {"the bar shown", [&] { f.platform.SetProgressVisible(true); }, ProgressInteriorRect(dpi), false},
    };
    // The status line is a label of its own: what it repaints counts in the window's client coordinates.
    const HWND label = f.splash.Control(SplashWindow::lblStatusId);
    const auto labelPixels = [&] {
        const PixelRect box = StatusRect(dpi);
        const WindowDC dc(label);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < box.Height(); ++y) {
            for (int x = 0; x < box.Width(); ++x) {
                pixels.push_back(::GetPixel(dc.get(), x, y));
            }
        }
        return pixels;
    };
    const auto updated = [&](HWND part) {
        RECT update{};
        if (!::GetUpdateRect(part, &update, FALSE)) {
            return none;
        }
        ::MapWindowPoints(part, window, reinterpret_cast<POINT*>(&update), 2);
        return PixelRect{update.left, update.top, update.right, update.bottom};
    };
    for (const Case& c : cases) {
        ::ValidateRect(window, nullptr);
        ::ValidateRect(label, nullptr);
        const std::vector<COLORREF> before = labelPixels();
        c.change();
        const PixelRect inWindow = updated(window);
        const PixelRect inLabel = updated(label);
        const PixelRect repainted = inLabel.Empty() ? inWindow : inLabel;
        const std::vector<COLORREF> drawn = labelPixels();
        // What the label drew at once is what its own paint draws.
        ::InvalidateRect(label, nullptr, FALSE);
        ::UpdateWindow(label);
        const bool asPainted = labelPixels() == drawn;
        if (!(repainted == c.repainted) || !(inWindow.Empty() || inLabel.Empty()) ||
            (drawn != before) != c.labelDrawn || !asPainted) {
            std::printf("  case: %s\n", c.what);
        }
        CHECK(inWindow.Empty() || inLabel.Empty());
        CHECK(repainted == c.repainted);
        CHECK_EQ(drawn != before, c.labelDrawn);
        CHECK(asPainted);
    }
}

void EndingStopsEverything() {
    Fixture f;
    Recorder recorder;
    f.splash.SetEvents(&recorder);
    f.splash.Show();
    f.platform.SetTimerEnabled(Timer::tmrExit, true);
    const HWND window = f.splash.Handle();
    f.platform.EndProcess();
    CHECK(f.splash.Ended());
    CHECK(!::IsWindow(window));
    CHECK(f.splash.Handle() == nullptr);
    CHECK(!f.platform.IsTimerEnabled(Timer::tmrExit));
    CHECK(Throws([&] { f.platform.SetFocus(FocusTarget::Command1); }));
    CHECK(Throws([&] { f.platform.SetTimerEnabled(Timer::tmrMain, true); }));
    // DoEvents leaves the quit message for the main loop.
    f.platform.DoEvents();
    MSG message{};
    CHECK(::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && message.message == WM_QUIT);
    CHECK(recorder.keys.empty() && recorder.ticks.empty() && recorder.cancels == 0);
}

// ---- Drawing ----

struct Canvas {
    int width, height;
    UniqueBitmap bitmap; // declared first so that it outlives the DC it is selected into
    UniqueMemoryDC dc{::CreateCompatibleDC(nullptr)};
    std::uint32_t* bits = nullptr;

    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h; // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* memory = nullptr;
        bitmap.reset(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &memory, nullptr, 0));
        bits = static_cast<std::uint32_t*>(memory);
        ::SelectObject(dc.get(), bitmap.get());
    }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        const std::uint32_t p = bits[y * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int Count(const PixelRect& area, COLORREF colour) const {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                count += At(x, y) == colour ? 1 : 0;
            }
        }
        return count;
    }
};

int DifferingPixels(const Canvas& a, const Canvas& b) {
    int count = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            count += a.At(x, y) != b.At(x, y) ? 1 : 0;
        }
    }
    return count;
}

// The whole drawing of a scene. The window paints it another way, from its kept background: over the
// whole client area when shown or uncovered, and after a tick only over the status line and the bar of
// the picture it showed before. Both ways must give the same pixels as the whole drawing.
Canvas Draw(const SplashScene& scene, int dpi) {
    const SplashFonts fonts = SplashFonts::Create(dpi);
    const int width = TwipsToPixels(design::clientWidth, dpi);
    const int height = TwipsToPixels(design::clientHeight, dpi);
    Canvas canvas(width, height);
    DrawSplash(canvas.dc.get(), scene, fonts, dpi);

    const WindowDC screen(nullptr);
    const SplashBackground background(screen.get(), fonts, dpi);
    CHECK(static_cast<bool>(background));
    Canvas shown(width, height);
    background.Blit(shown.dc.get(), 0, 0, RECT{0, 0, width, height});
    DrawSplashState(shown.dc.get(), scene, fonts, dpi);
    CHECK_EQ(DifferingPixels(shown, canvas), 0);

    Canvas ticked(width, height);
    DrawSplash(ticked.dc.get(), SplashScene{"Loading Launchwick", design::recProgress.width, true}, fonts,
               dpi);
    for (const PixelRect& part : {StatusRect(dpi), ProgressInteriorRect(dpi)}) {
        const int saved = ::SaveDC(ticked.dc.get());
        ::IntersectClipRect(ticked.dc.get(), part.left, part.top, part.right, part.bottom);
        background.Blit(ticked.dc.get(), part.left, part.top,
                        RECT{part.left, part.top, part.right, part.bottom});
        DrawSplashState(ticked.dc.get(), scene, fonts, dpi);
        ::RestoreDC(ticked.dc.get(), saved);
    }
    CHECK_EQ(DifferingPixels(ticked, canvas), 0);
    return canvas;
}

void ProgressBarPixels() {
    const COLORREF outline = ::GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF grey = RGB(64, 64, 64);
    const COLORREF green = RGB(0, 192, 0);
    struct Case {
        bool visible;
        std::int32_t width;
        int greenRight; // first interior column (from x 8) that is grey again
    };
    constexpr Case cases[] = {{true, 7590, 514}, {true, 1155, 85}, {true, 0, 8}, {false, 7590, 8}};
    for (const Case& c : cases) {
        const Canvas canvas = Draw(SplashScene{"", c.width, c.visible}, 96);
        for (const auto& [x, y] : {std::pair{7, 173}, std::pair{514, 173}, std::pair{7, 194},
                                   std::pair{514, 194}, std::pair{300, 173}, std::pair{300, 194}}) {
            CHECK(canvas.At(x, y) == outline);
        }
        for (int x = 8; x < 514; ++x) {
            const COLORREF expected = x < c.greenRight ? green : grey;
            CHECK(canvas.At(x, 174) == expected && canvas.At(x, 193) == expected);
        }
        CHECK(canvas.At(515, 180) != green && canvas.At(6, 180) != green);
    }
    // The frame moves with the density.
    const Canvas large = Draw(SplashScene{"", 0, false}, 144);
    const PixelRect frame = ToPixels(design::recProgressBorder, 144);
    CHECK(large.At(frame.left, frame.top) == outline &&
          large.At(frame.right - 1, frame.bottom - 1) == outline);
    CHECK(large.At(frame.left + 1, frame.top + 1) == grey);
}

void TitleAndStatusPixels() {
    const COLORREF white = RGB(255, 255, 255);
    const COLORREF black = RGB(0, 0, 0);
    const Canvas withText = Draw(SplashScene{"Loading Launchwick", 0, false}, 96);
    const Canvas withoutText = Draw(SplashScene{"", 0, false}, 96);
    const PixelRect title = ToPixels(design::lblTitle[0], 96);
    const PixelRect status = ToPixels(design::lblStatus, 96);
    // White letters with a black outline.
    CHECK(withText.Count(title, white) > 50);
    CHECK(withText.Count(title, black) > 50);
    CHECK(withText.Count(status, white) > 20);
    CHECK_EQ(withoutText.Count(status, white), 0);
    // The background: a lighter header strip above a dark body.
    const auto brightness = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
    CHECK(brightness(withText.At(3, 10)) > brightness(withText.At(3, 120)) + 60);
    CHECK(brightness(withText.At(3, 200)) < 150);
}

// ---- Resources of the program ----

// Run last: it changes how the whole process finds DLLs. The harness puts lwplanted.dll beside this program.
void NoDllFromTheProgramsFolder() {
    const HMODULE planted = ::LoadLibraryA("lwplanted.dll");
    CHECK(planted != nullptr); // found beside the program under the system's default search
    if (planted != nullptr) {
        ::FreeLibrary(planted);
    }
    RestrictDllSearch();
    const HMODULE again = ::LoadLibraryA("lwplanted.dll");
    CHECK(again == nullptr);
    if (again != nullptr) {
        ::FreeLibrary(again);
    }
    const HMODULE system = ::LoadLibraryA("version.dll"); // the system's own still load by their bare name
    CHECK(system != nullptr);
    if (system != nullptr) {
        ::FreeLibrary(system);
    }
}

void ProgramResources() {
    char module[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string program = FolderOfPath(module) + "\\ZVKLaunchwick.exe";
    const HMODULE image = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    CHECK(image != nullptr);
    if (image == nullptr) {
        return;
    }
    // The first icon group, as the shell takes it: twelve images, every size at every depth. Each one
    // (PNG-compressed) makes an icon of its size, clear in the corner the rounded tile leaves out (where
    // a transparency the decoder missed shows black) and drawn in the middle.
    const HRSRC group = ::FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    CHECK(group != nullptr);
    if (group != nullptr) {
        const auto* data = static_cast<const unsigned char*>(::LockResource(::LoadResource(image, group)));
        const int count = data[4] | (data[5] << 8);
        CHECK_EQ(count, 12);
        std::set<std::pair<int, int>> images;
        for (int i = 0; i < count; ++i) {
            const unsigned char* entry = data + 6 + 14 * i; // GRPICONDIRENTRY
            const int size = entry[0] == 0 ? 256 : entry[0];
            images.insert({size, entry[6] | (entry[7] << 8)});
            const HRSRC one = ::FindResourceA(image, MAKEINTRESOURCEA(entry[12] | (entry[13] << 8)),
                                              MAKEINTRESOURCEA(3)); // RT_ICON
            auto* bits =
                one == nullptr ? nullptr : static_cast<BYTE*>(::LockResource(::LoadResource(image, one)));
            const UniqueIcon icon(bits == nullptr
                                      ? nullptr
                                      : ::CreateIconFromResourceEx(bits, ::SizeofResource(image, one), TRUE,
                                                                   0x00030000, 0, 0, 0));
            ICONINFO parts{};
            CHECK(icon && ::GetIconInfo(icon.get(), &parts));
            const UniqueBitmap colour(parts.hbmColor), mask(parts.hbmMask);
            BITMAP made{};
            CHECK(::GetObjectA(colour.get(), sizeof made, &made) && made.bmWidth == size &&
                  made.bmHeight == size);
            constexpr COLORREF paper = RGB(255, 0, 255);
            Canvas drawn(size, size);
            const UniqueBrush brush(::CreateSolidBrush(paper));
            const RECT all{0, 0, size, size};
            ::FillRect(drawn.dc.get(), &all, brush.get());
            CHECK(::DrawIconEx(drawn.dc.get(), 0, 0, icon.get(), size, size, 0, nullptr, DI_NORMAL));
            CHECK_EQ(drawn.At(0, 0), paper);
            CHECK(drawn.At(size / 2, size / 2) != paper);
        }
        std::set<std::pair<int, int>> expected;
        for (const int size : {48, 32, 24, 16}) {
            for (const int depth : {8, 24, 32}) {
                expected.insert({size, depth});
            }
        }
        CHECK(images == expected);
    }
    const HRSRC manifest = ::FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); // RT_MANIFEST
    CHECK(manifest != nullptr);
    if (manifest != nullptr) {
        const std::string text(static_cast<const char*>(::LockResource(::LoadResource(image, manifest))),
                               ::SizeofResource(image, manifest));
        for (const char* needed : {"PerMonitorV2", "true/pm", "Microsoft.Windows.Common-Controls",
                                   "name=\"ZVK.Launchwick\" version=\"" LAUNCHWICK_VERSION_TEXT "\""}) {
            CHECK(text.find(needed) != std::string::npos);
        }
    }
    ::FreeLibrary(image);

    DWORD ignored = 0;
    std::vector<char> version(::GetFileVersionInfoSizeA(program.c_str(), &ignored));
    CHECK(!version.empty() &&
          ::GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    struct Value {
        const char* name;
        const char* expected;
    };
    // The project's version, four numbers: the same in the texts, the fixed record and the manifest.
    constexpr WORD numbers[] = {LAUNCHWICK_VERSION_NUMBERS};
    const std::string dotted = std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
                               std::to_string(numbers[2]) + "." + std::to_string(numbers[3]);
    CHECK_EQ(dotted, std::string(LAUNCHWICK_VERSION_TEXT));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    CHECK(!version.empty() &&
          ::VerQueryValueA(version.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedLength) &&
          fixedLength >= sizeof(VS_FIXEDFILEINFO));
    if (fixed != nullptr) {
        for (const DWORD pair : {fixed->dwFileVersionMS, fixed->dwProductVersionMS}) {
            CHECK_EQ(pair, static_cast<DWORD>(MAKELONG(numbers[1], numbers[0])));
        }
        for (const DWORD pair : {fixed->dwFileVersionLS, fixed->dwProductVersionLS}) {
            CHECK_EQ(pair, static_cast<DWORD>(MAKELONG(numbers[3], numbers[2])));
        }
    }
    const Value values[] = {{"ProductName", "ZVK Launchwick"},
                            {"CompanyName", "ZVK"},
                            {"OriginalFilename", "ZVKLaunchwick.exe"},
                            {"FileVersion", dotted.c_str()},
                            {"ProductVersion", dotted.c_str()}};
    for (const Value& v : values) {
        char* text = nullptr;
        UINT length = 0;
        const std::string key = std::string("\\StringFileInfo\\040904E4\\") + v.name;
        CHECK(!version.empty() &&
              ::VerQueryValueA(version.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) &&
              std::strcmp(text, v.expected) == 0);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const std::string mode = argv[1];
        if (mode == "shell-run") {
            return probe::ShellRunMode();
        }
        if (mode == "find-executable") {
            return probe::FindExecutableMode();
        }
        std::printf("unknown mode %s\n", argv[1]);
        return 2;
    }
    const std::pair<const char*, void (*)()> tests[] = {
        {"TwipsBecomeNearestPixels", TwipsBecomeNearestPixels},
        {"DesignRectsAtNinetySixDpi", DesignRectsAtNinetySixDpi},
        {"FrameAndButtonShareEdgesAtAnyDensity", FrameAndButtonShareEdgesAtAnyDensity},
        {"ProgressFillAtNinetySixDpi", ProgressFillAtNinetySixDpi},
        {"FullFillCoversTheInteriorAtWholeTwipDensities", FullFillCoversTheInteriorAtWholeTwipDensities},
        {"FontHeightsFollowMulDiv", FontHeightsFollowMulDiv},
        {"FolderOfPathKeepsOnlyRootBackslashes", FolderOfPathKeepsOnlyRootBackslashes},
        {"SmallTextBuilders", SmallTextBuilders},
        {"CentringInTheWorkArea", CentringInTheWorkArea},
        {"TextCrossesTheEdgeWhole", TextCrossesTheEdgeWhole},
        {"TempFilesAreNewWithTheirSuffix", TempFilesAreNewWithTheirSuffix},
        {"TempFileNeverOpensAnExistingFile", TempFileNeverOpensAnExistingFile},
        {"TextFilesAreEmptiedAndWrittenWhole", TextFilesAreEmptiedAndWrittenWhole},
        {"LogFilesAreSharedAndRenamedOnlyWhenClosed", LogFilesAreSharedAndRenamedOnlyWhenClosed},
        {"FileDateTimeIsLocalLastWriteTime", FileDateTimeIsLocalLastWriteTime},
        {"ProfileStringsComeBackTrimmedAndCut", ProfileStringsComeBackTrimmedAndCut},
        {"FoldersOfTheProcess", FoldersOfTheProcess},
        {"StartingPrograms", StartingPrograms},
        {"TextsWithANulFailAtTheEdge", TextsWithANulFailAtTheEdge},
        {"OneClaimPerSettingsFile", OneClaimPerSettingsFile},
        {"ProcessorTimesMoveOn", ProcessorTimesMoveOn},
        {"SplashIsAHiddenFramelessCentredWindow", SplashIsAHiddenFramelessCentredWindow},
        {"FocusIsRefusedWhileHidden", FocusIsRefusedWhileHidden},
        {"FocusStartsOnCommand1AndFollowsRequests", FocusStartsOnCommand1AndFollowsRequests},
        {"TheFocusedControlIsKnown", TheFocusedControlIsKnown},
        {"StatusLineIsALabelThatIsAnnounced", StatusLineIsALabelThatIsAnnounced},
        {"TimersKeepTheirStateAndTick", TimersKeepTheirStateAndTick},
        {"KeyPreviewSeesEveryCharacterOfTheWindow", KeyPreviewSeesEveryCharacterOfTheWindow},
        {"CancelButtonClicksReachTheEvents", CancelButtonClicksReachTheEvents},
        {"ChangesRepaintOnlyWhatTheyChange", ChangesRepaintOnlyWhatTheyChange},
        {"EndingStopsEverything", EndingStopsEverything},
        {"ProgressBarPixels", ProgressBarPixels},
        {"TitleAndStatusPixels", TitleAndStatusPixels},
        {"ProgramResources", ProgramResources},
        {"NetworkIsAskedOnlyWhenNeeded", NetworkIsAskedOnlyWhenNeeded},
        {"NoDllFromTheProgramsFolder", NoDllFromTheProgramsFolder},
    };
    int passed = 0, failed = 0;
    for (const auto& [name, test] : tests) {
        const int before = failures;
        try {
            test();
        } catch (const std::exception& error) {
            ++failures;
            std::printf("  FAILED: unexpected exception: %s\n", error.what());
        }
        ++(failures == before ? passed : failed);
        std::printf("%s %s\n", failures == before ? "ok  " : "FAIL", name);
    }
    // The end-to-end runner reads this line; a crash leaves it out.
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
