#pragma once
// The in-memory backend: deterministic time and windows for tests and tools. Its clock is
// virtual and its timers run only when a test or tool advances that clock. Its windows keep the
// pixels blitted to them; input is injected in screen coordinates and delivered as the system
// delivers it (capture, double clicks by time and distance, leave notices, keyboard focus), and
// waiting paints run after every injected event. Menus, message boxes and shell requests are
// recorded and answered by the test. The window rules are the window manager's, the same code
// the X11 backend runs: this backend only keeps pixels and injects input.

#include "platform/TimerQueue.h"
#include "platform/WindowManager.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <vector>

namespace platform {

/// What a test can see of a headless window, besides the state every backend keeps.
struct HeadlessWindow : WindowState {
    /// Top row first; blue in the low byte, as surfaces; empty until the first blit.
    std::vector<std::uint32_t> pixels;
    std::size_t blitCount = 0; ///< blits of either kind
    std::size_t blit8BitCount = 0;
    std::vector<TRect> blitRects; ///< every blitted rectangle, in order
};

struct ShownMenu {
    WindowHandle owner = nullptr;
    int x = 0, y = 0; ///< screen position asked for
    std::vector<MenuEntry> items;
    int percent = 100; ///< the density asked for
};

struct ShownMessageBox {
    WindowHandle owner = nullptr;
    std::string text, caption;
    std::uint32_t flags = 0;
    int percent = 100; ///< the density asked for
};

class HeadlessBackend : public detail::WindowManager {
public:
    HeadlessBackend();
    ~HeadlessBackend() override;

    std::uint32_t tickCount() override;
    TimerId startTimer(std::uint32_t intervalMs, std::function<void()> onTick) override;
    void stopTimer(TimerId id) override;
    /// Does nothing: virtual time moves only by advanceClock.
    void runDueTimers() override;
    void stopAllTimers() override;

    int displayBitsPerPixel() override { return displayBits_; }
    void cursorPos(int& x, int& y) override;
    void setCursorPos(int x, int y) override;
    int showCursor(bool show) override;
    void setCursorShape(int cursor) override { cursorShape_ = cursor; }
    int trackPopupMenu(WindowHandle owner, int x, int y, const std::vector<MenuEntry>& items,
                       int percent) override;
    int messageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                   std::uint32_t flags, int percent) override;
    bool shellOpen(WindowHandle owner, const std::string& address) override;

    // ---- Time.

    /// Move the virtual clock forward, running each timer every time it falls due, in time order.
    /// Waiting paints run afterwards.
    void advanceClock(std::uint32_t ms);

    /// Number of timers currently running on the virtual clock.
    std::size_t activeTimerCount() const;

    /// Refuse timers beyond this many running ones (as a system out of timers does).
    void setTimerLimit(std::size_t limit);

    // ---- Windows.

    /// Every live window, oldest first.
    std::vector<WindowHandle> windows() const;
    /// A live window's state, or null.
    const HeadlessWindow* window(WindowHandle handle) const;
    /// A pixel of a window (blue in the low byte, alpha on top); 0 outside it.
    std::uint32_t pixel(WindowHandle window, int x, int y) const;
    /// Forget the blit counts and rectangles of every window.
    void resetBlitCounts();
    /// Screen position given to the client origin of windows whose parent is not ours (the
    /// host's window); (0, 0) by default.
    void setForeignParentOrigin(int x, int y);
    /// Whether injected events and clock advances run paintWaiting afterwards (default on).
    void setAutoPaint(bool on) { autoPaint_ = on; }
    /// Make createChildWindow fail (as a system out of windows does).
    void setRefuseWindows(bool refuse) { refuseWindows_ = refuse; }

    // ---- Input, in screen coordinates. Mouse messages go to the capturing window, else to the
    // deepest visible window under the point; keys go to the focused window (dropped when the
    // focus is not ours, answering false).

