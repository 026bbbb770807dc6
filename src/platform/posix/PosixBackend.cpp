// The Linux system backend without windows (builds without X11).
#include "platform/WindowlessBackend.h"
#include "platform/posix/MonotonicTimers.h"

namespace platform {

namespace {

class PosixBackend final : public detail::MonotonicTimers<detail::WindowlessBackend> {};

} // namespace

Backend& systemBackend() {
    static PosixBackend system;
    return system;
}

} // namespace platform
