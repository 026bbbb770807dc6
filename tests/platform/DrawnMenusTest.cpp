// The drawn menus and message boxes driven through a scripted popup system: what a user does in
// them and what they answer, on every system that draws its own.
#include "platform/DrawnMenus.h"

#include "editor/art/ArtScale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

using namespace platform;
using namespace platform::detail;
using Kind = PopupEvent::Kind;

namespace {

struct FakeSystem;

// A popup's picture (0x00RRGGBB, rows from the top) and texts at one moment.
struct Shot {
    int width = 0, height = 0, textPixels = 0;
    std::vector<std::uint32_t> pixels;
    std::vector<TRect> textBoxes; ///< where each text went, with its extent

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    // The smallest rectangle holding every pixel of `colour` inside `area` (empty: all of it);
    // empty when there is none.
    TRect extentOf(std::uint32_t colour, TRect area = {}) const {
        if (area == TRect{}) area = {0, 0, width, height};
        TRect found{area.Right, area.Bottom, area.Left, area.Top};
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x)
                if (at(x, y) == colour)
                    found = {std::min(found.Left, x), std::min(found.Top, y),
                             std::max(found.Right, x + 1), std::max(found.Bottom, y + 1)};
        return found.Left < found.Right ? found : TRect{};
    }
};

struct FakePopup : PopupWindow {
    FakeSystem& system;
    TRect rect;
    PixelSurface* picture = nullptr;
    std::uint8_t* bits = nullptr;
    std::vector<std::string> texts;
    std::vector<TRect> textBoxes;
    int presented = 0;

