// The editor at 150 and 200 %: what it shows comes from that density's own pictures at scaled
// edges, input gives the design's values, and the scale comes from the user, the host or the
// system, in that order.
#include "EditorFixture.h"

#include "editor/art/ArtScale.h"
#include "editor/art/EditorArt.h"
#include "editor/uEditorScale.h"
#include "runtime/Streams.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace editortest;
using editorart::scaled;

namespace {

constexpr int32_t kScaleIndex = 0x50726553;  // 'PreS'
constexpr intptr_t kScaleValue = 0x41654373; // 'AeCs'

class ScaleTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        choicePath = ::testing::TempDir() + "wadling-scale-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
        std::remove(choicePath.c_str());
        wrapper().choiceFile = choicePath;
    }
    void TearDown() override {
        EditorTest::TearDown();
        std::remove(choicePath.c_str());
    }

    intptr_t hostScale(float factor) {
        return plugin->dispatch(effVendorSpecific, kScaleIndex, kScaleValue, nullptr, factor);
    }
    void openAt(int percent) {
        hostScale(float(percent) / 100.0f);
        open();
    }
    std::pair<int, int> rect() {
        ERect* r = nullptr;
        EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &r), 1);
        return r ? std::pair{r->right - r->left, r->bottom - r->top} : std::pair{0, 0};
    }

    std::vector<runtime::TControl*> controls() {
        TPluginEditorWindow& w = window();
        return {w.DIBContainer1, w.kbComp, w.DIBImage1, w.EQs,   w.Mix,   w.Banner,
                w.btnListen,     w.Duck1,  w.Duck2,     w.Duck3, w.Duck4, w.Compression};
    }

    /// Moves the pointer from a control's centre by `moves` steps of `step` pixels, released.
    void dragInSteps(const runtime::TControl& control, int moves, int step) {
        const runtime::TPoint start = centre(control);
        headless.mouseDown(platform::MouseButton::Left, start.X, start.Y);
        for (int i = 1; i <= moves; ++i)
            headless.mouseMove(start.X, start.Y + i * step);
        headless.mouseUp(platform::MouseButton::Left, start.X, start.Y + moves * step);
    }

    /// Every report the host received, as (parameter, value).
    std::vector<std::pair<int32_t, float>> reports() const {
        std::vector<std::pair<int32_t, float>> out;
        for (const auto& call : automation())
            out.emplace_back(call.index, call.opt);
        return out;
    }

    /// The same gestures at `percent`, the figures moved `step` design pixels at a time (a whole
    /// number of screen pixels), the knob one screen pixel at a time.
    std::vector<std::pair<int32_t, float>> gestures(int percent, int step) {
        for (int i = 0; i < param::Count; ++i)
            plugin->setParameter(i, 0.5f);
        plugin->setParameter(param::Squeeze, 0.0f);
        openAt(percent);
        tick();
        host.clearCalls();
        TPluginEditorWindow& w = window();
        const int unit = step * percent / 100;
        dragInSteps(*w.Duck3, 90 / step, -unit); // 90 up: past the top, clamped
        dragInSteps(*w.Duck4, 90 / step, unit);  // 90 down: past the lowest
        dragInSteps(*w.Duck2, 12 / step, unit);
        tick();
        // The knob: one screen pixel per move, so that denser windows carry parts of a step.
        const runtime::TPoint at = centre(*w.kbComp);
        headless.mouseDown(platform::MouseButton::Left, at.X, at.Y);
        for (int i = 0; i < 18 * percent / 100; ++i)
            headless.mouseMove(at.X, at.Y - 1);
        headless.mouseUp(platform::MouseButton::Left, at.X, at.Y);
        auto made = reports();
        close();
        return made;
    }

    std::string choicePath;
};

} // namespace

