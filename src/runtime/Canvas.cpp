#include "runtime/Canvas.h"

#include <algorithm>

namespace runtime {

void TCanvas::changed() {
    if (OnChange) OnChange();
}

platform::SurfaceFont TCanvas::font() const {
    return {Font.Name, Font.Height, Font.Color};
}

void TCanvas::FillRect(const TRect& r) {
    if (surface_ == nullptr) return;
    platform::surfaceFillRect(surface_, r.Left, r.Top, r.Right, r.Bottom, BrushColor);
    changed();
}

void TCanvas::FrameRect(const TRect& r) {
    if (surface_ == nullptr || r.Left >= r.Right || r.Top >= r.Bottom) return;
    // Left < Right and Top < Bottom, so none of these overflow.
    platform::surfaceFillRect(surface_, r.Left, r.Top, r.Right, r.Top + 1, BrushColor);
    platform::surfaceFillRect(surface_, r.Left, r.Bottom - 1, r.Right, r.Bottom, BrushColor);
    platform::surfaceFillRect(surface_, r.Left, r.Top, r.Left + 1, r.Bottom, BrushColor);
    platform::surfaceFillRect(surface_, r.Right - 1, r.Top, r.Right, r.Bottom, BrushColor);
    changed();
}

void TCanvas::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void TCanvas::LineTo(int x, int y) {
    const int fromX = penX_, fromY = penY_;
    MoveTo(x, y);
    if (surface_ == nullptr) return;
    platform::surfaceLine(surface_, fromX, fromY, x, y, PenColor);
    changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    if (surface_ == nullptr || text.empty()) return;
    platform::surfaceText(surface_, x, y, text, font());
    changed();
}

int TCanvas::TextWidth(const std::string& text) const {
    int width = 0, height = 0;
    platform::surfaceTextExtent(surface_, text, font(), width, height);
    return width;
}

int TCanvas::TextHeight(const std::string& text) const {
    int width = 0, height = 0;
    platform::surfaceTextExtent(surface_, text, font(), width, height);
    return height;
}

} // namespace runtime

namespace runtime {

void TFont::SetSize(int points) {
    const long long pixels =
        (static_cast<long long>(points) * ScreenPixelsPerInch * 2 + 72) / (72 * 2);
    Height = static_cast<int>(std::clamp<long long>(pixels, 1, 0x7FFF));
}

TSize TCanvas::TextExtent(const std::string& text) const {
    TSize size;
    platform::surfaceTextExtent(surface_, text, font(), size.cx, size.cy);
    return size;
}

void* AllocateLargeBlock(std::size_t bytes) {
    return platform::allocateLargeBlock(bytes);
}

void ReleaseLargeBlock(void* block, std::size_t bytes) {
    platform::releaseLargeBlock(block, bytes);
}

platform::PixelSurface* CreatePixelSurface(int width, int height, std::uint8_t** pixels,
                                           std::string& error) {
    return platform::createPixelSurface(width, height, pixels, error);
}

void DestroyPixelSurface(platform::PixelSurface* surface) {
    platform::destroyPixelSurface(surface);
}

void* PixelSurfaceDC(platform::PixelSurface* surface) {
    return platform::pixelSurfaceDC(surface);
}

int DeviceBitsPerPixel(void* deviceContext) {
    return platform::deviceBitsPerPixel(deviceContext);
}

bool Blit8Bit(void* deviceContext, int x, int y, int width, int height, const std::uint8_t* indices,
              const std::uint32_t* colours, int colourCount) {
    return platform::blit8Bit(deviceContext, x, y, width, height, indices, colours, colourCount);
}

void* CreateRegion(const TRect* rects, std::size_t count) {
    return platform::createRegion(rects, count);
}

bool RegionContains(void* region, int x, int y) {
    return platform::regionContains(region, x, y);
}

void DestroyRegion(void* region) {
    platform::destroyRegion(region);
}

} // namespace runtime
