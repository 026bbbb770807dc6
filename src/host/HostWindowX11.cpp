// The test host's top-level window on X11, on a connection of its own, as a real host's is.
#include "host/HostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/resource.h>
#include <time.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace host {

namespace {

std::uint64_t nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

int countDescendants(Display* d, Window window) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, window, &root, &parent, &children, &count) == 0) return 0;
    int total = static_cast<int>(count);
    for (unsigned i = 0; i < count; ++i)
        total += countDescendants(d, children[i]);
    if (children != nullptr) XFree(children);
    return total;
}

// The editor's connection may destroy windows between our requests: a vanished window is an
// answer ("nothing there"), not a reason to end the program.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

/// The position of the lowest set bit of a colour mask, for the shift to bring it to a byte.
int maskShift(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1u) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
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

bool HostWindow::resize(int w, int h) {
    if (!isOpen() || w <= 0 || h <= 0) return false;
    XResizeWindow(impl_->display, impl_->window, static_cast<unsigned>(w),
                  static_cast<unsigned>(h));
    XSync(impl_->display, False);
    return true;
}

bool HostWindow::clientOrigin(int& x, int& y) const {
    if (!isOpen()) return false;
    Display* d = impl_->display;
    Window child = 0;
    return XTranslateCoordinates(d, impl_->window, DefaultRootWindow(d), 0, 0, &x, &y, &child) != 0;
}

std::int64_t HostWindow::shownPixel(int x, int y) const {
    if (!isOpen()) return -1;
    Display* d = impl_->display;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(d, impl_->window, &attributes) == 0 || x < 0 || y < 0 ||
        x >= attributes.width || y >= attributes.height || attributes.visual == nullptr ||
        attributes.map_state != IsViewable)
        return -1;
    XSync(d, False);
    const auto previous = XSetErrorHandler(&ignoreErrors);
    XImage* image = XGetImage(d, impl_->window, x, y, 1, 1, AllPlanes, ZPixmap);
    XSync(d, False);
    XSetErrorHandler(previous);
    if (image == nullptr) return -1;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    const Visual& v = *attributes.visual;
    const auto channel = [pixel](unsigned long mask) {
        return static_cast<std::int64_t>(((pixel & mask) >> maskShift(mask)) & 0xFFu);
    };
    return channel(v.red_mask) << 16 | channel(v.green_mask) << 8 | channel(v.blue_mask);
}

HostWindow::Resources HostWindow::resources() const {
    Resources r;
    if (isOpen()) {
        XSync(impl_->display, False);
        const auto previous = XSetErrorHandler(&ignoreErrors);
        r.childWindows = countDescendants(impl_->display, impl_->window);
        XSync(impl_->display, False);
        XSetErrorHandler(previous);
    }
    std::error_code error;
    long handles = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error))
        ++handles;
    if (!error) r.systemHandles = handles;
    return r;
}

double processCpuSeconds() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0.0;
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace host
