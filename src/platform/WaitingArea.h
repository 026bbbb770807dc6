#pragma once
// The area of a window waiting to be painted, for backends that keep it themselves (Windows
// keeps its own). One box: the toolkit composes one rectangle per paint anyway.

#include "platform/Geometry.h"

#include <algorithm>

namespace platform::detail {

/// Adds `rect` (null: the whole client area) clipped to a client area of w x h.
inline void addWaiting(TRect& waiting, bool& eraseWaiting, const TRect* rect, int w, int h,
                       bool erase) {
    const TRect client{0, 0, w, h};
    const TRect r = rect != nullptr ? intersect(*rect, client) : client;
    if (isEmpty(r)) return;
    waiting = unite(waiting, r);
    eraseWaiting = eraseWaiting || erase;
}

/// Takes `rect` out where one box remains: a validated band across a whole side shrinks it.
inline void removeWaiting(TRect& waiting, bool& eraseWaiting, const TRect& rect) {
    if (isEmpty(waiting)) return;
    TRect& r = waiting;
    if (rect.Left <= r.Left && rect.Right >= r.Right) {
        if (rect.Top <= r.Top && rect.Bottom > r.Top)
            r.Top = std::min(rect.Bottom, r.Bottom);
        else if (rect.Bottom >= r.Bottom && rect.Top < r.Bottom)
            r.Bottom = std::max(rect.Top, r.Top);
    } else if (rect.Top <= r.Top && rect.Bottom >= r.Bottom) {
        if (rect.Left <= r.Left && rect.Right > r.Left)
            r.Left = std::min(rect.Right, r.Right);
        else if (rect.Right >= r.Right && rect.Left < r.Right)
            r.Right = std::max(rect.Left, r.Left);
    }
    if (isEmpty(r)) {
        r = {};
        eraseWaiting = false;
    }
}

} // namespace platform::detail
