// What hosts get wrong: missing features, odd rates, unconnected and unknown ports, empty
// blocks, NaN controls, odd events, a full MIDI output, running before activation.

#include <cmath>
#include <limits>

#include "Lv2Render.h"

namespace lv2test {
namespace {

constexpr size_t kFrames = 2000;
using Lv2BadInputTest = Lv2Fixture;

TEST_F(Lv2BadInputTest, InstantiationWithoutAUridMapIsRefused) {
    const LV2_Feature* none[] = {nullptr};
    EXPECT_EQ(descriptor->instantiate(descriptor, 44100.0, "/", none), nullptr);
    EXPECT_EQ(descriptor->instantiate(descriptor, 44100.0, "/", nullptr), nullptr);
    LV2_URID_Map broken{nullptr, nullptr};
    LV2_Feature feature{LV2_URID__map, &broken};
    const LV2_Feature* withBroken[] = {&feature, nullptr};
    EXPECT_EQ(descriptor->instantiate(descriptor, 44100.0, "/", withBroken), nullptr);
}

TEST_F(Lv2BadInputTest, UnknownExtensionsAndNullHandlesAreAnsweredNeutrally) {
    EXPECT_EQ(descriptor->extension_data("urn:nothing"), nullptr);
    EXPECT_EQ(descriptor->extension_data(nullptr), nullptr);
    EXPECT_NE(descriptor->extension_data(LV2_STATE__interface), nullptr);
    descriptor->connect_port(nullptr, 0, nullptr);
    descriptor->run(nullptr, 64);
    descriptor->cleanup(nullptr);
    EXPECT_STREQ(descriptor->URI, lv2glue::kPluginUri);
}

// The plug-in holds rates within its range and ignores what is no rate; so does the VST 2 build.
TEST_F(Lv2BadInputTest, AnySampleRateGivesTheVstBuildsOutputAtThatRate) {
    const double rates[] = {0.0,     -48000.0, std::nan(""),
                            1.0,     1999.0,   22050.0,
                            96000.0, 1e9,      std::numeric_limits<double>::infinity()};
    for (double rate : rates) {
        SCOPED_TRACE(rate);
        StereoSignal in = dynamicTestSignal(kFrames);
        auto vst = makeVst(static_cast<float>(rate), 256);
        auto lv2 = makeLv2(rate);
        for (int i = 0; i < kParams; ++i)
            lv2->controls[i] = vst->getParameter(i);
        lv2->activate();
        EXPECT_TRUE(renderLv2(*lv2, in, 256).sameSamples(renderVst(*vst, vstHost, in, 256)));
    }
}

TEST_F(Lv2BadInputTest, UnconnectedAudioGivesSilenceWhereThereIsAnOutput) {
    auto lv2 = makeLv2();
    lv2->activate();
    std::vector<float> in(64, 0.5f), outL(64, 7.0f), outR(64, 7.0f);
    lv2->run(nullptr, in.data(), outL.data(), outR.data(), 64);
    EXPECT_EQ(outL, std::vector<float>(64, 0.0f));
    EXPECT_EQ(outR, std::vector<float>(64, 0.0f));
    std::fill(outL.begin(), outL.end(), 7.0f);
    lv2->run(in.data(), in.data(), outL.data(), nullptr, 64);
    EXPECT_EQ(outL, std::vector<float>(64, 0.0f));
    lv2->run(in.data(), in.data(), nullptr, nullptr, 64); // nowhere to write: nothing happens
    lv2->connect(9999, outL.data());                      // no such port: ignored
    lv2->connect(lv2glue::PortCount, outL.data());
}

TEST_F(Lv2BadInputTest, AnEmptyBlockWritesNoSampleAndLeavesNoEvent) {
    auto lv2 = makeLv2();
    lv2->activate();
    std::vector<float> in(8, 0.5f), outL(8, 7.0f), outR(8, 7.0f);
    lv2->addEvent(0, {0x90, 60, 100});
    lv2->run(in.data(), in.data(), outL.data(), outR.data(), 0);
    EXPECT_EQ(outL, std::vector<float>(8, 7.0f));
    EXPECT_TRUE(lv2->midiOut().empty());
    EXPECT_EQ(lv2->midiOutSequence()->atom.size, sizeof(LV2_Atom_Sequence_Body));
}

// Unconnected control and MIDI ports, NaN in a control: the plug-in keeps the values it has.
TEST_F(Lv2BadInputTest, NanAndUnconnectedControlsKeepTheLastValue) {
    StereoSignal in = dynamicTestSignal(kFrames);
    auto vst = makeVst(44100.0f, 100);
    vst->setParameter(param::Squeeze, 0.8f);
    auto lv2 = makeLv2();
    lv2->activate();
    for (int i = 0; i < kParams; ++i)
        lv2->controls[i] = vst->getParameter(i);
    std::vector<float> scratch(100);
    lv2->run(in.left.data(), in.right.data(), scratch.data(), scratch.data(), 0);
    lv2->controls[param::Squeeze] = std::nanf("");
    lv2->connect(lv2glue::FirstControl + uint32_t{param::DryWet}, nullptr);
    lv2->connect(lv2glue::MidiIn, nullptr);
    lv2->connect(lv2glue::MidiOut, nullptr);
    EXPECT_TRUE(renderLv2(*lv2, in, 100).sameSamples(renderVst(*vst, vstHost, in, 100)));
}

// LV2 hosts must activate first; one that does not still gets the activated plug-in's output.
TEST_F(Lv2BadInputTest, RunBeforeActivateProcessesAsActivated) {
    StereoSignal in = dynamicTestSignal(kFrames);
    auto vst = makeVst(44100.0f, 64);
    auto lv2 = makeLv2();
    for (int i = 0; i < kParams; ++i)
        lv2->controls[i] = vst->getParameter(i);
    EXPECT_TRUE(renderLv2(*lv2, in, 64).sameSamples(renderVst(*vst, vstHost, in, 64)));
}

TEST_F(Lv2BadInputTest, ReactivationStartsFromAFreshDetector) {
    StereoSignal in = dynamicTestSignal(kFrames * 4);
    StereoSignal head(kFrames);
    std::copy_n(in.left.begin() + 4000, kFrames, head.left.begin()); // loud material
    std::copy_n(in.right.begin() + 4000, kFrames, head.right.begin());
    auto used = makeLv2();
    auto fresh = makeLv2();
    used->activate();
    renderLv2(*used, head, 128);
    used->deactivate();
    used->activate();
    fresh->activate();
    EXPECT_TRUE(renderLv2(*used, head, 128).sameSamples(renderLv2(*fresh, head, 128)));
}

// Events past the block's end count as its last frame, before its start as its first; events
// of other types and messages longer than three bytes are not MIDI for the plug-in.
TEST_F(Lv2BadInputTest, OddEventsHaveDefinedPlaces) {
    StereoSignal in = dynamicTestSignal(256);
    auto vst = makeVst(44100.0f, 256);
    auto lv2 = makeLv2();
    for (int i = 0; i < kParams; ++i)
        lv2->controls[i] = vst->getParameter(i);
    lv2->activate();
    const std::vector<Scheduled> placed = {
        {0, {0xB0, 23, 127}}, {200, {0xB0, 24, 0}}, {255, {0xB0, 20, 90}}};
    const Rendered expected = renderVst(*vst, vstHost, in, 256, placed);
    Rendered got;
    got.left.resize(256);
    got.right.resize(256);
    lv2->addEvent(-5, {0xB0, 23, 127});
    lv2->addEvent(200, {0xB0, 24, 0});
    lv2->addEvent(201, {0xB0, 25, 10}, LV2_ATOM__Int);
    lv2->addEvent(202, {0xF0, 0x7E, 0x7F, 0xF7});
    lv2->addEvent(1000, {0xB0, 20, 90});
    lv2->run(in.left.data(), in.right.data(), got.left.data(), got.right.data(), 256);
    EXPECT_TRUE(got.sameSamples(expected));
    const std::vector<MidiAt> out = lv2->midiOut();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].frame, 0);
    EXPECT_EQ(out[1].frame, 200);
    EXPECT_EQ(out[2].frame, 255);
}

