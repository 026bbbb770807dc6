#pragma once
// What the control classes share of the pointer's state, and nobody else: the files of the
// controls include this, users of controls go through Controls.h. User-interface thread only.

#include "runtime/Controls.h"

namespace runtime::detail {

inline platform::Backend& system() {
    return platform::backend();
}

inline TPoint messagePoint(const TMessage& m) {
    return {LParamX(m.LParam), LParamY(m.LParam)};
}

/// Makes `control` the one the pointer is in: the one before gets CM_MOUSELEAVE, then
/// `control` CM_MOUSEENTER (unless the leave handler moved on already).
void SetMouseControl(TControl* control);
/// Forgets the control the pointer is in, without notices: it is going away.
void ForgetMouseControl();
/// The control under the pointer now (disabled ones too), or null.
TControl* ControlUnderPointer();
/// Forgets the control holding the capture without releasing the platform's: its window has
/// lost the capture already.
void DropCapture();
/// FindControl answers `control` for `window` from now on, until it is unregistered.
void RegisterWindow(platform::WindowHandle window, TWinControl* control);
void UnregisterWindow(platform::WindowHandle window);

} // namespace runtime::detail
