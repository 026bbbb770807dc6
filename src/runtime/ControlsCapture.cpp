// Which control holds the mouse capture, which one the pointer is in, and which control owns
// which platform window.
#include "runtime/ControlsCapture.h"

#include <map>

namespace runtime {

namespace {

// User-interface thread only, like the windows.
TControl* captureControl = nullptr;
TControl* mouseControl = nullptr;

std::map<platform::WindowHandle, TWinControl*>& windowControls() {
    static std::map<platform::WindowHandle, TWinControl*> all;
    return all;
}

} // namespace

namespace detail {

void SetMouseControl(TControl* control) {
    if (control == mouseControl) return;
    TControl* left = mouseControl;
    mouseControl = control;
    if (left != nullptr) left->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<std::intptr_t>(left));
    // The leave handler may have moved on already.
    if (control != nullptr && mouseControl == control)
        control->Perform(CM_MOUSEENTER, 0, reinterpret_cast<std::intptr_t>(control));
}

void ForgetMouseControl() {
    mouseControl = nullptr;
}

TControl* ControlUnderPointer() {
    int x = 0, y = 0;
    system().cursorPos(x, y);
    return FindDragTarget({x, y}, true);
}

void DropCapture() {
    captureControl = nullptr;
}

void RegisterWindow(platform::WindowHandle window, TWinControl* control) {
    windowControls()[window] = control;
}

void UnregisterWindow(platform::WindowHandle window) {
    windowControls().erase(window);
}

} // namespace detail

TControl* GetCaptureControl() {
    return captureControl;
}

void SetCaptureControl(TControl* control) {
    if (control == nullptr) {
        if (captureControl == nullptr) return;
        captureControl = nullptr;
        detail::system().releaseCapture();
        return;
    }
    auto* window = dynamic_cast<TWinControl*>(control);
    if (window == nullptr) window = control->Parent();
    // A control without a window cannot hold the platform's capture.
    if (window == nullptr || !window->HandleAllocated()) return;
    const platform::WindowHandle handle = window->Handle();
    // The window losing the capture drops its own control first.
    if (detail::system().captureWindow() != handle) detail::system().setCapture(handle);
    captureControl = control;
}

TWinControl* FindControl(platform::WindowHandle window) {
    const auto it = windowControls().find(window);
    return it != windowControls().end() ? it->second : nullptr;
}

TControl* FindDragTarget(TPoint screenPos, bool allowDisabled) {
    TWinControl* window = FindControl(detail::system().windowFromPoint(screenPos.X, screenPos.Y));
    if (window == nullptr) return nullptr;
    TControl* child = window->ControlAtPos(window->ScreenToClient(screenPos), allowDisabled);
    return child != nullptr ? child : window;
}

TControl* MouseControl() {
    return mouseControl;
}

} // namespace runtime
