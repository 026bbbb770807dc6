#include "platform/Platform.h"
#include "platform/headless/Headless.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

// Records every message a window hears; paints by validating and blitting nothing.
struct Recorder : WindowSink {
    std::vector<TMessage> messages;
    HeadlessBackend* backend = nullptr;
    TRect lastPaint;
    void windowMessage(WindowHandle window, TMessage& m) override {
        messages.push_back(m);
        if (m.Msg == WM_PAINT && backend != nullptr) {
            lastPaint = backend->beginPaint(window);
            backend->endPaint(window);
        }
    }
    std::vector<std::uint32_t> kinds() const {
        std::vector<std::uint32_t> k;
        for (const auto& m : messages)
            if (m.Msg != WM_SETCURSOR && m.Msg != WM_PAINT && m.Msg != WM_ERASEBKGND)
                k.push_back(m.Msg);
        return k;
    }
    const TMessage* last(std::uint32_t msg) const {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it)
            if (it->Msg == msg) return &*it;
        return nullptr;
    }
};

class HeadlessWindows : public ::testing::Test {
protected:
    void SetUp() override {
        headless.setForeignParentOrigin(300, 200);
        outer.backend = inner.backend = &headless;
        std::string error;
        outerWindow = headless.createChildWindow(&host, {10, 20, 110, 80}, &outer, error);
        innerWindow = headless.createChildWindow(outerWindow, {50, 10, 90, 40}, &inner, error);
        ASSERT_NE(outerWindow, nullptr);
        ASSERT_NE(innerWindow, nullptr);
        headless.paintWaiting();
        outer.messages.clear();
        inner.messages.clear();
    }
    HeadlessSession headless;
    int host = 0; // stands for the host's window
    Recorder outer, inner;
    WindowHandle outerWindow = nullptr, innerWindow = nullptr;
};

} // namespace

TEST_F(HeadlessWindows, ScreenPositionsFollowTheParentChain) {
    int x = 0, y = 0;
    headless.clientToScreen(innerWindow, x, y);
    EXPECT_EQ(x, 300 + 10 + 50);
    EXPECT_EQ(y, 200 + 20 + 10);
    EXPECT_EQ(headless.windowFromPoint(x, y), innerWindow);
    EXPECT_EQ(headless.windowFromPoint(x - 1, y), outerWindow);
    EXPECT_EQ(headless.windowFromPoint(300 + 9, 200 + 20), nullptr);
    headless.showWindow(innerWindow, false);
    EXPECT_EQ(headless.windowFromPoint(x, y), outerWindow);
}

TEST_F(HeadlessWindows, MouseGoesToTheWindowUnderThePointerInClientCoordinates) {
    headless.click(MouseButton::Left, 300 + 10 + 5, 200 + 20 + 7);
    EXPECT_EQ(outer.kinds(),
              (std::vector<std::uint32_t>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}));
    const TMessage* down = outer.last(WM_LBUTTONDOWN);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(LParamX(down->LParam), 5);
    EXPECT_EQ(LParamY(down->LParam), 7);
    EXPECT_EQ(down->WParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(outer.last(WM_LBUTTONUP)->WParam & MK_LBUTTON, 0u);
    EXPECT_TRUE(inner.kinds().empty());
}

TEST_F(HeadlessWindows, CaptureSendsMovesOutsideWithNegativeCoordinatesAndTellsTheLoser) {
    headless.setCapture(innerWindow);
    headless.mouseMove(300 + 10 + 5, 200 + 20 + 5); // over the outer window
    const TMessage* move = inner.last(WM_MOUSEMOVE);
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(LParamX(move->LParam), 5 - 50);
    EXPECT_EQ(LParamY(move->LParam), 5 - 10);
    EXPECT_EQ(outer.last(WM_MOUSEMOVE), nullptr);

    headless.setCapture(outerWindow);
    const TMessage* lost = inner.last(WM_CAPTURECHANGED);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(reinterpret_cast<WindowHandle>(lost->LParam), outerWindow);
    headless.releaseCapture();
    ASSERT_NE(outer.last(WM_CAPTURECHANGED), nullptr);
    EXPECT_EQ(headless.captureWindow(), nullptr);
}

