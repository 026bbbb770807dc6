#pragma once
// The editor's pictures come at a few pixel densities. Everything is laid out in design pixels
// (100 %); at another density a design coordinate x lands on floor(x * s + 0.5). Edges are
// rounded, never sizes: a box from x0 to x1 is scaled(x1) - scaled(x0) wide, so boxes that
// touch at 100 % still touch, without gap or overlap, at every density.

#include <array>
#include <cstdint>
#include <limits>

#include "platform/Geometry.h"

namespace editorart {

/// The densities the pictures are drawn at, in percent; 100 first.
inline constexpr std::array<int, 3> kScales = {100, 150, 200};

constexpr bool isSupportedScale(int percent) {
    for (int s : kScales)
        if (s == percent) return true;
    return false;
}

/// Design pixel coordinate x at `percent`: floor(x * percent / 100 + 1/2), computed exactly in
/// integers and clamped to int (percent is expected positive; anything else gives 0).
constexpr int scaled(int designPixels, int percent) {
    return platform::scaledEdge(designPixels, percent);
}

/// The design coordinate whose scaled edge lies nearest device coordinate x (halves go up), so
/// designPixel(scaled(t, p), p) == t for every supported density. Input mapped through it
/// behaves at every density as the design does. Anything but a positive percent gives 0.
constexpr int designPixel(int devicePixels, int percent) {
    if (percent <= 0) return 0;
    const std::int64_t n = std::int64_t(devicePixels) * 200 + percent;
    const std::int64_t d = 2 * std::int64_t(percent);
    const std::int64_t q = n >= 0 ? n / d : -((-n + d - 1) / d);
    if (q > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (q < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return int(q);
}

/// The density to draw at for an asked one: the nearest supported at or below it, 100 at least.
constexpr int supportedScaleAtOrBelow(double percent) {
    int best = kScales[0];
    for (int s : kScales)
        if (s <= percent + 1e-6 && s > best) best = s;
    return best;
}

} // namespace editorart