TEST_F(Lv2BadInputTest, AnInputThatIsNoSequenceIsIgnored) {
    StereoSignal in = dynamicTestSignal(kFrames);
    auto vst = makeVst(44100.0f, 500);
    auto lv2 = makeLv2();
    for (int i = 0; i < kParams; ++i)
        lv2->controls[i] = vst->getParameter(i);
    lv2->activate();
    lv2->addEvent(3, {0xB0, 23, 127});
    lv2->midiInSequence()->atom.type = urids.id(LV2_ATOM__Tuple);
    Rendered got;
    got.left.resize(kFrames);
    got.right.resize(kFrames);
    for (size_t start = 0; start < kFrames; start += 500)
        lv2->run(in.left.data() + start, in.right.data() + start, got.left.data() + start,
                 got.right.data() + start, 500);
    EXPECT_TRUE(got.sameSamples(renderVst(*vst, vstHost, in, 500)));
    EXPECT_TRUE(lv2->midiOut().empty());
}

// A host's output buffer smaller than the events passed on: what fits is written, nothing
// beyond the capacity the host gave.
TEST_F(Lv2BadInputTest, AFullMidiOutputTakesWhatFitsAndNoMore) {
    auto lv2 = makeLv2();
    lv2->activate();
    std::vector<float> in(64, 0.1f), out(64);
    for (int i = 0; i < 10; ++i)
        lv2->addEvent(i, {0x90, static_cast<uint8_t>(60 + i), 100});
    const uint32_t capacity = sizeof(LV2_Atom_Sequence_Body) + 3 * 24;
    auto* bytes = reinterpret_cast<uint8_t*>(lv2->midiOutSequence());
    std::fill_n(bytes + sizeof(LV2_Atom) + capacity, 64, uint8_t{0xA5});
    lv2->run(in.data(), in.data(), out.data(), out.data(), 64, capacity);
    EXPECT_EQ(lv2->midiOut().size(), 3u);
    EXPECT_LE(lv2->midiOutSequence()->atom.size, capacity);
    EXPECT_TRUE(std::all_of(bytes + sizeof(LV2_Atom) + capacity,
                            bytes + sizeof(LV2_Atom) + capacity + 64,
                            [](uint8_t b) { return b == 0xA5; }));
    lv2->run(in.data(), in.data(), out.data(), out.data(), 64, 4); // no room for a header
    EXPECT_EQ(lv2->midiOutSequence()->atom.size, 4u);
}

} // namespace
} // namespace lv2test
