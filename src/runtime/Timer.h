#pragma once
// The clock and the periodic timers of the user-interface thread, from the backend in use.

#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <utility>

namespace runtime {

/// Milliseconds since an arbitrary start, wrapping at 2^32.
inline std::uint32_t TickCount() {
    return platform::backend().tickCount();
}

/// One periodic system timer, ticking from Start until Stop or its end.
class TSystemTimer {
public:
    TSystemTimer() = default;
    ~TSystemTimer() {
        if (Running()) Stop();
    }
    TSystemTimer(const TSystemTimer&) = delete;
    TSystemTimer& operator=(const TSystemTimer&) = delete;

    /// Calls `onTick` every `intervalMs` (> 0) milliseconds on the user-interface thread, after
    /// stopping a run in progress; false when the system refuses a timer. `onTick` must not
    /// throw.
    bool Start(std::uint32_t intervalMs, std::function<void()> onTick) {
        if (Running()) Stop();
        id_ = platform::backend().startTimer(intervalMs, std::move(onTick));
        return Running();
    }
    /// Stops ticking; safe inside its own tick.
    void Stop() {
        platform::backend().stopTimer(id_);
        id_ = 0;
    }
    bool Running() const { return id_ != 0; }

private:
    platform::TimerId id_ = 0;
};

} // namespace runtime
