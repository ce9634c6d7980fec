// The splash window. Everything is laid out from twips at the window's real density and drawn in code,
// so it stays sharp on any screen.
#include "SplashWindow.h"

#include "Texts.h"
#include "Utf.h"

#include <algorithm>
#include <utility>

namespace launchwick::win32 {

namespace {

constexpr char className[] = "ZVKLaunchwickSplash";

// A dark blue-grey body with a lighter header strip and a thin amber line under it: the wick's flame.
constexpr COLORREF bodyTop = RGB(38, 48, 64);
constexpr COLORREF bodyBottom = RGB(14, 18, 26);
constexpr COLORREF headerTop = RGB(104, 124, 152);
constexpr COLORREF headerBottom = RGB(64, 80, 104);
constexpr COLORREF flame = RGB(240, 160, 48);
constexpr std::int32_t headerHeightTwips = 1080;
constexpr std::int32_t flameHeightTwips = 30;

constexpr std::array<int, 3> timerIntervals{design::tmrStartInterval, design::tmrMainInterval,
                                            design::tmrExitInterval};

COLORREF ToColorRef(const design::Colour& colour) noexcept {
    return RGB(colour.red, colour.green, colour.blue);
}

RECT ToRect(const PixelRect& rect) noexcept {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

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

// With the DC's own brush, so that no brush is made per fill.
void FillSolid(HDC dc, const RECT& rect, COLORREF colour) noexcept {
    const COLORREF previous = ::SetDCBrushColor(dc, colour);
    ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetDCBrushColor(dc, previous);
}

COLOR16 Channel(BYTE value) noexcept {
    return static_cast<COLOR16>(value << 8);
}

void FillVertical(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) noexcept {
    TRIVERTEX vertices[2] = {
        {rect.left, rect.top, Channel(GetRValue(top)), Channel(GetGValue(top)), Channel(GetBValue(top)), 0},
        {rect.right, rect.bottom, Channel(GetRValue(bottom)), Channel(GetGValue(bottom)),
         Channel(GetBValue(bottom)), 0},
    };
    GRADIENT_RECT mesh{0, 1};
    // GDI32's own export: GradientFill would import MSIMG32, which is not one of the system's known DLLs.
    if (!::GdiGradientFill(dc, vertices, 2, &mesh, 1, GRADIENT_FILL_RECT_V)) {
        FillSolid(dc, rect, top);
    }
}

void DrawLabel(HDC dc, const design::Rect& box, std::string_view text, HFONT font,
               const design::Colour& colour, int dpi, UINT extraFlags = 0) noexcept {
    RECT rect = ToRect(ToPixels(box, dpi));
    const SelectScope selected(dc, font);
    ::SetTextColor(dc, ToColorRef(colour));
    const std::wstring wide = Wide(text);
    ::DrawTextW(dc, wide.data(), static_cast<int>(wide.size()), &rect,
                DT_SINGLELINE | DT_CENTER | DT_TOP | DT_NOPREFIX | extraFlags);
}

UniqueFont CreateDesignFont(const design::Font& font, int dpi) noexcept {
    return UniqueFont(::CreateFontA(FontHeight(font.hundredthsOfPoint, dpi), 0, 0, 0, font.weight, FALSE,
                                    FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, font.face));
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

// UI Automation's LiveSetting property, its value Polite, and the accessibility property service, named
// here rather than taken from a library so that the program imports nothing more.
constexpr GUID liveSettingProperty = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG livePolite = 1;
constexpr CLSID accPropServicesClass = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID accPropServicesInterface = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr DWORD liveRegionChanged = 0x8019; // EVENT_OBJECT_LIVEREGIONCHANGED, Windows 8 and later

} // namespace

HRESULT MakeLiveRegion(HWND control) noexcept {
    IAccPropServices* services = nullptr;
    HRESULT result = ::CoCreateInstance(accPropServicesClass, nullptr, CLSCTX_INPROC_SERVER,
                                        accPropServicesInterface, reinterpret_cast<void**>(&services));
    if (SUCCEEDED(result) && services != nullptr) {
        VARIANT polite{};
        polite.vt = VT_I4;
        polite.lVal = livePolite;
        result = services->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                       liveSettingProperty, polite);
        services->Release();
    }
    return result;
}

int ScreenDpi() noexcept {
    const WindowDC screen(nullptr);
    const int dpi = screen.get() != nullptr ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

SplashFonts SplashFonts::Create(int dpi) {
    SplashFonts fonts;
    fonts.title = CreateDesignFont(design::titleFont, dpi);
    fonts.status = CreateDesignFont(design::statusFont, dpi);
    fonts.button = CreateDesignFont(design::buttonFont, dpi);
    return fonts;
}

void DrawSplashBackground(HDC dc, const SplashFonts& fonts, int dpi) {
    const PixelRect client = ClientRect(dpi);
    const int headerBottomPx = TwipsToPixels(headerHeightTwips, dpi);
    const int flameBottomPx = headerBottomPx + std::max(1, TwipsToPixels(flameHeightTwips, dpi));

    FillVertical(dc, RECT{client.left, flameBottomPx, client.right, client.bottom}, bodyTop, bodyBottom);
    FillVertical(dc, RECT{client.left, client.top, client.right, headerBottomPx}, headerTop, headerBottom);
    FillSolid(dc, RECT{client.left, headerBottomPx, client.right, flameBottomPx}, flame);

    ::SetBkMode(dc, TRANSPARENT);
    const std::string_view title = texts::titleCaption;
    // Bottom first: the four black copies, then the white title on top. The labels clip to their own
    // boxes, and no box overlaps the status line or the bar, so those can be drawn over this at any time.
    DrawLabel(dc, design::lblTitle[4], title, fonts.title.get(), design::black, dpi);
    DrawLabel(dc, design::lblTitle[3], title, fonts.title.get(), design::black, dpi);
    DrawLabel(dc, design::lblTitle[2], title, fonts.title.get(), design::black, dpi);

    const RECT frame = ToRect(ToPixels(design::recProgressBorder, dpi));
    FillSolid(dc, frame, ToColorRef(design::progressFrame));
    ::FrameRect(dc, &frame, ::GetSysColorBrush(COLOR_WINDOWTEXT));

    DrawLabel(dc, design::lblTitle[1], title, fonts.title.get(), design::black, dpi);
    DrawLabel(dc, design::lblTitle[0], title, fonts.title.get(), design::white, dpi);
}

void DrawSplashState(HDC dc, const SplashScene& scene, const SplashFonts& fonts, int dpi) {
    // Only what lies in the DC's clip region: a button asking for its background needs neither part.
    const RECT status = ToRect(StatusRect(dpi));
    if (::RectVisible(dc, &status)) {
        ::SetBkMode(dc, TRANSPARENT);
        DrawLabel(dc, design::lblStatus, scene.statusText, fonts.status.get(), design::white, dpi,
                  DT_END_ELLIPSIS);
    }
    if (scene.progressVisible) {
        const PixelRect fill = ProgressFillRect(design::recProgressBorder, scene.progressWidth, dpi);
        const RECT rect = ToRect(fill);
        if (!fill.Empty() && ::RectVisible(dc, &rect)) {
            FillSolid(dc, rect, ToColorRef(design::progressFill));
        }
    }
}

void DrawSplash(HDC dc, const SplashScene& scene, const SplashFonts& fonts, int dpi) {
    DrawSplashBackground(dc, fonts, dpi);
    DrawSplashState(dc, scene, fonts, dpi);
}

PixelRect ClientRect(int dpi) noexcept {
    return ToPixels(design::Rect{0, 0, design::clientWidth, design::clientHeight}, dpi);
}

PixelRect StatusRect(int dpi) noexcept {
    return ToPixels(design::lblStatus, dpi);
}

PixelRect ProgressInteriorRect(int dpi) noexcept {
    return Deflate(ToPixels(design::recProgressBorder, dpi), 1);
}

SplashBackground::SplashBackground(HDC reference, const SplashFonts& fonts, int dpi)
    : size_(ClientRect(dpi)), dc_(::CreateCompatibleDC(reference)),
      bitmap_(::CreateCompatibleBitmap(reference, size_.Width(), size_.Height())),
      selected_(dc_.get(), bitmap_.get()) {
    if (dc_ && bitmap_) {
        DrawSplashBackground(dc_.get(), fonts, dpi);
    }
}

void SplashBackground::Blit(HDC dc, int x, int y, const RECT& source) const noexcept {
    // Only the part that lies on the picture.
    const RECT picture{size_.left, size_.top, size_.right, size_.bottom};
    RECT part{};
    if (*this && ::IntersectRect(&part, &source, &picture)) {
        ::BitBlt(dc, x + part.left - source.left, y + part.top - source.top, part.right - part.left,
                 part.bottom - part.top, dc_.get(), part.left, part.top, SRCCOPY);
    }
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
        throw StatementError("RegisterClassExA failed");
    }
    class_.instance = instance;

    // Created hidden and empty; LayOut gives it its size once the window's own density is known.
    const std::string title(texts::windowTitle);
    if (::CreateWindowExA(windowExStyle, AtomName(class_.atom), title.c_str(), windowStyle, 0, 0, 0, 0,
                          nullptr, nullptr, instance, this) == nullptr) {
        throw StatementError("CreateWindowExA failed");
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
            throw StatementError("CreateWindowExA failed for a control");
        }
        return child;
    };
    command1_ = createChild("BUTTON", texts::command1Caption, BS_PUSHBUTTON, 0, command1Id);
    txtFocus_ = createChild("EDIT", "", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, txtFocusId);
    btnCancel_ = createChild("BUTTON", texts::btnCancelCaption, BS_PUSHBUTTON, 0, btnCancelId);
    // Drawn by the window from its kept background, like the rest; no tab stop, clicks go through.
    // A wide window, so that its text (what a screen reader reads) keeps every character of a path.
    lblStatus_ = ::CreateWindowExW(
        0, L"STATIC", Wide(scene_.statusText).c_str(), WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 0, 0, 0,
        window_.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(lblStatusId)), instance, nullptr);
    if (lblStatus_ == nullptr) {
        throw StatementError("CreateWindowExA failed for the status line");
    }
    // Where the service is missing or refuses, the label is still read, only not spoken by itself. Made
    // here, before the window shows and the timers run: on a loaded machine starting the service can take
    // a second or more, which must not shift a tick.
    MakeLiveRegion(lblStatus_);
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
    return window_ && ::IsWindowVisible(window_.get());
}

