#include "plugin/uPluginDsp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr float kSpm44k = static_cast<float>(44100.0f * 0.001); // samplesPerMs at 44.1 kHz

double toDb(double gain) {
    return 20.0 * std::log10(gain);
}

dsp::EqSettings eqAt(float lo, float mid, float hi, float rate = 44100.0f) {
    const float inv = static_cast<float>(1.0 / rate);
    return {static_cast<float>(250.0 * inv), static_cast<float>(2000.0 * inv),
            dsp::bandGain(lo).gain, dsp::bandGain(mid).gain, dsp::bandGain(hi).gain};
}

dsp::DetectorSettings detectorAt(float squeeze, float skweezy) {
    const float thr = dsp::thresholdDbFor(squeeze);
    const float slope = dsp::slopeFor(dsp::ratioFor(skweezy));
    const float makeup = dsp::makeupDbFor(thr, slope);
    return {dsp::timeCoef(10.0f, kSpm44k),
            dsp::timeCoef(50.0f, kSpm44k),
            dsp::timeCoef(10.0f, kSpm44k),
            kSpm44k,
            dsp::dbToGain(thr),
            thr,
            slope,
            dsp::dbToGain(makeup),
            makeup};
}

dsp::DetectorState silentDetector() {
    return {0.0f, 50.0f, dsp::timeCoef(50.0f, kSpm44k), 0.0f, 1.0f};
}

} // namespace

TEST(Mapping, TimeCoefficientsAt44100) {
    EXPECT_FLOAT_EQ(dsp::timeCoef(10.0f, kSpm44k), 0.99773243f);
    EXPECT_FLOAT_EQ(dsp::timeCoef(50.0f, kSpm44k), 0.99954649f);
}

TEST(Mapping, BandGainPointsAndMute) {
    struct Point {
        float v;
        float db;
        float gain;
        float tolerance; // half a unit of the last digit given
    };
    for (const Point& p :
         {Point{0.1f, -67.2f, 0.000437f, 5e-7f}, Point{0.25f, -24.0f, 0.0630957f, 5e-8f},
          Point{0.375f, -12.0f, 0.251189f, 5e-7f}, Point{0.5f, 0.0f, 1.0f, 0.0f},
          Point{0.75f, 3.0f, 1.412538f, 5e-7f}, Point{1.0f, 6.0f, 1.995262f, 5e-7f}}) {
        const dsp::BandGain g = dsp::bandGain(p.v);
        EXPECT_NEAR(g.db, p.db, 1e-4) << p.v;
        EXPECT_NEAR(g.gain, p.gain, p.tolerance * 1.01) << p.v;
    }
    EXPECT_EQ(dsp::bandGain(0.5f).gain, 1.0f); // flat must be exactly flat
    for (float v : {0.0f, 0.0003f}) {
        EXPECT_EQ(dsp::bandGain(v).db, -96.0f) << v;
        EXPECT_EQ(dsp::bandGain(v).gain, 0.0f) << v;
    }
    EXPECT_NEAR(dsp::bandGain(0.0004f).db, -95.8848f, 1e-3);
    EXPECT_GT(dsp::bandGain(0.0004f).gain, 0.0f);
}

TEST(Mapping, ThresholdPoints) {
    struct Point {
        float v, db, lin;
    };
    for (const Point& p : {Point{0.0f, 0.0f, 1.0f}, Point{0.25f, -12.0f, 0.2511886f},
                           Point{0.5f, -24.0f, 0.0630957f}, Point{0.75f, -32.0f, 0.0251189f},
                           Point{1.0f, -40.0f, 0.01f}}) {
        const float db = dsp::thresholdDbFor(p.v);
        EXPECT_FLOAT_EQ(db, p.db) << p.v;
        EXPECT_NEAR(dsp::dbToGain(db), p.lin, 5.1e-8) << p.v;
    }
}

