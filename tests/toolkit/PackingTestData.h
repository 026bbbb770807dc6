#pragma once
// Test inputs: raw image records of the two kinds the editor's artwork has, and plain bytes.

#include <cstdint>
#include <random>
#include <vector>

namespace packingtest {

/// A raw image record (width, height, bottom-up BGRA): gradients and shapes with soft alpha.
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
            const bool inDisc = dx * dx + dy * dy < (60 + frame) * (60 + frame);
            *p++ = std::uint8_t(inDisc ? 40 : (fx * 255) / 491);
            *p++ = std::uint8_t(inDisc ? 200 - frame : (y * 255) / (height ? height : 1));
            *p++ = std::uint8_t(inDisc ? 90 : 128);
            *p++ = std::uint8_t(inDisc || fx > 20 ? 255 : fx * 12);
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
