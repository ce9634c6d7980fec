// The status line for screen readers: its live region, made only when a client can use it, and announcements.
#pragma once

#include "Win32.h"

namespace launchwick::win32 {

// The status line as screen readers see it. The property service (a COM object in oleacc.dll) costs memory
// and time on every start, and only an assistive technology needs it, so the label becomes a live region
// only when one runs or asks: when the system says a screen reader runs, or on the first question of an
// accessibility client to the window or the label. The live-region event is raised only while the window
// is shown: an announcement asked for earlier waits until the window shows.
class LiveRegion {
public:
    LiveRegion() = default;
    LiveRegion(const LiveRegion&) = delete;
    LiveRegion& operator=(const LiveRegion&) = delete;

    // The label it speaks for, once created; a client's question to it is seen from here on. The label must
    // go before this object.
    void Attach(HWND label) noexcept;
    // Before the window shows: when the system says a screen reader runs, the label becomes a live region
    // now.
    void MakeIfScreenReader() noexcept;
    // An accessibility client asks the window or the label for an object (WM_GETOBJECT): the label becomes a
    // live region before the question is answered.
    void ClientAsks() noexcept;

    // Raises the live-region event now when shown is true, or when WindowShown is next called.
    void Announce(bool shown) noexcept;
    void WindowShown(bool shown) noexcept;

    // How often the property service was asked for (at most once), and what it answered then.
    int ServiceRequests() const noexcept { return serviceRequests_; }
    HRESULT ServiceAnswer() const noexcept { return serviceAnswer_; }

private:
    static LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self) noexcept;

    HWND label_ = nullptr; // belongs to the window
    bool announcePending_ = false;
    int serviceRequests_ = 0;
    HRESULT serviceAnswer_ = S_FALSE;
};

} // namespace launchwick::win32
