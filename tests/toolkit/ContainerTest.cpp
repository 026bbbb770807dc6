// The container and the control base driven as a user drives them: injected mouse and keys on
// the headless backend, with the pixels the window received checked.
#include "ContainerFixture.h"

#include "runtime/Menus.h"
#include "toolkit/cDIBBorder.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

using namespace toolkit;
using namespace toolkit::testing;
using platform::MouseButton;

namespace {

int channel(TColor c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

void expectMix(TColor got, TColor over, TColor under, int opacity) {
    for (int shift : {0, 8, 16}) {
        const int want =
            (channel(over, shift) * opacity + channel(under, shift) * (255 - opacity) + 127) / 255;
        EXPECT_NEAR(channel(got, shift), want, 1) << "channel at bit " << shift;
    }
}

TEST_F(ContainerTest, OpacityZeroHidesAControlAndHalfMixesItEvenly) {
    Swatch* s = make("s", {10, 10, 40, 30}, 0x0000FF);
    headless.paintWaiting();
    EXPECT_EQ(screen(20, 20), 0x0000FFu);

    s->SetOpacity(0);
    headless.paintWaiting();
    EXPECT_EQ(screen(20, 20), kBackground);

    s->SetOpacity(128);
    headless.paintWaiting();
    expectMix(screen(20, 20), 0x0000FF, kBackground, 128);
    EXPECT_EQ(screen(5, 5), kBackground) << "outside the control";
}

TEST_F(ContainerTest, MovingAControlRepaintsBothPlacesFromTheControlsBelowInCreationOrder) {
    Swatch* bottom = make("bottom", {0, 0, 60, 60}, 0x00FF00);
    Swatch* middle = make("middle", {10, 10, 30, 30}, 0x0000FF);
    Swatch* top = make("top", {40, 10, 70, 30}, 0xFFFFFF);
    headless.paintWaiting();
    EXPECT_EQ(screen(45, 20), 0xFFFFFFu) << "the later control lies above";

    log.clear();
    middle->SetBounds(45, 40, 20, 20); // leaves (10..30, 10..30), half of the new place over bottom
    headless.paintWaiting();
    EXPECT_EQ(screen(15, 15), 0x00FF00u) << "old place shows the control below";
    EXPECT_EQ(screen(50, 45), 0x0000FFu) << "new place over the control below";
    EXPECT_EQ(screen(62, 45), 0x0000FFu) << "new place beyond it";
    EXPECT_EQ(screen(62, 35), kBackground);
    const std::vector<std::string> order(log.begin(), log.end());
    EXPECT_EQ(order, (std::vector<std::string>{"bottom:paint", "middle:paint", "top:paint"}));
    (void)bottom;
    (void)top;
}

TEST_F(ContainerTest, OnePaintSendsOneBlitOfTheDamagedRectangleOnly) {
    Swatch* s = make("s", {10, 10, 40, 30}, 0x0000FF);
    make("far", {80, 50, 100, 70}, 0x00FF00);
    headless.paintWaiting();
    headless.resetBlitCounts();
    log.clear();

    s->Invalidate();
    headless.paintWaiting();
    EXPECT_EQ(window().blitCount, 1u);
    ASSERT_EQ(window().blitRects.size(), 1u);
    EXPECT_EQ(window().blitRects[0], (TRect{10, 10, 40, 30}));
    EXPECT_EQ(log, (std::vector<std::string>{"s:paint"})) << "only controls meeting the damage";
}

TEST_F(ContainerTest, TwoRowsMoreAtTheBottomArePaintedInTheSamePass) {
    Swatch* s = make("s", {10, 10, 40, 30}, 0x0000FF);
    headless.paintWaiting();
    s->GrowBottom = 2;
    s->Colour = 0x00FF00;
    headless.resetBlitCounts();
    const std::size_t paints = window().paintCount;

    box->InvalidateRect({10, 10, 40, 20});
    headless.paintWaiting();
    EXPECT_EQ(window().paintCount, paints + 1);
    ASSERT_EQ(window().blitRects.size(), 1u);
    EXPECT_EQ(window().blitRects[0], (TRect{10, 10, 40, 20})) << "the screen gets the paint rect";
    // The two extra rows were composed in memory, not sent.
    const std::uint8_t* row = box->BackBuffer().RowPointer(21);
    EXPECT_EQ(platform::SwapRedBlue(row[15 * 4] | (row[15 * 4 + 1] << 8) | (row[15 * 4 + 2] << 16)),
              0x00FF00u);
    EXPECT_EQ(screen(15, 21), 0x0000FFu);
    EXPECT_EQ(screen(15, 19), 0x00FF00u);
}

TEST_F(ContainerTest, ALargerEnlargementWaitsForASecondPaintOfTheWholeArea) {
    Swatch* s = make("s", {10, 10, 40, 30}, 0x0000FF);
    headless.paintWaiting();
    s->GrowBottom = 3;
    s->Colour = 0x00FF00;
    headless.resetBlitCounts();
    const std::size_t paints = window().paintCount;

    box->InvalidateRect({10, 10, 40, 20});
    headless.paintWaiting();
    EXPECT_EQ(window().paintCount, paints + 2);
    ASSERT_EQ(window().blitRects.size(), 1u) << "the postponed paint sends nothing";
    EXPECT_EQ(window().blitRects[0], (TRect{10, 10, 40, 23}));
    EXPECT_EQ(screen(15, 22), 0x00FF00u);
    EXPECT_FALSE(box->DirectPaintPending());
}

TEST_F(ContainerTest, TheFillIsSkippedUnderOpaqueChildrenThatCoverTheDamage) {
    Swatch* cover = make("cover", {0, 0, 120, 80}, -1); // paints nothing of its own
    cover->SetControlStyle(cover->ControlStyle() | runtime::csOpaque);
    headless.paintWaiting();
    box->SetColor(0x00FFFF);
    headless.paintWaiting();
    EXPECT_EQ(screen(60, 40), kBackground) << "the old picture stays under an opaque control";

    cover->SetControlStyle(cover->ControlStyle() & ~runtime::csOpaque);
    box->Invalidate();
    headless.paintWaiting();
    EXPECT_EQ(screen(60, 40), 0x00FFFFu);
}

TEST_F(ContainerTest, WithEveryTabOrderAtMinusOneNoControlTakesTheFocus) {
    Swatch* a = make("a", {0, 0, 30, 30}, 0x0000FF);
    Swatch* b = make("b", {40, 0, 70, 30}, 0x00FF00);
    click(10, 10);
    click(50, 10);
    EXPECT_FALSE(box->TabStop());
    EXPECT_EQ(box->DIBTabCount(), 0);
    EXPECT_EQ(box->ActiveControl(), nullptr);
    EXPECT_FALSE(a->Focused());
    EXPECT_FALSE(b->Focused());
    EXPECT_NE(headless.focusedWindow(), box->Handle());
    count("a:focus", 0);
    count("b:focus", 0);
}

TEST_F(ContainerTest, AClickFocusesAControlInTheTabListAndTabMovesOn) {
    Swatch* a = make("a", {0, 0, 30, 30}, 0x0000FF);
    Swatch* b = make("b", {40, 0, 70, 30}, 0x00FF00);
    Swatch* c = make("c", {80, 0, 110, 30}, 0xFFFFFF);
    c->SetDIBTabOrder(0);
    a->SetDIBTabOrder(5); // beyond the end: appended
    b->SetEnabled(false);
    b->SetDIBTabOrder(1);
    EXPECT_TRUE(box->TabStop());
    EXPECT_EQ(c->DIBTabOrder(), 0);
    EXPECT_EQ(a->DIBTabOrder(), 2);
    EXPECT_EQ(b->DIBTabOrder(), 1);

    click(10, 10);
    EXPECT_TRUE(a->Focused());
    EXPECT_EQ(box->ActiveControl(), a);
    EXPECT_EQ(headless.focusedWindow(), box->Handle());
    count("a:focus", 1);

    headless.pressKey(platform::VK_TAB); // wraps to c, skipping nothing
    EXPECT_EQ(box->ActiveControl(), c);
    EXPECT_FALSE(a->Focused());
    count("a:unfocus", 1);
    headless.pressKey(platform::VK_TAB); // b is disabled
    EXPECT_EQ(box->ActiveControl(), a);
    headless.holdKey(platform::VK_SHIFT, true);
    headless.pressKey(platform::VK_TAB);
    headless.holdKey(platform::VK_SHIFT, false);
    EXPECT_EQ(box->ActiveControl(), c);

    a->SetDIBTabOrder(-1);
    c->SetDIBTabOrder(-1);
    b->SetDIBTabOrder(-1);
    EXPECT_FALSE(box->TabStop());
}

TEST_F(ContainerTest, RebuildTabOrderSortsTheStoredOrders) {
    Swatch* a = make("a", {0, 0, 10, 10}, 0);
    Swatch* b = make("b", {10, 0, 20, 10}, 0);
    Swatch* c = make("c", {20, 0, 30, 10}, 0);
    for (Swatch* s : {a, b, c})
        s->IncludeState(runtime::csLoading);
    a->SetDIBTabOrder(7);
    b->SetDIBTabOrder(-1);
    c->SetDIBTabOrder(2);
    EXPECT_EQ(box->DIBTabCount(), 0) << "while loading the value is only stored";
    for (Swatch* s : {a, b, c})
        s->ExcludeState(runtime::csLoading);
    box->RebuildTabOrder();
    ASSERT_EQ(box->DIBTabCount(), 2);
    EXPECT_EQ(box->DIBTabList(0), c);
    EXPECT_EQ(box->DIBTabList(1), a);
    EXPECT_EQ(b->DIBTabOrder(), -1);
}

TEST_F(ContainerTest, KeysReachTheActiveControlAsItsDialogCodeAsks) {
    Swatch* a = make("a", {0, 0, 30, 30}, 0x0000FF);
    Swatch* b = make("b", {40, 0, 70, 30}, 0x00FF00);
    a->SetDIBTabOrder(0);
    b->SetDIBTabOrder(1);
    click(10, 10);
    log.clear();

    headless.pressKey(platform::VK_LEFT);   // arrows: wanted by default
    headless.pressKey(platform::VK_RETURN); // needs all keys
    headless.pressKey('A');
    EXPECT_EQ(log, (std::vector<std::string>{"a:key 37", "a:key 65"}));

    a->SetDialogKeyFlags(dkTab);
    log.clear();
    headless.pressKey(platform::VK_TAB);
    headless.pressKey(platform::VK_DOWN);
    EXPECT_EQ(log, (std::vector<std::string>{"a:key 9"})) << "Tab is the control's now";
    EXPECT_EQ(box->ActiveControl(), a);

    a->SetDialogKeyFlags(dkAllKeys);
    log.clear();
    headless.pressKey(platform::VK_RETURN);
    headless.pressKey(platform::VK_ESCAPE);
    EXPECT_EQ(log, (std::vector<std::string>{"a:key 13", "a:key 27"}));

    // A key the form takes as a shortcut never reaches the control.
    form->OnShortCut = [](runtime::TMessage& m, bool& handled) { handled = m.WParam == 'S'; };
    log.clear();
    headless.pressKey('S');
    headless.pressKey('T');
    EXPECT_EQ(log, (std::vector<std::string>{"a:key 84"}));
}

TEST_F(ContainerTest, APreviewingFormSeesEachKeyFirstAndAKeyItClearsIsHandled) {
    Swatch* a = make("a", {0, 0, 30, 30}, 0x0000FF);
    std::vector<std::string> seen;
    form->SetKeyPreview(true);
    form->OnKeyDown = [&](runtime::TPersistent*, std::uint16_t& key, runtime::TShiftState) {
        seen.push_back("form down " + std::to_string(key));
        if (key == 'X') key = 0;
        if (key == 'A') key = 'B';
    };
    form->OnKeyUp = [&](runtime::TPersistent*, std::uint16_t& key, runtime::TShiftState) {
        seen.push_back("form up " + std::to_string(key));
    };
    form->OnKeyPress = [&](runtime::TPersistent*, char& key) {
        if (key == 'q') key = 0;
    };
    a->OnKeyDown = [&](runtime::TPersistent*, std::uint16_t& key, runtime::TShiftState shift) {
        seen.push_back("control down " + std::to_string(key) +
                       ((shift & runtime::ssAlt) != 0 ? " alt" : ""));
    };
    a->OnKeyUp = [&](runtime::TPersistent*, std::uint16_t& key, runtime::TShiftState) {
        seen.push_back("control up " + std::to_string(key));
        key = 0;
    };
    a->OnKeyPress = [&](runtime::TPersistent*, char& key) {
        seen.push_back(std::string("control char ") + key);
    };

    EXPECT_EQ(a->Perform(runtime::WM_KEYDOWN, 'X'), 1) << "cleared by the form";
    EXPECT_EQ(a->Perform(runtime::WM_KEYDOWN, 'A', runtime::KF_ALTDOWN_LPARAM), 0);
    EXPECT_NE(a->ShiftState() & runtime::ssAlt, 0);
    EXPECT_EQ(a->Perform(runtime::WM_KEYUP, 'C'), 1) << "cleared by the control";
    EXPECT_EQ(a->Perform(runtime::WM_CHAR, 'q'), 1);
    runtime::TMessage high{runtime::WM_CHAR, 0xE4, 0, 0};
    a->WndProc(high);
    EXPECT_EQ(high.WParam, 0xE4u) << "a character above 127 goes back unsigned";
    EXPECT_EQ(seen, (std::vector<std::string>{"form down 88", "form down 65", "control down 66 alt",
                                              "form up 67", "control up 67", "control char \xE4"}));
}

TEST_F(ContainerTest, AltAndTheAcceleratorClickTheControl) {
    Swatch* a = make("a", {0, 0, 30, 30}, 0x0000FF);
    a->SetAccelerator('k');
    box->SetFocus();
    headless.typeChar('k');
    count("a:click", 0);
    headless.holdKey(platform::VK_MENU, true);
    headless.typeChar('K');
    headless.holdKey(platform::VK_MENU, false);
    count("a:click", 1);
    a->SetEnabled(false);
    headless.holdKey(platform::VK_MENU, true);
    headless.typeChar('k');
    headless.holdKey(platform::VK_MENU, false);
    count("a:click", 1);
}

TEST_F(ContainerTest, EnterAndLeaveFollowThePointer) {
    Swatch* a = make("a", {0, 0, 30, 30}, 0x0000FF);
    move(60, 60);
    log.clear();
    move(10, 10);
    EXPECT_TRUE(a->Hot());
    EXPECT_TRUE(a->MouseInside());
    EXPECT_EQ(a->Highlights, 1);
    move(60, 60);
    EXPECT_FALSE(a->Hot());
    EXPECT_EQ(a->Unhighlights, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"a:enter", "a:leave"}));
}

