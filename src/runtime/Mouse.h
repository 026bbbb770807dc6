#pragma once
// The pointer for controls that move or hide it themselves: a knob keeps it still and out of
// sight while it is dragged. User-interface thread; positions are screen coordinates.

#include "platform/Platform.h"
#include "runtime/Canvas.h"

namespace runtime {

/// The pointer's screen position.
inline TPoint CursorPos() {
    TPoint point;
    platform::backend().cursorPos(point.X, point.Y);
    return point;
}

/// Moves the pointer to a screen position.
inline void SetCursorPos(TPoint point) {
    platform::backend().setCursorPos(point.X, point.Y);
}

/// Hides (false) or shows (true) the pointer, counted as the system counts: it is visible while
/// the count is >= 0. Answers the new count.
inline int ShowCursor(bool show) {
    return platform::backend().showCursor(show);
}

} // namespace runtime
