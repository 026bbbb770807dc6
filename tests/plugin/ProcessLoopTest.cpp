// The audio loop's chunk passes against the scalar per-sample steps, through the whole plug-in:
// every output sample must be the same bits.

#include "MidiEventList.h"
#include "PluginTestSignals.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginDspChunk.h"
#include "plugin/uPluginTestHooks.h"

#if WADLING_HAVE_DEMO
#include "DemoMaterial.h"
#endif

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

namespace {

enum Param { kEqLo, kEqMid, kEqHi, kSqueeze, kDryWet, kSkweezy, kListen };

/// Called before each block with the plug-in and the block's first frame.
using BeforeBlock = std::function<void(APlugin&, size_t)>;

StereoSignal render(bool reference, const StereoSignal& input, int block,
                    const BeforeBlock& beforeBlock, float rate = 44100.0f) {
    plugin_test_hooks::referenceLoop = reference;
    auto p = std::make_unique<APlugin>(nullptr);
    p->setDefaultMidiMap(); // whatever map file other tests left beside the binary
    p->setSampleRate(rate);
    StereoSignal in = input, out(input.size());
    for (size_t start = 0; start < in.size(); start += block) {
        if (beforeBlock) beforeBlock(*p, start);
        const int n = static_cast<int>(std::min<size_t>(block, in.size() - start));
        float* ins[] = {in.left.data() + start, in.right.data() + start};
        float* outs[] = {out.left.data() + start, out.right.data() + start};
        p->processReplacing(ins, outs, n);
    }
    plugin_test_hooks::referenceLoop = false;
    return out;
}

// Bit patterns, so that NaNs compare too; the chunk passes two and (where the processor has
// them) four lanes wide.
void expectSameBits(const StereoSignal& input, int block, const BeforeBlock& beforeBlock = {},
                    float rate = 44100.0f) {
    const StereoSignal expected = render(true, input, block, beforeBlock, rate);
    for (bool wide : {false, true}) {
        if (wide && !dsp::wideLanesAvailable()) continue;
        dsp::setWideLanes(wide);
        const StereoSignal actual = render(false, input, block, beforeBlock, rate);
        dsp::setWideLanes(true);
        for (size_t i = 0; i < input.size(); ++i) {
            ASSERT_EQ(std::memcmp(&actual.left[i], &expected.left[i], sizeof(float)), 0)
                << "left " << i << (wide ? " (four lanes): " : ": ") << actual.left[i] << " vs "
                << expected.left[i];
            ASSERT_EQ(std::memcmp(&actual.right[i], &expected.right[i], sizeof(float)), 0)
                << "right " << i << (wide ? " (four lanes): " : ": ") << actual.right[i] << " vs "
                << expected.right[i];
        }
    }
}

BeforeBlock program(int number) {
    return [number](APlugin& p, size_t start) {
        if (start == 0) p.setProgram(number);
    };
}

StereoSignal music(size_t frames) {
#if WADLING_HAVE_DEMO
    const render::DemoMaterial demo = render::synthesiseDemo();
    StereoSignal s(std::min(frames, demo.left.size()));
    std::copy_n(demo.left.begin(), s.size(), s.left.begin());
    std::copy_n(demo.right.begin(), s.size(), s.right.begin());
    return s;
#else
    return dynamicTestSignal(frames, 3);
#endif
}

// Above every threshold the programs set: a logarithm and an exponential for every sample.
StereoSignal loud(size_t frames) {
    StereoSignal s(frames);
    uint32_t state = 12345;
    for (size_t i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        const float level = 0.6f + 0.3f * static_cast<float>(state >> 8) / 16777216.0f;
        const float sign = (i / 50) % 2 ? 1.0f : -1.0f;
        s.left[i] = sign * level;
        s.right[i] = -sign * level;
    }
    return s;
}

uint32_t nextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

} // namespace