TEST_F(ScaleTest, AtEachDensityTheWindowAndEveryEdgeAreTheDesignsScaled) {
    // The image-list item of each control of controls() that sizes itself to its picture.
    const int pictures[] = {-1, -1, -1, 1, 2, 4, -1, 6, 7, 8, 9, 3};
    open();
    std::vector<runtime::TRect> design;
    for (runtime::TControl* c : controls())
        design.push_back({c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height()});
    EXPECT_EQ(rect(), (std::pair{490, 322}));
    close();
    for (int percent : {150, 200}) {
        openAt(percent);
        EXPECT_EQ(window().Scale(), percent);
        EXPECT_EQ(rect(), (std::pair{scaled(490, percent), scaled(322, percent)}));
        const auto now = controls();
        for (std::size_t i = 0; i < now.size(); ++i) {
            const runtime::TControl& c = *now[i];
            const runtime::TRect& d = design[i];
            EXPECT_EQ(c.Left(), scaled(d.Left, percent)) << c.Name() << " at " << percent;
            EXPECT_EQ(c.Top(), scaled(d.Top, percent)) << c.Name() << " at " << percent;
            if (pictures[i] >= 0) {
                // A picture sizes its control: the density's own picture, to even sizes.
                const auto p =
                    toolkit::UnpackDIBPicture(editorart::packedImage(pictures[i], percent));
                EXPECT_EQ(c.Width(), p.Width - p.Width % 2) << c.Name() << " at " << percent;
                EXPECT_EQ(c.Height(), p.Height - p.Height % 2) << c.Name() << " at " << percent;
                continue;
            }
            if (now[i] == window().btnListen) {
                // The button's two glyphs side by side: its height is its picture's.
                const auto p = toolkit::UnpackDIBPicture(editorart::packedImage(5, percent));
                EXPECT_EQ(c.Width(), p.Width / 2) << percent;
                EXPECT_EQ(c.Height(), p.Height) << percent;
                continue;
            }
            EXPECT_EQ(c.Left() + c.Width(), scaled(d.Right, percent)) << c.Name() << percent;
            EXPECT_EQ(c.Top() + c.Height(), scaled(d.Bottom, percent)) << c.Name() << percent;
        }
        close();
    }
}

TEST_F(ScaleTest, TheKnobFrameShownIsTheDensitysOwnPictureOverTheWholeWindow) {
    for (int percent : editorart::kScales) {
        plugin->setParameter(param::Squeeze, 0.3f);
        openAt(percent);
        tick();
        ASSERT_EQ(window().kbComp->GetFrameIndex(), 8);
        const auto packed = editorart::packedImage(0, percent);
        runtime::TReadOnlyMemoryStream stream(packed.data(), packed.size());
        toolkit::TMemoryDIB strip;
        strip.ReadData(stream);
        const int frameWidth = scaled(491, percent);
        ASSERT_EQ(strip.Width(), 27 * frameWidth);
        const auto frame = [&](int f, int x, int y) {
            const std::uint8_t* p = strip.RowPointer(y) + 4 * (f * frameWidth + x);
            return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
        };
        // The free middle (no control above it), to the far corner of the denser picture.
        int compared = 0;
        for (int y = scaled(30, percent); y < scaled(230, percent); y += 5)
            for (int x = scaled(190, percent); x < scaled(420, percent); x += 5) {
                if (frame(8, x, y) == frame(7, x, y) || frame(8, x, y) == frame(9, x, y)) continue;
                ++compared;
                ASSERT_EQ(screen(x, y), frame(8, x, y)) << x << ", " << y << " at " << percent;
            }
        EXPECT_GT(compared, 20 * percent / 100);
        close();
    }
}

TEST_F(ScaleTest, DragsOfScaledLengthReportExactlyWhatTheDesignsDragsReport) {
    const auto design = gestures(100, 1);
    ASSERT_GT(design.size(), 40u);
    EXPECT_EQ(gestures(200, 1), design);
    const auto designByTwo = gestures(100, 2);
    EXPECT_EQ(gestures(150, 2), designByTwo);
}

