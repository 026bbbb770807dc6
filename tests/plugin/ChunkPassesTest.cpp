// The two-lane exp and log and the chunk passes give the bits of the scalar functions.

#include "plugin/uPluginDspChunk.h"
#include "plugin/uPluginMathLanes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

uint64_t bitsOf(double v) {
    return std::bit_cast<uint64_t>(v);
}
uint32_t bitsOf(float v) {
    return std::bit_cast<uint32_t>(v);
}

} // namespace

#if WADLING_MATH_LANES
TEST(MathLanes, LogOfFloatGivesTheScalarBitsInBothLanes) {
    std::vector<float> values = {0.0f,   -0.0f,      1e-45f,   1e-40f,     1.17549435e-38f,
                                 1e-25f, 0.0099999f, 0.5f,     0.9921875f, 0.99219f,
                                 1.0f,   1.0078125f, 1.00781f, 1.5f,       3.4028235e38f,
                                 kInf,   -kInf,      kNaN,     -1.0f,      0.63f};
    for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 40009)
        values.push_back(std::bit_cast<float>(static_cast<uint32_t>(bits)));
    for (size_t i = 0; i < values.size(); ++i) {
        // Each value beside an ordinary one and beside the next value of the list.
        const float f = values[i];
        const float g = values[(i + 1) % values.size()];
        for (const auto& [a, b] : {std::pair{f, 0.3f}, std::pair{0.7f, f}, std::pair{f, g}}) {
            const dmath::double2 both = dmath::logOfFloat(a, b);
            ASSERT_EQ(bitsOf(dmath::lane0(both)), bitsOf(dmath::logOfFloat(a))) << a;
            ASSERT_EQ(bitsOf(dmath::lane1(both)), bitsOf(dmath::logOfFloat(b))) << b;
        }
    }
}

TEST(MathLanes, ExpGivesTheScalarBitsInBothLanes) {
    std::vector<double> values = {0.0,    -0.0,   1e-300,  -699.99, 699.99,     -700.0,
                                  700.0,  -745.0, -746.0,  709.78,  709.79,     -1e300,
                                  1e300,  kNaN,   kInf,    -kInf,   0.34657359, -0.34657359,
                                  2.2e-3, -11.5,  16.5e-6, 1.0};
    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> wide(-760.0, 760.0), gains(-12.0, 4.0);
    for (int i = 0; i < 200000; ++i)
        values.push_back(i % 2 ? wide(random) : gains(random));
    for (size_t i = 0; i < values.size(); ++i) {
        const double x = values[i];
        const double y = values[(i + 1) % values.size()];
        const dmath::double2 both = dmath::exp(dmath::pair(x, y));
        ASSERT_EQ(bitsOf(dmath::lane0(both)), bitsOf(dmath::exp(x))) << x;
        ASSERT_EQ(bitsOf(dmath::lane1(both)), bitsOf(dmath::exp(y))) << y;
    }
}
#endif

namespace {

struct ChunkRun {
    dsp::EqState eq;
    dsp::DetectorState det;
    std::vector<float> eqL, eqR, gains;
};

void expectSameRun(const ChunkRun& a, const ChunkRun& b) {
    ASSERT_EQ(bitsOf(a.eq.loL), bitsOf(b.eq.loL));
    ASSERT_EQ(bitsOf(a.eq.loR), bitsOf(b.eq.loR));
    ASSERT_EQ(bitsOf(a.eq.hiL), bitsOf(b.eq.hiL));
    ASSERT_EQ(bitsOf(a.eq.hiR), bitsOf(b.eq.hiR));
    ASSERT_EQ(bitsOf(a.det.envelope), bitsOf(b.det.envelope));
    ASSERT_EQ(bitsOf(a.det.grReleaseMs), bitsOf(b.det.grReleaseMs));
    ASSERT_EQ(bitsOf(a.det.grReleaseCoef), bitsOf(b.det.grReleaseCoef));
    ASSERT_EQ(bitsOf(a.det.overshootDb), bitsOf(b.det.overshootDb));
    ASSERT_EQ(bitsOf(a.det.gain), bitsOf(b.det.gain));
    for (size_t i = 0; i < a.gains.size(); ++i) {
        ASSERT_EQ(bitsOf(a.eqL[i]), bitsOf(b.eqL[i])) << i;
        ASSERT_EQ(bitsOf(a.eqR[i]), bitsOf(b.eqR[i])) << i;
        ASSERT_EQ(bitsOf(a.gains[i]), bitsOf(b.gains[i])) << i;
    }
}

// Random settings as the parameters give them, at spm samples per millisecond.
struct Settings {
    dsp::EqSettings eq;
    dsp::DetectorSettings detector;
};

Settings randomSettings(std::mt19937& random, float spm) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float thr = dsp::thresholdDbFor(unit(random));
    const float slope = dsp::slopeFor(dsp::ratioFor(unit(random)));
    const float makeup = dsp::makeupDbFor(thr, slope);
    const dsp::EqSettings eq{250.0f / (spm * 1000.0f), 2000.0f / (spm * 1000.0f),
                             dsp::bandGain(unit(random)).gain, dsp::bandGain(unit(random)).gain,
                             dsp::bandGain(unit(random)).gain};
    return {eq,
            {dsp::timeCoef(10.0f, spm), dsp::timeCoef(50.0f, spm), dsp::timeCoef(10.0f, spm), spm,
             dsp::dbToGain(thr), thr, slope, dsp::dbToGain(makeup), makeup}};
}

} // namespace

