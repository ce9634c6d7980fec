#include "IdleWait.h"

#include "ResumeNext.h"
#include "Texts.h"

#include <algorithm>

namespace launchwick {

int ProcessorUse(const ProcessorTimes& before, const ProcessorTimes& after) noexcept {
    if (after.kernel < before.kernel || after.user < before.user || after.idle < before.idle) {
        return 0; // counters that went back tell nothing
    }
    const std::uint64_t total = (after.kernel - before.kernel) + (after.user - before.user);
    if (total == 0) {
        return 0;
    }
    const std::uint64_t idle = std::min(after.idle - before.idle, total);
    // Whole percent, rounded down; 100 times a day of processor time still fits 64 bits many times over.
    return static_cast<int>(100 * (total - idle) / total);
}

void IdleWait::Configure(const std::string& waitForIdle, const std::string& idleBelow) noexcept {
    waitSeconds_ = WaitOption(platform_, texts::waitForIdleKey, waitForIdle);
    idleBelow_ = defaultIdleBelow;
    if (const auto below = WholeNumber(idleBelow); below && *below >= 1 && *below <= 100) {
        idleBelow_ = static_cast<int>(*below);
    } else if (!idleBelow.empty()) {
        platform_.Trace([&] { return texts::IgnoringOption(texts::idleBelowKey, idleBelow); });
    }
}

void IdleWait::Sample() noexcept {
    if (!On()) {
        return;
    }
    ResumeNext([&] {
        const ProcessorTimes now = platform_.SystemTimes();
        if (last_) {
            processor_ = ProcessorUse(*last_, now);
        }
        last_ = now;
    });
}

bool IdleWait::Met() noexcept {
    return idleBelow_ >= 100 || processor_ < idleBelow_;
}

std::string IdleWait::WaitingTrace(std::int32_t secondsLeft) const {
    return texts::WaitingTrace(processor_, secondsLeft);
}

std::string IdleWait::WaitingStatus(int profile, int count, const std::string& name,
                                    std::int32_t secondsLeft) const {
    return texts::WaitingStatus(profile, count, name, processor_, secondsLeft);
}

std::string_view IdleWait::Released(WaitOutcome outcome) const noexcept {
    return outcome == WaitOutcome::Met ? texts::idleStarting : texts::idleWaitOver;
}

} // namespace launchwick
