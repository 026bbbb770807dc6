#include "platform/WaitingArea.h"
#include "platform/headless/Headless.h"

#include <algorithm>
#include <cstdlib>
#include <variant>

namespace platform {

namespace {

// An answer queued for the next menu: an id, or a path of captions.
using MenuAnswer = std::variant<int, std::vector<std::string>>;

const MenuEntry* findById(const std::vector<MenuEntry>& items, int id) {
    for (const MenuEntry& e : items) {
        if (!e.separator && e.items.empty() && e.id == id) return &e;
        if (const MenuEntry* inner = findById(e.items, id)) return inner;
    }
    return nullptr;
}

int findByPath(const std::vector<MenuEntry>& items, const std::vector<std::string>& path,
               std::size_t depth) {
    if (depth >= path.size()) return 0;
    for (const MenuEntry& e : items) {
        if (e.separator || !e.enabled || e.caption != path[depth]) continue;
        if (depth + 1 == path.size()) return e.items.empty() ? e.id : 0;
        return findByPath(e.items, path, depth + 1);
    }
    return 0;
}

} // namespace

struct HeadlessBackend::Impl {
    std::vector<std::unique_ptr<HeadlessWindow>> windows; // creation order
    int pointerX = 0, pointerY = 0;
    bool held[256] = {};
    WindowHandle hover = nullptr;
    int foreignX = 0, foreignY = 0;
    struct LastPress {
        WindowHandle window = nullptr;
        MouseButton button = MouseButton::Left;
        std::uint64_t time = 0;
        int x = 0, y = 0;
        bool valid = false;
    } lastPress;
    std::deque<MenuAnswer> menuAnswers;
    std::function<int(const ShownMenu&)> menuAnswerer;

    HeadlessWindow* find(WindowHandle handle) const {
        for (const auto& w : windows)
            if (w.get() == handle) return w.get();
        return nullptr;
    }
    bool isOurs(const void* handle) const { return find(const_cast<void*>(handle)) != nullptr; }

    // Screen position of a window's client origin.
    void origin(const HeadlessWindow* w, int& x, int& y) const {
        x = w->bounds.Left;
        y = w->bounds.Top;
        for (const HeadlessWindow* p = find(w->parent); p != nullptr; p = find(p->parent)) {
            x += p->bounds.Left;
            y += p->bounds.Top;
            if (!isOurs(p->parent)) {
                x += foreignX;
                y += foreignY;
                return;
            }
        }
        if (!isOurs(w->parent)) {
            x += foreignX;
            y += foreignY;
        }
    }

    bool showing(const HeadlessWindow* w) const {
        for (; w != nullptr; w = find(w->parent))
            if (!w->visible) return false;
        return true;
    }

    // The deepest showing window containing the screen point; later windows lie on top.
    WindowHandle at(int x, int y, void* parent) const {
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            HeadlessWindow* w = it->get();
            if (w->parent != parent || !w->visible) continue;
            int ox = 0, oy = 0;
            origin(w, ox, oy);
            if (x < ox || y < oy || x >= ox + w->width() || y >= oy + w->height()) continue;
            WindowHandle inner = at(x, y, w);
            return inner != nullptr ? inner : w;
        }
        return nullptr;
    }

    WindowHandle windowAt(int x, int y) const {
        // Windows under foreign parents first (newest on top), then descend.
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            HeadlessWindow* w = it->get();
            if (isOurs(w->parent) || !w->visible) continue;
            int ox = 0, oy = 0;
            origin(w, ox, oy);
            if (x < ox || y < oy || x >= ox + w->width() || y >= oy + w->height()) continue;
            WindowHandle inner = at(x, y, w);
            return inner != nullptr ? inner : w;
        }
        return nullptr;
    }

    std::uintptr_t mouseKeys() const {
        std::uintptr_t keys = 0;
        if (held[VK_LBUTTON]) keys |= MK_LBUTTON;
        if (held[VK_RBUTTON]) keys |= MK_RBUTTON;
        if (held[VK_MBUTTON]) keys |= MK_MBUTTON;
        if (held[VK_SHIFT]) keys |= MK_SHIFT;
        if (held[VK_CONTROL]) keys |= MK_CONTROL;
        return keys;
    }
};