TEST(ProcessLoop, MusicThroughEveryProgramAndBlockSize) {
    const StereoSignal in = music(44100 * 2);
    const int blocks[] = {512, 300, 64, 4096, 1, 33};
    for (int number = 0; number < APlugin::kNumPrograms; ++number) {
        SCOPED_TRACE(number);
        expectSameBits(in, blocks[number % 6], program(number));
    }
}

// The detector needs about three seconds of silence to come to rest; negative zeros in the
// silence must keep their sign through the output stage.
TEST(ProcessLoop, LoudSignalAndSilenceAfterIt) {
    StereoSignal in = loud(44100);
    in.left.resize(44100 * 5, 0.0f);
    in.right.resize(44100 * 5, 0.0f);
    for (size_t i = 44100; i < in.size(); i += 7)
        in.right[i] = -0.0f;
    for (int number : {0, 5, 9}) {
        SCOPED_TRACE(number);
        expectSameBits(in, 512, program(number));
    }
    SCOPED_TRACE("listen");
    expectSameBits(in, 100, [](APlugin& p, size_t start) {
        if (start == 0) p.setParameter(kListen, 1.0f);
    });
}

TEST(ProcessLoop, ListenWithBandsBoostedAndCut) {
    const StereoSignal in = music(44100 * 2);
    for (float bands : {0.0f, 0.3f, 1.0f}) {
        SCOPED_TRACE(bands);
        expectSameBits(in, 512, [bands](APlugin& p, size_t start) {
            if (start != 0) return;
            p.setParameter(kListen, 1.0f);
            p.setParameter(kEqLo, bands);
            p.setParameter(kEqHi, 1.0f - bands);
        });
    }
}

TEST(ProcessLoop, AutomationOfEveryParameterBetweenChunks) {
    const StereoSignal in = music(44100 * 2);
    uint32_t state = 7;
    std::vector<std::pair<int, float>> moves; // the same moves for both runs
    for (int i = 0; i < 44100 * 2 / 32; ++i)
        moves.emplace_back(static_cast<int>(nextRandom(state) % 7),
                           static_cast<float>(nextRandom(state) % 1001) / 1000.0f);
    expectSameBits(in, 32, [&moves](APlugin& p, size_t start) {
        const auto& [index, value] = moves[start / 32];
        // Listen flips rarely, so that both modes run for a while.
        if (index != kListen || value > 0.9f || value < 0.1f)
            p.setParameter(index, index == kListen ? (value > 0.5f ? 1.0f : 0.0f) : value);
    });
}

TEST(ProcessLoop, MidiControllersInsideBlocks) {
    const StereoSignal in = music(44100 * 2);
    expectSameBits(in, 512, [](APlugin& p, size_t start) {
        uint32_t state = static_cast<uint32_t>(start) + 11;
        MidiEventList events;
        for (int e = 0; e < 6; ++e) {
            const int position = static_cast<int>(nextRandom(state) % 512);
            const int index = static_cast<int>(nextRandom(state) % 7);
            const int value = static_cast<int>(nextRandom(state) % 128);
            if (index == kListen && (start / 512) % 4 != 1) continue;
            events.cc(position, static_cast<uint8_t>(20 + index), static_cast<uint8_t>(value));
        }
        p.processEvents(events.get());
    });
}

TEST(ProcessLoop, BadSamplesAndExtremeRates) {
    StereoSignal in = dynamicTestSignal(20000, 5);
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::max(),
                              -3e38f,
                              1e-40f,
                              1.0f,
                              -1.0f,
                              0.99999f,
                              1e30f};
    for (size_t k = 0; k < std::size(specials); ++k) {
        in.left[1000 + 1500 * k] = specials[k];
        in.right[1000 + 1500 * k + 700] = specials[k];
    }
    for (float rate : {2000.0f, 44100.0f, 192000.0f, 10'000'000.0f}) {
        SCOPED_TRACE(rate);
        expectSameBits(in, 100, program(3), rate);
    }
    expectSameBits(in, 512, [](APlugin& p, size_t start) {
        if (start == 0) p.setParameter(kEqLo, 1.0f), p.setParameter(kEqHi, 1.0f);
    });
}
