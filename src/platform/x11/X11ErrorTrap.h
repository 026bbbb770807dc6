#pragma once
// Catches the X errors of our own requests made in its scope, so that a host's window that went
// away earns us an answer instead of the host's error handler ending the process. Installed only
// around our requests; another connection's errors (the host's) still reach the host's handler.

#include <X11/Xlib.h>

namespace platform::x11 {

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap() { finish(); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    /// Waits for the server's answer to our requests so far; answers the first error (0: none).
    int finish();

    /// Runs `requests`, waits for their answer and says whether they failed, without counting
    /// their error in an enclosing trap (a probe whose refusal the caller handles).
    template <class Requests>
    static bool fails(Display* display, Requests requests) {
        ErrorTrap probe(display);
        const int earlier = swapError(0);
        requests();
        XSync(display, False);
        return swapError(earlier) != 0;
    }

private:
    static int swapError(int error);
    Display* display_;
    bool outer_ = false;
    bool done_ = false;
};

} // namespace platform::x11
