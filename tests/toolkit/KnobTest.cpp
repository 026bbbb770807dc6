#include "ControlsFixture.h"

#include "runtime/Streams.h"
#include "toolkit/cDIBKnob.h"

#include <string>
#include <vector>

namespace toolkit::testing {
namespace {

using platform::MouseButton;

class KnobTest : public ControlsTest {
protected:
    /// A knob at (20, 20) on a 27-frame strip of 10 x 8 frames, 0..400.
    TDIBKnob* makeKnob() {
        TDIBKnob* knob = make<TDIBKnob>(20, 20);
        knob->SetNumGlyphs(27);
        knob->IndexMain()->SetDIBIndex(addStrip(27, 10, 8));
        knob->SetMax(400);
        knob->OnChange = [this](runtime::TPersistent*) { ++changes; };
        headless.paintWaiting();
        return knob;
    }
    TColor shown() const { return screen(25, 24); }
    int changes = 0;
};

TEST_F(KnobTest, SizesItselfToOneFrameAndShowsTheFrameOfItsPosition) {
    TDIBKnob* knob = makeKnob();
    EXPECT_EQ(knob->Width(), 10);
    EXPECT_EQ(knob->Height(), 8);
    const std::vector<std::pair<int, int>> cases = {{0, 0}, {14, 0}, {15, 1}, {399, 26}, {400, 26}};
    for (const auto& [position, frame] : cases) {
        knob->SetPosition(position);
        headless.paintWaiting();
        EXPECT_EQ(shown(), FrameColour(frame)) << "position " << position;
        EXPECT_EQ(knob->GetFrameIndex(), frame) << "position " << position;
    }
    // The whole frame is drawn, and nothing outside the knob.
    EXPECT_EQ(screen(20, 20), FrameColour(26));
    EXPECT_EQ(screen(29, 27), FrameColour(26));
    EXPECT_EQ(screen(30, 27), kBackground);
}

TEST_F(KnobTest, FineTuneDragStepsByPageAndByOneWithShift) {
    TDIBKnob* knob = makeKnob();
    knob->SetUseFineTune(true);
    knob->SetPosition(100);
    changes = 0;
    drag(25, 24, 0, -3);
    EXPECT_EQ(knob->Position(), 115);
    headless.holdKey(runtime::VK_SHIFT, true);
    drag(25, 24, 0, -3);
    headless.holdKey(runtime::VK_SHIFT, false);
    EXPECT_EQ(knob->Position(), 118);
    EXPECT_EQ(changes, 2);
    // Without fine tune every pixel is one SmallChange. The pointer goes back to the start after
    // each move, so three moves of 2 pixels down add up to 6.
    knob->SetUseFineTune(false);
    down(25, 24);
    for (int i = 0; i < 3; ++i)
        move(25, 26);
    up(25, 24);
    EXPECT_EQ(knob->Position(), 112);
}

TEST_F(KnobTest, HorizontalKnobFollowsRightwardMovement) {
    TDIBKnob* knob = makeKnob();
    knob->SetOrientation(koHorizontal);
    drag(25, 24, 7, -50);
    EXPECT_EQ(knob->Position(), 7);
}

TEST_F(KnobTest, DragHidesThePointerOnceAndPinsItAtTheStart) {
    TDIBKnob* knob = makeKnob();
    int sx = 0, sy = 0;
    at(25, 24, sx, sy);
    down(25, 24);
    EXPECT_TRUE(knob->Dragging());
    EXPECT_EQ(headless.cursorHideRequests(), 1u);
    EXPECT_LT(headless.cursorShowCount(), 0);
    const std::size_t putsBefore = headless.setCursorPosCount();
    for (int i = 1; i <= 4; ++i) {
        move(25 + i, 24 - 2 * i);
        int px = 0, py = 0;
        headless.cursorPos(px, py);
        EXPECT_EQ(px, sx);
        EXPECT_EQ(py, sy);
    }
    EXPECT_GE(headless.setCursorPosCount(), putsBefore + 4);
    up(25, 20);
    EXPECT_FALSE(knob->Dragging());
    EXPECT_EQ(headless.cursorHideRequests(), 1u);
    EXPECT_EQ(headless.cursorShowRequests(), 1u);
    EXPECT_EQ(headless.cursorShowCount(), 0);
    int px = 0, py = 0;
    headless.cursorPos(px, py);
    EXPECT_EQ(px, sx);
    EXPECT_EQ(py, sy);
}

TEST_F(KnobTest, DragPastMinStopsThereAndFiresOnChangeOnce) {
    TDIBKnob* knob = makeKnob();
    knob->SetPosition(4);
    changes = 0;
    drag(25, 24, 0, 30, 5);
    EXPECT_EQ(knob->Position(), 0);
    EXPECT_EQ(changes, 1);
    headless.paintWaiting();
    EXPECT_EQ(shown(), FrameColour(0));
}

TEST_F(KnobTest, RightPressReachesOnMouseDownWithoutDragging) {
    TDIBKnob* knob = makeKnob();
    knob->SetPosition(50);
    std::vector<runtime::TMouseButton> presses;
    knob->OnMouseDown = [&](runtime::TPersistent*, runtime::TMouseButton button,
                            runtime::TShiftState, int, int) { presses.push_back(button); };
    down(25, 24, MouseButton::Right);
    EXPECT_FALSE(knob->Dragging());
    move(25, 10);
    up(25, 10, MouseButton::Right);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0], runtime::TMouseButton::mbRight);
    EXPECT_EQ(knob->Position(), 50);
    EXPECT_EQ(headless.cursorHideRequests(), 0u);
}

