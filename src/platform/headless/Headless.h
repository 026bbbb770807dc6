#pragma once
// The in-memory backend: deterministic time for tests and tools. While it is enabled, tickCount
// reads its virtual clock and timers run only when the clock is advanced.

#include <cstddef>
#include <cstdint>

namespace platform::headless {

/// Route tickCount and timers to the virtual clock (true) or back to the system (false).
/// Timers of the backend being left are stopped.
void enable(bool on);
bool enabled();

/// Move the virtual clock forward, running each timer every time it falls due, in time order.
void advanceClock(std::uint32_t ms);

/// Number of timers currently running on the virtual clock.
std::size_t activeTimerCount();

/// Refuse timers beyond this many running ones (as a system out of timers does).
void setTimerLimit(std::size_t limit);

} // namespace platform::headless
