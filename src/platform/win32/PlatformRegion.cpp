// Regions as HRGNs, built in batches: ExtCreateRegion refuses very long rectangle lists on
// some systems, so each batch is made alone and merged into the whole.
#include "platform/Platform.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace platform {

void* createRegion(const TRect* rects, std::size_t count) {
    HRGN whole = CreateRectRgn(0, 0, 0, 0);
    if (whole == nullptr || rects == nullptr) return whole;
    constexpr std::size_t kBatch = 400;
    std::vector<char> data(sizeof(RGNDATAHEADER) + kBatch * sizeof(RECT));
    for (std::size_t first = 0; first < count; first += kBatch) {
        const std::size_t n = std::min(kBatch, count - first);
        auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
        auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
        *header = {};
        header->dwSize = sizeof(RGNDATAHEADER);
        header->iType = RDH_RECTANGLES;
        header->nCount = static_cast<DWORD>(n);
        header->nRgnSize = static_cast<DWORD>(n * sizeof(RECT));
        RECT bounds{0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF - 1, -0x7FFFFFFF - 1};
        for (std::size_t i = 0; i < n; ++i) {
            const TRect& r = rects[first + i];
            out[i] = {r.Left, r.Top, r.Right, r.Bottom};
            bounds.left = std::min<LONG>(bounds.left, r.Left);
            bounds.top = std::min<LONG>(bounds.top, r.Top);
            bounds.right = std::max<LONG>(bounds.right, r.Right);
            bounds.bottom = std::max<LONG>(bounds.bottom, r.Bottom);
        }
        header->rcBound = bounds;
        HRGN part = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                    reinterpret_cast<const RGNDATA*>(data.data()));
        if (part == nullptr) {
            DeleteObject(whole);
            return nullptr;
        }
        CombineRgn(whole, whole, part, RGN_OR);
        DeleteObject(part);
    }
    return whole;
}

bool regionContains(void* region, int x, int y) {
    return region != nullptr && PtInRegion(static_cast<HRGN>(region), x, y) != FALSE;
}

void destroyRegion(void* region) {
    if (region != nullptr) DeleteObject(static_cast<HRGN>(region));
}

} // namespace platform
