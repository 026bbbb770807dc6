#include "Raster.h"

#include "editor/art/ArtScale.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace artwork {

namespace {

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

float smoothstep(float e0, float e1, float x) {
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

float length(float x, float y) {
    return std::sqrt(x * x + y * y);
}

} // namespace

Colour Hex(std::uint32_t rgb, float alpha) {
    return {float((rgb >> 16) & 0xFF) / 255.0f, float((rgb >> 8) & 0xFF) / 255.0f,
            float(rgb & 0xFF) / 255.0f, alpha};
}

Colour Mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

Colour Fade(Colour c, float factor) {
    c.a *= factor;
    return c;
}

Shape Circle(float cx, float cy, float r) {
    return [=](float x, float y) { return length(x - cx, y - cy) - r; };
}

Shape Ellipse(float cx, float cy, float rx, float ry) {
    // Close to the true distance near the outline, which is all the coverage needs.
    return [=](float x, float y) {
        const float px = (x - cx) / rx, py = (y - cy) / ry;
        const float k0 = length(px, py);
        const float k1 = length(px / rx, py / ry);
        if (k1 == 0.0f) return -std::min(rx, ry);
        return k0 * (k0 - 1.0f) / k1;
    };
}

Shape TurnedEllipse(float cx, float cy, float rx, float ry, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    const Shape e = Ellipse(0, 0, rx, ry);
    return [=](float x, float y) {
        const float dx = x - cx, dy = y - cy;
        return e(dx * c + dy * s, -dx * s + dy * c);
    };
}

Shape RoundRect(float x0, float y0, float x1, float y1, float radius) {
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const float r = std::min({radius, (x1 - x0) / 2, (y1 - y0) / 2});
    const float bx = (x1 - x0) / 2 - r, by = (y1 - y0) / 2 - r;
    return [=](float x, float y) {
        const float qx = std::abs(x - cx) - bx, qy = std::abs(y - cy) - by;
        return length(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) -
               r;
    };
}

Shape Capsule(float ax, float ay, float bx, float by, float r) {
    const float ex = bx - ax, ey = by - ay;
    const float ee = ex * ex + ey * ey;
    return [=](float x, float y) {
        const float px = x - ax, py = y - ay;
        const float h = ee > 0 ? clamp01((px * ex + py * ey) / ee) : 0.0f;
        return length(px - ex * h, py - ey * h) - r;
    };
}

Shape Polygon(std::vector<float> xy) {
    return [v = std::move(xy)](float x, float y) {
        const std::size_t n = v.size() / 2;
        float d = (x - v[0]) * (x - v[0]) + (y - v[1]) * (y - v[1]);
        float sign = 1.0f;
        for (std::size_t i = 0, j = n - 1; i < n; j = i, ++i) {
            const float vix = v[2 * i], viy = v[2 * i + 1], vjx = v[2 * j], vjy = v[2 * j + 1];
            const float ex = vjx - vix, ey = vjy - viy, wx = x - vix, wy = y - viy;
            const float h = clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
            const float bx = wx - ex * h, by = wy - ey * h;
            d = std::min(d, bx * bx + by * by);
            const bool c1 = y >= viy, c2 = y<vjy, c3 = ex * wy> ey * wx;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) sign = -sign;
        }
        return sign * std::sqrt(d);
    };
}

