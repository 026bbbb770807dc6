// The LV2 build gives the VST 2 build's samples and passes the same MIDI on, for every factory
// program and random parameter positions, at any block size, with controllers inside blocks.

#include "Lv2Render.h"

namespace lv2test {
namespace {

constexpr uint32_t kBlockSizes[] = {1, 7, 64, 4096};
constexpr size_t kFrames = 3 * 4096 + 123;

class Lv2OutputTest : public Lv2Fixture {
protected:
    /// Renders with both builds at the parameter positions `values` and checks samples and MIDI.
    void expectSameOutput(const std::array<float, kParams>& values, uint32_t block,
                          const std::vector<Scheduled>& events) {
        StereoSignal in = dynamicTestSignal(kFrames, block);
        auto vst = makeVst(44100.0f, static_cast<int32_t>(block));
        for (int i = 0; i < kParams; ++i)
            vst->setParameter(i, values[i]);
        auto lv2 = makeLv2();
        lv2->controls = values;
        lv2->activate();
        const Rendered expected = renderVst(*vst, vstHost, in, block, events);
        const Rendered got = renderLv2(*lv2, in, block, events);
        EXPECT_TRUE(got.sameSamples(expected)) << "block " << block;
        // The same messages in the same order, each at the frame of the event it came from.
        const std::vector<int64_t> frames = passedOnFrames(events);
        ASSERT_EQ(got.midi.size(), expected.midi.size()) << "block " << block;
        ASSERT_EQ(got.midi.size(), frames.size());
        for (size_t i = 0; i < got.midi.size(); ++i) {
            EXPECT_EQ(got.midi[i].bytes, expected.midi[i].bytes) << "event " << i;
            EXPECT_EQ(got.midi[i].frame, frames[i]) << "event " << i;
        }
    }
};

TEST_F(Lv2OutputTest, EveryFactoryProgramGivesTheVstBuildsOutputAtEveryBlockSize) {
    auto programs = makeVst();
    for (int32_t program = 0; program < APlugin::kNumPrograms; ++program) {
        programs->dispatch(effSetProgram, 0, program);
        std::array<float, kParams> values{};
        for (int i = 0; i < kParams; ++i)
            values[i] = programs->getParameter(i);
        for (uint32_t block : kBlockSizes) {
            SCOPED_TRACE("program " + std::to_string(program));
            expectSameOutput(values, block, midiTraffic(kFrames, 100 + program));
        }
    }
}

TEST_F(Lv2OutputTest, RandomParameterPositionsGiveTheVstBuildsOutputAtEveryBlockSize) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> position(0.0f, 1.0f);
    for (int round = 0; round < 6; ++round) {
        std::array<float, kParams> values{};
        for (float& v : values)
            v = position(random);
        for (uint32_t block : kBlockSizes) {
            SCOPED_TRACE("round " + std::to_string(round));
            expectSameOutput(values, block,
                             round % 2 ? midiTraffic(kFrames, round) : std::vector<Scheduled>{});
        }
    }
}

// A host moves a port between blocks where a VST 2 host calls setParameter; a controller moves
// the parameter without its port, and the port's unchanged value must not undo that.
TEST_F(Lv2OutputTest, APortAppliesOnlyWhenItChangesAndControllersKeepTheirValue) {
    const uint32_t block = 64;
    StereoSignal in = dynamicTestSignal(kFrames, 3);
    auto vst = makeVst(44100.0f, block);
    auto lv2 = makeLv2();
    lv2->activate();
    for (int i = 0; i < kParams; ++i)
        lv2->controls[i] = vst->getParameter(i);
    Rendered expected, got;
    expected.left.resize(kFrames);
    expected.right.resize(kFrames);
    got.left = expected.left;
    got.right = expected.right;
    int heldByController = 0;
    for (size_t start = 0, n = 0; start < kFrames; start += block, ++n) {
        const auto frames = static_cast<uint32_t>(std::min<size_t>(block, kFrames - start));
        std::vector<Scheduled> events;
        if (n % 20 == 5) events.push_back({17, {0xB0, 23, static_cast<uint8_t>(n % 128)}});
        if (n % 20 == 12) {
            // The Squeeze port moves: from here its value holds until the next controller.
            lv2->controls[param::Squeeze] = static_cast<float>(n % 9) / 8.0f;
            vst->setParameter(param::Squeeze, lv2->controls[param::Squeeze]);
        }
        StereoSignal piece(frames);
        std::copy_n(in.left.begin() + start, frames, piece.left.begin());
        std::copy_n(in.right.begin() + start, frames, piece.right.begin());
        const Rendered a = renderVst(*vst, vstHost, piece, frames, events);
        const Rendered b = renderLv2(*lv2, piece, frames, events);
        std::copy(a.left.begin(), a.left.end(), expected.left.begin() + start);
        std::copy(a.right.begin(), a.right.end(), expected.right.begin() + start);
        std::copy(b.left.begin(), b.left.end(), got.left.begin() + start);
        std::copy(b.right.begin(), b.right.end(), got.right.begin() + start);
        if (vst->getParameter(param::Squeeze) != lv2->controls[param::Squeeze]) ++heldByController;
    }
    EXPECT_TRUE(got.sameSamples(expected));
    // The case under test happened: blocks ran with the controller's value, not the port's.
    EXPECT_GT(heldByController, 0);
}

} // namespace
} // namespace lv2test

