// The editor as a user drives it: injected mouse input on the headless backend, with the
// automation the host records (and what the window shows) as the observable.
#include "EditorFixture.h"

#include "MidiEventList.h"
#include "editor/art/EditorArt.h"
#include "editor/uEditorArt.h"
#include "runtime/Streams.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace editortest;

namespace {

const platform::MenuEntry* findEntry(const std::vector<platform::MenuEntry>& items,
                                     const std::string& caption) {
    for (const auto& item : items)
        if (item.caption == caption) return &item;
    return nullptr;
}

bool hasSeparator(const std::vector<platform::MenuEntry>& items) {
    return std::any_of(items.begin(), items.end(), [](const auto& e) { return e.separator; });
}

TEST_F(EditorTest, ADraggedFigureSendsTheValueOfItsTopAndTheNextTickMovesNothing) {
    plugin->setParameter(param::EQLo, 0.5f);
    open();
    TPluginEditorWindow& w = window();
    ASSERT_EQ(w.Duck3->Top(), 97) << "172 - round(0.5 x 150)";

    drag(*w.Duck3, -30);
    EXPECT_EQ(w.Duck3->Top(), 67);
    const auto sent = automation();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().index, param::EQLo);
    EXPECT_EQ(sent.back().opt, static_cast<float>(105.0L / 150.0L));
    EXPECT_EQ(plugin->getParameter(param::EQLo), sent.back().opt);
    for (const auto& call : sent)
        EXPECT_EQ(call.index, param::EQLo) << "only the dragged band is sent";

    tick();
    EXPECT_EQ(w.Duck3->Top(), 67);
    EXPECT_EQ(automation().size(), sent.size()) << "the timer sends nothing";
}

TEST_F(EditorTest, ADoubleClickResetsABandAndTheNextTickPutsItsFigureAtTop97) {
    plugin->setParameter(param::EQHi, 0.9f);
    plugin->setParameter(param::EQMid, 0.1f);
    open();
    TPluginEditorWindow& w = window();
    EXPECT_EQ(w.Duck1->Top(), 37);
    EXPECT_EQ(w.Duck2->Top(), 157);

    for (toolkit::TDIBImage* figure : {w.Duck1, w.Duck2}) {
        host.clearCalls();
        const runtime::TPoint at = centre(*figure);
        headless.doubleClick(platform::MouseButton::Left, at.X, at.Y);
        const auto sent = automation();
        ASSERT_FALSE(sent.empty()) << figure->Name();
        EXPECT_EQ(sent.back().index, figure->Tag());
        EXPECT_EQ(sent.back().opt, 0.5f);
        tick();
        EXPECT_EQ(figure->Top(), 97) << figure->Name();
    }
}

TEST_F(EditorTest, TheMixFigureStopsAt22And182SendingOneAndZero) {
    plugin->setParameter(param::DryWet, 0.5f);
    open();
    TPluginEditorWindow& w = window();
    ASSERT_EQ(w.Duck4->Top(), 102);

    drag(*w.Duck4, -300);
    EXPECT_EQ(w.Duck4->Top(), 22);
    ASSERT_FALSE(automation().empty());
    EXPECT_EQ(automation().back().index, param::DryWet);
    EXPECT_EQ(automation().back().opt, 1.0f);

    drag(*w.Duck4, 400);
    EXPECT_EQ(w.Duck4->Top(), 182);
    EXPECT_EQ(automation().back().opt, 0.0f);
    EXPECT_EQ(plugin->getParameter(param::DryWet), 0.0f);

    // An EQ figure stops at 172, not at the mix figure's limit.
    drag(*w.Duck3, 400);
    EXPECT_EQ(w.Duck3->Top(), 172);
    EXPECT_EQ(automation().back().index, param::EQLo);
    EXPECT_EQ(automation().back().opt, 0.0f);
}