TEST_F(ScaleTest, ADensityIsChosenByUserThenHostThenSystemAndRoundedDown) {
    using editorscale::choose;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(choose(150, 2.0, 2.0), 150) << "the user's choice first";
    EXPECT_EQ(choose(0, 1.99, 2.0), 150) << "then the host's, rounded down";
    EXPECT_EQ(choose(0, 0, 2.4), 200) << "then the system's";
    EXPECT_EQ(choose(0, 0, 1.49), 100);
    EXPECT_EQ(choose(0, 0.5, 2.0), 100) << "below 100 % is 100 %, the host's word stands";
    EXPECT_EQ(choose(125, nan, 1.5), 150) << "an unsupported choice and a NaN say nothing";
    EXPECT_EQ(choose(0, -2.0, inf), 100);
    EXPECT_EQ(choose(0, 0, 0), 100);

    EXPECT_DOUBLE_EQ(platform::scaleFromXResources("Xft.dpi:\t144\nXft.hinting:\t1\n"), 1.5);
    EXPECT_DOUBLE_EQ(platform::scaleFromXResources("a: b\nXft.dpi:  192.0 \r\n"), 2.0);
    for (const char* bad : {"", "Xft.dpi:", "Xft.dpi:\tlarge\n", "Xft.dpi:\t-96\n", "Xft.dpi:\t0\n",
                            "Xft.dpi:\t1.2.3\n", "xft.dpi:\t192\n"})
        EXPECT_EQ(platform::scaleFromXResources(bad), 0.0) << bad;
}

TEST_F(ScaleTest, TheChoiceFileKeepsAChoiceAndADamagedOneIsAutomatic) {
    EXPECT_EQ(editorscale::readChoice(choicePath), editorscale::kAutomatic) << "missing";
    for (int choice : {200, 150, 100, editorscale::kAutomatic}) {
        ASSERT_TRUE(editorscale::writeChoice(choicePath, choice));
        EXPECT_EQ(editorscale::readChoice(choicePath), choice);
    }
    EXPECT_FALSE(editorscale::writeChoice(choicePath, 175));
    EXPECT_FALSE(editorscale::writeChoice("", 150));
    EXPECT_EQ(editorscale::readChoice(""), editorscale::kAutomatic);
    for (const char* damaged : {"zoom=175\n", "zoom=1500\n", "zoom=\n", "150\n", "zoom=150x",
                                "\xff\xfe\x00zoom=150", "zoom=200zoom=200zoom=200zoom=200"}) {
        std::ofstream(choicePath, std::ios::binary) << damaged;
        EXPECT_EQ(editorscale::readChoice(choicePath), editorscale::kAutomatic) << damaged;
    }
    // A damaged file leaves the host's word in charge.
    hostScale(2.0f);
    open();
    EXPECT_EQ(window().Scale(), 200);
    close();
    ASSERT_TRUE(editorscale::writeChoice(choicePath, 150));
    open();
    EXPECT_EQ(window().Scale(), 150) << "the user's choice over the host's";
    close();
    ASSERT_TRUE(editorscale::writeChoice(choicePath, editorscale::kAutomatic));
    hostScale(0.0f);
    headless.setDisplayScale(2.2);
    open();
    EXPECT_EQ(window().Scale(), 200) << "the system's, the host having said nothing";
}

