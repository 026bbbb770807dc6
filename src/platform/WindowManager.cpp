#include "platform/WindowManager.h"

#include "platform/WaitingArea.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform::detail {

namespace {

int buttonKey(MouseButton b) {
    return b == MouseButton::Left ? VK_LBUTTON : b == MouseButton::Right ? VK_RBUTTON : VK_MBUTTON;
}

std::uint32_t buttonMessage(MouseButton b, int kind) { // kind 0 down, 1 up, 2 double click
    const std::uint32_t base = b == MouseButton::Left    ? WM_LBUTTONDOWN
                               : b == MouseButton::Right ? WM_RBUTTONDOWN
                                                         : WM_MBUTTONDOWN;
    return base + static_cast<std::uint32_t>(kind);
}

TRect clampedBounds(const TRect& bounds) {
    TRect b = bounds;
    b.Right = std::max(b.Right, b.Left);
    b.Bottom = std::max(b.Bottom, b.Top);
    return b;
}

void waitWhole(WindowState& w) {
    w.waiting = {0, 0, w.width(), w.height()};
    w.eraseWaiting = true;
}

} // namespace

WindowManager::~WindowManager() = default;

WindowState* WindowManager::find(const void* handle) const {
    if (handle == nullptr) return nullptr;
    for (const auto& w : windows_)
        if (w.get() == handle) return w.get();
    return nullptr;
}

bool WindowManager::showing(const WindowState* w) const {
    for (; w != nullptr; w = w->ourParent)
        if (!w->visible) return false;
    return true;
}

void WindowManager::deliver(WindowHandle window, TMessage& message) {
    // The sink may destroy the window: nothing of it is touched afterwards.
    if (WindowState* w = find(window); w != nullptr && w->sink != nullptr)
        w->sink->windowMessage(window, message);
}

// ---- The window tree -------------------------------------------------------------------------

WindowHandle WindowManager::createChildWindow(void* parent, const TRect& bounds, WindowSink* sink,
                                              std::string& error) {
    if (parent == nullptr) {
        error = "A child window needs a parent window";
        return nullptr;
    }
    WindowState* ourParent = find(parent);
    const TRect b = clampedBounds(bounds);
    std::unique_ptr<WindowState> w = makeWindow(parent, ourParent, b, error);
    if (w == nullptr) return nullptr;
    w->parent = parent;
    w->ourParent = ourParent;
    w->bounds = b;
    w->sink = sink;
    waitWhole(*w);
    WindowHandle handle = w.get();
    windows_.push_back(std::move(w));
    return handle;
}

void WindowManager::destroyWindow(WindowHandle window) {
    WindowState* w = find(window);
    if (w == nullptr) return;
    w->sink = nullptr;
    // Children first, newest first.
    for (;;) {
        auto it = std::find_if(windows_.rbegin(), windows_.rend(),
                               [w](const auto& c) { return c->ourParent == w; });
        if (it == windows_.rend()) break;
        destroyWindow(it->get());
    }
    if (capture_ == window) {
        capture_ = nullptr;
        grabPointer(nullptr);
    }
    if (focus_ == window) focus_ = nullptr;
    if (hover_ == window) hover_ = nullptr;
    if (lastPress_.window == window) lastPress_.window = nullptr;
    releaseWindow(*w);
    std::erase_if(windows_, [w](const auto& c) { return c.get() == w; });
}

void WindowManager::setWindowBounds(WindowHandle window, const TRect& bounds) {
    WindowState* w = find(window);
    if (w == nullptr) return;
    const int oldWidth = w->width(), oldHeight = w->height();
    w->bounds = clampedBounds(bounds);
    if (!w->gone) boundsChanged(*w, oldWidth, oldHeight);
    if (w->width() != oldWidth || w->height() != oldHeight) waitWhole(*w);
}

void WindowManager::showWindow(WindowHandle window, bool visible) {
    WindowState* w = find(window);
    if (w == nullptr || w->visible == visible) return;
    w->visible = visible;
    if (!w->gone) visibilityChanged(*w);
    if (visible) waitWhole(*w);
}

// ---- Paint -----------------------------------------------------------------------------------

void WindowManager::invalidateRect(WindowHandle window, const TRect* rect, bool erase) {
    if (WindowState* w = find(window))
        addWaiting(w->waiting, w->eraseWaiting, rect, w->width(), w->height(), erase);
}

