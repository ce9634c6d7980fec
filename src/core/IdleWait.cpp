#include "IdleWait.h"

#include "ResumeNext.h"
#include "Texts.h"

#include <algorithm>

namespace launchwick {

std::optional<std::uint64_t> WholeNumber(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char digit : text) {
        value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(digit - '0'), 1'000'000);
    }
    return value;
}

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
    waitSeconds_ = 0;
    idleBelow_ = defaultIdleBelow;
    if (const auto wait = WholeNumber(waitForIdle)) {
        waitSeconds_ = static_cast<std::int32_t>(std::min<std::uint64_t>(*wait, maxWait));
    } else if (!waitForIdle.empty()) {
        ResumeNext([&] { platform_.Trace(texts::IgnoringOption(texts::waitForIdleKey, waitForIdle)); });
    }
    if (const auto below = WholeNumber(idleBelow); below && *below >= 1 && *below <= 100) {
        idleBelow_ = static_cast<int>(*below);
    } else if (!idleBelow.empty()) {
        ResumeNext([&] { platform_.Trace(texts::IgnoringOption(texts::idleBelowKey, idleBelow)); });
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

IdleWait::Answer IdleWait::AtLaunchPoint() noexcept {
    if (!On()) {
        return {Start::Now, processor_, 0};
    }
    const bool idle = idleBelow_ >= 100 || processor_ < idleBelow_;
    Start start = Start::Wait;
    if (idle) {
        start = waited_ > 0 ? Start::AfterIdle : Start::Now;
    } else if (waited_ >= waitSeconds_) {
        start = Start::AfterLimit;
    }
    if (start != Start::Wait) {
        waited_ = 0;
        return {start, processor_, 0};
    }
    ++waited_;
    return {Start::Wait, processor_, waitSeconds_ - waited_, waited_ == 1};
}

} // namespace launchwick