TEST_F(HeadlessWindows, DoubleClicksNeedTheSameButtonWindowTimeAndPlace) {
    const int x = 300 + 20, y = 200 + 30;
    headless.doubleClick(MouseButton::Left, x, y);
    EXPECT_EQ(outer.kinds(), (std::vector<std::uint32_t>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP,
                                                         WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    // A third press is a plain press again.
    outer.messages.clear();
    headless.click(MouseButton::Left, x, y);
    EXPECT_EQ(outer.kinds(), (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP}));

    outer.messages.clear();
    headless.advanceClock(1000);
    headless.click(MouseButton::Left, x, y);
    headless.advanceClock(501);
    headless.click(MouseButton::Left, x, y);
    headless.click(MouseButton::Left, x + 3, y);  // too far from the previous press
    headless.click(MouseButton::Right, x + 3, y); // another button
    EXPECT_EQ(outer.last(WM_LBUTTONDBLCLK), nullptr);
    EXPECT_EQ(outer.last(WM_RBUTTONDBLCLK), nullptr);
    headless.advanceClock(500);
    headless.click(MouseButton::Right, x + 5, y - 2); // 500 ms and 2 pixels: still double
    EXPECT_NE(outer.last(WM_RBUTTONDBLCLK), nullptr);
}

TEST_F(HeadlessWindows, LeavingAWindowSendsALeaveNoticeOnce) {
    headless.mouseMove(300 + 20, 200 + 30);
    headless.mouseMove(300 + 10 + 60, 200 + 20 + 20); // into the inner window
    headless.mouseMove(0, 0);                         // off all windows
    ASSERT_EQ(outer.kinds(), (std::vector<std::uint32_t>{WM_MOUSEMOVE, WM_MOUSELEAVE}));
    EXPECT_EQ(inner.kinds(), (std::vector<std::uint32_t>{WM_MOUSEMOVE, WM_MOUSELEAVE}));
}

TEST_F(HeadlessWindows, KeysGoToTheFocusedWindowWithAltAsSystemKeys) {
    EXPECT_FALSE(headless.pressKey('A')); // the host has the focus
    EXPECT_TRUE(outer.kinds().empty());
    headless.setFocus(innerWindow);
    headless.setFocus(outerWindow);
    ASSERT_NE(inner.last(WM_KILLFOCUS), nullptr);
    EXPECT_EQ(reinterpret_cast<WindowHandle>(inner.last(WM_KILLFOCUS)->WParam), outerWindow);
    EXPECT_EQ(reinterpret_cast<WindowHandle>(outer.last(WM_SETFOCUS)->WParam), innerWindow);
    outer.messages.clear();
    headless.keyDown(VK_SHIFT);
    EXPECT_TRUE(headless.pressKey('A'));
    headless.keyUp(VK_SHIFT);
    const TMessage* typed = outer.last(WM_CHAR);
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->WParam, static_cast<std::uintptr_t>('A'));
    headless.keyDown(VK_MENU);
    headless.pressKey('K');
    headless.keyUp(VK_MENU);
    ASSERT_NE(outer.last(WM_SYSCHAR), nullptr);
    EXPECT_EQ(outer.last(WM_SYSCHAR)->WParam, static_cast<std::uintptr_t>('k'));
    EXPECT_NE(outer.last(WM_SYSCHAR)->LParam & KF_ALTDOWN_LPARAM, 0);
    EXPECT_FALSE(headless.isKeyDown(VK_MENU));
}

TEST_F(HeadlessWindows, PaintsCoverTheWaitingAreaAndBlitsLandTopDown) {
    const TRect a{5, 5, 10, 10}, b{20, 30, 25, 40};
    headless.invalidateRect(outerWindow, &a, false);
    headless.invalidateRect(outerWindow, &b, false);
    headless.paintWaiting();
    EXPECT_EQ(outer.lastPaint, (TRect{5, 5, 25, 40}));
    outer.messages.clear();
    headless.paintWaiting();
    EXPECT_TRUE(outer.messages.empty());

    std::uint8_t* bits = nullptr;
    std::string error;
    PixelSurface* surface = createPixelSurface(100, 60, &bits, error);
    ASSERT_NE(surface, nullptr);
    surfaceFillRect(surface, 0, 0, 100, 60, 0x000000FF); // red
    surfaceFillRect(surface, 0, 0, 100, 1, 0x0000FF00);  // the top row green
    headless.blitToWindow(outerWindow, {0, 0, 100, 2}, surface, 0, 0);
    destroyPixelSurface(surface);
    EXPECT_EQ(headless.pixel(outerWindow, 3, 0) & 0xFFFFFF, SwapRedBlue(0x0000FF00));
    EXPECT_EQ(headless.pixel(outerWindow, 3, 1) & 0xFFFFFF, SwapRedBlue(0x000000FF));
    EXPECT_EQ(headless.pixel(outerWindow, 3, 2), 0u);
    ASSERT_EQ(headless.window(outerWindow)->blitRects.size(), 1u);
    EXPECT_EQ(headless.window(outerWindow)->blitRects[0], (TRect{0, 0, 100, 2}));

    const std::uint8_t indices[] = {0, 1, 1, 7};
    const std::uint32_t colours[] = {0x000000FF, 0x00FF0000};
    headless.setDisplayBitsPerPixel(8);
    EXPECT_EQ(headless.displayBitsPerPixel(), 8);
    EXPECT_TRUE(headless.blit8BitToWindow(outerWindow, {1, 1, 3, 3}, indices, colours, 2));
    EXPECT_EQ(headless.pixel(outerWindow, 1, 1), SwapRedBlue(0x000000FF));
    EXPECT_EQ(headless.pixel(outerWindow, 2, 1), SwapRedBlue(0x00FF0000));
    EXPECT_EQ(headless.pixel(outerWindow, 2, 2), 0u); // index beyond the table
    EXPECT_EQ(headless.window(outerWindow)->blit8BitCount, 1u);
}

