// The one place that includes <windows.h>, with the same settings for every file of the Win32 layer.
// Every call names its form ("...A" or "...W") explicitly, so UNICODE must stay undefined.
#pragma once

#if defined(UNICODE) || defined(_UNICODE)
#error "The Win32 layer names the ANSI or wide form of each call; build it without UNICODE."
#endif

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>

#include "Errors.h"

#include <commctrl.h>
#include <oleacc.h>
#include <shellapi.h>

namespace launchwick::win32 {

// A function of a loaded system DLL that older systems may lack: null where it does not exist. Looked up at
// run time, because a static import of it would stop the program from starting there.
template <class Function> Function SystemFunction(const char* module, const char* name) noexcept {
    const HMODULE handle = ::GetModuleHandleA(module);
    const FARPROC address = handle != nullptr ? ::GetProcAddress(handle, name) : nullptr;
    // Through void(*)(): the one function pointer type that converts to any other without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// A failed COM call throws SystemError with the Win32 code inside an HRESULT of that kind, else the HRESULT
// itself: the system's texts are for both.
inline void CheckResult(HRESULT result) {
    if (FAILED(result)) {
        throw SystemError(HRESULT_FACILITY(result) == FACILITY_WIN32
                              ? static_cast<std::uint32_t>(HRESULT_CODE(result))
                              : static_cast<std::uint32_t>(result));
    }
}

} // namespace launchwick::win32