TEST_F(EditorTest, TheMenuShowsItsMidiPartOnlyForControlsWithAParameter) {
    plugin->setParameter(param::DryWet, 1.0f); // the mix figure at the top, off the scale's centre
    open();
    TPluginEditorWindow& w = window();
    menu(*w.Mix);
    ASSERT_EQ(headless.shownMenus().size(), 1u);
    auto items = headless.shownMenus().back().items;
    EXPECT_EQ(findEntry(items, "MIDI"), nullptr);
    EXPECT_FALSE(hasSeparator(items));
    ASSERT_NE(findEntry(items, "Feathered"), nullptr);
    EXPECT_EQ(items.size(), 5u);

    for (runtime::TControl* control :
         {static_cast<runtime::TControl*>(w.EQs), static_cast<runtime::TControl*>(w.Compression),
          static_cast<runtime::TControl*>(w.Duck3)}) {
        menu(*control);
        items = headless.shownMenus().back().items;
        const platform::MenuEntry* midi = findEntry(items, "MIDI");
        ASSERT_NE(midi, nullptr) << control->Name();
        EXPECT_TRUE(hasSeparator(items));
        std::vector<std::string> captions;
        for (const auto& sub : midi->items)
            captions.push_back(sub.caption);
        EXPECT_EQ(captions, (std::vector<std::string>{"MIDI Learn", "Show MIDI Mapping",
                                                      "Reset MIDI Learning",
                                                      "Restore Default MIDI Mapping"}));
    }

    menu(*w.Banner);
    EXPECT_EQ(findEntry(headless.shownMenus().back().items, "MIDI"), nullptr);
    EXPECT_TRUE(host.calls(audioMasterAutomate).empty()) << "showing a menu sends nothing";
}

TEST_F(EditorTest, MidiLearnArmsThePressedControlsParameterAndTheNextControllerIsLearned) {
    open();
    TPluginEditorWindow& w = window();
    menu(*w.btnListen, {"MIDI", "MIDI Learn"});
    EXPECT_EQ(object().midiLearnParam.load(), param::EQListen);
    menu(*w.Duck2, {"MIDI", "MIDI Learn"});
    ASSERT_EQ(object().midiLearnParam.load(), param::EQMid) << "the last control pressed";

    MidiEventList events;
    events.cc(0, 77, 127);
    plugin->dispatch(effProcessEvents, 0, 0, events.get());
    std::vector<float> left(64, 0.0f), right(64, 0.0f), outL(64), outR(64);
    float* in[] = {left.data(), right.data()};
    float* out[] = {outL.data(), outR.data()};
    plugin->processReplacing(in, out, 64);

    EXPECT_EQ(object().midiCcMap[77].load(), param::EQMid);
    EXPECT_EQ(object().midiLearnParam.load(), -1);
    EXPECT_EQ(plugin->getParameter(param::EQMid), 1.0f);

    menu(*w.EQs, {"MIDI", "Show MIDI Mapping"});
    ASSERT_EQ(headless.shownMessageBoxes().size(), 1u);
    EXPECT_EQ(headless.shownMessageBoxes()[0].text, object().getMidiMapText());
    EXPECT_EQ(headless.shownMessageBoxes()[0].flags, runtime::MB_OK);

    menu(*w.EQs, {"MIDI", "Reset MIDI Learning"});
    EXPECT_EQ(object().midiCcMap[77].load(), -1);
    EXPECT_EQ(object().midiCcMap[20].load(), -1);
    menu(*w.EQs, {"MIDI", "Restore Default MIDI Mapping"});
    EXPECT_EQ(object().midiCcMap[20].load(), param::EQLo);
    EXPECT_EQ(object().midiCcMap[31].load(), 11);
}

TEST_F(EditorTest, TheHostsCharacterIsCheckedAndChoosingTheCheckedOneSendsNothing) {
    plugin->setParameter(param::Skweezy, 0.6f);
    plugin->setParameter(param::DryWet, 1.0f);
    open();
    TPluginEditorWindow& w = window();
    EXPECT_TRUE(w.mnuSqeezy3->Checked()) << "round(0.6 x 4) = 2: Quacky";
    EXPECT_FALSE(w.mnuSqeezy1->Checked());

    menu(*w.Mix, {"Quacky"});
    EXPECT_TRUE(automation().empty());

    menu(*w.Mix, {"Ugly"});
    ASSERT_EQ(automation().size(), 1u);
    EXPECT_EQ(automation()[0].index, param::Skweezy);
    EXPECT_EQ(automation()[0].opt, 1.0f);
    EXPECT_TRUE(w.mnuSqeezy5->Checked());
    EXPECT_FALSE(w.mnuSqeezy3->Checked());

    menu(*w.Mix, {"Down"});
    EXPECT_EQ(automation().back().opt, 0.25f);
    tick();
    EXPECT_TRUE(w.mnuSqeezy2->Checked()) << "the echo of its own value keeps the choice";
    EXPECT_EQ(automation().size(), 2u);
}