HeadlessBackend::HeadlessBackend() : impl_(std::make_unique<Impl>()) {}

HeadlessBackend::~HeadlessBackend() = default;

// ---- Time ------------------------------------------------------------------------------------

std::uint32_t HeadlessBackend::tickCount() {
    return static_cast<std::uint32_t>(now_.load(std::memory_order_relaxed));
}

TimerId HeadlessBackend::startTimer(std::uint32_t intervalMs, std::function<void()> onTick) {
    if (intervalMs == 0 || !onTick || timers_.size() >= timerLimit_) return 0;
    const TimerId id = detail::nextTimerId();
    timers_.start(id, intervalMs, now_.load(std::memory_order_relaxed), std::move(onTick));
    return id;
}

void HeadlessBackend::stopTimer(TimerId id) {
    timers_.stop(id);
}

void HeadlessBackend::runDueTimers() {}

void HeadlessBackend::stopAllTimers() {
    timers_.clear();
}

void HeadlessBackend::advanceClock(std::uint32_t ms) {
    const std::uint64_t target = now_.load(std::memory_order_relaxed) + ms;
    // Step through each due time so that a tick reading tickCount sees its own moment.
    for (;;) {
        const std::uint64_t now = now_.load(std::memory_order_relaxed);
        if (now >= target) break;
        now_.store(now + 1, std::memory_order_relaxed);
        timers_.runUntil(now + 1, true);
    }
    if (autoPaint_) paintWaiting();
}

std::size_t HeadlessBackend::activeTimerCount() const {
    return timers_.size();
}

void HeadlessBackend::setTimerLimit(std::size_t limit) {
    timerLimit_ = limit;
}

// ---- Windows -----------------------------------------------------------------------------

namespace {

void deliver(HeadlessWindow* w, WindowHandle handle, TMessage& message) {
    // The sink may destroy the window: nothing of it is touched afterwards.
    if (w != nullptr && w->sink != nullptr) w->sink->windowMessage(handle, message);
}

} // namespace

WindowHandle HeadlessBackend::createChildWindow(void* parent, const TRect& bounds, WindowSink* sink,
                                                std::string& error) {
    if (refuseWindows_) {
        error = "The headless backend refuses windows (setRefuseWindows)";
        return nullptr;
    }
    if (parent == nullptr) {
        error = "A child window needs a parent window";
        return nullptr;
    }
    auto w = std::make_unique<HeadlessWindow>();
    w->parent = parent;
    w->bounds = bounds;
    if (w->bounds.Right < w->bounds.Left) w->bounds.Right = w->bounds.Left;
    if (w->bounds.Bottom < w->bounds.Top) w->bounds.Bottom = w->bounds.Top;
    w->pixels.assign(static_cast<std::size_t>(w->width()) * w->height(), 0);
    w->sink = sink;
    w->waiting = {0, 0, w->width(), w->height()};
    w->eraseWaiting = true;
    WindowHandle handle = w.get();
    impl_->windows.push_back(std::move(w));
    return handle;
}

void HeadlessBackend::destroyWindow(WindowHandle window) {
    HeadlessWindow* w = impl_->find(window);
    if (w == nullptr) return;
    w->sink = nullptr;
    // Children first, newest first.
    for (;;) {
        auto it = std::find_if(impl_->windows.rbegin(), impl_->windows.rend(),
                               [window](const auto& c) { return c->parent == window; });
        if (it == impl_->windows.rend()) break;
        destroyWindow(it->get());
    }
    if (capture_ == window) capture_ = nullptr;
    if (focus_ == window) focus_ = nullptr;
    if (impl_->hover == window) impl_->hover = nullptr;
    if (impl_->lastPress.window == window) impl_->lastPress.valid = false;
    std::erase_if(impl_->windows, [window](const auto& c) { return c.get() == window; });
}

