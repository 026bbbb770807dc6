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

struct TFont {
    std::string Name = "Arial";
    int Height = 13; ///< pixels
    TColor Color = 0;
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

private:
    void changed();
    platform::SurfaceFont font() const;
    platform::PixelSurface* surface_ = nullptr;
    int penX_ = 0, penY_ = 0;
};

} // namespace runtime