TEST_F(ContainerTest, ReleasingOutsideTheCapturingControlLeavesItAndEntersTheOneUnderThePointer) {
    Swatch* a = make("a", {0, 0, 30, 30}, 0x0000FF);
    Swatch* b = make("b", {60, 0, 90, 30}, 0x00FF00);
    int sx = 0, sy = 0;
    at(10, 10, sx, sy);
    headless.mouseDown(MouseButton::Left, sx, sy);
    move(70, 10);
    EXPECT_TRUE(a->Hot()) << "hot stays while the mouse is captured";
    EXPECT_FALSE(a->MouseInside());
    count("a:leave", 0);

    at(70, 10, sx, sy);
    headless.mouseUp(MouseButton::Left, sx, sy);
    EXPECT_FALSE(a->Hot());
    count("a:leave", 1);
    EXPECT_TRUE(b->Hot());
    count("b:enter", 1);
    count("a:click", 0);
}

TEST_F(ContainerTest, AutoRepeatRedeliversThePressUntilReleasedOrStopped) {
    Swatch* a = make("a", {0, 0, 30, 30}, 0x0000FF);
    a->SetAutoRepeat(true);
    a->SetRepeatInterval(100);
    int sx = 0, sy = 0;
    at(10, 10, sx, sy);
    headless.mouseDown(MouseButton::Left, sx, sy);
    headless.advanceClock(350);
    count("a:down", 4);

    a->StopRepeat();
    headless.advanceClock(100); // this tick takes the stop
    headless.advanceClock(500);
    count("a:down", 4);
    headless.mouseUp(MouseButton::Left, sx, sy);

    headless.mouseDown(MouseButton::Left, sx, sy);
    headless.advanceClock(250);
    count("a:down", 7);
    headless.mouseUp(MouseButton::Left, sx, sy);
    headless.advanceClock(1000);
    count("a:down", 7);
    EXPECT_EQ(headless.activeTimerCount(), 0u);
}