void SplashWindow::Show() noexcept {
    if (window_) {
        ::ShowWindow(window_.get(), SW_SHOWNORMAL);
        ::UpdateWindow(window_.get());
        if (std::exchange(announcePending_, false)) {
            AnnounceStatus();
        }
    }
}

int SplashWindow::RunMessageLoop() noexcept {
    MSG message{};
    for (;;) {
        const BOOL result = ::GetMessageA(&message, nullptr, 0, 0);
        if (result == 0) {
            return static_cast<int>(message.wParam);
        }
        if (result == -1) {
            return 1;
        }
        Route(message);
    }
}

void SplashWindow::ProcessPending() noexcept {
    MSG message{};
    // Bounded, so that a window that keeps posting to itself cannot hold the caller forever.
    for (int handled = 0; handled < 10000 && ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++handled) {
        if (message.message == WM_QUIT) {
            // Left for the main loop, which ends on it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Route(message);
    }
}

void SplashWindow::Route(MSG& message) noexcept {
    // Tab moves between the controls as in a dialog; IsDialogMessage is not used because it eats Esc.
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && Owns(message.hwnd)) {
        MoveFocusByTab(::GetKeyState(VK_SHIFT) < 0);
        return;
    }
    ::TranslateMessage(&message);
    // Key preview: the window sees every character before the control that has the focus.
    if (message.message == WM_CHAR && !ended_ && events_ != nullptr && Owns(message.hwnd)) {
        events_->KeyPress(static_cast<std::int16_t>(static_cast<unsigned char>(message.wParam)));
    }
    ::DispatchMessageA(&message);
}

