#include "ControlsFixture.h"

#include "toolkit/cDIBFeatures.h"
#include "toolkit/cDIBImage.h"

#include <string>
#include <vector>

namespace toolkit::testing {
namespace {

using platform::MouseButton;

class FeaturesTest : public ControlsTest {
protected:
    /// A 20 x 20 figure at (50, 50) with a moveable feature.
    TDIBImage* makeFigure(TMoveableDIB*& moveable) {
        auto* figure = make<TDIBImage>(50, 50);
        figure->SetBounds(50, 50, 20, 20);
        moveable = static_cast<TMoveableDIB*>(DIBFeaturesOf(*figure).AddFeature("TMoveableDIB"));
        return figure;
    }
};

TEST_F(FeaturesTest, VerticalOnlyFigureFollowsOnlyTheVerticalPartOfADiagonalDrag) {
    TMoveableDIB* moveable = nullptr;
    TDIBImage* figure = makeFigure(moveable);
    moveable->SetAllowHorizontal(false);
    drag(55, 55, 13, 9, 3);
    EXPECT_EQ(figure->Left(), 50);
    EXPECT_EQ(figure->Top(), 59);
    // The pressed point of the figure follows the pointer: a second drag continues from there.
    drag(55, 65, -20, -30, 4);
    EXPECT_EQ(figure->Left(), 50);
    EXPECT_EQ(figure->Top(), 29);
    headless.paintWaiting();
    EXPECT_EQ(screen(55, 75), kBackground) << "old place repainted";
}

TEST_F(FeaturesTest, SnapTruncatesTowardsZero) {
    TMoveableDIB* moveable = nullptr;
    TDIBImage* figure = makeFigure(moveable);
    moveable->SetSnapSize(5);
    drag(55, 55, 7, 0);
    EXPECT_EQ(figure->Left(), 55);
    drag(60, 55, -7, 0);
    EXPECT_EQ(figure->Left(), 50);
    drag(55, 55, 4, -4);
    EXPECT_EQ(figure->Left(), 50);
    EXPECT_EQ(figure->Top(), 50);
}

TEST_F(FeaturesTest, ArrowKeysMoveByTheSnapAlongAllowedAxes) {
    TMoveableDIB* moveable = nullptr;
    TDIBImage* figure = makeFigure(moveable);
    figure->SetDIBTabOrder(0);
    moveable->SetAllowHorizontal(false);
    moveable->SetSnapSize(3);
    click(55, 55);
    ASSERT_TRUE(figure->Focused());
    headless.pressKey(runtime::VK_LEFT);
    headless.pressKey(runtime::VK_RIGHT);
    headless.pressKey(runtime::VK_RIGHT);
    EXPECT_EQ(figure->Left(), 50);
    headless.pressKey(runtime::VK_DOWN);
    headless.pressKey(runtime::VK_DOWN);
    headless.pressKey(runtime::VK_UP);
    EXPECT_EQ(figure->Top(), 53);
}

TEST_F(FeaturesTest, OtherButtonsNeitherDragNorLoseTheirMouseEvents) {
    TMoveableDIB* moveable = nullptr;
    TDIBImage* figure = makeFigure(moveable);
    std::vector<runtime::TMouseButton> presses;
    figure->OnMouseDown = [&](runtime::TPersistent*, runtime::TMouseButton button,
                              runtime::TShiftState, int, int) { presses.push_back(button); };
    down(55, 55, MouseButton::Right);
    move(60, 70);
    up(60, 70, MouseButton::Right);
    EXPECT_EQ(figure->Top(), 50);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0], runtime::TMouseButton::mbRight);
    // A right drag with the right button allowed.
    moveable->SetMouseButtons(MouseButtonBit(runtime::TMouseButton::mbRight));
    down(55, 55, MouseButton::Right);
    move(55, 60);
    up(55, 60, MouseButton::Right);
    EXPECT_EQ(figure->Top(), 55);
}

TEST_F(FeaturesTest, OnlyTheDragButtonsOwnReleaseEndsTheDrag) {
    TMoveableDIB* moveable = nullptr;
    TDIBImage* figure = makeFigure(moveable);
    down(55, 55);
    move(55, 58);
    down(55, 58, MouseButton::Right);
    up(55, 58, MouseButton::Right);
    EXPECT_TRUE(moveable->Dragging());
    move(55, 62);
    EXPECT_EQ(figure->Top(), 57);
    up(55, 62);
    EXPECT_FALSE(moveable->Dragging());
    move(55, 66);
    EXPECT_EQ(figure->Top(), 57);
}