    FakePopup(FakeSystem& s, const TRect& r);
    ~FakePopup() override;
    PixelSurface* surface() override { return picture; }
    void drawText(int x, int y, const std::string& text, std::uint32_t) override;
    void clearTexts() override {
        texts.clear();
        textBoxes.clear();
    }
    void present() override { ++presented; }
    // A pixel of the picture, rows from the top, as 0x00RRGGBB.
    std::uint32_t pixel(int x, int y) const {
        int w = 0, h = 0;
        const std::uint8_t* p = pixelSurfaceBits(picture, w, h);
        const std::size_t at = (static_cast<std::size_t>(h - 1 - y) * w + x) * 4;
        return p[at] | (p[at + 1] << 8) | (p[at + 2] << 16);
    }
    Shot shot() const;
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
    int textPixels = 0;
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
    // A font whose letters are 6 x 11 at kTextPixels and grow with the size asked for.
    void setTextSize(int pixels) override { textPixels = pixels; }
    void textExtent(const std::string& text, int& w, int& h) override {
        w = 6 * static_cast<int>(text.size()) * textPixels / kTextPixels;
        h = textPixels;
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
    // Looks at the first popup when the script reaches this point.
    void inspect(std::function<void(const FakePopup&)> look) {
        script.push_back([look](FakeSystem& s) {
            look(s.level(0));
            PopupEvent e;
            e.kind = Kind::Exposed;
            e.window = s.open.front();
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

void FakePopup::drawText(int x, int y, const std::string& text, std::uint32_t) {
    int w = 0, h = 0;
    system.textExtent(text, w, h);
    texts.push_back(text);
    textBoxes.push_back({x, y, x + w, y + h});
}

Shot FakePopup::shot() const {
    Shot shot{rect.Right - rect.Left, rect.Bottom - rect.Top, system.textPixels, {}, textBoxes};
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            shot.pixels.push_back(pixel(x, y));
    return shot;
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
    EXPECT_EQ(runPopupMenu(system, 100, 100, items, 100), 3);
    EXPECT_FALSE(system.ranOut);
    EXPECT_EQ(system.grabs, 1);
    EXPECT_EQ(system.releases, 1);
    EXPECT_TRUE(system.open.empty()) << "every level closed";

    FakeSystem wrapping;
    wrapping.key(VK_UP);     // from nothing, up wraps to the last selectable entry: the sub-menu
    wrapping.key(VK_RETURN); // opens it and selects its first item
    wrapping.key(VK_DOWN);
    wrapping.key(VK_RETURN);
    EXPECT_EQ(runPopupMenu(wrapping, 100, 100, items, 100), 22);
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
    EXPECT_EQ(runPopupMenu(system, 100, 100, items, 100), 0);
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
    EXPECT_EQ(runPopupMenu(system, 100, 100, items, 100), 1);
    EXPECT_FALSE(system.ranOut);

    // Hovering the sub-menu's entry opens it beside; a release there chooses its item.
    FakeSystem sub;
    const int subRow = kFirstRow + 3 * 20 + 7;
    sub.pointer(Kind::Moved, 0, subRow);
    sub.pointer(Kind::Released, 1, kFirstRow + 20);
    EXPECT_EQ(runPopupMenu(sub, 100, 100, items, 100), 22);
    ASSERT_EQ(sub.opened.size(), 2u);
    EXPECT_EQ(sub.opened[1].Left, sub.opened[0].Right - 2);
}

TEST(DrawnMenu, APressOutsideDismissesAndAnEmptyMenuShowsNothing) {
    const std::vector<MenuEntry> items = sampleMenu();
    FakeSystem system;
    system.pointer(Kind::Pressed, 0, kFirstRow); // inside: stays open
    system.pointerAt(Kind::Pressed, 5, 5);
    EXPECT_EQ(runPopupMenu(system, 100, 100, items, 100), 0);
    EXPECT_FALSE(system.ranOut);

    FakeSystem empty;
    EXPECT_EQ(runPopupMenu(empty, 100, 100, {}, 100), 0);
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
    runPopupMenu(system, 290, 190, items, 100);
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
        EXPECT_EQ(runMessageBox(system, nullptr, "Text", "Caption", c.flags, 100), c.answer)
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
    EXPECT_EQ(runMessageBox(system, nullptr, "Hello", "", MB_OK, 100), IDOK);
    EXPECT_FALSE(system.ranOut);
    EXPECT_EQ(system.opened[0].Right - system.opened[0].Left, 200);

    FakeSystem closed;
    closed.script.push_back([](FakeSystem&) {
        PopupEvent e;
        e.kind = Kind::Closed;
        return e;
    });
    EXPECT_EQ(runMessageBox(closed, nullptr, "Hello", "", MB_YESNO, 100), IDNO)
        << "a box closed by the window manager answers as Escape";
}

// The controller map's report has a line per controller: each line under the one before, the
// box as wide as the widest and as high as all of them, the button below the last.
TEST(DrawnMessageBox, EachLineOfTheTextHasARowOfItsOwn) {
    const auto boxFor = [](const std::string& text, int percent) {
        FakeSystem system;
        Shot shot;
        system.inspect([&shot](const FakePopup& p) { shot = p.shot(); });
        system.key(VK_RETURN);
        EXPECT_EQ(runMessageBox(system, nullptr, text, "", MB_OK, percent), IDOK);
        return shot;
    };
    for (int percent : {100, 200}) {
        SCOPED_TRACE(percent);
        const Shot one = boxFor("20: EQ Lo", percent);
        const Shot three = boxFor("20: EQ Lo\r\n21: EQ Mid and more\n\r\nMap file: x", percent);
        ASSERT_EQ(one.textBoxes.size(), 2u); // the text and the button's caption
        ASSERT_EQ(three.textBoxes.size(), 5u);
        const int lineHeight = one.textBoxes[0].Bottom - one.textBoxes[0].Top;
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(three.textBoxes[k].Left, one.textBoxes[0].Left);
            EXPECT_EQ(three.textBoxes[k].Top, one.textBoxes[0].Top + k * lineHeight);
        }
        EXPECT_EQ(three.height, one.height + 3 * lineHeight);
        const TRect widest = three.textBoxes[1];
        EXPECT_EQ(three.width, std::max(one.width, widest.Right + one.textBoxes[0].Left));
        EXPECT_GE(three.textBoxes[4].Top, three.textBoxes[3].Bottom) << "the button below";
    }
}

namespace {

constexpr std::uint32_t kSelectedColour = 0x3366CC, kBorderColour = 0x606060;

// The first level of a menu at `percent` after `downs` presses of Down.
Shot menuAt(const std::vector<MenuEntry>& items, int percent, int downs) {
    FakeSystem system;
    Shot shot;
    for (int k = 0; k < downs; ++k)
        system.key(VK_DOWN);
    system.inspect([&shot](const FakePopup& p) { shot = p.shot(); });
    system.key(VK_ESCAPE);
    EXPECT_EQ(runPopupMenu(system, 100, 100, items, percent), 0);
    EXPECT_FALSE(system.ranOut);
    return shot;
}

TRect doubled(const TRect& r) {
    return {2 * r.Left, 2 * r.Top, 2 * r.Right, 2 * r.Bottom};
}

} // namespace

TEST(DrawnMenu, AtTwiceTheDensityEveryPixelAndTextIsTwiceTheDesigns) {
    const std::vector<MenuEntry> items = {item("First", 1), item("Off", 2, false), separator(),
                                          item("Third", 3)};
    for (int downs : {1, 2}) { // First selected, then Third
        const Shot design = menuAt(items, 100, downs), twice = menuAt(items, 200, downs);
        EXPECT_EQ(design.textPixels, kTextPixels);
        EXPECT_EQ(twice.textPixels, 2 * kTextPixels);
        ASSERT_EQ(twice.width, 2 * design.width);
        ASSERT_EQ(twice.height, 2 * design.height);
        EXPECT_EQ(twice.extentOf(kSelectedColour), doubled(design.extentOf(kSelectedColour)));
        // Frame, paddings, separator and fills: each design pixel became a 2 x 2 block.
        int differing = 0;
        for (int y = 0; y < twice.height; ++y)
            for (int x = 0; x < twice.width; ++x)
                differing += twice.at(x, y) != design.at(x / 2, y / 2);
        EXPECT_EQ(differing, 0) << downs;
        // Texts twice as high, at twice the design's left, centred in their items as there.
        ASSERT_EQ(twice.textBoxes.size(), design.textBoxes.size());
        for (std::size_t i = 0; i < design.textBoxes.size(); ++i) {
            const TRect &d = design.textBoxes[i], &t = twice.textBoxes[i];
            EXPECT_EQ(t.Bottom - t.Top, 2 * (d.Bottom - d.Top)) << i;
            EXPECT_EQ(t.Left, 2 * d.Left) << i;
            EXPECT_NEAR(t.Top + t.Bottom, 2 * (d.Top + d.Bottom), 2) << i;
        }
    }
}

TEST(DrawnMenu, MarksAndArrowsAreDrawnAtTheDensity) {
    MenuEntry check = item("Check", 1), radio = item("Radio", 2), more = item("More", 3);
    check.checked = radio.checked = radio.radio = true;
    more.items = {item("Deep", 4)};
    const std::vector<MenuEntry> items = {check, radio, more};
    const Shot design = menuAt(items, 100, 0), twice = menuAt(items, 200, 0);
    // The ink in each item (the text colour; the fake draws no letters): the check, the radio
    // mark, the arrow, twice the design's extent give or take the last pixel of a stroke.
    for (int i = 0; i < 3; ++i) {
        const TRect row{0, 2 + 20 * i, design.width, 22 + 20 * i};
        const TRect d = design.extentOf(0, row), t = twice.extentOf(0, doubled(row));
        ASSERT_NE(d, TRect{}) << i;
        EXPECT_NEAR(t.Left, 2 * d.Left, 1) << i;
        EXPECT_NEAR(t.Top, 2 * d.Top, 1) << i;
        EXPECT_NEAR(t.Right, 2 * d.Right, 1) << i;
        EXPECT_NEAR(t.Bottom, 2 * d.Bottom, 1) << i;
    }
}

TEST(DrawnMenu, ThePointerFindsTheItemUnderItAtEachDensity) {
    // The sample menu's rows in design pixels: First 2..22, Off 22..42, a separator 42..49,
    // Third 49..69, More 69..89; each screen row belongs to the item whose scaled edges hold it.
    const std::vector<MenuEntry> items = sampleMenu();
    for (int percent : {150, 200}) {
        const auto at = [percent](int design) { return editorart::scaled(design, percent); };
        const struct {
            int row, answer;
        } cases[] = {{at(2) - 1, 0},  {at(2), 1},  {at(22) - 1, 1}, {at(22), 0}, {at(45), 0},
                     {at(49) - 1, 0}, {at(49), 3}, {at(69) - 1, 3}, {at(69), 0}};
        for (const auto& c : cases) {
            FakeSystem system;
            system.pointer(Kind::Moved, 0, c.row);
            system.pointer(Kind::Released, 0, c.row);
            // Reached when the release chose nothing (More's sub-menu takes one of its own).
            system.key(VK_ESCAPE);
            system.key(VK_ESCAPE);
            EXPECT_EQ(runPopupMenu(system, 100, 100, items, percent), c.answer)
                << "row " << c.row << " at " << percent;
            EXPECT_FALSE(system.ranOut);
        }
        // Hovering More opens its sub-menu beside it, where a release finds the second item.
        FakeSystem sub;
        sub.pointer(Kind::Moved, 0, at(79));
        sub.pointer(Kind::Released, 1, at(32));
        EXPECT_EQ(runPopupMenu(sub, 100, 100, items, percent), 22) << percent;
        ASSERT_EQ(sub.opened.size(), 2u);
        EXPECT_EQ(sub.opened[1].Top - sub.opened[0].Top, at(69 - 2)) << percent;
        EXPECT_EQ(sub.textPixels, at(kTextPixels));
    }
}

TEST(DrawnMessageBox, TheButtonIsHitWhereItIsDrawnAtEachDensity) {
    // The button as drawn at 100 %; at each density it is drawn and hit at its scaled edges.
    FakeSystem first;
    TRect design;
    first.inspect([&design](const FakePopup& p) { design = p.shot().extentOf(kBorderColour); });
    first.key(VK_RETURN);
    runMessageBox(first, nullptr, "Hello", "", MB_YESNO, 100);
    for (int percent : {100, 150, 200}) {
        const auto at = [percent](int d) { return editorart::scaled(d, percent); };
        const TRect b{at(design.Left), at(design.Top), at(design.Right), at(design.Bottom)};
        FakeSystem system;
        system.inspect([&b, &at](const FakePopup& p) {
            const Shot shot = p.shot();
            EXPECT_EQ(shot.extentOf(kBorderColour), b);
            EXPECT_EQ(shot.extentOf(0xE8E8E8), // the face, inside a frame of one design pixel
                      (TRect{b.Left + at(1), b.Top + at(1), b.Right - at(1), b.Bottom - at(1)}));
        });
        system.pointer(Kind::Pressed, 0, b.Bottom, b.Right); // just outside: nothing
        system.pointer(Kind::Released, 0, b.Bottom, b.Right);
        system.pointer(Kind::Pressed, 0, b.Top - 1, b.Left - 1);
        system.pointer(Kind::Released, 0, b.Top - 1, b.Left - 1);
        system.pointer(Kind::Pressed, 0, b.Bottom - 1, b.Right - 1); // inside corners: Yes
        system.pointer(Kind::Released, 0, b.Top, b.Left);
        EXPECT_EQ(runMessageBox(system, nullptr, "Hello", "", MB_YESNO, percent), IDYES) << percent;
        EXPECT_FALSE(system.ranOut) << percent;
    }
}