bool SplashWindow::Owns(HWND window) const noexcept {
    return window != nullptr && window_ && (window == window_.get() || ::IsChild(window_.get(), window));
}

// A change repaints only the part it changes; the rest comes from the kept background. The status line is
// a label of its own, whose text screen readers read.
void SplashWindow::SetStatusText(const std::string& text) {
    if (text != scene_.statusText) {
        scene_.statusText = text;
        ::SetWindowTextW(lblStatus_, Wide(text).c_str());
        ::InvalidateRect(lblStatus_, nullptr, FALSE);
    }
}

void SplashWindow::AnnounceStatus() noexcept {
    if (!IsShown()) {
        announcePending_ = true;
        return;
    }
    ::NotifyWinEvent(liveRegionChanged, lblStatus_, OBJID_CLIENT, CHILDID_SELF);
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
        throw StatementError("The timer could not be started");
    }
    state = true;
}

bool SplashWindow::IsTimerEnabled(Timer timer) const noexcept {
    return timers_[TimerIndex(timer)];
}

void SplashWindow::Focus(FocusTarget target) {
    if (ended_ || !IsShown()) {
        throw StatementError("Invalid procedure call or argument");
    }
    const HWND window = window_.get();
    if (target == FocusTarget::Form) {
        // Never pulled in front of another program: only a splash that is already in front keeps the focus.
        if (::GetForegroundWindow() != window) {
            throw StatementError("The focus request was refused");
        }
        if (!Owns(::GetFocus()) || ::GetFocus() == window) {
            ::SetFocus(focusChild_);
        }
        return;
    }
    const HWND child = target == FocusTarget::Command1 ? command1_ : txtFocus_;
    focusChild_ = child;
    // An inactive splash takes the focus on the child when it is next activated.
    if (::GetActiveWindow() == window) {
        ::SetFocus(child);
        if (::GetFocus() != child) {
            throw StatementError("The focus request was refused");
        }
    }
}

