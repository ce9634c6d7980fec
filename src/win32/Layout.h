// Arithmetic of the Win32 layer that needs no system call: twips to device pixels, the progress fill,
// font heights, and the names of its temporary files and kernel objects. Kept apart so it can be tested
// anywhere.
#pragma once

#include "Design.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace launchwick::win32 {

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0; // right and bottom are exclusive

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    bool Empty() const noexcept { return right <= left || bottom <= top; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Nearest whole pixel, halves away from zero.
int TwipsToPixels(long long twips, int dpi) noexcept;

// Left and right (top and bottom) edges are converted separately, so neighbouring boxes that share an
// edge in twips share it in pixels too.
PixelRect ToPixels(const design::Rect& rect, int dpi) noexcept;

PixelRect Deflate(const PixelRect& rect, int by) noexcept;

// Where a box of the given size sits when centred in area.
PixelRect CentredIn(const PixelRect& area, int width, int height) noexcept;

// The green fill: it starts at the frame's interior corner (one device pixel inside the outline), has
// the interior's height, and is widthTwips wide, clamped to the interior. Empty for a width of 0.
PixelRect ProgressFillRect(const design::Rect& frame, std::int32_t widthTwips, int dpi) noexcept;

// LOGFONT height (negative: character height) of a size in hundredths of a point.
int FontHeight(int hundredthsOfPoint, int dpi) noexcept;

// "ZVKLaunchwick-" + process id in hex + "-" + attempt in hex + suffix.
std::string TempFileName(std::uint32_t processId, std::uint32_t attempt, std::string_view suffix);

// The name of the session's kernel object that stands for one settings file: "Local\ZVKLaunchwick-" and a
// 64-bit FNV-1a hash of the path in hex, as a full path may be longer than an object name can be.
std::string InstanceObjectName(std::string_view upperCasePath);

} // namespace launchwick::win32
