// The core is three parts, named for their roles: frmMain is the splash window's behaviour (start-up, the
// timers that run the sequence, cancellation, the progress bar); modMain holds the settings file and the
// sequence tables it fills; Shell_Library is the launcher that starts one command line. The names, the
// handler names (Form_Load, tmrMain_Timer, btnCancel_Click) and the tables' names are the ones the trace
// lines and the settings file speak of, so they are kept as they are; Platform.h is the one door to the
// system.
//
// This file: the splash window's behaviour. The Win32 layer forwards the window's events here.
#pragma once

#include "NetworkWait.h"
#include "Platform.h"
#include "ReadyWait.h"
#include "Shell_Library.h"
#include "modMain.h"

#include <cstdint>
#include <string>
#include <vector>

namespace launchwick {

class frmMain {
public:
    frmMain(Platform& platform, modMain& settings, Shell_Library& shell)
        : platform_(platform), settings_(settings), shell_(shell), readyWait_(platform),
          networkWait_(platform) {}

    // Window events.
    void Form_Load() noexcept;
    void Form_KeyPress(std::int16_t KeyAscii) noexcept;
    void btnCancel_Click() noexcept;
    // A timer's interval has elapsed. A tick that arrives while a tick is still running (inside a modal
    // loop of the platform) is dropped, and a click or key is held until the tick ends, so handlers
    // never overlap.
    void OnTimer(Timer timer) noexcept;

    // The window's one public operation: sizes and shows or hides the progress fill.
    void setProgressBar(const std::int32_t& current, const std::int32_t& max) noexcept;

    // Run state, moved by the ticks.
    std::int32_t timerCount = 0;
    std::int32_t totalTimerCount = 0;
    std::string nextEXE;

private:
    void tmrStart_Timer() noexcept;
    void tmrMain_Timer() noexcept;
    void tmrExit_Timer();
    // The steps of a sequence tick. A waiting tick does not count towards the bar.
    bool WaitForReady() noexcept;  // true when the ready wait held the tick
    bool CountOrLaunch() noexcept; // false when a gate held the start

    void CountDown(std::size_t index) noexcept;
    bool GatesOpen(std::size_t index) noexcept;
    void Launch(std::size_t index) noexcept;
    void Start(std::size_t index, const StartOptions& options, ProcessToken* held) noexcept;
    void Complete() noexcept;
    void EndTick(bool counts) noexcept;
    void RunDeferredInput() noexcept;
    // Every change of the status line goes through here. A change that a screen reader should speak (the
    // first text of a countdown or a wait, a start, the end of the sequence) is announced; the texts that
    // only count down are not, so that the reader does not chatter.
    template <class Text> void ShowStatus(const Text& text, bool announce) noexcept;

    // Outside the range of a key code, so one queue can hold both kinds of input.
    static constexpr std::int32_t cancelClick = 0x10000;

    Platform& platform_;
    modMain& settings_;
    Shell_Library& shell_;
    ReadyWait readyWait_;                     // after a start with WaitReadyN, until that program is ready
    NetworkWait networkWait_;                 // before a start with WaitNetworkN
    std::size_t openGates_ = 0;               // the gates the current start has passed
    bool busy_ = false;                       // a timer handler is running
    std::vector<std::int32_t> deferredInput_; // clicks and keys that arrived meanwhile
};

} // namespace launchwick
