// Pixel arithmetic and small text builders of the Win32 layer.
#include "Layout.h"

#include "Numbers.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace launchwick::win32 {

int TwipsToPixels(long long twips, int dpi) noexcept {
    const long long scaled = twips * dpi;
    const long long twice = 2LL * design::twipsPerInch;
    // Round half away from zero, the way MulDiv does.
    const long long magnitude = ((scaled < 0 ? -scaled : scaled) * 2 + design::twipsPerInch) / twice;
    return static_cast<int>(scaled < 0 ? -magnitude : magnitude);
}

PixelRect ToPixels(const design::Rect& rect, int dpi) noexcept {
    return PixelRect{TwipsToPixels(rect.left, dpi), TwipsToPixels(rect.top, dpi),
                     TwipsToPixels(static_cast<long long>(rect.left) + rect.width, dpi),
                     TwipsToPixels(static_cast<long long>(rect.top) + rect.height, dpi)};
}

PixelRect Deflate(const PixelRect& rect, int by) noexcept {
    return PixelRect{rect.left + by, rect.top + by, rect.right - by, rect.bottom - by};
}

PixelRect CentredIn(const PixelRect& area, int width, int height) noexcept {
    const int left = area.left + (area.Width() - width) / 2;
    const int top = area.top + (area.Height() - height) / 2;
    return PixelRect{left, top, left + width, top + height};
}

PixelRect ProgressFillRect(const design::Rect& frame, std::int32_t widthTwips, int dpi) noexcept {
    const PixelRect interior = Deflate(ToPixels(frame, dpi), 1);
    const int width = std::clamp(TwipsToPixels(widthTwips, dpi), 0, std::max(interior.Width(), 0));
    return PixelRect{interior.left, interior.top, interior.left + width, interior.bottom};
}

int FontHeight(int hundredthsOfPoint, int dpi) noexcept {
    // -MulDiv(hundredths, dpi, 7200): 72 points and 100 hundredths to the inch, halves away from zero.
    const long long scaled =
        static_cast<long long>(hundredthsOfPoint < 0 ? -hundredthsOfPoint : hundredthsOfPoint) * dpi;
    return -static_cast<int>((scaled * 2 + 7200) / 14400);
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

namespace {

// Appends value in decimal, zero-padded to width characters (the sign counts), as printf's "%0*d" does.
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

// Appends value in lower-case hexadecimal without leading zeros, as printf's "%lx" does.
void AppendHex(std::string& text, std::uint32_t value) {
    char digits[8];
    std::size_t count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value % 16];
        value /= 16;
    } while (value != 0);
    while (count > 0) {
        text += digits[--count];
    }
}

} // namespace

std::string FormatDateTime(int year, int month, int day, int hour, int minute, int second) {
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

std::string TempFileName(std::uint32_t processId, std::uint32_t attempt, std::string_view suffix) {
    std::string text = "ZVKLaunchwick-";
    AppendHex(text, processId);
    text += '-';
    AppendHex(text, attempt);
    text += suffix;
    return text;
}

std::string InstanceObjectName(std::string_view upperCasePath) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : upperCasePath) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    std::string name = "Local\\ZVKLaunchwick-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += "0123456789abcdef"[(hash >> shift) & 0xF];
    }
    return name;
}

} // namespace launchwick::win32
