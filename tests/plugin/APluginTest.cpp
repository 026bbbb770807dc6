#include "MidiEventList.h"
#include "PluginTestSignals.h"
#include "platform/Platform.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginDsp.h"
#include "plugin/uPluginDspChunk.h"
#include "plugin/uPluginTestHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>

namespace {

enum Param { kEqLo, kEqMid, kEqHi, kSqueeze, kDryWet, kSkweezy, kListen };

std::unique_ptr<APlugin> makePlugin() {
    return std::make_unique<APlugin>(nullptr);
}

std::string display(APlugin& p, int index) {
    char text[64] = "untouched";
    p.getParameterDisplay(index, text);
    return text;
}

// The expected texts use '.'; the plug-in writes the user's separator.
std::string localised(std::string text) {
    std::replace(text.begin(), text.end(), '.', platform::decimalSeparator());
    return text;
}

StereoSignal run(APlugin& p, StereoSignal in, int block) {
    StereoSignal out(in.size());
    for (size_t start = 0; start < in.size(); start += block) {
        const int n = static_cast<int>(std::min<size_t>(block, in.size() - start));
        float* ins[] = {in.left.data() + start, in.right.data() + start};
        float* outs[] = {out.left.data() + start, out.right.data() + start};
        p.processReplacing(ins, outs, n);
    }
    return out;
}

// An editor as the plug-in sees it: it counts the plug-in's notices and reads a value at each.
class CountingEditor : public AEffEditor, public APluginEditorNotice {
public:
    explicit CountingEditor(APlugin& plugin) : AEffEditor(&plugin), plugin(plugin) {
        plugin.setEditorNotice(this);
    }
    ~CountingEditor() override { plugin.setEditorNotice(nullptr); }
    void update() override {
        ++updates;
        squeezeSeen = plugin.getParameter(kSqueeze);
    }

    APlugin& plugin;
    int updates = 0;
    float squeezeSeen = -1.0f;
};

std::unique_ptr<AEffEditor> makeCountingEditor(APlugin& plugin) {
    return std::make_unique<CountingEditor>(plugin);
}

CountingEditor& editorOf(APlugin& p) {
    return *static_cast<CountingEditor*>(p.getEditor());
}

void expectSameSamples(const StereoSignal& a, const StereoSignal& b, size_t from = 0) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = from; i < a.size(); ++i) {
        ASSERT_EQ(a.left[i], b.left[i]) << i;
        ASSERT_EQ(a.right[i], b.right[i]) << i;
    }
}

} // namespace

// The factory display table is checked character for character through the built binary.

