#include "platform/headless/Headless.h"

#include "platform/Platform.h"
#include "platform/TimerQueue.h"

#include <atomic>
#include <limits>

namespace platform {

namespace {

std::atomic<bool> headlessOn{false};
std::atomic<std::uint64_t> virtualNow{0};
std::atomic<std::size_t> timerLimit{std::numeric_limits<std::size_t>::max()};

detail::TimerQueue& virtualTimers() {
    static detail::TimerQueue queue;
    return queue;
}

} // namespace

namespace headless {

void enable(bool on) {
    if (headlessOn.exchange(on, std::memory_order_relaxed) == on) return;
    if (on)
        detail::nativeStopAll();
    else
        virtualTimers().clear();
}

bool enabled() {
    return headlessOn.load(std::memory_order_relaxed);
}

void advanceClock(std::uint32_t ms) {
    const std::uint64_t target = virtualNow.load(std::memory_order_relaxed) + ms;
    // Step through each due time so that a tick reading tickCount sees its own moment.
    for (;;) {
        const std::uint64_t now = virtualNow.load(std::memory_order_relaxed);
        if (now >= target) break;
        virtualNow.store(now + 1, std::memory_order_relaxed);
        virtualTimers().runUntil(now + 1, true);
    }
}

std::size_t activeTimerCount() {
    return virtualTimers().size();
}

void setTimerLimit(std::size_t limit) {
    timerLimit.store(limit, std::memory_order_relaxed);
}

} // namespace headless

std::uint32_t tickCount() {
    if (headless::enabled())
        return static_cast<std::uint32_t>(virtualNow.load(std::memory_order_relaxed));
    return detail::nativeTickCount();
}

TimerId startTimer(std::uint32_t intervalMs, std::function<void()> onTick) {
    if (intervalMs == 0 || !onTick) return 0;
    const TimerId id = detail::nextTimerId();
    if (headless::enabled()) {
        if (virtualTimers().size() >= timerLimit.load(std::memory_order_relaxed)) return 0;
        virtualTimers().start(id, intervalMs, virtualNow.load(std::memory_order_relaxed),
                              std::move(onTick));
        return id;
    }
    return detail::nativeStartTimer(id, intervalMs, std::move(onTick)) ? id : 0;
}

void stopTimer(TimerId id) {
    if (id == 0) return;
    if (!virtualTimers().stop(id)) detail::nativeStopTimer(id);
}

void runDueTimers() {
    if (headless::enabled()) return; // virtual time moves only by advanceClock
    detail::nativeRunDueTimers();
}

} // namespace platform