TEST(Mapping, RatioAndSlopeOfTheFiveCharacters) {
    const float ratios[] = {4.0f, 5.5f, 7.0f, 8.5f, 10.0f};
    const float slopes[] = {-0.75f, -0.8181818f, -0.8571429f, -0.8823529f, -0.9f};
    for (int i = 0; i < 5; ++i) {
        const float r = dsp::ratioFor(i / 4.0f);
        EXPECT_EQ(r, ratios[i]);
        EXPECT_FLOAT_EQ(dsp::slopeFor(r), slopes[i]);
    }
}

TEST(Mapping, MakeupGainWorkedValues) {
    const float slope7 = dsp::slopeFor(7.0f);
    EXPECT_NEAR(dsp::makeupDbFor(-40.0f, slope7), 30.857f, 1e-3);
    EXPECT_NEAR(dsp::makeupDbFor(-24.0f, slope7), 18.514f, 1e-3);
    EXPECT_NEAR(dsp::makeupDbFor(-24.0f, dsp::slopeFor(10.0f)), 19.44f, 1e-4);
    EXPECT_NEAR(dsp::makeupDbFor(-24.0f, static_cast<float>(1.0 / 6 - 1.0)), 18.0f, 1e-5);
    EXPECT_EQ(dsp::makeupDbFor(0.0f, slope7), 0.0f);
    EXPECT_NEAR(dsp::dbToGain(dsp::makeupDbFor(-24.0f, static_cast<float>(1.0 / 6 - 1.0))), 7.943f,
                1e-3);
}

TEST(Mapping, EqualPowerMix) {
    EXPECT_EQ(dsp::mixGains(0.0f).dry, 1.0f);
    EXPECT_EQ(dsp::mixGains(0.0f).wet, 0.0f);
    EXPECT_EQ(dsp::mixGains(1.0f).dry, 0.0f);
    EXPECT_EQ(dsp::mixGains(1.0f).wet, 1.0f);
    EXPECT_EQ(dsp::mixGains(0.5f).dry, 0.70710677f);
    EXPECT_EQ(dsp::mixGains(0.5f).wet, 0.70710677f);
    const dsp::MixGains m = dsp::mixGains(0.3f);
    EXPECT_NEAR(m.dry * m.dry + m.wet * m.wet, 1.0, 1e-6);
}

TEST(SoftClip, WorkedValuesSymmetryAndCeiling) {
    const std::pair<float, float> points[] = {{0.1f, 0.09977f},  {0.5f, 0.47261f},
                                              {1.0f, 0.81827f},  {2.0f, 1.13019f},
                                              {10.0f, 1.08568f}, {20.0f, 0.70202f}};
    for (const auto& [w, y] : points) {
        EXPECT_NEAR(dsp::softClip(w), y, 1e-5) << w;
        EXPECT_EQ(dsp::softClip(-w), -dsp::softClip(w)) << w;
    }
    EXPECT_NEAR(dsp::softClip(4.656f), 1.25610f, 1e-5);
    for (float w = 0.0f; w < 100.0f; w += 0.01f)
        ASSERT_LE(std::fabs(dsp::softClip(w)), 1.25611f) << w;
    EXPECT_EQ(dsp::softClip(0.0f), 0.0f);
}

