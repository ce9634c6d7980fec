#include "NetworkWait.h"

#include "ResumeNext.h"
#include "Texts.h"

namespace launchwick {

bool IsConnected(std::uint32_t connectivity) noexcept {
    // NLM_CONNECTIVITY_IPV4_SUBNET, _LOCALNETWORK, _INTERNET and the IPv6 three.
    constexpr std::uint32_t connected = 0x10 | 0x20 | 0x40 | 0x100 | 0x200 | 0x400;
    return (connectivity & connected) != 0;
}

bool NetworkWait::Met() noexcept {
    if (unanswered_) {
        return true;
    }
    try {
        return IsConnected(platform_.NetworkConnectivity());
    } catch (const SystemError& failure) {
        platform_.Trace([&] {
            return texts::CouldNotAskForNetwork(
                texts::SystemReason(platform_.SystemMessage(failure.code), failure.code));
        });
    } catch (...) {
        platform_.Trace([&] { return texts::CouldNotAskForNetwork(texts::SystemReason({}, 0)); });
    }
    unanswered_ = true;
    return true;
}

std::string NetworkWait::WaitingTrace(std::int32_t secondsLeft) const {
    return texts::NetworkWaitingTrace(secondsLeft);
}

std::string NetworkWait::WaitingStatus(int profile, int count, const std::string& name,
                                       std::int32_t secondsLeft) const {
    return texts::NetworkWaitingStatus(profile, count, name, secondsLeft);
}

std::string_view NetworkWait::Released(WaitOutcome outcome) const noexcept {
    return outcome == WaitOutcome::Met ? texts::networkStarting : texts::networkWaitOver;
}

} // namespace launchwick
