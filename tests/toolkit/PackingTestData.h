#pragma once
// Test inputs: raw image records of the two kinds the editor's artwork has, and plain bytes.

#include <cstdint>
#include <random>
#include <vector>

namespace packingtest {

/// A raw image record (width, height, bottom-up BGRA) like the editor's background strip:
/// frames of 491 pixels side by side, each a diagonal gradient with a soft-edged disc that
/// grows from frame to frame, and an alpha ramp at the frame's left edge.
inline std::vector<std::uint8_t> smoothRecord(int width, int height) {
    std::vector<std::uint8_t> r(4 + std::size_t(width) * height * 4);
    r[0] = std::uint8_t(width);
    r[1] = std::uint8_t(width >> 8);
    r[2] = std::uint8_t(height);
    r[3] = std::uint8_t(height >> 8);
    std::uint8_t* p = r.data() + 4;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int frame = x / 491;
            const int fx = x % 491;
            const int dx = fx - 245, dy = y - 160;
            const int radius = 60 + 2 * frame;
            const int d2 = dx * dx + dy * dy;
            // 0 outside the disc, 255 inside, a ramp over its 8-pixel rim.
            const int inside = d2 >= radius * radius ? 0
                               : d2 <= (radius - 8) * (radius - 8)
                                   ? 255
                                   : (radius * radius - d2) * 255 /
                                         (radius * radius - (radius - 8) * (radius - 8));
            const int b = (fx * 3 + y * 2) / 7, g = (fx + y * 3) / 6, rr = 40 + (fx * y) / 900;
            const int db = 30 + dx / 4, dg = 180 - dy / 3, dr = 200 - frame;
            *p++ = std::uint8_t((b * (255 - inside) + db * inside) / 255);
            *p++ = std::uint8_t((g * (255 - inside) + dg * inside) / 255);
            *p++ = std::uint8_t((rr * (255 - inside) + dr * inside) / 255);
            *p++ = std::uint8_t(fx > 20 ? 255 : fx * 12);
        }
    }
    return r;
}

/// As smoothRecord, with a few bits of noise in every colour channel.
inline std::vector<std::uint8_t> noisyRecord(int width, int height, unsigned seed = 1) {
    std::vector<std::uint8_t> r = smoothRecord(width, height);
    std::mt19937 rng(seed);
    for (std::size_t i = 4; i < r.size(); ++i)
        if ((i - 4) % 4 != 3) r[i] = std::uint8_t(r[i] ^ (rng() & 7));
    return r;
}

inline std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = std::uint8_t(rng());
    return v;
}

} // namespace packingtest
