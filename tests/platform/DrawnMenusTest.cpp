// The drawn menus and message boxes driven through a scripted popup system: what a user does in
// them and what they answer, on every system that draws its own.
#include "platform/DrawnMenus.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

using namespace platform;
using namespace platform::detail;
using Kind = PopupEvent::Kind;

namespace {

struct FakeSystem;

struct FakePopup : PopupWindow {
    FakeSystem& system;
    TRect rect;
    PixelSurface* picture = nullptr;
    std::uint8_t* bits = nullptr;
    std::vector<std::string> texts;
    int presented = 0;

    FakePopup(FakeSystem& s, const TRect& r);
    ~FakePopup() override;
    PixelSurface* surface() override { return picture; }
    void drawText(int, int, const std::string& text, std::uint32_t) override {
        texts.push_back(text);
    }
    void clearTexts() override { texts.clear(); }
    void present() override { ++presented; }
    // A pixel of the picture, rows from the top, as 0x00RRGGBB.
    std::uint32_t pixel(int x, int y) const {
        int w = 0, h = 0;
        const std::uint8_t* p = pixelSurfaceBits(picture, w, h);
        const std::size_t at = (static_cast<std::size_t>(h - 1 - y) * w + x) * 4;
        return p[at] | (p[at + 1] << 8) | (p[at + 2] << 16);
    }
};

// Answers the popups' requests and feeds them a script of events, each made when it is due so
// that it can aim at a popup that the previous events opened.
struct FakeSystem : PopupSystem {
    int screenW = 800, screenH = 600;
    std::vector<FakePopup*> open;
    std::vector<TRect> opened;
    std::vector<PopupKind> kinds;
    std::string caption;
    std::deque<std::function<PopupEvent(FakeSystem&)>> script;
    PopupWindow* grab = nullptr;
    int grabs = 0, releases = 0, idleSteps = 0;
    bool ranOut = false;

    std::unique_ptr<PopupWindow> openPopup(const TRect& rect, PopupKind kind, WindowHandle,
                                           const std::string& title) override {
        opened.push_back(rect);
        kinds.push_back(kind);
        caption = title;
        return std::make_unique<FakePopup>(*this, rect);
    }
    void screenSize(int& w, int& h) override {
        w = screenW;
        h = screenH;
    }
    void textExtent(const std::string& text, int& w, int& h) override {
        w = 6 * static_cast<int>(text.size());
        h = 11;
    }
    void grabInput(PopupWindow* top) override {
        grab = top;
        (top != nullptr ? grabs : releases)++;
    }
    bool nextEvent(PopupEvent& event) override {
        // Every other call finds nothing, as a modal loop waiting on a quiet connection.
        if (++idleSteps % 2 == 1) return false;
        if (script.empty()) {
            ranOut = true; // the loop would hang: end it as a user pressing Escape would
            event = {};
            event.kind = Kind::Closed;
            return true;
        }
        event = script.front()(*this);
        script.pop_front();
        return true;
    }

    // An open popup (0: the first).
    FakePopup& level(std::size_t i) { return *open.at(i); }
    void key(int vk) {
        script.push_back([vk](FakeSystem& s) {
            PopupEvent e;
            e.kind = Kind::KeyPressed;
            e.window = s.open.empty() ? nullptr : s.open.back(); // where the keyboard is
            e.virtualKey = vk;
            return e;
        });
    }
    // A pointer event at an item's middle: level `depth`, `row` pixels below its top edge.
    void pointer(Kind kind, std::size_t depth, int row, int column = 30) {
        script.push_back([=](FakeSystem& s) {
            PopupEvent e;
            e.kind = kind;
            const FakePopup& p = s.level(depth);
            e.window = s.open.at(depth);
            e.rootX = p.rect.Left + column;
            e.rootY = p.rect.Top + row;
            e.x = column;
            e.y = row;
            e.primary = true;
            return e;
        });
    }
    void pointerAt(Kind kind, int rootX, int rootY) {
        script.push_back([=](FakeSystem&) {
            PopupEvent e;
            e.kind = kind;
            e.rootX = rootX;
            e.rootY = rootY;
            e.primary = true;
            return e;
        });
    }
};

FakePopup::FakePopup(FakeSystem& s, const TRect& r) : system(s), rect(r) {
    std::string error;
    picture = createPixelSurface(r.Right - r.Left, r.Bottom - r.Top, &bits, error);
    system.open.push_back(this);
}

FakePopup::~FakePopup() {
    std::erase(system.open, this);
    destroyPixelSurface(picture);
}

MenuEntry item(const std::string& caption, int id, bool enabled = true) {
    MenuEntry e;
    e.caption = caption;
    e.id = id;
    e.enabled = enabled;
    return e;
}

MenuEntry separator() {
    MenuEntry e;
    e.separator = true;
    return e;
}

// Items are 20 pixels high below a 2-pixel border; a separator takes 7.
constexpr int kFirstRow = 2 + 10;

std::vector<MenuEntry> sampleMenu() {
    MenuEntry sub = item("More", 0);
    sub.items = {item("Deep one", 21), item("Deep two", 22)};
    return {item("First", 1), item("Off", 2, false), separator(), item("Third", 3), sub};
}

} // namespace