TEST(APluginParameters, ClampingAndDisplayEdges) {
    auto p = makePlugin();
    p->setParameter(kSqueeze, 1.5f);
    EXPECT_EQ(p->getParameter(kSqueeze), 1.0f);
    EXPECT_EQ(display(*p, kSqueeze), "-40");
    p->setParameter(kSqueeze, -0.2f);
    EXPECT_EQ(p->getParameter(kSqueeze), 0.0f);
    EXPECT_EQ(display(*p, kSqueeze), "0");
    p->setParameter(kSqueeze, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(p->getParameter(kSqueeze), 0.0f);
    const std::pair<float, const char*> bands[] = {{0.0f, "-oo"},       {0.0003f, "-oo"},
                                                   {0.0004f, "-95.88"}, {0.25f, "-24"},
                                                   {0.5f, "0"},         {1.0f, "6"}};
    for (const auto& [v, text] : bands) {
        p->setParameter(kEqHi, v);
        EXPECT_EQ(display(*p, kEqHi), localised(text)) << v;
    }
    for (const auto& [v, text] : {std::pair{0.5f, "-24"}, {0.75f, "-32"}, {1.0f, "-40"}}) {
        p->setParameter(kSqueeze, v);
        EXPECT_EQ(display(*p, kSqueeze), text) << v;
    }
    for (const auto& [v, text] : {std::pair{0.75f, "25:75"}, {1.0f, "0:100"}, {0.125f, "88:12"}}) {
        p->setParameter(kDryWet, v);
        EXPECT_EQ(display(*p, kDryWet), text) << v;
    }
    p->setParameter(kSkweezy, 0.3f);
    EXPECT_EQ(display(*p, kSkweezy), localised("5.80000019073486:1"));
    p->setParameter(kListen, 0.49f);
    EXPECT_EQ(display(*p, kListen), "Effect");
    p->setParameter(kListen, 0.5f);
    EXPECT_EQ(display(*p, kListen), "SideChain");
}

TEST(APluginParameters, NamesLabelsAndBadIndices) {
    auto p = makePlugin();
    char text[64];
    p->getParameterName(9, text);
    EXPECT_STREQ(text, "Reserved for Reedmoor");
    p->getParameterLabel(9, text);
    EXPECT_STREQ(text, "");
    p->getParameterLabel(3, text);
    EXPECT_STREQ(text, "dB");
    EXPECT_EQ(display(*p, 9), "untouched");
    p->getParameterName(4, text);
    EXPECT_STREQ(text, "Dry/Wet");
    for (int bad : {12, -1, 1000}) {
        p->getParameterName(bad, text);
        EXPECT_STREQ(text, "undefined");
        EXPECT_EQ(display(*p, bad), "undefined");
        p->setParameter(bad, 0.3f);
        EXPECT_EQ(p->getParameter(bad), 0.0f);
    }
    for (int i = 0; i < 12; ++i) // the bad indices changed nothing
        EXPECT_EQ(p->getParameter(i), i == 3 ? 0.3f : i < 6 ? 0.5f : 0.0f) << i;
}

TEST(APluginPrograms, ConstructionSelectionAndWriteBack) {
    auto p = makePlugin();
    char name[64];
    EXPECT_EQ(p->getProgram(), 0);
    p->getProgramName(name);
    EXPECT_STREQ(name, "Oh, My Wadling");
    EXPECT_EQ(p->getParameter(kSqueeze), 0.3f);

    p->setProgram(7);
    EXPECT_EQ(p->getParameter(kEqMid), 0.1f);
    p->getProgramName(name);
    EXPECT_STREQ(name, "Duck Day Afternoon");

    p->setProgram(2);
    p->setParameter(kEqLo, 0.9f);
    p->setProgram(5);
    EXPECT_EQ(p->getParameter(kEqLo), 0.42f);
    p->setProgram(2);
    EXPECT_EQ(p->getParameter(kEqLo), 0.9f);

    for (int bad : {12, -1}) {
        p->setProgram(bad);
        EXPECT_EQ(p->getProgram(), 2);
        EXPECT_EQ(p->getParameter(kEqLo), 0.9f);
    }
    EXPECT_TRUE(p->getProgramNameIndexed(0, 11, name));
    EXPECT_STREQ(name, "Making a fast Duck");
    std::strcpy(name, "keep");
    EXPECT_FALSE(p->getProgramNameIndexed(0, 12, name));
    EXPECT_FALSE(p->getProgramNameIndexed(0, -1, name));
    EXPECT_STREQ(name, "keep");
}

TEST(APluginPrograms, RenamingKeepsTheNameAndCutsLongOnes) {
    auto p = makePlugin();
    char name[64];
    p->setProgram(4);
    char newName[] = "Pond Life";
    p->setProgramName(newName);
    p->setProgram(0);
    ASSERT_TRUE(p->getProgramNameIndexed(0, 4, name));
    EXPECT_STREQ(name, "Pond Life");

    std::string longName(300, 'q');
    p->setProgramName(longName.data()); // must not write past the 51-character field
    p->getProgramName(name);
    EXPECT_EQ(std::string(name), std::string(23, 'q')); // the host's 24-byte buffer
    p->setProgramName(nullptr);
    p->getProgramName(name);
    EXPECT_EQ(std::string(name), std::string(23, 'q'));
}

TEST(APluginEditorNotice, EveryParameterChangeIsToldAfterTheValueIsStored) {
    APlugin p(nullptr, &makeCountingEditor);
    CountingEditor& editor = editorOf(p);
    editor.updates = 0;
    p.setParameter(kSqueeze, 0.75f);
    EXPECT_EQ(editor.updates, 1);
    EXPECT_EQ(editor.squeezeSeen, 0.75f);
    p.setParameter(kSqueeze, 7.0f);
    EXPECT_EQ(editor.squeezeSeen, 1.0f) << "the editor reads the clamped value";
    p.setParameter(APlugin::kNumParams, 0.5f);
    p.setParameter(-1, 0.5f);
    EXPECT_EQ(editor.updates, 2) << "an index the plug-in ignores is not told";
}

TEST(APluginEditorNotice, ProgramsAreToldOnceMoreOnlyWhileTheEditorIsOpen) {
    APlugin p(nullptr, &makeCountingEditor);
    CountingEditor& editor = editorOf(p);
    char name[] = "Pond Life";

    editor.updates = 0;
    p.setProgram(7);
    EXPECT_EQ(editor.updates, APlugin::kNumParams + 1);
    EXPECT_EQ(editor.squeezeSeen, p.getParameter(kSqueeze));
    p.setProgramName(name);
    EXPECT_EQ(editor.updates, APlugin::kNumParams + 2);

    p.editorClosed = true;
    editor.updates = 0;
    p.setProgram(2);
    EXPECT_EQ(editor.updates, APlugin::kNumParams) << "each value still goes to the editor";
    p.setProgramName(name);
    EXPECT_EQ(editor.updates, APlugin::kNumParams);
    p.setProgram(-1);
    EXPECT_EQ(editor.updates, APlugin::kNumParams);
}

TEST(APluginEditorNotice, APluginWithoutAnEditorAnnouncesNone) {
    APlugin with(nullptr, &makeCountingEditor);
    EXPECT_NE(with.getAeffect()->flags & effFlagsHasEditor, 0);
    auto without = makePlugin();
    EXPECT_EQ(without->getEditor(), nullptr);
    EXPECT_EQ(without->getAeffect()->flags & effFlagsHasEditor, 0);
    without->setParameter(kSqueeze, 0.5f); // nothing to tell
    EXPECT_EQ(without->getParameter(kSqueeze), 0.5f);
}

TEST(APluginProcessing, DryOnlyGivesTheInputBackExactly) {
    for (int program : {0, 6, 11}) {
        auto p = makePlugin();
        p->setProgram(program);
        p->setParameter(kDryWet, 0.0f);
        const StereoSignal in = dynamicTestSignal(20000);
        expectSameSamples(run(*p, in, 512), in);
    }
}

TEST(APluginProcessing, ListenWithFlatBandsGivesTheInputBackExactly) {
    auto p = makePlugin();
    p->setSampleRate(48000.0f);
    p->setParameter(kListen, 1.0f);
    for (float dryWet : {0.0f, 0.7f}) {
        p->setParameter(kDryWet, dryWet);
        const StereoSignal in = dynamicTestSignal(9000, 5);
        expectSameSamples(run(*p, in, 300), in);
    }
}

TEST(APluginProcessing, WetOnlyWithZeroThresholdIsTheSaturatedInput) {
    auto p = makePlugin();
    p->setParameter(kDryWet, 1.0f);
    p->setParameter(kSqueeze, 0.0f);
    StereoSignal in(64);
    std::fill(in.left.begin(), in.left.end(), 0.5f);
    std::fill(in.right.begin(), in.right.end(), -0.25f);
    const StereoSignal out = run(*p, in, 64);
    for (size_t i = 0; i < 64; ++i) {
        EXPECT_NEAR(out.left[i], 0.47261f, 1e-5) << i;
        EXPECT_EQ(out.left[i], dsp::softClip(0.5f)) << i;
        EXPECT_EQ(out.right[i], dsp::softClip(-0.25f)) << i;
    }
    // Every sample, in pairs and in an odd tail, as the saturator computes it alone.
    StereoSignal varied = dynamicTestSignal(1001, 12);
    for (size_t i = 0; i < varied.size(); ++i) {
        varied.left[i] = std::clamp(varied.left[i], -0.99f, 0.99f);
        varied.right[i] = std::clamp(varied.right[i], -0.99f, 0.99f);
    }
    const StereoSignal clipped = run(*p, varied, 1001);
    for (size_t i = 0; i < varied.size(); ++i) {
        ASSERT_EQ(clipped.left[i], dsp::softClip(varied.left[i])) << i;
        ASSERT_EQ(clipped.right[i], dsp::softClip(varied.right[i])) << i;
    }
}

TEST(APluginProcessing, HugeWetSamplesGiveTheBitsOfOneSampleBlocks) {
    // Every band off keeps the detector quiet, so the wet path carries the input at make-up gain.
    const auto quietDetector = [] {
        auto p = makePlugin();
        for (int band : {kEqLo, kEqMid, kEqHi})
            p->setParameter(band, 0.0f);
        p->setParameter(kDryWet, 0.7f);
        return p;
    };
    StereoSignal in = dynamicTestSignal(45, 4);
    const float huge[] = {2e18f, 5e18f, 1e19f, 1e20f, 1e30f, 3e38f};
    for (size_t k = 0; k < std::size(huge); ++k) {
        in.left[3 + 7 * k] = huge[k];
        in.right[3 + 7 * k + k % 3] = -huge[k];
    }
    for (int block : {2, 4, 9, 45}) {
        SCOPED_TRACE(block);
        auto whole = quietDetector();
        auto single = quietDetector();
        const StereoSignal a = run(*whole, in, block);
        const StereoSignal b = run(*single, in, 1);
        for (size_t i = 0; i < in.size(); ++i) {
            ASSERT_EQ(std::bit_cast<uint32_t>(a.left[i]), std::bit_cast<uint32_t>(b.left[i]))
                << i << ": " << a.left[i] << " vs " << b.left[i];
            ASSERT_EQ(std::bit_cast<uint32_t>(a.right[i]), std::bit_cast<uint32_t>(b.right[i]))
                << i << ": " << a.right[i] << " vs " << b.right[i];
        }
    }
}

TEST(APluginProcessing, InPlaceEqualsSeparateBuffersInBothModes) {
    for (float listen : {0.0f, 1.0f}) {
        auto a = makePlugin();
        auto b = makePlugin();
        for (APlugin* p : {a.get(), b.get()}) {
            p->setProgram(9);
            p->setParameter(kListen, listen);
        }
        const StereoSignal in = dynamicTestSignal(5000, 9);
        const StereoSignal separate = run(*a, in, 512);
        StereoSignal inPlace = in;
        for (size_t start = 0; start < in.size(); start += 512) {
            float* io[] = {inPlace.left.data() + start, inPlace.right.data() + start};
            b->processReplacing(io, io, static_cast<int>(std::min<size_t>(512, in.size() - start)));
        }
        expectSameSamples(inPlace, separate);
    }
}

TEST(APluginProcessing, ProcessReplacesTheOutputLikeProcessReplacing) {
    auto a = makePlugin();
    auto b = makePlugin();
    const StereoSignal in = dynamicTestSignal(4096, 3);
    const StereoSignal expected = run(*a, in, 256);
    StereoSignal out(in.size());
    std::fill(out.left.begin(), out.left.end(), 123.0f);
    std::fill(out.right.begin(), out.right.end(), -7.0f);
    StereoSignal input = in;
    for (size_t start = 0; start < in.size(); start += 256) {
        float* ins[] = {input.left.data() + start, input.right.data() + start};
        float* outs[] = {out.left.data() + start, out.right.data() + start};
        b->process(ins, outs, 256);
    }
    expectSameSamples(out, expected);
    EXPECT_EQ(a->getVu(), 0.0f);
}

TEST(APluginProcessing, BuffersGrowForLongBlocksWithTheSameResult) {
    // Block boundaries at multiples of 32 keep the chunk boundaries, so one long block must
    // sound exactly like short ones.
    auto a = makePlugin();
    auto b = makePlugin();
    const StereoSignal in = dynamicTestSignal(1000 + 512 + 256, 4);
    const StereoSignal shortBlocks = run(*a, in, 256);
    StereoSignal longBlocks(in.size());
    StereoSignal input = in;
    size_t start = 0;
    for (int n : {512, 1000, 256}) {
        float* ins[] = {input.left.data() + start, input.right.data() + start};
        float* outs[] = {longBlocks.left.data() + start, longBlocks.right.data() + start};
        b->processReplacing(ins, outs, n);
        start += static_cast<size_t>(n);
    }
    expectSameSamples(longBlocks, shortBlocks);
}

TEST(APluginProcessing, FailedBufferGrowthProcessesTheBlockInPieces) {
    auto a = makePlugin();
    auto b = makePlugin();
    const StereoSignal in = dynamicTestSignal(4096, 8);
    const StereoSignal expected = run(*a, in, 4096);
    plugin_test_hooks::failBufferAllocations = 1000;
    const StereoSignal pieces = run(*b, in, 4096); // capacity stays 512
    plugin_test_hooks::failBufferAllocations = 0;
    expectSameSamples(pieces, expected);
}

TEST(APluginProcessing, OneBadSampleDisturbsAtMostItsChunk) {
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        auto disturbed = makePlugin();
        auto reference = makePlugin();
        StereoSignal in = dynamicTestSignal(12000, 2);
        in.left[4040] = bad; // chunk 4032..4063
        const StereoSignal out = run(*disturbed, in, 512);
        // From the next chunk on, the plug-in runs as if freshly reset there.
        StereoSignal tail(in.size() - 4064);
        std::copy(in.left.begin() + 4064, in.left.end(), tail.left.begin());
        std::copy(in.right.begin() + 4064, in.right.end(), tail.right.begin());
        reference->suspend();
        const StereoSignal tailOut = run(*reference, tail, 512);
        for (size_t i = 4064; i < in.size(); ++i) {
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
            ASSERT_EQ(out.left[i], tailOut.left[i - 4064]) << i;
        }
        for (size_t i = 0; i < 4032; ++i)
            ASSERT_TRUE(std::isfinite(out.left[i])) << i;
    }
}

