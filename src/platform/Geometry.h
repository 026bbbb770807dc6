#pragma once
// The geometry and colour vocabulary that platform, runtime and toolkit share.

#include <cstdint>

namespace platform {

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

/// A colour as the framework writes it: red in the low byte, then green, then blue; the top
/// byte is not part of the colour.
using TColor = std::uint32_t;

/// Swaps red and blue, turning a framework colour into pixel byte order (blue in the low byte,
/// as surfaces store pixels) and back; the top byte becomes 0.
constexpr std::uint32_t SwapRedBlue(std::uint32_t colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

} // namespace platform
