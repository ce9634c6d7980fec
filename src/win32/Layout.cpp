// Pixel arithmetic and the names of the Win32 layer.
#include "Layout.h"

#include "Strings.h"

#include <algorithm>

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
    AppendHex(name, hash, 16);
    return name;
}

} // namespace launchwick::win32