TEST(APluginProcessing, SampleRateAndSuspendReset) {
    auto a = makePlugin();
    auto b = makePlugin();
    const StereoSignal in = dynamicTestSignal(6000, 6);
    a->setSampleRate(0.0f); // ignored
    a->setSampleRate(std::numeric_limits<float>::quiet_NaN());
    for (APlugin* p : {a.get(), b.get()})
        p->setSampleRate(96000.0f);
    run(*a, in, 512);
    a->suspend(); // after a reset the loop starts from a silent detector
    expectSameSamples(run(*a, in, 512), run(*b, in, 512));
}

// A rate of 1 Hz would put the split coefficients at 250 and 2000: the band filters would ring
// up to infinity within a chunk. Rates are held at 2 kHz or more, where they stay stable;
// rates that are no rate at all are ignored.
TEST(APluginProcessing, AbsurdSampleRatesKeepTheFiltersStable) {
    auto p = makePlugin();
    p->setParameter(param::EQListen, 1.0f); // listen: the band filters go straight to the output
    p->setParameter(param::EQLo, 1.0f);
    const StereoSignal in = dynamicTestSignal(4096, 3);
    for (float rate : {1.0f, 100.0f, 1999.0f, 1e30f, std::numeric_limits<float>::infinity()}) {
        p->setSampleRate(rate);
        const StereoSignal out = run(*p, in, 512);
        for (size_t i = 0; i < out.left.size(); ++i)
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i]))
                << "rate " << rate << " sample " << i;
    }
    auto reference = makePlugin();
    for (APlugin* q : {p.get(), reference.get()})
        q->setSampleRate(1.0f);
    p->setSampleRate(0.0f);
    p->setSampleRate(-44100.0f);
    reference->setSampleRate(2000.0f);
    reference->setParameter(param::EQListen, 1.0f);
    reference->setParameter(param::EQLo, 1.0f);
    expectSameSamples(run(*p, in, 512), run(*reference, in, 512));
}

