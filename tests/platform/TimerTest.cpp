#include "platform/Platform.h"
#include "platform/headless/Headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace {

class HeadlessTimers : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto id : started)
            platform::backend().stopTimer(id);
    }
    platform::TimerId start(std::uint32_t ms, std::function<void()> f) {
        const auto id = platform::backend().startTimer(ms, std::move(f));
        started.push_back(id);
        return id;
    }
    platform::HeadlessSession headless;
    std::vector<platform::TimerId> started;
};

} // namespace

TEST_F(HeadlessTimers, TickCountFollowsTheVirtualClock) {
    const auto t0 = platform::backend().tickCount();
    headless.advanceClock(250);
    EXPECT_EQ(platform::backend().tickCount() - t0, 250u);
}

TEST_F(HeadlessTimers, ATimerTicksOncePerElapsedIntervalAndSeesItsOwnMoment) {
    std::vector<std::uint32_t> at;
    const auto t0 = platform::backend().tickCount();
    start(100, [&] { at.push_back(platform::backend().tickCount() - t0); });
    headless.advanceClock(99);
    EXPECT_TRUE(at.empty());
    headless.advanceClock(251);
    EXPECT_EQ(at, (std::vector<std::uint32_t>{100, 200, 300}));
}

TEST_F(HeadlessTimers, TimersFireInTimeOrder) {
    std::vector<int> order;
    start(30, [&] { order.push_back(30); });
    start(20, [&] { order.push_back(20); });
    headless.advanceClock(60);
    EXPECT_EQ(order, (std::vector<int>{20, 30, 20, 30, 20})); // ties at 60 ms in starting order
}

TEST_F(HeadlessTimers, ATimerMayStopItselfInsideItsTick) {
    int ticks = 0;
    platform::TimerId id = 0;
    id = start(10, [&] {
        ++ticks;
        platform::backend().stopTimer(id);
    });
    headless.advanceClock(100);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(headless.activeTimerCount(), 0u);
}

TEST_F(HeadlessTimers, RefusedOrMeaninglessTimersAnswerZero) {
    EXPECT_EQ(platform::backend().startTimer(0, [] {}), 0u);
    EXPECT_EQ(platform::backend().startTimer(10, nullptr), 0u);
    headless.setTimerLimit(1);
    EXPECT_NE(start(10, [] {}), 0u);
    EXPECT_EQ(platform::backend().startTimer(10, [] {}), 0u);
    platform::backend().stopTimer(12345678); // unknown ids are ignored
    EXPECT_EQ(headless.activeTimerCount(), 1u);
}

TEST_F(HeadlessTimers, RunDueTimersDoesNotMoveVirtualTime) {
    int ticks = 0;
    start(1, [&] { ++ticks; });
    platform::backend().runDueTimers();
    EXPECT_EQ(ticks, 0);
}

TEST(SystemTimers, ATimerStartsAndStopsOnTheSystemBackend) {
    ASSERT_EQ(&platform::backend(), &platform::systemBackend());
    int ticks = 0;
    const auto id = platform::backend().startTimer(1, [&] { ++ticks; });
    ASSERT_NE(id, 0u);
    const auto t0 = platform::backend().tickCount();
    while (ticks == 0 && platform::backend().tickCount() - t0 < 5000)
        platform::backend().runDueTimers();
    platform::backend().stopTimer(id);
    EXPECT_GE(ticks, 1);
}

TEST(PixelSurfaces, AValidSurfaceHasWritablePixelsAndAnEmptyOneIsRefused) {
    std::uint8_t* pixels = nullptr;
    std::string error;
    platform::PixelSurface* surface = platform::createPixelSurface(3, 2, &pixels, error);
    ASSERT_NE(surface, nullptr) << error;
    ASSERT_NE(pixels, nullptr);
    for (int i = 0; i < 3 * 2 * 4; ++i)
        pixels[i] = std::uint8_t(i);
    EXPECT_EQ(pixels[23], 23);
    platform::destroyPixelSurface(surface);
    platform::destroyPixelSurface(nullptr);
    EXPECT_EQ(platform::createPixelSurface(0, 5, &pixels, error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(platform::deviceBitsPerPixel(nullptr), 0);
}

// Small surfaces live in the heap, big ones in memory straight from the system: both start
// cleared, hold every row, and answer their own pixels and size.
TEST(PixelSurfaces, SmallAndBigSurfacesStartClearedAndHoldEveryRow) {
    for (const auto& [w, h] : {std::pair{3, 2}, std::pair{127, 127}, std::pair{491, 323}}) {
        std::uint8_t* pixels = nullptr;
        std::string error;
        platform::PixelSurface* surface = platform::createPixelSurface(w, h, &pixels, error);
        ASSERT_NE(surface, nullptr) << error;
        const std::size_t bytes = std::size_t(w) * std::size_t(h) * 4;
        EXPECT_EQ(std::count(pixels, pixels + bytes, 0), std::ptrdiff_t(bytes)) << w;
        std::fill(pixels, pixels + bytes, 0x5A);
        int width = 0, height = 0;
        EXPECT_EQ(platform::pixelSurfaceBits(surface, width, height), pixels);
        EXPECT_EQ(width, w);
        EXPECT_EQ(height, h);
        platform::surfaceFillRect(surface, 0, h - 1, 1, h, 0x010203); // the last row's first pixel
        EXPECT_EQ(pixels[0], 0x01) << w;
        EXPECT_EQ(pixels[bytes - 1], 0x5A) << w;
        platform::destroyPixelSurface(surface);
    }
}