TEST_F(FeaturesTest, ChildrenMoveWithTheFigure) {
    TMoveableDIB* moveable = nullptr;
    TDIBImage* figure = makeFigure(moveable);
    auto* label = make<TDIBImage>(80, 40);
    ChildrenOf(*figure).AddControl(label);
    EXPECT_THROW(ChildrenOf(*figure).AddControl(label), EFeatureError);
    try {
        ChildrenOf(*figure).Add()->SetControl(label);
        ADD_FAILURE();
    } catch (const EFeatureError& e) {
        EXPECT_STREQ(e.what(), "Control already exists in list.");
    }
    drag(55, 55, 6, 4);
    EXPECT_EQ(label->Left(), 86);
    EXPECT_EQ(label->Top(), 44);
    runtime::TComponent::Free(label);
    EXPECT_EQ(ChildrenOf(*figure).ChildCount(), 1) << "the entry that held it is gone";
    drag(56, 54, 1, 1);
    EXPECT_EQ(figure->Left(), 57);
}

/// Logs the messages it sees and marks chosen ones handled.
class ProbeFeature : public TDIBFeature {
public:
    using TDIBFeature::TDIBFeature;
    std::string ClassName() const override { return "TProbeFeature"; }
    void ProcessMessage(runtime::TMessage& message, bool& handled) override {
        if (message.Msg != runtime::WM_LBUTTONDOWN) return;
        (*Log).push_back(Label);
        handled = Handles;
    }
    std::vector<std::string>* Log = nullptr;
    std::string Label;
    bool Handles = false;
};

