#pragma once
// The window semantics of every backend that keeps its own windows (headless and X11): the
// window tree, bounds, show and hide, the waiting area and the paint loop, capture, focus,
// hover, mouse-key state, double clicks and the order of the mouse messages. A backend derives
// from WindowManager, supplies the system side through the protected hooks (create, map, blit,
// grab, origin) and feeds its input through the protected dispatchers after translating its
// events' fields; the rules themselves are written once, here and in WindowManager.cpp, so a
// test of the headless backend tests what the system backend runs. Windows keeps its own
// window manager and does not use this.

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class MouseButton { Left, Right, Middle };

/// What the window manager keeps of one window; a backend derives its own record from it.
struct WindowState {
    virtual ~WindowState() = default;
    void* parent = nullptr; ///< a foreign handle or one of ours, as given at creation
    WindowState* ourParent = nullptr;
    TRect bounds; ///< in the parent's client coordinates
    bool visible = true;
    /// The system destroyed it with a foreign parent: it gets no paint, capture or mapping.
    bool gone = false;
    WindowSink* sink = nullptr;
    TRect waiting; ///< bounding box of the area waiting for paint
    bool eraseWaiting = false;
    bool painting = false;
    std::size_t paintCount = 0;      ///< WM_PAINT messages delivered
    std::size_t eraseCount = 0;      ///< WM_ERASEBKGND messages delivered
    std::size_t beginPaintCount = 0; ///< beginPaint calls
    int width() const { return bounds.Right - bounds.Left; }
    int height() const { return bounds.Bottom - bounds.Top; }
};

namespace detail {

/// One pointer event as a backend translated it. `under` is the deepest window of ours under
/// the pointer (null: none); `window`, when set, is a window whose client point (x, y) the event
/// already carries, which spares a mapping.
struct PointerEvent {
    WindowHandle under = nullptr;
    int rootX = 0, rootY = 0;
    WindowHandle window = nullptr;
    int x = 0, y = 0;
};

class WindowManager : public Backend {
public:
    ~WindowManager() override;

    WindowHandle createChildWindow(void* parent, const TRect& bounds, WindowSink* sink,
                                   std::string& error) override;
    void destroyWindow(WindowHandle window) override;
    void setWindowBounds(WindowHandle window, const TRect& bounds) override;
    void showWindow(WindowHandle window, bool visible) override;
    void invalidateRect(WindowHandle window, const TRect* rect, bool erase) override;
    void validateRect(WindowHandle window, const TRect& rect) override;
    void updateWindow(WindowHandle window) override;
    TRect beginPaint(WindowHandle window) override;
    void endPaint(WindowHandle window) override;
    void blitToWindow(WindowHandle window, const TRect& rect, PixelSurface* source, int sourceX,
                      int sourceY) override;
    bool blit8BitToWindow(WindowHandle window, const TRect& rect, const std::uint8_t* indices,
                          const std::uint32_t* colours, int colourCount) override;
    void setCapture(WindowHandle window) override;
    void releaseCapture() override;
    WindowHandle captureWindow() override { return capture_; }
    void clientToScreen(WindowHandle window, int& x, int& y) override;
    void screenToClient(WindowHandle window, int& x, int& y) override;
    WindowHandle windowFromPoint(int x, int y) override;
    void setFocus(WindowHandle window) override;
    WindowHandle focusedWindow() override { return focus_; }
    bool isKeyDown(int virtualKey) override;

    /// Deliver WM_PAINT to every window with a waiting area, parents first, until none waits
    /// (a paint that keeps invalidating stops after a bound).
    void paintWaiting();

    /// A second press of the same button on the same window within this time and within the
    /// distance on each axis arrives as a double click.
    void setDoubleClickTime(std::uint32_t ms) { doubleClickTime_ = ms; }
    void setDoubleClickDistance(int pixels) { doubleClickDistance_ = pixels; }

protected:
    // ---- The system side. Each hook is called for a window of ours that is not gone.