namespace lv2test {
namespace {

/// Dry/Wet (CC 24) and the other controllers moving inside one long block.
std::vector<Scheduled> mixMoves(size_t frames) {
    std::vector<Scheduled> events;
    for (size_t f = 300; f < frames; f += 2900)
        events.push_back({int64_t(f), {0xB0, static_cast<uint8_t>(20 + f % 6), uint8_t(f % 128)}});
    return events;
}

// The plug-in mixes a block with the Dry/Wet value at its end, so a host's announced maximum
// block must reach the plug-in whole.
TEST_F(Lv2OutputTest, TheHostsAnnouncedMaximumBlockGoesToThePluginWhole) {
    constexpr uint32_t kBlock = 20000;
    int32_t maxBlock = kBlock;
    const LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0,
                                           urids.id(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                                           urids.id(LV2_ATOM__Int), &maxBlock},
                                          {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature* features[] = {&urids.feature, &optionsFeature, nullptr};

    StereoSignal in = dynamicTestSignal(2 * kBlock, 4);
    auto vst = makeVst(44100.0f, kBlock);
    Lv2Instance lv2(*descriptor, urids, 44100.0, features);
    ASSERT_TRUE(lv2.valid());
    for (int i = 0; i < kParams; ++i)
        lv2.controls[i] = vst->getParameter(i);
    lv2.activate();
    const auto events = mixMoves(in.size());
    EXPECT_TRUE(renderLv2(lv2, in, kBlock, events)
                    .sameSamples(renderVst(*vst, vstHost, in, kBlock, events)));
}

// Without an announced maximum, blocks beyond the glue's reserve go in pieces: the samples stay
// the VST 2 build's as long as no controller moves Dry/Wet or listen inside such a block.
TEST_F(Lv2OutputTest, BlocksBeyondTheReserveGoInPiecesWithTheSameSamples) {
    constexpr uint32_t kBlock = 3 * 8192 + 5;
    StereoSignal in = dynamicTestSignal(2 * kBlock, 6);
    auto vst = makeVst(44100.0f, kBlock);
    auto lv2 = makeLv2();
    for (int i = 0; i < kParams; ++i)
        lv2->controls[i] = vst->getParameter(i);
    lv2->activate();
    std::vector<Scheduled> events;
    for (const Scheduled& e : mixMoves(in.size()))
        if (e.bytes[1] != 24) events.push_back(e);
    EXPECT_TRUE(renderLv2(*lv2, in, kBlock, events)
                    .sameSamples(renderVst(*vst, vstHost, in, kBlock, events)));
}

} // namespace
} // namespace lv2test

namespace lv2test {
namespace {

// Hosts may hand the same buffer for input and output.
TEST_F(Lv2OutputTest, InPlaceBuffersGiveTheSameSamples) {
    for (float listen : {0.0f, 1.0f}) {
        StereoSignal in = dynamicTestSignal(kFrames, 8);
        auto separate = makeLv2();
        auto inPlace = makeLv2();
        for (Lv2Instance* lv2 : {separate.get(), inPlace.get()}) {
            lv2->controls[param::EQListen] = listen;
            lv2->activate();
        }
        const Rendered expected = renderLv2(*separate, in, 4096, midiTraffic(kFrames, 2));
        StereoSignal buffer = in;
        const auto events = midiTraffic(kFrames, 2);
        for (size_t start = 0, next = 0; start < kFrames; start += 4096) {
            const auto frames = static_cast<uint32_t>(std::min<size_t>(4096, kFrames - start));
            inPlace->clearMidiIn();
            for (; next < events.size() && events[next].frame < int64_t(start + frames); ++next)
                inPlace->addEvent(events[next].frame - int64_t(start), events[next].bytes);
            float* l = buffer.left.data() + start;
            float* r = buffer.right.data() + start;
            inPlace->run(l, r, l, r, frames);
        }
        EXPECT_EQ(buffer.left, expected.left) << "listen " << listen;
        EXPECT_EQ(buffer.right, expected.right) << "listen " << listen;
    }
}

} // namespace
} // namespace lv2test
