// Surfaces as DIB sections selected into their own memory device contexts, so that the
// framework's canvas can draw on them and a paint can copy them to a window in one blit.
#include "platform/Platform.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace platform {

namespace {

std::string windowsError(DWORD code) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = "Windows error (" + std::to_string(code) + ") ";
    if (text != nullptr) {
        message += text;
        LocalFree(text);
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

} // namespace

struct PixelSurface {
    std::uint32_t* bits = nullptr;
    int width = 0, height = 0;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};

PixelSurface* createPixelSurface(int width, int height, std::uint8_t** pixels, std::string& error) {
    auto surface = std::make_unique<PixelSurface>();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // positive: bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    surface->dc = CreateCompatibleDC(nullptr);
    if (surface->dc != nullptr)
        surface->bitmap = CreateDIBSection(surface->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (surface->dc == nullptr || surface->bitmap == nullptr || bits == nullptr) {
        error = windowsError(GetLastError());
        destroyPixelSurface(surface.release());
        return nullptr;
    }
    surface->previous = SelectObject(surface->dc, surface->bitmap);
    surface->bits = static_cast<std::uint32_t*>(bits);
    surface->width = width;
    surface->height = height;
    *pixels = static_cast<std::uint8_t*>(bits);
    return surface.release();
}

void destroyPixelSurface(PixelSurface* surface) {
    std::unique_ptr<PixelSurface> gone(surface);
    if (!gone) return;
    if (gone->dc != nullptr && gone->previous != nullptr) SelectObject(gone->dc, gone->previous);
    if (gone->bitmap != nullptr) DeleteObject(gone->bitmap);
    if (gone->dc != nullptr) DeleteDC(gone->dc);
}

std::uint8_t* pixelSurfaceBits(PixelSurface* surface, int& width, int& height) {
    width = height = 0;
    if (surface == nullptr) return nullptr;
    width = surface->width;
    height = surface->height;
    return reinterpret_cast<std::uint8_t*>(surface->bits);
}

void* pixelSurfaceDC(PixelSurface* surface) {
    return surface != nullptr ? surface->dc : nullptr;
}

int deviceBitsPerPixel(void* deviceContext) {
    if (deviceContext == nullptr) return 0;
    return GetDeviceCaps(static_cast<HDC>(deviceContext), BITSPIXEL) *
           GetDeviceCaps(static_cast<HDC>(deviceContext), PLANES);
}

bool blit8Bit(void* deviceContext, int x, int y, int width, int height, const std::uint8_t* indices,
              const std::uint32_t* colours, int colourCount) {
    if (deviceContext == nullptr || width <= 0 || height <= 0) return false;
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD table[256];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height; // top row first, as the indices come
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = static_cast<DWORD>(colourCount);
    for (int i = 0; i < colourCount && i < 256; ++i)
        info.table[i] = {static_cast<BYTE>(colours[i] >> 16), static_cast<BYTE>(colours[i] >> 8),
                         static_cast<BYTE>(colours[i]), 0};
    // Rows of an 8-bit DIB are padded to 4 bytes.
    const int stride = (width + 3) & ~3;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * height);
    for (int j = 0; j < height; ++j)
        std::copy_n(indices + static_cast<std::size_t>(j) * width, width,
                    rows.begin() + static_cast<std::ptrdiff_t>(j) * stride);
    return SetDIBitsToDevice(static_cast<HDC>(deviceContext), x, y, width, height, 0, 0, 0, height,
                             rows.data(), reinterpret_cast<BITMAPINFO*>(&info),
                             DIB_RGB_COLORS) != 0;
}

namespace {

// GDI leaves the alpha byte of what it draws undefined. Each drawing runs twice, clipped to
// its box, over black and then over white: a pixel that differs from the background in either
// pass was drawn and becomes opaque; the rest get their old value back. Drawing is aliased, so
// the drawn colour does not depend on the background.
template <class Draw>
void drawOpaque(PixelSurface* s, long long left, long long top, long long right, long long bottom,
                Draw draw) {
    if (s == nullptr) return;
    left = std::max(left, 0LL);
    top = std::max(top, 0LL);
    right = std::min<long long>(right, s->width);
    bottom = std::min<long long>(bottom, s->height);
    if (left >= right || top >= bottom) return;
    const int w = static_cast<int>(right - left), h = static_cast<int>(bottom - top);
    auto at = [&](int x, int y) -> std::uint32_t& {
        return s->bits[static_cast<std::size_t>(s->height - 1 - (top + y)) * s->width + left + x];
    };
    std::vector<std::uint32_t> saved(static_cast<std::size_t>(w) * h), first(saved.size());
    GdiFlush();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            saved[static_cast<std::size_t>(y) * w + x] = at(x, y);
    HRGN clip = CreateRectRgn(static_cast<int>(left), static_cast<int>(top),
                              static_cast<int>(right), static_cast<int>(bottom));
    SelectClipRgn(s->dc, clip);
    for (int pass = 0; pass < 2; ++pass) {
        const std::uint32_t background = pass == 0 ? 0u : 0xFFFFFFu;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                at(x, y) = background;
        draw(s->dc);
        GdiFlush();
        if (pass == 0)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    first[static_cast<std::size_t>(y) * w + x] = at(x, y) & 0xFFFFFFu;
    }
    SelectClipRgn(s->dc, nullptr);
    if (clip != nullptr) DeleteObject(clip);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const std::uint32_t second = at(x, y) & 0xFFFFFFu;
            if (first[i] != 0)
                at(x, y) = first[i] | 0xFF000000u;
            else if (second != 0xFFFFFFu)
                at(x, y) = second | 0xFF000000u;
            else
                at(x, y) = saved[i];
        }
}

// Coordinates far outside the surface are clamped first: GDI works in 27-bit logical units.
int clampCoord(int v) {
    return std::clamp(v, -0x100000, 0x100000);
}

HFONT makeFont(const SurfaceFont& font) {
    const int height =
        font.height == 0 ? 13 : std::min(std::abs(std::max(font.height, -0xFFFF)), 0xFFFF);
    return CreateFontA(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                       DEFAULT_PITCH, font.name.empty() ? "Arial" : font.name.c_str());
}

// Text extent in a device context (the surface's, or a screen-compatible one).
SIZE textExtent(HDC dc, const std::string& text, HFONT font) {
    SIZE size{0, 0};
    HGDIOBJ previous = SelectObject(dc, font);
    if (!GetTextExtentPoint32A(dc, text.c_str(),
                               static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF)),
                               &size)) {
        size = {0, 0};
    }
    SelectObject(dc, previous);
    return size;
}

} // namespace