void WindowManager::validateRect(WindowHandle window, const TRect& rect) {
    if (WindowState* w = find(window)) removeWaiting(w->waiting, w->eraseWaiting, rect);
}

void WindowManager::updateWindow(WindowHandle window) {
    WindowState* w = find(window);
    if (w == nullptr || w->gone || isEmpty(w->waiting) || !showing(w)) return;
    if (w->eraseWaiting) {
        w->eraseWaiting = false;
        ++w->eraseCount;
        TMessage erase{WM_ERASEBKGND, 0, 0, 0};
        deliver(window, erase);
        if ((w = find(window)) == nullptr) return;
    }
    ++w->paintCount;
    const std::size_t begun = w->beginPaintCount;
    TMessage paint{WM_PAINT, 0, 0, 0};
    deliver(window, paint);
    // A window that ignored the paint is validated, as the system's default handling does.
    if ((w = find(window)) != nullptr && w->beginPaintCount == begun) w->waiting = {};
}

TRect WindowManager::beginPaint(WindowHandle window) {
    WindowState* w = find(window);
    if (w == nullptr) return {};
    const TRect r = w->waiting;
    w->waiting = {};
    w->eraseWaiting = false;
    w->painting = true;
    ++w->beginPaintCount;
    return r;
}

void WindowManager::endPaint(WindowHandle window) {
    if (WindowState* w = find(window)) w->painting = false;
}

void WindowManager::paintWaiting() {
    // A paint that invalidates again (a control enlarging the area) gets further rounds.
    for (int round = 0; round < 16; ++round) {
        bool any = false;
        std::vector<WindowHandle> all;
        all.reserve(windows_.size());
        for (const auto& w : windows_)
            all.push_back(w.get());
        for (WindowHandle handle : all) {
            const WindowState* w = find(handle);
            if (w == nullptr || w->gone || isEmpty(w->waiting) || !showing(w)) continue;
            any = true;
            updateWindow(handle);
        }
        if (!any) return;
    }
}

void WindowManager::blitToWindow(WindowHandle window, const TRect& rect, PixelSurface* source,
                                 int sourceX, int sourceY) {
    WindowState* w = find(window);
    if (w == nullptr || w->gone) return;
    const TRect inWindow = intersect(rect, {0, 0, w->width(), w->height()});
    blitArrived(*w, inWindow, false);
    int sw = 0, sh = 0;
    const std::uint8_t* bits = pixelSurfaceBits(source, sw, sh);
    // Only what lies in the window and in the source.
    const TRect r = intersect(inWindow, {rect.Left - sourceX, rect.Top - sourceY,
                                         rect.Left - sourceX + sw, rect.Top - sourceY + sh});
    if (bits == nullptr || isEmpty(r)) return;
    std::size_t stride = 0;
    std::uint32_t* pixels = blitPixels(*w, stride);
    if (pixels == nullptr) return;
    const auto rowBytes = static_cast<std::size_t>(r.Right - r.Left) * 4;
    for (int y = r.Top; y < r.Bottom; ++y) {
        const int sy = sourceY + (y - rect.Top);
        const int sx = sourceX + (r.Left - rect.Left);
        // Surfaces are bottom-up.
        const std::uint8_t* from =
            bits + (static_cast<std::size_t>(sh - 1 - sy) * static_cast<std::size_t>(sw) +
                    static_cast<std::size_t>(sx)) *
                       4;
        std::memcpy(pixels + static_cast<std::size_t>(y) * stride + r.Left, from, rowBytes);
    }
    presentBlit(*w, r);
}

bool WindowManager::blit8BitToWindow(WindowHandle window, const TRect& rect,
                                     const std::uint8_t* indices, const std::uint32_t* colours,
                                     int colourCount) {
    WindowState* w = find(window);
    if (w == nullptr || w->gone || indices == nullptr || isEmpty(rect)) return false;
    const TRect r = intersect(rect, {0, 0, w->width(), w->height()});
    blitArrived(*w, r, true);
    if (isEmpty(r)) return true;
    std::size_t stride = 0;
    std::uint32_t* pixels = blitPixels(*w, stride);
    if (pixels == nullptr) return false;
    expandIndexedRows(pixels, stride, r, rect, indices, colours, colourCount);
    presentBlit(*w, r);
    return true;
}