void HeadlessBackend::setWindowBounds(WindowHandle window, const TRect& bounds) {
    HeadlessWindow* w = impl_->find(window);
    if (w == nullptr) return;
    TRect b = bounds;
    if (b.Right < b.Left) b.Right = b.Left;
    if (b.Bottom < b.Top) b.Bottom = b.Top;
    const int oldW = w->width(), oldH = w->height();
    w->bounds = b;
    if (w->width() != oldW || w->height() != oldH) {
        // Keep what overlaps, as a resized window keeps its top left content.
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w->width()) * w->height(), 0);
        for (int y = 0; y < std::min(oldH, w->height()); ++y)
            for (int x = 0; x < std::min(oldW, w->width()); ++x)
                pixels[static_cast<std::size_t>(y) * w->width() + x] =
                    w->pixels[static_cast<std::size_t>(y) * oldW + x];
        w->pixels = std::move(pixels);
        w->waiting = {0, 0, w->width(), w->height()};
        w->eraseWaiting = true;
    }
}

void HeadlessBackend::showWindow(WindowHandle window, bool visible) {
    HeadlessWindow* w = impl_->find(window);
    if (w == nullptr || w->visible == visible) return;
    w->visible = visible;
    if (visible) {
        w->waiting = {0, 0, w->width(), w->height()};
        w->eraseWaiting = true;
    }
}

void HeadlessBackend::invalidateRect(WindowHandle window, const TRect* rect, bool erase) {
    if (HeadlessWindow* w = impl_->find(window))
        detail::addWaiting(w->waiting, w->eraseWaiting, rect, w->width(), w->height(), erase);
}

void HeadlessBackend::validateRect(WindowHandle window, const TRect& rect) {
    if (HeadlessWindow* w = impl_->find(window))
        detail::removeWaiting(w->waiting, w->eraseWaiting, rect);
}

void HeadlessBackend::updateWindow(WindowHandle window) {
    HeadlessWindow* w = impl_->find(window);
    if (w == nullptr || isEmpty(w->waiting) || !impl_->showing(w)) return;
    if (w->eraseWaiting) {
        w->eraseWaiting = false;
        ++w->eraseCount;
        TMessage erase{WM_ERASEBKGND, 0, 0, 0};
        deliver(w, window, erase);
        w = impl_->find(window);
        if (w == nullptr) return;
    }
    ++w->paintCount;
    const std::size_t begun = w->beginPaintCount;
    TMessage paint{WM_PAINT, 0, 0, 0};
    deliver(w, window, paint);
    // A window that ignored the paint is validated, as the system's default handling does.
    if ((w = impl_->find(window)) != nullptr && w->beginPaintCount == begun) w->waiting = {};
}

TRect HeadlessBackend::beginPaint(WindowHandle window) {
    HeadlessWindow* w = impl_->find(window);
    if (w == nullptr) return {};
    const TRect r = w->waiting;
    w->waiting = {};
    w->eraseWaiting = false;
    w->painting = true;
    ++w->beginPaintCount;
    return r;
}

void HeadlessBackend::endPaint(WindowHandle window) {
    if (HeadlessWindow* w = impl_->find(window)) w->painting = false;
}

