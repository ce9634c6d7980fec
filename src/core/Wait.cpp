#include "Wait.h"

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

std::int32_t WaitOption(PlatformSystem& platform, std::string_view key, const std::string& value) noexcept {
    if (const auto seconds = WholeNumber(value)) {
        return static_cast<std::int32_t>(std::min<std::uint64_t>(*seconds, maxWaitSeconds));
    }
    if (!value.empty()) {
        platform.Trace([&] { return texts::IgnoringOption(key, value); });
    }
    return 0;
}

WaitStep WaitBudget::Step(bool met, std::int32_t seconds) noexcept {
    WaitOutcome outcome = WaitOutcome::Wait;
    if (met) {
        outcome = waited_ > 0 ? WaitOutcome::Met : WaitOutcome::Now;
    } else if (waited_ >= seconds) {
        outcome = WaitOutcome::Over;
    }
    if (outcome != WaitOutcome::Wait) {
        waited_ = 0;
        return {outcome};
    }
    ++waited_;
    return {WaitOutcome::Wait, seconds - waited_, waited_ == 1};
}

} // namespace launchwick