TEST_F(HeadlessWindows, MenusAnswerOnlyTheirOwnEnabledItems) {
    const auto entry = [](std::string caption, int id) {
        MenuEntry e;
        e.caption = std::move(caption);
        e.id = id;
        return e;
    };
    std::vector<MenuEntry> items{entry("One", 1), entry("Off", 2), entry("More", 3)};
    items[1].enabled = false;
    items[2].items = {entry("Deep", 4)};
    headless.queueMenuChoice({"More", "Deep"});
    EXPECT_EQ(headless.trackPopupMenu(outerWindow, 1, 2, items, 100), 4);
    headless.queueMenuChoice({"Off"});
    EXPECT_EQ(headless.trackPopupMenu(outerWindow, 1, 2, items, 100), 0);
    headless.queueMenuAnswer(3); // a sub-menu is not a choice
    EXPECT_EQ(headless.trackPopupMenu(outerWindow, 1, 2, items, 100), 0);
    headless.queueMenuAnswer(99);
    EXPECT_EQ(headless.trackPopupMenu(outerWindow, 1, 2, items, 100), 0);
    EXPECT_EQ(headless.trackPopupMenu(outerWindow, 1, 2, items, 100), 0); // nothing queued
    headless.setMenuAnswerer([](const ShownMenu& m) { return m.items[0].id; });
    EXPECT_EQ(headless.trackPopupMenu(outerWindow, 7, 8, items, 100), 1);
    ASSERT_EQ(headless.shownMenus().size(), 6u);
    EXPECT_EQ(headless.shownMenus().back().x, 7);
    EXPECT_EQ(headless.shownMenus().back().items[2].items[0].caption, "Deep");
}

