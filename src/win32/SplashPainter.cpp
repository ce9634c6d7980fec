// The splash window's drawing, laid out from twips at the window's real density so it is sharp on any screen.
#include "SplashPainter.h"

#include "Texts.h"
#include "Utf.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

namespace launchwick::win32 {

namespace {

// A dark blue-grey body with a lighter header strip and a thin amber line under it: the wick's flame.
constexpr COLORREF bodyTop = RGB(38, 48, 64);
constexpr COLORREF bodyBottom = RGB(14, 18, 26);
constexpr COLORREF headerTop = RGB(104, 124, 152);
constexpr COLORREF headerBottom = RGB(64, 80, 104);
constexpr COLORREF flame = RGB(240, 160, 48);
constexpr std::int32_t headerHeightTwips = 1080;
constexpr std::int32_t flameHeightTwips = 30;

COLORREF ToColorRef(const design::Colour& colour) noexcept {
    return RGB(colour.red, colour.green, colour.blue);
}

// With the DC's own brush, so that no brush is made per fill.
void FillSolid(HDC dc, const RECT& rect, COLORREF colour) noexcept {
    const COLORREF previous = ::SetDCBrushColor(dc, colour);
    ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetDCBrushColor(dc, previous);
}

COLOR16 Channel(BYTE value) noexcept {
    return static_cast<COLOR16>(value << 8);
}

void FillVertical(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) noexcept {
    TRIVERTEX vertices[2] = {
        {rect.left, rect.top, Channel(GetRValue(top)), Channel(GetGValue(top)), Channel(GetBValue(top)), 0},
        {rect.right, rect.bottom, Channel(GetRValue(bottom)), Channel(GetGValue(bottom)),
         Channel(GetBValue(bottom)), 0},
    };
    GRADIENT_RECT mesh{0, 1};
    // GDI32's own export: GradientFill would import MSIMG32, which is not one of the system's known DLLs.
    if (!::GdiGradientFill(dc, vertices, 2, &mesh, 1, GRADIENT_FILL_RECT_V)) {
        FillSolid(dc, rect, top);
    }
}

void DrawCentred(HDC dc, RECT rect, std::wstring_view text, HFONT font, const design::Colour& colour,
                 UINT extraFlags = 0) noexcept {
    const SelectScope selected(dc, font);
    ::SetTextColor(dc, ToColorRef(colour));
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect,
                DT_SINGLELINE | DT_CENTER | DT_TOP | DT_NOPREFIX | extraFlags);
}

void DrawLabel(HDC dc, const design::Rect& box, std::string_view text, HFONT font,
               const design::Colour& colour, int dpi) noexcept {
    DrawCentred(dc, ToRect(ToPixels(box, dpi)), Wide(text), font, colour);
}

// The status line's text, over the background already there, into rect.
void DrawStatus(HDC dc, const RECT& rect, std::wstring_view text, const SplashFonts& fonts) noexcept {
    ::SetBkMode(dc, TRANSPARENT);
    DrawCentred(dc, rect, text, fonts.status.get(), design::white, DT_END_ELLIPSIS);
}

// Where two rectangles overlap, worked out here: a paint asks this of every part it may draw.
bool Overlap(const RECT& a, const RECT& b, RECT& overlap) noexcept {
    overlap = RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
    return overlap.left < overlap.right && overlap.top < overlap.bottom;
}

// The changing part where area (client coordinates, what the DC may draw) needs it; brush fills the bar.
void DrawState(HDC dc, const RECT& area, const SplashScene& scene, std::wstring_view status,
               const SplashFonts& fonts, HBRUSH brush, int dpi) noexcept {
    RECT part{};
    const RECT text = ToRect(StatusRect(dpi));
    if (Overlap(text, area, part)) {
        DrawStatus(dc, text, status, fonts);
    }
    if (scene.progressVisible) {
        const RECT fill = ToRect(ProgressFillRect(design::recProgressBorder, scene.progressWidth, dpi));
        if (Overlap(fill, area, part)) {
            if (brush != nullptr) {
                ::FillRect(dc, &fill, brush);
            } else {
                FillSolid(dc, fill, ToColorRef(design::progressFill));
            }
        }
    }
}

UniqueFont CreateDesignFont(const design::Font& font, int dpi) noexcept {
    return UniqueFont(::CreateFontA(FontHeight(font.hundredthsOfPoint, dpi), 0, 0, 0, font.weight, FALSE,
                                    FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, font.face));
}

} // namespace

SplashFonts SplashFonts::Create(int dpi) {
    SplashFonts fonts;
    fonts.title = CreateDesignFont(design::titleFont, dpi);
    fonts.status = CreateDesignFont(design::statusFont, dpi);
    fonts.button = CreateDesignFont(design::buttonFont, dpi);
    return fonts;
}