TEST(DrawnMenu, ArrowKeysSkipDisabledItemsAndSeparatorsAndReturnChooses) {
    FakeSystem system;
    system.key(VK_DOWN); // First
    system.key(VK_DOWN); // Third: past the disabled item and the separator
    system.key(VK_RETURN);
    const std::vector<MenuEntry> items = sampleMenu();
    EXPECT_EQ(runPopupMenu(system, 100, 100, items), 3);
    EXPECT_FALSE(system.ranOut);
    EXPECT_EQ(system.grabs, 1);
    EXPECT_EQ(system.releases, 1);
    EXPECT_TRUE(system.open.empty()) << "every level closed";

    FakeSystem wrapping;
    wrapping.key(VK_UP);     // from nothing, up wraps to the last selectable entry: the sub-menu
    wrapping.key(VK_RETURN); // opens it and selects its first item
    wrapping.key(VK_DOWN);
    wrapping.key(VK_RETURN);
    EXPECT_EQ(runPopupMenu(wrapping, 100, 100, items), 22);
    EXPECT_EQ(wrapping.opened.size(), 2u);
}

TEST(DrawnMenu, EscapeAndLeftCloseOneLevelThenTheMenu) {
    FakeSystem system;
    system.key(VK_UP);
    system.key(VK_RIGHT); // into the sub-menu
    system.key(VK_LEFT);  // back out
    system.key(VK_RIGHT);
    system.key(VK_ESCAPE); // closes the sub-menu only
    system.script.push_back([](FakeSystem& s) {
        EXPECT_EQ(s.open.size(), 1u);
        PopupEvent e;
        e.kind = Kind::KeyPressed;
        e.virtualKey = VK_ESCAPE;
        return e;
    });
    const std::vector<MenuEntry> items = sampleMenu();
    EXPECT_EQ(runPopupMenu(system, 100, 100, items), 0);
    EXPECT_FALSE(system.ranOut);
    EXPECT_EQ(system.opened.size(), 3u);
}

TEST(DrawnMenu, ThePointerChoosesOnReleaseOverAnEnabledItem) {
    const std::vector<MenuEntry> items = sampleMenu();
    FakeSystem system;
    system.pointer(Kind::Moved, 0, kFirstRow + 20);    // over the disabled item: no selection
    system.pointer(Kind::Released, 0, kFirstRow + 20); // nothing chosen
    system.pointer(Kind::Moved, 0, kFirstRow);
    system.pointer(Kind::Released, 0, kFirstRow);
    EXPECT_EQ(runPopupMenu(system, 100, 100, items), 1);
    EXPECT_FALSE(system.ranOut);

    // Hovering the sub-menu's entry opens it beside; a release there chooses its item.
    FakeSystem sub;
    const int subRow = kFirstRow + 3 * 20 + 7;
    sub.pointer(Kind::Moved, 0, subRow);
    sub.pointer(Kind::Released, 1, kFirstRow + 20);
    EXPECT_EQ(runPopupMenu(sub, 100, 100, items), 22);
    ASSERT_EQ(sub.opened.size(), 2u);
    EXPECT_EQ(sub.opened[1].Left, sub.opened[0].Right - 2);
}

