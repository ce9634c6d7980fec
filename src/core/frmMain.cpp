#include "frmMain.h"

#include "Numbers.h"
#include "ResumeNext.h"
#include "Texts.h"

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
        ResumeNext([&] { platform_.Trace(texts::AlreadyRunning(s.configFilePath)); });
        ResumeNext([&] { platform_.ShowRunningInstance(); });
        ResumeNext([&] { platform_.EndProcess(); });
        return;
    }
    const std::int32_t zero = 0;
    setProgressBar(zero, zero);

    bool configurationRequired = true;
    if (s.FileExists(s.configFilePath)) {
        ResumeNext([&] { platform_.Trace(texts::FoundSettings(s.configFilePath)); });
        s.LoadSettings();
        if (s.shellPathCount != 0) {
            ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrStart, true); });
            configurationRequired = false;
        } else {
            ResumeNext([&] {
                platform_.ShowMessageBox(texts::NoValidPathsMessage(s.configFilePath),
                                         std::string(texts::errorTitle));
            });
            ResumeNext([&] { platform_.DoEvents(); });
        }
    } else {
        ResumeNext([&] { platform_.Trace(texts::DidNotFindSettings(s.configFilePath)); });
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
        ResumeNext([&] {
            platform_.StartCommandLine(std::string(texts::notepadCommand) + s.configFilePath, showNormal);
        });
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

void frmMain::tmrMain_Timer() noexcept {
    modMain& s = settings_;
    s.idleWait.Sample();
    bool waiting = false; // for an idle computer: the tick does not count towards the bar
    ResumeNext([&] { platform_.Trace(texts::TickStart(s.currentShellPath, s.shellPathCount, timerCount)); });
    if (WaitForReady()) {
        return;
    }
    if (s.currentShellPath <= s.shellPathCount) {
        const auto index = static_cast<std::size_t>(s.currentShellPath - 1);
        ResumeNext([&] { platform_.Trace(std::string(texts::tickInRange)); });
        ResumeNext([&] {
            platform_.Trace(texts::ShellPathDelayTrace(s.currentShellPath - 1, s.shellPathDelay.at(index)));
        });
        ResumeNext([&] { platform_.Trace(texts::TimerCountTrace(timerCount)); });
        bool counting = false;
        ResumeNext([&] { counting = timerCount < s.shellPathDelay.at(index); });
        IdleWait::Answer idle{IdleWait::Start::Now, 0, 0};
        if (!counting) {
            idle = s.idleWait.AtLaunchPoint();
            waiting = idle.start == IdleWait::Start::Wait;
        }
        if (waiting) {
            ResumeNext([&] { platform_.Trace(texts::WaitingTrace(idle.processor, idle.secondsLeft)); });
            ShowStatus(
                [&] {
                    return texts::WaitingStatus(s.currentShellPath, s.shellPathCount, nextEXE, idle.processor,
                                                idle.secondsLeft);
                },
                idle.firstWait);
        } else if (!counting) {
            if (idle.start == IdleWait::Start::AfterIdle) {
                ResumeNext([&] { platform_.Trace(std::string(texts::idleStarting)); });
            } else if (idle.start == IdleWait::Start::AfterLimit) {
                ResumeNext([&] { platform_.Trace(std::string(texts::idleWaitOver)); });
            }
            ResumeNext([&] { platform_.Trace(std::string(texts::tickLaunch)); });
            ResumeNext([&] { timerCount = 0; });
            ShowStatus([&] { return texts::LaunchStatus(s.currentShellPath, s.shellPathCount, nextEXE); },
                       true);
            const StartOptions none;
            const StartOptions& options =
                index < s.shellPathOptions.size() ? s.shellPathOptions[index] : none;
            ProcessToken process = noProcess; // held only when the next profile waits for this one
            ProcessToken* const held = options.waitReady > 0 ? &process : nullptr;
            ResumeNext([&] {
                std::string& entry = s.shellPaths.at(index);
                const std::string stored = entry; // the launcher may drop the quotes of the caller's text
                try {
                    if (options.open) {
                        shell_.ShellOpen(entry, options.showCommand, options.startIn, held);
                    } else if (!entry.empty() && entry.front() == '"') {
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
        } else {
            ResumeNext([&] { platform_.Trace(std::string(texts::tickCountdown)); });
            ResumeNext([&] { timerCount = Add32(timerCount, 1); });
            ResumeNext([&] { platform_.Trace(texts::CountdownTrace(timerCount, s.currentShellPath)); });
            ShowStatus(
                [&] {
                    const std::int32_t remaining = Checked<std::int32_t>(
                        static_cast<long long>(s.shellPathDelay.at(index)) - timerCount);
                    return texts::CountdownStatus(s.currentShellPath, s.shellPathCount, nextEXE, remaining);
                },
                timerCount == 1);
        }
    } else {
        ResumeNext([&] { platform_.Trace(std::string(texts::tickComplete)); });
        ShowStatus([] { return std::string(texts::statusComplete); }, true);
        ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrMain, false); });
        ResumeNext([&] { platform_.SetTimerEnabled(Timer::tmrExit, true); });
    }
    if (!waiting) {
        ResumeNext([&] { totalTimerCount = Add32(totalTimerCount, 1); });
    }
    setProgressBar(totalTimerCount, s.totalDelayCount);
    ResumeNext([&] { platform_.SetFocus(FocusTarget::Form); });
    ResumeNext([&] { platform_.Trace(std::string(texts::tickEnd)); });
}

bool frmMain::WaitForReady() noexcept {
    if (!readyWait_.Active()) {
        return false;
    }
    const ReadyWait::Answer answer = readyWait_.Check();
    if (answer.go == ReadyWait::Go::Ready) {
        ResumeNext([&] { platform_.Trace(std::string(texts::readyGoingOn)); });
    } else if (answer.go == ReadyWait::Go::Over) {
        ResumeNext([&] { platform_.Trace(std::string(texts::readyWaitOver)); });
    }
    if (answer.go != ReadyWait::Go::Wait) {
        return false; // the tick goes on as it would have
    }
    // Nothing counts and nothing starts; the bar holds still.
    modMain& s = settings_;
    ResumeNext([&] { platform_.Trace(texts::ReadyWaitingTrace(answer.secondsLeft)); });
    ShowStatus(
        [&] {
            return texts::ReadyWaitingStatus(readyWait_.Profile(), s.shellPathCount, readyWait_.Name(),
                                             answer.secondsLeft);
        },
        answer.firstWait);
    setProgressBar(totalTimerCount, s.totalDelayCount);
    ResumeNext([&] { platform_.SetFocus(FocusTarget::Form); });
    ResumeNext([&] { platform_.Trace(std::string(texts::tickEnd)); });
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
        ResumeNext([&] { platform_.Trace(std::string(texts::canceledByUser)); });
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
    ResumeNext([&] { platform_.Trace(texts::KeyPressTrace(KeyAscii)); });
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
