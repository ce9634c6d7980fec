// The splash window: its class, child controls, double-buffered drawing, timers, focus handling and
// the message loop with key preview. Events go out through SplashEvents, so the window knows no core type.
#pragma once

#include "Layout.h"
#include "Platform.h"
#include "UniqueHandle.h"
#include "Win32.h"

#include <array>
#include <cstdint>
#include <string>

namespace launchwick::win32 {

class SplashEvents {
public:
    virtual ~SplashEvents() = default;
    virtual void KeyPress(std::int16_t keyAscii) = 0;
    virtual void CancelClicked() = 0;
    virtual void TimerElapsed(Timer timer) = 0;
};

// What changes on the window at run time; everything else is drawn from the design.
struct SplashScene {
    std::string statusText;
    std::int32_t progressWidth = design::recProgress.width;
    bool progressVisible = true;
};

// The label fonts at one density.
struct SplashFonts {
    UniqueFont title;
    UniqueFont status;
    UniqueFont button;

    static SplashFonts Create(int dpi);
};

// Draws the whole client area (background, labels, progress bar) into dc at the given density.
void DrawSplash(HDC dc, const SplashScene& scene, const SplashFonts& fonts, int dpi);

// The density the system reports for the screen, before any window exists.
int ScreenDpi() noexcept;

class SplashWindow {
public:
    // Control ids; Command1 first, so it leads the tab order.
    static constexpr int command1Id = 101;
    static constexpr int txtFocusId = 102;
    static constexpr int btnCancelId = 103;

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

    void Show() noexcept;
    // Runs until WM_QUIT; returns its exit code.
    int RunMessageLoop() noexcept;
    // Handles the messages that are waiting, once, and returns.
    void ProcessPending() noexcept;

    void SetStatusText(const std::string& text);
    void SetProgressWidth(std::int32_t twips);
    void SetProgressVisible(bool visible);
    std::int32_t ProgressBorderWidth() const noexcept { return design::recProgressBorder.width; }

    void SetTimerEnabled(Timer timer, bool enabled);
    bool IsTimerEnabled(Timer timer) const noexcept;

    // Throws StatementError when the request is refused.
    void Focus(FocusTarget target);

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
    HWND command1_ = nullptr; // children belong to the window
    HWND txtFocus_ = nullptr;
    HWND btnCancel_ = nullptr;
    HWND focusChild_ = nullptr; // where the focus goes when the window is activated

    // Declared in the order of need: the window goes first, then its fonts, then its class.
    ClassRegistration class_;
    SplashFonts fonts_;
    UniqueWindow window_;
};

} // namespace launchwick::win32
