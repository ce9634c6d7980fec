#include "Shell_Library.h"

#include "Numbers.h"
#include "Paths.h"
#include "ResumeNext.h"
#include "Strings.h"
#include "Texts.h"

#include <algorithm>
#include <iterator>

namespace launchwick {

namespace {

constexpr char quote = '"';

// Character positions are 16-bit and 1-based, as in the rest of the program.
std::int16_t Position(std::size_t zeroBasedIndex) {
    return Checked<std::int16_t>(static_cast<long long>(zeroBasedIndex) + 1);
}

bool EndsProgramName(char c) {
    return c == ' ' || c == '\t';
}

bool StartsWithWebAddress(std::string_view commandLine) {
    const auto at = UpperCase(commandLine).find("HTTP://");
    return at == 0 || at == 1; // "HTTPS://" does not match, and only one leading character may precede it
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::optional<FallbackStart> PlanFallbackStart(std::string_view commandLine, const PlatformFiles& platform) {
    const std::string upper = UpperCase(commandLine);
    constexpr std::string_view extension = ".EXE";
    for (auto at = upper.find(extension); at != std::string::npos; at = upper.find(extension, at + 1)) {
        const std::size_t end = at + extension.size();
        if (end < commandLine.size() && !EndsProgramName(commandLine[end])) {
            continue; // ".exe" inside a longer name, such as the folder in C:\x.exe.bak\y.exe
        }
        std::string program(commandLine.substr(0, end));
        if (!platform.IsFile(program)) {
            continue;
        }
        std::string_view rest = commandLine.substr(end);
        while (!rest.empty() && EndsProgramName(rest.front())) {
            rest.remove_prefix(1);
        }
        return FallbackStart{std::move(program), std::string(rest)};
    }
    return std::nullopt;
}

bool IsLink(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2 || !IsAsciiLetter(text.front())) {
        return false;
    }
    return std::all_of(text.begin() + 1, text.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
        return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    });
}

ShellRunPlan PlanShellRun(std::string_view commandLine, const std::optional<std::string>& workingFolder) {
    ShellRunPlan plan;
    if (StartsWithWebAddress(commandLine)) {
        plan.webAddress = true;
        plan.commandLine = std::string(commandLine);
        std::remove_copy(commandLine.begin(), commandLine.end(), std::back_inserter(plan.address), quote);
        return plan;
    }

    // Find E, the position just after the program name.
    std::string line(commandLine);
    std::int16_t end = 0;
    if (!line.empty() && line.front() == quote) {
        const auto closing = line.find(quote, 1);
        if (closing != std::string::npos) {
            const std::int16_t q = Position(closing);
            Checked<std::int16_t>(q + 1LL); // the text after the quote starts at q + 1
            line = line.substr(1, closing - 1) + line.substr(closing + 1);
            end = static_cast<std::int16_t>(q - 1);
        }
    } else {
        const auto space = line.find(' ');
        if (space != std::string::npos) {
            end = Position(space);
        }
    }
    if (end == 0) {
        end = Position(line.size()); // the whole command line is the program
    }

    const auto programLength = static_cast<std::size_t>(end) - 1;
    plan.program = line.substr(0, programLength);
    if (workingFolder) {
        plan.workingFolder = workingFolder;
    } else if (std::string folder = FolderOfPath(plan.program); !folder.empty()) {
        plan.workingFolder = std::move(folder); // only a backslash inside the program part separates folders
    }
    const std::string rest = line.substr(std::min(programLength, line.size()));
    plan.parameters = rest.substr(std::min(rest.find_first_not_of(' '), rest.size()));
    plan.commandLine = std::move(line);
    return plan;
}

void Shell_Library::ShellRun(std::string& commandLine, const std::int32_t& windowStyle,
                             const std::optional<std::string>& workingFolder, ProcessToken* process) {
    ShellRunPlan plan = PlanShellRun(commandLine, workingFolder);
    if (plan.webAddress) {
        ShellBrowse(plan.address, windowStyle);
        return;
    }
    commandLine = plan.commandLine;
    const std::string current = platform_.CurrentFolder();
    std::optional<std::string> startIn;
    if (workingFolder) {
        // Checked here, at the start: the shell would start the program in another folder without a word.
        startIn = AbsolutePath(*workingFolder, current);
        if (!platform_.IsFolder(*startIn)) {
            throw StartError(directoryError);
        }
        plan.workingFolder = startIn;
    }
    if (workingFolder || (!plan.program.empty() && plan.parameters.empty())) {
        // A relative program is the one the settings reader found in this process's folder: by a bare name
        // the shell would look through the system's folders and the PATH once that one is gone.
        plan.program = AbsolutePath(plan.program, current);
    }
    if (!plan.workingFolder) {
        plan.workingFolder = current;
    }
    const ShellAnswer answer =
        process ? platform_.RunShellExecuteHeld(plan.program, plan.parameters, plan.workingFolder,
                                                windowStyle, *process)
                : platform_.RunShellExecute(Owner::None, std::nullopt, plan.program, plan.parameters,
                                            plan.workingFolder, windowStyle);
    if (!answer.done) {
        // Refused, typically because the file name carries arguments: start the program that the line
        // names, by its full path so that nothing else can stand in for it, with the rest as parameters.
        const auto start = PlanFallbackStart(commandLine, platform_);
        if (!start) {
            throw StartError(fileNotFoundError);
        }
        const std::string program = IsAbsolutePath(start->program)
                                        ? start->program
                                        : AbsolutePath(start->program, platform_.CurrentFolder());
        platform_.StartProgram(program, start->parameters, startIn, windowStyle, process);
    }
}

void Shell_Library::ShellOpen(const std::string& item, std::int32_t showCommand,
                              const std::optional<std::string>& startIn, ProcessToken* process) {
    const bool link = IsLink(item);
    const std::string current = platform_.CurrentFolder();
    const std::string file = link ? item : AbsolutePath(item, current);
    std::optional<std::string> directory;
    if (startIn) {
        directory = AbsolutePath(*startIn, current);
        if (!platform_.IsFolder(*directory)) {
            throw StartError(directoryError);
        }
    } else if (!link) {
        directory = FolderOfPath(file); // a link has no folder of its own
    }
    platform_.OpenItem(file, directory, showCommand, process);
}

void Shell_Library::ShellBrowse(std::string address, std::int32_t showCommand) noexcept {
    // The browser is whatever program the system associates with an HTML file, so ask with a real one.
    std::string probePath;
    ResumeNext([&] {
        std::string path;
        const auto file = platform_.CreateTempFile(texts::browserProbeSuffix, path);
        probePath = path;
        file->Write(texts::browserProbeLine);
        file->Close();
    });
    ShellAnswer found;
    std::string browser;
    if (!probePath.empty()) {
        // Without a probe file there is nothing to look up: asked with an empty name, some systems
        // report success and an empty browser path, and the user would hear nothing.
        ResumeNext([&] { found = platform_.RunFindExecutable(probePath, browser); });
    }
    if (!found.done) {
        ResumeNext([&] {
            platform_.ShowConfigurationBox(std::string(texts::browserErrorText),
                                           std::string(texts::browserErrorTitle));
        });
    } else {
        // A refusal is not reported.
        ResumeNext([&] {
            platform_.RunShellExecute(Owner::Splash, std::string(texts::openVerb), browser, address,
                                      std::nullopt, showCommand);
        });
    }
    if (!probePath.empty()) {
        ResumeNext([&] { platform_.RemoveFile(probePath); });
    }
}

} // namespace launchwick
