#include "platform/Platform.h"

#include <atomic>

namespace platform {

namespace {
// Null: the system backend. Read on any thread that asks for the clock, written by scopes.
std::atomic<Backend*> installed{nullptr};
} // namespace

Backend& backend() {
    Backend* b = installed.load(std::memory_order_acquire);
    return b != nullptr ? *b : systemBackend();
}

BackendScope::BackendScope(Backend& replacement)
    : previous_(installed.exchange(&replacement, std::memory_order_acq_rel)) {
    (previous_ != nullptr ? *previous_ : systemBackend()).stopAllTimers();
}

BackendScope::~BackendScope() {
    Backend* left = installed.exchange(previous_, std::memory_order_acq_rel);
    if (left != nullptr) left->stopAllTimers();
}

} // namespace platform
