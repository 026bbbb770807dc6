// Surfaces without a windowing system: plain memory. Drawing handles arrive with the window
// backend; until then no device context exists here.
#include "platform/Platform.h"

#include <memory>
#include <new>
#include <vector>

namespace platform {

struct PixelSurface {
    std::vector<std::uint8_t> pixels;
};

PixelSurface* createPixelSurface(int width, int height, std::uint8_t** pixels, std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "Invalid surface size";
        return nullptr;
    }
    try {
        auto surface = std::make_unique<PixelSurface>();
        surface->pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                               4);
        *pixels = surface->pixels.data();
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

void* pixelSurfaceDC(PixelSurface*) {
    return nullptr;
}

int deviceBitsPerPixel(void*) {
    return 0;
}

bool blit8Bit(void*, int, int, int, int, const std::uint8_t*, const std::uint32_t*, int) {
    return false;
}

} // namespace platform
