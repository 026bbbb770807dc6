// Auto size of the controls that take one frame of their strip: the knob and the glyph button.

#include "ControlsFixture.h"

#include "toolkit/cDIBGlyphButton.h"
#include "toolkit/cDIBKnob.h"

namespace toolkit::testing {
namespace {

TDIBImageLink* stripOf(TDIBKnob& knob) {
    return knob.IndexMain();
}

TDIBImageLink* stripOf(TDIBGlyphButton& button) {
    return button.Glyph();
}

template <class Control>
class StripAutoSizeTest : public ControlsTest {
protected:
    /// A control at (10, 10) on four frames; AutoSize as the control has it by default.
    Control* makeControl() {
        Control* control = this->template make<Control>(10, 10);
        control->SetNumGlyphs(4);
        return control;
    }
};

using StripControls = ::testing::Types<TDIBKnob, TDIBGlyphButton>;
TYPED_TEST_SUITE(StripAutoSizeTest, StripControls);

TYPED_TEST(StripAutoSizeTest, TakesOneFrameOfItsStripAndFollowsANewStripInPlace) {
    TypeParam* control = this->makeControl();
    EXPECT_TRUE(control->AutoSize()) << "on by default";
    stripOf(*control)->SetDIBIndex(this->addStrip(4, 12, 9));
    EXPECT_EQ(control->BoundsRect(), (TRect{10, 10, 22, 19}));
    stripOf(*control)->SetDIBIndex(this->addStrip(4, 7, 5));
    EXPECT_EQ(control->BoundsRect(), (TRect{10, 10, 17, 15}));
}

TYPED_TEST(StripAutoSizeTest, OffKeepsTheSizeGivenAndSwitchingOnSizesAtOnce) {
    TypeParam* control = this->makeControl();
    control->SetAutoSize(false);
    control->SetBounds(10, 10, 30, 25);
    stripOf(*control)->SetDIBIndex(this->addStrip(4, 12, 9));
    EXPECT_EQ(control->Width(), 30);
    EXPECT_EQ(control->Height(), 25);
    control->SetAutoSize(true);
    EXPECT_EQ(control->Width(), 12);
    EXPECT_EQ(control->Height(), 9);
}

TYPED_TEST(StripAutoSizeTest, WhileLoadingTheSizeWaitsForLoaded) {
    TypeParam* control = this->makeControl();
    const TRect before = control->BoundsRect();
    control->IncludeState(runtime::csLoading);
    stripOf(*control)->SetDIBIndex(this->addStrip(4, 12, 9));
    control->SetNumGlyphs(2);
    EXPECT_EQ(control->BoundsRect(), before);
    control->Loaded();
    EXPECT_EQ(control->Width(), 24);
    EXPECT_EQ(control->Height(), 9);
}

} // namespace
} // namespace toolkit::testing
