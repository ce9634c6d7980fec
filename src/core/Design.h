// The splash window as designed: positions and sizes in twips (15 per pixel at 96 dpi), colours,
// fonts and timer intervals. The Win32 layer draws from these; the core reads the intervals.
#pragma once

#include <array>
#include <cstdint>

namespace launchwick::design {

struct Rect {
    std::int32_t left, top, width, height; // twips
};

struct Colour {
    std::uint8_t red, green, blue;
};

struct Font {
    const char* face;
    int hundredthsOfPoint; // 2775 = 27.75 pt
    int weight;
};

inline constexpr int twipsPerInch = 1440;

inline constexpr std::int32_t clientWidth = 8505;  // 567 px at 96 dpi
inline constexpr std::int32_t clientHeight = 3045; // 203 px at 96 dpi

inline constexpr Rect Command1{3225, 4470, 675, 330};
inline constexpr Rect txtFocus{1140, 3840, 1080, 360};
inline constexpr Rect btnCancel{7725, 2595, 675, 330};
inline constexpr Rect lblStatus{30, 2250, 8445, 315};
inline constexpr Rect recProgress{120, 2610, 1155, 300};
inline constexpr Rect recProgressBorder{105, 2595, 7620, 330};

// lblTitle(0) is white; (1) to (4) are the black copies one pixel off on each diagonal.
inline constexpr std::array<Rect, 5> lblTitle{{
    {105, 1260, 8295, 660},
    {90, 1245, 8295, 660},
    {90, 1275, 8295, 660},
    {120, 1245, 8295, 660},
    {120, 1275, 8295, 660},
}};

inline constexpr Colour white{255, 255, 255};
inline constexpr Colour black{0, 0, 0};
inline constexpr Colour progressFill{0, 192, 0};
inline constexpr Colour progressFrame{64, 64, 64};

inline constexpr Font titleFont{"Microsoft Sans Serif", 2775, 700};
inline constexpr Font statusFont{"Microsoft Sans Serif", 1200, 400};
inline constexpr Font buttonFont{"Microsoft Sans Serif", 825, 400};

inline constexpr int tmrStartInterval = 1000; // ms
inline constexpr int tmrMainInterval = 1000;
inline constexpr int tmrExitInterval = 5000;

} // namespace launchwick::design
