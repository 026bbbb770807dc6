// The test host's top-level window on X11, on a connection of its own, as a real host's is.
#include "host/HostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <time.h>

#include <cstdint>

namespace host {

namespace {

std::uint64_t nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

} // namespace

struct HostWindow::Impl {
    Display* display = nullptr;
    Window window = 0;
    Atom deleteWindow = 0;
};

HostWindow::HostWindow() : impl_(std::make_unique<Impl>()) {}

HostWindow::~HostWindow() {
    close();
}

void* HostWindow::open(const std::string& title, int w, int h) {
    close();
    if (w <= 0 || h <= 0) {
        error_ = "Invalid window size";
        return nullptr;
    }
    impl_->display = XOpenDisplay(nullptr);
    if (impl_->display == nullptr) {
        error_ = "Cannot open the X display";
        return nullptr;
    }
    Display* d = impl_->display;
    const int screen = DefaultScreen(d);
    impl_->window = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(w),
                                        static_cast<unsigned>(h), 0, BlackPixel(d, screen),
                                        BlackPixel(d, screen));
    XStoreName(d, impl_->window, title.c_str());
    impl_->deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, impl_->window, &impl_->deleteWindow, 1);
    XSelectInput(d, impl_->window, StructureNotifyMask);
    XMapWindow(d, impl_->window);
    // Wait until it is on the screen, so that the editor's first frame shows.
    for (;;) {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == MapNotify && event.xmap.window == impl_->window) break;
    }
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(impl_->window));
}

void HostWindow::runIdleLoop(int intervalMs, const std::function<bool()>& callback) {
    if (intervalMs <= 0) intervalMs = 1;
    std::uint64_t next = nowMs();
    while (isOpen()) {
        Display* d = impl_->display;
        while (XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            if (event.type == ClientMessage &&
                static_cast<Atom>(event.xclient.data.l[0]) == impl_->deleteWindow) {
                close();
                return;
            }
            if (event.type == DestroyNotify && event.xdestroywindow.window == impl_->window) {
                impl_->window = 0;
                close();
                return;
            }
        }
        const std::uint64_t now = nowMs();
        if (now >= next) {
            if (!callback()) return;
            next += static_cast<std::uint64_t>(intervalMs);
            if (next < now) next = now + static_cast<std::uint64_t>(intervalMs);
            continue;
        }
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(next - now));
    }
}

void HostWindow::close() {
    if (impl_->display == nullptr) return;
    if (impl_->window != 0) XDestroyWindow(impl_->display, impl_->window);
    XCloseDisplay(impl_->display);
    impl_->display = nullptr;
    impl_->window = 0;
}

bool HostWindow::isOpen() const {
    return impl_->display != nullptr && impl_->window != 0;
}

} // namespace host