TEST_F(ContainerTest, AnOwnerMustBeOrOwnAContainer) {
    try {
        Swatch orphan(nullptr);
        FAIL() << "created without an owner";
    } catch (const EDIBControlError& e) {
        EXPECT_STREQ(e.what(), "Owner cannot be nil");
    }
    runtime::TComponent plain(nullptr);
    try {
        Swatch stray(&plain);
        FAIL() << "created without a container";
    } catch (const EDIBControlError& e) {
        EXPECT_STREQ(e.what(), "Parent must be a TDIBContainer");
    }

    Swatch* s = make("s", {0, 0, 10, 10}, 0);
    EXPECT_EQ(s->Container(), box) << "the form's first container";
    runtime::TPanel* panel = runtime::TComponent::Create<runtime::TPanel>(form.get());
    try {
        s->SetParent(panel);
        FAIL() << "moved into a panel";
    } catch (const EDIBControlError& e) {
        EXPECT_STREQ(e.what(), "Parent must be a TDIBContainer");
    }
    EXPECT_EQ(s->Container(), box);
    s->SetParent(form.get());
    EXPECT_EQ(s->Container(), box) << "a parent owning a container gives that container";
}

// The Children list in its simplest form.
class ChildList : public TDIBChildrenHook {
public:
    std::vector<runtime::TControl*> items;
    int ChildCount() const override { return static_cast<int>(items.size()); }
    runtime::TControl* Child(int i) const override { return items[static_cast<std::size_t>(i)]; }
    void DropChild(runtime::TControl* c) override { std::erase(items, c); }
};

