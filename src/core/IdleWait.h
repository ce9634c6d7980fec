// The optional wait for a settled computer: a program whose countdown has ended starts only once the
// processor is mostly idle, or when its own budget of waiting ticks is spent. Off unless the settings
// file asks for it, and then it makes no processor sample at all.
#pragma once

#include "Platform.h"

#include <cstdint>
#include <optional>
#include <string>

namespace launchwick {

// Processor use of the whole system between two samples, in whole percent, rounded down: the busy share
// of kernel plus user time, where kernel time includes the idle time. 0 when no time has passed.
int ProcessorUse(const ProcessorTimes& before, const ProcessorTimes& after) noexcept;

// A whole number written with digits only, as the settings file writes one; a long one saturates, as it only
// ever counts as "above the limit". Empty or anything else: none.
std::optional<std::uint64_t> WholeNumber(const std::string& text);

class IdleWait {
public:
    explicit IdleWait(PlatformSystem& platform) noexcept : platform_(platform) {}

    static constexpr std::int32_t maxWait = 600; // seconds, like a delay
    static constexpr int defaultIdleBelow = 30;  // percent

    // The two option values as read ("" when absent). A value that is not digits only (or, for the idle
    // threshold, not 1 to 100) keeps the option's default and is traced as ignored.
    void Configure(const std::string& waitForIdle, const std::string& idleBelow) noexcept;
    bool On() const noexcept { return waitSeconds_ > 0; }
    std::int32_t WaitSeconds() const noexcept { return waitSeconds_; }
    int IdleBelow() const noexcept { return idleBelow_; }

    // Takes a processor sample when the option is on: at the start tick and on every sequence tick.
    void Sample() noexcept;

    enum class Start {
        Now,        // idle (or the option is off) when the countdown ended: the plain launch
        AfterIdle,  // idle after some waiting
        AfterLimit, // the budget is spent: starts anyway
        Wait,       // not yet: wait one more tick
    };
    struct Answer {
        Start start;
        int processor;            // the last sample's use, percent
        std::int32_t secondsLeft; // for Wait: the waiting ticks left after this one
        bool firstWait = false;   // for Wait: the first waiting tick of this start
    };
    // Asked once a tick while a program's countdown has ended and it has not started. Every answer but
    // Wait ends the current start's wait, so the next start has a budget of its own.
    Answer AtLaunchPoint() noexcept;

private:
    PlatformSystem& platform_;
    std::int32_t waitSeconds_ = 0;
    int idleBelow_ = defaultIdleBelow;
    std::optional<ProcessorTimes> last_;
    int processor_ = 0;
    std::int32_t waited_ = 0;
};

} // namespace launchwick
