#include "frmMain.h"

#include "Numbers.h"
#include "ResumeNext.h"
#include "Texts.h"

#include <iterator>

namespace launchwick {

namespace {

constexpr std::int16_t escapeKey = 27;
constexpr std::int16_t enterKey = 13;

// What the status line shows for an entry: the text after its last backslash, arguments and all; a link
// whole.
std::string DisplayName(const std::string& entry) {
    return IsLink(entry) ? entry : entry.substr(entry.rfind('\\') + 1);
}

} // namespace

void frmMain::Form_Load() noexcept {
    modMain& s = settings_;
    ResumeNext([&] { s.configFilePath = SettingsFilePath(platform_.ExecutableFolder()); });
    // A second start for the same settings file would run every program twice: it hands over and ends.
    bool claimed = true;
    ResumeNext([&] { claimed = platform_.ClaimSettingsFile(s.configFilePath); });
    if (!claimed) {
        platform_.Trace([&] { return texts::AlreadyRunning(s.configFilePath); });
        ResumeNext([&] { platform_.ShowRunningInstance(); });
        ResumeNext([&] { platform_.EndProcess(); });
        return;
    }
    const std::int32_t zero = 0;
    setProgressBar(zero, zero);

    bool configurationRequired = true;
    if (s.FileExists(s.configFilePath)) {
        platform_.Trace([&] { return texts::FoundSettings(s.configFilePath); });
        s.LoadSettings();
        if (s.shellPathCount != 0) {
            ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrStart, true); });
            configurationRequired = false;
        } else {
            ResumeNext([&] {
                platform_.ShowConfigurationBox(texts::NoValidPathsMessage(s.configFilePath),
                                               std::string(texts::errorTitle));
            });
            ResumeNext([&] { platform_.DoEvents(); });
        }
    } else {
        platform_.Trace([&] { return texts::DidNotFindSettings(s.configFilePath); });
        s.WriteDefaultSettings();
        ResumeNext([&] { platform_.DoEvents(); });
        // Shown even when the file could not be written; the trace says so.
        ResumeNext([&] {
            platform_.ShowMessageBox(texts::WelcomeMessage(s.configFilePath),
                                     std::string(texts::welcomeTitle));
        });
        ResumeNext([&] { platform_.DoEvents(); });
    }
    if (configurationRequired) {
        if (s.errorBoxes) {
            ResumeNext([&] {
                platform_.StartCommandLine(std::string(texts::notepadCommand) + s.configFilePath, showNormal);
            });
        } else {
            // Unattended: nobody would close Notepad either.
            platform_.Trace(texts::noNotepadTrace);
        }
        ShowStatus([] { return std::string(texts::statusConfigurationRequired); }, true);
        ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrMain, false); });
        ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrExit, true); });
    }
    // The window is not shown yet, so these are refused; the focus then starts on Command1, never on the
    // visible Cancel button.
    ResumeNext([&] { platform_.SetFocus(FocusTarget::Command1); });
    ResumeNext([&] { platform_.SetFocus(FocusTarget::txtFocus); });
}

void frmMain::OnTimer(Timer timer) noexcept {
    if (busy_) {
        return; // delivered again inside a modal loop of the running handler: the late tick is dropped
    }
    busy_ = true;
    switch (timer) {
    case Timer::tmrStart:
        tmrStart_Timer();
        break;
    case Timer::tmrMain:
        tmrMain_Timer();
        break;
    case Timer::tmrExit:
        ResumeNext([&] { tmrExit_Timer(); }); // no policy of its own: a failure ends the handler
        break;
    }
    busy_ = false;
    RunDeferredInput();
}

void frmMain::tmrStart_Timer() noexcept {
    modMain& s = settings_;
    ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrStart, false); });
    ResumeNext([&] { s.currentShellPath = 1; });
    ResumeNext([&] { timerCount = 0; });
    const std::int32_t zero = 0;
    setProgressBar(zero, zero);
    ResumeNext([&] { nextEXE = DisplayName(s.shellPaths.at(0)); });
    s.idleWait.Sample();
    ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrMain, true); });
}

// A sequence tick: the ready wait, then the current profile's countdown, gates and launch, or the completion.
void frmMain::tmrMain_Timer() noexcept {
    modMain& s = settings_;
    s.idleWait.Sample();
    platform_.Trace([&] { return texts::TickStart(s.currentShellPath, s.shellPathCount, timerCount); });
    bool counts = false; // a waiting tick does not count towards the bar
    if (!WaitForReady()) {
        if (s.currentShellPath <= s.shellPathCount) {
            counts = CountOrLaunch();
        } else {
            Complete();
            counts = true;
        }
    }
    EndTick(counts);
}