TEST_F(EditorTest, TurningTheKnobTo200SendsHalfSqueeze) {
    plugin->setParameter(param::Squeeze, 0.0f);
    open();
    TPluginEditorWindow& w = window();
    ASSERT_EQ(w.kbComp->Position(), 0);

    // A pixel up is one page (5) of the knob; the pointer goes back to where the drag began.
    headless.mouseDown(platform::MouseButton::Left, 300, 150);
    headless.mouseMove(300, 110);
    headless.mouseUp(platform::MouseButton::Left, 300, 150);
    EXPECT_EQ(w.kbComp->Position(), 200);
    ASSERT_FALSE(automation().empty());
    EXPECT_EQ(automation().back().index, param::Squeeze);
    EXPECT_EQ(automation().back().opt, 0.5f);
    const auto count = automation().size();
    tick();
    EXPECT_EQ(automation().size(), count) << "moving the knob to the echoed value sends nothing";
}

TEST_F(EditorTest, AHostValueOf03PutsTheKnobAt120ShowingFrame8) {
    open();
    TPluginEditorWindow& w = window();
    plugin->setParameter(param::Squeeze, 0.3f);
    tick();
    ASSERT_EQ(w.kbComp->Position(), 120);
    EXPECT_EQ(w.kbComp->GetFrameIndex(), 8);
    EXPECT_TRUE(automation().empty()) << "a host change is not reported back";

    const auto packed = editorart::packedImage(0);
    runtime::TReadOnlyMemoryStream stream(packed.data(), packed.size());
    toolkit::TMemoryDIB strip;
    strip.ReadData(stream);
    const auto frame = [&](int f, int x, int y) {
        const std::uint8_t* p = strip.RowPointer(y) + 4 * (f * 491 + x);
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
    };
    // Points of the free middle where the neighbouring frames differ from frame 8.
    int compared = 0;
    for (int y = 30; y < 230; y += 7)
        for (int x = 190; x < 420; x += 7) {
            if (frame(8, x, y) == frame(7, x, y) || frame(8, x, y) == frame(9, x, y)) continue;
            ++compared;
            ASSERT_EQ(screen(x, y), frame(8, x, y)) << x << ", " << y;
        }
    EXPECT_GT(compared, 20);
}

TEST_F(EditorTest, ListenFollowsTheHostAboveOneHalfAndAClickSendsTheFlippedValue) {
    plugin->setParameter(param::EQListen, 0.5f);
    open();
    TPluginEditorWindow& w = window();
    EXPECT_FALSE(w.btnListen->Down()) << "0.5 is not above one half";
    plugin->setParameter(param::EQListen, 0.51f);
    tick();
    EXPECT_TRUE(w.btnListen->Down());

    const runtime::TPoint at = centre(*w.btnListen);
    headless.click(platform::MouseButton::Left, at.X, at.Y);
    ASSERT_EQ(automation().size(), 1u);
    EXPECT_EQ(automation()[0].index, param::EQListen);
    EXPECT_EQ(automation()[0].opt, 0.0f);
    EXPECT_FALSE(w.btnListen->Down());
    tick();
    EXPECT_FALSE(w.btnListen->Down()) << "the mirror already holds the sent value";

    headless.click(platform::MouseButton::Left, at.X, at.Y);
    EXPECT_EQ(automation().back().opt, 1.0f);
    EXPECT_TRUE(w.btnListen->Down());
}

