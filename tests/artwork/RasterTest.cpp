// The artwork generator: its rasteriser, its text and its agreement with the committed files.
#include "Raster.h"
#include "Pictures.h"
#include "PngRecord.h"
#include "Text.h"

#include "editor/art/ArtScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>

namespace {

using artwork::Canvas;

double alphaSum(const Canvas& c) {
    double sum = 0;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            sum += c.At(x, y).a;
    return sum;
}

TEST(ArtworkRaster, AntiAliasedCoverageAddsUpToTheShapesArea) {
    Canvas circle(40, 40);
    circle.Fill(artwork::Circle(20.3f, 19.6f, 12.5f), artwork::Solid(artwork::Hex(0xFFFFFF)));
    EXPECT_NEAR(std::numbers::pi * 12.5 * 12.5, alphaSum(circle), 0.5);

    Canvas ellipse(60, 40);
    ellipse.Fill(artwork::Ellipse(30, 20, 22, 9), artwork::Solid(artwork::Hex(0xFFFFFF)));
    EXPECT_NEAR(std::numbers::pi * 22 * 9, alphaSum(ellipse), 0.01 * std::numbers::pi * 22 * 9);

    Canvas rect(30, 30);
    rect.Fill(artwork::RoundRect(5.25f, 4.5f, 20.75f, 14.5f, 0), artwork::Solid(artwork::Hex(0)));
    // A single distance per pixel overestimates the four corner pixels a little.
    EXPECT_NEAR(15.5 * 10.0, alphaSum(rect), 0.6);
    // Edges between pixels give partial coverage; inside is solid.
    EXPECT_NEAR(0.75, rect.At(5, 8).a, 0.01);
    EXPECT_FLOAT_EQ(1.0f, rect.At(10, 8).a);
}

TEST(ArtworkRaster, PolygonAndSubtractionCoverTheRightPixels) {
    Canvas c(20, 20);
    const auto triangle = artwork::Polygon({2, 2, 18, 2, 2, 18});
    c.Fill(artwork::Subtract(triangle, artwork::RoundRect(0, 0, 6, 6, 0)),
           artwork::Solid(artwork::Hex(0xFF0000)));
    EXPECT_NEAR(16.0 * 16.0 / 2 - 4 * 4, alphaSum(c), 0.5);
    EXPECT_EQ(0.0f, c.At(3, 3).a);   // cut away
    EXPECT_EQ(1.0f, c.At(7, 3).a);   // inside
    EXPECT_EQ(0.0f, c.At(15, 15).a); // beyond the hypotenuse
}

TEST(ArtworkRaster, RecordIsBottomUpBgraWithStraightAlpha) {
    Canvas c(3, 2);
    // A half-covered column of orange: its colour stays orange, only alpha drops.
    c.Fill(artwork::RoundRect(0, 0, 0.5f, 2, 0), artwork::Solid(artwork::Hex(0xFF8020)));
    c.Fill(artwork::RoundRect(2, 0, 3, 1, 0), artwork::Solid(artwork::Hex(0x102030)));
    const auto record = c.Record();
    ASSERT_EQ(4u + 3 * 2 * 4, record.size());
    EXPECT_EQ(3, record[0] | record[1] << 8);
    EXPECT_EQ(2, record[2] | record[3] << 8);
    const auto at = [&](int x, int y) { return &record[4 + ((1 - y) * 3 + x) * 4]; };
    EXPECT_EQ(0x20, at(0, 0)[0]);
    EXPECT_EQ(0x80, at(0, 0)[1]);
    EXPECT_EQ(0xFF, at(0, 0)[2]);
    EXPECT_EQ(128, at(0, 0)[3]);
    EXPECT_EQ(0x30, at(2, 0)[0]); // top right, in the last row of the record
    EXPECT_EQ(0x10, at(2, 0)[2]);
    EXPECT_EQ(255, at(2, 0)[3]);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(0, at(1, 1)[i]); // untouched: all zero
}

TEST(ArtworkRaster, LaterFillsCoverEarlierOnesByTheirAlpha) {
    Canvas c(1, 1);
    c.Fill(artwork::Circle(0.5f, 0.5f, 5), artwork::Solid(artwork::Hex(0x0000FF)));
    c.Fill(artwork::Circle(0.5f, 0.5f, 5), artwork::Solid(artwork::Hex(0xFF0000, 0.25f)));
    const artwork::Colour p = c.At(0, 0);
    EXPECT_NEAR(0.25, p.r, 1e-6);
    EXPECT_NEAR(0.75, p.b, 1e-6);
    EXPECT_NEAR(1.0, p.a, 1e-6);
}

// Pixel by pixel, the alpha of two canvases of one size agrees to within float rounding.
void expectSameCoverage(const Canvas& a, const Canvas& b) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            ASSERT_NEAR(a.At(x, y).a, b.At(x, y).a, 1e-4) << "at " << x << ", " << y;
}

TEST(ArtworkRaster, ALargerDensityDrawsTheShapesThemselvesWithOnePixelEdges) {
    // At 200 % a design circle covers what a circle twice its size covers at 100 %: edges stay
    // one canvas pixel soft, while blur widths and clip boxes grow with the picture.
    const auto white = artwork::Solid(artwork::Hex(0xFFFFFF));
    Canvas drawn = Canvas::AtScale(20, 15, 200);
    drawn.Fill(artwork::Circle(10.3f, 6.6f, 4.2f), white);
    drawn.Fill(artwork::Capsule(2, 12, 17, 11, 0.55f), white, artwork::Box{0, 0, 9, 15});
    drawn.Fill(artwork::Circle(15, 3, 2), white, 3.0f, 0.5f);
    Canvas doubled(40, 30);
    doubled.Fill(artwork::Circle(20.6f, 13.2f, 8.4f), white);
    doubled.Fill(artwork::Capsule(4, 24, 34, 22, 1.1f), white, artwork::Box{0, 0, 18, 30});
    doubled.Fill(artwork::Circle(30, 6, 4), white, 6.0f, 0.5f);
    expectSameCoverage(doubled, drawn);
    // The clip ends at design x 9, canvas x 18.
    EXPECT_GT(drawn.At(17, 23).a, 0.5f);
    EXPECT_EQ(0.0f, drawn.At(18, 23).a);
}