bool frmMain::CountOrLaunch() noexcept {
    modMain& s = settings_;
    const auto index = static_cast<std::size_t>(s.currentShellPath - 1);
    platform_.Trace(texts::tickInRange);
    platform_.Trace(
        [&] { return texts::ShellPathDelayTrace(s.currentShellPath - 1, s.shellPathDelay.at(index)); });
    platform_.Trace([&] { return texts::TimerCountTrace(timerCount); });
    bool counting = false;
    ResumeNext([&] { counting = timerCount < s.shellPathDelay.at(index); });
    if (counting) {
        CountDown(index);
        return true;
    }
    if (!GatesOpen(index)) {
        return false;
    }
    Launch(index);
    return true;
}

void frmMain::CountDown(std::size_t index) noexcept {
    modMain& s = settings_;
    platform_.Trace(texts::tickCountdown);
    ResumeNext([&] { timerCount = Add32(timerCount, 1); });
    platform_.Trace([&] { return texts::CountdownTrace(timerCount, s.currentShellPath); });
    ShowStatus(
        [&] {
            const std::int32_t remaining =
                Checked<std::int32_t>(static_cast<long long>(s.shellPathDelay.at(index)) - timerCount);
            return texts::CountdownStatus(s.currentShellPath, s.shellPathCount, nextEXE, remaining);
        },
        timerCount == 1);
}

bool frmMain::GatesOpen(std::size_t index) noexcept {
    modMain& s = settings_;
    struct GateAt {
        Gate& gate;
        std::int32_t seconds; // its budget for this start; 0: off
    };
    // In order, each with its own budget. A gate that has let this start through is not asked again.
    const std::int32_t network =
        index < s.shellPathOptions.size() ? s.shellPathOptions[index].waitNetwork : 0;
    const GateAt gates[] = {{networkWait_, network}, {s.idleWait, s.idleWait.WaitSeconds()}};
    for (; openGates_ < std::size(gates); ++openGates_) {
        const GateAt& at = gates[openGates_];
        if (at.seconds <= 0) {
            continue;
        }
        const WaitStep step = at.gate.budget.Step(at.gate.Met(), at.seconds);
        if (step.outcome == WaitOutcome::Wait) {
            platform_.Trace([&] { return at.gate.WaitingTrace(step.secondsLeft); });
            ShowStatus(
                [&] {
                    return at.gate.WaitingStatus(s.currentShellPath, s.shellPathCount, nextEXE,
                                                 step.secondsLeft);
                },
                step.firstWait);
            return false;
        }
        if (step.outcome != WaitOutcome::Now) {
            platform_.Trace(at.gate.Released(step.outcome));
        }
    }
    openGates_ = 0;
    return true;
}

void frmMain::Launch(std::size_t index) noexcept {
    modMain& s = settings_;
    platform_.Trace(texts::tickLaunch);
    ResumeNext([&] { timerCount = 0; });
    ShowStatus([&] { return texts::LaunchStatus(s.currentShellPath, s.shellPathCount, nextEXE); }, true);
    const StartOptions none;
    const StartOptions& options = index < s.shellPathOptions.size() ? s.shellPathOptions[index] : none;
    ProcessToken process = noProcess; // held only when the next profile waits for this one
    ProcessToken* const held = options.waitReady > 0 ? &process : nullptr;
    Start(index, options, held);
    if (held != nullptr) {
        // A start that failed or gave no process is ready at the first check.
        readyWait_.Begin(process, options.waitReady, s.currentShellPath, nextEXE);
    }
    ResumeNext([&] { s.currentShellPath = Add16(s.currentShellPath, 1); });
    if (s.currentShellPath <= s.shellPathCount) {
        ResumeNext([&] {
            nextEXE = DisplayName(s.shellPaths.at(static_cast<std::size_t>(s.currentShellPath - 1)));
        });
    }
}

void frmMain::Start(std::size_t index, const StartOptions& options, ProcessToken* held) noexcept {
    ResumeNext([&] {
        std::string& entry = settings_.shellPaths.at(index);
        const std::string stored = entry; // the launcher may drop the quotes of the caller's text
        try {
            if (options.open) {
                shell_.ShellOpen(entry, options.showCommand, options.startIn, held);
                return;
            }
            // A program that waited for the network was not looked for when the settings were read.
            const std::string program = ProgramPart(entry);
            if (options.waitNetwork > 0 && !settings_.FileExists(program.substr(program.rfind('"') + 1))) {
                throw StartError(fileNotFoundError);
            }
            if (!entry.empty() && entry.front() == '"') {
                shell_.ShellRun(entry, options.showCommand, options.startIn, held);
            } else {
                std::string wrapped = '"' + entry + '"';
                shell_.ShellRun(wrapped, options.showCommand, options.startIn, held);
            }
        } catch (const StartError& failure) {
            // Said in the trace, never in a box: the sequence carries on regardless.
            platform_.Trace(
                texts::CouldNotStart(stored, platform_.SystemMessage(failure.code), failure.code));
        }
    });
}

void frmMain::Complete() noexcept {
    platform_.Trace(texts::tickComplete);
    ShowStatus([] { return std::string(texts::statusComplete); }, true);
    ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrMain, false); });
    ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrExit, true); });
}

