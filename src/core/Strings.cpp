#include "Strings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <utility>

namespace launchwick {

// Own digits rather than std::to_string, whose tables the program has no other use for.
std::string Str(long long value) {
    char digits[21]; // 20 digits and the sign
    char* first = std::end(digits);
    const auto bits = static_cast<unsigned long long>(value);
    unsigned long long magnitude = value < 0 ? 0ULL - bits : bits;
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        *--first = '-';
    }
    return std::string(first, std::end(digits));
}

void AppendDecimal(std::string& text, long long value, std::size_t width) {
    std::string digits = Str(value);
    if (value < 0) {
        text += '-';
        digits.erase(0, 1);
        width = width > 0 ? width - 1 : 0;
    }
    if (width > digits.size()) {
        text.append(width - digits.size(), '0');
    }
    text += digits;
}

void AppendHex(std::string& text, std::uint64_t value, std::size_t digits) {
    char reversed[16];
    std::size_t count = 0;
    do {
        reversed[count++] = "0123456789abcdef"[value % 16];
        value /= 16;
    } while (value != 0);
    if (digits > count) {
        text.append(digits - count, '0');
    }
    while (count > 0) {
        text += reversed[--count];
    }
}

std::string DateStamp(int year, int month, int day, int hour, int minute, int second) {
    std::string text;
    text.reserve(19);
    AppendDecimal(text, year, 4);
    const std::pair<char, int> rest[] = {{'-', month}, {'-', day}, {' ', hour}, {':', minute}, {':', second}};
    for (const auto& [separator, value] : rest) {
        text += separator;
        AppendDecimal(text, value, 2);
    }
    return text;
}

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string UpperCase(std::string_view original) {
    std::string text(original);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string TextBeforeNul(const char* buffer, std::size_t size) {
    const void* nul = std::memchr(buffer, '\0', size);
    const std::size_t length =
        nul == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(nul) - buffer);
    return std::string(buffer, length);
}

std::wstring TextBeforeNul(const wchar_t* buffer, std::size_t size) {
    const wchar_t* const end = buffer + size;
    return std::wstring(buffer, std::find(buffer, end, L'\0'));
}

} // namespace launchwick