TEST(DrawnMenu, APressOutsideDismissesAndAnEmptyMenuShowsNothing) {
    const std::vector<MenuEntry> items = sampleMenu();
    FakeSystem system;
    system.pointer(Kind::Pressed, 0, kFirstRow); // inside: stays open
    system.pointerAt(Kind::Pressed, 5, 5);
    EXPECT_EQ(runPopupMenu(system, 100, 100, items), 0);
    EXPECT_FALSE(system.ranOut);

    FakeSystem empty;
    EXPECT_EQ(runPopupMenu(empty, 100, 100, {}), 0);
    EXPECT_TRUE(empty.opened.empty());
    EXPECT_EQ(empty.grabs, 0);
}

TEST(DrawnMenu, LevelsStayOnTheScreenAndShowTheSelection) {
    const std::vector<MenuEntry> items = sampleMenu();
    FakeSystem system;
    system.screenW = 300;
    system.screenH = 200;
    system.key(VK_DOWN);
    system.script.push_back([](FakeSystem& s) {
        // The selected row is drawn in the selection colour, the others in the face colour.
        const FakePopup& p = s.level(0);
        EXPECT_EQ(p.pixel(40, kFirstRow), 0x3366CCu);
        EXPECT_EQ(p.pixel(40, kFirstRow + 3 * 20 + 7), 0xF0F0F0u);
        EXPECT_EQ(p.texts.size(), 4u) << "one caption per item";
        PopupEvent e;
        e.kind = Kind::KeyPressed;
        e.virtualKey = VK_ESCAPE;
        return e;
    });
    runPopupMenu(system, 290, 190, items);
    ASSERT_EQ(system.opened.size(), 1u);
    const TRect r = system.opened[0];
    EXPECT_LE(r.Right, 300);
    EXPECT_LE(r.Bottom, 200);
    EXPECT_GE(r.Left, 0);
    EXPECT_EQ(system.kinds[0], PopupKind::Menu);
}

TEST(DrawnMessageBox, KeysAndTheButtonAnswerByStyle) {
    struct Case {
        std::uint32_t flags;
        int key;
        int answer;
    };
    for (const Case c : {Case{MB_OK, VK_RETURN, IDOK}, Case{MB_OK, VK_ESCAPE, IDOK},
                         Case{MB_YESNO, VK_SPACE, IDYES}, Case{MB_YESNO, VK_ESCAPE, IDNO},
                         Case{MB_OKCANCEL, VK_ESCAPE, IDCANCEL}}) {
        FakeSystem system;
        system.key('A'); // other keys do nothing
        system.key(c.key);
        EXPECT_EQ(runMessageBox(system, nullptr, "Text", "Caption", c.flags), c.answer)
            << "flags " << c.flags << " key " << c.key;
        EXPECT_FALSE(system.ranOut);
        EXPECT_EQ(system.kinds.at(0), PopupKind::Dialog);
        EXPECT_EQ(system.caption, "Caption");
        EXPECT_EQ(system.grabs, 0) << "a box takes no grab";
    }
}

TEST(DrawnMessageBox, TheButtonAnswersOnlyWhenPressedAndReleasedOnIt) {
    FakeSystem system;
    // The box is 200 x 81 for this text; its button spans x 60..140, y 45..69.
    system.pointer(Kind::Pressed, 0, 50, 100);
    system.pointer(Kind::Released, 0, 10, 10); // released off the button: no answer
    system.pointer(Kind::Pressed, 0, 10, 10);  // pressed off it
    system.pointer(Kind::Released, 0, 50, 100);
    system.pointer(Kind::Pressed, 0, 50, 100);
    system.pointer(Kind::Released, 0, 50, 100);
    EXPECT_EQ(runMessageBox(system, nullptr, "Hello", "", MB_OK), IDOK);
    EXPECT_FALSE(system.ranOut);
    EXPECT_EQ(system.opened[0].Right - system.opened[0].Left, 200);

    FakeSystem closed;
    closed.script.push_back([](FakeSystem&) {
        PopupEvent e;
        e.kind = Kind::Closed;
        return e;
    });
    EXPECT_EQ(runMessageBox(closed, nullptr, "Hello", "", MB_YESNO), IDNO)
        << "a box closed by the window manager answers as Escape";
}
