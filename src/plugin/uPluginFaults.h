#pragma once
// Fault injection for the tests: the next n buffer allocations of the audio loop fail as if
// memory had run out. Zero in normal use.

#include <atomic>

namespace plugin_faults {
inline std::atomic<int> failBufferAllocations{0};
} // namespace plugin_faults