namespace {

// The part that never changes at one density: gradients, flame line, title, the bar's frame.
void DrawSplashBackground(HDC dc, const SplashFonts& fonts, int dpi) {
    const PixelRect client = ClientRect(dpi);
    const int headerBottomPx = TwipsToPixels(headerHeightTwips, dpi);
    const int flameBottomPx = headerBottomPx + std::max(1, TwipsToPixels(flameHeightTwips, dpi));

    FillVertical(dc, RECT{client.left, flameBottomPx, client.right, client.bottom}, bodyTop, bodyBottom);
    FillVertical(dc, RECT{client.left, client.top, client.right, headerBottomPx}, headerTop, headerBottom);
    FillSolid(dc, RECT{client.left, headerBottomPx, client.right, flameBottomPx}, flame);

    ::SetBkMode(dc, TRANSPARENT);
    const std::string_view title = texts::titleCaption;
    // Bottom first: the four black copies, then the white title on top. The labels clip to their own
    // boxes, and no box overlaps the status line or the bar, so those can be drawn over this at any time.
    DrawLabel(dc, design::lblTitle[4], title, fonts.title.get(), design::black, dpi);
    DrawLabel(dc, design::lblTitle[3], title, fonts.title.get(), design::black, dpi);
    DrawLabel(dc, design::lblTitle[2], title, fonts.title.get(), design::black, dpi);

    const RECT frame = ToRect(ToPixels(design::recProgressBorder, dpi));
    FillSolid(dc, frame, ToColorRef(design::progressFrame));
    ::FrameRect(dc, &frame, ::GetSysColorBrush(COLOR_WINDOWTEXT));

    DrawLabel(dc, design::lblTitle[1], title, fonts.title.get(), design::black, dpi);
    DrawLabel(dc, design::lblTitle[0], title, fonts.title.get(), design::white, dpi);
}

} // namespace

void DrawSplashState(HDC dc, const SplashScene& scene, const SplashFonts& fonts, int dpi) {
    // Only what lies in the DC's clip box: a button asking for its background needs neither part.
    RECT area{};
    if (::GetClipBox(dc, &area) == ERROR) {
        area = ToRect(ClientRect(dpi));
    }
    DrawState(dc, area, scene, Wide(scene.statusText), fonts, nullptr, dpi);
}

void DrawSplash(HDC dc, const SplashScene& scene, const SplashFonts& fonts, int dpi) {
    DrawSplashBackground(dc, fonts, dpi);
    DrawSplashState(dc, scene, fonts, dpi);
}

PixelRect ClientRect(int dpi) noexcept {
    return ToPixels(design::Rect{0, 0, design::clientWidth, design::clientHeight}, dpi);
}

PixelRect StatusRect(int dpi) noexcept {
    return ToPixels(design::lblStatus, dpi);
}

PixelRect ProgressInteriorRect(int dpi) noexcept {
    return Deflate(ToPixels(design::recProgressBorder, dpi), 1);
}

SplashBackground::SplashBackground(HDC reference, const SplashFonts& fonts, int dpi)
    : size_(ClientRect(dpi)), dc_(::CreateCompatibleDC(reference)),
      bitmap_(::CreateCompatibleBitmap(reference, size_.Width(), size_.Height())),
      selected_(dc_.get(), bitmap_.get()) {
    if (dc_ && bitmap_) {
        DrawSplashBackground(dc_.get(), fonts, dpi);
    }
}

void SplashBackground::Blit(HDC dc, int x, int y, const RECT& source) const noexcept {
    // Only the part that lies on the picture.
    const RECT picture{size_.left, size_.top, size_.right, size_.bottom};
    RECT part{};
    if (*this && Overlap(source, picture, part)) {
        ::BitBlt(dc, x + part.left - source.left, y + part.top - source.top, part.right - part.left,
                 part.bottom - part.top, dc_.get(), part.left, part.top, SRCCOPY);
    }
}

void SplashPainter::SetDensity(HDC reference, SplashFonts fonts, int dpi) {
    fonts_ = std::move(fonts);
    dpi_ = dpi;
    // The static part is drawn once per density, here.
    background_.reset();
    background_.emplace(reference, fonts_, dpi);
    if (!fill_) {
        fill_.reset(::CreateSolidBrush(ToColorRef(design::progressFill)));
    }
}

void SplashPainter::SetStatusText(std::string_view text) {
    AssignWide(status_, text);
}

void SplashPainter::Print(HDC dc, const RECT& area, const SplashScene& scene) const {
    if (background_ && *background_) {
        background_->Blit(dc, area.left, area.top, area);
        DrawState(dc, area, scene, status_, fonts_, fill_.get(), dpi_);
    } else {
        DrawSplash(dc, scene, fonts_, dpi_); // no memory for the background: draw it all, directly
    }
}

void SplashPainter::PrintClient(HDC dc, const SplashScene& scene) const {
    RECT area{};
    if (::GetClipBox(dc, &area) == ERROR) {
        area = ToRect(ClientRect(dpi_));
    }
    Print(dc, area, scene);
}

void SplashPainter::PrintStatus(HDC dc, const SplashScene& scene) const {
    const PixelRect box = StatusRect(dpi_);
    if (background_ && *background_) {
        // The label's own coordinates: its part of the picture, then the text over it.
        background_->Blit(dc, 0, 0, ToRect(box));
        DrawStatus(dc, RECT{0, 0, box.Width(), box.Height()}, status_, fonts_);
        return;
    }
    POINT origin{};
    ::SetViewportOrgEx(dc, -box.left, -box.top, &origin);
    Print(dc, ToRect(box), scene);
    ::SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
}

} // namespace launchwick::win32
