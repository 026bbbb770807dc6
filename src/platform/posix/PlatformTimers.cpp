// Linux timers: kept in memory and run from the host's idle calls (runDueTimers), since a
// plug-in editor on Linux has no message loop of its own.
#include "platform/TimerQueue.h"

#include <time.h>

namespace platform::detail {

namespace {

std::uint64_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

TimerQueue& polledTimers() {
    static TimerQueue queue;
    return queue;
}

} // namespace

std::uint32_t nativeTickCount() {
    return static_cast<std::uint32_t>(monotonicMs());
}

bool nativeStartTimer(TimerId id, std::uint32_t intervalMs, std::function<void()> tick) {
    polledTimers().start(id, intervalMs, monotonicMs(), std::move(tick));
    return true;
}

bool nativeStopTimer(TimerId id) {
    return polledTimers().stop(id);
}

void nativeRunDueTimers() {
    polledTimers().runUntil(monotonicMs(), false);
}

void nativeStopAll() {
    polledTimers().clear();
}

} // namespace platform::detail