void frmMain::EndTick(bool counts) noexcept {
    if (counts) {
        ResumeNext([&] { totalTimerCount = Add32(totalTimerCount, 1); });
    }
    setProgressBar(totalTimerCount, settings_.totalDelayCount);
    ResumeNext([&] { platform_.SetFocus(FocusTarget::Form); });
    platform_.Trace(texts::tickEnd);
}

// A tick of the ready wait: true when it waited, and so is a waiting tick.
bool frmMain::WaitForReady() noexcept {
    if (!readyWait_.Active()) {
        return false;
    }
    const WaitStep step = readyWait_.Check();
    if (step.outcome == WaitOutcome::Met) {
        platform_.Trace(texts::readyGoingOn);
    } else if (step.outcome == WaitOutcome::Over) {
        platform_.Trace(texts::readyWaitOver);
    }
    if (step.outcome != WaitOutcome::Wait) {
        return false; // the tick goes on as it would have
    }
    // Nothing counts and nothing starts; the bar holds still.
    platform_.Trace([&] { return texts::ReadyWaitingTrace(step.secondsLeft); });
    ShowStatus(
        [&] {
            return texts::ReadyWaitingStatus(readyWait_.Profile(), settings_.shellPathCount,
                                             readyWait_.Name(), step.secondsLeft);
        },
        step.firstWait);
    return true;
}

void frmMain::tmrExit_Timer() {
    readyWait_.End();
    platform_.SetTimerEnabled(Timer::tmrExit, false);
    platform_.SetTimerEnabled(Timer::tmrMain, false);
    platform_.SetTimerEnabled(Timer::tmrStart, false);
    platform_.EndProcess();
}

void frmMain::btnCancel_Click() noexcept {
    if (busy_) {
        deferredInput_.push_back(cancelClick);
        return;
    }
    readyWait_.End(); // nothing more starts: the held process goes
    ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrMain, false); });
    ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrStart, false); });
    bool exiting = false;
    ResumeNext([&] { exiting = platform_.IsTimerEnabled(Timer::tmrExit); });
    if (!exiting) {
        platform_.Trace(texts::canceledByUser);
        ShowStatus([] { return std::string(texts::statusCanceled); }, true);
        const std::int32_t zero = 0;
        setProgressBar(zero, zero);
        ResumeNext(
            [&] { platform_.SetTimerEnabled(Timer::tmrExit, true); }); // an exit under way keeps its time
    }
    // Park the focus on the hidden holders so the Cancel button does not keep it.
    ResumeNext([&] { platform_.SetFocus(FocusTarget::txtFocus); });
    ResumeNext([&] { platform_.SetFocus(FocusTarget::Command1); });
}

void frmMain::Form_KeyPress(std::int16_t KeyAscii) noexcept {
    if (busy_) {
        deferredInput_.push_back(KeyAscii);
        return;
    }
    platform_.Trace([&] { return texts::KeyPressTrace(KeyAscii); });
    bool cancel = KeyAscii == escapeKey;
    if (KeyAscii == enterKey) {
        // Enter activates the focused push button, as in every dialog.
        ResumeNext([&] { cancel = platform_.HasFocus(FocusTarget::btnCancel); });
    }
    if (cancel) {
        btnCancel_Click();
    }
}

// A click or key that arrived inside a tick's modal loop runs once the tick has finished, in order.
void frmMain::RunDeferredInput() noexcept {
    std::vector<std::int32_t> input;
    input.swap(deferredInput_);
    for (const std::int32_t event : input) {
        if (event == cancelClick) {
            btnCancel_Click();
        } else {
            Form_KeyPress(static_cast<std::int16_t>(event));
        }
    }
}

template <class Text> void frmMain::ShowStatus(const Text& text, bool announce) noexcept {
    bool shown = false;
    ResumeNext([&] {
        platform_.SetStatusText(text());
        shown = true;
    });
    if (shown && announce) {
        ResumeNext([&] { platform_.AnnounceStatus(); });
    }
}

void frmMain::setProgressBar(const std::int32_t& current, const std::int32_t& max) noexcept {
    std::int32_t pixel = 0;
    ResumeNext([&] { pixel = RoundHalfEven(platform_.TwipsPerPixelX()); });
    if (max < 0 || current < 0 || current > max) {
        // An invalid pair shows a full bar.
        ResumeNext([&] {
            platform_.SetProgressWidth(Checked<std::int32_t>(platform_.ProgressBorderWidth() - 2LL * pixel));
        });
        ResumeNext([&] { platform_.SetProgressVisible(true); });
        return;
    }
    if (max == 0 || current == 0) {
        ResumeNext([&] { platform_.SetProgressVisible(false); }); // the width stays as it was
        return;
    }
    ResumeNext([&] {
        const double ratio = static_cast<double>(current) / static_cast<double>(max);
        const double inner = static_cast<double>(platform_.ProgressBorderWidth()) - 2.0 * pixel;
        platform_.SetProgressWidth(RoundHalfEven(inner * ratio));
    });
    ResumeNext([&] { platform_.SetProgressVisible(true); });
}

} // namespace launchwick