Shape Unite(Shape a, Shape b) {
    return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Shape SmoothUnite(Shape a, Shape b, float k) {
    return [=](float x, float y) {
        const float da = a(x, y), db = b(x, y);
        const float h = clamp01(0.5f + 0.5f * (db - da) / k);
        return db + (da - db) * h - k * h * (1 - h);
    };
}

Shape Intersect(Shape a, Shape b) {
    return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

Shape Subtract(Shape a, Shape b) {
    return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Shape Move(Shape s, float dx, float dy) {
    return [=](float x, float y) { return s(x - dx, y - dy); };
}

Shape Place(Shape s, float ox, float oy, float sx, float sy) {
    const float k = std::min(sx, sy);
    return [=](float x, float y) { return s((x - ox) / sx, (y - oy) / sy) * k; };
}

Shape Grow(Shape s, float r) {
    return [=](float x, float y) { return s(x, y) - r; };
}

Paint Solid(Colour c) {
    return [=](float, float) { return c; };
}

Paint Linear(float x0, float y0, Colour c0, float x1, float y1, Colour c1) {
    const float ex = x1 - x0, ey = y1 - y0, ee = ex * ex + ey * ey;
    return [=](float x, float y) {
        return Mix(c0, c1, clamp01(((x - x0) * ex + (y - y0) * ey) / ee));
    };
}

Paint Radial(float cx, float cy, float r, Colour inner, Colour outer) {
    return [=](float x, float y) { return Mix(inner, outer, clamp01(length(x - cx, y - cy) / r)); };
}

Paint Lit(Shape s, Colour base, float bevel, float strength, bool sunken) {
    // One light for everything: from the top left, a little in front of the picture.
    const float lx = -0.5f, ly = -0.62f, lz = 0.6f;
    const float ll = std::sqrt(lx * lx + ly * ly + lz * lz);
    const Colour light = Mix(base, Hex(0xFFFFFF, base.a), 0.85f);
    const Colour dark = {base.r * 0.42f, base.g * 0.38f, base.b * 0.40f, base.a};
    return [=](float x, float y) {
        const float depth = -s(x, y);
        const float h = smoothstep(0.0f, bevel, depth);
        if (h >= 1.0f) return base;
        const float e = 0.5f;
        float gx = s(x + e, y) - s(x - e, y), gy = s(x, y + e) - s(x, y - e);
        const float g = length(gx, gy);
        if (g > 0) gx /= g, gy /= g;
        if (sunken) gx = -gx, gy = -gy;
        float nx = gx * (1 - h), ny = gy * (1 - h), nz = h;
        const float n = std::sqrt(nx * nx + ny * ny + nz * nz);
        nx /= n, ny /= n, nz /= n;
        const float shade = ((nx * lx + ny * ly + nz * lz) - lz) / ll;
        return shade > 0 ? Mix(base, light, clamp01(shade * strength * 1.6f))
                         : Mix(base, dark, clamp01(-shade * strength));
    };
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(std::size_t(width) * height, Colour{0, 0, 0, 0}) {}

Canvas Canvas::AtScale(int designWidth, int designHeight, int percent) {
    Canvas c(editorart::scaled(designWidth, percent), editorart::scaled(designHeight, percent));
    c.percent_ = percent;
    c.scale_ = float(percent) / 100.0f;
    return c;
}

int Canvas::ToCanvas(int designPixels) const {
    return editorart::scaled(designPixels, percent_);
}

void Canvas::Fill(const Shape& shape, const Paint& paint, float soft, float opacity) {
    fillPixels(shape, paint, Box{0, 0, width_, height_}, soft, opacity);
}

void Canvas::Fill(const Shape& shape, const Paint& paint, Box box, float soft, float opacity) {
    fillPixels(shape, paint,
               Box{ToCanvas(box.x0), ToCanvas(box.y0), ToCanvas(box.x1), ToCanvas(box.y1)}, soft,
               opacity);
}

void Canvas::fillPixels(const Shape& shape, const Paint& paint, Box pixels, float soft,
                        float opacity) {
    const int x0 = std::max(pixels.x0, 0), y0 = std::max(pixels.y0, 0);
    const int x1 = std::min(pixels.x1, width_), y1 = std::min(pixels.y1, height_);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            // The pixel centre in design pixels; its distance back in canvas pixels, so the
            // anti-aliased edge is one canvas pixel wide at every density.
            const float px = (float(x) + 0.5f) / scale_, py = (float(y) + 0.5f) / scale_;
            const float d = shape(px, py);
            float cover =
                soft <= 1.0f ? clamp01(0.5f - d * scale_) : smoothstep(0.5f, -0.5f, d / soft);
            if (cover <= 0.0f) continue;
            const Colour c = paint(px, py);
            const float a = clamp01(c.a * cover * opacity);
            Colour& p = pixels_[std::size_t(y) * width_ + x];
            p.r = c.r * a + p.r * (1 - a);
            p.g = c.g * a + p.g * (1 - a);
            p.b = c.b * a + p.b * (1 - a);
            p.a = a + p.a * (1 - a);
        }
    }
}

void Canvas::Blend(const std::uint8_t* mask, int maskWidth, int maskHeight, int maskPitch, int x,
                   int y, Colour colour) {
    for (int j = 0; j < maskHeight; ++j) {
        const int ty = y + j;
        if (ty < 0 || ty >= height_) continue;
        for (int i = 0; i < maskWidth; ++i) {
            const int tx = x + i;
            if (tx < 0 || tx >= width_) continue;
            const float a = colour.a * float(mask[j * maskPitch + i]) / 255.0f;
            if (a <= 0) continue;
            Colour& p = pixels_[std::size_t(ty) * width_ + tx];
            p.r = colour.r * a + p.r * (1 - a);
            p.g = colour.g * a + p.g * (1 - a);
            p.b = colour.b * a + p.b * (1 - a);
            p.a = a + p.a * (1 - a);
        }
    }
}

void Canvas::Draw(const Canvas& source, int x, int y) {
    for (int j = 0; j < source.height_; ++j) {
        const int ty = y + j;
        if (ty < 0 || ty >= height_) continue;
        for (int i = 0; i < source.width_; ++i) {
            const int tx = x + i;
            if (tx < 0 || tx >= width_) continue;
            const Colour& s = source.pixels_[std::size_t(j) * source.width_ + i];
            Colour& p = pixels_[std::size_t(ty) * width_ + tx];
            p.r = s.r + p.r * (1 - s.a);
            p.g = s.g + p.g * (1 - s.a);
            p.b = s.b + p.b * (1 - s.a);
            p.a = s.a + p.a * (1 - s.a);
        }
    }
}

void Canvas::Copy(const Canvas& source, Box from, int x, int y) {
    for (int j = from.y0; j < from.y1; ++j) {
        const int ty = y + j - from.y0;
        if (j < 0 || j >= source.height_ || ty < 0 || ty >= height_) continue;
        for (int i = from.x0; i < from.x1; ++i) {
            const int tx = x + i - from.x0;
            if (i < 0 || i >= source.width_ || tx < 0 || tx >= width_) continue;
            pixels_[std::size_t(ty) * width_ + tx] =
                source.pixels_[std::size_t(j) * source.width_ + i];
        }
    }
}

Colour Canvas::At(int x, int y) const {
    const Colour& p = pixels_[std::size_t(y) * width_ + x];
    if (p.a <= 0) return {0, 0, 0, 0};
    return {p.r / p.a, p.g / p.a, p.b / p.a, p.a};
}

std::vector<std::uint8_t> Canvas::Record() const {
    std::vector<std::uint8_t> record(4 + std::size_t(width_) * height_ * 4);
    record[0] = std::uint8_t(width_);
    record[1] = std::uint8_t(width_ >> 8);
    record[2] = std::uint8_t(height_);
    record[3] = std::uint8_t(height_ >> 8);
    const auto byte = [](float v) { return std::uint8_t(std::lround(clamp01(v) * 255.0f)); };
    std::uint8_t* out = record.data() + 4;
    for (int y = height_ - 1; y >= 0; --y) {
        for (int x = 0; x < width_; ++x, out += 4) {
            const Colour& p = pixels_[std::size_t(y) * width_ + x];
            const std::uint8_t a = byte(p.a);
            if (a == 0) continue; // the record starts zeroed
            out[0] = byte(p.b / p.a);
            out[1] = byte(p.g / p.a);
            out[2] = byte(p.r / p.a);
            out[3] = a;
        }
    }
    return record;
}

} // namespace artwork