TEST_F(ScaleTest, AHostScaleForAnOpenEditorResizesOnlyWhenTheHostTakesTheNewSize) {
    open();
    TPluginEditorWindow* first = &window();
    // The recording host answers 0 to everything: it refuses the size.
    EXPECT_EQ(hostScale(2.0f), 1);
    auto sizes = host.calls(audioMasterSizeWindow);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].index, 980);
    EXPECT_EQ(sizes[0].value, 644);
    EXPECT_EQ(&window(), first) << "a refused size keeps the window whole at its size";
    EXPECT_EQ(rect(), (std::pair{490, 322}));
    close();
    open();
    EXPECT_EQ(rect(), (std::pair{980, 644})) << "the next open takes the new size";

    host.setAnswer(audioMasterSizeWindow, 1);
    plugin->setParameter(param::EQLo, 0.2f);
    EXPECT_EQ(hostScale(1.5f), 1);
    EXPECT_EQ(rect(), (std::pair{735, 483}));
    EXPECT_EQ(window().Scale(), 150);
    EXPECT_EQ(window().Duck3->Top(), scaled(172 - 30, 150)) << "the new window shows the values";
    const auto count = host.calls(audioMasterSizeWindow).size();
    EXPECT_EQ(hostScale(1.6f), 1);
    EXPECT_EQ(host.calls(audioMasterSizeWindow).size(), count) << "same density: nothing asked";
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, kScaleIndex, 1, nullptr, 2.0f), 0);
    EXPECT_EQ(window().Scale(), 150) << "another vendor call is not a scale";
}

TEST_F(ScaleTest, TheZoomMenuKeepsTheUsersChoiceForEveryInstanceAndRedrawsTheOpenEditor) {
    host.setAnswer(audioMasterSizeWindow, 1);
    hostScale(1.5f);
    open();
    menu(*window().Duck3);
    const auto& shown = headless.shownMenus().back().items;
    const auto zoom =
        std::find_if(shown.begin(), shown.end(), [](const auto& e) { return e.caption == "Zoom"; });
    ASSERT_NE(zoom, shown.end());
    std::vector<std::string> captions;
    std::vector<bool> checked;
    for (const auto& sub : zoom->items) {
        captions.push_back(sub.caption);
        checked.push_back(sub.checked);
    }
    EXPECT_EQ(captions, (std::vector<std::string>{"Automatic", "100 %", "150 %", "200 %"}));
    EXPECT_EQ(checked, (std::vector<bool>{true, false, false, false}));

    menu(*window().Duck3, {"Zoom", "100 %"});
    EXPECT_EQ(window().Scale(), 150) << "not inside the menu's own handlers";
    tick();
    EXPECT_EQ(window().Scale(), 100) << "the user's choice over the host's";
    EXPECT_EQ(rect(), (std::pair{490, 322}));
    EXPECT_EQ(editorscale::readChoice(choicePath), 100);
    EXPECT_EQ(host.calls(audioMasterSizeWindow).back().index, 490);

    // Another instance reads the same choice.
    host::PluginInstance other(&testsupport::linkedEntry, host);
    APluginEditor& second = *pluginEditor(testsupport::pluginObject(other));
    second.choiceFile = choicePath;
    ASSERT_EQ(other.dispatch(effVendorSpecific, kScaleIndex, kScaleValue, nullptr, 2.0f), 1);
    int otherParent = 0;
    ASSERT_EQ(other.dispatch(effEditOpen, 0, 0, &otherParent), 1);
    EXPECT_EQ(second.window->Scale(), 100);
    other.dispatch(effEditClose);

    menu(*window().Duck3, {"Zoom", "Automatic"});
    tick();
    EXPECT_EQ(window().Scale(), 150) << "automatic: the host's word again";
    EXPECT_EQ(editorscale::readChoice(choicePath), editorscale::kAutomatic);
}

TEST_F(ScaleTest, TheMenuAndTheMidiMapBoxAreAskedAtTheWindowsDensity) {
    for (int percent : {100, 150, 200}) {
        openAt(percent);
        menu(*window().EQs, {"MIDI", "Show MIDI Mapping"});
        ASSERT_FALSE(headless.shownMenus().empty());
        ASSERT_FALSE(headless.shownMessageBoxes().empty());
        EXPECT_EQ(headless.shownMenus().back().percent, percent);
        EXPECT_EQ(headless.shownMessageBoxes().back().percent, percent);
        close();
    }
}