void HeadlessBackend::blitToWindow(WindowHandle window, const TRect& rect, PixelSurface* source,
                                   int sourceX, int sourceY) {
    HeadlessWindow* w = impl_->find(window);
    if (w == nullptr) return;
    const TRect r = intersect(rect, {0, 0, w->width(), w->height()});
    ++w->blitCount;
    w->blitRects.push_back(r);
    int sw = 0, sh = 0;
    const std::uint8_t* bits = pixelSurfaceBits(source, sw, sh);
    if (bits == nullptr || isEmpty(r)) return;
    for (int y = r.Top; y < r.Bottom; ++y) {
        const long long sy = static_cast<long long>(sourceY) + (y - rect.Top);
        if (sy < 0 || sy >= sh) continue;
        const auto* row = reinterpret_cast<const std::uint32_t*>(bits) +
                          static_cast<std::size_t>(sh - 1 - sy) * static_cast<std::size_t>(sw);
        for (int x = r.Left; x < r.Right; ++x) {
            const long long sx = static_cast<long long>(sourceX) + (x - rect.Left);
            if (sx < 0 || sx >= sw) continue;
            w->pixels[static_cast<std::size_t>(y) * w->width() + x] = row[sx];
        }
    }
}

bool HeadlessBackend::blit8BitToWindow(WindowHandle window, const TRect& rect,
                                       const std::uint8_t* indices, const std::uint32_t* colours,
                                       int colourCount) {
    HeadlessWindow* w = impl_->find(window);
    if (w == nullptr || indices == nullptr || isEmpty(rect)) return false;
    const TRect r = intersect(rect, {0, 0, w->width(), w->height()});
    ++w->blitCount;
    ++w->blit8BitCount;
    w->blitRects.push_back(r);
    const long long rowWidth = static_cast<long long>(rect.Right) - rect.Left;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) {
            const std::uint8_t index = indices[(y - rect.Top) * rowWidth + (x - rect.Left)];
            const std::uint32_t colour =
                colours != nullptr && index < colourCount ? colours[index] : 0;
            w->pixels[static_cast<std::size_t>(y) * w->width() + x] = SwapRedBlue(colour);
        }
    return true;
}

void HeadlessBackend::setCapture(WindowHandle window) {
    if (impl_->find(window) == nullptr) return;
    WindowHandle old = capture_;
    capture_ = window;
    if (old != nullptr && old != window) {
        TMessage m{WM_CAPTURECHANGED, 0, reinterpret_cast<std::intptr_t>(window), 0};
        deliver(impl_->find(old), old, m);
    }
}

void HeadlessBackend::releaseCapture() {
    WindowHandle old = capture_;
    capture_ = nullptr;
    if (old != nullptr) {
        TMessage m{WM_CAPTURECHANGED, 0, 0, 0};
        deliver(impl_->find(old), old, m);
    }
}

void HeadlessBackend::cursorPos(int& x, int& y) {
    x = impl_->pointerX;
    y = impl_->pointerY;
}

void HeadlessBackend::setCursorPos(int x, int y) {
    impl_->pointerX = x;
    impl_->pointerY = y;
    ++setCursorPosCount_;
}

int HeadlessBackend::showCursor(bool show) {
    if (show) {
        ++showRequests_;
        return ++cursorCount_;
    }
    ++hideRequests_;
    return --cursorCount_;
}

void HeadlessBackend::clientToScreen(WindowHandle window, int& x, int& y) {
    const HeadlessWindow* w = impl_->find(window);
    if (w == nullptr) return;
    int ox = 0, oy = 0;
    impl_->origin(w, ox, oy);
    x += ox;
    y += oy;
}

void HeadlessBackend::screenToClient(WindowHandle window, int& x, int& y) {
    const HeadlessWindow* w = impl_->find(window);
    if (w == nullptr) return;
    int ox = 0, oy = 0;
    impl_->origin(w, ox, oy);
    x -= ox;
    y -= oy;
}

WindowHandle HeadlessBackend::windowFromPoint(int x, int y) {
    return impl_->windowAt(x, y);
}

