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

} // namespace runtime
