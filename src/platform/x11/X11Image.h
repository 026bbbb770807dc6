#pragma once
// The picture of one window on the client side, blitted to the server: in a shared-memory
// segment where the server can attach it (no copy through the socket), else in plain memory.

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>
#include <cstdint>

namespace platform::x11 {

/// Whether shared memory works with this server: -1 unknown, 0 refused, 1 works. One per
/// connection; a refusal is remembered so that later windows go the plain way at once.
struct ShmSupport {
    int state = -1;
};

class X11Image {
public:
    X11Image() = default;
    X11Image(const X11Image&) = delete;
    X11Image& operator=(const X11Image&) = delete;

    /// Pixels of at least width x height (32 bits, top row first), made once and again only when
    /// the window grew; waits until the server has read the previous frame. Null when refused.
    std::uint32_t* prepare(Display* display, Visual* visual, int depth, int width, int height,
                           ShmSupport& shm, std::size_t& stride);
    /// Sends a rectangle of the pixels to the window.
    void put(Display* display, Window window, int left, int top, int right, int bottom);
    void release(Display* display);

private:
    bool makeShared(Display* display, Visual* visual, int depth, int width, int height);
    bool makePlain(Display* display, Visual* visual, int depth, int width, int height);

    XImage* image_ = nullptr;
    XShmSegmentInfo shm_{};
    bool attached_ = false;
    bool pending_ = false; ///< the server may still read the shared image
};

} // namespace platform::x11
