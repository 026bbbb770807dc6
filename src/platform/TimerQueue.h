#pragma once
// Timers kept in memory and run by the caller's clock: the headless backend (virtual time) and
// the polled Linux backend (monotonic time) share it. Not part of the platform interface.

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace platform::detail {

class TimerQueue {
public:
    void start(TimerId id, std::uint32_t intervalMs, std::uint64_t now, std::function<void()> tick);
    bool stop(TimerId id);
    void clear();
    std::size_t size() const;
    // Runs due timers up to `now`. With catchUp every missed period ticks (virtual time);
    // without it a late timer ticks once, as system timers coalesce.
    void runUntil(std::uint64_t now, bool catchUp);

private:
    struct Entry {
        TimerId id;
        std::uint32_t interval;
        std::uint64_t due;
        std::function<void()> tick;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// Ids unique across backends, never 0.
TimerId nextTimerId();

} // namespace platform::detail