void surfaceFillRect(PixelSurface* surface, int left, int top, int right, int bottom,
                     std::uint32_t colour) {
    drawOpaque(surface, left, top, right, bottom, [&](HDC dc) {
        RECT r{clampCoord(left), clampCoord(top), clampCoord(right), clampCoord(bottom)};
        HBRUSH brush = CreateSolidBrush(colour & 0xFFFFFFu);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    });
}

void surfaceLine(PixelSurface* surface, int x0, int y0, int x1, int y1, std::uint32_t colour) {
    drawOpaque(surface, std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1LL,
               std::max(y0, y1) + 1LL, [&](HDC dc) {
                   HPEN pen = CreatePen(PS_SOLID, 1, colour & 0xFFFFFFu);
                   HGDIOBJ previous = SelectObject(dc, pen);
                   MoveToEx(dc, clampCoord(x0), clampCoord(y0), nullptr);
                   LineTo(dc, clampCoord(x1), clampCoord(y1));
                   SelectObject(dc, previous);
                   DeleteObject(pen);
               });
}

void surfaceText(PixelSurface* surface, int x, int y, const std::string& text,
                 const SurfaceFont& font) {
    if (surface == nullptr || text.empty()) return;
    HFONT handle = makeFont(font);
    const SIZE size = textExtent(surface->dc, text, handle);
    drawOpaque(surface, x, y, x + static_cast<long long>(size.cx),
               y + static_cast<long long>(size.cy), [&](HDC dc) {
                   HGDIOBJ previous = SelectObject(dc, handle);
                   SetBkMode(dc, TRANSPARENT);
                   SetTextColor(dc, font.colour & 0xFFFFFFu);
                   SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
                   TextOutA(dc, clampCoord(x), clampCoord(y), text.c_str(),
                            static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF)));
                   SelectObject(dc, previous);
               });
    if (handle != nullptr) DeleteObject(handle);
}

void surfaceTextExtent(PixelSurface* surface, const std::string& text, const SurfaceFont& font,
                       int& width, int& height) {
    HDC dc = surface != nullptr ? surface->dc : CreateCompatibleDC(nullptr);
    HFONT handle = makeFont(font);
    const SIZE size = dc != nullptr ? textExtent(dc, text, handle) : SIZE{0, 0};
    width = size.cx;
    height = size.cy;
    if (handle != nullptr) DeleteObject(handle);
    if (surface == nullptr && dc != nullptr) DeleteDC(dc);
}

} // namespace platform