TEST_F(ContainerTest, ChildrenMoveWithTheirControlAndLeaveTheListWhenFreed) {
    Swatch* parent = make("p", {10, 10, 40, 40}, 0);
    Swatch* child = make("c", {50, 20, 60, 25}, 0);
    auto list = std::make_unique<ChildList>();
    ChildList* children = list.get();
    children->items = {child};
    parent->SetChildren(std::move(list));

    parent->SetBounds(15, 7, 30, 30);
    EXPECT_EQ(child->BoundsRect(), (TRect{55, 17, 65, 22}));
    parent->SetBounds(15, 7, 50, 50); // resized in place
    EXPECT_EQ(child->BoundsRect(), (TRect{55, 17, 65, 22}));

    runtime::TComponent::Free(child);
    EXPECT_TRUE(children->items.empty());
    parent->SetLeft(0);
}

TEST_F(ContainerTest, TheTimeOfLastInvalidationSkipsMovesThatKeepTheSize) {
    Swatch* s = make("s", {0, 0, 10, 10}, 0);
    headless.advanceClock(40);
    s->SetBounds(5, 5, 10, 10);
    EXPECT_NE(s->LastInvalidation(), headless.tickCount());
    s->SetBounds(5, 5, 12, 10);
    EXPECT_EQ(s->LastInvalidation(), headless.tickCount());
    headless.advanceClock(40);
    s->Invalidate();
    EXPECT_EQ(s->LastInvalidation(), headless.tickCount());
}

