// Regions without a windowing system: the rectangle list itself, kept behind the handle.
#include "platform/Platform.h"

#include <memory>
#include <new>
#include <vector>

namespace platform {

namespace {
struct MemoryRegion {
    std::vector<TRect> rects;
};
} // namespace

void* createRegion(const TRect* rects, std::size_t count) {
    try {
        auto region = std::make_unique<MemoryRegion>();
        if (rects != nullptr) region->rects.assign(rects, rects + count);
        return region.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool regionContains(void* region, int x, int y) {
    if (region == nullptr) return false;
    for (const TRect& r : static_cast<MemoryRegion*>(region)->rects)
        if (r.Contains(x, y)) return true;
    return false;
}

void destroyRegion(void* region) {
    std::unique_ptr<MemoryRegion> gone(static_cast<MemoryRegion*>(region));
}

} // namespace platform