void expandIndexedRows(std::uint32_t* pixels, std::size_t stride, const TRect& rect,
                       const TRect& from, const std::uint8_t* indices, const std::uint32_t* colours,
                       int colourCount) {
    const long long rowWidth = static_cast<long long>(from.Right) - from.Left;
    for (int y = rect.Top; y < rect.Bottom; ++y) {
        std::uint32_t* row = pixels + static_cast<std::size_t>(y) * stride;
        for (int x = rect.Left; x < rect.Right; ++x) {
            const std::uint8_t index = indices[(y - from.Top) * rowWidth + (x - from.Left)];
            row[x] = colours != nullptr && index < colourCount ? SwapRedBlue(colours[index]) : 0;
        }
    }
}

// ---- Capture, focus, mapping -----------------------------------------------------------------

void WindowManager::setCapture(WindowHandle window) {
    WindowState* w = find(window);
    if (w == nullptr || w->gone) return;
    WindowHandle old = capture_;
    capture_ = window;
    grabPointer(w);
    if (old != nullptr && old != window) {
        TMessage m{WM_CAPTURECHANGED, 0, reinterpret_cast<std::intptr_t>(window), 0};
        deliver(old, m);
    }
}

void WindowManager::releaseCapture() {
    WindowHandle old = capture_;
    capture_ = nullptr;
    grabPointer(nullptr);
    if (old != nullptr) {
        TMessage m{WM_CAPTURECHANGED, 0, 0, 0};
        deliver(old, m);
    }
}

void WindowManager::setFocus(WindowHandle window) {
    WindowState* w = find(window);
    if ((window != nullptr && w == nullptr) || window == focus_) return;
    WindowHandle old = focus_;
    focus_ = window;
    if (w != nullptr && !w->gone) takeKeyboardFocus(*w);
    if (old != nullptr) {
        TMessage kill{WM_KILLFOCUS, reinterpret_cast<std::uintptr_t>(window), 0, 0};
        deliver(old, kill);
    }
    if (window != nullptr && focus_ == window) {
        TMessage set{WM_SETFOCUS, reinterpret_cast<std::uintptr_t>(old), 0, 0};
        deliver(window, set);
    }
}

void WindowManager::focusTaken(WindowHandle window) {
    if (window == nullptr || window != focus_) return;
    focus_ = nullptr;
    TMessage kill{WM_KILLFOCUS, 0, 0, 0};
    deliver(window, kill);
}

void WindowManager::systemDestroyed(WindowHandle window) {
    WindowState* w = find(window);
    if (w == nullptr) return;
    w->gone = true;
    if (capture_ == window) capture_ = nullptr;
    if (hover_ == window) hover_ = nullptr;
}

void WindowManager::clientToScreen(WindowHandle window, int& x, int& y) {
    const WindowState* w = find(window);
    if (w == nullptr || w->gone) return;
    int ox = 0, oy = 0;
    clientOrigin(*w, ox, oy);
    x += ox;
    y += oy;
}

void WindowManager::screenToClient(WindowHandle window, int& x, int& y) {
    const WindowState* w = find(window);
    if (w == nullptr || w->gone) return;
    int ox = 0, oy = 0;
    clientOrigin(*w, ox, oy);
    x -= ox;
    y -= oy;
}

// The deepest showing window under a screen point among the children of `parent` (null: the
// windows with a foreign parent); later windows lie on top of earlier siblings.
WindowHandle WindowManager::windowUnder(int x, int y, void* parent) const {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        WindowState* w = it->get();
        if (w->ourParent != parent || !w->visible || w->gone) continue;
        int ox = 0, oy = 0;
        const_cast<WindowManager*>(this)->clientOrigin(*w, ox, oy);
        if (x < ox || y < oy || x >= ox + w->width() || y >= oy + w->height()) continue;
        WindowHandle inner = windowUnder(x, y, w);
        return inner != nullptr ? inner : w;
    }
    return nullptr;
}

WindowHandle WindowManager::windowFromPoint(int x, int y) {
    return windowUnder(x, y, nullptr);
}

// ---- Input -----------------------------------------------------------------------------------

bool WindowManager::isKeyDown(int virtualKey) {
    return virtualKey > 0 && virtualKey < 256 && held_[virtualKey];
}

void WindowManager::setKeyHeld(int virtualKey, bool held) {
    if (virtualKey > 0 && virtualKey < 256) held_[virtualKey] = held;
}

