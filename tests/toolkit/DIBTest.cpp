#include "toolkit/cDIB.h"
#include "toolkit/cDIBCompressor.h"
#include "toolkit/cDIBKernels.h"

#include "runtime/Picture.h"
#include "runtime/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

using namespace toolkit;

namespace platform {
std::ostream& operator<<(std::ostream& os, const TRect& r) {
    return os << "(" << r.Left << "," << r.Top << ")-(" << r.Right << "," << r.Bottom << ")";
}
} // namespace platform
namespace toolkit {
std::ostream& operator<<(std::ostream& os, const TDIBSize& s) {
    return os << s.Width << " x " << s.Height;
}
} // namespace toolkit

namespace {

struct Px {
    int b, g, r, a;
    bool operator==(const Px&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Px& p) {
    return os << "(" << p.b << "," << p.g << "," << p.r << "," << p.a << ")";
}

Px at(const TAbstractSuperDIB& d, int x, int y) {
    const std::uint8_t* p = d.RowPointer(y) + x * 4;
    return {p[0], p[1], p[2], p[3]};
}
void put(TAbstractSuperDIB& d, int x, int y, Px v) {
    std::uint8_t* p = d.RowPointer(y) + x * 4;
    p[0] = std::uint8_t(v.b), p[1] = std::uint8_t(v.g), p[2] = std::uint8_t(v.r),
    p[3] = std::uint8_t(v.a);
}
void fillAll(TAbstractSuperDIB& d, Px v) {
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width(); ++x)
            put(d, x, y, v);
}

// One pixel of `src` drawn onto one pixel of `dst` with src's current properties.
Px drawOne(TMemoryDIB& src, Px s, Px d) {
    TMemoryDIB dest(1, 1);
    put(src, 0, 0, s);
    put(dest, 0, 0, d);
    src.Draw(0, 0, 1, 1, dest);
    return at(dest, 0, 0);
}

} // namespace

TEST(DIBKernels, MaskedBlendsWithSourceAlphaAsWorkedInTheDesign) {
    TMemoryDIB src(1, 1);
    src.SetMasked(true);
    EXPECT_EQ(drawOne(src, {200, 200, 200, 128}, {100, 100, 100, 0}), (Px{150, 150, 150, 128}));
    EXPECT_EQ(drawOne(src, {255, 255, 255, 255}, {255, 255, 255, 7}), (Px{255, 255, 255, 255}));
    for (int dc = 0; dc < 256; ++dc)
        ASSERT_EQ(drawOne(src, {9, 9, 9, 0}, {dc, dc, dc, 40}), (Px{dc, dc, dc, 40})) << dc;
}

TEST(DIBKernels, EveryBlendingKernelMatchesTheByteFormulaForAllAlphas) {
    // Reference: dc = (o * sc + (o xor 255) * dc + 255) >> 8, one byte at a time.
    auto ref = [](unsigned o, unsigned s, unsigned d) {
        return int((o * s + (o ^ 255) * d + 255) >> 8);
    };
    TMemoryDIB masked(1, 1), opacity(1, 1);
    masked.SetMasked(true);
    for (int a = 0; a < 256; ++a) {
        opacity.SetOpacity(std::uint8_t(a));
        for (int sc = 0; sc < 256; sc += 15)
            for (int dc = 0; dc < 256; dc += 17) {
                const Px s{sc, 255 - sc, sc / 2, a}, d{dc, dc / 3, 255 - dc, 77};
                const Px m = drawOne(masked, s, d);
                ASSERT_EQ(
                    m, (Px{ref(a, s.b, d.b), ref(a, s.g, d.g), ref(a, s.r, d.r), std::max(a, 77)}));
                const Px o = drawOne(opacity, s, d);
                ASSERT_EQ(
                    o, (Px{ref(a, s.b, d.b), ref(a, s.g, d.g), ref(a, s.r, d.r), std::max(a, 77)}));
            }
    }
}

// Whole rows whose alphas mix runs of 255, runs of 0 and everything between, in and out of step
// with groups of four pixels; and a row drawn onto itself one pixel to the right, where each
// pixel must see the one written just before it.
TEST(DIBKernels, MaskedRowsOfMixedAlphaBlendPixelByPixel) {
    auto ref = [](unsigned o, unsigned s, unsigned d) {
        return int((o * s + (o ^ 255) * d + 255) >> 8);
    };
    auto blend = [&](Px s, Px d) {
        return Px{ref(s.a, s.b, d.b), ref(s.a, s.g, d.g), ref(s.a, s.r, d.r), std::max(s.a, d.a)};
    };
    constexpr int n = 37;
    const int alphas[] = {255, 255, 255, 255, 255, 255, 255, 0,   0,  0,   0,   0,   255,
                          255, 255, 255, 128, 255, 255, 255, 255, 1,  254, 255, 255, 255,
                          255, 255, 255, 255, 255, 255, 0,   255, 77, 255, 255};
    TMemoryDIB src(n, 1), dest(n, 1);
    src.SetMasked(true);
    std::vector<Px> expected;
    for (int x = 0; x < n; ++x) {
        const Px s{x * 7 % 256, 255 - x, x * 3, alphas[x]}, d{x, x * 5 % 256, 200 - x, x % 9};
        put(src, x, 0, s);
        put(dest, x, 0, d);
        expected.push_back(blend(s, d));
    }
    src.Draw(0, 0, n, 1, dest);
    for (int x = 0; x < n; ++x)
        EXPECT_EQ(at(dest, x, 0), expected[std::size_t(x)]) << x;

    std::vector<Px> row;
    for (int x = 0; x < n; ++x)
        row.push_back(at(src, x, 0));
    for (int x = 1; x < n; ++x)
        row[std::size_t(x)] = blend(row[std::size_t(x - 1)], row[std::size_t(x)]);
    src.Draw(1, 0, n - 1, 1, src);
    for (int x = 0; x < n; ++x)
        EXPECT_EQ(at(src, x, 0), row[std::size_t(x)]) << "onto itself, " << x;
}