TEST_F(ContainerTest, AControlWithoutASizeOfItsOwnKeepsItsBoundsWithAutoSizeOn) {
    Swatch* s = make("s", {5, 5, 25, 15}, 0);
    s->SetAutoSize(true);
    s->Loaded();
    EXPECT_TRUE(s->AutoSize());
    EXPECT_EQ(s->BoundsRect(), (TRect{5, 5, 25, 15}));
}

TEST_F(ContainerTest, ImageLinksFollowTheControlsListAndReportChanges) {
    TDIBImageList* list = runtime::TComponent::Create<TDIBImageList>(form.get());
    list->DIBImages().Add()->DIB().SetSize(4, 4);
    Swatch* s = make("s", {0, 0, 10, 10}, 0);
    TDIBImageLink* extra = s->CreateImageLink();
    s->SetDIBImageList(list);
    EXPECT_EQ(s->ImageLinkCount(), 3);
    for (int i = 0; i < s->ImageLinkCount(); ++i)
        EXPECT_EQ(s->ImageLinks(i)->DIBImageList(), list);

    extra->SetDIBIndex(0);
    s->ImageNotices.clear();
    list->DIBImages().Items(0)->DIB().Fill(0x123456);
    ASSERT_EQ(s->ImageNotices.size(), 1u);
    EXPECT_EQ(s->ImageNotices[0].first, 0);
    EXPECT_EQ(s->ImageNotices[0].second, icChanged);

    runtime::TComponent::Free(list);
    EXPECT_EQ(s->DIBImageList(), nullptr);
    EXPECT_EQ(extra->DIBImageList(), nullptr);
}

