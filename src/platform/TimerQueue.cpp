#include "platform/TimerQueue.h"

#include <algorithm>
#include <atomic>

namespace platform::detail {

TimerId nextTimerId() {
    static std::atomic<TimerId> counter{0};
    TimerId id = counter.fetch_add(1, std::memory_order_relaxed) + 1;
    if (id == 0) id = counter.fetch_add(1, std::memory_order_relaxed) + 1; // after wrap-around
    return id;
}

void TimerQueue::start(TimerId id, std::uint32_t intervalMs, std::uint64_t now,
                       std::function<void()> tick) {
    std::lock_guard lock(mutex_);
    entries_.push_back({id, intervalMs, now + intervalMs, std::move(tick)});
}

bool TimerQueue::stop(TimerId id) {
    std::lock_guard lock(mutex_);
    const auto it =
        std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

void TimerQueue::clear() {
    std::vector<Entry> gone;
    {
        std::lock_guard lock(mutex_);
        gone.swap(entries_);
    }
    // Callbacks are destroyed outside the lock: they may own objects that stop timers.
}

std::size_t TimerQueue::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void TimerQueue::runUntil(std::uint64_t now, bool catchUp) {
    for (;;) {
        std::function<void()> tick;
        {
            std::lock_guard lock(mutex_);
            // Earliest due first; equal times in starting order (stable by position).
            auto next = entries_.end();
            for (auto it = entries_.begin(); it != entries_.end(); ++it)
                if (it->due <= now && (next == entries_.end() || it->due < next->due)) next = it;
            if (next == entries_.end()) return;
            next->due = catchUp ? next->due + next->interval : now + next->interval;
            tick = next->tick; // a copy: the tick may stop its own timer
        }
        tick();
    }
}

} // namespace platform::detail
