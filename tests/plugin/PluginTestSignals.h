#pragma once
// Test material: a deterministic, music-like stereo signal with loud and quiet passages.

#include <cmath>
#include <cstdint>
#include <vector>

struct StereoSignal {
    std::vector<float> left, right;
    explicit StereoSignal(size_t n = 0) : left(n), right(n) {}
    size_t size() const { return left.size(); }
    float* ptr(int channel) { return channel == 0 ? left.data() : right.data(); }
};

inline StereoSignal dynamicTestSignal(size_t n, uint32_t seed = 1) {
    StereoSignal s(n);
    uint32_t state = seed;
    for (size_t i = 0; i < n; ++i) {
        state = state * 1664525u + 1013904223u;
        const float noise = static_cast<float>(static_cast<int32_t>(state)) / 2147483648.0f;
        const float loud = (i / 4000) % 3 == 1 ? 1.4f : 0.05f; // loud bursts, quiet passages
        const float tone = std::sin(static_cast<float>(i) * 0.031f);
        s.left[i] = loud * (0.7f * tone + 0.3f * noise);
        s.right[i] = loud * (0.5f * tone - 0.4f * noise);
    }
    return s;
}