TEST_F(KnobTest, ArrowAndPageKeysStepTheFocusedKnob) {
    TDIBKnob* knob = makeKnob();
    knob->SetDIBTabOrder(0);
    knob->SetPosition(100);
    click(25, 24); // takes the focus; a click without movement turns nothing
    ASSERT_TRUE(knob->Focused());
    EXPECT_EQ(knob->Position(), 100);
    headless.pressKey(runtime::VK_PRIOR);
    EXPECT_EQ(knob->Position(), 105);
    headless.pressKey(runtime::VK_NEXT);
    headless.pressKey(runtime::VK_NEXT);
    EXPECT_EQ(knob->Position(), 95);
    headless.pressKey(runtime::VK_UP);
    headless.pressKey(runtime::VK_RIGHT);
    EXPECT_EQ(knob->Position(), 97);
    headless.pressKey(runtime::VK_DOWN);
    EXPECT_EQ(knob->Position(), 96);
    headless.pressKey(runtime::VK_LEFT);
    EXPECT_EQ(knob->Position(), 95);
    // A key the OnKeyDown handler takes does not step.
    knob->OnKeyDown = [](runtime::TPersistent*, std::uint16_t& key, runtime::TShiftState) {
        if (key == runtime::VK_UP) key = 0;
    };
    headless.pressKey(runtime::VK_UP);
    EXPECT_EQ(knob->Position(), 95);
}

TEST_F(KnobTest, MinAndMaxPushEachOtherAndClampThePosition) {
    TDIBKnob* knob = makeKnob();
    knob->SetPosition(300);
    knob->SetMin(500);
    EXPECT_EQ(knob->Max(), 501);
    EXPECT_EQ(knob->Position(), 500);
    EXPECT_EQ(knob->Range(), 1);
    knob->SetMax(-3);
    EXPECT_EQ(knob->Min(), -4);
    EXPECT_EQ(knob->Position(), -3);
    EXPECT_FLOAT_EQ(knob->Fraction(), 1.0f);
    knob->SetMin(-10);
    knob->SetPosition(-8);
    EXPECT_FLOAT_EQ(knob->Fraction(), 2.0f / 7.0f);
    knob->SetPosition(1000);
    EXPECT_EQ(knob->Position(), -3);
    // Extremes neither overflow nor leave Min at or above Max.
    knob->SetMin(INT_MAX);
    EXPECT_LT(knob->Min(), knob->Max());
    knob->SetMax(INT_MIN);
    EXPECT_LT(knob->Min(), knob->Max());
    knob->SetMin(INT_MIN);
    knob->SetMax(INT_MAX);
    knob->SetPosition(INT_MAX);
    EXPECT_EQ(knob->GetFrameIndex(), 26);
}

