// The status line for screen readers: a polite live region, and the announcements of its changes.
#pragma once

#include "Win32.h"

namespace launchwick::win32 {

// Makes a control a polite live region for UI Automation, through the accessibility property service
// (COM, on a thread that has joined an apartment). Returns what the service answered.
HRESULT MakeLiveRegion(HWND control) noexcept;

// The status line as screen readers see it. Raises its live-region event only while the window is shown:
// an announcement asked for earlier waits until the window shows.
class LiveRegion {
public:
    LiveRegion() = default;
    LiveRegion(const LiveRegion&) = delete;
    LiveRegion& operator=(const LiveRegion&) = delete;

    // The label it speaks for, once created.
    void Attach(HWND label) noexcept;
    // Raises the live-region event now when shown is true, or when WindowShown is next called.
    void Announce(bool shown) noexcept;
    void WindowShown(bool shown) noexcept;

private:
    HWND label_ = nullptr; // belongs to the window
    bool announcePending_ = false;
};

} // namespace launchwick::win32