TEST(APluginProcessing, ChunkingOfAHundredSampleBlock) {
    const auto chunks = [](int nextEvent) {
        std::vector<std::pair<int, int>> out;
        for (int pos = 0; pos < 100;) {
            if (pos == nextEvent) nextEvent = 2147483647; // dispatched
            const int end = dsp::spanEnd(pos, 100, nextEvent);
            for (; pos < end; pos += std::min(dsp::kMaxChunk, end - pos))
                out.emplace_back(pos, std::min(pos + dsp::kMaxChunk, end) - 1);
        }
        return out;
    };
    using C = std::vector<std::pair<int, int>>;
    EXPECT_EQ(chunks(2147483647), (C{{0, 31}, {32, 63}, {64, 95}, {96, 99}}));
    EXPECT_EQ(chunks(40), (C{{0, 31}, {32, 39}, {40, 71}, {72, 99}}));
    EXPECT_EQ(dsp::spanEnd(10, 100, -5), 100); // an event behind never stalls the loop
    EXPECT_EQ(dsp::spanEnd(10, 100, 10), 100);
}

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
TEST(APluginProcessing, DenormalModeIsSetDuringProcessingAndRestoredAfter) {
    auto p = makePlugin();
    p->setParameter(kDryWet, 0.0f);
    StereoSignal in(64);
    in.left[5] = 1e-40f; // a denormal: with denormals-are-zero it comes out as 0
    const unsigned before = _mm_getcsr();
    const StereoSignal out = run(*p, in, 64);
    EXPECT_EQ(_mm_getcsr(), before);
    EXPECT_EQ(out.left[5], 0.0f);
    _mm_setcsr(before | 0x8040);
    run(*p, in, 64);
    EXPECT_EQ(_mm_getcsr(), before | 0x8040);
    _mm_setcsr(before);
}
#endif

