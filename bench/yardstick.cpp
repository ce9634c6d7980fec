// The benchmark's yardstick: the cheapest program that does the launcher's visible work. It reads the same
// ZVKLaunchwick.ini beside it (all 40 keys, with GetPrivateProfileStringA), shows a 567 x 203 popup window
// centred like the launcher's with one push button, and keeps the launcher's schedule on a 1000 ms timer:
// the start tick, one tick per second of each profile's delay and one that starts its program (with
// ShellExecuteA, as the launcher starts a program without arguments), the completion tick, then 5 s to
// its end. After each tick it invalidates only a status line and a bar and paints them with DrawTextA and
// FillRect over a solid background. It writes no trace lines. Whatever the launcher spends beyond this
// (its trace lines, its full reading and checking of the settings, its drawing) is the launcher's own cost.
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr char kTitle[] = "Yardstick";
constexpr int kWidth = 567;
constexpr int kHeight = 203;
constexpr RECT kStatus{2, 150, 565, 171}; // where the launcher has them at 96 dpi
constexpr RECT kBar{8, 174, 514, 194};
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kExitTimer = 2;
constexpr int kMaxProfiles = 20;

struct Profile {
    char path[MAX_PATH];
    int delay;
};

Profile profiles[kMaxProfiles];
int profileCount = 0;
int totalTicks = 0; // the bar is full after this many sequence ticks
int current = 0;    // the profile counted down or started next
int counted = 0;    // seconds counted for it
int ticks = 0;      // sequence ticks so far
bool startTickSeen = false;
char status[MAX_PATH + 64] = "Loading";

void ReadSettings() {
    char ini[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, ini, MAX_PATH);
    char* name = std::strrchr(ini, '\\');
    if (length == 0 || length >= MAX_PATH || name == nullptr ||
        static_cast<size_t>(name - ini) + sizeof "\\ZVKLaunchwick.ini" > sizeof ini) {
        return;
    }
    std::strcpy(name, "\\ZVKLaunchwick.ini");
    for (int n = 1; n <= kMaxProfiles; ++n) {
        char key[16];
        char delay[32];
        Profile& profile = profiles[profileCount];
        ::wsprintfA(key, "Path%d", n);
        ::GetPrivateProfileStringA("Paths", key, "", profile.path, sizeof profile.path, ini);
        ::wsprintfA(key, "Delay%d", n);
        ::GetPrivateProfileStringA("Paths", key, "", delay, sizeof delay, ini);
        if (profile.path[0] != '\0') {
            profile.delay = std::atoi(delay) > 0 ? std::atoi(delay) : 0;
            totalTicks += profile.delay + 1;
            ++profileCount;
        }
    }
}

const char* FileName(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    return slash != nullptr ? slash + 1 : path;
}

void Start(const Profile& profile) {
    char folder[MAX_PATH];
    std::strcpy(folder, profile.path);
    if (char* slash = std::strrchr(folder, '\\')) {
        *slash = '\0';
    }
    ::ShellExecuteA(nullptr, nullptr, profile.path, "", folder, SW_SHOWNORMAL);
}

void Tick(HWND window) {
    if (!startTickSeen) {
        startTickSeen = true; // where the launcher arms its sequence timer: nothing to show yet
        return;
    }
    ++ticks;
    if (current < profileCount) {
        const Profile& profile = profiles[current];
        if (counted < profile.delay) {
            ++counted;
            ::wsprintfA(status, "(%d of %d) Starting \"%s\" in %d seconds", current + 1, profileCount,
                        FileName(profile.path), profile.delay - counted);
        } else {
            Start(profile);
            ::wsprintfA(status, "(%d of %d) Starting \"%s\"", current + 1, profileCount,
                        FileName(profile.path));
            ++current;
            counted = 0;
        }
    } else {
        std::strcpy(status, "Complete");
        ::KillTimer(window, kTickTimer);
        ::SetTimer(window, kExitTimer, 5000, nullptr);
    }
    ::InvalidateRect(window, &kStatus, TRUE);
    ::InvalidateRect(window, &kBar, TRUE);
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    const HDC dc = ::BeginPaint(window, &paint);
    const HGDIOBJ font = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    RECT text = kStatus;
    ::DrawTextA(dc, status, -1, &text, DT_SINGLELINE | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SelectObject(dc, font);
    const int shown = ticks < totalTicks ? ticks : totalTicks;
    if (totalTicks > 0 && shown > 0) {
        RECT fill = kBar;
        fill.right = kBar.left + (kBar.right - kBar.left) * shown / totalTicks;
        ::FillRect(dc, &fill, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    ::EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == kTickTimer) {
            Tick(window);
        } else if (wParam == kExitTimer) {
            ::KillTimer(window, kExitTimer);
            ::DestroyWindow(window);
        }
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ReadSettings();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1); // the solid background
    windowClass.lpszClassName = "Yardstick";
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
    ::CreateWindowExA(0, "BUTTON", "Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 515, 173, 45,
                      22, window, nullptr, instance, nullptr);
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
