// Feeds arbitrary command lines to the launcher's decisions (PlanShellRun) and to ShellRun on the fake
// platform, and as the program's own command line to ParseArguments and RunJob, and aborts when a rule of
// either is broken.
//
// Input: byte 0 holds options, the rest is the command line.
//   bit 0     a working folder is given: the text after the first NUL of the command line (or empty); it
//             exists when its length is even
//   bits 1, 6, 7 all set: stretch; bytes 1-2 pick a length of 32,700 to 32,839, byte 3 a filler
//             character and byte 4 where it goes, so that lines reach the 16-bit position limits (such
//             lines are slow to check, so only one input in eight is stretched)
//   bits 2-3  what ShellExecuteA returns: 33, 32, 0 or 42
//   bit 4     no program for the fallback start: otherwise every leading part of the line that could name
//             one (it ends in ".exe" and a space, a tab or the end follows) is an existing file
//   bit 5     the window style, 0 or 1
//   bit 7     the shortest such part is a folder, not a file
#include "FakePlatform.h"
#include "FuzzCheck.h"
#include "Paths.h"
#include "Setup.h"
#include "Shell_Library.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using launchwick::ShellRunPlan;
using launchwick::StatementError;

constexpr std::size_t maxPosition = 32767; // the largest 16-bit signed position

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool WebTagAt(std::string_view line, std::size_t at) {
    constexpr std::string_view tag = "HTTP://";
    if (line.size() < at + tag.size()) {
        return false;
    }
    for (std::size_t i = 0; i < tag.size(); ++i) {
        if (Upper(line[at + i]) != tag[i]) {
            return false;
        }
    }
    return true;
}

std::string WithoutQuotes(std::string_view line) {
    std::string out;
    for (char c : line) {
        if (c != '"') {
            out += c;
        }
    }
    return out;
}

// What the launcher's rules say about a command line, worked out step by step from the rules.
struct Expected {
    bool web = false;
    bool overflow = false;
    std::string line;    // the caller's command line afterwards
    std::string program; // the first E - 1 characters of line
    std::string after;   // the text from E on, before its leading spaces are dropped
    std::optional<std::string> folder;
};

Expected Expect(std::string_view s, const std::optional<std::string>& given) {
    Expected e;
    if (WebTagAt(s, 0) || WebTagAt(s, 1)) {
        e.web = true;
        return e;
    }
    if (!s.empty() && s.front() == '"') {
        const auto closing = s.find('"', 1);
        if (closing != std::string_view::npos) {
            // The closing quote's position q and q + 1 must both fit.
            e.overflow = closing + 1 > maxPosition - 1;
            e.program = std::string(s.substr(1, closing - 1));
            e.after = std::string(s.substr(closing + 1));
        } else {
            e.overflow = s.size() + 1 > maxPosition;
            e.program = std::string(s);
        }
    } else {
        const auto space = s.find(' ');
        if (space != std::string_view::npos) {
            e.overflow = space + 1 > maxPosition;
            e.program = std::string(s.substr(0, space));
            e.after = std::string(s.substr(space));
        } else {
            e.overflow = s.size() + 1 > maxPosition;
            e.program = std::string(s);
        }
    }
    e.line = e.program + e.after;
    if (given) {
        e.folder = given;
    } else if (const auto b = e.program.rfind('\\'); b != std::string::npos) {
        const bool root = b == 0 || e.program[b - 1] == ':';
        e.folder = e.program.substr(0, root ? b + 1 : b);
    }
    return e;
}

// The lengths of the leading parts of line that end in ".exe", any letter case, followed by a space, a tab
// or the end: the fallback start's candidates for its program, shortest first.
std::vector<std::size_t> ProgramCandidates(std::string_view line) {
    std::vector<std::size_t> lengths;
    for (std::size_t end = 4; end <= line.size(); ++end) {
        const bool exe = line[end - 4] == '.' && Upper(line[end - 3]) == 'E' && Upper(line[end - 2]) == 'X' &&
                         Upper(line[end - 1]) == 'E';
        if (exe && (end == line.size() || line[end] == ' ' || line[end] == '\t')) {
            lengths.push_back(end);
        }
    }
    return lengths;
}

