#include "toolkit/cDIBTimer.h"

#include "runtime/Application.h"

namespace toolkit {

TDIBTimer::TDIBTimer(runtime::TComponent* owner) : TComponent(owner) {}

TDIBTimer::~TDIBTimer() {
    enabled_ = false;
    Stop();
}

void TDIBTimer::SetInterval(std::uint32_t value) {
    if (value == interval_) return;
    interval_ = value;
    Restart();
}

void TDIBTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Restart();
}

void TDIBTimer::SetOnTimer(runtime::TNotifyEvent handler) {
    onTimer_ = std::move(handler);
    Restart();
}

void TDIBTimer::Stop() {
    timer_.Stop();
}

void TDIBTimer::Restart() {
    Stop();
    if (interval_ == 0 || !enabled_ || !onTimer_) return;
    if (!timer_.Start(interval_, [this] { Timer(); })) {
        enabled_ = false;
        throw runtime::EOutOfResources("Not enough timers available");
    }
}

void TDIBTimer::Timer() {
    if (!onTimer_) return;
    try {
        // A copy: the handler may replace itself or free the timer's owner's state.
        const runtime::TNotifyEvent handler = onTimer_;
        handler(this);
    } catch (...) {
        runtime::Application().HandleException();
    }
}

} // namespace toolkit
