// The benchmark's yardstick: the cheapest program that does the launcher's visible work. It reads the same
// ZVKLaunchwick.ini beside it (all 40 keys, with GetPrivateProfileStringA), shows a 567 x 203 popup window
// centred like the launcher's with one push button, and keeps the launcher's schedule on a 1000 ms timer:
// the start tick, one tick per second of each profile's delay and one that starts its program (with
// ShellExecuteA), the completion tick, then 5 s to its end. After each tick it invalidates only a status
// line and a bar and paints them with DrawTextA and FillRect over a solid background. It writes the
// launcher's trace lines, the same ones at loading and in each tick, since any program that keeps this
// contract pays for them. Whatever the launcher spends beyond this (its full reading and checking of the
// settings, its drawing, the building of its texts) is the launcher's own cost.
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

// A line of text built in place, without a call into another DLL (wsprintfA would be one into user32).
class Line {
public:
    Line& operator<<(const char* text) noexcept {
        while (*text != '\0' && length_ < sizeof text_ - 1) {
            text_[length_++] = *text++;
        }
        return *this;
    }
    Line& operator<<(int value) noexcept {
        char digits[12];
        int count = 0;
        unsigned magnitude = value < 0 ? 0U - static_cast<unsigned>(value) : static_cast<unsigned>(value);
        do {
            digits[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) {
            digits[count++] = '-';
        }
        while (count > 0 && length_ < sizeof text_ - 1) {
            text_[length_++] = digits[--count];
        }
        return *this;
    }
    const char* Text() noexcept {
        text_[length_] = '\0';
        return text_;
    }

private:
    char text_[2 * MAX_PATH + 64];
    size_t length_ = 0;
};

// The launcher's trace line, as it writes it.
void Trace(Line& line) {
    ::OutputDebugStringA(line.Text());
}

void ReadSettings() {
    char ini[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, ini, MAX_PATH);
    char* name = std::strrchr(ini, '\\');
    if (length == 0 || length >= MAX_PATH || name == nullptr ||
        static_cast<size_t>(name - ini) + sizeof "\\ZVKLaunchwick.ini" > sizeof ini) {
        return;
    }
    std::strcpy(name, "\\ZVKLaunchwick.ini");
    Trace(Line() << "Found \"" << ini << "\".  Loading settings...");
    Trace(Line() << "Loading Settings Start");
    Trace(Line() << ini << "ZVKLaunchwick.ini found");
    for (int n = 1; n <= kMaxProfiles; ++n) {
        char key[16];
        char delay[32];
        Profile& profile = profiles[profileCount];
        ::wsprintfA(key, "Path%d", n);
        ::GetPrivateProfileStringA("Paths", key, "", profile.path, sizeof profile.path, ini);
        ::wsprintfA(key, "Delay%d", n);
        ::GetPrivateProfileStringA("Paths", key, "", delay, sizeof delay, ini);
        Trace(Line() << "GetSetting(" << ini << ", \"Paths\", \"Path" << n
                     << "\", \"?\") = " << (profile.path[0] != '\0' ? profile.path : "?"));
        if (profile.path[0] != '\0') {
            profile.delay = std::atoi(delay) > 0 ? std::atoi(delay) : 0;
            Trace(Line() << "shellPaths(" << profileCount << ") = " << profile.path);
            Trace(Line() << "shellPathDelay(" << profileCount << ") = " << profile.delay);
            totalTicks += profile.delay + 1;
            ++profileCount;
        } else {
            Trace(Line() << "No valid entry for path " << n);
        }
    }
    Trace(Line() << "Loading Settings End");
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
    Trace(Line() << "tmrMain_Timer Start currentShellPath=" << current + 1
                 << " shellPathCount=" << profileCount << " timerCount=" << counted);
    if (current < profileCount) {
        const Profile& profile = profiles[current];
        Trace(Line() << "currentShellPath <= shellPathCount");
        Trace(Line() << "shellPathDelay(" << current << ") = " << profile.delay);
        Trace(Line() << "timerCount = " << counted);
        Line text;
        if (counted < profile.delay) {
            Trace(Line() << "timerCount hasn't reached specified delay...");
            ++counted;
            Trace(Line() << "timercount = " << counted << "  currentShellPath = " << current + 1);
            text << "(" << current + 1 << " of " << profileCount << ") Starting \"" << FileName(profile.path)
                 << "\" in " << profile.delay - counted << " seconds";
        } else {
            Trace(Line() << "timerCount reached specified delay.  Executing app...");
            Start(profile);
            text << "(" << current + 1 << " of " << profileCount << ") Starting \"" << FileName(profile.path)
                 << "\"";
            ++current;
            counted = 0;
        }
        std::strcpy(status, text.Text());
    } else {
        Trace(Line() << "currentShellPath > shellPathCount");
        std::strcpy(status, "Complete");
        ::KillTimer(window, kTickTimer);
        ::SetTimer(window, kExitTimer, 5000, nullptr);
    }
    ::InvalidateRect(window, &kStatus, TRUE);
    ::InvalidateRect(window, &kBar, TRUE);
    Trace(Line() << "tmrMain_Timer End");
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
