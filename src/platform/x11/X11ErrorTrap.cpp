#include "platform/x11/X11ErrorTrap.h"

namespace platform::x11 {

namespace {

Display* trapDisplay = nullptr;
int trapError = 0;
XErrorHandler previousHandler = nullptr;

int trapHandler(Display* display, XErrorEvent* event) {
    if (display == trapDisplay) {
        if (trapError == 0) trapError = event->error_code;
        return 0;
    }
    // Another connection's error (the host's) is not ours to swallow.
    return previousHandler != nullptr ? previousHandler(display, event) : 0;
}

} // namespace

ErrorTrap::ErrorTrap(Display* display) : display_(display) {
    outer_ = trapDisplay != nullptr;
    if (outer_) return; // nested: the outer trap does the work
    trapDisplay = display;
    trapError = 0;
    previousHandler = XSetErrorHandler(trapHandler);
}

int ErrorTrap::finish() {
    if (outer_ || done_) return trapError;
    done_ = true;
    // A round trip only when a request may still be in flight.
    if (NextRequest(display_) - 1 != LastKnownRequestProcessed(display_)) XSync(display_, False);
    XSetErrorHandler(previousHandler);
    trapDisplay = nullptr;
    previousHandler = nullptr;
    return trapError;
}

int ErrorTrap::swapError(int error) {
    const int old = trapError;
    trapError = error;
    return old;
}

} // namespace platform::x11
