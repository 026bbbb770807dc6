#pragma once
// The toolkit's interval timer: starts disabled and holds a system timer only while it runs,
// that is exactly while it is enabled, has a non-zero interval and a handler.

#include "runtime/Components.h"
#include "runtime/Events.h"
#include "runtime/Timer.h"

#include <cstdint>

namespace toolkit {

class TDIBTimer : public runtime::TComponent {
public:
    explicit TDIBTimer(runtime::TComponent* owner);
    ~TDIBTimer() override;
    std::string ClassName() const override { return "TDIBTimer"; }

    std::uint32_t Interval() const { return interval_; }
    void SetInterval(std::uint32_t value);
    bool Enabled() const { return enabled_; }
    /// Raises EOutOfResources "Not enough timers available" (and stays disabled) when the
    /// system refuses a timer.
    void SetEnabled(bool value);
    const runtime::TNotifyEvent& OnTimer() const { return onTimer_; }
    void SetOnTimer(runtime::TNotifyEvent handler);

    /// True while a system timer is held.
    bool Running() const { return timer_.Running(); }

protected:
    /// One tick: OnTimer with this timer as sender; errors go to the application's handler.
    virtual void Timer();

private:
    void Restart();
    void Stop();

    std::uint32_t interval_ = 1000;
    runtime::TSystemTimer timer_;
    runtime::TNotifyEvent onTimer_;
    bool enabled_ = false;
};

} // namespace toolkit
