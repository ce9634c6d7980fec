#include "Check.h"

#include "Numbers.h"
#include "Paths.h"
#include "ResumeNext.h"
#include "Setup.h"
#include "Shell_Library.h"
#include "Strings.h"
#include "Texts.h"
#include "modMain.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace launchwick {

namespace {

// Keeps the run's "Ignoring ..." trace lines, in a run's order.
class IgnoredValues final : public TraceListener {
public:
    void Traced(std::string_view line) noexcept override {
        if (line.rfind(texts::ignoringPrefix, 0) == 0) {
            ResumeNext([&] { lines.push_back(texts::IgnoredValue(line)); });
        }
    }
    std::vector<std::string> lines;
};

std::string_view EncodingName(SettingsEncoding encoding) {
    switch (encoding) {
    case SettingsEncoding::Utf8:
        return texts::encodingUtf8;
    case SettingsEncoding::Utf8Mark:
        return texts::encodingUtf8Mark;
    case SettingsEncoding::Utf16Le:
        return texts::encodingUtf16Le;
    case SettingsEncoding::Utf16Be:
        return texts::encodingUtf16Be;
    case SettingsEncoding::Ansi:
        break;
    }
    return texts::encodingAnsi;
}

// The program and arguments that the launcher starts for an accepted entry: the whole entry when it names
// a file, else by the fallback's rule for the spaces in it.
std::pair<std::string, std::string> StartedProgram(const std::string& entry, const Platform& platform) {
    const ShellRunPlan plan =
        PlanShellRun(!entry.empty() && entry.front() == '"' ? entry : '"' + entry + '"', std::nullopt);
    if (plan.webAddress) {
        return {plan.address, {}};
    }
    std::pair<std::string, std::string> start{plan.program, plan.parameters};
    if (!platform.IsFile(plan.program)) {
        if (auto fallback = PlanFallbackStart(plan.commandLine, platform)) {
            start = {std::move(fallback->program), std::move(fallback->parameters)};
        } else if (const std::string program = ProgramPart(plan.commandLine); !program.empty()) {
            // Not there yet (it is looked for at its turn): the part a run would find once it is.
            const auto rest = plan.commandLine.find_first_not_of(" \t", program.size());
            start = {program, rest == std::string::npos ? std::string() : plan.commandLine.substr(rest)};
        }
    }
    if (!IsAbsolutePath(start.first)) {
        start.first = AbsolutePath(start.first, platform.CurrentFolder());
    }
    return start;
}

// What follows "after <d> s" for a start's options, each only when it applies, in the report's order.
using Addition = std::string (*)(const StartOptions&);
constexpr Addition additions[] = {
    [](const StartOptions& o) {
        return o.showCommand != showNormal ? texts::WindowAddition(WindowStateName(o.showCommand)) : "";
    },
    [](const StartOptions& o) { return o.startIn ? texts::StartInAddition(*o.startIn) : ""; },
    [](const StartOptions& o) { return o.waitNetwork > 0 ? texts::NetworkAddition(o.waitNetwork) : ""; },
    [](const StartOptions& o) { return o.waitReady > 0 ? texts::ReadyAddition(o.waitReady) : ""; },
};

} // namespace

