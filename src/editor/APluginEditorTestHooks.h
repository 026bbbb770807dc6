#pragma once
// Hooks for the tests, compiled only into the test build of the editor library
// (WADLING_TEST_HOOKS); the shipped library has none of them.

#if WADLING_TEST_HOOKS
#include <functional>

namespace editor_test_hooks {
/// Runs while the mirror copies slot `index`: after the plug-in's value was read, before it is
/// stored (a test's way to make another change land in that gap).
inline std::function<void(int index)> betweenReadAndStore;
} // namespace editor_test_hooks
#endif
