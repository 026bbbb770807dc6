// The embedded pictures: what the image list reads, laid out as the editor draws them.
#include "editor/art/EditorArt.h"

#include "runtime/Streams.h"
#include "toolkit/cDIB.h"
#include "toolkit/cDIBSettings.h"
#include "toolkit/cDIBStandardCompressors.h"

#ifdef WADLING_ART_PNG
#include "PngRecord.h"
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Expected {
    const char* name;
    const char* stem;
    int width, height;
};

// The image list of the editor, in item order.
const Expected kList[editorart::kImageCount] = {
    {"Wadling", "00-wadling", 13257, 323},
    {"EQ", "01-eq", 129, 222},
    {"Mix", "02-mix", 34, 222},
    {"Compression", "03-compression", 45, 12},
    {"Banner", "04-banner", 482, 56},
    {"Listen", "05-listen", 126, 37},
    {"Wadling1", "06-wadling1", 47, 59},
    {"Wadling2", "07-wadling2", 51, 66},
    {"Wadling3", "08-wadling3", 45, 58},
    {"Wadling4", "09-wadling4", 49, 51},
};

std::unique_ptr<toolkit::TMemoryDIB> surfaceFrom(const std::uint8_t* data, std::size_t size) {
    runtime::TMemoryStream stream;
    stream.WriteBuffer(data, size);
    stream.SetPosition(0);
    auto image = std::make_unique<toolkit::TMemoryDIB>();
    image->ReadData(stream);
    return image;
}

std::unique_ptr<toolkit::TMemoryDIB> unpack(int index) {
    const auto packed = editorart::packedImage(index);
    return surfaceFrom(packed.data(), packed.size());
}

// What a form stores for the surface with "DIB LZH" chosen.
Bytes storedData(toolkit::TMemoryDIB& image) {
    toolkit::TDIBSettings settings(nullptr);
    settings.SetDIBCompressor(toolkit::kLZHCompressorGUID);
    runtime::TMemoryStream out;
    image.WriteData(out);
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

const std::uint8_t* pixel(const toolkit::TMemoryDIB& image, int x, int y) {
    return image.RowPointer(y) + 4 * x;
}

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}

TEST(EditorArt, EveryStreamIsPackedWithDibLzhAndUnpacksToItsListSize) {
    const std::uint8_t lzhIdentifier[16] = {0xFC, 0x10, 0x0C, 0xBC, 0x45, 0xE0, 0xE7, 0x41,
                                            0xA3, 0x7C, 0xB8, 0x6A, 0xF2, 0x13, 0x20, 0xB8};
    for (int i = 0; i < editorart::kImageCount; ++i) {
        SCOPED_TRACE(kList[i].name);
        const auto packed = editorart::packedImage(i);
        ASSERT_GT(packed.size(), 30u);
        EXPECT_EQ(0, std::memcmp(packed.data(), "DIBCMP", 6));
        EXPECT_EQ(0, std::memcmp(packed.data() + 6, lzhIdentifier, 16));
        const std::uint32_t raw = 4 + std::uint32_t(kList[i].width) * kList[i].height * 4;
        EXPECT_EQ(raw, le32(packed.data() + 22));
        EXPECT_EQ(raw, le32(packed.data() + 26)); // the LZH payload repeats the count
        EXPECT_LT(packed.size(), raw);
        const auto image = unpack(i);
        EXPECT_EQ(kList[i].width, image->Width());
        EXPECT_EQ(kList[i].height, image->Height());
    }
}

TEST(EditorArt, IndicesOutsideTheListHaveNoStream) {
    EXPECT_TRUE(editorart::packedImage(-1).empty());
    EXPECT_TRUE(editorart::packedImage(editorart::kImageCount).empty());
}

TEST(EditorArt, BackgroundIsOpaqueAndOnlyTheSqueezedFigureChangesFromFrameToFrame) {
    const auto strip = unpack(0);
    constexpr int kFrames = 27, kWidth = 491;
    ASSERT_EQ(kFrames * kWidth, strip->Width());
    int changedFrames = 0;
    for (int y = 0; y < strip->Height(); ++y)
        for (int x = 0; x < strip->Width(); ++x)
            ASSERT_EQ(255, pixel(*strip, x, y)[3]) << "at " << x << ", " << y;
    for (int frame = 1; frame < kFrames; ++frame) {
        bool changed = false;
        for (int y = 0; y < strip->Height(); ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const std::uint8_t* here = pixel(*strip, frame * kWidth + x, y);
                const std::uint8_t* before = pixel(*strip, (frame - 1) * kWidth + x, y);
                const bool same = std::memcmp(here, before, 4) == 0;
                // The figure lives in the free middle of the window; the rest stays put so
                // that turning the knob never moves anything under the other controls.
                const bool middle = x >= 160 && x < 430 && y >= 8 && y < 270;
                if (!middle) {
                    ASSERT_TRUE(same) << "frame " << frame << " at " << x << ", " << y;
                }
                changed = changed || !same;
            }
        }
        changedFrames += changed;
    }
    EXPECT_EQ(kFrames - 1, changedFrames);
}

