// The wall clock of the Windows test programs, in the harness's own terms.
#pragma once

#include <windows.h>

// Milliseconds since the Unix epoch, so the tests can compare with their own clock.
inline long long UnixMillis() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<long long>(t.QuadPart / 10000ULL) - 11644473600000LL;
}
