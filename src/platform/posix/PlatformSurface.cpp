// Surfaces without a windowing system: plain memory, drawn by hand (rectangles, lines and a
// built-in 5 x 7 font scaled by whole pixels). No device context exists here.
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace platform {

// From this size on the pixels come straight from the system, so that they leave the process
// with the surface: the heap would keep a closed editor's back buffers resident.
constexpr std::size_t kSystemPixelsFrom = std::size_t(64) * 1024;

struct PixelSurface {
    std::uint8_t* pixels = nullptr; // zero when made
    std::size_t bytes = 0;
    bool fromSystem = false;
    std::unique_ptr<std::uint8_t[]> heap;
    int width = 0, height = 0;

    PixelSurface() = default;
    PixelSurface(const PixelSurface&) = delete;
    PixelSurface& operator=(const PixelSurface&) = delete;
    ~PixelSurface() {
        if (fromSystem) releaseLargeBlock(pixels, bytes);
    }
};

PixelSurface* createPixelSurface(int width, int height, std::uint8_t** pixels, std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "Invalid surface size";
        return nullptr;
    }
    try {
        auto surface = std::make_unique<PixelSurface>();
        surface->bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
        if (surface->bytes >= kSystemPixelsFrom)
            surface->pixels = static_cast<std::uint8_t*>(allocateLargeBlock(surface->bytes));
        surface->fromSystem = surface->pixels != nullptr;
        if (!surface->fromSystem) {
            surface->heap = std::make_unique<std::uint8_t[]>(surface->bytes);
            surface->pixels = surface->heap.get();
        }
        surface->width = width;
        surface->height = height;
        *pixels = surface->pixels;
        return surface.release();
    } catch (const std::bad_alloc&) {
        error = "Out of memory for a surface of " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels";
        return nullptr;
    }
}

void destroyPixelSurface(PixelSurface* surface) {
    std::unique_ptr<PixelSurface> gone(surface);
}

std::uint8_t* pixelSurfaceBits(PixelSurface* surface, int& width, int& height) {
    width = height = 0;
    if (surface == nullptr) return nullptr;
    width = surface->width;
    height = surface->height;
    return surface->pixels;
}

void* pixelSurfaceDC(PixelSurface*) {
    return nullptr;
}

int deviceBitsPerPixel(void*) {
    return 0;
}

bool blit8Bit(void*, int, int, int, int, const std::uint8_t*, const std::uint32_t*, int) {
    return false;
}