TEST_F(FeaturesTest, FeaturesSeeMessagesInOrderUntilOneHandles) {
    RegisterDIBFeature<ProbeFeature>("TProbeFeature");
    auto* figure = make<TDIBImage>(10, 10);
    std::vector<std::string> log;
    int clicks = 0;
    figure->OnMouseDown = [&](runtime::TPersistent*, runtime::TMouseButton, runtime::TShiftState,
                              int, int) { ++clicks; };
    TDIBFeatures& features = DIBFeaturesOf(*figure);
    std::vector<ProbeFeature*> probes;
    for (const char* label : {"a", "b", "c"}) {
        auto* probe = static_cast<ProbeFeature*>(features.AddFeature("tprobefeature"));
        probe->Log = &log;
        probe->Label = label;
        probes.push_back(probe);
    }
    features.Items(0)->SetEnabled(false);
    click(15, 15);
    EXPECT_EQ(log, (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(clicks, 1);
    probes[1]->Handles = true;
    log.clear();
    headless.advanceClock(1000); // a press, not a double click
    click(15, 15);
    EXPECT_EQ(log, (std::vector<std::string>{"b"}));
    EXPECT_EQ(clicks, 1) << "a handled message does not reach the control";
}

TEST_F(FeaturesTest, RegistryFindsCaseBlindFromTheNewest) {
    const TDIBFeatureClass* moveable = FindDIBFeature("tmoveabledib");
    ASSERT_NE(moveable, nullptr);
    EXPECT_EQ(moveable->ClassName, "TMoveableDIB");
    EXPECT_EQ(FindDIBFeature("TNoSuchFeature"), nullptr);
    RegisterDIBFeature<ProbeFeature>("TShadowed");
    RegisterDIBFeature<THighlightDIB>("TSHADOWED");
    auto* figure = make<TDIBImage>(0, 0);
    TDIBFeature* made = DIBFeaturesOf(*figure).AddFeature("tShadowed");
    EXPECT_EQ(made->ClassName(), "THighlightDIB");
    EXPECT_EQ(made->Control(), figure);
    EXPECT_EQ(made->Owner(), figure);
}

TEST_F(FeaturesTest, UnregisteredClassNameIsRefusedAndChangesNothing) {
    auto* figure = make<TDIBImage>(0, 0);
    TDIBFeatureItem* item = DIBFeaturesOf(*figure).Add();
    EXPECT_EQ(item->DisplayName(), "DIB feature");
    item->SetFeatureClassName("TMoveableDIB");
    TDIBFeature* before = item->Feature();
    try {
        item->SetFeatureClassName("TNope");
        ADD_FAILURE();
    } catch (const EFeatureError& e) {
        EXPECT_STREQ(e.what(), "TNope has not been registered");
    }
    EXPECT_EQ(item->Feature(), before);
    EXPECT_EQ(item->DisplayName(), "Moveable DIB");
    item->SetFeatureClassName("");
    EXPECT_EQ(item->Feature(), nullptr);
    EXPECT_EQ(DIBFeaturesOf(*figure).Count(), 1);
    EXPECT_THROW(DIBFeaturesOf(*figure).AddFeature("TNope"), EFeatureError);
    EXPECT_EQ(DIBFeaturesOf(*figure).Count(), 1);
}

TEST_F(FeaturesTest, HighlightRaisesOpacityWhileThePointerIsOver) {
    auto* figure = make<TDIBImage>(20, 20);
    figure->IndexMain()->SetDIBIndex(addSpot(20, 20, 0xFFFFFF, 0, 0, 20, 20));
    figure->SetAutoSize(true);
    figure->SetOpacity(0);
    auto* highlight =
        static_cast<THighlightDIB*>(DIBFeaturesOf(*figure).AddFeature("THighlightDIB"));
    highlight->SetHighlightOpacity(255);
    headless.paintWaiting();
    EXPECT_EQ(screen(25, 25), kBackground);
    move(25, 25);
    EXPECT_EQ(figure->Opacity(), 255);
    EXPECT_EQ(screen(25, 25), 0xFFFFFFu);
    move(100, 100);
    EXPECT_EQ(figure->Opacity(), 0);
    EXPECT_EQ(screen(25, 25), kBackground);
}

TEST_F(FeaturesTest, ShapeableHitTestFollowsTheVisiblePixelsOfATurnedImage) {
    auto* below = make<TDIBImage>(0, 0);
    below->SetBounds(0, 0, 200, 150);
    auto* shaped = make<TDIBImage>(40, 40);
    // A 40 x 40 picture whose left half is visible.
    shaped->IndexMain()->SetDIBIndex(addSpot(40, 40, 0x00C000, 0, 0, 20, 40));
    shaped->SetAutoSize(true);
    auto* shape = static_cast<TShapeableDIB*>(DIBFeaturesOf(*shaped).AddFeature("TShapeableDIB"));
    shape->SetMaskLevel(1);
    int onShaped = 0, onBelow = 0;
    shaped->OnClick = [&](runtime::TPersistent*) { ++onShaped; };
    below->OnClick = [&](runtime::TPersistent*) { ++onBelow; };
    headless.paintWaiting();
    click(45, 60); // left half: visible
    click(75, 60); // right half: transparent, the click goes through
    EXPECT_EQ(onShaped, 1);
    EXPECT_EQ(onBelow, 1);

    // Turned by 180 degrees the visible half is on the right; the next paint stamp rebuilds.
    headless.advanceClock(10);
    shaped->SetAngle(180);
    headless.paintWaiting();
    const int builds = shape->RegionBuilds();
    click(45, 60);
    click(75, 60);
    EXPECT_EQ(onShaped, 2);
    EXPECT_EQ(onBelow, 2);
    EXPECT_EQ(shape->RegionBuilds(), builds + 1);
    // Without a new stamp the region is kept.
    click(75, 60);
    EXPECT_EQ(shape->RegionBuilds(), builds + 1);
}

TEST_F(FeaturesTest, ShapeableByColourKeyUsesTheBottomLeftPixel) {
    auto* below = make<TDIBImage>(0, 0);
    below->SetBounds(0, 0, 200, 150);
    auto* shaped = make<TDIBImage>(40, 40);
    // Opaque everywhere: the bottom-left colour (FrameColour(0)) is the key, frame 1 is solid.
    shaped->IndexMain()->SetDIBIndex(addStrip(2, 20, 20));
    shaped->SetAutoSize(true);
    DIBFeaturesOf(*shaped).AddFeature("TShapeableDIB");
    int onShaped = 0, onBelow = 0;
    shaped->OnClick = [&](runtime::TPersistent*) { ++onShaped; };
    below->OnClick = [&](runtime::TPersistent*) { ++onBelow; };
    click(45, 45);
    click(65, 45);
    EXPECT_EQ(onShaped, 1);
    EXPECT_EQ(onBelow, 1);
}

} // namespace
} // namespace toolkit::testing
