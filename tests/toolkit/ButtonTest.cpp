#include "ControlsFixture.h"

#include "runtime/Streams.h"
#include "toolkit/cDIBGlyphButton.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace toolkit::testing {
namespace {

class ButtonTest : public ControlsTest {
protected:
    /// A glyph button at (30, 40) whose strip has `frames` frames of 20 x 12.
    TDIBGlyphButton* makeButton(int frames, int left = 30) {
        auto* button = make<TDIBGlyphButton>(left, 40);
        button->SetNumGlyphs(frames);
        button->Glyph()->SetDIBIndex(addStrip(frames, 20, 12));
        headless.paintWaiting();
        return button;
    }
    TColor shownAt(int left) const { return screen(left + 1, 41); }
};

TEST_F(ButtonTest, ToggleClickFiresOnClickBeforeGoingDown) {
    TDIBGlyphButton* button = makeButton(2);
    button->SetToggleDown(true);
    std::vector<bool> seen;
    button->OnClick = [&](runtime::TPersistent*) { seen.push_back(button->Down()); };
    EXPECT_EQ(button->Width(), 20);
    EXPECT_EQ(button->Height(), 12);
    EXPECT_EQ(shownAt(30), FrameColour(0));
    click(35, 45);
    ASSERT_EQ(seen, std::vector<bool>{false});
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(button->State(), bsDown);
    EXPECT_EQ(shownAt(30), FrameColour(1));
    click(35, 45);
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
    EXPECT_FALSE(button->Down());
}

TEST_F(ButtonTest, FastSecondClickIsAClickNotADoubleClick) {
    TDIBGlyphButton* button = makeButton(2);
    button->SetToggleDown(true);
    int clicks = 0, doubles = 0;
    button->OnClick = [&](runtime::TPersistent*) { ++clicks; };
    button->OnDblClick = [&](runtime::TPersistent*) { ++doubles; };
    int sx = 0, sy = 0;
    at(35, 45, sx, sy);
    headless.doubleClick(platform::MouseButton::Left, sx, sy);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(doubles, 0);
    EXPECT_FALSE(button->Down());
}

TEST_F(ButtonTest, GroupKeepsAtMostOneButtonDown) {
    TDIBGlyphButton* first = makeButton(2, 10);
    TDIBGlyphButton* second = makeButton(2, 40);
    TDIBGlyphButton* loose = makeButton(2, 70);
    for (TDIBGlyphButton* b : {first, second, loose})
        b->SetToggleDown(true);
    first->SetGroup(1);
    second->SetGroup(1);
    click(15, 45);
    EXPECT_TRUE(first->Down());
    click(45, 45);
    EXPECT_TRUE(second->Down());
    EXPECT_FALSE(first->Down());
    EXPECT_EQ(shownAt(10), FrameColour(0));
    // Group 0 releases nobody and is released by nobody.
    click(75, 45);
    EXPECT_TRUE(loose->Down());
    EXPECT_TRUE(second->Down());
    // Joining a group while down releases the group's down button.
    loose->SetGroup(1);
    EXPECT_TRUE(loose->Down());
    EXPECT_FALSE(second->Down());
    // Buttons of another owner are not of the same group.
    auto* stranger = runtime::TComponent::Create<TDIBGlyphButton>(box);
    stranger->SetGroup(1);
    stranger->SetDown(true);
    EXPECT_TRUE(loose->Down());
}

TEST_F(ButtonTest, PointerAndPressPickTheFrameWithFallbackForFewGlyphs) {
    TDIBGlyphButton* two = makeButton(2, 10);
    TDIBGlyphButton* four = makeButton(4, 60);
    move(15, 45);
    EXPECT_EQ(two->State(), bsMouseOver);
    EXPECT_EQ(shownAt(10), FrameColour(0));
    move(65, 45);
    EXPECT_EQ(four->State(), bsMouseOver);
    EXPECT_EQ(shownAt(60), FrameColour(3));
    EXPECT_EQ(two->State(), bsNormal);
    down(65, 45);
    EXPECT_EQ(shownAt(60), FrameColour(1));
    up(65, 45);
    EXPECT_EQ(shownAt(60), FrameColour(3));
    four->SetEnabled(false);
    headless.paintWaiting();
    EXPECT_EQ(shownAt(60), FrameColour(2));
    two->SetEnabled(false);
    two->SetDown(true);
    EXPECT_EQ(two->State(), bsDisabled); // disabled is tested before down
    two->SetEnabled(true);
    headless.paintWaiting();
    EXPECT_EQ(shownAt(10), FrameColour(1));
}

class CaptionTest : public ButtonTest {
protected:
    /// Bounding box of the pixels of one colour on screen (Left INT_MAX when there are none).
    TRect ink(TColor colour) {
        headless.paintWaiting();
        TRect found{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
                if (screen(x, y) == colour) {
                    found.Left = std::min(found.Left, x);
                    found.Top = std::min(found.Top, y);
                    found.Right = std::max(found.Right, x + 1);
                    found.Bottom = std::max(found.Bottom, y + 1);
                }
        return found;
    }
};

TEST_F(CaptionTest, DisabledCaptionUsesFontDisabledAtItsOffset) {
    auto* button = make<TDIBGlyphButton>(20, 20);
    button->Glyph()->SetDIBIndex(addStrip(2, 100, 40));
    button->SetCaption("Wq");
    runtime::TFont normal = button->Font();
    normal.Color = 0x0000FF;
    button->SetFont(normal);
    runtime::TFont grey = normal;
    grey.Color = 0x00FF00;
    button->SetFontDisabled(grey);
    const TRect enabled = ink(0x0000FF);
    ASSERT_LT(enabled.Left, enabled.Right) << "caption drawn";
    EXPECT_GE(enabled.Left, 20);
    EXPECT_LE(enabled.Right, 120);
    // Centred: as much room on the left as on the right, give or take the rounding of div 2.
    runtime::TCanvas measure;
    measure.Font = normal;
    const runtime::TSize extent = measure.TextExtent("Wq");
    const int textLeft = 20 + 50 - extent.cx / 2;
    EXPECT_GE(enabled.Left, textLeft);
    EXPECT_LE(enabled.Right, textLeft + extent.cx);

    button->CaptionOffsetDisabled().SetX(7);
    button->CaptionOffsetDisabled().SetY(-3);
    button->SetEnabled(false);
    const TRect disabled = ink(0x00FF00);
    EXPECT_EQ(ink(0x0000FF).Left, INT_MAX) << "no caption in the normal font";
    EXPECT_EQ(disabled.Left, enabled.Left + 7);
    EXPECT_EQ(disabled.Top, enabled.Top - 3);
    // A point property repaints its button when it changes.
    button->CaptionOffsetDisabled().SetX(2);
    EXPECT_EQ(ink(0x00FF00).Left, enabled.Left + 2);
    // The other states' offsets do not apply to the disabled state.
    button->CaptionOffsetEnabled().SetX(30);
    EXPECT_EQ(ink(0x00FF00).Left, enabled.Left + 2);
}

TEST_F(ButtonTest, BadGroupAndGlyphCountsAreRefused) {
    TDIBGlyphButton* button = makeButton(3);
    button->SetGroup(4);
    try {
        button->SetGroup(-1);
        ADD_FAILURE();
    } catch (const EDIBButtonError& e) {
        EXPECT_STREQ(e.what(), "Invalid group.");
    }
    EXPECT_EQ(button->Group(), 4);
    for (int bad : {1, 6, -2})
        EXPECT_THROW(button->SetNumGlyphs(bad), EDIBGlyphButtonError) << bad;
    EXPECT_EQ(button->NumGlyphs(), 3);
    EXPECT_THROW(button->CaptionOffset(5), EDIBGlyphButtonError);
}

TEST_F(ButtonTest, TemplateCarriesGlyphOffsetsAndFonts) {
    TDIBGlyphButton* button = makeButton(3);
    button->SetOpacity(90);
    button->CaptionOffsetDown().SetX(4);
    button->CaptionOffsetMouseOver().SetY(-6);
    runtime::TFont font = button->Font();
    font.Name = "Tahoma";
    font.Height = 17;
    font.Color = 0x123456;
    button->SetFont(font);
    runtime::TFont disabled = font;
    disabled.Color = 0x777777;
    button->SetFontDisabled(disabled);
    runtime::TMemoryStream stream;
    button->SaveTemplate(stream);

    auto* otherImages = runtime::TComponent::Create<TDIBImageList>(form.get());
    auto* copy = make<TDIBGlyphButton>(100, 100);
    copy->SetDIBImageList(otherImages);
    stream.SetPosition(0);
    copy->LoadTemplate(stream);
    EXPECT_EQ(copy->NumGlyphs(), 3);
    EXPECT_EQ(copy->Opacity(), 90);
    EXPECT_EQ(copy->CaptionOffsetDown().X(), 4);
    EXPECT_EQ(copy->CaptionOffsetMouseOver().Y(), -6);
    EXPECT_EQ(copy->CaptionOffsetEnabled().X(), 0);
    EXPECT_EQ(copy->Font(), font);
    EXPECT_EQ(copy->FontDisabled(), disabled);
    EXPECT_EQ(copy->Width(), 20);
    ASSERT_EQ(otherImages->DIBImages().Count(), 1);
    copy->SetOpacity(255);
    headless.paintWaiting();
    EXPECT_EQ(screen(101, 101), FrameColour(0));
}

} // namespace
} // namespace toolkit::testing
