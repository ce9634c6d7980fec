// Checked arithmetic for the program's two number types: counts and indexes are 16-bit, seconds and
// ticks 32-bit. A result that leaves its type's range fails the statement instead of wrapping.
#pragma once

#include "Platform.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace launchwick {

template <class T> T Checked(long long value) {
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
        FailStatement("Overflow");
    }
    return static_cast<T>(value);
}

inline std::int16_t Add16(std::int16_t a, long long b) {
    return Checked<std::int16_t>(a + b);
}
inline std::int32_t Add32(std::int32_t a, long long b) {
    return Checked<std::int32_t>(a + b);
}

// Rounds half to even, as conversions to a whole number do; a result out of 32-bit range fails.
std::int32_t RoundHalfEven(double value);

// Converts text to a 32-bit whole number: surrounding spaces, an optional sign, decimal digits and an
// optional fraction, rounded half to even. Anything else, or a value out of range, fails.
std::int32_t ToInt32(std::string_view text);

// Decimal, no leading zeros or spaces, a minus sign when negative.
std::string Str(long long value);

// Removes spaces (only spaces) at both ends.
std::string TrimSpaces(std::string_view text);

// The folder part of a path, without its trailing backslash except at a root such as "C:\" or "\";
// empty when the path has no backslash.
std::string FolderOfPath(std::string_view path);

// True for a path that names its drive and root ("C:\x", "C:/x"), a drive alone ("C:x", whose folder
// only the system knows) or a network share ("\\server\share").
bool IsAbsolutePath(std::string_view path);
// path taken from folder (an absolute folder): unchanged when absolute, on folder's drive or share when it
// starts at a root ("\x"), otherwise appended to folder.
std::string AbsolutePath(std::string_view path, std::string_view folder);
// The same, then with "/" as "\" and "." and ".." resolved: the one spelling of a path, for comparing two.
// A drive alone ("C:x") is left as it is: its folder only the system knows.
std::string FullPath(std::string_view path, std::string_view folder);

// Upper case, byte by byte, in the C locale (ASCII letters only).
std::string UpperCase(std::string_view text);

} // namespace launchwick