void HeadlessBackend::setFocus(WindowHandle window) {
    if (window != nullptr && impl_->find(window) == nullptr) return;
    if (window == focus_) return;
    WindowHandle old = focus_;
    focus_ = window;
    if (old != nullptr) {
        TMessage kill{WM_KILLFOCUS, reinterpret_cast<std::uintptr_t>(window), 0, 0};
        deliver(impl_->find(old), old, kill);
    }
    if (window != nullptr && focus_ == window) {
        TMessage set{WM_SETFOCUS, reinterpret_cast<std::uintptr_t>(old), 0, 0};
        deliver(impl_->find(window), window, set);
    }
}

bool HeadlessBackend::isKeyDown(int virtualKey) {
    return virtualKey > 0 && virtualKey < 256 && impl_->held[virtualKey];
}

int HeadlessBackend::trackPopupMenu(WindowHandle owner, int x, int y,
                                    const std::vector<MenuEntry>& items) {
    menus_.push_back({owner, x, y, items});
    const ShownMenu& shown = menus_.back();
    int id = 0;
    if (!impl_->menuAnswers.empty()) {
        const MenuAnswer answer = std::move(impl_->menuAnswers.front());
        impl_->menuAnswers.pop_front();
        if (const int* queued = std::get_if<int>(&answer))
            id = *queued;
        else
            id = findByPath(shown.items, std::get<std::vector<std::string>>(answer), 0);
    } else if (impl_->menuAnswerer) {
        id = impl_->menuAnswerer(shown);
    }
    // A real menu can only answer one of its own enabled items.
    const MenuEntry* chosen = findById(menus_.back().items, id);
    return chosen != nullptr && chosen->enabled ? id : 0;
}

int HeadlessBackend::messageBox(WindowHandle owner, const std::string& text,
                                const std::string& caption, std::uint32_t flags) {
    boxes_.push_back({owner, text, caption, flags});
    if (boxAnswers_.empty()) return IDOK;
    const int answer = boxAnswers_.front();
    boxAnswers_.pop_front();
    return answer;
}

bool HeadlessBackend::shellOpen(WindowHandle, const std::string& address) {
    shellRequests_.push_back(address);
    return shellAnswer_;
}

// ---- Test side -----------------------------------------------------------------------------

std::vector<WindowHandle> HeadlessBackend::windows() const {
    std::vector<WindowHandle> all;
    for (const auto& w : impl_->windows)
        all.push_back(w.get());
    return all;
}

const HeadlessWindow* HeadlessBackend::window(WindowHandle handle) const {
    return impl_->find(handle);
}

std::uint32_t HeadlessBackend::pixel(WindowHandle window, int x, int y) const {
    const HeadlessWindow* w = impl_->find(window);
    if (w == nullptr || x < 0 || y < 0 || x >= w->width() || y >= w->height()) return 0;
    return w->pixels[static_cast<std::size_t>(y) * w->width() + x];
}

void HeadlessBackend::resetBlitCounts() {
    for (auto& w : impl_->windows) {
        w->blitCount = w->blit8BitCount = 0;
        w->blitRects.clear();
        w->paintCount = w->eraseCount = w->beginPaintCount = 0;
    }
}

void HeadlessBackend::setForeignParentOrigin(int x, int y) {
    impl_->foreignX = x;
    impl_->foreignY = y;
}

void HeadlessBackend::paintWaiting() {
    // A paint that invalidates again (a control enlarging the area) gets further rounds.
    for (int round = 0; round < 16; ++round) {
        bool any = false;
        for (WindowHandle handle : windows()) {
            const HeadlessWindow* w = impl_->find(handle);
            if (w == nullptr || isEmpty(w->waiting) || !impl_->showing(w)) continue;
            any = true;
            updateWindow(handle);
        }
        if (!any) return;
    }
}

void HeadlessBackend::screenPoint(WindowHandle window, int clientX, int clientY, int& x, int& y) {
    x = clientX;
    y = clientY;
    clientToScreen(window, x, y);
}