TEST_F(ContainerTest, AControlWithoutItsOwnMenuOffersTheSharedOneOnlyWhenItFillsIt) {
    Swatch* s = make("s", {0, 0, 30, 30}, 0);
    int sx = 0, sy = 0;
    at(10, 10, sx, sy);
    headless.click(MouseButton::Right, sx, sy);
    EXPECT_TRUE(headless.shownMenus().empty());

    s->FillMenu = true;
    headless.click(MouseButton::Right, sx, sy);
    ASSERT_EQ(headless.shownMenus().size(), 1u);
    ASSERT_EQ(headless.shownMenus()[0].items.size(), 1u);
    EXPECT_EQ(headless.shownMenus()[0].items[0].caption, "Reset");
}

TEST_F(ContainerTest, AnEightBitDisplayGetsThePaletteIndicesOfTheBuffer) {
    make("s", {0, 0, 30, 30}, 0x0000FF);
    headless.setDisplayBitsPerPixel(8);
    auto* palette = runtime::TComponent::Create<TDIBPaletteComponent>(form.get());
    EXPECT_EQ(box->Palette(), palette) << "picked up when inserted into the form";
    palette->Palette.Entries = {0x000000, 0x00FF00, 0x0000FF};
    palette->Palette.Lookup.assign(262144, 1);
    palette->Palette.Lookup[255 / 4 * 4096] = 2; // pure red
    headless.resetBlitCounts();
    box->Invalidate();
    headless.paintWaiting();
    EXPECT_EQ(window().blit8BitCount, 1u);
    EXPECT_EQ(window().blitCount, 1u);
    EXPECT_EQ(screen(10, 10), 0x0000FFu);
    EXPECT_EQ(screen(60, 60), 0x00FF00u) << "the blue background maps to entry 1";

    runtime::TComponent::Free(palette);
    EXPECT_EQ(box->Palette(), nullptr);
    box->Invalidate();
    headless.paintWaiting();
    EXPECT_EQ(window().blit8BitCount, 1u);
    EXPECT_EQ(screen(60, 60), kBackground);
}

