#include "plugin/uPluginFormat.h"

#include <gtest/gtest.h>

TEST(DisplayFormat, GeneralFormatWithFifteenDigits) {
    EXPECT_EQ(display::formatNumber(3.0, '.'), "3");
    EXPECT_EQ(display::formatNumber(-19.2, '.'), "-19.2");
    EXPECT_EQ(display::formatNumber(6.4f, '.'), "6.40000009536743");
    EXPECT_EQ(display::formatNumber(5.8f, '.'), "5.80000019073486");
    EXPECT_EQ(display::formatNumber(10.0, '.'), "10");
    EXPECT_EQ(display::formatNumber(-0.0, '.'), "0");
    EXPECT_EQ(display::formatNumber(-95.71, ','), "-95,71");
}

TEST(DisplayFormat, HundredthsRoundTiesToEven) {
    EXPECT_EQ(display::formatHundredths(-14.4000006f, '.'), "-14.4");
    EXPECT_EQ(display::formatHundredths(-31.36f, '.'), "-31.36");
    EXPECT_EQ(display::formatHundredths(-95.8848f, '.'), "-95.88");
    EXPECT_EQ(display::formatHundredths(0.125f, '.'), "0.12"); // 12.5 hundredths -> 12
    EXPECT_EQ(display::formatHundredths(0.375f, '.'), "0.38"); // 37.5 hundredths -> 38
    EXPECT_EQ(display::formatHundredths(-0.001f, '.'), "0");
    EXPECT_EQ(display::roundToInt(87.5), 88);
    EXPECT_EQ(display::roundToInt(12.5), 12);
}
