#include "toolkit/cDIBTimer.h"

#include "platform/headless/Headless.h"
#include "runtime/Application.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace toolkit;

namespace {

class DIBTimer : public ::testing::Test {
protected:
    void TearDown() override { runtime::Application().OnException = nullptr; }
    platform::HeadlessSession headless;
    TDIBTimer timer{nullptr};
    int ticks = 0;
};

} // namespace

TEST_F(DIBTimer, ANewTimerWithAHandlerWaitsUntilEnabled) {
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    timer.SetOnTimer([&](runtime::TPersistent* sender) {
        EXPECT_EQ(sender, &timer);
        ++ticks;
    });
    headless.advanceClock(5000);
    EXPECT_EQ(ticks, 0);
    EXPECT_FALSE(timer.Running());
    timer.SetEnabled(true);
    headless.advanceClock(2500);
    EXPECT_EQ(ticks, 2);
}

TEST_F(DIBTimer, IntervalZeroStopsAndRestoringItStartsAgain) {
    timer.SetOnTimer([&](runtime::TPersistent*) { ++ticks; });
    timer.SetInterval(100);
    timer.SetEnabled(true);
    headless.advanceClock(250);
    EXPECT_EQ(ticks, 2);
    timer.SetInterval(0);
    EXPECT_FALSE(timer.Running());
    headless.advanceClock(1000);
    EXPECT_EQ(ticks, 2);
    timer.SetInterval(100);
    headless.advanceClock(100);
    EXPECT_EQ(ticks, 3);
}

TEST_F(DIBTimer, EnablingTwiceHoldsOneSystemTimer) {
    timer.SetOnTimer([&](runtime::TPersistent*) { ++ticks; });
    timer.SetEnabled(true);
    timer.SetEnabled(true);
    EXPECT_EQ(headless.activeTimerCount(), 1u);
    headless.advanceClock(1000);
    EXPECT_EQ(ticks, 1);
    timer.SetOnTimer(nullptr); // no handler: stopped
    EXPECT_EQ(headless.activeTimerCount(), 0u);
}

TEST_F(DIBTimer, AHandlersExceptionGoesToTheApplicationAndTheNextTickComes) {
    std::vector<std::string> reported;
    runtime::Application().OnException = [&](const std::exception& e) {
        reported.push_back(e.what());
    };
    timer.SetInterval(10);
    timer.SetOnTimer([&](runtime::TPersistent*) {
        if (++ticks == 1) throw std::runtime_error("first tick fails");
    });
    timer.SetEnabled(true);
    headless.advanceClock(20);
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(reported, (std::vector<std::string>{"first tick fails"}));
}

TEST_F(DIBTimer, ARefusedTimerRaisesAndLeavesTheTimerDisabled) {
    headless.setTimerLimit(0);
    timer.SetOnTimer([&](runtime::TPersistent*) { ++ticks; });
    try {
        timer.SetEnabled(true);
        FAIL();
    } catch (const runtime::EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Not enough timers available");
    }
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
}

TEST_F(DIBTimer, DestroyingARunningTimerStopsIt) {
    {
        TDIBTimer local(nullptr);
        local.SetOnTimer([&](runtime::TPersistent*) { ++ticks; });
        local.SetEnabled(true);
        EXPECT_EQ(headless.activeTimerCount(), 1u);
    }
    EXPECT_EQ(headless.activeTimerCount(), 0u);
    headless.advanceClock(3000);
    EXPECT_EQ(ticks, 0);
}

TEST_F(DIBTimer, ATickMayDisableItsOwnTimer) {
    timer.SetInterval(10);
    timer.SetOnTimer([&](runtime::TPersistent*) {
        ++ticks;
        timer.SetEnabled(false);
    });
    timer.SetEnabled(true);
    headless.advanceClock(100);
    EXPECT_EQ(ticks, 1);
}
