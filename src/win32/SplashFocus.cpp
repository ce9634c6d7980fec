// The splash window's keyboard side: the message loop with key preview, tab order, focus, coming to front.
#include "SplashWindow.h"

namespace launchwick::win32 {

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

// The window and its four controls, which have no children of their own: known without asking the system.
bool SplashWindow::Owns(HWND window) const noexcept {
    return window != nullptr && window_ &&
           (window == window_.get() || window == command1_ || window == txtFocus_ || window == btnCancel_ ||
            window == lblStatus_);
}

void SplashWindow::Focus(FocusTarget target) {
    if (ended_ || !IsShown()) {
        FailStatement("Invalid procedure call or argument");
    }
    const HWND window = window_.get();
    if (target == FocusTarget::Form) {
        // Never pulled in front of another program: only a splash that is already in front keeps the focus.
        if (::GetForegroundWindow() != window) {
            FailStatement("The focus request was refused");
        }
        const HWND focus = ::GetFocus();
        if (!Owns(focus) || focus == window) {
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
            FailStatement("The focus request was refused");
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

} // namespace launchwick::win32
