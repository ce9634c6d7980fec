// The splash window's drawing: fonts, kept background and a state painter, pure in density and state.
#pragma once

#include "Layout.h"
#include "UniqueHandle.h"
#include "Win32.h"

#include <cstdint>
#include <optional>
#include <string>

namespace launchwick::win32 {

// What changes on the window at run time; everything else is drawn from the design.
struct SplashScene {
    std::string statusText;
    std::int32_t progressWidth = design::recProgress.width;
    bool progressVisible = true;
};

// The label fonts at one density.
struct SplashFonts {
    UniqueFont title;
    UniqueFont status;
    UniqueFont button;

    static SplashFonts Create(int dpi);
};

// Draws the whole client area (background, labels, progress bar) into dc at the given density.
void DrawSplash(HDC dc, const SplashScene& scene, const SplashFonts& fonts, int dpi);
// The part that changes: the status line and the bar's fill, drawn over the background where dc may draw.
void DrawSplashState(HDC dc, const SplashScene& scene, const SplashFonts& fonts, int dpi);

// Client area, status line and the bar's interior (all the fill can cover) in pixels at a density.
PixelRect ClientRect(int dpi) noexcept;
PixelRect StatusRect(int dpi) noexcept;
PixelRect ProgressInteriorRect(int dpi) noexcept;

inline RECT ToRect(const PixelRect& rect) noexcept {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

// The background of the client area at one density, drawn once into a kept bitmap. Paints copy
// rectangles of it instead of drawing the gradients and title again.
class SplashBackground {
public:
    // A picture compatible with reference. False when the system had no memory for it.
    SplashBackground(HDC reference, const SplashFonts& fonts, int dpi);
    SplashBackground(const SplashBackground&) = delete;
    SplashBackground& operator=(const SplashBackground&) = delete;

    explicit operator bool() const noexcept { return dc_ && bitmap_; }
    // Copies the rectangle source (client coordinates) of the picture to dc at (x, y).
    void Blit(HDC dc, int x, int y, const RECT& source) const noexcept;

private:
    PixelRect size_;
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
    SelectScope selected_; // the bitmap stays selected in dc_ until the picture goes
};

// The fonts and kept background of the window's density, and the painting of the window from them.
class SplashPainter {
public:
    // Takes the fonts of dpi and draws the kept background for it, compatible with reference.
    void SetDensity(HDC reference, SplashFonts fonts, int dpi);
    // The status line's text as drawn, converted once per change rather than once per paint; the scene's
    // text in UTF-16.
    void SetStatusText(std::string_view text);
    const std::wstring& StatusText() const noexcept { return status_; }
    // Draws the client area into dc, where area (client coordinates) needs it.
    void Print(HDC dc, const RECT& area, const SplashScene& scene) const;
    // For a themed button asking for its background: the part of the picture that dc lets through.
    void PrintClient(HDC dc, const SplashScene& scene) const;
    // For the status line's own paint: what the window would paint there, in the label's coordinates.
    void PrintStatus(HDC dc, const SplashScene& scene) const;

private:
    int dpi_ = 96;
    // Declared in the order of need: the background goes before the fonts it was drawn with.
    SplashFonts fonts_;
    std::optional<SplashBackground> background_;
    UniqueBrush fill_; // the bar's fill, made once
    std::wstring status_;
};

} // namespace launchwick::win32
