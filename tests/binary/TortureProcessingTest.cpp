// Processing under hostile conditions: odd block sizes, absurd sample rates, in place and not,
// silence, denormals, full-scale squares, huge values, and single NaN or infinite samples.

#include <atomic>
#include <thread>

#include "TortureSupport.h"
#include "plugin/uPlugin.h"

namespace {

using torture::kInf;
using torture::kNaN;
using torture::Stereo;

enum class Signal { Silence, Denormal, Square, Huge, Noise };

void fill(Stereo& s, Signal kind, std::mt19937& random) {
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (size_t i = 0; i < s.left.size(); ++i) {
        float l = 0.0f, r = 0.0f;
        switch (kind) {
        case Signal::Silence:
            break;
        case Signal::Denormal:
            l = std::numeric_limits<float>::denorm_min() * float(1 + i % 7);
            r = -l;
            break;
        case Signal::Square:
            l = r = (i / 50) % 2 ? 1.0f : -1.0f;
            break;
        case Signal::Huge:
            l = r = ((i / 20) % 2 ? 1.0f : -1.0f) * 1e6f * float(1 + i % 5);
            break;
        case Signal::Noise:
            l = noise(random);
            r = noise(random);
            break;
        }
        s.left[i] = l;
        s.right[i] = r;
    }
}

class TortureProcessing : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        plugin = &open();
        plugin->dispatch(effMainsChanged, 0, 1);
    }
    /// Runs one block, separately or in place, and checks the finiteness rule.
    void runBlock(Stereo& in, bool inPlace) {
        if (inPlace) {
            Stereo original = in;
            plugin->processReplacing(in.channels(), in.channels(), int32_t(in.left.size()));
            EXPECT_TRUE(torture::obeysFinitenessRule(original, in));
        } else {
            Stereo out(in.left.size(), 123.0f);
            plugin->processReplacing(in.channels(), out.channels(), int32_t(in.left.size()));
            EXPECT_TRUE(torture::obeysFinitenessRule(in, out));
        }
    }
    host::PluginInstance* plugin = nullptr;
};

TEST_F(TortureProcessing, BlockSizesRatesAndSignalsGiveFiniteOutput) {
    std::mt19937 random(7);
    const int32_t sizes[] = {0, 1, 2, 31, 32, 33, 4096, 100000};
    const float rates[] = {44100.0f, 1.0f, 8000.0f, 192000.0f, 0.0f, -44100.0f, kNaN, kInf};
    const Signal signals[] = {Signal::Silence, Signal::Denormal, Signal::Square, Signal::Huge,
                              Signal::Noise};
    for (float rate : rates) {
        plugin->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        for (int32_t program : {0, 6, 11}) {
            plugin->dispatch(effSetProgram, 0, program);
            plugin->setParameter(param::EQListen, program == 6 ? 1.0f : 0.0f); // listen mode too
            for (int32_t n : sizes) {
                for (Signal kind : signals) {
                    Stereo in{static_cast<size_t>(n)};
                    fill(in, kind, random);
                    runBlock(in, (n + int(kind)) % 2 == 0);
                    if (HasFailure()) {
                        ADD_FAILURE() << "rate " << rate << " program " << program << " size " << n
                                      << " signal " << int(kind);
                        return;
                    }
                }
            }
        }
    }
}

TEST_F(TortureProcessing, ValuesFarAboveFullScaleStayFinite) {
    const float levels[] = {1e3f, 1e9f, 1e18f, 1e20f, 1e30f, std::numeric_limits<float>::max()};
    for (float level : levels) {
        for (float listen : {0.0f, 1.0f}) {
            // Listening to a boosted band of the largest float is an overflow by definition.
            const bool overflows = listen > 0.0f && level > 1e30f;
            for (float eq : {0.0f, 0.5f, 1.0f}) {
                if (overflows && eq > 0.5f) continue;
                for (float mix : {0.5f, 1.0f}) {
                    plugin->setParameter(param::EQListen, listen);
                    plugin->setParameter(param::DryWet, mix);
                    for (int32_t band = 0; band < 3; ++band)
                        plugin->setParameter(band, eq);
                    Stereo in(512);
                    for (size_t i = 0; i < 512; ++i)
                        in.left[i] = in.right[i] = (i % 2 ? level : -level);
                    runBlock(in, false);
                    ASSERT_FALSE(HasFailure()) << "level " << level << " listen " << listen
                                               << " eq " << eq << " mix " << mix;
                }
            }
        }
    }
}

// A single bad sample spoils at most the chunk it arrives in, in every mode and mix, and the
// plug-in is finite again afterwards, in the same block and in the next ones.
TEST_F(TortureProcessing, OneBadSampleSpoilsAtMostItsChunk) {
    std::mt19937 random(11);
    for (float bad : {kNaN, kInf, -kInf}) {
        for (float listen : {0.0f, 1.0f}) {
            for (float mix : {0.0f, 0.5f, 1.0f}) {
                plugin->setParameter(param::EQListen, listen);
                plugin->setParameter(param::DryWet, mix);
                for (size_t at : {size_t(0), size_t(31), size_t(32), size_t(100), size_t(511)}) {
                    Stereo in(512);
                    fill(in, Signal::Noise, random);
                    in.left[at] = bad;
                    runBlock(in, at % 2 == 0);
                    Stereo after(512), out(512);
                    fill(after, Signal::Noise, random);
                    plugin->processReplacing(after.channels(), out.channels(), 512);
                    ASSERT_EQ(torture::firstNonFinite(out), -1)
                        << "bad " << bad << " listen " << listen << " mix " << mix << " at " << at;
                }
            }
        }
    }
}

// A host that automates in 32-frame sub-blocks: every parameter moves between calls.
TEST_F(TortureProcessing, AutomationBetweenSubBlocks) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(-0.2f, 1.2f);
    Stereo in(32), out(32);
    for (int block = 0; block < 3000; ++block) {
        fill(in, block % 3 ? Signal::Noise : Signal::Square, random);
        for (int32_t index = 0; index < 12; ++index)
            if (random() % 3 == 0) plugin->setParameter(index, unit(random));
        plugin->processReplacing(in.channels(), out.channels(), 32);
        ASSERT_EQ(torture::firstNonFinite(out), -1) << "block " << block;
        for (size_t i = 0; i < 32; ++i)
            ASSERT_LE(std::fabs(out.left[i]), 10.5f) << "block " << block;
    }
}

// Two threads set parameters (and one switches programs) while a third processes. Under
// ThreadSanitizer this must give no report; everywhere the output stays finite.
TEST_F(TortureProcessing, ParametersFromTwoThreadsWhileAThirdProcesses) {
    std::atomic<bool> stop{false};
    auto automate = [&](unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        while (!stop.load()) {
            plugin->setParameter(int32_t(random() % 12), unit(random));
            if (random() % 64 == 0) plugin->dispatch(effSetProgram, 0, intptr_t(random() % 12));
            plugin->getParameter(int32_t(random() % 12));
        }
    };
    std::thread a(automate, 1u), b(automate, 2u);
    std::mt19937 random(5);
    bool finite = true;
    for (int block = 0; block < 400 && finite; ++block) {
        Stereo in(256), out(256);
        fill(in, Signal::Noise, random);
        plugin->processReplacing(in.channels(), out.channels(), 256);
        finite = torture::firstNonFinite(out) == -1;
    }
    stop.store(true);
    a.join();
    b.join();
    EXPECT_TRUE(finite);
}

} // namespace
