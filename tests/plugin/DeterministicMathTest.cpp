#include "plugin/uPluginMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace {

// Distance in units of the last place between two finite doubles of the same sign.
double ulpDistance(double a, double b) {
    const double mag = std::fabs(b);
    return std::fabs(a - b) / (std::nextafter(mag, 2 * mag + 1) - mag);
}

} // namespace

TEST(DeterministicMath, ExpAgreesWithTheCLibraryWithinOneUlpOverTheAudioRange) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> dist(-300.0, 300.0);
    for (int i = 0; i < 200000; ++i) {
        const double x = dist(rng);
        ASSERT_LE(ulpDistance(dmath::exp(x), std::exp(x)), 1.0) << x;
    }
}

TEST(DeterministicMath, LogAgreesWithTheCLibraryWithinOneUlpIncludingNearOne) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> wide(-40.0, 40.0);
    std::uniform_real_distribution<double> near(-0.02, 0.02);
    for (int i = 0; i < 200000; ++i) {
        const double x = i % 2 ? std::exp(wide(rng)) : 1.0 + near(rng);
        if (x == 1.0) continue;
        ASSERT_LE(ulpDistance(dmath::log(x), std::log(x)), 1.0) << x;
    }
}

TEST(DeterministicMath, EdgeValues) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(dmath::exp(0.0), 1.0);
    EXPECT_EQ(dmath::log(1.0), 0.0);
    EXPECT_EQ(dmath::log(2.0), std::log(2.0));
    EXPECT_EQ(dmath::exp(1000.0), inf);
    EXPECT_EQ(dmath::exp(-1000.0), 0.0);
    EXPECT_EQ(dmath::exp(-inf), 0.0);
    EXPECT_TRUE(std::isnan(dmath::exp(std::nan(""))));
    EXPECT_EQ(dmath::log(0.0), -inf);
    EXPECT_EQ(dmath::log(inf), inf);
    EXPECT_TRUE(std::isnan(dmath::log(-1.0)));
    // Subnormal arguments and results stay accurate.
    EXPECT_LE(ulpDistance(dmath::log(1e-310), std::log(1e-310)), 1.0);
    EXPECT_LE(ulpDistance(dmath::exp(709.5), std::exp(709.5)), 1.0);
    EXPECT_NEAR(dmath::exp(-740.0) / std::exp(-740.0), 1.0, 1e-3);
}

TEST(DeterministicMath, LogOfFloatGivesTheSameBitsAsTheGeneralLog) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<uint32_t> bits(0, 0x7F7FFFFF);
    for (int i = 0; i < 300000; ++i) {
        float f;
        const uint32_t b = bits(rng);
        std::memcpy(&f, &b, 4);
        ASSERT_EQ(dmath::logOfFloat(f), dmath::log(f)) << f;
    }
    for (float f : {1.0f, 0.99f, 1.0078125f, 0.9921875f, 1e-40f, 0.0f, -1.0f,
                    std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max()}) {
        const double a = dmath::logOfFloat(f), b = dmath::log(f);
        EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << f;
    }
}
