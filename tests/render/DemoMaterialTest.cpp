#include "DemoMaterial.h"
#include "LevelPlot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

double rmsDb(const std::vector<float>& x, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += double(x[i]) * x[i];
    return 10 * std::log10(sum / double(to - from) + 1e-30);
}

} // namespace

TEST(DemoMaterial, TenSecondsOfStrongDynamicsWithoutClipping) {
    const render::DemoMaterial d = render::synthesiseDemo();
    ASSERT_EQ(d.sampleRate, 44100u);
    ASSERT_EQ(d.left.size(), 441000u);
    ASSERT_EQ(d.right.size(), d.left.size());
    float peak = 0;
    for (size_t i = 0; i < d.left.size(); ++i)
        peak = std::max({peak, std::fabs(d.left[i]), std::fabs(d.right[i])});
    EXPECT_LT(peak, 1.0f);
    EXPECT_GT(peak, 0.5f);
    const double intro = rmsDb(d.left, 0, 88200);       // 0..2 s
    const double groove = rmsDb(d.left, 88200, 176400); // 2..4 s
    const double pause = rmsDb(d.left, 180000, 210000); // the break
    EXPECT_GT(groove - intro, 12.0);
    EXPECT_GT(groove - pause, 30.0);
    EXPECT_NE(d.left, d.right); // stereo, not two copies
}

TEST(DemoMaterial, SynthesisIsDeterministic) {
    EXPECT_EQ(render::synthesiseDemo().left, render::synthesiseDemo().left);
}

TEST(LevelPlot, TraceShowsGainWhereTheInputIsAudible) {
    std::vector<float> in(4410, 0.5f), out(4410, 0.25f);
    std::fill(in.begin(), in.begin() + 441, 0.0f);
    const render::LevelTrace t = render::traceLevels(in, in, out, out, 44100);
    ASSERT_EQ(t.inputDb.size(), 10u);
    EXPECT_TRUE(std::isnan(t.gainDb[0]));
    EXPECT_NEAR(t.gainDb[5], -6.0206, 1e-3);
    EXPECT_NEAR(t.inputDb[5], -6.0206, 1e-3);
}