TEST(ChunkPasses, EverySpanLengthSettingAndStateGivesTheReferenceBits) {
    std::mt19937 random(2024);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::normal_distribution<float> audio(0.0f, 0.6f);
    for (int trial = 0; trial < 3000; ++trial) {
        const float spm = trial % 3 ? 44.1f : (trial % 2 ? 2.0f : 192.0f);
        const auto [eqs, ds] = randomSettings(random, spm);
        // Every length up to two chunks, then longer spans.
        const int n = trial < 1000 ? 1 + trial % (2 * dsp::kMaxChunk)
                                   : 1 + static_cast<int>(random() % dsp::kMaxSpan);
        std::vector<float> inL(n), inR(n);
        const float level = trial % 5 == 0 ? 1e-6f : (trial % 7 == 0 ? 40.0f : 1.0f);
        for (int i = 0; i < n; ++i) {
            inL[i] = level * audio(random);
            inR[i] = trial % 11 == 0 ? 0.0f : level * audio(random);
        }
        if (trial % 13 == 0) inL[trial % n] = trial % 2 ? kNaN : kInf;
        if (trial % 17 == 0) inR[trial % n] = 1.0f; // a level near 1: the scalar logarithm
        // Overshoots from 30 dB down to the denormal range, where the offsets of 1e-25 count.
        const float overshoot =
            std::ldexp(unit(random), -static_cast<int>(trial % 140)) * (trial % 3 ? 30.0f : -30.0f);
        const ChunkRun start{{audio(random), audio(random), audio(random), audio(random)},
                             {unit(random) * 2.0f, 50.0f, 0.999f, overshoot, 1.0f},
                             {},
                             {},
                             {}};
        ChunkRun ref = start, fast = start;
        for (ChunkRun* r : {&ref, &fast}) {
            r->eqL.resize(n);
            r->eqR.resize(n);
            r->gains.resize(n);
        }
        dsp::detectSpanReference(ref.eq, eqs, ref.det, ds, inL.data(), inR.data(), ref.eqL.data(),
                                 ref.eqR.data(), ref.gains.data(), n);
        dsp::setWideLanes(trial % 4 < 2);
        if (trial % 2) { // in place, as listen mode runs
            fast.eqL = inL;
            fast.eqR = inR;
            dsp::detectSpan(fast.eq, eqs, fast.det, ds, fast.eqL.data(), fast.eqR.data(),
                            fast.eqL.data(), fast.eqR.data(), fast.gains.data(), n);
        } else {
            dsp::detectSpan(fast.eq, eqs, fast.det, ds, inL.data(), inR.data(), fast.eqL.data(),
                            fast.eqR.data(), fast.gains.data(), n);
        }
        dsp::setWideLanes(true);
        SCOPED_TRACE(trial);
        expectSameRun(fast, ref);
    }
}

// What the audio loop does with a chunk: detect, then flush the detector and clear the filters.
TEST(ChunkPasses, ASilentChunkAtRestSettlesAsTheRecursionsWould) {
    std::mt19937 random(77);
    int accepted = 0, refused = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const auto [eqs, ds] = randomSettings(random, trial % 3 ? 44.1f : 192.0f);
        const int n = 1 + trial % dsp::kMaxChunk;
        // Signed zeros everywhere; now and then one sample or one state that is not at rest.
        std::vector<float> inL(n), inR(n);
        for (int i = 0; i < n; ++i) {
            inL[i] = (trial + i) % 3 ? 0.0f : -0.0f;
            inR[i] = (trial + i) % 5 ? -0.0f : 0.0f;
        }
        ChunkRun start{{0.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 123.0f, 0.5f, 0.0f, 0.25f}, {}, {}, {}};
        switch (trial % 8) {
        case 1:
            inR[trial % n] = 1e-30f;
            break;
        case 2:
            start.eq.hiR = -0.0f;
            break;
        case 3:
            start.det.overshootDb = 1e-30f;
            break;
        case 4:
            start.det.envelope = -0.0f;
            break;
        default:
            break;
        }
        ChunkRun ref = start, fast = start;
        for (ChunkRun* r : {&ref, &fast}) {
            r->eqL.assign(n, 1.0f);
            r->eqR.assign(n, 1.0f);
            r->gains.assign(n, 1.0f);
        }
        dsp::detectSpanReference(ref.eq, eqs, ref.det, ds, inL.data(), inR.data(), ref.eqL.data(),
                                 ref.eqR.data(), ref.gains.data(), n);
        const bool atRest = trial % 8 == 0 || trial % 8 > 4;
        ASSERT_EQ(dsp::silentAtRest(start.eq, start.det, inL.data(), inR.data(), n), atRest)
            << trial;
        if (!atRest) {
            ++refused;
            continue;
        }
        ++accepted;
        dsp::settleSilentChunk(fast.det, ds, fast.eqL.data(), fast.eqR.data(), fast.gains.data(),
                               n);
        SCOPED_TRACE(trial);
        expectSameRun(fast, ref);
    }
    EXPECT_GT(accepted, 100);
    EXPECT_GT(refused, 100);
}

