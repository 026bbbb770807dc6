#pragma once
// The Linux system backend with real windows on an X server. The host's idle calls drive it:
// idle() drains our own connection without blocking, runs due timers and paints. No thread of
// ours, no XInitThreads; an error trap of ours is installed only around our own requests. This
// backend creates, maps and blits windows and translates X events into the window manager's
// input; the rules are the window manager's, and menus and boxes are the drawn ones.

#include "platform/WindowManager.h"
#include "platform/posix/MonotonicTimers.h"
#include "platform/x11/X11Image.h"

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform::x11 {

/// One window of ours: the window manager's record with its X window and picture.
struct XWindowState : WindowState {
    Window id = 0;
    X11Image image;
};

class X11Backend final : public detail::MonotonicTimers<detail::WindowManager> {
public:
    ~X11Backend() override;

    void idle() override;
    void destroyWindow(WindowHandle window) override;
    int displayBitsPerPixel() override { return display_ != nullptr && depth_ < 24 ? depth_ : 32; }
    void cursorPos(int& x, int& y) override;
    void setCursorPos(int x, int y) override;
    int showCursor(bool show) override;
    void setCursorShape(int cursor) override { cursorShape_ = cursor; }
    int trackPopupMenu(WindowHandle owner, int x, int y, const std::vector<MenuEntry>& items,
                       int percent) override;
    int messageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                   std::uint32_t flags, int percent) override;
    bool shellOpen(WindowHandle owner, const std::string& address) override;
    double displayScale(void* parent) override;

    // For the drawn popups' modal loop.
    Display* ensureDisplay();
    void releaseDisplay() { closeDisplayIfUnused(); }
    Window rootWindow() const { return root_; }
    Visual* visual() const { return visual_; }
    int depth() const { return depth_; }
    int screen() const { return screen_; }
    /// The X window of one of ours, 0 for others and gone ones.
    Window idOf(WindowHandle window) const;
    void* nativeWindow(WindowHandle window) override {
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(idOf(window)));
    }
    /// An event for our windows while a popup is up: the editor keeps painting.
    void dispatch(XEvent& event);
    /// What an idle call does besides reading events.
    void afterModalStep();

protected:
    std::unique_ptr<WindowState> makeWindow(void* parent, WindowState* ourParent,
                                            const TRect& bounds, std::string& error) override;
    void releaseWindow(WindowState& window) override;
    void boundsChanged(WindowState& window, int oldWidth, int oldHeight) override;
    void visibilityChanged(WindowState& window) override;
    void grabPointer(WindowState* window) override;
    void takeKeyboardFocus(WindowState& window) override;
    void clientOrigin(const WindowState& window, int& x, int& y) override;
    std::uint32_t* blitPixels(WindowState& window, std::size_t& stride) override;
    void presentBlit(WindowState& window, const TRect& rect) override;

private:
    bool openDisplay(std::string& error);
    void closeDisplayIfUnused();
    Cursor blankCursor();
    XWindowState* findId(Window id) const;
    void reapChildren();
    void drainEvents();
    /// Modifier and button state as an X event reports it (before the event).
    void syncModifiers(unsigned state);
    detail::PointerEvent pointerEvent(XWindowState* w, int rootX, int rootY, int x, int y);
    void buttonEvent(const XButtonEvent& b, XWindowState* w);
    void keyEvent(XKeyEvent& key, XWindowState* w);

    Display* display_ = nullptr;
    int screen_ = 0;
    Window root_ = 0;
    Visual* visual_ = nullptr;
    int depth_ = 24;
    ShmSupport shm_;
    Cursor blank_ = 0;
    bool warpPending_ = false;
    int warpX_ = 0, warpY_ = 0;
    int cursorCount_ = 0;
    int cursorShape_ = 0;
    std::vector<pid_t> children_;
};

} // namespace platform::x11
