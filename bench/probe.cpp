// Console helper of the benchmark, run in the same Wine prefix as the program measured: polls every
// millisecond for a visible top-level window with the given title and prints the wall time at which it was
// first seen. lwdriver polls every 20 ms, too coarse for start-up times of a few tens of milliseconds.
//
//   probe.exe TITLE [TIMEOUT_MS]
//
// Prints "ready <unix us>" once polling, then "visible <unix us> <polls>" or "timeout <unix us> <polls>".
// Once visible it goes on polling the screen pixel 4 px inside the window's top left corner, and prints
// "painted <unix us> <polls>" when that pixel first differs from the empty screen (read at the top left
// corner of the screen before the window came), or "unpainted <unix us> <polls>" at the timeout.
// Exit status: 0 seen, 1 timed out, 2 bad usage.
//
//   probe.exe --cover LEFT TOP RIGHT BOTTOM TITLE
//
// Covers the screen rectangle (physical pixels) with a plain topmost window that takes no focus, each time
// a line "show MS" arrives on stdin: prints "covering <unix us>" once the window is shown, keeps it MS
// milliseconds, takes it away and prints "gone <unix us>". What lay under it must then be painted again:
// Windows invalidates it, but Wine 8 puts back the pixels it kept of the window titled TITLE, so the probe
// then invalidates that part of it (and of its children) itself, as Windows would. Ends at the end of
// stdin. For the pixel comparison, which starts it early so that a cover is quick.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Microseconds since the Unix epoch: the same clock as the benchmark's time.time() on the Linux side.
long long UnixMicros() {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<long long>(t.QuadPart / 10ULL) - 11644473600000000LL;
}

// Handles every waiting message for ms milliseconds.
void Pump(DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    for (ULONGLONG now = ::GetTickCount64(); now < end; now = ::GetTickCount64()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&message);
        }
    }
}

int Cover(char** argv) {
    ::SetProcessDPIAware(); // the rectangle is in physical pixels at any density
    const int left = std::atoi(argv[2]), top = std::atoi(argv[3]);
    const int right = std::atoi(argv[4]), bottom = std::atoi(argv[5]);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = "ProbeCover";
    ::RegisterClassA(&windowClass);
    char line[64];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        if (std::strncmp(line, "show ", 5) != 0) {
            continue;
        }
        HWND cover = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, "ProbeCover",
                                       "cover", WS_POPUP, left, top, right - left, bottom - top, nullptr,
                                       nullptr, windowClass.hInstance, nullptr);
        if (cover == nullptr) {
            return 1;
        }
        ::ShowWindow(cover, SW_SHOWNOACTIVATE);
        ::UpdateWindow(cover);
        std::printf("covering %lld\n", UnixMicros());
        std::fflush(stdout);
        Pump(static_cast<DWORD>(std::atoi(line + 5)));
        ::DestroyWindow(cover);
        if (HWND under = ::FindWindowA(nullptr, argv[6]); under != nullptr) {
            RECT exposed{left, top, right, bottom};
            ::MapWindowPoints(nullptr, under, reinterpret_cast<POINT*>(&exposed), 2);
            ::RedrawWindow(under, &exposed, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        }
        Pump(50);
        std::printf("gone %lld\n", UnixMicros());
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "--cover") == 0) {
        return Cover(argv);
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: probe TITLE [TIMEOUT_MS] | probe --cover LEFT TOP RIGHT BOTTOM TITLE\n");
        return 2;
    }
    const char* title = argv[1];
    const ULONGLONG timeout = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10000;
    const ULONGLONG end = ::GetTickCount64() + timeout;
    ::SetProcessDPIAware();
    const HDC screen = ::GetDC(nullptr);
    const COLORREF empty = ::GetPixel(screen, 0, 0);
    std::printf("ready %lld\n", UnixMicros());
    std::fflush(stdout);
    HWND seen = nullptr;
    for (long long polls = 1; seen == nullptr; ++polls) {
        // Every window with the title, not only the first: a hidden one must not mask a visible one.
        for (HWND window = ::FindWindowExA(nullptr, nullptr, nullptr, title); window != nullptr;
             window = ::FindWindowExA(nullptr, window, nullptr, title)) {
            if (::IsWindowVisible(window)) {
                std::printf("visible %lld %lld\n", UnixMicros(), polls);
                std::fflush(stdout);
                seen = window;
                break;
            }
        }
        if (seen == nullptr && ::GetTickCount64() >= end) {
            std::printf("timeout %lld %lld\n", UnixMicros(), polls);
            return 1;
        }
        if (seen == nullptr) {
            ::Sleep(1);
        }
    }
    RECT rect{};
    ::GetWindowRect(seen, &rect);
    for (long long polls = 1;; ++polls) {
        if (::GetPixel(screen, rect.left + 4, rect.top + 4) != empty) {
            std::printf("painted %lld %lld\n", UnixMicros(), polls);
            return 0;
        }
        if (::GetTickCount64() >= end) {
            std::printf("unpainted %lld %lld\n", UnixMicros(), polls);
            return 1;
        }
        ::Sleep(1);
    }
}