TEST_F(ContainerTest, TheBorderIsDrawnUnderOrOverTheControls) {
    TDIBImageList* list = runtime::TComponent::Create<TDIBImageList>(form.get());
    auto addImage = [&](int w, int h, TColor colour) {
        TDIBImagesItem* item = list->DIBImages().Add();
        item->DIB().SetSize(w, h);
        item->DIB().Fill(colour);
        return item->Index();
    };
    const int top = addImage(4, 3, 0x0000FF), middle = addImage(3, 5, 0x00FF00),
              bottom = addImage(5, 2, 0xFFFFFF);
    auto* border = runtime::TComponent::Create<TDIBBorder>(form.get());
    border->SetDIBImageList(list);
    border->BorderLeft().IndexStart().SetDIBIndex(top);
    border->BorderLeft().IndexMiddle().SetDIBIndex(middle);
    border->BorderLeft().IndexEnd().SetDIBIndex(bottom);
    EXPECT_EQ(border->BorderLeft().Size(), 5) << "the widest of the three";
    EXPECT_EQ(border->BorderRight().Size(), 0);
    box->SetDIBBorder(border);
    EXPECT_EQ(box->AdjustedClientRect(), (TRect{5, 0, 120, 80}));
    make("s", {0, 20, 30, 40}, 0x00FFFF);
    headless.paintWaiting();

    EXPECT_EQ(screen(1, 1), 0x0000FFu) << "top piece";
    EXPECT_EQ(screen(1, 79), 0xFFFFFFu) << "bottom piece at the far end";
    EXPECT_EQ(screen(1, 10), 0x00FF00u) << "tiled middle";
    EXPECT_EQ(screen(1, 25), 0x00FF00u) << "over the control";
    EXPECT_EQ(screen(3, 50), kBackground) << "beyond the middle piece's width";

    box->SetBorderDrawPosition(bdUnderControls);
    headless.paintWaiting();
    EXPECT_EQ(screen(1, 25), 0x00FFFFu);
    EXPECT_EQ(screen(1, 10), 0x00FF00u);

    border->BorderLeft().SetDrawStyle(dsStretch);
    border->BorderLeft().IndexMiddle().SetDIBIndex(-1);
    headless.paintWaiting();
    EXPECT_EQ(screen(1, 10), kBackground) << "no middle piece";
    runtime::TComponent::Free(border);
    EXPECT_EQ(box->DIBBorder(), nullptr);
}

TEST(PointProperty, SettingFiresEvenWhenUnchangedAndAssignSetsXThenY) {
    TPointProperty a, b;
    std::vector<std::pair<int, int>> seen;
    a.OnChange = [&](runtime::TPersistent*) { seen.emplace_back(a.X(), a.Y()); };
    a.SetX(0);
    b.SetX(3);
    b.SetY(-4);
    a.Assign(&b);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 0}, {3, 0}, {3, -4}}));
}

} // namespace

// The containers of a thread take turns with one set of control buffers, and each still shows
// its own controls whichever painted last; another thread's containers have buffers of their own.
TEST_F(ContainerTest, ContainersOfAThreadShareControlBuffersAndEachShowsItsOwnControls) {
    make("red", {10, 10, 40, 30}, 0x0000FF);
    int host2 = 0;
    auto form2 = runtime::MakeForm<runtime::TForm>(nullptr);
    form2->SetParentWindow(&host2);
    form2->SetBounds(0, 0, 120, 80);
    auto* box2 = runtime::TComponent::Create<TDIBContainer>(form2.get());
    box2->SetParent(form2.get());
    box2->SetBounds(0, 0, 120, 80);
    box2->SetColor(0x00FF00);
    form2->ShowForm();
    auto* white = runtime::TComponent::Create<Swatch>(form2.get(), "white", &log);
    white->SetBoundsRect({50, 20, 80, 40}); // the size of "red"
    white->Colour = 0xFFFFFF;
    headless.paintWaiting();
    const auto screen2 = [&](int x, int y) {
        return platform::SwapRedBlue(headless.pixel(box2->Handle(), x, y));
    };
    EXPECT_EQ(&box->ControlBuffer(), &box2->ControlBuffer());
    EXPECT_EQ(screen2(60, 30), 0xFFFFFFu);
    EXPECT_EQ(screen2(20, 20), 0x00FF00u);

    box2->Invalidate();
    headless.paintWaiting();
    box->Invalidate();
    headless.paintWaiting();
    EXPECT_EQ(screen(20, 20), 0x0000FFu);
    EXPECT_EQ(screen(60, 30), kBackground);
    EXPECT_EQ(screen2(60, 30), 0xFFFFFFu);

    const TWinDIB* elsewhere = nullptr;
    std::thread([&] {
        TDIBContainer other(nullptr);
        elsewhere = &other.ControlBuffer();
        EXPECT_NE(elsewhere, &box->ControlBuffer());
    }).join();
    EXPECT_NE(elsewhere, nullptr);
}