void CheckPlan(std::string_view s, const std::optional<std::string>& given, const Expected& e) {
    ShellRunPlan plan;
    bool overflow = false;
    try {
        plan = launchwick::PlanShellRun(s, given);
    } catch (const StatementError&) {
        overflow = true;
    } catch (...) {
        FUZZ_CHECK(!"an exception other than StatementError");
    }
    FUZZ_CHECK(overflow == e.overflow);
    if (overflow) {
        return;
    }
    FUZZ_CHECK(plan.webAddress == e.web);
    if (plan.webAddress) {
        FUZZ_CHECK(plan.address.find('"') == std::string::npos);
        FUZZ_CHECK(plan.address == WithoutQuotes(s));
        FUZZ_CHECK(plan.commandLine == s);
        return;
    }

    // The new line is the input, or the input less the two quotes of the quoted-program rule.
    const std::string_view line = plan.commandLine;
    if (line != s) {
        FUZZ_CHECK(s.size() == line.size() + 2 && s.front() == '"');
        const auto closing = s.find('"', 1);
        FUZZ_CHECK(closing != std::string_view::npos);
        FUZZ_CHECK(line.substr(0, closing - 1) == s.substr(1, closing - 1));
        FUZZ_CHECK(line.substr(closing - 1) == s.substr(closing + 1));
    }
    FUZZ_CHECK(line == e.line);

    // Program, the dropped leading spaces and the parameters put the new line back together.
    FUZZ_CHECK(line.substr(0, plan.program.size()) == plan.program);
    const std::string_view rest = line.substr(plan.program.size());
    FUZZ_CHECK(rest.size() >= plan.parameters.size());
    const std::size_t dropped = rest.size() - plan.parameters.size();
    FUZZ_CHECK(rest.substr(0, dropped).find_first_not_of(' ') == std::string_view::npos);
    FUZZ_CHECK(rest.substr(dropped) == plan.parameters);
    FUZZ_CHECK(plan.parameters.empty() || plan.parameters.front() != ' ');
    FUZZ_CHECK(plan.program == e.program);

    if (given) {
        FUZZ_CHECK(plan.workingFolder == given);
    } else if (plan.workingFolder) {
        // A derived folder is a prefix of the program that ends at one of its backslashes.
        const std::string& folder = *plan.workingFolder;
        FUZZ_CHECK(!folder.empty() && plan.program.compare(0, folder.size(), folder) == 0);
        const auto last = plan.program.rfind('\\');
        FUZZ_CHECK(last != std::string::npos && (last == folder.size() || last + 1 == folder.size()));
    } else {
        FUZZ_CHECK(plan.program.find('\\') == std::string::npos);
    }
    FUZZ_CHECK(plan.workingFolder == e.folder);
}

// ShellRun itself: what reaches the platform and what the caller's variable holds afterwards.
void CheckShellRun(std::string_view s, const std::optional<std::string>& given, const Expected& e,
                   launchwick::ShellAnswer shellAnswer, bool noProgram, bool shortestIsFolder,
                   std::int32_t style) {
    launchwick::test::FakePlatform fake;
    fake.shellExecuteAnswer = shellAnswer;
    // A given folder (a profile's start-in folder) is taken from the current folder and must exist: here it
    // does when its text has an even length.
    const std::optional<std::string> startIn =
        given ? std::optional<std::string>(launchwick::AbsolutePath(*given, fake.currentFolder))
              : std::nullopt;
    const bool folderMissing = given && given->size() % 2 != 0;
    if (startIn && !folderMissing) {
        fake.AddFolder(*startIn);
    }
    const std::vector<std::size_t> candidates =
        e.overflow || e.web ? std::vector<std::size_t>{} : ProgramCandidates(e.line);
    std::optional<std::size_t> program; // the length of the program the fallback must start
    for (const std::size_t length : candidates) {
        if (noProgram) {
            break;
        }
        if (shortestIsFolder && length == candidates.front()) {
            fake.AddFolder(e.line.substr(0, length));
            continue;
        }
        fake.AddFile(e.line.substr(0, length));
        program = program ? program : length;
    }
    launchwick::Shell_Library shell(fake);
    std::string caller(s);
    bool failed = false;
    std::uint32_t code = 0;
    try {
        shell.ShellRun(caller, style, given);
    } catch (const launchwick::StartError& error) {
        failed = true;
        code = error.code;
    } catch (const StatementError&) {
        failed = true;
    } catch (...) {
        FUZZ_CHECK(!"an exception other than StatementError");
    }

    if (e.overflow) {
        // Nothing is started or changed before the overflow.
        FUZZ_CHECK(failed && caller == s && fake.calls.empty());
        return;
    }
    if (e.web) {
        FUZZ_CHECK(!failed && caller == s);
        FUZZ_CHECK(fake.Lines({"StartCommandLine", "StartProgram"}).empty());
        const auto starts = fake.Lines({"ShellExecute"});
        FUZZ_CHECK(starts.size() == 1);
        // The window style reaches the browser's start; a start-in folder does not apply.
        FUZZ_CHECK(starts[0] == "ShellExecute|Splash|open|" + fake.browserPath + "|" + WithoutQuotes(s) +
                                    "|(null)|" + std::to_string(style));
        return;
    }
    FUZZ_CHECK(caller == e.line);
    const std::string params = e.after.substr(std::min(e.after.find_first_not_of(' '), e.after.size()));
    const bool refused = !shellAnswer.done;
    std::size_t first = 0; // the index of the ShellExecute call
    if (startIn) {
        FUZZ_CHECK(fake.calls[0] == "IsFolder|" + *startIn);
        if (folderMissing) {
            // Nothing starts in the wrong folder.
            FUZZ_CHECK(failed && code == launchwick::directoryError && fake.calls.size() == 1);
            return;
        }
        first = 1;
    }
    // Without parameters, a relative program goes by the path that was checked in the current folder.
    const std::string file = startIn || (params.empty() && !e.program.empty())
                                 ? launchwick::AbsolutePath(e.program, fake.currentFolder)
                                 : e.program;
    FUZZ_CHECK(fake.calls[first] == "ShellExecute|None|(null)|" + file + "|" + params + "|" +
                                        startIn.value_or(e.folder.value_or(fake.currentFolder)) + "|" +
                                        std::to_string(style));
    const auto starts = fake.Lines({"StartCommandLine", "StartProgram"});
    if (!refused) {
        FUZZ_CHECK(fake.calls.size() == first + 1 && !failed);
        return;
    }
    // Refused: the fallback runs the shortest existing candidate by its full path, with the rest as its
    // parameters once their leading spaces and tabs are gone; with none, nothing starts and the start fails
    // as for a missing program.
    FUZZ_CHECK(failed == !program);
    if (!program) {
        FUZZ_CHECK(starts.empty() && code == launchwick::fileNotFoundError);
        return;
    }
    const std::string name = e.line.substr(0, *program);
    std::string rest = e.line.substr(*program);
    rest.erase(0, std::min(rest.find_first_not_of(" \t"), rest.size()));
    FUZZ_CHECK(starts.size() == 1);
    FUZZ_CHECK(starts[0] == "StartProgram|" + launchwick::AbsolutePath(name, fake.currentFolder) + "|" +
                                rest + "|" + startIn.value_or("(null)") + "|" + std::to_string(style));
}

