// Baseline for the benchmark: a window of the launcher's shape (a 567 x 203 popup centred on the work area,
// one push button) that ticks a 1000 ms timer and ends itself on the launcher's schedule, doing nothing else.
//
//   bare.exe [ticks]    ticks of the 1000 ms timer before the 5 s exit timer (default 22)
//
// 22 ticks + 5 s is the launcher's run with 20 profiles of delay 0: its start tick, 20 launch ticks and the
// completion tick, then its exit timer: 27 s after the first timer is armed.
#include <windows.h>

#include <cstdlib>

namespace {

constexpr char kTitle[] = "Bare Splash";
constexpr int kWidth = 567;
constexpr int kHeight = 203;
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kExitTimer = 2;

int ticksLeft = 22;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == kTickTimer && --ticksLeft <= 0) {
            ::KillTimer(window, kTickTimer);
            ::SetTimer(window, kExitTimer, 5000, nullptr);
        } else if (wParam == kExitTimer) {
            ::KillTimer(window, kExitTimer);
            ::DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    if (const int ticks = std::atoi(commandLine); ticks > 0) {
        ticksLeft = ticks;
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "BareSplash";
    if (::RegisterClassA(&windowClass) == 0) {
        return 1;
    }
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - kWidth) / 2;
    const int y = work.top + (work.bottom - work.top - kHeight) / 2;
    HWND window =
        ::CreateWindowExA(WS_EX_APPWINDOW, windowClass.lpszClassName, kTitle, WS_POPUP | WS_CLIPCHILDREN, x,
                          y, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ::CreateWindowExA(0, "BUTTON", "Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 440, 160,
                      112, 30, window, nullptr, instance, nullptr);
    // Armed before the window is shown, as the launcher arms its first timer in its load handler.
    ::SetTimer(window, kTickTimer, 1000, nullptr);
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
