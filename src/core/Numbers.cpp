#include "Numbers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>

namespace launchwick {

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

// Own digits rather than std::to_string, whose tables the program has no other use for; the Win32 layer
// pads these for its dates.
std::string Str(long long value) {
    char digits[20];
    char* first = std::end(digits);
    const auto bits = static_cast<unsigned long long>(value);
    unsigned long long magnitude = value < 0 ? 0ULL - bits : bits;
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::string text(value < 0 ? "-" : "");
    text.append(first, std::end(digits));
    return text;
}

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

std::string FolderOfPath(std::string_view path) {
    const auto slash = path.find_last_of('\\');
    if (slash == std::string_view::npos) {
        return std::string();
    }
    // "C:\x.exe" lives in "C:\", not in "C:"; likewise "\x.exe" in "\".
    if (slash == 0 || path[slash - 1] == ':') {
        return std::string(path.substr(0, slash + 1));
    }
    return std::string(path.substr(0, slash));
}

std::string UpperCase(std::string_view original) {
    std::string text(original);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace launchwick
