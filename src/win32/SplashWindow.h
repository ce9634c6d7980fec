// The splash window: controls, focus, timers and the message loop; it conducts the painter and live region.
#pragma once

#include "Layout.h"
#include "LiveRegion.h"
#include "Platform.h"
#include "SplashPainter.h"
#include "UniqueHandle.h"
#include "Win32.h"

#include <array>
#include <cstdint>
#include <string>

namespace launchwick::win32 {

// Events go out through SplashEvents, so the window knows no core type.
class SplashEvents {
public:
    virtual ~SplashEvents() = default;
    virtual void KeyPress(std::int16_t keyAscii) = 0;
    virtual void CancelClicked() = 0;
    virtual void TimerElapsed(Timer timer) = 0;
};

// The density the system reports for the screen, before any window exists.
int ScreenDpi() noexcept;

class SplashWindow {
public:
    // Control ids; Command1 first, so it leads the tab order.
    static constexpr int command1Id = 101;
    static constexpr int txtFocusId = 102;
    static constexpr int btnCancelId = 103;
    static constexpr int lblStatusId = 104; // the status line: a label that screen readers can read
    // Posted by a second start of the program for the same settings file.
    static constexpr UINT bringToFrontMessage = WM_APP + 1;

    // Registers the class and creates the window and its controls, hidden. Throws StatementError.
    SplashWindow(HINSTANCE instance, HICON bigIcon, HICON smallIcon);
    SplashWindow(const SplashWindow&) = delete;
    SplashWindow& operator=(const SplashWindow&) = delete;
    ~SplashWindow();

    void SetEvents(SplashEvents* events) noexcept { events_ = events; }

    HWND Handle() const noexcept { return window_.get(); }
    HWND Control(int id) const noexcept;
    bool IsShown() const noexcept;
    int Dpi() const noexcept { return dpi_; }
    const SplashScene& Scene() const noexcept { return scene_; }
    const LiveRegion& StatusLiveRegion() const noexcept { return liveRegion_; }

    void Show() noexcept;
    // Runs until WM_QUIT; returns its exit code.
    int RunMessageLoop() noexcept;
    // Handles the messages that are waiting, once, and returns.
    void ProcessPending() noexcept;

    void SetStatusText(const std::string& text);
    // Raises the live-region event of the status line now, or once the window is shown.
    void AnnounceStatus() noexcept;
    void SetProgressWidth(std::int32_t twips);
    void SetProgressVisible(bool visible);
    std::int32_t ProgressBorderWidth() const noexcept { return design::recProgressBorder.width; }

    void SetTimerEnabled(Timer timer, bool enabled);
    bool IsTimerEnabled(Timer timer) const noexcept;

    // Throws StatementError when the request is refused.
    void Focus(FocusTarget target);
    bool HasFocus(FocusTarget target) const noexcept;

    // No event reaches the core after this; the window goes and the loop ends.
    void End() noexcept;
    bool Ended() const noexcept { return ended_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Route(MSG& message) noexcept;
    bool Owns(HWND window) const noexcept;
    void LayOut(int dpi);
    void Paint();
    void RememberFocus() noexcept;
    void RestoreFocus() noexcept;
    void MoveFocusByTab(bool backwards) noexcept;
    void Invalidate() noexcept;
    void Invalidate(const PixelRect& rect) noexcept;
    void BringToFront() noexcept;

    // Unregisters the class after the window has gone.
    struct ClassRegistration {
        HINSTANCE instance = nullptr;
        ATOM atom = 0;
        ClassRegistration() = default;
        ClassRegistration(const ClassRegistration&) = delete;
        ClassRegistration& operator=(const ClassRegistration&) = delete;
        ~ClassRegistration();
    };

    SplashEvents* events_ = nullptr;
    SplashScene scene_;
    std::array<bool, 3> timers_{};
    int dpi_ = 96;
    bool ended_ = false;
    bool shown_ = false;
    HWND command1_ = nullptr; // children belong to the window
    HWND txtFocus_ = nullptr;
    HWND btnCancel_ = nullptr;
    HWND lblStatus_ = nullptr;
    HWND focusChild_ = nullptr; // where the focus goes when the window is activated

    // Declared in the order of need: the window goes first (and with it the label's subclass), then its
    // background and fonts, its live region, then its class.
    ClassRegistration class_;
    LiveRegion liveRegion_;
    SplashPainter painter_;
    UniqueWindow window_;
};

} // namespace launchwick::win32