void HeadlessBackend::mouseMove(int x, int y) {
    impl_->pointerX = x;
    impl_->pointerY = y;
    WindowHandle under = impl_->windowAt(x, y);
    if (impl_->hover != under) {
        WindowHandle left = impl_->hover;
        impl_->hover = under;
        if (left != nullptr) {
            TMessage leave{WM_MOUSELEAVE, 0, 0, 0};
            deliver(impl_->find(left), left, leave);
        }
    }
    WindowHandle target = capture_ != nullptr ? capture_ : under;
    if (HeadlessWindow* w = impl_->find(target)) {
        if (capture_ == nullptr) {
            TMessage setCursor{WM_SETCURSOR, reinterpret_cast<std::uintptr_t>(target),
                               static_cast<std::intptr_t>(HTCLIENT | (WM_MOUSEMOVE << 16)), 0};
            deliver(w, target, setCursor);
        }
        if ((w = impl_->find(target)) != nullptr) {
            int cx = x, cy = y;
            screenToClient(target, cx, cy);
            TMessage move{WM_MOUSEMOVE, impl_->mouseKeys(), MakeLParam(cx, cy), 0};
            deliver(w, target, move);
        }
    }
    if (autoPaint_) paintWaiting();
}

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

} // namespace

void HeadlessBackend::mouseDown(MouseButton button, int x, int y) {
    const bool autoPaint = autoPaint_;
    autoPaint_ = false;
    if (x != impl_->pointerX || y != impl_->pointerY || impl_->hover == nullptr) mouseMove(x, y);
    impl_->held[buttonKey(button)] = true;
    WindowHandle target = capture_ != nullptr ? capture_ : impl_->windowAt(x, y);
    if (HeadlessWindow* w = impl_->find(target)) {
        auto& last = impl_->lastPress;
        const std::uint64_t now = now_.load(std::memory_order_relaxed);
        const bool isDouble = last.valid && last.window == target && last.button == button &&
                              now - last.time <= doubleClickTime_ &&
                              std::abs(x - last.x) <= doubleClickDistance_ &&
                              std::abs(y - last.y) <= doubleClickDistance_;
        if (isDouble)
            last.valid = false;
        else
            last = {target, button, now, x, y, true};
        int cx = x, cy = y;
        screenToClient(target, cx, cy);
        TMessage m{buttonMessage(button, isDouble ? 2 : 0), impl_->mouseKeys(), MakeLParam(cx, cy),
                   0};
        deliver(w, target, m);
    }
    autoPaint_ = autoPaint;
    if (autoPaint_) paintWaiting();
}

void HeadlessBackend::mouseUp(MouseButton button, int x, int y) {
    const bool autoPaint = autoPaint_;
    autoPaint_ = false;
    if (x != impl_->pointerX || y != impl_->pointerY) mouseMove(x, y);
    impl_->held[buttonKey(button)] = false;
    WindowHandle target = capture_ != nullptr ? capture_ : impl_->windowAt(x, y);
    if (HeadlessWindow* w = impl_->find(target)) {
        int cx = x, cy = y;
        screenToClient(target, cx, cy);
        TMessage m{buttonMessage(button, 1), impl_->mouseKeys(), MakeLParam(cx, cy), 0};
        deliver(w, target, m);
    }
    autoPaint_ = autoPaint;
    if (autoPaint_) paintWaiting();
}

void HeadlessBackend::click(MouseButton button, int x, int y) {
    mouseDown(button, x, y);
    mouseUp(button, x, y);
}

void HeadlessBackend::doubleClick(MouseButton button, int x, int y) {
    click(button, x, y);
    click(button, x, y);
}

void HeadlessBackend::mouseWheel(int delta) {
    const int x = impl_->pointerX, y = impl_->pointerY;
    WindowHandle target = capture_ != nullptr ? capture_ : impl_->windowAt(x, y);
    if (HeadlessWindow* w = impl_->find(target)) {
        const auto wParam = (static_cast<std::uintptr_t>(static_cast<std::uint16_t>(delta)) << 16) |
                            impl_->mouseKeys();
        TMessage m{WM_MOUSEWHEEL, wParam, MakeLParam(x, y), 0};
        deliver(w, target, m);
    }
    if (autoPaint_) paintWaiting();
}

