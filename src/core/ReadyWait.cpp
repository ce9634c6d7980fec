#include "ReadyWait.h"

#include "ResumeNext.h"

#include <utility>

namespace launchwick {

namespace {

// Ready for input: WaitForInputIdle answered 0, or failed (a console program, one that has ended, one started
// with administrator rights): there is nothing to wait for. A start that gave no process is ready too.
bool IsReady(ProcessToken process, InputIdle answer) noexcept {
    return process == noProcess || answer != InputIdle::NotYet;
}

} // namespace

void ReadyWait::Begin(ProcessToken process, std::int32_t seconds, int profile, std::string name) noexcept {
    End();
    process_ = process;
    seconds_ = seconds;
    budget_ = WaitBudget();
    profile_ = profile;
    name_ = std::move(name);
    active_ = true;
}

WaitStep ReadyWait::Check() noexcept {
    InputIdle answer = InputIdle::Failed;
    if (process_ != noProcess) {
        ResumeNext([&] { answer = platform_.ProcessInputIdle(process_); });
    }
    const WaitStep step = budget_.Step(IsReady(process_, answer), seconds_);
    if (step.outcome != WaitOutcome::Wait) {
        End();
    }
    return step;
}

void ReadyWait::End() noexcept {
    if (process_ != noProcess) {
        platform_.CloseProcess(process_);
    }
    process_ = noProcess;
    active_ = false;
}

} // namespace launchwick