bool SplashWindow::HasFocus(FocusTarget target) const noexcept {
    const HWND focus = ::GetFocus();
    switch (target) {
    case FocusTarget::Command1:
        return focus == command1_;
    case FocusTarget::txtFocus:
        return focus == txtFocus_;
    case FocusTarget::btnCancel:
        return focus == btnCancel_;
    case FocusTarget::Form:
        return focus != nullptr && focus == window_.get();
    }
    return false;
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
    fonts_ = std::move(fonts);
    dpi_ = dpi;
    // The static part is drawn once per density, here.
    background_.reset();
    const WindowDC screen(window_.get());
    background_.emplace(screen.get(), fonts_, dpi);

    const PixelRect size = WindowSize(dpi, windowStyle, windowExStyle);
    ::SetWindowPos(window_.get(), nullptr, 0, 0, size.Width(), size.Height(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
}

void SplashWindow::Paint() {
    const PaintScope paint(window_.get());
    Print(paint.get(), paint.Area());
}

void SplashWindow::Print(HDC dc, const RECT& area) {
    if (background_ && *background_) {
        background_->Blit(dc, area.left, area.top, area);
        DrawSplashState(dc, scene_, fonts_, dpi_);
    } else {
        DrawSplash(dc, scene_, fonts_, dpi_); // no memory for the background: draw it all, directly
    }
}

void SplashWindow::RememberFocus() noexcept {
    const HWND focus = ::GetFocus();
    if (Owns(focus) && focus != window_.get()) {
        focusChild_ = focus;
    }
}

void SplashWindow::RestoreFocus() noexcept {
    if (focusChild_ != nullptr) {
        ::SetFocus(focusChild_);
    }
}

void SplashWindow::MoveFocusByTab(bool backwards) noexcept {
    const HWND focus = ::GetFocus();
    const HWND next =
        ::GetNextDlgTabItem(window_.get(), Owns(focus) ? focus : nullptr, backwards ? TRUE : FALSE);
    if (next != nullptr) {
        ::SetFocus(next);
        focusChild_ = next;
    }
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

void SplashWindow::BringToFront() noexcept {
    HWND target = nullptr;
    if (IsShown()) {
        target = ::GetLastActivePopup(window_.get()); // a box the splash owns, or the splash itself
    } else {
        // Before the splash shows, the start-up flow's message box is what the user sees.
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND window, LPARAM found) -> BOOL {
                if (!::IsWindowVisible(window)) {
                    return TRUE;
                }
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&target));
    }
    if (target != nullptr) {
        ::SetForegroundWindow(target);
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
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel
    case WM_PAINT:
        Paint();
        return 0;
    case WM_PRINTCLIENT: {
        // Themed buttons ask their parent for the background behind their rounded corners: the part of
        // the kept picture that the DC lets through.
        const HDC dc = reinterpret_cast<HDC>(wParam);
        RECT area{};
        if (::GetClipBox(dc, &area) == ERROR) {
            area = ToRect(ClientRect(dpi_));
        }
        Print(dc, area);
        return 0;
    }
    case WM_DRAWITEM: {
        // The status line paints what the window would paint there: its part of the kept background and the
        // text over it, in client coordinates.
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->hwndItem != lblStatus_) {
            return FALSE;
        }
        const PixelRect box = StatusRect(dpi_);
        POINT origin{};
        ::SetViewportOrgEx(item->hDC, -box.left, -box.top, &origin);
        Print(item->hDC, ToRect(box));
        ::SetViewportOrgEx(item->hDC, origin.x, origin.y, nullptr);
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
