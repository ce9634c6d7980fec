// Checked arithmetic for the program's two number types: counts and indexes are 16-bit, seconds and
// ticks 32-bit. A result that leaves its type's range fails the statement instead of wrapping.
#pragma once

#include "Errors.h"

#include <cstdint>
#include <limits>
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

} // namespace launchwick