TEST_F(EditorTest, OpenOpenCloseCloseCloseKeepsTheFirstWindowUntilTheLastClose) {
    EXPECT_EQ(plugin->effect()->flags, effFlagsHasEditor | effFlagsCanMono | effFlagsCanReplacing);
    ERect* rect = nullptr;
    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom, 0);
    EXPECT_EQ(rect->right, 0);

    int otherParent = 0;
    open();
    TPluginEditorWindow* first = wrapper().window.get();
    open(&otherParent);
    EXPECT_EQ(wrapper().window.get(), first);
    EXPECT_EQ(wrapper().openCount, 2);
    ASSERT_EQ(headless.window(first->Handle())->parent, &hostWindow) << "kept in its first parent";
    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 322);
    EXPECT_EQ(rect->right, 490);

    close();
    EXPECT_EQ(wrapper().window.get(), first);
    EXPECT_FALSE(object().editorClosed.load());
    close();
    EXPECT_EQ(wrapper().window, nullptr);
    EXPECT_EQ(wrapper().parentWindow, nullptr);
    EXPECT_TRUE(object().editorClosed.load());
    EXPECT_TRUE(headless.windows().empty());
    EXPECT_EQ(headless.activeTimerCount(), 0u);
    close();
    EXPECT_EQ(wrapper().openCount, 0);
    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->bottom, 322) << "the last size stays";

    // A change while closed shows at once in the next window.
    plugin->setParameter(param::EQHi, 1.0f);
    open();
    EXPECT_EQ(window().Duck1->Top(), 22);
    EXPECT_EQ(wrapper().openCount, 1);
}

TEST_F(EditorTest, ClosingThePluginWithTheEditorOpenFreesTheWindowAndItsTimer) {
    open();
    ASSERT_EQ(headless.activeTimerCount(), 1u);
    plugin->close();
    EXPECT_TRUE(headless.windows().empty());
    EXPECT_EQ(headless.activeTimerCount(), 0u);
}

TEST_F(EditorTest, AnOpenThatGetsNoWindowIsRefusedAndLeavesNothingOpen) {
    headless.setRefuseWindows(true);
    EXPECT_EQ(plugin->dispatch(effEditOpen, 0, 0, &hostWindow), 0);
    EXPECT_EQ(wrapper().window, nullptr);
    EXPECT_EQ(wrapper().openCount, 0);
    EXPECT_EQ(headless.activeTimerCount(), 0u);
    headless.setRefuseWindows(false);
    open();
    EXPECT_EQ(wrapper().openCount, 1);
}

TEST_F(EditorTest, ParametersSetFromAnotherThreadWhileTheTimerRunsEndWhereTheLastValuesPutThem) {
    open();
    TPluginEditorWindow& w = window();
    std::atomic<bool> done{false};
    std::thread automationThread([&] {
        for (int i = 0; i < 1000; ++i) {
            const float v = static_cast<float>(i % 151) / 150.0f;
            plugin->setParameter(param::EQLo, v);
            plugin->setParameter(param::Squeeze, 1.0f - v);
            plugin->setParameter(param::DryWet, v);
        }
        done = true;
    });
    while (!done)
        tick();
    automationThread.join();
    tick();
    // The last values: i = 999, 999 % 151 = 93.
    EXPECT_EQ(w.Duck3->Top(), 172 - 93);
    EXPECT_EQ(w.kbComp->Position(), 400 - 248) << "Squeeze 1 - 93/150: 248 of 400 less";
    EXPECT_EQ(w.Duck4->Top(), 182 - 99) << "93/150 x 160 = 99.2";
    EXPECT_TRUE(automation().empty()) << "following the host sends nothing back";
}

} // namespace

namespace {

bool samePixels(const toolkit::TMemoryDIB& a, const toolkit::TMemoryDIB& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.RowPointer(y), b.RowPointer(y), static_cast<std::size_t>(a.Width()) * 4))
            return false;
    return true;
}

} // namespace