TEST(ArtworkRaster, CanvasSizesAndClipEdgesFollowTheRoundingRule) {
    const Canvas frame = Canvas::AtScale(491, 323, 150);
    EXPECT_EQ(737, frame.Width());
    EXPECT_EQ(485, frame.Height());
    // Design pixels 0, 1 and 2 at 150 % are canvas columns 0..1, 2 and 3..4: a box over
    // design pixel 1 paints one column.
    Canvas row = Canvas::AtScale(3, 1, 150);
    ASSERT_EQ(5, row.Width());
    row.Fill(artwork::RoundRect(-5, -5, 10, 10, 0), artwork::Solid(artwork::Hex(0)),
             artwork::Box{1, 0, 2, 1});
    const float expected[5] = {0, 0, 1, 0, 0};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(expected[x], row.At(x, 0).a) << x;
}

TEST(ArtworkRaster, ANonPositiveDensityGivesAnEmptyCanvas) {
    for (int percent : {0, -150}) {
        Canvas c = Canvas::AtScale(40, 30, percent);
        EXPECT_EQ(0, c.Width());
        EXPECT_EQ(0, c.Height());
        c.Fill(artwork::Circle(5, 5, 3), artwork::Solid(artwork::Hex(0)));
        EXPECT_EQ(4u, c.Record().size());
    }
}

TEST(ArtworkText, MissingFontIsAClearError) {
    const auto dir = std::filesystem::temp_directory_path() / "wadling-artwork-no-fonts";
    std::filesystem::create_directories(dir);
    try {
        artwork::FindFont("NoSuchFace.ttf", {dir, dir / "other"});
        ADD_FAILURE() << "no error";
    } catch (const artwork::ArtError& e) {
        const std::string message = e.what();
        EXPECT_NE(std::string::npos, message.find("NoSuchFace.ttf")) << message;
        EXPECT_NE(std::string::npos, message.find((dir / "other").string())) << message;
        EXPECT_NE(std::string::npos, message.find("fonts-dejavu")) << message;
    }
    EXPECT_THROW(artwork::Font(dir / "empty.ttf", 10), artwork::ArtError);
    const std::filesystem::path system = "/usr/share/fonts/truetype/dejavu";
    EXPECT_EQ(system / "DejaVuSans.ttf", artwork::FindFont("DejaVuSans.ttf", {dir, system}));
}

TEST(ArtworkText, TextInksWhereItIsDrawnAndWidensWithMoreLetters) {
    const artwork::Font font(artwork::FindFont("DejaVuSans-Bold.ttf"), 12);
    EXPECT_LT(font.Width("Lo"), font.Width("Mid"));
    EXPECT_GT(font.CapHeight(), 6);
    Canvas c(60, 20);
    font.Draw(c, "Mid", 10, 15, artwork::Hex(0));
    int left = 60, right = -1, top = 20, bottom = -1;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x)
            if (c.At(x, y).a > 0.5f)
                left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                bottom = std::max(bottom, y);
    EXPECT_GE(left, 10);
    EXPECT_LE(right, 10 + font.Width("Mid"));
    EXPECT_NEAR(15 - font.CapHeight(), top, 1);
    EXPECT_EQ(14, bottom); // nothing below the baseline in "Mid"
}

// The committed art must be what the generator draws today: a change to the drawing code
// without `cmake --build ... --target artwork` shows up here.
void expectCommittedPngsDrawnAt(int percent) {
    const std::vector<Canvas> pictures = artwork::DrawPictures(percent);
    ASSERT_EQ(std::size_t(artwork::kPictureCount), pictures.size());
    const std::string folder =
        std::string(WADLING_ART_DIR) + (percent == 100 ? "/" : "/" + std::to_string(percent) + "/");
    for (int i = 0; i < artwork::kPictureCount; ++i) {
        const artwork::PictureInfo& info = artwork::kPictures[i];
        SCOPED_TRACE(info.displayName);
        EXPECT_EQ(artwork::PictureWidth(info, percent), pictures[i].Width());
        EXPECT_EQ(artwork::PictureHeight(info, percent), pictures[i].Height());
        const auto committed = dibpack::ReadPngAsRecord(folder + info.fileStem + ".png");
        EXPECT_TRUE(committed == pictures[i].Record()) << "regenerate the art";
    }
}

// One test per density, so that a parallel run spreads the drawing.
TEST(ArtworkPictures, CommittedPngsAreWhatTheGeneratorDrawsAt100) {
    expectCommittedPngsDrawnAt(100);
}

TEST(ArtworkPictures, CommittedPngsAreWhatTheGeneratorDrawsAt150) {
    expectCommittedPngsDrawnAt(150);
}

TEST(ArtworkPictures, CommittedPngsAreWhatTheGeneratorDrawsAt200) {
    expectCommittedPngsDrawnAt(200);
}

TEST(ArtworkPictures, OnlyTheEditorsDensitiesAreDrawn) {
    for (int percent : {0, 125, 300})
        EXPECT_THROW(artwork::DrawPictures(percent), artwork::ArtError) << percent;
}

} // namespace
