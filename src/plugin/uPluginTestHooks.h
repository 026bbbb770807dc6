#pragma once
// Hooks for the tests, compiled only into the test build of the plug-in library
// (WADLING_TEST_HOOKS); the shipped library has none of them.

#if WADLING_TEST_HOOKS
#include <atomic>

namespace plugin_test_hooks {
/// The next n buffer allocations of the audio loop fail as if memory had run out.
inline std::atomic<int> failBufferAllocations{0};
/// The audio loop runs the scalar per-sample steps instead of the chunk passes.
inline std::atomic<bool> referenceLoop{false};
} // namespace plugin_test_hooks
#endif
