#include "runtime/Timer.h"

#include "platform/headless/Headless.h"

#include <gtest/gtest.h>

using runtime::TSystemTimer;

TEST(SystemTimer, StartingAgainReplacesTheRunAndItsHandler) {
    platform::HeadlessSession headless;
    TSystemTimer timer;
    int first = 0, second = 0;
    ASSERT_TRUE(timer.Start(100, [&] { ++first; }));
    headless.advanceClock(100);
    ASSERT_TRUE(timer.Start(50, [&] { ++second; }));
    EXPECT_EQ(headless.activeTimerCount(), 1u);
    headless.advanceClock(100);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
}

TEST(SystemTimer, ARefusedTimerIsNotRunningAndAFreedOneStopsTicking) {
    platform::HeadlessSession headless;
    int ticks = 0;
    {
        TSystemTimer timer;
        ASSERT_TRUE(timer.Start(10, [&] { ++ticks; }));
        headless.setTimerLimit(1);
        TSystemTimer refused;
        EXPECT_FALSE(refused.Start(10, [&] { ++ticks; }));
        EXPECT_FALSE(refused.Running());
        EXPECT_TRUE(timer.Running());
    }
    EXPECT_EQ(headless.activeTimerCount(), 0u);
    headless.advanceClock(100);
    EXPECT_EQ(ticks, 0);
}

TEST(SystemTimer, ATickMayStopItsOwnTimer) {
    platform::HeadlessSession headless;
    TSystemTimer timer;
    int ticks = 0;
    timer.Start(10, [&] {
        ++ticks;
        timer.Stop();
    });
    headless.advanceClock(100);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timer.Running());
}
