#include "Setup.h"

#include "Check.h"
#include "Paths.h"
#include "ResumeNext.h"
#include "Strings.h"
#include "Texts.h"
#include "modMain.h"

#include <string>
#include <vector>

namespace launchwick {

namespace {

std::vector<std::string> Words(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false; // "" is a word too, an empty one
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) {
                words.push_back(word);
            }
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

std::string SystemText(Platform& platform, std::uint32_t code) {
    std::string text;
    ResumeNext([&] { text = platform.SystemMessage(code); });
    return texts::SystemReason(text, code);
}

std::string StartupShortcut(const std::string& folder) {
    return JoinPath(folder, texts::shortcutName);
}

void Tell(Platform& platform, bool quiet, const std::string& text, BoxIcon icon) {
    if (!quiet) {
        ResumeNext([&] { platform.ShowIconBox(text, std::string(texts::windowTitle), icon); });
    }
}

// The same line in the trace and in the box.
int Failed(Platform& platform, bool quiet, const std::string& line) {
    platform.Trace(line);
    Tell(platform, quiet, line, BoxIcon::Error);
    return exitFailed;
}

int Install(Platform& platform, bool quiet) {
    std::string shortcut(texts::shortcutName); // the bare name, until the folder is known
    try {
        shortcut = StartupShortcut(platform.StartupFolder());
        const std::string program = platform.ExecutablePath();
        platform.WriteShortcut({shortcut, program, "", FolderOfPath(program), showNormal});
    } catch (const SystemError& failure) {
        return Failed(platform, quiet,
                      texts::CouldNotWriteShortcut(shortcut, SystemText(platform, failure.code)));
    } catch (const StatementError& failure) {
        return Failed(platform, quiet, texts::CouldNotWriteShortcut(shortcut, failure.what()));
    }
    std::string settings;
    ResumeNext([&] { settings = SettingsFilePath(platform.ExecutableFolder()); });
    platform.Trace([&] { return texts::ShortcutWritten(shortcut); });
    Tell(platform, quiet, texts::InstalledMessage(shortcut, settings), BoxIcon::Information);
    return exitDone;
}

int Uninstall(Platform& platform, bool quiet) {
    std::string shortcut(texts::shortcutName);
    bool removed = false;
    try {
        shortcut = StartupShortcut(platform.StartupFolder());
        removed = platform.RemoveFileIfPresent(shortcut);
    } catch (const SystemError& failure) {
        return Failed(platform, quiet,
                      texts::CouldNotRemoveShortcut(shortcut, SystemText(platform, failure.code)));
    } catch (const StatementError& failure) {
        return Failed(platform, quiet, texts::CouldNotRemoveShortcut(shortcut, failure.what()));
    }
    platform.Trace([&] { return removed ? texts::ShortcutRemoved(shortcut) : texts::NoShortcut(shortcut); });
    Tell(platform, quiet,
         removed ? texts::UninstalledMessage(shortcut) : std::string(texts::notInstalledMessage),
         BoxIcon::Information);
    return exitDone;
}

} // namespace

Arguments ParseArguments(std::string_view commandLine) {
    const std::vector<std::string> words = Words(commandLine);
    int install = 0;
    int uninstall = 0;
    int check = 0;
    int quiet = 0;
    bool other = false;
    for (const std::string& word : words) {
        const std::string name =
            word.size() > 1 && (word[0] == '/' || word[0] == '-') ? UpperCase(word.substr(1)) : "";
        install += name == "INSTALL";
        uninstall += name == "UNINSTALL";
        check += name == "CHECK";
        quiet += name == "QUIET";
        other = other || (name != "INSTALL" && name != "UNINSTALL" && name != "CHECK" && name != "QUIET");
    }
    Arguments arguments;
    arguments.quiet = quiet > 0;
    if (words.empty()) {
        arguments.job = Job::Run;
    } else if (!other && install + uninstall + check == 1 && quiet <= 1) {
        arguments.job = install == 1 ? Job::Install : uninstall == 1 ? Job::Uninstall : Job::Check;
    } else {
        arguments.job = Job::Usage;
    }
    return arguments;
}

int RunJob(Platform& platform, const Arguments& arguments) noexcept {
    try {
        switch (arguments.job) {
        case Job::Install:
            return Install(platform, arguments.quiet);
        case Job::Uninstall:
            return Uninstall(platform, arguments.quiet);
        case Job::Check:
            return Check(platform, arguments.quiet);
        case Job::Run:
        case Job::Usage:
            break;
        }
    } catch (...) {
        return exitFailed; // out of memory while putting a text together
    }
    Tell(platform, arguments.quiet, std::string(texts::usageText), BoxIcon::Information);
    return exitUsage;
}

} // namespace launchwick
