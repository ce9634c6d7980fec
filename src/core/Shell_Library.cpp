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

// The program that the fallback start runs for a command line, and the parameters it hands it.
struct FallbackStart {
    std::string program;    // the shortest leading part that ends in ".exe" and names an existing file
    std::string parameters; // the rest of the line, without the spaces and tabs before it
};

// Absent when no leading part names a program: the system's own search through the spaces of the line
// would otherwise run whatever ".exe" sits at one of them ("C:\Program Files\x.exe" starting C:\Program.exe).
// Asks the platform which parts are files.
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

} // namespace

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
    std::optional<std::string> startIn;
    if (workingFolder) {
        // Checked here, at the start: the shell would start the program in another folder without a word.
        // A relative program is taken from this process's folder, as the settings reader found it, not
        // looked for in the start-in folder.
        const std::string current = platform_.CurrentFolder();
        startIn = AbsolutePath(*workingFolder, current);
        if (!platform_.IsFolder(*startIn)) {
            throw StartError(directoryError);
        }
        plan.program = AbsolutePath(plan.program, current);
        plan.workingFolder = startIn;
    }
    if (!plan.workingFolder) {
        plan.workingFolder = platform_.CurrentFolder();
    }
    const auto result = process ? platform_.RunShellExecuteHeld(plan.program, plan.parameters,
                                                                plan.workingFolder, windowStyle, *process)
                                : platform_.RunShellExecute(Owner::None, std::nullopt, plan.program,
                                                            plan.parameters, plan.workingFolder, windowStyle);
    if (result <= 32) {
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
    std::intptr_t found = 0;
    std::string browser;
    if (!probePath.empty()) {
        // Without a probe file there is nothing to look up: asked with an empty name, some systems
        // report success and an empty browser path, and the user would hear nothing.
        ResumeNext([&] { found = platform_.RunFindExecutable(probePath, browser); });
    }
    if (found <= 32) {
        ResumeNext([&] {
            platform_.ShowMessageBox(std::string(texts::browserErrorText),
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