CheckReport CheckSettings(Platform& platform) {
    CheckReport report;
    IgnoredValues ignored; // outlives the settings, whose end lets go of the listener
    modMain settings(platform);
    settings.checking = true;
    settings.configFilePath = SettingsFilePath(platform.ExecutableFolder());
    if (!settings.FileExists(settings.configFilePath)) {
        report.lines.push_back(texts::NoSettingsFile(settings.configFilePath));
        return report;
    }
    platform.SetTraceListener(&ignored);
    settings.LoadSettings();
    platform.SetTraceListener(nullptr);
    std::vector<std::string>& lines = report.lines;
    lines.push_back(texts::ReportHeader(settings.configFilePath, EncodingName(settings.settingsEncoding)));

    int problems = 0;
    std::size_t k = 0; // the accepted profiles fill the tables in profile order
    std::vector<std::string> notes;
    for (const ProfileOutcome& outcome : settings.outcomes) {
        switch (outcome.kind) {
        case ProfileOutcome::Kind::Accepted:
        case ProfileOutcome::Kind::AtItsTurn:
        case ProfileOutcome::Kind::Opens: {
            if (k >= settings.shellPaths.size()) {
                break;
            }
            const StartOptions options =
                k < settings.shellPathOptions.size() ? settings.shellPathOptions[k] : StartOptions{};
            // The countdown of a run: a negative delay starts at once.
            const std::int32_t delay = std::max(settings.shellPathDelay[k], 0);
            std::pair<std::string, std::string> start{outcome.value, {}};
            ResumeNext([&] { start = StartedProgram(settings.shellPaths[k], platform); });
            std::string line = outcome.kind == ProfileOutcome::Kind::Opens
                                   ? texts::ProfileOpens(outcome.profile, settings.shellPaths[k], delay)
                                   : texts::ProfileStarts(outcome.profile, start.first, start.second, delay);
            for (const Addition addition : additions) {
                line += addition(options);
            }
            if (outcome.kind == ProfileOutcome::Kind::AtItsTurn) {
                line =
                    texts::CheckedAtItsTurn(line, outcome.program); // not a problem: the network may bring it
            }
            lines.push_back(line);
            const auto written = WholeNumber(outcome.delayText);
            if (!written || *written != static_cast<std::uint64_t>(delay)) {
                notes.push_back(texts::DelayNote(std::string(texts::delayKey) + Str(outcome.profile),
                                                 outcome.delayText, delay));
            }
            ++k;
            break;
        }
        case ProfileOutcome::Kind::Missing:
            lines.push_back(texts::ProgramMissing(outcome.profile, outcome.program));
            ++problems;
            break;
        case ProfileOutcome::Kind::NoProgram:
            lines.push_back(texts::NoProgram(outcome.profile));
            ++problems;
            break;
        }
    }
    if (settings.idleWait.On()) {
        lines.push_back(texts::IdleWaitLine(settings.idleWait.WaitSeconds(), settings.idleWait.IdleBelow()));
    }
    if (!settings.logFilePath.empty()) {
        lines.push_back(texts::LogFileLine(settings.logFilePath));
    }
    if (!settings.errorBoxes) {
        lines.emplace_back(texts::errorBoxesOffLine);
    }
    std::vector<std::string> unknown;
    for (const UnknownName& name : settings.unknownNames) {
        unknown.push_back(name.key.empty() ? texts::UnknownSection(name.section)
                                           : texts::UnknownKey(name.key, name.section));
    }
    for (const std::vector<std::string>* group : {&ignored.lines, &notes, &unknown}) {
        lines.insert(lines.end(), group->begin(), group->end());
        problems += static_cast<int>(group->size());
    }
    lines.push_back(
        texts::ReportSummary(settings.shellPathCount, static_cast<int>(settings.outcomes.size()), problems));
    report.exitCode = problems == 0 && settings.shellPathCount >= 1 ? exitDone : exitFailed;
    return report;
}

int Check(Platform& platform, bool quiet) noexcept {
    CheckReport report;
    try {
        report = CheckSettings(platform);
    } catch (...) {
        return exitFailed; // out of memory while putting the report together
    }
    if (quiet) {
        return report.exitCode;
    }
    std::string text;
    for (const std::string& line : report.lines) {
        text.append(line).append(texts::lineEnd);
    }
    bool written = false;
    ResumeNext([&] { written = platform.WriteStandardOutput(text); });
    if (!written) {
        std::string box;
        for (std::size_t i = 0; i < report.lines.size(); ++i) {
            box.append(i == 0 ? "" : texts::lineEnd)
                .append(i < boxLines ? report.lines[i] : texts::reportCut);
            if (i == boxLines) {
                break;
            }
        }
        ResumeNext([&] { platform.ShowIconBox(box, std::string(texts::windowTitle), BoxIcon::Information); });
    }
    return report.exitCode;
}

} // namespace launchwick