TEST_F(EditorTest, ReopenedAndSecondEditorsShareOnePicturesUnpackingThatGoesWithItsLastWindow) {
    std::weak_ptr<const editorart::UnpackedArt> shared;
    {
        open();
        shared = editorart::unpackedArt();
        close();
        EXPECT_TRUE(shared.expired()) << "the pictures go with the last window";
        host::HostCallback otherHost;
        host::PluginInstance other(&testsupport::linkedEntry, otherHost);
        ASSERT_EQ(other.dispatch(effEditOpen, 0, 0, &hostWindow), 1);
        shared = editorart::unpackedArt();
        open();
        EXPECT_EQ(editorart::unpackedArt().get(), shared.lock().get())
            << "a second window shows the first one's pictures";
        close();
        open();
        EXPECT_EQ(editorart::unpackedArt().get(), shared.lock().get())
            << "a reopen beside another window unpacks nothing";
        // Every image-list item shows what unpacking its stored stream gives.
        for (int i = 0; i < editorart::kImageCount; ++i) {
            const auto packed = editorart::packedImage(i);
            runtime::TReadOnlyMemoryStream stream(packed.data(), packed.size());
            toolkit::TMemoryDIB unpacked;
            unpacked.ReadData(stream);
            EXPECT_TRUE(samePixels(window().DIBImageList1->DIBImages().Items(i)->DIB(), unpacked))
                << "item " << i;
        }
        close();
        EXPECT_FALSE(shared.expired()) << "the other window still shows them";
        other.dispatch(effEditClose);
    }
    EXPECT_TRUE(shared.expired()) << "the pictures go with the last window";
}

// Two instances' windows show the one unpacking of the pictures; a window that changes one of
// its pictures gets a copy, and the other window and later windows keep the stored picture.
TEST_F(EditorTest, EveryWindowReadsTheOneUnpackingAndAWindowThatChangesAPictureCopiesIt) {
    open();
    host::HostCallback otherHost;
    host::PluginInstance other(&testsupport::linkedEntry, otherHost);
    int otherWindow = 0;
    ASSERT_EQ(other.dispatch(effEditOpen, 0, 0, &otherWindow), 1);
    toolkit::TDIBImages& mine = window().DIBImageList1->DIBImages();
    toolkit::TDIBImages& theirs =
        pluginEditor(testsupport::pluginObject(other))->window->DIBImageList1->DIBImages();
    const auto art = editorart::unpackedArt();
    for (int i = 0; i < editorart::kImageCount; ++i) {
        const toolkit::TMemoryDIB& a = mine.Items(i)->DIB();
        const toolkit::TMemoryDIB& b = theirs.Items(i)->DIB();
        EXPECT_TRUE(a.PixelsShared()) << "item " << i;
        EXPECT_EQ(a.Bits(), art->picture(i).Pixels->Pixels()) << "item " << i;
        EXPECT_EQ(b.Bits(), a.Bits()) << "item " << i;
    }

    toolkit::TMemoryDIB& changed = mine.Items(1)->DIB();
    changed.FillRect(0x00FF00, 0, 0, 4, 4);
    EXPECT_FALSE(changed.PixelsShared());
    const auto packed = editorart::packedImage(1);
    runtime::TReadOnlyMemoryStream stream(packed.data(), packed.size());
    toolkit::TMemoryDIB stored;
    stored.ReadData(stream);
    EXPECT_FALSE(samePixels(changed, stored));
    EXPECT_TRUE(samePixels(theirs.Items(1)->DIB(), stored));
    other.dispatch(effEditClose);
    ASSERT_EQ(other.dispatch(effEditOpen, 0, 0, &otherWindow), 1);
    EXPECT_TRUE(samePixels(pluginEditor(testsupport::pluginObject(other))
                               ->window->DIBImageList1->DIBImages()
                               .Items(1)
                               ->DIB(),
                           stored));
    other.dispatch(effEditClose);
    close();
}

// Any thread may take the pictures. Threads taking them together get the one unpacking; when
// the last holder lets go on one thread while another takes them, the other unpacks anew and
// reads whole pictures all the same.
TEST(EditorArtSharing, ThreadsTakingAndLettingGoShareOneUnpackingAtATime) {
    const auto packed = editorart::packedImage(2);
    runtime::TReadOnlyMemoryStream stream(packed.data(), packed.size());
    toolkit::TMemoryDIB stored;
    stored.ReadData(stream);
    const std::size_t bytes = std::size_t(stored.Width()) * std::size_t(stored.Height()) * 4;
    constexpr int kThreads = 3, kTakes = 3;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int k = 0; k < kTakes; ++k) {
                auto art = editorart::unpackedArt();
                const toolkit::TDIBSharedPicture& mix = art->picture(2);
                if (mix.Width != stored.Width() || mix.Height != stored.Height() ||
                    std::memcmp(mix.Pixels->Pixels(), std::as_const(stored).Bits(), bytes) != 0)
                    ++wrong;
                if (editorart::unpackedArt() != art) ++wrong; // held: the same one
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
