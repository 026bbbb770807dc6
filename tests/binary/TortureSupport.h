#pragma once
// Shared pieces of the torture tests: deterministic random numbers, stereo buffers, and the
// finiteness rule that every processed block must obey.

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "PluginFixture.h"

namespace torture {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
/// Processing runs in chunks of at most this many samples; a chunk is where a bad sample's
/// influence must end.
constexpr int32_t kChunk = 32;

/// Two channels of n samples, with the pointer arrays a host hands over.
struct Stereo {
    explicit Stereo(size_t n, float fill = 0.0f) : left(n, fill), right(n, fill) {
        ptrs[0] = left.data();
        ptrs[1] = right.data();
    }
    float** channels() { return ptrs; }
    std::vector<float> left, right;
    float* ptrs[2];
};

/// Index of the first non-finite sample at or after `from` in either channel, or -1.
inline int64_t firstNonFinite(const Stereo& s, size_t from = 0) {
    for (size_t i = from; i < s.left.size(); ++i)
        if (!std::isfinite(s.left[i]) || !std::isfinite(s.right[i])) return static_cast<int64_t>(i);
    return -1;
}

/// Checks the rule for a block processed from `in` into `out` (chunks starting at 0): an
/// output sample may be non-finite only where the input at that index is non-finite (the dry
/// path passes it straight through) or inside the chunk that holds a non-finite input sample.
/// `pendingBad` carries a bad sample's influence from a previous block into this one's first
/// chunk... which must never happen: chunks end with the block.
inline ::testing::AssertionResult obeysFinitenessRule(const Stereo& in, const Stereo& out) {
    const size_t n = in.left.size();
    size_t badChunkEnd = 0; // samples before this index may be spoilt by a bad input sample
    for (size_t i = 0; i < n; ++i) {
        const bool badIn = !std::isfinite(in.left[i]) || !std::isfinite(in.right[i]);
        if (badIn) badChunkEnd = (i / kChunk + 1) * kChunk;
        const bool badOut = !std::isfinite(out.left[i]) || !std::isfinite(out.right[i]);
        if (badOut && !badIn && i >= badChunkEnd)
            return ::testing::AssertionFailure() << "non-finite output at sample " << i << " of "
                                                 << n << " with no non-finite input in its chunk";
    }
    return ::testing::AssertionSuccess();
}

} // namespace torture