bool HeadlessBackend::keyDown(int virtualKey) {
    if (virtualKey <= 0 || virtualKey >= 256) return false;
    impl_->held[virtualKey] = true;
    HeadlessWindow* w = impl_->find(focus_);
    if (w == nullptr) return false;
    const bool alt = impl_->held[VK_MENU];
    TMessage m{alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<std::uintptr_t>(virtualKey),
               1 | (alt ? KF_ALTDOWN_LPARAM : 0), 0};
    deliver(w, focus_, m);
    if (autoPaint_) paintWaiting();
    return true;
}

bool HeadlessBackend::keyUp(int virtualKey) {
    if (virtualKey <= 0 || virtualKey >= 256) return false;
    const bool alt = impl_->held[VK_MENU];
    impl_->held[virtualKey] = false;
    HeadlessWindow* w = impl_->find(focus_);
    if (w == nullptr) return false;
    TMessage m{alt ? WM_SYSKEYUP : WM_KEYUP, static_cast<std::uintptr_t>(virtualKey),
               1 | (alt ? KF_ALTDOWN_LPARAM : 0), 0};
    deliver(w, focus_, m);
    if (autoPaint_) paintWaiting();
    return true;
}

bool HeadlessBackend::typeChar(char character) {
    HeadlessWindow* w = impl_->find(focus_);
    if (w == nullptr) return false;
    const bool alt = impl_->held[VK_MENU];
    TMessage m{alt ? WM_SYSCHAR : WM_CHAR,
               static_cast<std::uintptr_t>(static_cast<unsigned char>(character)),
               1 | (alt ? KF_ALTDOWN_LPARAM : 0), 0};
    deliver(w, focus_, m);
    if (autoPaint_) paintWaiting();
    return true;
}

bool HeadlessBackend::pressKey(int virtualKey) {
    const bool shift = impl_->held[VK_SHIFT];
    char c = 0;
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        c = static_cast<char>(shift ? virtualKey : virtualKey - 'A' + 'a');
    else if (virtualKey >= '0' && virtualKey <= '9')
        c = static_cast<char>(virtualKey);
    else if (virtualKey == VK_SPACE)
        c = ' ';
    else if (virtualKey == VK_RETURN)
        c = '\r';
    else if (virtualKey == VK_TAB)
        c = '\t';
    else if (virtualKey == VK_BACK)
        c = '\b';
    else if (virtualKey == VK_ESCAPE)
        c = 0x1B;
    const bool delivered = keyDown(virtualKey);
    if (delivered && c != 0) typeChar(c);
    keyUp(virtualKey);
    return delivered;
}

void HeadlessBackend::holdKey(int virtualKey, bool held) {
    if (virtualKey > 0 && virtualKey < 256) impl_->held[virtualKey] = held;
}

void HeadlessBackend::mouseLeaveAll() {
    WindowHandle left = impl_->hover;
    impl_->hover = nullptr;
    if (left != nullptr) {
        TMessage leave{WM_MOUSELEAVE, 0, 0, 0};
        deliver(impl_->find(left), left, leave);
    }
    if (autoPaint_) paintWaiting();
}

void HeadlessBackend::queueMenuAnswer(int id) {
    impl_->menuAnswers.emplace_back(id);
}

void HeadlessBackend::queueMenuChoice(std::vector<std::string> captionPath) {
    impl_->menuAnswers.emplace_back(std::move(captionPath));
}

void HeadlessBackend::setMenuAnswerer(std::function<int(const ShownMenu&)> answerer) {
    impl_->menuAnswerer = std::move(answerer);
}

void HeadlessBackend::queueMessageBoxAnswer(int answer) {
    boxAnswers_.push_back(answer);
}

} // namespace platform