namespace {

// Printable ASCII from the space on: five columns each, bit 0 the top row.
constexpr std::uint8_t kGlyphs[95][5] = {
    {0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x5F, 0x00, 0x00}, {0x00, 0x07, 0x00, 0x07, 0x00},
    {0x14, 0x7F, 0x14, 0x7F, 0x14}, {0x24, 0x2A, 0x7F, 0x2A, 0x12}, {0x23, 0x13, 0x08, 0x64, 0x62},
    {0x36, 0x49, 0x55, 0x22, 0x50}, {0x00, 0x05, 0x03, 0x00, 0x00}, {0x00, 0x1C, 0x22, 0x41, 0x00},
    {0x00, 0x41, 0x22, 0x1C, 0x00}, {0x14, 0x08, 0x3E, 0x08, 0x14}, {0x08, 0x08, 0x3E, 0x08, 0x08},
    {0x00, 0x50, 0x30, 0x00, 0x00}, {0x08, 0x08, 0x08, 0x08, 0x08}, {0x00, 0x60, 0x60, 0x00, 0x00},
    {0x20, 0x10, 0x08, 0x04, 0x02}, {0x3E, 0x51, 0x49, 0x45, 0x3E}, {0x00, 0x42, 0x7F, 0x40, 0x00},
    {0x42, 0x61, 0x51, 0x49, 0x46}, {0x21, 0x41, 0x45, 0x4B, 0x31}, {0x18, 0x14, 0x12, 0x7F, 0x10},
    {0x27, 0x45, 0x45, 0x45, 0x39}, {0x3C, 0x4A, 0x49, 0x49, 0x30}, {0x01, 0x71, 0x09, 0x05, 0x03},
    {0x36, 0x49, 0x49, 0x49, 0x36}, {0x06, 0x49, 0x49, 0x29, 0x1E}, {0x00, 0x36, 0x36, 0x00, 0x00},
    {0x00, 0x56, 0x36, 0x00, 0x00}, {0x08, 0x14, 0x22, 0x41, 0x00}, {0x14, 0x14, 0x14, 0x14, 0x14},
    {0x00, 0x41, 0x22, 0x14, 0x08}, {0x02, 0x01, 0x51, 0x09, 0x06}, {0x32, 0x49, 0x79, 0x41, 0x3E},
    {0x7E, 0x11, 0x11, 0x11, 0x7E}, {0x7F, 0x49, 0x49, 0x49, 0x36}, {0x3E, 0x41, 0x41, 0x41, 0x22},
    {0x7F, 0x41, 0x41, 0x22, 0x1C}, {0x7F, 0x49, 0x49, 0x49, 0x41}, {0x7F, 0x09, 0x09, 0x09, 0x01},
    {0x3E, 0x41, 0x49, 0x49, 0x7A}, {0x7F, 0x08, 0x08, 0x08, 0x7F}, {0x00, 0x41, 0x7F, 0x41, 0x00},
    {0x20, 0x40, 0x41, 0x3F, 0x01}, {0x7F, 0x08, 0x14, 0x22, 0x41}, {0x7F, 0x40, 0x40, 0x40, 0x40},
    {0x7F, 0x02, 0x0C, 0x02, 0x7F}, {0x7F, 0x04, 0x08, 0x10, 0x7F}, {0x3E, 0x41, 0x41, 0x41, 0x3E},
    {0x7F, 0x09, 0x09, 0x09, 0x06}, {0x3E, 0x41, 0x51, 0x21, 0x5E}, {0x7F, 0x09, 0x19, 0x29, 0x46},
    {0x46, 0x49, 0x49, 0x49, 0x31}, {0x01, 0x01, 0x7F, 0x01, 0x01}, {0x3F, 0x40, 0x40, 0x40, 0x3F},
    {0x1F, 0x20, 0x40, 0x20, 0x1F}, {0x3F, 0x40, 0x38, 0x40, 0x3F}, {0x63, 0x14, 0x08, 0x14, 0x63},
    {0x07, 0x08, 0x70, 0x08, 0x07}, {0x61, 0x51, 0x49, 0x45, 0x43}, {0x00, 0x7F, 0x41, 0x41, 0x00},
    {0x02, 0x04, 0x08, 0x10, 0x20}, {0x00, 0x41, 0x41, 0x7F, 0x00}, {0x04, 0x02, 0x01, 0x02, 0x04},
    {0x40, 0x40, 0x40, 0x40, 0x40}, {0x00, 0x01, 0x02, 0x04, 0x00}, {0x20, 0x54, 0x54, 0x54, 0x78},
    {0x7F, 0x48, 0x44, 0x44, 0x38}, {0x38, 0x44, 0x44, 0x44, 0x20}, {0x38, 0x44, 0x44, 0x48, 0x7F},
    {0x38, 0x54, 0x54, 0x54, 0x18}, {0x08, 0x7E, 0x09, 0x01, 0x02}, {0x0C, 0x52, 0x52, 0x52, 0x3E},
    {0x7F, 0x08, 0x04, 0x04, 0x78}, {0x00, 0x44, 0x7D, 0x40, 0x00}, {0x20, 0x40, 0x44, 0x3D, 0x00},
    {0x7F, 0x10, 0x28, 0x44, 0x00}, {0x00, 0x41, 0x7F, 0x40, 0x00}, {0x7C, 0x04, 0x18, 0x04, 0x78},
    {0x7C, 0x08, 0x04, 0x04, 0x78}, {0x38, 0x44, 0x44, 0x44, 0x38}, {0x7C, 0x14, 0x14, 0x14, 0x08},
    {0x08, 0x14, 0x14, 0x18, 0x7C}, {0x7C, 0x08, 0x04, 0x04, 0x08}, {0x48, 0x54, 0x54, 0x54, 0x20},
    {0x04, 0x3F, 0x44, 0x40, 0x20}, {0x3C, 0x40, 0x40, 0x20, 0x7C}, {0x1C, 0x20, 0x40, 0x20, 0x1C},
    {0x3C, 0x40, 0x30, 0x40, 0x3C}, {0x44, 0x28, 0x10, 0x28, 0x44}, {0x0C, 0x50, 0x50, 0x50, 0x3C},
    {0x44, 0x64, 0x54, 0x4C, 0x44}, {0x00, 0x08, 0x36, 0x41, 0x00}, {0x00, 0x00, 0x7F, 0x00, 0x00},
    {0x00, 0x41, 0x36, 0x08, 0x00}, {0x08, 0x04, 0x08, 0x10, 0x08},
};

// Glyph cells are 6 x 8 units (one unit of spacing right and below), scaled to the font height.
int fontScale(const SurfaceFont& font) {
    const long long height = font.height == 0 ? 13 : std::llabs(font.height);
    return static_cast<int>(std::clamp<long long>(height / 8, 1, 64));
}

std::uint32_t toPixel(std::uint32_t colour) {
    return 0xFF000000u | SwapRedBlue(colour);
}

void putPixel(PixelSurface* s, long long x, long long y, std::uint32_t pixel) {
    if (x < 0 || y < 0 || x >= s->width || y >= s->height) return;
    const std::size_t at = (static_cast<std::size_t>(s->height - 1 - y) * s->width + x) * 4;
    for (int i = 0; i < 4; ++i)
        s->pixels[at + i] = static_cast<std::uint8_t>(pixel >> (8 * i));
}

void fill(PixelSurface* s, long long left, long long top, long long right, long long bottom,
          std::uint32_t pixel) {
    left = std::max(left, 0LL);
    top = std::max(top, 0LL);
    right = std::min<long long>(right, s->width);
    bottom = std::min<long long>(bottom, s->height);
    if (left >= right || top >= bottom) return;
    // The first row pixel by pixel, the others copies of it: a window's background is a fill.
    const auto rowAt = [s, left](long long y) {
        return s->pixels + (static_cast<std::size_t>(s->height - 1 - y) * s->width + left) * 4;
    };
    std::uint8_t* first = rowAt(top);
    for (long long x = left; x < right; ++x)
        putPixel(s, x, top, pixel);
    const auto bytes = static_cast<std::size_t>(right - left) * 4;
    for (long long y = top + 1; y < bottom; ++y)
        std::memcpy(rowAt(y), first, bytes);
}

} // namespace