TEST(APluginThreads, ParametersChangeWhileAnotherThreadProcesses) {
    auto p = makePlugin();
    std::atomic<bool> done{false};
    std::thread ui([&] {
        for (int round = 0; !done.load(); ++round)
            for (int i = 0; i < 12; ++i)
                p->setParameter(i, static_cast<float>((round * 7 + i) % 11) / 10.0f);
    });
    StereoSignal in = dynamicTestSignal(512, 1);
    StereoSignal out(512);
    bool finite = true;
    for (int block = 0; block < 400; ++block) {
        float* ins[] = {in.left.data(), in.right.data()};
        float* outs[] = {out.left.data(), out.right.data()};
        p->processReplacing(ins, outs, 512);
        for (size_t i = 0; i < 512; ++i)
            finite = finite && std::isfinite(out.left[i]) && std::isfinite(out.right[i]);
    }
    done = true;
    ui.join();
    EXPECT_TRUE(finite);
}

TEST(APluginProcessing, ListenSwitchedOffMidBlockReadsThisBlocksInput) {
    // Block 1 (normal mode) leaves loud samples in the side buffers. Block 2 starts in listen
    // mode, so they are not refilled; MIDI controller 26 switches listen off at sample 40. From
    // there the detector must hear block 2's input, exactly as if the block had started in
    // normal mode.
    auto test = makePlugin();
    auto reference = makePlugin();
    for (APlugin* p : {test.get(), reference.get()})
        p->setDefaultMidiMap(); // whatever map file other tests left beside the binary
    StereoSignal loud(512), quiet(512);
    for (size_t i = 0; i < 512; ++i) {
        loud.left[i] = loud.right[i] = (i / 20) % 2 ? 0.95f : -0.95f;
        quiet.left[i] = 0.05f * std::sin(0.05f * i);
        quiet.right[i] = -quiet.left[i];
    }
    run(*test, loud, 512);
    run(*reference, loud, 512);
    test->setParameter(kListen, 1.0f);
    MidiEventList off, same;
    off.cc(40, 26, 0);
    same.cc(40, 26, 0); // the same chunk boundaries, listen already off
    test->processEvents(off.get());
    reference->processEvents(same.get());
    const StereoSignal out = run(*test, quiet, 512);
    const StereoSignal expected = run(*reference, quiet, 512);
    EXPECT_EQ(test->getParameter(kListen), 0.0f);
    for (size_t i = 40; i < 512; ++i) {
        ASSERT_EQ(out.left[i], expected.left[i]) << i;
        ASSERT_EQ(out.right[i], expected.right[i]) << i;
    }
}

TEST(APluginProcessing, SplitSitsAt300HzUntilTheHostSetsARate) {
    // Listen mode with the low band off: the output is the input minus the lower low-pass, so
    // the first sample of a step of 1.0 shows the split coefficient.
    const auto firstSample = [](APlugin& p) {
        p.setParameter(kListen, 1.0f);
        p.setParameter(kEqLo, 0.0f);
        StereoSignal step(1);
        step.left[0] = step.right[0] = 1.0f;
        return run(p, step, 1).left[0];
    };
    auto fresh = makePlugin();
    EXPECT_NEAR(firstSample(*fresh), 1.0 - 300.0 / 44100.0, 1e-7);
    auto told = makePlugin();
    told->setSampleRate(44100.0f);
    EXPECT_NEAR(firstSample(*told), 1.0 - 250.0 / 44100.0, 1e-7);
}
