// Window regions from a surface's alpha or colour, and output to 8-bit devices.
#include "toolkit/cDIBKernels.h"

#include "runtime/Canvas.h"

#include <algorithm>

namespace toolkit {

using namespace dib;

bool TDIBRegion::Contains(std::int32_t x, std::int32_t y) const {
    return std::any_of(Rects.begin(), Rects.end(),
                       [x, y](const TRect& r) { return r.Contains(x, y); });
}

TDIBRegionHandle::TDIBRegionHandle(const TDIBRegion& region) {
    handle_ = runtime::CreateRegion(region.Rects.data(), region.Rects.size());
}

TDIBRegionHandle::~TDIBRegionHandle() {
    runtime::DestroyRegion(handle_);
}

bool TDIBRegionHandle::Contains(std::int32_t x, std::int32_t y) const {
    return runtime::RegionContains(handle_, x, y);
}

namespace {

template <class Inside>
TDIBRegion runsOf(const TAbstractSuperDIB& surface, Inside inside) {
    TDIBRegion region;
    if (!surface.HasPixels()) return region;
    for (int y = 0; y < surface.Height(); ++y) {
        const std::uint8_t* row = surface.RowPointer(y);
        for (int x = 0; x < surface.Width();) {
            if (!inside(row + x * 4)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < surface.Width() && inside(row + x * 4))
                ++x;
            region.Rects.push_back({start, y, x, y + 1});
        }
    }
    return region;
}

} // namespace

TDIBRegion TAbstractSuperDIB::CreateAlphaRegion(std::uint8_t threshold) const {
    return runsOf(*this, [threshold](const std::uint8_t* p) { return p[3] > threshold; });
}

TDIBRegion TAbstractSuperDIB::CreateColorRegion(TColor colour) const {
    const std::uint32_t key = platform::SwapRedBlue(colour) & 0xFFFFFF;
    return runsOf(*this, [key](const std::uint8_t* p) { return low24(p) != key; });
}

std::vector<std::uint8_t> TAbstractSuperDIB::ConvertTo8Bit(const TDIBPalette& palette, int srcX,
                                                           int srcY, int width, int height) const {
    if (palette.Lookup.size() != 262144)
        throw EDIBError("Render8Bit can only be used with a palette containing a lookup table");
    std::vector<std::uint8_t> out;
    if (pixels_ == nullptr || width <= 0 || height <= 0) return out;
    out.assign(static_cast<std::size_t>(width) * height, 0);
    for (int j = 0; j < height; ++j) {
        const std::int64_t y = std::int64_t(srcY) + j;
        if (y < 0 || y >= height_) continue; // outside the surface: index 0
        const std::uint8_t* row = RowPointer(static_cast<int>(y));
        for (int i = 0; i < width; ++i) {
            const std::int64_t x = std::int64_t(srcX) + i;
            if (x < 0 || x >= width_) continue;
            const std::uint8_t* p = row + x * 4;
            out[std::size_t(j) * width + i] =
                palette.Lookup[p[0] / 4 + (p[1] / 4) * 64 + (p[2] / 4) * 4096];
        }
    }
    return out;
}

void TAbstractSuperDIB::Render8Bit(void* deviceContext, int x, int y, const TDIBPalette& palette,
                                   int srcX, int srcY, int width, int height) {
    if (palette.Lookup.size() != 262144)
        throw EDIBError("Render8Bit can only be used with a palette containing a lookup table");
    if (runtime::DeviceBitsPerPixel(deviceContext) != 8)
        throw EDIBError("Render8Bit can only be used to blit to an 8 bit DC");
    width = std::clamp(width, 0, kMaxSide);
    height = std::clamp(height, 0, kMaxSide);
    const auto indices = ConvertTo8Bit(palette, srcX, srcY, width, height);
    if (indices.empty()) return;
    const std::size_t colours = std::min<std::size_t>(palette.Entries.size(), 235);
    runtime::Blit8Bit(deviceContext, x, y, width, height, indices.data(), palette.Entries.data(),
                      static_cast<int>(colours));
}

} // namespace toolkit
