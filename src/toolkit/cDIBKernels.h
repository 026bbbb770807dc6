#pragma once
// Inside the surface unit: pixel words, the row kernels, the rotation tables and the helpers
// its source files share. Callers of surfaces include cDIB.h only.

#include "toolkit/cDIB.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace toolkit {

/// The four rotation tables of 360,000 entries (one per 0.001 degree), built on first use.
struct TTrigTables {
    std::vector<std::int32_t> Sine, Cosine, SinePlus90, CosinePlus90;
};
const TTrigTables& TrigTables();

/// A draw rectangle after clipping: destination point, source point and size, all inside both
/// surfaces and the destination's clip rectangle.
struct TDrawSpan {
    std::int64_t DestX, DestY, SrcX, SrcY, Width, Height;
};

namespace dib {

// Pixels are read as little-endian words (blue in the low byte) on every target.
static_assert(std::endian::native == std::endian::little);

constexpr int kMaxSide = 65535;

inline std::string sizeMessage(int width, int height) {
    return "Cannot make a surface of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels";
}

/// The clip rectangle covering a whole surface (inclusive edges).
constexpr TRect fullRect(int width, int height) {
    return {0, 0, width - 1, height - 1};
}

/// Float to integer without undefined behaviour for NaN or huge values.
inline std::int64_t clampToInt64(long double v, std::int64_t limit) {
    if (std::isnan(v)) return 0;
    if (v > static_cast<long double>(limit)) return limit;
    if (v < -static_cast<long double>(limit)) return -limit;
    return static_cast<std::int64_t>(v);
}

inline std::uint32_t low24(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
}
inline std::uint32_t load(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void store(std::uint8_t* p, std::uint32_t v) {
    std::memcpy(p, &v, 4);
}

// (o * s + (o xor 255) * d + 255) >> 8 for blue, green and red at once, exactly: blue and red
// share one word in 16-bit lanes (each sum stays below 65536), green takes another. The alpha
// byte of the result is 0 for the caller to set.
inline std::uint32_t blendColours(unsigned o, std::uint32_t s, std::uint32_t d) {
    const unsigned r = o ^ 255;
    const std::uint32_t br = ((s & 0x00FF00FF) * o + (d & 0x00FF00FF) * r + 0x00FF00FF) >> 8;
    const std::uint32_t g = (((s >> 8) & 0xFF) * o + ((d >> 8) & 0xFF) * r + 0xFF) & 0xFF00;
    return (br & 0x00FF00FF) | g;
}

} // namespace dib
} // namespace toolkit
