#pragma once
// The in-memory backend: deterministic time for tests and tools. Its clock is virtual and its
// timers run only when a test or tool advances that clock.

#include "platform/Platform.h"
#include "platform/TimerQueue.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace platform {

class HeadlessBackend : public Backend {
public:
    std::uint32_t tickCount() override;
    TimerId startTimer(std::uint32_t intervalMs, std::function<void()> onTick) override;
    void stopTimer(TimerId id) override;
    /// Does nothing: virtual time moves only by advanceClock.
    void runDueTimers() override;
    void stopAllTimers() override;

    /// Move the virtual clock forward, running each timer every time it falls due, in time order.
    void advanceClock(std::uint32_t ms);

    /// Number of timers currently running on the virtual clock.
    std::size_t activeTimerCount() const;

    /// Refuse timers beyond this many running ones (as a system out of timers does).
    void setTimerLimit(std::size_t limit);

private:
    std::atomic<std::uint64_t> now_{0};
    std::size_t timerLimit_ = std::numeric_limits<std::size_t>::max();
    detail::TimerQueue timers_;
};

/// A headless backend installed for the lifetime of this object (a test, a tool's run).
class HeadlessSession : public HeadlessBackend {
public:
    HeadlessSession() : scope_(*this) {}

private:
    BackendScope scope_;
};

} // namespace platform