TEST_F(KnobTest, UnchangedPositionRepaintsWithoutOnChange) {
    TDIBKnob* knob = makeKnob();
    knob->SetPosition(20);
    changes = 0;
    int paints = 0;
    knob->OnPaintStart = [&](runtime::TPersistent*) { ++paints; };
    knob->SetPosition(20);
    headless.paintWaiting();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(paints, 1);
}

TEST_F(KnobTest, NonPositiveNumGlyphsIsRefused) {
    TDIBKnob* knob = makeKnob();
    for (int bad : {0, -1}) {
        try {
            knob->SetNumGlyphs(bad);
            ADD_FAILURE() << bad;
        } catch (const EDIBKnobError& e) {
            EXPECT_STREQ(e.what(), "NumGlyphs must be greater than 0.");
        }
    }
    EXPECT_EQ(knob->NumGlyphs(), 27);
    EXPECT_EQ(knob->Width(), 10);
}

TEST_F(KnobTest, TweensBlendNeighbouringFramesAndLoopWrapsTheEnd) {
    TDIBKnob* knob = make<TDIBKnob>(20, 20);
    knob->IndexMain()->SetDIBIndex(addStrip(2, 10, 8));
    knob->SetNumGlyphs(2);
    knob->SetMax(4);
    knob->SetDrawTweens(true);
    knob->SetPosition(1); // halfway between frame 0 and frame 1
    headless.paintWaiting();
    const TColor a = FrameColour(0), b = FrameColour(1), mid = shown();
    for (int shift : {0, 8, 16}) {
        const int lo = std::min((a >> shift) & 0xFF, (b >> shift) & 0xFF);
        const int hi = std::max((a >> shift) & 0xFF, (b >> shift) & 0xFF);
        const int got = (mid >> shift) & 0xFF;
        EXPECT_GT(got, lo);
        EXPECT_LT(got, hi);
    }
    knob->SetPosition(4);
    headless.paintWaiting();
    EXPECT_EQ(shown(), FrameColour(1));
    knob->SetLoopLastFrame(true);
    headless.paintWaiting();
    EXPECT_EQ(shown(), FrameColour(0));
}

TEST_F(KnobTest, TemplateCarriesThePictureAndTheProperties) {
    TDIBKnob* knob = makeKnob();
    knob->SetMin(10);
    knob->SetMax(280);
    knob->SetPosition(123);
    knob->SetPageSize(9);
    knob->SetSmallChange(3);
    knob->SetOrientation(koHorizontal);
    knob->SetOpacity(200);
    knob->SetLoopLastFrame(true);
    runtime::TMemoryStream stream;
    knob->SaveTemplate(stream);

    auto* otherImages = runtime::TComponent::Create<TDIBImageList>(form.get());
    TDIBKnob* copy = make<TDIBKnob>(100, 60);
    copy->SetDIBImageList(otherImages);
    stream.SetPosition(0);
    copy->LoadTemplate(stream);
    EXPECT_EQ(copy->NumGlyphs(), 27);
    EXPECT_EQ(copy->Min(), 10);
    EXPECT_EQ(copy->Max(), 280);
    EXPECT_EQ(copy->Position(), 123);
    EXPECT_EQ(copy->PageSize(), 9);
    EXPECT_EQ(copy->SmallChange(), 3);
    EXPECT_EQ(copy->Orientation(), koHorizontal);
    EXPECT_EQ(copy->Opacity(), 200);
    EXPECT_TRUE(copy->LoopLastFrame());
    EXPECT_EQ(copy->Width(), 10);
    EXPECT_EQ(copy->Height(), 8);
    ASSERT_EQ(otherImages->DIBImages().Count(), 1);
    knob->SetOpacity(255);
    copy->SetOpacity(255);
    headless.paintWaiting();
    EXPECT_EQ(screen(105, 64), shown());
    EXPECT_EQ(shown(), FrameColour(knob->GetFrameIndex()));
}

} // namespace
} // namespace toolkit::testing
