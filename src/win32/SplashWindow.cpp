// The splash window, the conductor: class, controls, layout, state, timers and the window's messages.
#include "SplashWindow.h"

#include "Texts.h"
#include "Utf.h"

#include <array>
#include <utility>

namespace launchwick::win32 {

namespace {

constexpr char className[] = "ZVKLaunchwickSplash";

constexpr std::array<int, 3> timerIntervals{design::tmrStartInterval, design::tmrMainInterval,
                                            design::tmrExitInterval};

// A registered class is named by its atom.
LPCSTR AtomName(ATOM atom) noexcept {
    return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(atom));
}

std::size_t TimerIndex(Timer timer) noexcept {
    return static_cast<std::size_t>(timer);
}

UINT_PTR TimerId(Timer timer) noexcept {
    return TimerIndex(timer) + 1;
}

// GetDpiForWindow exists from Windows 10 1607 on; older systems have one density for every screen.
int WindowDpi(HWND window) noexcept {
    static const auto getDpiForWindow = SystemFunction<UINT(WINAPI*)(HWND)>("user32.dll", "GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    return ScreenDpi();
}

PixelRect WorkArea() noexcept {
    RECT work{};
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    return PixelRect{work.left, work.top, work.right, work.bottom};
}

PixelRect WindowSize(int dpi, DWORD style, DWORD exStyle) noexcept {
    RECT frame = ToRect(ClientRect(dpi));
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return PixelRect{0, 0, frame.right - frame.left, frame.bottom - frame.top};
}

constexpr DWORD windowStyle = WS_POPUP | WS_CLIPCHILDREN;
constexpr DWORD windowExStyle = WS_EX_APPWINDOW;

} // namespace

int ScreenDpi() noexcept {
    const WindowDC screen(nullptr);
    const int dpi = screen.get() != nullptr ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

SplashWindow::ClassRegistration::~ClassRegistration() {
    if (atom != 0) {
        ::UnregisterClassA(AtomName(atom), instance);
    }
}

SplashWindow::SplashWindow(HINSTANCE instance, HICON bigIcon, HICON smallIcon) {
    scene_.statusText = texts::statusLoading;

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &SplashWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = bigIcon;
    windowClass.hIconSm = smallIcon;
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    class_.atom = ::RegisterClassExA(&windowClass);
    if (class_.atom == 0) {
        FailStatement("RegisterClassExA failed");
    }
    class_.instance = instance;

    // Created hidden and empty; LayOut gives it its size once the window's own density is known.
    const std::string title(texts::windowTitle);
    if (::CreateWindowExA(windowExStyle, AtomName(class_.atom), title.c_str(), windowStyle, 0, 0, 0, 0,
                          nullptr, nullptr, instance, this) == nullptr) {
        FailStatement("CreateWindowExA failed");
    }

    const auto createChild = [&](const char* kind, std::string_view text, DWORD style, DWORD exStyle,
                                 int id) {
        const std::string caption(text);
        // Command1 and txtFocus lie below the client area, but stay visible and enabled so that they
        // can hold the focus.
        HWND child = ::CreateWindowExA(exStyle, kind, caption.c_str(),
                                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0, 0, window_.get(),
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (child == nullptr) {
            FailStatement("CreateWindowExA failed for a control");
        }
        return child;
    };
    command1_ = createChild("BUTTON", texts::command1Caption, BS_PUSHBUTTON, 0, command1Id);
    txtFocus_ = createChild("EDIT", "", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, txtFocusId);
    btnCancel_ = createChild("BUTTON", texts::btnCancelCaption, BS_PUSHBUTTON, 0, btnCancelId);
    // Drawn by the window from its kept background, like the rest; no tab stop, clicks go through.
    // A wide window, so that its text (what a screen reader reads) keeps every character of a path.
    painter_.SetStatusText(scene_.statusText);
    lblStatus_ = ::CreateWindowExW(
        0, L"STATIC", painter_.StatusText().c_str(), WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 0, 0, 0,
        window_.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(lblStatusId)), instance, nullptr);
    if (lblStatus_ == nullptr) {
        FailStatement("CreateWindowExW failed for the status line");
    }
    liveRegion_.Attach(lblStatus_);
    focusChild_ = command1_;

    LayOut(WindowDpi(window_.get()));
    const PixelRect size = WindowSize(dpi_, windowStyle, windowExStyle);
    const PixelRect place = CentredIn(WorkArea(), size.Width(), size.Height());
    ::SetWindowPos(window_.get(), nullptr, place.left, place.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SplashWindow::~SplashWindow() {
    ended_ = true; // nothing may reach the core while the window is being torn down
    window_.reset();
}

HWND SplashWindow::Control(int id) const noexcept {
    switch (id) {
    case command1Id:
        return command1_;
    case txtFocusId:
        return txtFocus_;
    case btnCancelId:
        return btnCancel_;
    case lblStatusId:
        return lblStatus_;
    default:
        return nullptr;
    }
}

bool SplashWindow::IsShown() const noexcept {
    return window_ && shown_; // only Show makes it visible; asked on every tick
}

void SplashWindow::Show() noexcept {
    if (window_) {
        // After the load handler and its trace lines, before the first pixel: a screen reader that already
        // runs hears the status line from its first change.
        liveRegion_.MakeIfScreenReader();
        ::ShowWindow(window_.get(), SW_SHOWNORMAL);
        shown_ = ::IsWindowVisible(window_.get()) != FALSE;
        ::UpdateWindow(window_.get());
        liveRegion_.WindowShown(IsShown());
    }
}

// A change repaints only the part it changes; the rest comes from the kept background. The status line is
// a label of its own, whose text screen readers read. The window draws the label, so a change of its text
// skips the static control's round of messages (its subclass, colour and draw-item questions to the window):
// the text is set as the system's default handling sets it, and the label drawn here, once a tick.
void SplashWindow::SetStatusText(const std::string& text) {
    if (text != scene_.statusText) {
        scene_.statusText = text;
        painter_.SetStatusText(text);
        ::DefWindowProcW(lblStatus_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(painter_.StatusText().c_str()));
        if (IsShown()) {
            const WindowDC label(lblStatus_);
            if (label.get() != nullptr) {
                painter_.PrintStatus(label.get(), scene_);
            }
        }
    }
}

void SplashWindow::AnnounceStatus() noexcept {
    liveRegion_.Announce(IsShown());
}

void SplashWindow::SetProgressWidth(std::int32_t twips) {
    if (twips != scene_.progressWidth) {
        scene_.progressWidth = twips;
        if (scene_.progressVisible) {
            Invalidate(ProgressInteriorRect(dpi_));
        }
    }
}

void SplashWindow::SetProgressVisible(bool visible) {
    if (visible != scene_.progressVisible) {
        scene_.progressVisible = visible;
        Invalidate(ProgressInteriorRect(dpi_));
    }
}

void SplashWindow::SetTimerEnabled(Timer timer, bool enabled) {
    bool& state = timers_.at(TimerIndex(timer));
    if (!enabled) {
        if (window_) {
            ::KillTimer(window_.get(), TimerId(timer));
        }
        state = false;
        return;
    }
    // Enabling a running timer must not restart its interval.
    if (state) {
        return;
    }
    if (ended_ || !window_ ||
        ::SetTimer(window_.get(), TimerId(timer), static_cast<UINT>(timerIntervals.at(TimerIndex(timer))),
                   nullptr) == 0) {
        FailStatement("The timer could not be started");
    }
    state = true;
}

bool SplashWindow::IsTimerEnabled(Timer timer) const noexcept {
    return timers_[TimerIndex(timer)];
}

void SplashWindow::End() noexcept {
    if (ended_) {
        return;
    }
    ended_ = true;
    for (const Timer timer : {Timer::tmrStart, Timer::tmrMain, Timer::tmrExit}) {
        SetTimerEnabled(timer, false);
    }
    window_.reset();
    ::PostQuitMessage(0);
}

void SplashWindow::LayOut(int dpi) {
    SplashFonts fonts = SplashFonts::Create(dpi);
    const std::array<std::pair<HWND, design::Rect>, 4> controls{{
        {command1_, design::Command1},
        {txtFocus_, design::txtFocus},
        {btnCancel_, design::btnCancel},
        {lblStatus_, design::lblStatus},
    }};
    for (const auto& [control, box] : controls) {
        const PixelRect rect = ToPixels(box, dpi);
        ::MoveWindow(control, rect.left, rect.top, rect.Width(), rect.Height(), TRUE);
    }
    // The controls take the new font before the old one is deleted.
    for (HWND button : {command1_, btnCancel_}) {
        ::SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.button.get()), TRUE);
    }
    dpi_ = dpi;
    const WindowDC screen(window_.get());
    painter_.SetDensity(screen.get(), std::move(fonts), dpi);

    const PixelRect size = WindowSize(dpi, windowStyle, windowExStyle);
    ::SetWindowPos(window_.get(), nullptr, 0, 0, size.Width(), size.Height(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
}

void SplashWindow::Paint() {
    const PaintScope paint(window_.get());
    painter_.Print(paint.get(), paint.Area(), scene_);
}

void SplashWindow::Invalidate() noexcept {
    if (window_) {
        ::InvalidateRect(window_.get(), nullptr, FALSE);
    }
}

void SplashWindow::Invalidate(const PixelRect& rect) noexcept {
    if (window_) {
        const RECT area = ToRect(rect);
        ::InvalidateRect(window_.get(), &area, FALSE);
    }
}

LRESULT CALLBACK SplashWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<SplashWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(window);
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<SplashWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The system has destroyed the window; the owner must not do it again.
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_.release();
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // A failure inside one message must not unwind through the system's code.
        return 0;
    }
}

LRESULT SplashWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_.get();
    switch (message) {
    case WM_GETOBJECT:
        liveRegion_.ClientAsks(); // an accessibility client is here: the status line becomes a live region
        return ::DefWindowProcA(window, message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel
    case WM_PAINT:
        Paint();
        return 0;
    case WM_PRINTCLIENT:
        // Themed buttons ask their parent for the background behind their rounded corners.
        painter_.PrintClient(reinterpret_cast<HDC>(wParam), scene_);
        return 0;
    case WM_DRAWITEM: {
        // The status line paints what the window would paint there: its part of the kept background and the
        // text over it.
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->hwndItem != lblStatus_) {
            return FALSE;
        }
        painter_.PrintStatus(item->hDC, scene_);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == btnCancelId && HIWORD(wParam) == BN_CLICKED && !ended_ && events_ != nullptr) {
            events_->CancelClicked();
        }
        return 0;
    case WM_TIMER:
        for (const Timer timer : {Timer::tmrStart, Timer::tmrMain, Timer::tmrExit}) {
            if (wParam == TimerId(timer) && timers_[TimerIndex(timer)] && !ended_ && events_ != nullptr) {
                events_->TimerElapsed(timer);
                break;
            }
        }
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            RememberFocus();
        } else {
            RestoreFocus();
        }
        return 0;
    case WM_SETFOCUS:
        RestoreFocus();
        return 0;
    case bringToFrontMessage:
        BringToFront();
        return 0;
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        LayOut(HIWORD(wParam));
        return 0;
    }
    case WM_DESTROY:
        // Closed by the system (Alt+F4, log-off): the program ends as after its exit timer.
        if (!ended_) {
            ended_ = true;
            ::PostQuitMessage(0);
        }
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace launchwick::win32
