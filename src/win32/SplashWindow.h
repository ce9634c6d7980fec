// The splash window: its class, child controls, drawing from a kept background, timers, focus handling and
// the message loop with key preview. Events go out through SplashEvents, so the window knows no core type.
#pragma once

#include "Layout.h"
#include "Platform.h"
#include "UniqueHandle.h"
#include "Win32.h"

#include <array>
#include <cstdint>
#include <optional>
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
// The part that never changes at one density: gradients, flame line, title, the bar's frame.
void DrawSplashBackground(HDC dc, const SplashFonts& fonts, int dpi);
// The part that changes: the status line and the bar's fill, drawn over the background where dc may draw.
void DrawSplashState(HDC dc, const SplashScene& scene, const SplashFonts& fonts, int dpi);

// Client area, status line and the bar's interior (all the fill can cover) in pixels at a density.
PixelRect ClientRect(int dpi) noexcept;
PixelRect StatusRect(int dpi) noexcept;
PixelRect ProgressInteriorRect(int dpi) noexcept;

// The background of the client area at one density, drawn once into a kept bitmap. Paints copy
// rectangles of it instead of drawing the gradients and title again.
class SplashBackground {
public:
    // A picture compatible with reference. False when the system had no memory for it.
    SplashBackground(HDC reference, const SplashFonts& fonts, int dpi);
    SplashBackground(const SplashBackground&) = delete;
    SplashBackground& operator=(const SplashBackground&) = delete;

    explicit operator bool() const noexcept { return dc_ && bitmap_; }
    // Copies the rectangle source (client coordinates) of the picture to dc at (x, y).
    void Blit(HDC dc, int x, int y, const RECT& source) const noexcept;

private:
    PixelRect size_;
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
    SelectScope selected_; // the bitmap stays selected in dc_ until the picture goes
};

// The density the system reports for the screen, before any window exists.
int ScreenDpi() noexcept;

// Makes a control a polite live region for UI Automation, through the accessibility property service
// (COM, on a thread that has joined an apartment). Returns what the service answered.
HRESULT MakeLiveRegion(HWND control) noexcept;

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
    // Draws the client area into dc, where area (client coordinates) needs it.
    void Print(HDC dc, const RECT& area);
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
    HWND command1_ = nullptr; // children belong to the window
    HWND txtFocus_ = nullptr;
    HWND btnCancel_ = nullptr;
    HWND lblStatus_ = nullptr;
    HWND focusChild_ = nullptr; // where the focus goes when the window is activated
    bool announcePending_ = false;

    // Declared in the order of need: the window goes first, then its background and fonts, then its class.
    ClassRegistration class_;
    SplashFonts fonts_;
    std::optional<SplashBackground> background_;
    UniqueWindow window_;
};

} // namespace launchwick::win32