// w^2 overflows float32 near 1e19: the formula gave inf there and NaN above. The tail follows
// the asymptote 15.69 / w, continuous with the formula where it takes over.
TEST(SoftClip, HugeWetSamplesFollowTheAsymptote) {
    const float edge = dsp::softClipTailFrom;
    const float below = std::nextafter(edge, 0.0f);
    EXPECT_NEAR(dsp::softClip(below) / dsp::softClip(edge), 1.0, 1e-6);
    for (float w : {1e19f, 1e20f, 1e30f, std::numeric_limits<float>::max()}) {
        EXPECT_TRUE(std::isfinite(dsp::softClip(w))) << w;
        EXPECT_NEAR(dsp::softClip(w) * w, 15.6923, 1e-3) << w;
        EXPECT_EQ(dsp::softClip(-w), -dsp::softClip(w)) << w;
    }
    EXPECT_EQ(dsp::softClip(std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_TRUE(std::isnan(dsp::softClip(std::numeric_limits<float>::quiet_NaN())));
}

// Finite input near the float32 limit, boosted by a band, overflows the sidechain sum; the
// detector must still give a finite gain that pulls the signal down.
TEST(Detector, OverflowingSidechainLevelGivesAFiniteGain) {
    dsp::DetectorState s{0.0f, 50.0f, 0.0f, 0.0f, 1.0f};
    const dsp::DetectorSettings c{0.9977f, 0.9995f,       0.9977f, 44.1f,  0.0631f,
                                  -24.0f,  -0.857142866f, 8.43f,   18.514f};
    const float inf = std::numeric_limits<float>::infinity();
    for (int i = 0; i < 64; ++i) {
        dsp::detectorStep(s, c, inf, -inf);
        ASSERT_TRUE(std::isfinite(s.gain)) << i;
        ASSERT_TRUE(std::isfinite(s.overshootDb)) << i;
    }
    EXPECT_LT(s.gain, 1e-3f);
}

TEST(SidechainEq, FlatBandsGiveTheInputBackExactly) {
    dsp::EqState s{};
    const dsp::EqSettings flat = eqAt(0.5f, 0.5f, 0.5f);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> dist(-1.5f, 1.5f);
    for (int i = 0; i < 50000; ++i) {
        const float xL = dist(rng), xR = i % 7 ? dist(rng) : 0.0f;
        float eqL, eqR;
        dsp::eqStep(s, flat, xL, xR, eqL, eqR);
        ASSERT_EQ(eqL, xL) << i;
        ASSERT_EQ(eqR, xR) << i;
    }
}

TEST(SidechainEq, DcSettlesIntoTheLowBandOnly) {
    dsp::EqState s{};
    const dsp::EqSettings boosted = eqAt(1.0f, 0.5f, 0.5f);
    float eqL = 0, eqR = 0;
    for (int i = 0; i < 44100; ++i)
        dsp::eqStep(s, boosted, 1.0f, -1.0f, eqL, eqR);
    EXPECT_NEAR(eqL, 1.995262f, 1e-4);
    EXPECT_NEAR(eqR, -1.995262f, 1e-4);

    // With the low band muted the EQ is a first-order high-pass: DC dies away.
    dsp::EqState m{};
    const dsp::EqSettings cut = eqAt(0.0f, 0.5f, 0.5f);
    dsp::eqStep(m, cut, 1.0f, 1.0f, eqL, eqR);
    EXPECT_NEAR(eqL, 1.0f - 250.0f / 44100.0f, 1e-6); // first sample: input minus the low-pass
    for (int i = 0; i < 44100; ++i)
        dsp::eqStep(m, cut, 1.0f, 1.0f, eqL, eqR);
    EXPECT_LT(std::fabs(eqL), 1e-5f); // float32 one-pole stalls a few ulp short
}

TEST(SidechainEq, NonFiniteStatesAreCleared) {
    dsp::EqState s{};
    float eqL, eqR;
    dsp::eqStep(s, eqAt(0.5f, 0.5f, 0.5f), std::numeric_limits<float>::quiet_NaN(),
                std::numeric_limits<float>::infinity(), eqL, eqR);
    dsp::clearNonFinite(s);
    EXPECT_EQ(s.loL, 0.0f);
    EXPECT_EQ(s.hiL, 0.0f);
    EXPECT_EQ(s.loR, 0.0f);
    EXPECT_EQ(s.hiR, 0.0f);
}

TEST(Detector, SilenceGivesThePlainMakeupGain) {
    const dsp::DetectorSettings c = detectorAt(0.3f, 0.5f);
    dsp::DetectorState s = silentDetector();
    for (int chunk = 0; chunk < 10; ++chunk) {
        for (int i = 0; i < 32; ++i) {
            dsp::detectorStep(s, c, 0.0f, 0.0f);
            ASSERT_EQ(s.gain, c.makeupLin);
            ASSERT_LE(std::fabs(s.overshootDb), 1e-25f);
        }
        dsp::flushDetector(s);
        ASSERT_EQ(s.overshootDb, 0.0f);
    }
}

TEST(Detector, StaticCurveOfAFullScaleSquareWave) {
    const dsp::DetectorSettings c = detectorAt(0.5f, 0.5f); // -24 dB, 7:1
    dsp::DetectorState s = silentDetector();
    for (int i = 0; i < 44100 * 3; ++i)
        dsp::detectorStep(s, c, i % 100 < 50 ? 1.0f : -1.0f, i % 100 < 50 ? 1.0f : -1.0f);
    EXPECT_NEAR(s.overshootDb, 24.0f, 1e-3);
    EXPECT_NEAR(toDb(s.gain), 18.514 + 24.0 * -0.8571429, 1e-3); // about -2.06 dB
    // A loud passage drives the envelope to full scale: release near 1000 ms.
    EXPECT_NEAR(s.grReleaseMs, 1000.0f, 1.0f);
    // After it, the release runs on the long constant and slowly shortens.
    for (int i = 0; i < 441; ++i)
        dsp::detectorStep(s, c, 0.0f, 0.0f);
    EXPECT_GT(s.overshootDb, 20.0f);
    for (int i = 0; i < 44100 * 10; ++i)
        dsp::detectorStep(s, c, 0.0f, 0.0f);
    EXPECT_NEAR(s.grReleaseMs, 50.0f, 1e-3);
    EXPECT_EQ(s.gain, c.makeupLin);
}

TEST(Detector, OneChannelIsHeardAtHalfLevelAndCharactersDifferBySlopeOnly) {
    for (float skweezy : {0.0f, 1.0f}) {
        const dsp::DetectorSettings c = detectorAt(0.5f, skweezy);
        dsp::DetectorState s = silentDetector();
        for (int i = 0; i < 44100 * 3; ++i)
            dsp::detectorStep(s, c, 1.0f, 0.0f);
        const double overshoot = -6.0206 + 24.0; // linked level is -6.02 dB
        EXPECT_NEAR(s.overshootDb, overshoot, 1e-3);
        EXPECT_NEAR(toDb(s.gain), c.makeupDb + overshoot * c.slope, 1e-3);
    }
    // 12 dB over: 9 dB of reduction for "Feathered", 10.8 dB for "Ugly".
    EXPECT_NEAR(12.0 * dsp::slopeFor(dsp::ratioFor(0.0f)), -9.0, 1e-5);
    EXPECT_NEAR(12.0 * dsp::slopeFor(dsp::ratioFor(1.0f)), -10.8, 1e-5);
}

TEST(Detector, ThresholdAtZeroDbPassesSignalsBelowFullScaleUntouched) {
    const dsp::DetectorSettings c = detectorAt(0.0f, 0.5f);
    dsp::DetectorState s = silentDetector();
    for (int i = 0; i < 10000; ++i) {
        const float x = 0.99f * std::sin(i * 0.05f);
        dsp::detectorStep(s, c, x, -x);
        ASSERT_EQ(s.gain, 1.0f) << i;
    }
}

TEST(Detector, FlushClearsTinyAndNanStatesButKeepsInfinities) {
    dsp::DetectorState s{5e-26f, 50.0f, 0.9f, -5e-26f, 1.0f};
    dsp::flushDetector(s);
    EXPECT_EQ(s.envelope, 0.0f);
    EXPECT_EQ(s.overshootDb, 0.0f);
    s.envelope = std::numeric_limits<float>::quiet_NaN();
    s.overshootDb = std::numeric_limits<float>::infinity();
    dsp::flushDetector(s);
    EXPECT_EQ(s.envelope, 0.0f);
    EXPECT_EQ(s.overshootDb, std::numeric_limits<float>::infinity());
    s.envelope = 2e-25f;
    dsp::flushDetector(s);
    EXPECT_EQ(s.envelope, 2e-25f);
}
