// Surfaces as DIB sections selected into their own memory device contexts, so that the
// framework's canvas can draw on them and a paint can copy them to a window in one blit.
#include "platform/Platform.h"

#include <windows.h>

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

} // namespace platform