TEST(EditorArt, SmallPicturesHaveStraightAlphaWithSoftEdges) {
    for (int i = 1; i < editorart::kImageCount; ++i) {
        SCOPED_TRACE(kList[i].name);
        const auto image = unpack(i);
        int clear = 0, solid = 0, partial = 0, brighterThanAlpha = 0;
        for (int y = 0; y < image->Height(); ++y) {
            for (int x = 0; x < image->Width(); ++x) {
                const std::uint8_t* p = pixel(*image, x, y);
                if (p[3] == 0)
                    ++clear;
                else if (p[3] == 255)
                    ++solid;
                else
                    ++partial;
                // Premultiplied colour can never exceed its alpha; straight colour does.
                if (p[3] > 0 && p[3] < 200 && std::max({p[0], p[1], p[2]}) > p[3] + 20)
                    ++brighterThanAlpha;
            }
        }
        EXPECT_EQ(0, pixel(*image, 0, 0)[3]) << "top left corner";
        EXPECT_EQ(0, pixel(*image, image->Width() - 1, image->Height() - 1)[3]) << "bottom right";
        EXPECT_GT(clear, 0);
        EXPECT_GT(partial, 0);
        if (i != 3) {
            EXPECT_GT(solid, 0); // the caption is thin text only
        }
        EXPECT_GT(brighterThanAlpha, 0);
    }
}

TEST(EditorArt, CaptionTextFitsInsideItsImage) {
    const auto caption = unpack(3);
    for (int y = 0; y < caption->Height(); ++y) {
        EXPECT_EQ(0, pixel(*caption, 0, y)[3]) << "left column, row " << y;
        EXPECT_EQ(0, pixel(*caption, caption->Width() - 1, y)[3]) << "right column, row " << y;
    }
}

TEST(EditorArt, ListenButtonHasTwoDifferentStatesOfEqualWidth) {
    const auto listen = unpack(5);
    ASSERT_EQ(2 * 63, listen->Width());
    int differing = 0;
    for (int y = 0; y < listen->Height(); ++y)
        for (int x = 0; x < 63; ++x)
            differing += std::memcmp(pixel(*listen, x, y), pixel(*listen, 63 + x, y), 4) != 0;
    EXPECT_GT(differing, 63 * 37 / 4);
    // Both states share the button's outline: the corners are clear in each.
    EXPECT_EQ(0, pixel(*listen, 0, 0)[3]);
    EXPECT_EQ(0, pixel(*listen, 63, 0)[3]);
    EXPECT_EQ(0, pixel(*listen, 62, 36)[3]);
}

#ifdef WADLING_ART_PNG

Bytes recordOf(const toolkit::TMemoryDIB& image) {
    Bytes record(4);
    record[0] = std::uint8_t(image.Width());
    record[1] = std::uint8_t(image.Width() >> 8);
    record[2] = std::uint8_t(image.Height());
    record[3] = std::uint8_t(image.Height() >> 8);
    const std::size_t bytes = std::size_t(image.Width()) * image.Height() * 4;
    record.insert(record.end(), image.Bits(), image.Bits() + bytes);
    return record;
}

TEST(EditorArt, EmbeddedStreamsAreExactlyTheCommittedPngs) {
    if (!dibpack::HavePng()) GTEST_SKIP() << "built without libpng";
    for (int i = 0; i < editorart::kImageCount; ++i) {
        SCOPED_TRACE(kList[i].name);
        const Bytes png =
            dibpack::ReadPngAsRecord(std::string(WADLING_ART_DIR) + "/" + kList[i].stem + ".png");
        EXPECT_TRUE(png == recordOf(*unpack(i))) << "pixels differ from the PNG";

        // Packing the PNG's pixels again gives the embedded bytes, byte for byte.
        const auto fromPng = surfaceFrom(png.data(), png.size());
        const Bytes repacked = storedData(*fromPng);
        const auto embedded = editorart::packedImage(i);
        EXPECT_TRUE(repacked == Bytes(embedded.begin(), embedded.end()))
            << "repacked " << repacked.size() << " bytes, embedded " << embedded.size();
    }
}

#endif

TEST(EditorArt, UnpackedPicturesPackBackToTheEmbeddedBytes) {
    for (int i = 0; i < editorart::kImageCount; ++i) {
        SCOPED_TRACE(kList[i].name);
        const auto image = unpack(i);
        const auto embedded = editorart::packedImage(i);
        EXPECT_TRUE(storedData(*image) == Bytes(embedded.begin(), embedded.end()));
    }
}

} // namespace
