// Drawing one surface onto another, plain or through a scaled or rotated temporary, and the
// operations that change a surface's own pixels.
#include "toolkit/cDIBKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>

namespace toolkit {

using namespace dib;

namespace {

// The rectangle (x, y, width, height) of `source` at (srcX, srcY), cut to what lies inside the
// destination's clip rectangle, the source and the destination; nothing when no pixel is left.
// 64-bit throughout: positions and sizes near the int limits must not wrap.
std::optional<TDrawSpan> clipDraw(int x, int y, int width, int height, int srcX, int srcY,
                                  const TAbstractSuperDIB& source, const TAbstractSuperDIB& dest) {
    std::int64_t dx = x, dy = y, sx = srcX, sy = srcY, w = width, h = height;
    // A source rectangle starting left of or above the source starts at its edge instead.
    if (sx < 0) {
        dx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        h += sy;
        sy = 0;
    }
    // 1. The destination's clip rectangle (inclusive edges).
    const TRect c = dest.ClipRect();
    if (dx < c.Left) {
        sx += c.Left - dx;
        w -= c.Left - dx;
        dx = c.Left;
    }
    if (dy < c.Top) {
        sy += c.Top - dy;
        h -= c.Top - dy;
        dy = c.Top;
    }
    if (dx + w - 1 > c.Right) w = c.Right - dx + 1;
    if (dy + h - 1 > c.Bottom) h = c.Bottom - dy + 1;
    // 2. The source.
    w = std::min<std::int64_t>(w, source.Width() - sx);
    h = std::min<std::int64_t>(h, source.Height() - sy);
    if (w < 1 || h < 1) return std::nullopt;
    // 3. The destination buffer.
    if (dx >= dest.Width() || dy >= dest.Height() || dx < 0 || dy < 0) return std::nullopt;
    w = std::min<std::int64_t>(w, dest.Width() - dx);
    h = std::min<std::int64_t>(h, dest.Height() - dy);
    if (w < 1 || h < 1) return std::nullopt;
    return TDrawSpan{dx, dy, sx, sy, w, h};
}

} // namespace

void TAbstractSuperDIB::drawWith(TDrawRoutine routine, TRoutineOwner owner, int x, int y, int width,
                                 int height, TAbstractSuperDIB& dest, int srcX, int srcY) {
    if (pixels_ == nullptr || dest.pixels_ == nullptr) return;
    if (const auto span = clipDraw(x, y, width, height, srcX, srcY, *this, dest))
        drawRows(routine, owner, *span, dest);
}

void TAbstractSuperDIB::drawRows(TDrawRoutine routine, TRoutineOwner owner, const TDrawSpan& span,
                                 TAbstractSuperDIB& dest) const {
    dest.ensureWritable(); // before reading: a borrower's source rows may move with it
    for (std::int64_t j = 0; j < span.Height; ++j) {
        const std::uint8_t* s = RowPointer(static_cast<int>(span.SrcY + j)) + span.SrcX * 4;
        std::uint8_t* d = dest.RowPointer(static_cast<int>(span.DestY + j)) + span.DestX * 4;
        runRow(routine, owner, s, d, static_cast<int>(span.Width));
    }
    dest.Changed();
}

void TAbstractSuperDIB::Draw(int x, int y, int width, int height, TAbstractSuperDIB& dest, int srcX,
                             int srcY) {
    if (hasTransform())
        drawTransformed(x, y, width, height, dest);
    else
        drawWith(routine_, routineOwner_, x, y, width, height, dest, srcX, srcY);
}

void TAbstractSuperDIB::DrawRaw(int x, int y, int width, int height, TAbstractSuperDIB& dest,
                                int srcX, int srcY) {
    drawWith(TDrawRoutine::Copy, routineOwner_, x, y, width, height, dest, srcX, srcY);
}

void TAbstractSuperDIB::DrawAlphaChannel(int x, int y, int width, int height,
                                         TAbstractSuperDIB& dest, int srcX, int srcY) {
    drawWith(TDrawRoutine::AlphaChannel, routineOwner_, x, y, width, height, dest, srcX, srcY);
}

void TAbstractSuperDIB::DrawMaskImage(int x, int y, int width, int height, TAbstractSuperDIB& dest,
                                      int srcX, int srcY) {
    drawWith(TDrawRoutine::MaskImage, routineOwner_, x, y, width, height, dest, srcX, srcY);
}

TDIBSize BoundingSize(int width, int height, long double scaleX, long double scaleY,
                      long double angle) {
    // Product first: ScaleX / 100 is inexact in binary and would tip ceil over a whole number.
    const long double w1 = std::fabs(width * scaleX / 100), h1 = std::fabs(height * scaleY / 100);
    // |cos a| and |sin a| for a = -angle, exact at the quarter and half turns, where a rounded
    // pi would leave a tiny non-zero that ceil turns into a whole pixel.
    long double ca = 1, sa = 0;
    if (angle == 90 || angle == 270) {
        ca = 0;
        sa = 1;
    } else if (angle != 0 && angle != 180) {
        const long double a = -angle * std::numbers::pi_v<long double> / 180;
        ca = std::fabs(std::cos(a));
        sa = std::fabs(std::sin(a));
    }
    // A zero factor stays zero even against an infinite scale.
    const auto term = [](long double v, long double f) { return f == 0 ? 0.0L : v * f; };
    const auto even = [](long double v) {
        return static_cast<int>(clampToInt64(std::floor(std::ceil(v) / 2) * 2, kMaxSide));
    };
    return {std::max(even(term(w1, ca) + term(h1, sa)), 0),
            std::max(even(term(w1, sa) + term(h1, ca)), 0)};
}

void TAbstractSuperDIB::drawTransformed(int x, int y, int width, int height,
                                        TAbstractSuperDIB& dest) {
    // A zero width or height still draws: the temporary's SetSize makes it 1.
    if (pixels_ == nullptr || dest.pixels_ == nullptr || width < 0 || height < 0) return;
    int w = std::min(width, kMaxSide), h = std::min(height, kMaxSide);
    if (autoSize_ && angle_ != 0) {
        const TDIBSize box = BoundingSize(width, height, scaleX_, scaleY_, angle_);
        w = box.Width;
        h = box.Height;
    } else if (autoSize_) {
        w = static_cast<int>(clampToInt64(std::ceil(width * scaleX_ / 100), kMaxSide));
        h = static_cast<int>(clampToInt64(std::ceil(height * scaleY_ / 100), kMaxSide));
    }
    TWinDIB temp(w, h);
    temp.masked_ = masked_;
    temp.opacity_ = opacity_;
    temp.transparent_ = transparent_;
    temp.transparentMode_ = tmFixed;
    temp.transparentColor_ = platform::SwapRedBlue(TransparentColor());
    if (angle_ != 0)
        RenderRotated(temp);
    else
        temp.StretchFrom(*this);
    temp.drawWith(routine_, routineOwner_, x, y, temp.width_, temp.height_, dest, 0, 0);
}

void TAbstractSuperDIB::StretchFrom(const TAbstractSuperDIB& source) {
    if (pixels_ == nullptr || source.pixels_ == nullptr) return;
    ensureWritable();
    const std::uint64_t sx = (std::uint64_t(source.width_) << 16) / width_;
    const std::uint64_t sy = (std::uint64_t(source.height_) << 16) / height_;
    std::vector<std::uint32_t> column(width_);
    for (std::uint32_t k = 0; k < width_; ++k)
        column[k] = static_cast<std::uint32_t>((k * sx) >> 16);
    for (std::uint32_t j = 0; j < height_; ++j) {
        const std::uint32_t srcRow = static_cast<std::uint32_t>((j * sy) >> 16);
        const std::uint8_t* s = source.pixels_ + std::size_t(srcRow) * source.width_ * 4;
        std::uint8_t* d = pixels_ + std::size_t(j) * width_ * 4;
        for (std::uint32_t k = 0; k < width_; ++k)
            std::memcpy(d + k * 4, s + column[k] * 4, 4);
    }
    Changed();
}

void TAbstractSuperDIB::RenderRotated(TAbstractSuperDIB& target) {
    if (pixels_ == nullptr || target.pixels_ == nullptr) return;
    const long double ex = scaleX_ / 100, ey = scaleY_ / 100;
    if (ex * width_ == 0 || ey * height_ == 0 || std::isnan(ex) || std::isnan(ey)) return;
    target.ensureWritable();
    const TTrigTables& t = TrigTables();
    const auto i =
        static_cast<std::size_t>(std::clamp<long double>(std::trunc(angle_ * 1000), 0, 359999));
    // Steps beyond 2^40 only point outside the source; the clamp keeps the sums in 64 bits.
    constexpr std::int64_t limit = std::int64_t(1) << 40;
    auto step = [](long double v) { return clampToInt64(std::nearbyint(v), limit); };
    const std::int64_t a = step(t.Sine[i] / ey), b = step(t.SinePlus90[i] / ey);
    const std::int64_t c = step(t.Cosine[i] / ex), d = step(t.CosinePlus90[i] / ex);
    const int tw = target.width_, th = target.height_, sw = width_, sh = height_;
    const int cx = tw / 2, cy = th / 2, hw = sw / 2, hh = sh / 2;
    const std::uint8_t fill[4] = {std::uint8_t(masked_ ? 0 : transparentColor_),
                                  std::uint8_t(masked_ ? 0 : transparentColor_ >> 8),
                                  std::uint8_t(masked_ ? 0 : transparentColor_ >> 16), 0};
    for (int y = 0; y < th; ++y) {
        std::int64_t U = std::int64_t(-cx) * a + std::int64_t(y - cy) * b;
        std::int64_t V = std::int64_t(-cx) * c + std::int64_t(y - cy) * d;
        std::uint8_t* out = target.pixels_ + std::size_t(y) * tw * 4;
        for (int x = 0; x < tw; ++x, U += a, V += c, out += 4) {
            const std::int64_t u = U >> 16, v = V >> 16;
            if (-hh < u && u < hh && -hw < v && v < hw)
                std::memcpy(out, pixels_ + (std::size_t(u + hh) * sw + std::size_t(v + hw)) * 4, 4);
            else
                std::memcpy(out, fill, 4);
        }
    }
    target.Changed();
}

void TAbstractSuperDIB::DrawGlyph(int x, int y, TAbstractSuperDIB& dest, int frames, int index) {
    if (pixels_ == nullptr || frames <= 0 || index < 0 || index >= frames) return;
    const int w = width_ / frames;
    if (w == 0) return;
    if (!hasTransform()) {
        // Same pixels as copying the frame out and drawing the copy, without the copy.
        drawWith(routine_, routineOwner_, x, y, w, height_, dest, index * w, 0);
        return;
    }
    TMemoryDIB frame(w, height_);
    DrawRaw(0, 0, w, height_, frame, index * w, 0);
    CopyPropertiesTo(&frame);
    frame.Draw(x, y, w, height_, dest);
}

void TAbstractSuperDIB::DrawGlyphTween(int x, int y, bool wrap, double position, double maximum,
                                       double minimum, TAbstractSuperDIB& dest, int frames) {
    if (pixels_ == nullptr || frames <= 0) return;
    const int w = width_ / frames;
    if (w == 0) return;
    double f = (position - minimum) / (maximum - minimum) * frames;
    if (!std::isfinite(f)) f = 0; // an empty range has no frame between others
    f = std::clamp(f, -1e9, 1e9);
    auto fix = [&](std::int64_t k) -> int {
        if (k >= frames) return wrap ? 0 : frames - 1;
        if (k < 0) return wrap ? frames - 1 : 0;
        return static_cast<int>(k);
    };
    const int upper = fix(static_cast<std::int64_t>(std::ceil(f)));
    const int lower = fix(static_cast<std::int64_t>(std::floor(f)));
    const auto fade = static_cast<std::uint8_t>(
        255 - static_cast<std::int64_t>(std::nearbyint((f - std::trunc(f)) * 255)));
    TMemoryDIB a(w, height_);
    DrawRaw(0, 0, w, height_, a, upper * w, 0);
    CopyPropertiesTo(&a);
    a.SetOpacity(255);
    a.Changed();
    TMemoryDIB b(w, height_);
    DrawRaw(0, 0, w, height_, b, lower * w, 0);
    b.SetAngle(0);
    b.SetScale(100);
    b.SetOpacity(fade);
    b.Changed();
    b.Draw(0, 0, w, height_, a);
    a.SetOpacity(opacity_);
    a.Changed();
    a.Draw(x, y, w, height_, dest);
}

void TAbstractSuperDIB::Fill(TColor colour) {
    FillRect(colour, 0, 0, width_, height_);
}

void TAbstractSuperDIB::FillRect(TColor colour, int left, int top, int width, int height) {
    if (pixels_ == nullptr || width <= 0 || height <= 0) return;
    const std::int64_t l = std::max<std::int64_t>(left, 0), t = std::max<std::int64_t>(top, 0);
    const std::int64_t r = std::min<std::int64_t>(std::int64_t(left) + width, width_);
    const std::int64_t b = std::min<std::int64_t>(std::int64_t(top) + height, height_);
    if (l >= r || t >= b) return;
    const std::uint32_t pixel = platform::SwapRedBlue(colour) & 0x00FFFFFF; // alpha 0
    // One row pixel by pixel, the others copies of it.
    std::uint8_t* first = RowPointer(static_cast<int>(t)) + l * 4;
    const auto bytes = static_cast<std::size_t>(r - l) * 4;
    for (std::size_t x = 0; x < bytes; x += 4)
        store(first + x, pixel);
    for (std::int64_t y = t + 1; y < b; ++y)
        std::memcpy(RowPointer(static_cast<int>(y)) + l * 4, first, bytes);
    Changed();
}

void TAbstractSuperDIB::SetAlpha(std::uint8_t value) {
    ensureWritable();
    if (pixels_ != nullptr)
        for (std::size_t i = 3, n = byteCount(); i < n; i += 4)
            pixels_[i] = value;
    Changed();
}

void TAbstractSuperDIB::ApplyFilter(const TDIBFilter& filter) {
    if (pixels_ == nullptr || width_ < 3 || height_ < 3) return;
    std::int16_t weightSum = 0;
    for (std::int16_t wt : filter.Weights)
        weightSum = static_cast<std::int16_t>(weightSum + wt);
    const auto divisor =
        static_cast<std::int16_t>(filter.Divisor <= 0 ? weightSum : filter.Divisor);
    const std::int16_t bias[3] = {filter.BlueBias, filter.GreenBias, filter.RedBias};
    TWinDIB result(width_, height_);
    std::memset(result.pixels_, 0, result.byteCount());
    for (int y = 1; y + 1 < height_; ++y) {
        std::uint8_t* out = result.RowPointer(y);
        for (int x = 1; x + 1 < width_; ++x) {
            for (int ch = 0; ch < 3; ++ch) {
                std::int16_t sum = 0;
                for (int wy = 0; wy < 3; ++wy) {
                    const std::uint8_t* row = RowPointer(y - 1 + wy);
                    for (int wx = 0; wx < 3; ++wx)
                        sum = static_cast<std::int16_t>(sum + filter.Weights[wy * 3 + wx] *
                                                                  row[(x - 1 + wx) * 4 + ch]);
                }
                sum = static_cast<std::int16_t>(sum + bias[ch]);
                if (divisor != 0) sum = static_cast<std::int16_t>(sum / divisor);
                out[x * 4 + ch] = static_cast<std::uint8_t>(std::clamp<int>(sum, 0, 255));
            }
            out[x * 4 + 3] = RowPointer(y)[x * 4 + 3];
        }
    }
    result.SetOpacity(filter.Opacity);
    result.Changed();
    result.Draw(0, 0, width_, height_, *this);
}

} // namespace toolkit
