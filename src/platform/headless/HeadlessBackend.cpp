#include "platform/headless/Headless.h"

namespace platform {

std::uint32_t HeadlessBackend::tickCount() {
    return static_cast<std::uint32_t>(now_.load(std::memory_order_relaxed));
}

TimerId HeadlessBackend::startTimer(std::uint32_t intervalMs, std::function<void()> onTick) {
    if (intervalMs == 0 || !onTick || timers_.size() >= timerLimit_) return 0;
    const TimerId id = detail::nextTimerId();
    timers_.start(id, intervalMs, now_.load(std::memory_order_relaxed), std::move(onTick));
    return id;
}

void HeadlessBackend::stopTimer(TimerId id) {
    timers_.stop(id);
}

void HeadlessBackend::runDueTimers() {}

void HeadlessBackend::stopAllTimers() {
    timers_.clear();
}

void HeadlessBackend::advanceClock(std::uint32_t ms) {
    const std::uint64_t target = now_.load(std::memory_order_relaxed) + ms;
    // Step through each due time so that a tick reading tickCount sees its own moment.
    for (;;) {
        const std::uint64_t now = now_.load(std::memory_order_relaxed);
        if (now >= target) break;
        now_.store(now + 1, std::memory_order_relaxed);
        timers_.runUntil(now + 1, true);
    }
}

std::size_t HeadlessBackend::activeTimerCount() const {
    return timers_.size();
}

void HeadlessBackend::setTimerLimit(std::size_t limit) {
    timerLimit_ = limit;
}

} // namespace platform