std::uintptr_t WindowManager::mouseKeys() const {
    std::uintptr_t keys = 0;
    if (held_[VK_LBUTTON]) keys |= MK_LBUTTON;
    if (held_[VK_RBUTTON]) keys |= MK_RBUTTON;
    if (held_[VK_MBUTTON]) keys |= MK_MBUTTON;
    if (held_[VK_SHIFT]) keys |= MK_SHIFT;
    if (held_[VK_CONTROL]) keys |= MK_CONTROL;
    return keys;
}

void WindowManager::clientPoint(WindowHandle target, const PointerEvent& event, int& x, int& y) {
    if (target == event.window) {
        x = event.x;
        y = event.y;
        return;
    }
    x = event.rootX;
    y = event.rootY;
    screenToClient(target, x, y);
}

void WindowManager::setHover(WindowHandle window) {
    if (hover_ == window) return;
    WindowHandle left = hover_;
    hover_ = window;
    if (left != nullptr) {
        TMessage leave{WM_MOUSELEAVE, 0, 0, 0};
        deliver(left, leave);
    }
}

void WindowManager::pointerMoved(const PointerEvent& event) {
    setHover(event.under);
    // Mouse messages go to the capture, else to the window under the pointer.
    WindowHandle target = capture_ != nullptr ? capture_ : event.under;
    if (find(target) == nullptr) return;
    if (capture_ == nullptr) {
        TMessage setCursor{WM_SETCURSOR, reinterpret_cast<std::uintptr_t>(target),
                           static_cast<std::intptr_t>(HTCLIENT | (WM_MOUSEMOVE << 16)), 0};
        deliver(target, setCursor);
        if (find(target) == nullptr) return;
    }
    int x = 0, y = 0;
    clientPoint(target, event, x, y);
    TMessage move{WM_MOUSEMOVE, mouseKeys(), MakeLParam(x, y), 0};
    deliver(target, move);
}

void WindowManager::buttonChanged(const PointerEvent& event, MouseButton button, bool down,
                                  std::uint32_t timeMs) {
    held_[buttonKey(button)] = down;
    WindowHandle target = capture_ != nullptr ? capture_ : event.under;
    if (find(target) == nullptr) return;
    int kind = down ? 0 : 1;
    if (down) {
        LastPress& last = lastPress_;
        const bool isDouble = last.window == target && last.button == button &&
                              static_cast<std::uint32_t>(timeMs - last.time) <= doubleClickTime_ &&
                              std::abs(event.rootX - last.x) <= doubleClickDistance_ &&
                              std::abs(event.rootY - last.y) <= doubleClickDistance_;
        if (isDouble) {
            kind = 2;
            last.window = nullptr;
        } else {
            last = {target, button, timeMs, event.rootX, event.rootY};
        }
    }
    int x = 0, y = 0;
    clientPoint(target, event, x, y);
    TMessage m{buttonMessage(button, kind), mouseKeys(), MakeLParam(x, y), 0};
    deliver(target, m);
}

void WindowManager::wheelTurned(const PointerEvent& event, int delta) {
    WindowHandle target = capture_ != nullptr ? capture_ : event.under;
    const auto wParam =
        (static_cast<std::uintptr_t>(static_cast<std::uint16_t>(delta)) << 16) | mouseKeys();
    TMessage m{WM_MOUSEWHEEL, wParam, MakeLParam(event.rootX, event.rootY), 0};
    deliver(target, m);
}

bool WindowManager::keyChanged(WindowHandle reported, int virtualKey, bool down) {
    if (virtualKey <= 0 || virtualKey >= 256) return false;
    // Alt counts as held for its own press and its own release, as the system reports them.
    if (down) held_[virtualKey] = true;
    const bool alt = held_[VK_MENU];
    if (!down) held_[virtualKey] = false;
    WindowHandle target = focus_ != nullptr ? focus_ : reported;
    if (find(target) == nullptr) return false;
    TMessage m{down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP),
               static_cast<std::uintptr_t>(virtualKey), 1 | (alt ? KF_ALTDOWN_LPARAM : 0), 0};
    deliver(target, m);
    return true;
}

bool WindowManager::characterTyped(WindowHandle reported, char character) {
    WindowHandle target = focus_ != nullptr ? focus_ : reported;
    if (find(target) == nullptr) return false;
    const bool alt = held_[VK_MENU];
    TMessage m{alt ? WM_SYSCHAR : WM_CHAR,
               static_cast<std::uintptr_t>(static_cast<unsigned char>(character)),
               1 | (alt ? KF_ALTDOWN_LPARAM : 0), 0};
    deliver(target, m);
    return true;
}

} // namespace platform::detail