namespace {

// Runs check with two lanes and, where the processor has them, four.
template <class Check>
void atEveryWidth(Check check) {
    for (bool wide : {false, true}) {
        if (wide && !dsp::wideLanesAvailable()) continue;
        SCOPED_TRACE(wide ? "four lanes" : "two lanes");
        dsp::setWideLanes(wide);
        check();
    }
    dsp::setWideLanes(true);
}

} // namespace

TEST(MixOutput, SaturatedWetAndDryGiveTheScalarBitsAtEveryLengthAndInPlace) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), wide(-30.0f, 30.0f);
    atEveryWidth([&] {
        for (int n = 0; n < 70; ++n) {
            const dsp::MixGains g = dsp::mixGains(unit(random));
            std::vector<float> in(n), wet(n), expected(n), out(n);
            for (int i = 0; i < n; ++i) {
                in[i] = wide(random) * 0.1f;
                wet[i] = i % 3 ? wide(random) : wide(random) * 0.01f;
                expected[i] =
                    static_cast<float>(static_cast<double>(in[i]) * g.dry +
                                       static_cast<double>(dsp::softClip(wet[i])) * g.wet);
            }
            dsp::mixOutput(in.data(), wet.data(), out.data(), n, g.dry, g.wet);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(bitsOf(out[i]), bitsOf(expected[i])) << n << " " << i;
            dsp::mixOutput(in.data(), wet.data(), in.data(), n, g.dry, g.wet);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(bitsOf(in[i]), bitsOf(expected[i])) << "in place " << n << " " << i;
        }
    });
}

TEST(MixOutput, HugeWetSamplesGiveTheSameBitsAtEveryWidth) {
    const std::vector<float> wet = {1e18f, -1e19f, 3e20f, 3.4e38f, kInf, kNaN, 0.5f, -1e25f, 2e18f};
    const std::vector<float> in(wet.size(), 0.25f);
    std::vector<std::vector<float>> outs;
    atEveryWidth([&] {
        for (int n = 1; n <= static_cast<int>(wet.size()); ++n) {
            std::vector<float> out(n);
            dsp::mixOutput(in.data(), wet.data(), out.data(), n, 0.5f, 0.8f);
            outs.push_back(out);
        }
    });
    // Each length once per width: the four-lane run repeats the two-lane one.
    for (size_t k = wet.size(); k < outs.size(); ++k)
        for (size_t i = 0; i < outs[k].size(); ++i)
            ASSERT_EQ(bitsOf(outs[k][i]), bitsOf(outs[k - wet.size()][i])) << k << " " << i;
}

TEST(MixOutput, HugeWetSamplesGiveTheBitsOfABlockOfOneAtEveryPosition) {
    // Beyond about 5e18 the saturator's formula leaves its asymptote, and from 1e19 on it
    // overflows; a block of one sample is the per-sample saturator.
    const float magnitudes[] = {9.9e17f,
                                1e18f,
                                2e18f,
                                5e18f,
                                9e18f,
                                1e19f,
                                1e20f,
                                1e25f,
                                1e30f,
                                3e38f,
                                std::numeric_limits<float>::max(),
                                kInf};
    atEveryWidth([&] {
        for (const float magnitude : magnitudes)
            for (const float sign : {1.0f, -1.0f})
                for (int n = 1; n <= 9; ++n)
                    for (int at = 0; at < n; ++at) {
                        std::vector<float> in(n), wet(n), out(n);
                        for (int i = 0; i < n; ++i) {
                            in[i] = 0.1f * static_cast<float>(i) - 0.3f;
                            wet[i] = i == at ? sign * magnitude : 0.5f - 0.2f * i;
                        }
                        if (n > 4) wet[n - 1 - at] = -sign * magnitude * 0.75f;
                        dsp::mixOutput(in.data(), wet.data(), out.data(), n, 0.6f, 0.8f);
                        for (int i = 0; i < n; ++i) {
                            float one;
                            dsp::mixOutput(&in[i], &wet[i], &one, 1, 0.6f, 0.8f);
                            ASSERT_EQ(bitsOf(out[i]), bitsOf(one))
                                << sign * magnitude << ": length " << n << ", sample " << i
                                << " of wet " << wet[i] << " gives " << out[i] << ", not " << one;
                        }
                    }
    });
}
