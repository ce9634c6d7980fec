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
    waited_ = 0;
    profile_ = profile;
    name_ = std::move(name);
    active_ = true;
}

ReadyWait::Answer ReadyWait::Check() noexcept {
    InputIdle answer = InputIdle::Failed;
    if (process_ != noProcess) {
        ResumeNext([&] { answer = platform_.ProcessInputIdle(process_); });
    }
    // Readiness wins over a spent budget.
    Go go = Go::Wait;
    if (IsReady(process_, answer)) {
        go = waited_ > 0 ? Go::Ready : Go::Now;
    } else if (waited_ >= seconds_) {
        go = Go::Over;
    }
    if (go != Go::Wait) {
        End();
        return {go};
    }
    ++waited_;
    return {Go::Wait, seconds_ - waited_, waited_ == 1};
}

void ReadyWait::End() noexcept {
    if (process_ != noProcess) {
        platform_.CloseProcess(process_);
    }
    process_ = noProcess;
    active_ = false;
}

} // namespace launchwick
