#include "ControlsFixture.h"

#include "runtime/Streams.h"
#include "toolkit/cDIBImage.h"

#include <limits>
#include <utility>

namespace toolkit::testing {
namespace {

class ImageTest : public ControlsTest {
protected:
    static constexpr TColor kInk = 0x2080F0;
};

TEST_F(ImageTest, AutoSizeIsTheEvenBoundingSizeOfTheScaledTurnedImage) {
    auto* image = make<TDIBImage>(10, 10);
    image->IndexMain()->SetDIBIndex(addStrip(1, 47, 59));
    EXPECT_EQ(image->Width(), 32) << "no auto size by default";
    image->SetAutoSize(true);
    EXPECT_EQ(image->Width(), 46);
    EXPECT_EQ(image->Height(), 58);
    image->SetScale(200);
    EXPECT_EQ(image->Width(), 94);
    EXPECT_EQ(image->Height(), 118);
    image->SetScale(100);
    image->SetAngle(90);
    EXPECT_EQ(image->Width(), 58);
    EXPECT_EQ(image->Height(), 46);
    image->SetAngle(45);
    // |47 cos 45| + |59 sin 45| = 74.95: up to 75, down to even 74, both ways.
    EXPECT_EQ(image->Width(), 74);
    EXPECT_EQ(image->Height(), 74);
}

TEST_F(ImageTest, AngleIsKeptInZeroTo360) {
    auto* image = make<TDIBImage>(0, 0);
    const std::pair<long double, long double> cases[] = {
        {-90, 270}, {360, 0}, {720.5L, 0.5L}, {-720, 0}, {359.5L, 359.5L}, {1e30L, -1}};
    for (const auto& [given, expected] : cases) {
        image->SetAngle(given);
        EXPECT_GE(image->Angle(), 0) << static_cast<double>(given);
        EXPECT_LT(image->Angle(), 360) << static_cast<double>(given);
        if (expected >= 0) {
            EXPECT_EQ(image->Angle(), expected) << static_cast<double>(given);
        }
    }
    image->SetAngle(std::numeric_limits<long double>::quiet_NaN());
    EXPECT_EQ(image->Angle(), 0);
}

TEST_F(ImageTest, StretchFillsTheControlAndTurnsAutoSizeOff) {
    auto* image = make<TDIBImage>(20, 30);
    image->IndexMain()->SetDIBIndex(addStrip(1, 10, 10));
    image->SetAutoSize(true);
    image->SetStretch(true);
    EXPECT_FALSE(image->AutoSize());
    image->SetBounds(20, 30, 40, 20);
    headless.paintWaiting();
    EXPECT_EQ(screen(20, 30), FrameColour(0));
    EXPECT_EQ(screen(59, 49), FrameColour(0));
    EXPECT_EQ(screen(60, 49), kBackground);
    // Setting a scale ends stretching.
    image->SetScale(100);
    EXPECT_FALSE(image->Stretch());
    headless.paintWaiting();
    EXPECT_EQ(screen(29, 39), FrameColour(0));
    EXPECT_EQ(screen(31, 41), kBackground);
}

TEST_F(ImageTest, CenterPlacesTheImageInTheMiddleOnlyWithoutAutoSize) {
    auto* image = make<TDIBImage>(20, 30);
    image->IndexMain()->SetDIBIndex(addStrip(1, 10, 10));
    image->SetBounds(20, 30, 31, 31);
    image->SetCenter(true);
    headless.paintWaiting();
    // 31 div 2 - 10 div 2 = 10.
    EXPECT_EQ(screen(29, 39), kBackground);
    EXPECT_EQ(screen(30, 40), FrameColour(0));
    EXPECT_EQ(screen(39, 49), FrameColour(0));
    EXPECT_EQ(screen(40, 50), kBackground);
    image->SetAutoSize(true);
    headless.paintWaiting();
    EXPECT_EQ(image->Width(), 10);
    EXPECT_EQ(screen(20, 30), FrameColour(0));
}

TEST_F(ImageTest, ImageWithoutPictureLeavesTheBackgroundAndOpacityZeroHidesOne) {
    auto* under = make<TDIBImage>(0, 0);
    under->IndexMain()->SetDIBIndex(addSpot(40, 40, kInk, 0, 0, 40, 40));
    auto* empty = make<TDIBImage>(0, 0);
    empty->SetBounds(0, 0, 40, 40);
    auto* hidden = make<TDIBImage>(20, 0);
    hidden->IndexMain()->SetDIBIndex(addStrip(2, 20, 20));
    hidden->SetOpacity(0);
    headless.paintWaiting();
    EXPECT_EQ(screen(5, 5), kInk);
    EXPECT_EQ(screen(25, 5), kInk);
}

TEST_F(ImageTest, RotatedImageIsDrawnTurned) {
    // A bar 30 wide and 6 high, turned by 90 degrees, stands 6 wide and 30 high.
    auto* image = make<TDIBImage>(40, 20);
    image->IndexMain()->SetDIBIndex(addSpot(30, 6, kInk, 0, 0, 30, 6));
    image->SetAutoSize(true);
    image->SetAngle(90);
    headless.paintWaiting();
    ASSERT_EQ(image->Width(), 6);
    ASSERT_EQ(image->Height(), 30);
    EXPECT_EQ(screen(43, 25), kInk);
    EXPECT_EQ(screen(43, 44), kInk);
    EXPECT_EQ(screen(50, 22), kBackground);
}

TEST_F(ImageTest, TemplateCarriesPictureAndTransform) {
    auto* image = make<TDIBImage>(10, 10);
    image->IndexMain()->SetDIBIndex(addStrip(1, 47, 59));
    image->SetAutoSize(true);
    image->SetAngle(30);
    image->SetScale(150);
    image->SetOpacity(77);
    runtime::TMemoryStream stream;
    image->SaveTemplate(stream);

    auto* otherImages = runtime::TComponent::Create<TDIBImageList>(form.get());
    auto* copy = make<TDIBImage>(0, 0);
    copy->SetDIBImageList(otherImages);
    stream.SetPosition(0);
    copy->LoadTemplate(stream);
    EXPECT_EQ(copy->Angle(), 30);
    EXPECT_EQ(copy->Scale(), 150);
    EXPECT_TRUE(copy->AutoSize());
    EXPECT_FALSE(copy->Center());
    EXPECT_FALSE(copy->Stretch());
    EXPECT_EQ(copy->Opacity(), 77);
    EXPECT_EQ(copy->Width(), image->Width());
    EXPECT_EQ(copy->Height(), image->Height());
    ASSERT_EQ(otherImages->DIBImages().Count(), 1);
    EXPECT_EQ(otherImages->DIBImages().Items(0)->DIB().Width(), 47);
}

} // namespace
} // namespace toolkit::testing