TEST_F(HeadlessWindows, PointerVisibilityIsCountedAndDestroyedWindowsAreForgotten) {
    EXPECT_EQ(headless.showCursor(false), -1);
    EXPECT_EQ(headless.showCursor(false), -2);
    EXPECT_EQ(headless.showCursor(true), -1);
    EXPECT_EQ(headless.cursorHideRequests(), 2u);
    EXPECT_EQ(headless.cursorShowRequests(), 1u);
    headless.setCursorPos(4, 5);
    int x = 0, y = 0;
    headless.cursorPos(x, y);
    EXPECT_EQ(x * 10 + y, 45);
    EXPECT_EQ(headless.setCursorPosCount(), 1u);

    headless.setCapture(innerWindow);
    headless.setFocus(innerWindow);
    headless.destroyWindow(outerWindow); // takes the inner window with it
    EXPECT_TRUE(headless.windows().empty());
    EXPECT_EQ(headless.captureWindow(), nullptr);
    EXPECT_EQ(headless.focusedWindow(), nullptr);
    headless.click(MouseButton::Left, 300 + 20, 200 + 30); // nobody there: no crash
    std::string error;
    headless.setRefuseWindows(true);
    EXPECT_EQ(headless.createChildWindow(&host, {0, 0, 1, 1}, &outer, error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST_F(HeadlessWindows, AnAreaInvalidatedDuringItsPaintGetsAnotherRoundAndIgnoredPaintsEnd) {
    // Paints the waiting area once enlarged by 5 rows, as a container that widens its update.
    struct Enlarging : WindowSink {
        HeadlessBackend* backend = nullptr;
        std::vector<TRect> painted;
        void windowMessage(WindowHandle window, TMessage& m) override {
            if (m.Msg != WM_PAINT) return;
            const TRect r = backend->beginPaint(window);
            backend->endPaint(window);
            painted.push_back(r);
            if (painted.size() == 1) {
                const TRect larger{r.Left, r.Top, r.Right, r.Bottom + 5};
                backend->invalidateRect(window, &larger, false);
            }
        }
    } enlarging;
    enlarging.backend = &headless;
    struct Ignoring : WindowSink {
        int paints = 0;
        void windowMessage(WindowHandle, TMessage& m) override { paints += m.Msg == WM_PAINT; }
    } ignoring;
    std::string error;
    WindowHandle a = headless.createChildWindow(&host, {0, 0, 50, 50}, &enlarging, error);
    WindowHandle b = headless.createChildWindow(&host, {0, 0, 50, 50}, &ignoring, error);
    headless.paintWaiting();
    enlarging.painted.clear();
    const TRect damaged{10, 10, 20, 20};
    headless.invalidateRect(a, &damaged, false);
    headless.invalidateRect(b, &damaged, false);
    ignoring.paints = 0;
    headless.paintWaiting();
    EXPECT_EQ(enlarging.painted, (std::vector<TRect>{damaged, TRect{10, 10, 20, 25}}));
    EXPECT_EQ(ignoring.paints, 1);
    EXPECT_EQ(headless.window(b)->waiting, TRect{});
}

TEST_F(HeadlessWindows, TheCursorIsAskedBeforeEachMoveAndLeavingCountsUnderCaptureToo) {
    headless.mouseMove(300 + 20, 200 + 30);
    ASSERT_EQ(outer.messages.size(), 2u);
    EXPECT_EQ(outer.messages[0].Msg, WM_SETCURSOR);
    EXPECT_EQ(outer.messages[1].Msg, WM_MOUSEMOVE);
    headless.setCapture(outerWindow);
    outer.messages.clear();
    headless.mouseMove(0, 0); // off every window, the capture keeps the moves
    EXPECT_EQ(outer.kinds(), (std::vector<std::uint32_t>{WM_MOUSELEAVE, WM_MOUSEMOVE}));
    EXPECT_EQ(outer.last(WM_SETCURSOR), nullptr) << "a captured pointer keeps its shape";
    EXPECT_EQ(LParamX(outer.last(WM_MOUSEMOVE)->LParam), -310);

    // The wheel goes to the capture, else to the window under the pointer, with a screen point.
    headless.mouseWheel(-120);
    ASSERT_NE(outer.last(WM_MOUSEWHEEL), nullptr);
    headless.releaseCapture();
    headless.mouseMove(300 + 70, 200 + 40);
    headless.mouseWheel(120);
    const TMessage* turn = inner.last(WM_MOUSEWHEEL);
    ASSERT_NE(turn, nullptr);
    EXPECT_EQ(static_cast<std::int16_t>(turn->WParam >> 16), 120);
    EXPECT_EQ(LParamX(turn->LParam), 370);
}

TEST_F(HeadlessWindows, HiddenResizedAndDestroyedWindowsFollowTheSameRules) {
    headless.showWindow(innerWindow, false);
    headless.mouseMove(300 + 70, 200 + 40); // over the hidden inner window: the outer one
    EXPECT_EQ(inner.kinds(), std::vector<std::uint32_t>{});
    EXPECT_NE(outer.last(WM_MOUSEMOVE), nullptr);
    headless.showWindow(innerWindow, true);
    EXPECT_EQ(headless.window(innerWindow)->waiting, (TRect{0, 0, 40, 30}));
    EXPECT_TRUE(headless.window(innerWindow)->eraseWaiting);
    headless.paintWaiting();
    headless.setWindowBounds(innerWindow, {55, 10, 95, 40}); // moved only: nothing waits
    EXPECT_TRUE(isEmpty(headless.window(innerWindow)->waiting));
    headless.setWindowBounds(innerWindow, {55, 10, 45, 50}); // inverted: empty width
    EXPECT_EQ(headless.window(innerWindow)->width(), 0);
    headless.setWindowBounds(innerWindow, {55, 10, 75, 50});
    EXPECT_EQ(headless.window(innerWindow)->waiting, (TRect{0, 0, 20, 40}));

    // A press, then the window goes and another takes its place: no double click across them.
    headless.click(MouseButton::Left, 300 + 20, 200 + 30);
    headless.destroyWindow(outerWindow);
    Recorder again;
    std::string error;
    WindowHandle fresh = headless.createChildWindow(&host, {10, 20, 110, 80}, &again, error);
    ASSERT_NE(fresh, nullptr);
    headless.click(MouseButton::Left, 300 + 20, 200 + 30);
    EXPECT_EQ(again.last(WM_LBUTTONDBLCLK), nullptr);
    EXPECT_NE(again.last(WM_LBUTTONDOWN), nullptr);
    EXPECT_NE(again.last(WM_MOUSEMOVE), nullptr) << "the pointer entered the new window";
}

TEST_F(HeadlessWindows, AltIsASystemKeyOnItsOwnPressAndRelease) {
    headless.setFocus(outerWindow);
    outer.messages.clear();
    headless.keyDown(VK_MENU);
    headless.keyUp(VK_MENU);
    headless.pressKey(VK_RETURN);
    EXPECT_EQ(outer.kinds(), (std::vector<std::uint32_t>{WM_SYSKEYDOWN, WM_SYSKEYUP, WM_KEYDOWN,
                                                         WM_CHAR, WM_KEYUP}));
}
