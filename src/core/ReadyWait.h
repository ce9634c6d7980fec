// The optional wait for a started program to be ready for input: after a profile with WaitReadyN starts,
// the next profile's countdown (or the completion) waits until that program is ready, checked once a tick,
// for at most the profile's budget of ticks. The started process is held only while the wait runs.
#pragma once

#include "Platform.h"
#include "Wait.h"

#include <cstdint>
#include <string>

namespace launchwick {

class ReadyWait {
public:
    explicit ReadyWait(PlatformStarts& platform) noexcept : platform_(platform) {}
    ReadyWait(const ReadyWait&) = delete;
    ReadyWait& operator=(const ReadyWait&) = delete;
    ~ReadyWait() { End(); }

    // After the start of profile number (1-based, as on the status line) with the display name, whose
    // budget is seconds: takes over the started process (noProcess for none); the next tick checks first.
    void Begin(ProcessToken process, std::int32_t seconds, int profile, std::string name) noexcept;
    bool Active() const noexcept { return active_; }

    // Asked once a tick while Active. Every outcome but Wait ends the wait and lets go of the process.
    WaitStep Check() noexcept;
    // Ends the wait at once (a cancel) and lets go of the process.
    void End() noexcept;

    int Profile() const noexcept { return profile_; }
    const std::string& Name() const noexcept { return name_; }

private:
    PlatformStarts& platform_;
    bool active_ = false;
    ProcessToken process_ = noProcess;
    std::int32_t seconds_ = 0;
    WaitBudget budget_;
    int profile_ = 0;
    std::string name_;
};

} // namespace launchwick
