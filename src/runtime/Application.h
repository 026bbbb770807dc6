#pragma once
// The application object's exception handling: where an error goes that escapes an event
// handler run by the system (a timer tick, a window message), so that it never unwinds into
// the host.

#include "runtime/Exception.h"

#include <exception>
#include <functional>

namespace runtime {

/// The system refused a resource (a timer, a window).
class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

class TApplication {
public:
    /// Receives every handled exception; without one, exceptions are dropped (the plug-in
    /// writes no log, and a host's UI thread must go on).
    std::function<void(const std::exception&)> OnException;

    /// Passes the exception currently being handled to OnException. Call only inside a catch
    /// block; never throws. Exceptions not derived from std::exception are reported as one.
    void HandleException() noexcept;
};

TApplication& Application();

} // namespace runtime