// The program's own command line: one job word with "quiet" at most once, or no word at all; every other
// form is the usage, shown unless "quiet" is among the words. Nothing but a job's own calls is made.
void CheckArguments(std::string_view line) {
    std::vector<bool> quoted(line.size() + 1, false); // whether a quote is open before each character
    for (std::size_t i = 0; i < line.size(); ++i) {
        quoted[i + 1] = quoted[i] != (line[i] == '"');
    }
    std::vector<std::string> words;
    bool open = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool blank = (line[i] == ' ' || line[i] == '\t') && !quoted[i];
        if (!blank && !open) {
            words.emplace_back();
        }
        open = !blank;
        if (!blank && line[i] != '"') {
            std::string& word = words.back();
            word += word.empty() && line[i] == '-' ? '/' : Upper(line[i]);
        }
    }
    std::sort(words.begin(), words.end());
    const bool quiet = std::count(words.begin(), words.end(), "/QUIET") != 0;
    using launchwick::Job;
    Job job = Job::Usage;
    for (const Job candidate : {Job::Install, Job::Uninstall}) {
        const std::string word = candidate == Job::Install ? "/INSTALL" : "/UNINSTALL";
        std::vector<std::string> withQuiet = {word, "/QUIET"};
        std::sort(withQuiet.begin(), withQuiet.end()); // compared with the sorted words
        if (words == std::vector<std::string>{word} || words == withQuiet) {
            job = candidate;
        }
    }
    job = words.empty() ? Job::Run : job;
    const launchwick::Arguments parsed = launchwick::ParseArguments(line);
    FUZZ_CHECK(parsed.job == job && parsed.quiet == quiet);
    if (job == Job::Run) {
        return;
    }
    launchwick::test::FakePlatform fake;
    const int exitCode = launchwick::RunJob(fake, parsed);
    FUZZ_CHECK(exitCode == (job == Job::Usage ? 2 : 0));
    FUZZ_CHECK(fake.Lines({"IconBox"}).size() == (quiet ? 0u : 1u));
    FUZZ_CHECK(
        fake.Lines({"IconBox", "StartupFolder", "WriteShortcut", "RemoveFileIfPresent", "Trace"}).size() ==
        fake.calls.size());
    FUZZ_CHECK(job != Job::Usage || fake.calls.size() == fake.Lines({"IconBox"}).size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t options = data[0];
    std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string line(body);
    if ((options & 0xC2) == 0xC2 && line.size() >= 4) {
        const std::size_t length =
            32700 + ((static_cast<unsigned char>(line[0]) << 8 | static_cast<unsigned char>(line[1])) % 140);
        const char filler = line[2];
        const std::size_t at = static_cast<unsigned char>(line[3]);
        line.erase(0, 4);
        line.insert(std::min(at, line.size()), length, filler);
    }
    std::optional<std::string> given;
    if ((options & 0x01) != 0) {
        const auto nul = line.find('\0');
        given = nul == std::string::npos ? std::string() : line.substr(nul + 1);
        line = line.substr(0, nul);
    }
    static constexpr launchwick::ShellAnswer shellAnswers[] = {
        {true, 0}, {false, 1157}, {false, 8}, {true, 0}};
    const launchwick::ShellAnswer shellAnswer = shellAnswers[(options >> 2) & 0x03];
    const bool noProgram = (options & 0x10) != 0;
    const bool shortestIsFolder = (options & 0x80) != 0;
    const std::int32_t style = (options >> 5) & 0x01;

    CheckArguments(line);
    const Expected expected = Expect(line, given);
    CheckPlan(line, given, expected);
    CheckShellRun(line, given, expected, shellAnswer, noProgram, shortestIsFolder, style);
    return 0;
}