TEST(DIBKernels, MaskedOpacityScalesAlphaButRaisesDestinationAlphaToTheUnscaledOne) {
    TMemoryDIB src(1, 1);
    src.SetMasked(true);
    src.SetOpacity(128);
    // a = (200 * 128) >> 8 = 100; c = (250 * 100 + 50 * 155 + 255) >> 8 = 128
    EXPECT_EQ(drawOne(src, {250, 250, 250, 200}, {50, 50, 50, 10}), (Px{128, 128, 128, 200}));
}

TEST(DIBKernels, OpacityZeroKeepsColoursButRaisesAlpha) {
    TMemoryDIB src(1, 1);
    src.SetOpacity(0);
    for (int dc = 0; dc < 256; dc += 5)
        ASSERT_EQ(drawOne(src, {255, 0, 128, 90}, {dc, dc, dc, 30}), (Px{dc, dc, dc, 90}));
    src.SetOpacity(128);
    // (128 * 200 + 127 * 100 + 255) >> 8 = 150
    EXPECT_EQ(drawOne(src, {200, 200, 200, 3}, {100, 100, 100, 9}), (Px{150, 150, 150, 9}));
}

TEST(DIBKernels, KeyedCopiesColoursWithAlphaZeroAndSkipsTheKey) {
    TMemoryDIB src(1, 1);
    src.SetTransparentMode(tmFixed);
    src.SetTransparentColor(0x0000FF); // red
    src.SetTransparent(true);
    EXPECT_EQ(drawOne(src, {1, 2, 3, 200}, {9, 9, 9, 99}), (Px{1, 2, 3, 0}));
    EXPECT_EQ(drawOne(src, {0, 0, 255, 200}, {9, 9, 9, 99}), (Px{9, 9, 9, 99}));
    src.SetOpacity(128);
    EXPECT_EQ(drawOne(src, {200, 200, 200, 77}, {100, 100, 100, 99}), (Px{150, 150, 150, 77}));
    EXPECT_EQ(drawOne(src, {0, 0, 255, 200}, {9, 9, 9, 99}), (Px{9, 9, 9, 99}));
}

TEST(DIBKernels, AlphaChannelAndMaskImageTouchOnlyWhatTheySay) {
    TMemoryDIB src(1, 1), dest(1, 1);
    put(src, 0, 0, {1, 2, 3, 44});
    put(dest, 0, 0, {9, 8, 7, 6});
    src.DrawAlphaChannel(0, 0, 1, 1, dest);
    EXPECT_EQ(at(dest, 0, 0), (Px{9, 8, 7, 44}));
    src.DrawMaskImage(0, 0, 1, 1, dest);
    EXPECT_EQ(at(dest, 0, 0), (Px{44, 44, 44, 44}));
}

TEST(DIBKernels, TheRoutineFollowsEveryPropertyChange) {
    using R = TAbstractSuperDIB::TDrawRoutine;
    TMemoryDIB d(1, 1);
    EXPECT_EQ(d.DrawRoutine(), R::Copy);
    d.SetTransparent(true);
    EXPECT_EQ(d.DrawRoutine(), R::Keyed);
    d.SetMasked(true);
    EXPECT_FALSE(d.Transparent());
    EXPECT_EQ(d.DrawRoutine(), R::Masked);
    d.SetOpacity(10);
    EXPECT_EQ(d.DrawRoutine(), R::MaskedOpacity);
    d.SetTransparent(true);
    EXPECT_FALSE(d.Masked());
    EXPECT_EQ(d.DrawRoutine(), R::KeyedOpacity);
    d.SetTransparent(false);
    EXPECT_EQ(d.DrawRoutine(), R::Opacity);
}

TEST(DIBProperties, ChangedFiresOnlyForRealChangesAndOnceAfterNestedUpdates) {
    TMemoryDIB d(2, 2);
    int changes = 0;
    d.OnChange = [&](runtime::TPersistent*) { ++changes; };
    d.SetOpacity(255);
    d.SetScale(100);
    d.SetAngle(360);
    EXPECT_EQ(changes, 0);
    d.BeginUpdate();
    d.BeginUpdate();
    d.SetOpacity(3);
    d.SetMasked(true);
    d.EndUpdate();
    EXPECT_EQ(changes, 0);
    d.EndUpdate();
    EXPECT_EQ(changes, 1);
    try {
        d.EndUpdate();
        FAIL();
    } catch (const EDIBError& e) {
        EXPECT_STREQ(e.what(), "EndUpdate without BeginUpdate");
    }
}

