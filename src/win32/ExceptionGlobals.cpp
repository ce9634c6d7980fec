// The GNU C++ library's record of the exceptions being handled, kept once for the program instead of once
// per thread. The library's own keeps it in emulated thread-local storage, whose support code is about a
// kilobyte; the program throws and catches on its one thread only (shell starts run without a thread of
// their own, SEE_MASK_NOASYNC).
// Built with GCC only (see CMakeLists.txt). Both functions of the library's file are here, so that the file
// is never linked.
#include <cxxabi.h>

namespace __cxxabiv1 {

// The library's layout of the record (unwind-cxx.h), which the program never looks into.
struct __cxa_eh_globals {
    void* caughtExceptions;
    unsigned int uncaughtExceptions;
};

namespace {
__cxa_eh_globals globals{};
} // namespace

extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept {
    return &globals;
}

extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept {
    return &globals;
}

} // namespace __cxxabiv1
