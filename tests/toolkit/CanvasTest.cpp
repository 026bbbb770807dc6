#include "toolkit/cDIB.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

using namespace toolkit;
using runtime::TRect;

namespace {

constexpr std::uint32_t kBackground = 0x11223344; // alpha 0x11: never what the canvas writes

// Pixel (x, y) with y counted from the top, read straight from the bottom-up buffer.
std::uint32_t pixelAt(const TWinDIB& dib, int x, int y) {
    std::uint32_t value;
    const std::size_t row = static_cast<std::size_t>(dib.Height() - 1 - y);
    std::memcpy(&value, dib.Bits() + (row * dib.Width() + x) * 4, 4);
    return value;
}

void clear(TWinDIB& dib) {
    for (int i = 0; i < dib.Width() * dib.Height(); ++i)
        std::memcpy(dib.Bits() + i * 4, &kBackground, 4);
}

// Framework colour (red low) as the opaque BGRA pixel the buffer holds.
std::uint32_t opaque(std::uint32_t colour) {
    return 0xFF000000u | (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}

} // namespace

TEST(Canvas, FillAndFrameLandOnTheirPixelsOpaqueAndNothingElse) {
    TWinDIB dib(9, 7);
    clear(dib);
    runtime::TCanvas& canvas = dib.Canvas();
    canvas.BrushColor = 0x0000FF; // red
    canvas.FillRect({1, 2, 5, 4});
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool inside = x >= 1 && x < 5 && y >= 2 && y < 4;
            EXPECT_EQ(pixelAt(dib, x, y), inside ? 0xFFFF0000u : kBackground) << x << "," << y;
        }
    clear(dib);
    canvas.BrushColor = 0x204060;
    canvas.FrameRect({2, 1, 8, 6});
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool inBox = x >= 2 && x < 8 && y >= 1 && y < 6;
            const bool border = inBox && (x == 2 || x == 7 || y == 1 || y == 5);
            EXPECT_EQ(pixelAt(dib, x, y), border ? opaque(0x204060) : kBackground) << x << "," << y;
        }
}

TEST(Canvas, LinesStopBeforeTheirEndAndMoveThePen) {
    TWinDIB dib(8, 6);
    clear(dib);
    runtime::TCanvas& canvas = dib.Canvas();
    canvas.PenColor = 0x00FF00;
    canvas.MoveTo(1, 1);
    canvas.LineTo(6, 1); // row 1, x 1..5
    canvas.LineTo(6, 5); // column 6, y 1..4
    EXPECT_EQ(canvas.PenX(), 6);
    EXPECT_EQ(canvas.PenY(), 5);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool drawn = (y == 1 && x >= 1 && x <= 5) || (x == 6 && y >= 1 && y <= 4);
            EXPECT_EQ(pixelAt(dib, x, y), drawn ? opaque(0x00FF00) : kBackground) << x << "," << y;
        }
}

TEST(Canvas, TextDrawsInsideItsExtentOnly) {
    TWinDIB dib(80, 40);
    runtime::TCanvas& canvas = dib.Canvas();
    canvas.Font.Height = 16;
    canvas.Font.Color = 0xFFFFFF;
    const int width = canvas.TextWidth("Hg8"), height = canvas.TextHeight("Hg8");
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    EXPECT_LT(canvas.TextWidth("H"), width);
    ASSERT_LT(width + 5, 80);
    ASSERT_LT(height + 7, 40);
    clear(dib);
    canvas.TextOut(5, 7, "Hg8");
    int drawn = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) {
            const std::uint32_t p = pixelAt(dib, x, y);
            const bool inBox = x >= 5 && x < 5 + width && y >= 7 && y < 7 + height;
            if (!inBox)
                EXPECT_EQ(p, kBackground) << x << "," << y;
            else if (p != kBackground) {
                EXPECT_EQ(p, opaque(0xFFFFFF)) << x << "," << y;
                ++drawn;
            }
        }
    EXPECT_GT(drawn, 10);
}