TEST(DIBProperties, AngleIsKeptInZeroTo360EvenForHugeOrInvalidValues) {
    TMemoryDIB d(1, 1);
    d.SetAngle(-30);
    EXPECT_EQ(d.Angle(), 330);
    d.SetAngle(725);
    EXPECT_EQ(d.Angle(), 5);
    d.SetAngle(1e300L);
    EXPECT_GE(d.Angle(), 0);
    EXPECT_LT(d.Angle(), 360);
    d.SetAngle(std::numeric_limits<long double>::quiet_NaN());
    EXPECT_EQ(d.Angle(), 0);
}

TEST(DIBSize, ZeroAndNegativeSidesBecomeOneAndOversizeIsRefused) {
    TMemoryDIB d;
    EXPECT_FALSE(d.HasPixels());
    d.SetSize(0, 5);
    EXPECT_EQ(d.Width(), 1);
    EXPECT_EQ(d.Height(), 5);
    EXPECT_TRUE(d.HasPixels());
    d.SetSize(-7, INT_MIN);
    EXPECT_EQ(d.Width(), 1);
    EXPECT_EQ(d.Height(), 1);
    EXPECT_THROW(d.SetSize(65536, 1), EDIBError);
    EXPECT_THROW(d.SetSize(INT_MAX, INT_MAX), EDIBError);
}

TEST(DIBSize, ClipRectFollowsAFullSurfaceAndIsClampedOtherwise) {
    TMemoryDIB d(10, 10);
    EXPECT_EQ(d.ClipRect(), (TRect{0, 0, 9, 9}));
    d.SetSize(20, 5);
    EXPECT_EQ(d.ClipRect(), (TRect{0, 0, 19, 4}));
    d.SetClipRect({15, 9, 2, -3});
    EXPECT_EQ(d.ClipRect(), (TRect{2, 0, 15, 4}));
    d.SetSize(8, 8);
    EXPECT_EQ(d.ClipRect(), (TRect{2, 0, 7, 4}));
}

