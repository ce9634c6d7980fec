// What every wait of the sequence shares: a budget of waiting ticks, the one way their options are read, and
// the shape of a condition checked before a start (a gate).
#pragma once

#include "Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace launchwick {

// The longest wait an option may ask for, in seconds (ticks), like a delay.
inline constexpr std::int32_t maxWaitSeconds = 600;

// A whole number written with digits only, as the settings file writes one; a long one saturates, as it only
// ever counts as "above the limit". Empty or anything else: none.
std::optional<std::uint64_t> WholeNumber(const std::string& text);

// The seconds a wait option asks for (the value comes trimmed): digits only; 0 or empty is off, above the
// limit is the limit. Anything else is off and traced as "Ignoring <key>=<value>".
std::int32_t WaitOption(PlatformSystem& platform, std::string_view key, const std::string& value) noexcept;

enum class WaitOutcome {
    Now,  // the condition held at the first check: nothing was waited
    Met,  // it came to hold after waiting ticks
    Over, // the budget is spent: goes on anyway
    Wait, // not yet: this tick waits
};
struct WaitStep {
    WaitOutcome outcome;
    std::int32_t secondsLeft = 0; // for Wait: the waiting ticks left after this one
    bool firstWait = false;       // for Wait: the first waiting tick of this wait
};

// Counts the waiting ticks of one wait. Every outcome but Wait ends it, so the next wait has a budget of its
// own.
class WaitBudget {
public:
    // met: the condition holds now; it wins over a spent budget. seconds: the budget, in ticks.
    WaitStep Step(bool met, std::int32_t seconds) noexcept;

private:
    std::int32_t waited_ = 0;
};

// A condition checked once a tick before a program starts, with its budget and its texts.
class Gate {
public:
    // Asked only while the gate is on for the start.
    virtual bool Met() noexcept = 0;
    virtual std::string WaitingTrace(std::int32_t secondsLeft) const = 0;
    virtual std::string WaitingStatus(int profile, int count, const std::string& name,
                                      std::int32_t secondsLeft) const = 0;
    // The line of the tick that goes ahead after waiting: for Met, or for Over.
    virtual std::string_view Released(WaitOutcome outcome) const noexcept = 0;

    WaitBudget budget;

protected:
    ~Gate() = default;
};

} // namespace launchwick