    /// Move the pointer: WM_SETCURSOR and WM_MOUSEMOVE to the window under it, WM_MOUSELEAVE to
    /// the window it left.
    void mouseMove(int x, int y);
    /// Move there, then press: a second press of the same button on the same window within
    /// doubleClickTime and within doubleClickDistance of the first arrives as a double click.
    void mouseDown(MouseButton button, int x, int y);
    void mouseUp(MouseButton button, int x, int y);
    /// mouseDown then mouseUp at one point.
    void click(MouseButton button, int x, int y);
    /// Two clicks at one point, arriving as down, up, double click, up.
    void doubleClick(MouseButton button, int x, int y);
    /// A wheel turn at the pointer's position (120 per notch, positive away from the user).
    void mouseWheel(int delta);
    /// Key down (WM_SYSKEYDOWN with Alt held); Shift, Control and Alt stay held until keyUp.
    bool keyDown(int virtualKey);
    bool keyUp(int virtualKey);
    /// A character (WM_SYSCHAR with Alt held).
    bool typeChar(char character);
    /// keyDown and keyUp, with a character between them for keys that type one.
    bool pressKey(int virtualKey);
    /// Hold or release a key without a message (Shift held during a drag, say).
    void holdKey(int virtualKey, bool held);
    /// The pointer leaves all our windows (WM_MOUSELEAVE to the one it was over).
    void mouseLeaveAll();
    /// The screen point of a window's client point.
    void screenPoint(WindowHandle window, int clientX, int clientY, int& x, int& y);

    void setDisplayBitsPerPixel(int bits) { displayBits_ = bits; }
    /// What displayScale answers for every parent (0: the system says nothing).
    void setDisplayScale(double scale) { displayScale_ = scale; }
    double displayScale(void*) override { return displayScale_; }

    // ---- Pointer counters.
    int cursorShowCount() const { return cursorCount_; } ///< visible while >= 0
    std::size_t cursorHideRequests() const { return hideRequests_; }
    std::size_t cursorShowRequests() const { return showRequests_; }
    std::size_t setCursorPosCount() const { return setCursorPosCount_; }
    int cursorShape() const { return cursorShape_; }

    // ---- Menus, message boxes, shell.

    /// Every menu shown so far.
    const std::vector<ShownMenu>& shownMenus() const { return menus_; }
    /// The next menu shown answers this id (0: dismissed).
    void queueMenuAnswer(int id);
    /// The next menu shown answers the entry reached by these captions (sub-menus first);
    /// dismissed when no enabled entry matches.
    void queueMenuChoice(std::vector<std::string> captionPath);
    /// Answers menus for which nothing is queued (default: dismissed).
    void setMenuAnswerer(std::function<int(const ShownMenu&)> answerer);

    const std::vector<ShownMessageBox>& shownMessageBoxes() const { return boxes_; }
    /// The next message box answers this button; without one, boxes answer IDOK.
    void queueMessageBoxAnswer(int answer);

    const std::vector<std::string>& shellRequests() const { return shellRequests_; }
    void setShellAnswer(bool accepted) { shellAnswer_ = accepted; }

protected:
    std::unique_ptr<WindowState> makeWindow(void* parent, WindowState* ourParent,
                                            const TRect& bounds, std::string& error) override;
    void releaseWindow(WindowState&) override {}
    void boundsChanged(WindowState& window, int oldWidth, int oldHeight) override;
    void clientOrigin(const WindowState& window, int& x, int& y) override;
    std::uint32_t* blitPixels(WindowState& window, std::size_t& stride) override;
    void blitArrived(WindowState& window, const TRect& rect, bool eightBit) override;

private:
    struct Impl;
    /// A pointer event at a screen point, as the system would report it.
    detail::PointerEvent pointerAt(int x, int y);
    std::atomic<std::uint64_t> now_{0};
    std::size_t timerLimit_ = std::numeric_limits<std::size_t>::max();
    detail::TimerQueue timers_;
    std::unique_ptr<Impl> impl_;
    bool autoPaint_ = true;
    bool refuseWindows_ = false;
    int displayBits_ = 32;
    double displayScale_ = 0;
    int cursorCount_ = 0;
    std::size_t hideRequests_ = 0, showRequests_ = 0, setCursorPosCount_ = 0;
    int cursorShape_ = 0;
    std::vector<ShownMenu> menus_;
    std::vector<ShownMessageBox> boxes_;
    std::deque<int> boxAnswers_;
    std::vector<std::string> shellRequests_;
    bool shellAnswer_ = true;
};

/// A headless backend installed for the lifetime of this object (a test, a tool's run).
class HeadlessSession : public HeadlessBackend {
public:
    HeadlessSession() : scope_(*this) {}

private:
    BackendScope scope_;
};

} // namespace platform
