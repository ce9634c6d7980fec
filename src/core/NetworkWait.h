// The optional wait for the network: a program whose profile has WaitNetworkN starts, once its countdown has
// ended, only when the computer is connected to a network, or when its budget of waiting ticks is spent.
// The system is asked only for such a profile, so a run without the key never loads what answers.
#pragma once

#include "Platform.h"
#include "Wait.h"

#include <cstdint>
#include <string>

namespace launchwick {

// Connected: IPv4 or IPv6 connectivity of a subnet, the local network or the internet. Disconnected and the
// "no traffic" flags alone are not.
bool IsConnected(std::uint32_t connectivity) noexcept;

class NetworkWait final : public Gate {
public:
    explicit NetworkWait(PlatformSystem& platform) noexcept : platform_(platform) {}

    // The gate. Where the system cannot be asked, that is said once and the gate stays open for the run: a
    // broken service must never hold the start-up up.
    bool Met() noexcept override;
    std::string WaitingTrace(std::int32_t secondsLeft) const override;
    std::string WaitingStatus(int profile, int count, const std::string& name,
                              std::int32_t secondsLeft) const override;
    std::string_view Released(WaitOutcome outcome) const noexcept override;

private:
    PlatformSystem& platform_;
    bool unanswered_ = false;
};

} // namespace launchwick
