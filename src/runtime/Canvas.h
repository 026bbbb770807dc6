#pragma once
// A drawing surface for controls: pen, brush and font over a platform pixel surface. Every
// drawing operation ends with OnChange, so the owner can mark itself dirty.

#include "platform/Geometry.h"
#include "platform/Platform.h"

#include <cstddef>
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

// ---- The system's drawing objects under the toolkit's bitmaps: pixel surfaces that canvases
// draw on and windows take blits from, the device contexts of the 8-bit display path, regions.

/// Memory straight from the system for big pixel buffers, given back whole by ReleaseLargeBlock
/// (platform::allocateLargeBlock); null when the system refuses. Any thread.
void* AllocateLargeBlock(std::size_t bytes);
void ReleaseLargeBlock(void* block, std::size_t bytes);
/// A 32-bit bottom-up pixel surface; null with the reason in `error` when the system refuses.
platform::PixelSurface* CreatePixelSurface(int width, int height, std::uint8_t** pixels,
                                           std::string& error);
/// Releases a surface and its pixels; null is ignored.
void DestroyPixelSurface(platform::PixelSurface* surface);
/// The system drawing handle of a surface (Win32: its device context), or null.
void* PixelSurfaceDC(platform::PixelSurface* surface);
/// Bits per pixel of a device context; 0 for null or unknown handles.
int DeviceBitsPerPixel(void* deviceContext);
/// Copies rows of palette indices (top row first, `width` bytes each) to an 8-bit device context
/// at (x, y), with `colours` as the colour table.
bool Blit8Bit(void* deviceContext, int x, int y, int width, int height, const std::uint8_t* indices,
              const std::uint32_t* colours, int colourCount);
/// A system region made of `count` rectangles; null when the system refuses.
void* CreateRegion(const TRect* rects, std::size_t count);
/// Whether pixel (x, y) lies in a region (null holds nothing).
bool RegionContains(void* region, int x, int y);
/// Releases a region; null is ignored.
void DestroyRegion(void* region);

} // namespace runtime
