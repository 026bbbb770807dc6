#pragma once
// A drawing surface for controls: pen, brush and font over a platform pixel surface. Every
// drawing operation ends with OnChange, so the owner can mark itself dirty.

#include "platform/Geometry.h"
#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <string>

namespace runtime {

using platform::TColor;
using platform::TRect;

struct TPoint {
    int X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};

/// Width and height of a text.
struct TSize {
    int cx = 0, cy = 0;
};

/// Screen pixels per inch that point sizes assume.
inline constexpr int ScreenPixelsPerInch = 96;

struct TFont {
    std::string Name = "Arial";
    int Height = 13; ///< pixels
    TColor Color = 0;

    /// Size in points at ScreenPixelsPerInch, rounded to the nearest point.
    int Size() const { return (Height * 72 + ScreenPixelsPerInch / 2) / ScreenPixelsPerInch; }
    /// Sets Height from a size in points (rounded to the nearest pixel; below 1 becomes 1).
    void SetSize(int points);
    bool operator==(const TFont&) const = default;
};

class TCanvas {
public:
    TColor PenColor = 0;
    TColor BrushColor = 0xFFFFFF;
    TFont Font;
    std::function<void()> OnChange;

    /// The surface drawn on; null makes every drawing a no-op (and fires nothing).
    void SetSurface(platform::PixelSurface* surface) { surface_ = surface; }
    platform::PixelSurface* Surface() const { return surface_; }

    void FillRect(const TRect& rect);
    /// One-pixel border just inside `rect`, in the brush colour.
    void FrameRect(const TRect& rect);
    void MoveTo(int x, int y);
    /// Line in the pen colour from the pen position up to (not including) (x, y); moves the pen.
    void LineTo(int x, int y);
    int PenX() const { return penX_; }
    int PenY() const { return penY_; }
    void TextOut(int x, int y, const std::string& text);
    int TextWidth(const std::string& text) const;
    int TextHeight(const std::string& text) const;
    TSize TextExtent(const std::string& text) const;

private:
    void changed();
    platform::SurfaceFont font() const;
    platform::PixelSurface* surface_ = nullptr;
    int penX_ = 0, penY_ = 0;
};

} // namespace runtime
