#pragma once
// The geometry and colour vocabulary that platform, runtime and toolkit share.

#include <cstdint>
#include <limits>

namespace platform {

/// A design pixel coordinate (100 %) at `percent`: floor(x * percent / 100 + 1/2), exact in
/// integers and clamped to int; 0 for a percent that is not positive. Edges are scaled, never
/// sizes, so boxes that touch at 100 % touch at every density. The editor's pictures, its layout
/// and the drawn menus all place their edges by this one rule.
constexpr int scaledEdge(int designPixels, int percent) {
    if (percent <= 0) return 0;
    const std::int64_t n = std::int64_t(designPixels) * percent + 50;
    const std::int64_t q = n >= 0 ? n / 100 : -((-n + 99) / 100);
    if (q > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (q < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return int(q);
}

/// A rectangle of pixels, rows counted from the top. Left and Top are inside it, Right and
/// Bottom just outside: it covers Left <= x < Right and Top <= y < Bottom, so Right - Left is
/// its width and a rectangle with Right <= Left or Bottom <= Top is empty. The single inclusive
/// use is a surface's clip rectangle, whose last column and row are inside (it says so where it
/// is declared).
struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

    constexpr bool Contains(std::int32_t x, std::int32_t y) const {
        return x >= Left && x < Right && y >= Top && y < Bottom;
    }
    bool operator==(const TRect&) const = default;
};

constexpr bool isEmpty(const TRect& r) {
    return r.Right <= r.Left || r.Bottom <= r.Top;
}

/// The common part of two rectangles; an empty result is always {}.
constexpr TRect intersect(const TRect& a, const TRect& b) {
    const TRect r{a.Left > b.Left ? a.Left : b.Left, a.Top > b.Top ? a.Top : b.Top,
                  a.Right < b.Right ? a.Right : b.Right, a.Bottom < b.Bottom ? a.Bottom : b.Bottom};
    return isEmpty(r) ? TRect{} : r;
}

/// The smallest rectangle holding both; an empty one adds nothing.
constexpr TRect unite(const TRect& a, const TRect& b) {
    if (isEmpty(a)) return b;
    if (isEmpty(b)) return a;
    return {a.Left < b.Left ? a.Left : b.Left, a.Top < b.Top ? a.Top : b.Top,
            a.Right > b.Right ? a.Right : b.Right, a.Bottom > b.Bottom ? a.Bottom : b.Bottom};
}

/// A colour as the framework writes it: red in the low byte, then green, then blue; the top
/// byte is not part of the colour.
using TColor = std::uint32_t;

/// Swaps red and blue, turning a framework colour into pixel byte order (blue in the low byte,
/// as surfaces store pixels) and back; the top byte becomes 0.
constexpr std::uint32_t SwapRedBlue(std::uint32_t colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

} // namespace platform
