// The optional wait for a settled computer: a program whose countdown has ended starts only once the
// processor is mostly idle, or when its own budget of waiting ticks is spent. Off unless the settings
// file asks for it, and then it makes no processor sample at all.
#pragma once

#include "Platform.h"
#include "Wait.h"

#include <cstdint>
#include <optional>
#include <string>

namespace launchwick {

// Processor use of the whole system between two samples, in whole percent, rounded down: the busy share
// of kernel plus user time, where kernel time includes the idle time. 0 when no time has passed.
int ProcessorUse(const ProcessorTimes& before, const ProcessorTimes& after) noexcept;

class IdleWait final : public Gate {
public:
    explicit IdleWait(PlatformSystem& platform) noexcept : platform_(platform) {}

    static constexpr int defaultIdleBelow = 30; // percent

    // The two option values as read ("" when absent). A value that is not digits only (or, for the idle
    // threshold, not 1 to 100) keeps the option's default and is traced as ignored.
    void Configure(const std::string& waitForIdle, const std::string& idleBelow) noexcept;
    bool On() const noexcept { return waitSeconds_ > 0; }
    std::int32_t WaitSeconds() const noexcept { return waitSeconds_; }
    int IdleBelow() const noexcept { return idleBelow_; }

    // Takes a processor sample when the option is on: at the start tick and on every sequence tick.
    void Sample() noexcept;

    // The gate: the last sample's use is below the threshold.
    bool Met() noexcept override;
    std::string WaitingTrace(std::int32_t secondsLeft) const override;
    std::string WaitingStatus(int profile, int count, const std::string& name,
                              std::int32_t secondsLeft) const override;
    std::string_view Released(WaitOutcome outcome) const noexcept override;

private:
    PlatformSystem& platform_;
    std::int32_t waitSeconds_ = 0;
    int idleBelow_ = defaultIdleBelow;
    std::optional<ProcessorTimes> last_;
    int processor_ = 0;
};

} // namespace launchwick
