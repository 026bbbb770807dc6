#include "runtime/Picture.h"

#include "runtime/Streams.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace runtime;

namespace {

// A 24-bit file written by hand: 3 x 2 pixels, rows padded to 12 bytes.
void bitmap24(TMemoryStream& s, std::int32_t height) {
    std::uint8_t file[54 + 24] = {'B', 'M'};
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = std::uint8_t(v >> (8 * i));
    };
    put32(2, sizeof file);
    put32(10, 54);
    put32(14, 40);
    put32(18, 3);
    put32(22, static_cast<std::uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 3; ++c)
                file[54 + row * 12 + x * 3 + c] = std::uint8_t(row * 100 + x * 10 + c);
    s.Clear();
    s.WriteBuffer(file, sizeof file);
    s.SetPosition(0);
}

} // namespace

TEST(PictureLoader, Reads24BitRowsWithPaddingBottomRowFirst) {
    TMemoryStream s;
    bitmap24(s, 2);
    const TPicture p = LoadPicture(s);
    EXPECT_EQ(p.Width, 3);
    EXPECT_EQ(p.Height, 2);
    EXPECT_EQ(p.BitsPerPixel, 24);
    ASSERT_EQ(p.Pixels.size(), 24u);
    EXPECT_EQ(p.Pixels[0], 0); // file row 0 is the bottom row
    EXPECT_EQ(p.Pixels[(1 * 3 + 2) * 4 + 1], 121);
    EXPECT_EQ(p.Pixels[(1 * 3 + 2) * 4 + 3], 0);
}

TEST(PictureLoader, TopDownFilesAreTurnedBottomUp) {
    TMemoryStream s;
    bitmap24(s, -2);
    const TPicture p = LoadPicture(s);
    EXPECT_EQ(p.Pixels[0], 100); // the file's first row is the top row now
}

TEST(PictureLoader, ThirtyTwoBitRoundTripKeepsAlpha) {
    TPicture p;
    p.Width = 2;
    p.Height = 1;
    p.Pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    TMemoryStream s;
    SaveBitmap32(p, s);
    s.SetPosition(0);
    const TPicture q = LoadPicture(s);
    EXPECT_EQ(q.BitsPerPixel, 32);
    EXPECT_EQ(q.Pixels, p.Pixels);
}

TEST(PictureLoader, DamagedOrUnsupportedFilesRaiseInvalidGraphic) {
    TMemoryStream tiny;
    tiny.WriteBuffer("BM", 2);
    tiny.SetPosition(0);
    EXPECT_THROW(LoadPicture(tiny), EInvalidGraphic);

    auto patch = [](TMemoryStream& s, int at, std::uint32_t v) {
        bitmap24(s, 2);
        std::uint8_t* m = s.Memory();
        for (int i = 0; i < 4; ++i)
            m[at + i] = std::uint8_t(v >> (8 * i));
    };
    for (auto [at, v] : {std::pair{0, 0x0000u},         // no signature
                         std::pair{18, 0x7FFFFFFFu},    // huge width
                         std::pair{18, 0u},             // empty
                         std::pair{22, 0x80000000u},    // most negative height
                         std::pair{30, 1u},             // run-length compressed
                         std::pair{10, 0xFFFFFFF0u}}) { // data beyond the end
        TMemoryStream s;
        patch(s, at, v);
        EXPECT_THROW(LoadPicture(s), EInvalidGraphic) << at;
    }
    TMemoryStream truncated;
    TMemoryStream whole;
    bitmap24(whole, 2);
    truncated.WriteBuffer(whole.Memory(), static_cast<std::size_t>(whole.Size()) - 1);
    truncated.SetPosition(0);
    EXPECT_THROW(LoadPicture(truncated), EInvalidGraphic);
    EXPECT_THROW(LoadPicture("/nonexistent/picture.bmp"), Exception);
}
