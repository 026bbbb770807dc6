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
    int pointerX = 0, pointerY = 0;
    int foreignX = 0, foreignY = 0;
    std::deque<MenuAnswer> menuAnswers;
    std::function<int(const ShownMenu&)> menuAnswerer;
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

std::unique_ptr<WindowState> HeadlessBackend::makeWindow(void*, WindowState*, const TRect&,
                                                         std::string& error) {
    if (refuseWindows_) {
        error = "The headless backend refuses windows (setRefuseWindows)";
        return nullptr;
    }
    // Pixels come with the first blit: a real window's picture lives in the display server, and
    // a window nothing draws into (a form wholly covered by its panel) should cost nothing here.
    return std::make_unique<HeadlessWindow>();
}

void HeadlessBackend::boundsChanged(WindowState& window, int oldW, int oldH) {
    auto& w = static_cast<HeadlessWindow&>(window);
    if ((w.width() == oldW && w.height() == oldH) || w.pixels.empty()) return;
    // Keep what overlaps, as a resized window keeps its top left content.
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w.width()) * w.height(), 0);
    for (int y = 0; y < std::min(oldH, w.height()); ++y)
        for (int x = 0; x < std::min(oldW, w.width()); ++x)
            pixels[static_cast<std::size_t>(y) * w.width() + x] =
                w.pixels[static_cast<std::size_t>(y) * oldW + x];
    w.pixels = std::move(pixels);
}

void HeadlessBackend::clientOrigin(const WindowState& window, int& x, int& y) {
    x = window.bounds.Left;
    y = window.bounds.Top;
    const WindowState* w = &window;
    for (; w->ourParent != nullptr; w = w->ourParent) {
        x += w->ourParent->bounds.Left;
        y += w->ourParent->bounds.Top;
    }
    // The topmost window of ours sits in the host's window.
    x += impl_->foreignX;
    y += impl_->foreignY;
}

std::uint32_t* HeadlessBackend::blitPixels(WindowState& window, std::size_t& stride) {
    auto& w = static_cast<HeadlessWindow&>(window);
    stride = static_cast<std::size_t>(w.width());
    if (w.pixels.empty()) w.pixels.assign(stride * static_cast<std::size_t>(w.height()), 0);
    return w.pixels.data();
}

void HeadlessBackend::blitArrived(WindowState& window, const TRect& rect, bool eightBit) {
    auto& w = static_cast<HeadlessWindow&>(window);
    ++w.blitCount;
    if (eightBit) ++w.blit8BitCount;
    w.blitRects.push_back(rect);
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

int HeadlessBackend::trackPopupMenu(WindowHandle owner, int x, int y,
                                    const std::vector<MenuEntry>& items, int percent) {
    menus_.push_back({owner, x, y, items, percent});
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
                                const std::string& caption, std::uint32_t flags, int percent) {
    boxes_.push_back({owner, text, caption, flags, percent});
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
    for (const auto& w : windowList())
        all.push_back(w.get());
    return all;
}

const HeadlessWindow* HeadlessBackend::window(WindowHandle handle) const {
    return static_cast<const HeadlessWindow*>(find(handle));
}

std::uint32_t HeadlessBackend::pixel(WindowHandle window, int x, int y) const {
    const HeadlessWindow* w = this->window(window);
    if (w == nullptr || w->pixels.empty() || x < 0 || y < 0 || x >= w->width() || y >= w->height())
        return 0;
    return w->pixels[static_cast<std::size_t>(y) * w->width() + x];
}

void HeadlessBackend::resetBlitCounts() {
    for (const auto& state : windowList()) {
        auto& w = static_cast<HeadlessWindow&>(*state);
        w.blitCount = w.blit8BitCount = 0;
        w.blitRects.clear();
        w.paintCount = w.eraseCount = w.beginPaintCount = 0;
    }
}

void HeadlessBackend::setForeignParentOrigin(int x, int y) {
    impl_->foreignX = x;
    impl_->foreignY = y;
}

void HeadlessBackend::screenPoint(WindowHandle window, int clientX, int clientY, int& x, int& y) {
    x = clientX;
    y = clientY;
    clientToScreen(window, x, y);
}

detail::PointerEvent HeadlessBackend::pointerAt(int x, int y) {
    impl_->pointerX = x;
    impl_->pointerY = y;
    detail::PointerEvent event;
    event.under = windowFromPoint(x, y);
    event.rootX = x;
    event.rootY = y;
    return event;
}

void HeadlessBackend::mouseMove(int x, int y) {
    pointerMoved(pointerAt(x, y));
    if (autoPaint_) paintWaiting();
}

void HeadlessBackend::mouseDown(MouseButton button, int x, int y) {
    const bool autoPaint = autoPaint_;
    autoPaint_ = false;
    // The system reports the move to the press's place first.
    if (x != impl_->pointerX || y != impl_->pointerY || hover() == nullptr) mouseMove(x, y);
    buttonChanged(pointerAt(x, y), button, true,
                  static_cast<std::uint32_t>(now_.load(std::memory_order_relaxed)));
    autoPaint_ = autoPaint;
    if (autoPaint_) paintWaiting();
}

void HeadlessBackend::mouseUp(MouseButton button, int x, int y) {
    const bool autoPaint = autoPaint_;
    autoPaint_ = false;
    if (x != impl_->pointerX || y != impl_->pointerY) mouseMove(x, y);
    buttonChanged(pointerAt(x, y), button, false,
                  static_cast<std::uint32_t>(now_.load(std::memory_order_relaxed)));
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
    wheelTurned(pointerAt(impl_->pointerX, impl_->pointerY), delta);
    if (autoPaint_) paintWaiting();
}

bool HeadlessBackend::keyDown(int virtualKey) {
    const bool delivered = keyChanged(nullptr, virtualKey, true);
    if (delivered && autoPaint_) paintWaiting();
    return delivered;
}

bool HeadlessBackend::keyUp(int virtualKey) {
    const bool delivered = keyChanged(nullptr, virtualKey, false);
    if (delivered && autoPaint_) paintWaiting();
    return delivered;
}

bool HeadlessBackend::typeChar(char character) {
    const bool delivered = characterTyped(nullptr, character);
    if (delivered && autoPaint_) paintWaiting();
    return delivered;
}

bool HeadlessBackend::pressKey(int virtualKey) {
    const bool shift = isKeyDown(VK_SHIFT);
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
    setKeyHeld(virtualKey, held);
}

void HeadlessBackend::mouseLeaveAll() {
    setHover(nullptr);
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