TEST(DIBDraw, NegativeDestinationShowsOnlyThePartInside) {
    TMemoryDIB src(4, 4), dest(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            put(src, x, y, {x, y, 0, 255});
    fillAll(dest, {99, 99, 99, 0});
    src.Draw(-2, -1, 4, 4, dest);
    EXPECT_EQ(at(dest, 0, 0), (Px{2, 1, 0, 255}));
    EXPECT_EQ(at(dest, 1, 2), (Px{3, 3, 0, 255}));
    EXPECT_EQ(at(dest, 2, 0), (Px{99, 99, 99, 0}));
    EXPECT_EQ(at(dest, 0, 3), (Px{99, 99, 99, 0}));
}

TEST(DIBDraw, ClipRectLimitsDrawingAndEmptyDrawsDoNotFireChanged) {
    TMemoryDIB src(4, 4), dest(4, 4);
    fillAll(src, {1, 1, 1, 1});
    fillAll(dest, {0, 0, 0, 0});
    dest.SetClipRect({1, 1, 2, 2});
    int changes = 0;
    dest.OnChange = [&](runtime::TPersistent*) { ++changes; };
    src.Draw(0, 0, 4, 4, dest);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(at(dest, 0, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(at(dest, 1, 1), (Px{1, 1, 1, 1}));
    EXPECT_EQ(at(dest, 2, 2), (Px{1, 1, 1, 1}));
    EXPECT_EQ(at(dest, 3, 2), (Px{0, 0, 0, 0}));
    src.Draw(3, 3, 4, 4, dest);
    src.Draw(0, 0, 0, 4, dest);
    EXPECT_EQ(changes, 1);
}

TEST(DIBDraw, ExtremeArgumentsNeverTouchMemoryOutsideTheBuffers) {
    TMemoryDIB src(5, 3), dest(4, 6);
    fillAll(src, {7, 7, 7, 7});
    const int v[] = {INT_MIN, INT_MIN + 1, -70000, -5, -1, 0, 1, 3, 5, 70000, INT_MAX - 1, INT_MAX};
    int drawn = 0;
    for (int a : v)
        for (int b : v) {
            src.Draw(a, b, b, a, dest, a, b);
            src.Draw(b, a, INT_MAX, INT_MAX, dest, ~a, 0);
            src.DrawRaw(a, 0, a, b, dest, 0, a);
            src.DrawAlphaChannel(0, a, b, 4, dest, b, 0);
            src.DrawMaskImage(a, b, 2, 2, dest, b, a);
            dest.FillRect(0xFF, a, b, a, b);
            src.DrawGlyph(a, b, dest, a, b);
            src.DrawGlyph(a, b, dest, 1, 0);
            ++drawn;
        }
    EXPECT_EQ(drawn, 144); // the run itself is the test: ASan reports any stray access
    src.Draw(-3, -1, INT_MAX, INT_MAX, dest, 1, 0);
    EXPECT_EQ(at(dest, 0, 0), (Px{7, 7, 7, 7}));
}

TEST(DIBDraw, GlyphStripOf27FramesUses491PixelFramesAndFrame26StartsAt12766) {
    TMemoryDIB strip(13257, 2), dest(491, 2);
    for (int x = 0; x < 13257; ++x) {
        put(strip, x, 0, {x & 255, x >> 8, 0, 255});
        put(strip, x, 1, {x & 255, x >> 8, 1, 255});
    }
    fillAll(dest, {0, 0, 0, 0});
    strip.DrawGlyph(0, 0, dest, 27, 26);
    EXPECT_EQ(at(dest, 0, 0), (Px{12766 & 255, 12766 >> 8, 0, 255}));
    EXPECT_EQ(at(dest, 490, 1), (Px{13256 & 255, 13256 >> 8, 1, 255}));
    strip.DrawGlyph(0, 0, dest, 27, 13);
    EXPECT_EQ(at(dest, 0, 0), (Px{(13 * 491) & 255, (13 * 491) >> 8, 0, 255}));
}

TEST(DIBDraw, GlyphTweenShowsTheLowerFrameAtWholePositionsAndFadesBetween) {
    TMemoryDIB strip(3, 1), dest(1, 1);
    put(strip, 0, 0, {0, 0, 0, 255});
    put(strip, 1, 0, {100, 100, 100, 255});
    put(strip, 2, 0, {200, 200, 200, 255});
    strip.DrawGlyphTween(0, 0, false, 1, 3, 0, dest, 3); // f = 1
    EXPECT_EQ(at(dest, 0, 0), (Px{100, 100, 100, 255}));
    strip.DrawGlyphTween(0, 0, false, 1.5, 3, 0, dest, 3);
    // f = 1.5: lower 1 over upper 2 with opacity 255 - round(127.5) = 127:
    // (127 * 100 + 128 * 200 + 255) >> 8 = 150
    EXPECT_EQ(at(dest, 0, 0), (Px{150, 150, 150, 255}));
    strip.DrawGlyphTween(0, 0, true, 2.5, 3, 0, dest, 3); // upper 3 wraps to frame 0
    EXPECT_EQ(at(dest, 0, 0), (Px{(127 * 200 + 128 * 0 + 255) >> 8, (127 * 200 + 255) >> 8,
                                  (127 * 200 + 255) >> 8, 255}));
    strip.DrawGlyphTween(0, 0, false, 1, 1, 1, dest, 3); // empty range: frame 0, no crash
    EXPECT_EQ(at(dest, 0, 0), (Px{0, 0, 0, 255}));
}

TEST(DIBTransform, StretchPicksSourcePixelsBySixteenBitSteps) {
    TMemoryDIB src(3, 1), dest(7, 1);
    for (int x = 0; x < 3; ++x)
        put(src, x, 0, {x, 0, 0, 255});
    dest.StretchFrom(src);
    // step = floor(3 * 65536 / 7) = 28086: pixels 0,0,0,1,1,2,2
    const int expected[] = {0, 0, 0, 1, 1, 2, 2};
    for (int k = 0; k < 7; ++k)
        EXPECT_EQ(at(dest, k, 0).b, expected[k]) << k;
}

TEST(DIBTransform, ScaledDrawWithAutoSizeDoublesEachPixel) {
    TMemoryDIB src(2, 2), dest(5, 5);
    put(src, 0, 0, {10, 0, 0, 255});
    put(src, 1, 0, {20, 0, 0, 255});
    put(src, 0, 1, {30, 0, 0, 255});
    put(src, 1, 1, {40, 0, 0, 255});
    fillAll(dest, {0, 0, 0, 0});
    src.SetScale(200);
    src.SetAutoSize(true);
    src.Draw(0, 0, 2, 2, dest);
    EXPECT_EQ(at(dest, 1, 1).b, 10);
    EXPECT_EQ(at(dest, 2, 0).b, 20);
    EXPECT_EQ(at(dest, 3, 3).b, 40);
    EXPECT_EQ(at(dest, 4, 4).b, 0);
}

TEST(DIBTransform, TablesHoldTheCeilingOfTheExactValues) {
    const TTrigTables& t = TrigTables();
    ASSERT_EQ(t.Sine.size(), 360000u);
    EXPECT_EQ(t.Sine[0], 0);
    EXPECT_EQ(t.Sine[30000], 32768);
    EXPECT_EQ(t.Sine[90000], 65536);
    EXPECT_EQ(t.Sine[180000], 0);
    EXPECT_EQ(t.Sine[1], 2);       // sin(0.001 deg) * 65536 = 1.14
    EXPECT_EQ(t.Sine[359999], -1); // -1.14 rounds up to -1
    EXPECT_EQ(t.Cosine[0], 65536);
    EXPECT_EQ(t.Cosine[90000], 0);
    EXPECT_EQ(t.SinePlus90[180000], -65536);
    EXPECT_EQ(t.CosinePlus90[0], 0);
    EXPECT_EQ(t.CosinePlus90[90000], -65536);
    EXPECT_EQ(t.CosinePlus90[1], -1); // -sin(0.001 deg) * 65536 = -1.14
    const long double pi = 3.14159265358979323846264338327950288L;
    for (int i = 1; i < 360000; i += 997) {
        const long double x = i * pi / 180000;
        ASSERT_EQ(t.Sine[i], std::ceil(std::sin(x) * 65536)) << i;
        ASSERT_EQ(t.Cosine[i], std::ceil(std::cos(x) * 65536)) << i;
        ASSERT_EQ(t.SinePlus90[i], std::ceil(std::sin(x + pi / 2) * 65536)) << i;
        ASSERT_EQ(t.CosinePlus90[i], std::ceil(std::cos(x + pi / 2) * 65536)) << i;
    }
}

TEST(DIBTransform, TablesAreBuiltOnceWhenTwoThreadsAskTogether) {
    const TTrigTables* seen[2] = {};
    std::thread a([&] { seen[0] = &TrigTables(); });
    std::thread b([&] { seen[1] = &TrigTables(); });
    a.join();
    b.join();
    EXPECT_EQ(seen[0], seen[1]);
}

TEST(DIBTransform, RotationBy180TurnsThePictureAroundItsCentre) {
    // angle 180: a = 0, b = -65536, c = -65536, d = 0, so target (x, y) reads source row 4 - y,
    // column 4 - x, inside -2 < u, v < 2; row and column 0 get the fill.
    TMemoryDIB src(4, 4), target(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            src.Bits()[(y * 4 + x) * 4] = std::uint8_t(10 * y + x);
    src.SetAngle(180);
    src.RenderRotated(target);
    const auto buf = [&](int x, int y) { return int(target.Bits()[(y * 4 + x) * 4]); };
    EXPECT_EQ(buf(1, 1), 33);
    EXPECT_EQ(buf(3, 1), 31);
    EXPECT_EQ(buf(2, 3), 12);
    EXPECT_EQ(buf(0, 2), 0);
    EXPECT_EQ(target.Bits()[3], 0); // fill alpha
}

TEST(DIBTransform, RotatedDrawWithAutoSizeDrawsTheTurnedBoundingBox) {
    // 4 x 2 turned by 90 degrees: the box is 2 x 4. Steps a = 65536, b = 0, c = 0, d = -65536;
    // with cx = 1, cy = 2 only temporary column 1, buffer rows 1..3 fall strictly inside the
    // source and read source buffer row 1, columns 3, 2, 1; the rest is the key with alpha 0.
    TMemoryDIB src(4, 2), dest(10, 10);
    for (int i = 0; i < 8; ++i) {
        std::uint8_t* p = src.Bits() + i * 4;
        p[0] = std::uint8_t(i + 1), p[1] = 0, p[2] = 0, p[3] = 255;
    }
    fillAll(dest, {99, 99, 99, 99});
    src.SetTransparentColor(0x000005); // stored key: red 5; tmAuto would read the first pixel
    src.SetAngle(90);
    src.SetAutoSize(true);
    src.Draw(0, 0, 4, 2, dest);
    const auto buf = [&](int x, int row) {
        const std::uint8_t* p = dest.Bits() + (row * 10 + x) * 4;
        return Px{p[0], p[1], p[2], p[3]};
    };
    // The temporary's buffer row j lands on the destination's buffer row 6 + j.
    EXPECT_EQ(buf(1, 7), (Px{4 + 4, 0, 0, 255}));
    EXPECT_EQ(buf(1, 8), (Px{4 + 3, 0, 0, 255}));
    EXPECT_EQ(buf(1, 9), (Px{4 + 2, 0, 0, 255}));
    EXPECT_EQ(buf(0, 7), (Px{0, 0, 5, 0})); // fill: the source's stored key, alpha 0
    EXPECT_EQ(buf(1, 6), (Px{0, 0, 5, 0}));
    EXPECT_EQ(buf(2, 7), (Px{99, 99, 99, 99})); // outside the 2 x 4 box
    EXPECT_EQ(buf(0, 5), (Px{99, 99, 99, 99}));
}

namespace {

// The rectangle of `dest` pixels that differ from `background`, as (left, top, width, height);
// a transformed draw with the copy kernel changes exactly its temporary's pixels.
TRect changedArea(const TAbstractSuperDIB& dest, Px background) {
    TRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < dest.Height(); ++y)
        for (int x = 0; x < dest.Width(); ++x)
            if (at(dest, x, y) != background) {
                box.Left = std::min(box.Left, x);
                box.Top = std::min(box.Top, y);
                box.Right = std::max(box.Right, x + 1);
                box.Bottom = std::max(box.Bottom, y + 1);
            }
    return box;
}

// Draws a `sw` x `sh` surface of one colour requested as `w` x `h` at (2, 3) with AutoSize and
// answers the area the temporary covered.
TRect autoSizedDraw(int sw, int sh, int w, int h, long double scale, long double angle) {
    const Px background{99, 99, 99, 99};
    TMemoryDIB src(sw, sh), dest(200, 200);
    fillAll(src, {10, 20, 30, 255});
    fillAll(dest, background);
    src.SetScale(scale);
    src.SetAngle(angle);
    src.SetAutoSize(true);
    src.Draw(2, 3, w, h, dest);
    return changedArea(dest, background);
}

} // namespace

TEST(DIBTransform, AutoSizeScalesByTheProductBeforeDividingByAHundred) {
    // 50 x 30 / 100 = 15 and 50 x 120 / 100 = 60 exactly; 0.3 and 1.2 are not binary fractions.
    EXPECT_EQ(autoSizedDraw(50, 50, 50, 50, 30, 0), (TRect{2, 3, 2 + 15, 3 + 15}));
    EXPECT_EQ(autoSizedDraw(50, 50, 50, 50, 120, 0), (TRect{2, 3, 2 + 60, 3 + 60}));
    // Turned by 45 degrees: 15 x cos 45 + 15 x sin 45 = 21.2, ceil 22, already even.
    EXPECT_EQ(autoSizedDraw(50, 50, 50, 50, 30, 45), (TRect{2, 3, 2 + 22, 3 + 22}));
    EXPECT_EQ(BoundingSize(50, 50, 30, 30, 0), (TDIBSize{14, 14}));
    EXPECT_EQ(BoundingSize(50, 70, 30, 30, 90), (TDIBSize{20, 14}));
}

TEST(DIBTransform, QuarterAndHalfTurnsSwapOrKeepTheSidesExactly) {
    // The box of 13 x 9 turned half way is 13 x 9, rounded down to even: 12 x 8.
    EXPECT_EQ(autoSizedDraw(13, 9, 13, 9, 100, 180), (TRect{2, 3, 2 + 12, 3 + 8}));
    // 7 x 5 a three-quarter turn: 5 x 7, even 4 x 6.
    EXPECT_EQ(autoSizedDraw(7, 5, 7, 5, 100, 270), (TRect{2, 3, 2 + 4, 3 + 6}));
    // A 1 x 3 request a quarter turn: 3 x 1, even 2 x 0, and the surface makes 0 into 1.
    EXPECT_EQ(autoSizedDraw(4, 4, 1, 3, 100, 90), (TRect{2, 3, 2 + 2, 3 + 1}));
    for (long double angle : {90.0L, 180.0L, 270.0L}) {
        const bool swapped = angle != 180;
        EXPECT_EQ(BoundingSize(40, 60, 250, 250, angle),
                  swapped ? (TDIBSize{150, 100}) : (TDIBSize{100, 150}))
            << double(angle);
    }
    // An image control's box without a turn: 47 x 59 gives 46 x 58.
    EXPECT_EQ(BoundingSize(47, 59, 100, 100, 0), (TDIBSize{46, 58}));
}

TEST(DIBTransform, AZeroWidthOrHeightOnTheTransformPathDrawsOneColumnOrRow) {
    // Stretching 7 x 5 into the 1 x 5 temporary takes source column 0 of every row; at 7 x 1
    // it takes buffer row 0, the bottom row of the picture.
    const Px background{99, 99, 99, 99};
    TMemoryDIB src(7, 5), dest(12, 12);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            put(src, x, y, {10 * y + x, 1, 2, 255});
    src.SetScale(50);
    fillAll(dest, background);
    src.Draw(3, 2, 0, 5, dest);
    EXPECT_EQ(changedArea(dest, background), (TRect{3, 2, 4, 7}));
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(at(dest, 3, 2 + y), at(src, 0, y)) << y;
    fillAll(dest, background);
    src.Draw(3, 2, 7, 0, dest);
    EXPECT_EQ(changedArea(dest, background), (TRect{3, 2, 10, 3}));
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(at(dest, 3 + x, 2), at(src, x, 4)) << x;
    // A negative size still draws nothing; a huge one is cut to the largest surface.
    fillAll(dest, background);
    src.Draw(3, 2, -1, 5, dest);
    EXPECT_EQ(changedArea(dest, background), (TRect{INT_MAX, INT_MAX, INT_MIN, INT_MIN}));
    EXPECT_NO_THROW(src.Draw(3, 2, INT_MAX, 1, dest));
    EXPECT_EQ(changedArea(dest, background), (TRect{3, 2, 12, 3}));
}

TEST(DIBTransform, RotatedDrawOfAHugeOrTinyScaleStaysInsideTheBuffers) {
    TMemoryDIB src(8, 8), dest(16, 16);
    fillAll(src, {5, 5, 5, 255});
    src.SetAngle(33.3L);
    for (long double s : {1e-30L, 0.0001L, 0.0L, -50.0L, 1e6L}) {
        src.SetScale(s);
        src.SetAutoSize(s < 1000);
        src.Draw(-3, -3, 12, 12, dest);
    }
    SUCCEED(); // ASan reports stray accesses
}

TEST(DIBFillAndAlpha, FillGivesColourWithAlphaZeroAndFillRectClips) {
    TMemoryDIB d(3, 3);
    d.Fill(0x332211); // framework colour: red 0x11
    EXPECT_EQ(at(d, 2, 2), (Px{0x33, 0x22, 0x11, 0}));
    d.FillRect(0x0000FF, -5, 1, 7, INT_MAX);
    EXPECT_EQ(at(d, 0, 0), (Px{0x33, 0x22, 0x11, 0}));
    EXPECT_EQ(at(d, 1, 2), (Px{0, 0, 0xFF, 0}));
    EXPECT_EQ(at(d, 2, 1), (Px{0x33, 0x22, 0x11, 0}));
    d.SetAlpha(200);
    EXPECT_EQ(at(d, 2, 1).a, 200);
}

TEST(DIBTransparentColor, AutoModeReadsTheBottomLeftPixel) {
    TMemoryDIB d(3, 2);
    fillAll(d, {0, 0, 0, 255});
    put(d, 0, 1, {0x45, 0x44, 0x3C, 255}); // bottom-left: the first pixel of the buffer
    EXPECT_EQ(d.TransparentColor(), 4539452u);
    d.SetTransparentMode(tmFixed);
    d.SetTransparentColor(clBlack);
    EXPECT_EQ(d.TransparentColor(), clBlack);
}

TEST(DIBAssign, AssignCopiesPixelsPropertiesAndFileNames) {
    TMemoryDIB a(2, 3), b;
    fillAll(a, {1, 2, 3, 4});
    a.SetOpacity(77);
    a.SetMasked(true);
    a.ImageFilename = "x.bmp";
    b.Assign(&a);
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Height(), 3);
    EXPECT_EQ(at(b, 1, 2), (Px{1, 2, 3, 4}));
    EXPECT_EQ(b.Opacity(), 77);
    EXPECT_TRUE(b.Masked());
    EXPECT_EQ(b.ImageFilename, "x.bmp");
    runtime::TComponent component(nullptr);
    try {
        a.CopyPropertiesTo(&component);
        FAIL();
    } catch (const EDIBError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TAbstractDIB to a TComponent");
    }
}

TEST(DIBShare, ABorrowerSeesTheLendersPixelsAndLosesThemWhenTheLenderGoes) {
    TMemoryDIB borrower(1, 1);
    {
        TMemoryDIB lender(3, 2);
        fillAll(lender, {9, 9, 9, 9});
        lender.SetOpacity(50);
        borrower.ShareFrom(lender);
        EXPECT_EQ(borrower.Width(), 3);
        EXPECT_EQ(borrower.Opacity(), 50);
        put(lender, 2, 1, {1, 2, 3, 4});
        EXPECT_EQ(at(borrower, 2, 1), (Px{1, 2, 3, 4}));
        lender.SetSize(9, 9); // the borrowed buffer is gone
        EXPECT_FALSE(borrower.HasPixels());
        borrower.ShareFrom(lender);
        EXPECT_TRUE(borrower.HasPixels());
    }
    EXPECT_FALSE(borrower.HasPixels());
    {
        // Borrowing from two lenders of different sizes in turn, then both going away.
        TMemoryDIB small(1, 1), large(4, 4);
        borrower.ShareFrom(small);
        borrower.ShareFrom(large);
        EXPECT_EQ(borrower.Width(), 4);
    }
    EXPECT_FALSE(borrower.HasPixels());
    TMemoryDIB dest(2, 2);
    borrower.Draw(0, 0, 9, 9, dest); // nothing to draw, nothing touched
}

TEST(DIBFilter, IdentityKeepsTheInteriorAndClearsTheEdges) {
    TMemoryDIB d(4, 3);
    fillAll(d, {10, 20, 30, 40});
    TDIBFilter f;
    f.Weights[4] = 1;
    d.ApplyFilter(f);
    EXPECT_EQ(at(d, 1, 1), (Px{10, 20, 30, 40}));
    EXPECT_EQ(at(d, 2, 1), (Px{10, 20, 30, 40}));
    EXPECT_EQ(at(d, 0, 1), (Px{0, 0, 0, 0}));
    EXPECT_EQ(at(d, 3, 2), (Px{0, 0, 0, 0}));
}

TEST(DIBFilter, SumsWrapInSixteenBitsAndBiasAndDivisorApply) {
    TMemoryDIB d(3, 3);
    fillAll(d, {255, 10, 1, 255});
    TDIBFilter f;
    f.Weights[4] = 200; // blue: 200 * 255 = 51000 wraps to -14536, clamped to 0
    f.GreenBias = 5;    // green: 200 * 10 + 5 = 2005, / 4 = 501, clamped to 255
    f.RedBias = -3;     // red: 200 - 3 = 197, / 4 = 49
    f.Divisor = 4;
    d.ApplyFilter(f);
    EXPECT_EQ(at(d, 1, 1), (Px{0, 255, 49, 255}));
    TMemoryDIB small(2, 2);
    fillAll(small, {1, 1, 1, 1});
    small.ApplyFilter(f);
    EXPECT_EQ(at(small, 0, 0), (Px{1, 1, 1, 1}));
}

TEST(DIBRegion, AlphaAndColourRegionsAreRunsOfOneRow) {
    TMemoryDIB d(5, 2);
    fillAll(d, {0, 0, 0, 0});
    put(d, 1, 0, {0, 0, 0, 200});
    put(d, 2, 0, {0, 0, 0, 129});
    put(d, 4, 1, {0, 0, 9, 255});
    const TDIBRegion alpha = d.CreateAlphaRegion(128);
    ASSERT_EQ(alpha.Rects.size(), 2u);
    EXPECT_TRUE(alpha.Contains(1, 0));
    EXPECT_TRUE(alpha.Contains(2, 0));
    EXPECT_FALSE(alpha.Contains(3, 0));
    EXPECT_TRUE(alpha.Contains(4, 1));
    EXPECT_FALSE(alpha.Contains(1, 1));
    EXPECT_TRUE(d.CreateAlphaRegion(255).Empty());
    const TDIBRegion colour = d.CreateColorRegion(clBlack);
    ASSERT_EQ(colour.Rects.size(), 1u);
    EXPECT_TRUE(colour.Contains(4, 1));
}

TEST(DIB8Bit, LookupIndexAndBothErrors) {
    TMemoryDIB d(2, 1);
    put(d, 0, 0, {8, 4, 255, 0});
    put(d, 1, 0, {0, 0, 0, 0});
    TDIBPalette palette;
    EXPECT_THROW(d.ConvertTo8Bit(palette, 0, 0, 2, 1), EDIBError);
    palette.Lookup.assign(262144, 0);
    palette.Lookup[8 / 4 + (4 / 4) * 64 + (255 / 4) * 4096] = 42;
    palette.Lookup[0] = 7;
    const auto indices = d.ConvertTo8Bit(palette, 0, 0, 2, 1);
    EXPECT_EQ(indices, (std::vector<std::uint8_t>{42, 7}));
    try {
        d.Render8Bit(nullptr, 0, 0, palette, 0, 0, 2, 1);
        FAIL();
    } catch (const EDIBError& e) {
        EXPECT_STREQ(e.what(), "Render8Bit can only be used to blit to an 8 bit DC");
    }
    try {
        d.Render8Bit(nullptr, 0, 0, TDIBPalette{}, 0, 0, 2, 1);
        FAIL();
    } catch (const EDIBError& e) {
        EXPECT_STREQ(e.what(),
                     "Render8Bit can only be used with a palette containing a lookup table");
    }
}

namespace {

std::string writeBitmap(const std::string& name, int w, int h, int bits,
                        std::uint8_t (*value)(int x, int y, int c)) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    runtime::TPicture pic;
    pic.Width = w;
    pic.Height = h;
    pic.Pixels.resize(std::size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                pic.Pixels[(y * w + x) * 4 + c] = value(x, y, c);
    runtime::TFileStream file(path, runtime::TFileMode::fmCreate);
    runtime::SaveBitmap32(pic, file);
    (void)bits;
    return path;
}

} // namespace

TEST(DIBImport, A32BitPictureTurnsMaskingOnAndAMaskBecomesAlpha) {
    const auto image = writeBitmap("surfaces_img.bmp", 2, 2, 32, [](int x, int y, int c) {
        return std::uint8_t(c == 3 ? 99 : x + y * 2);
    });
    const auto mask = writeBitmap("surfaces_mask.bmp", 1, 1, 32,
                                  [](int, int, int c) { return std::uint8_t(c == 0 ? 180 : 0); });
    TMemoryDIB d;
    try {
        d.ImportMask(mask);
        FAIL();
    } catch (const EDIBError& e) {
        EXPECT_STREQ(e.what(), "You cannot import a mask until you have an image.");
    }
    d.ImportPicture(image);
    EXPECT_EQ(d.Width(), 2);
    EXPECT_TRUE(d.Masked());
    EXPECT_EQ(d.ImageFilename, image);
    EXPECT_EQ(at(d, 1, 1), (Px{1, 1, 1, 99})); // bottom row first in the file
    d.ImportMask(mask);
    EXPECT_EQ(at(d, 0, 0).a, 180);
    EXPECT_EQ(at(d, 1, 1).a, 180);
    EXPECT_EQ(d.MaskFilename, mask);
    EXPECT_THROW(d.ImportPicture(image + ".missing"), runtime::Exception);
    std::filesystem::remove(image);
    std::filesystem::remove(mask);
}

TEST(DIBData, RawRecordRoundTripsAndShortRecordsAreRefused) {
    TMemoryDIB a(3, 2), b;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            put(a, x, y, {x, y, 7, 200});
    runtime::TMemoryStream stream;
    a.WriteData(stream);
    stream.SetPosition(0);
    b.ReadData(stream);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(at(b, 2, 1), (Px{2, 1, 7, 200}));

    runtime::TMemoryStream shortRecord;
    shortRecord.WriteUInt16LE(100);
    shortRecord.WriteUInt16LE(100);
    shortRecord.WriteUInt32LE(0);
    shortRecord.SetPosition(0);
    EXPECT_THROW(b.ReadData(shortRecord), EDIBError);
    EXPECT_EQ(b.Width(), 3); // unchanged

    runtime::TMemoryStream empty;
    b.ReadData(empty); // a memory surface skips an empty stream
    EXPECT_EQ(b.Width(), 3);
    b.StoreData = false;
    runtime::TMemoryStream none;
    b.WriteData(none);
    EXPECT_EQ(none.Size(), 0);
}

TEST(DIBData, PackedRoundTripThroughBothCompressors) {
    TMemoryDIB a(45, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 45; ++x)
            put(a, x, y, {x, y, x < 20 ? 0 : 255, x < 30 ? 255 : 0});
    TAbstractDIBCompressor* const before = CurrentDIBCompressor();
    for (const char* id :
         {"{BC0C10FC-E045-41E7-A37C-B86AF21320B8}", "{CABA9056-7349-43A4-B010-3764FBFAC230}"}) {
        SetCurrentDIBCompressor(FindDIBCompressor(id));
        ASSERT_NE(CurrentDIBCompressor(), nullptr) << id;
        runtime::TMemoryStream stream;
        a.WriteData(stream);
        ASSERT_GT(stream.Size(), 26);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), 6), "DIBCMP");
        EXPECT_LT(stream.Size(), 4 + 45 * 12 * 4); // this picture packs
        stream.SetPosition(0);
        TMemoryDIB b;
        int changes = 0;
        b.OnChange = [&](runtime::TPersistent*) { ++changes; };
        b.ReadData(stream);
        EXPECT_EQ(changes, 1);
        ASSERT_EQ(b.Width(), 45);
        ASSERT_EQ(b.Height(), 12);
        EXPECT_EQ(std::memcmp(a.Bits(), b.Bits(), 45 * 12 * 4), 0) << id;
    }
    SetCurrentDIBCompressor(before);
    TMemoryDIB empty;
    runtime::TMemoryStream none;
    empty.WriteData(none);
    EXPECT_EQ(none.Size(), 0); // no pixels, no Data
}

TEST(DIBRecord, AShortRecordIsRefusedAndLeavesTheSurfaceAsItWas) {
    TMemoryDIB dib;
    const std::uint8_t record[] = {2, 0, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    dib.ReadRecord(record, sizeof record);
    ASSERT_EQ(dib.Width(), 2);
    EXPECT_EQ(dib.RowPointer(0)[4], 5);
    EXPECT_THROW(dib.ReadRecord(record, sizeof record - 1), EDIBError);
    EXPECT_THROW(dib.ReadRecord(record, 3), EDIBError);
    EXPECT_EQ(dib.Width(), 2);
    EXPECT_EQ(dib.RowPointer(0)[7], 8);
}
