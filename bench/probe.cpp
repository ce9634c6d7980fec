// Console helper of the benchmark, run in the same Wine prefix as the program measured: polls every
// millisecond for a visible top-level window with the given title and prints the wall time at which it was
// first seen. lwdriver polls every 20 ms, too coarse for start-up times of a few tens of milliseconds.
//
//   probe.exe TITLE [TIMEOUT_MS]
//
// Prints "ready <unix us>" once polling, then "visible <unix us> <polls>" or "timeout <unix us> <polls>".
// Exit status: 0 seen, 1 timed out, 2 bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

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

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: probe TITLE [TIMEOUT_MS]\n");
        return 2;
    }
    const char* title = argv[1];
    const ULONGLONG timeout = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10000;
    const ULONGLONG end = ::GetTickCount64() + timeout;
    std::printf("ready %lld\n", UnixMicros());
    std::fflush(stdout);
    for (long long polls = 1;; ++polls) {
        // Every window with the title, not only the first: a hidden one must not mask a visible one.
        for (HWND window = ::FindWindowExA(nullptr, nullptr, nullptr, title); window != nullptr;
             window = ::FindWindowExA(nullptr, window, nullptr, title)) {
            if (::IsWindowVisible(window)) {
                std::printf("visible %lld %lld\n", UnixMicros(), polls);
                return 0;
            }
        }
        if (::GetTickCount64() >= end) {
            std::printf("timeout %lld %lld\n", UnixMicros(), polls);
            return 1;
        }
        ::Sleep(1);
    }
}