    /// A new window's record with the system's window made, or null with the reason.
    virtual std::unique_ptr<WindowState> makeWindow(void* parent, WindowState* ourParent,
                                                    const TRect& bounds, std::string& error) = 0;
    /// Release the system's window of a record leaving the list (gone ones too).
    virtual void releaseWindow(WindowState& window) = 0;
    /// The record's bounds changed (from a size of oldWidth x oldHeight).
    virtual void boundsChanged(WindowState&, int /*oldWidth*/, int /*oldHeight*/) {}
    virtual void visibilityChanged(WindowState&) {}
    /// The pointer belongs to `window` now (null: to nobody of ours).
    virtual void grabPointer(WindowState*) {}
    virtual void takeKeyboardFocus(WindowState&) {}
    /// Screen position of a window's client origin.
    virtual void clientOrigin(const WindowState& window, int& x, int& y) = 0;
    /// The window's pixels (top row first, `stride` pixels apart) for a blit, or null.
    virtual std::uint32_t* blitPixels(WindowState& window, std::size_t& stride) = 0;
    /// Show what a blit wrote into `rect` of blitPixels.
    virtual void presentBlit(WindowState&, const TRect& /*rect*/) {}
    /// Every blit that reached a window, clipped to its client area (a test's counters).
    virtual void blitArrived(WindowState&, const TRect& /*rect*/, bool /*eightBit*/) {}

    // ---- Input, translated by the backend.

    void pointerMoved(const PointerEvent& event);
    void buttonChanged(const PointerEvent& event, MouseButton button, bool down,
                       std::uint32_t timeMs);
    void wheelTurned(const PointerEvent& event, int delta);
    /// A key (a virtual key code) for the focused window, else `reported`; false when none.
    bool keyChanged(WindowHandle reported, int virtualKey, bool down);
    bool characterTyped(WindowHandle reported, char character);
    /// The pointer is over `window` now (null: none of ours): WM_MOUSELEAVE to the one it left.
    void setHover(WindowHandle window);
    WindowHandle hover() const { return hover_; }
    /// A key's state without a message (modifier state read from a system event).
    void setKeyHeld(int virtualKey, bool held);
    /// The system took the keyboard focus from `window` (WM_KILLFOCUS).
    void focusTaken(WindowHandle window);
    /// The system destroyed `window` with its foreign parent.
    void systemDestroyed(WindowHandle window);

    WindowState* find(const void* handle) const;
    bool showing(const WindowState* window) const;
    const std::vector<std::unique_ptr<WindowState>>& windowList() const { return windows_; }
    void deliver(WindowHandle window, TMessage& message);

private:
    struct LastPress {
        WindowHandle window = nullptr;
        MouseButton button = MouseButton::Left;
        std::uint32_t time = 0;
        int x = 0, y = 0;
    };

    WindowHandle windowUnder(int x, int y, void* parent) const;
    void clientPoint(WindowHandle target, const PointerEvent& event, int& x, int& y);
    std::uintptr_t mouseKeys() const;

    std::vector<std::unique_ptr<WindowState>> windows_; // creation order
    WindowHandle capture_ = nullptr;
    WindowHandle focus_ = nullptr;
    WindowHandle hover_ = nullptr;
    LastPress lastPress_;
    bool held_[256] = {};
    std::uint32_t doubleClickTime_ = 500;
    int doubleClickDistance_ = 2;
};

/// Rows of palette indices (top row first, rowWidth bytes each, starting at `from`'s top left)
/// into pixels with `colours` (framework colours) as colour table; indices beyond it are black.
void expandIndexedRows(std::uint32_t* pixels, std::size_t stride, const TRect& rect,
                       const TRect& from, const std::uint8_t* indices, const std::uint32_t* colours,
                       int colourCount);

} // namespace detail

} // namespace platform