TEST(Canvas, EveryDrawingFiresChangedButPenMovesAndEmptySurfacesDoNot) {
    TWinDIB dib(4, 4);
    int changes = 0;
    dib.OnChange = [&](runtime::TPersistent*) { ++changes; };
    runtime::TCanvas& canvas = dib.Canvas();
    canvas.FillRect({0, 0, 2, 2});
    canvas.FrameRect({0, 0, 4, 4});
    canvas.MoveTo(0, 0);
    EXPECT_EQ(changes, 2);
    canvas.LineTo(3, 0);
    canvas.TextOut(0, 0, "x");
    EXPECT_EQ(changes, 4);

    TWinDIB empty;
    int emptyChanges = 0;
    empty.OnChange = [&](runtime::TPersistent*) { ++emptyChanges; };
    empty.Canvas().FillRect({0, 0, 10, 10});
    empty.Canvas().LineTo(5, 5);
    empty.Canvas().TextOut(0, 0, "x");
    EXPECT_EQ(emptyChanges, 0);
    EXPECT_GT(empty.Canvas().TextWidth("x"), 0);
}

TEST(Canvas, FarOffCoordinatesClipAtTheEdges) {
    TWinDIB dib(6, 5);
    clear(dib);
    runtime::TCanvas& canvas = dib.Canvas();
    canvas.BrushColor = 0x0000FF;
    canvas.FillRect({INT_MIN, INT_MIN, INT_MAX, 2}); // rows 0 and 1 entirely
    canvas.PenColor = 0xFF0000;
    canvas.MoveTo(INT_MIN, 3);
    canvas.LineTo(INT_MAX, 3); // row 3 entirely
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(pixelAt(dib, x, y), y < 2    ? opaque(0x0000FF)
                                          : y == 3 ? opaque(0xFF0000)
                                                   : kBackground)
                << x << "," << y;

    // Nothing of these lies on the surface.
    const std::vector<std::uint8_t> before(dib.Bits(), dib.Bits() + 6 * 5 * 4);
    canvas.FillRect({INT_MAX - 1, 0, INT_MAX, 5});
    canvas.FillRect({0, INT_MIN, 6, -1});
    canvas.FillRect({4, 4, 2, 2}); // inverted
    canvas.MoveTo(-100, -100);
    canvas.LineTo(-100, 100000);
    canvas.TextOut(INT_MAX - 3, 0, "abc");
    canvas.TextOut(0, INT_MIN, "abc");
    canvas.TextOut(-100000, 0, "abc");
    canvas.Font.Height = INT_MIN;
    canvas.TextOut(100, 100, "abc");
    EXPECT_EQ(std::vector<std::uint8_t>(dib.Bits(), dib.Bits() + 6 * 5 * 4), before);

    // A diagonal across the whole coordinate range crosses the surface near x == y.
    clear(dib);
    canvas.MoveTo(INT_MIN, INT_MIN);
    canvas.LineTo(INT_MAX, INT_MAX);
    int drawn = 0;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            if (pixelAt(dib, x, y) != kBackground) {
                EXPECT_LE(std::abs(x - y), 1) << x << "," << y;
                ++drawn;
            }
    EXPECT_GE(drawn, 4);
}

TEST(RegionHandle, AnswersPointQueriesLikeTheRectangleList) {
    // A checkerboard of alpha gives many runs: more than one batch for the system.
    TWinDIB dib(60, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            dib.RowPointer(y)[x * 4 + 3] = static_cast<std::uint8_t>(((x / 2 + y) % 2) * 255);
    const TDIBRegion region = dib.CreateAlphaRegion(128);
    ASSERT_GT(region.Rects.size(), 400u);
    TDIBRegionHandle handle(region);
    ASSERT_NE(handle.Handle(), nullptr);
    for (int y = -2; y < 42; ++y)
        for (int x = -2; x < 62; ++x)
            ASSERT_EQ(handle.Contains(x, y), region.Contains(x, y)) << x << "," << y;
    EXPECT_TRUE(handle.Contains(2, 0));
    EXPECT_FALSE(handle.Contains(0, 0));

    TDIBRegion overlapping;
    overlapping.Rects = {{0, 0, 5, 5}, {3, 3, 9, 4}, {-4, -4, -1, -1}};
    TDIBRegionHandle second(overlapping);
    for (int y = -6; y < 10; ++y)
        for (int x = -6; x < 10; ++x) {
            const bool expected = (x >= 0 && x < 5 && y >= 0 && y < 5) ||
                                  (x >= 3 && x < 9 && y == 3) ||
                                  (x >= -4 && x < -1 && y >= -4 && y < -1);
            EXPECT_EQ(second.Contains(x, y), expected) << x << "," << y;
        }

    TDIBRegionHandle none{TDIBRegion{}};
    EXPECT_NE(none.Handle(), nullptr);
    EXPECT_FALSE(none.Contains(0, 0));
}
