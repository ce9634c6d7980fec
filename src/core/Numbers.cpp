#include "Numbers.h"

#include "Strings.h"

#include <cmath>

namespace launchwick {

std::int32_t ToInt32(std::string_view text) {
    const std::string t = TrimSpaces(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    // Whole part; digits beyond the range fail early, so long digit strings cannot overflow here.
    long long whole = 0;
    std::size_t digits = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++digits) {
        whole = whole * 10 + (t[i] - '0');
        if (whole > 4'294'967'296LL) {
            FailStatement("Overflow");
        }
    }
    // Optional fraction, rounded half to even like the rest of the program's conversions.
    double fraction = 0.0;
    if (i < t.size() && t[i] == '.') {
        ++i;
        double scale = 0.1;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++digits) {
            fraction += (t[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (digits == 0 || i != t.size()) {
        FailStatement("Type mismatch");
    }
    const double value = static_cast<double>(whole) + fraction;
    return RoundHalfEven(negative ? -value : value);
}

std::int32_t RoundHalfEven(double value) {
    // The default rounding mode is half to even.
    return Checked<std::int32_t>(static_cast<long long>(std::nearbyint(value)));
}

} // namespace launchwick
