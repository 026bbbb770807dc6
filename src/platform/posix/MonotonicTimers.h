#pragma once
// The clock and timers of the Linux backends: kept in memory on the monotonic clock and run
// from the host's idle calls, since a plug-in editor on Linux has no message loop of its own.

#include "platform/Platform.h"
#include "platform/TimerQueue.h"

#include <time.h>

#include <cstdint>
#include <functional>
#include <utility>

namespace platform::detail {

inline std::uint64_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

template <class Base>
class MonotonicTimers : public Base {
public:
    std::uint32_t tickCount() override { return static_cast<std::uint32_t>(monotonicMs()); }

    TimerId startTimer(std::uint32_t intervalMs, std::function<void()> onTick) override {
        if (intervalMs == 0 || !onTick) return 0;
        const TimerId id = nextTimerId();
        timers_.start(id, intervalMs, monotonicMs(), std::move(onTick));
        return id;
    }

    void stopTimer(TimerId id) override { timers_.stop(id); }
    void runDueTimers() override { timers_.runUntil(monotonicMs(), false); }
    void stopAllTimers() override { timers_.clear(); }

private:
    TimerQueue timers_;
};

} // namespace platform::detail
