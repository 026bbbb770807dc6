#pragma once
// The latency floor of the audio loop: its three recursions (the band filters, the envelope and
// the overshoot smoother) alone, side by side in one loop, with the arithmetic and roundings of
// the plug-in's per-sample steps; the equalised output, the level, the target and the release
// coefficient are left out. With this arithmetic no loop that keeps every output bit can run a
// sample faster on the same processor.

#include <vector>

namespace bench {

/// Nanoseconds of processor time per stereo frame for the recursions over left/right (the
/// median of rounds runs), at 44.1 kHz with program 0's band gains and threshold.
double recursionFloorNs(const std::vector<float>& left, const std::vector<float>& right,
                        int rounds);

} // namespace bench