void surfaceFillRect(PixelSurface* surface, int left, int top, int right, int bottom,
                     std::uint32_t colour) {
    if (surface != nullptr) fill(surface, left, top, right, bottom, toPixel(colour));
}

void surfaceLine(PixelSurface* surface, int x0, int y0, int x1, int y1, std::uint32_t colour) {
    if (surface == nullptr) return;
    // Clip to one pixel beyond each edge first, so far-off ends cost no steps.
    double ax = x0, ay = y0, bx = x1, by = y1;
    double t0 = 0, t1 = 1;
    const double dx = bx - ax, dy = by - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax + 1, surface->width - ax, ay + 1, surface->height - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
    }
    if (t0 > t1) return;
    long long x = t0 > 0 ? std::llround(ax + t0 * dx) : x0;
    long long y = t0 > 0 ? std::llround(ay + t0 * dy) : y0;
    const long long ex = t1 < 1 ? std::llround(ax + t1 * dx) : x1;
    const long long ey = t1 < 1 ? std::llround(ay + t1 * dy) : y1;
    const long long sx = ex > x ? 1 : -1, sy = ey > y ? 1 : -1;
    const long long adx = std::llabs(ex - x), ady = std::llabs(ey - y);
    const std::uint32_t pixel = toPixel(colour);
    long long err = adx - ady;
    while (x != ex || y != ey) {
        putPixel(surface, x, y, pixel);
        const long long twice = 2 * err;
        if (twice > -ady) {
            err -= ady;
            x += sx;
        }
        if (twice < adx) {
            err += adx;
            y += sy;
        }
    }
}

void surfaceText(PixelSurface* surface, int x, int y, const std::string& text,
                 const SurfaceFont& font) {
    if (surface == nullptr) return;
    const int scale = fontScale(font);
    const std::uint32_t pixel = toPixel(font.colour);
    long long left = x;
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        const std::uint8_t* glyph = kGlyphs[code >= 32 && code < 127 ? code - 32 : '?' - 32];
        for (int column = 0; column < 5; ++column)
            for (int row = 0; row < 7; ++row)
                if ((glyph[column] >> row & 1) != 0)
                    fill(surface, left + column * scale, static_cast<long long>(y) + row * scale,
                         left + (column + 1) * scale, static_cast<long long>(y) + (row + 1) * scale,
                         pixel);
        left += 6LL * scale;
        if (left >= surface->width) break;
    }
}

void surfaceTextExtent(PixelSurface*, const std::string& text, const SurfaceFont& font, int& width,
                       int& height) {
    const int scale = fontScale(font);
    const long long wide = static_cast<long long>(text.size()) * 6 * scale;
    width = static_cast<int>(std::min<long long>(wide, 0x7FFFFFFF));
    height = 8 * scale;
}

} // namespace platform
