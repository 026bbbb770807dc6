// The embedded pictures: what the image list reads, laid out as the editor draws them.
#include "editor/art/EditorArt.h"

#include "editor/art/ArtScale.h"

#include "runtime/Streams.h"
#include "toolkit/cDIB.h"
#include "toolkit/cDIBSettings.h"
#include "toolkit/cDIBStandardCompressors.h"

#ifdef WADLING_ART_PNG
#include "PngRecord.h"
#endif

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using editorart::scaled;

struct Expected {
    const char* name;
    const char* stem;
    int width, height; ///< at 100 %
    int frames;
};

// The image list of the editor, in item order.
const Expected kList[editorart::kImageCount] = {
    {"Wadling", "00-wadling", 13257, 323, 27},
    {"EQ", "01-eq", 129, 222, 1},
    {"Mix", "02-mix", 34, 222, 1},
    {"Compression", "03-compression", 45, 12, 1},
    {"Banner", "04-banner", 482, 56, 1},
    {"Listen", "05-listen", 126, 37, 2},
    {"Wadling1", "06-wadling1", 47, 59, 1},
    {"Wadling2", "07-wadling2", 51, 66, 1},
    {"Wadling3", "08-wadling3", 45, 58, 1},
    {"Wadling4", "09-wadling4", 49, 51, 1},
};

// Frames are scaled one by one, so a strip's frames stay equal at every density.
int frameWidth(const Expected& item, int percent) {
    return scaled(item.width / item.frames, percent);
}

int widthAt(const Expected& item, int percent) {
    return item.frames * frameWidth(item, percent);
}

std::string trace(const Expected& item, int percent) {
    return std::string(item.name) + " at " + std::to_string(percent) + " %";
}

std::unique_ptr<toolkit::TMemoryDIB> surfaceFrom(const std::uint8_t* data, std::size_t size) {
    runtime::TMemoryStream stream;
    stream.WriteBuffer(data, size);
    stream.SetPosition(0);
    auto image = std::make_unique<toolkit::TMemoryDIB>();
    image->ReadData(stream);
    return image;
}

// Unpacked once per process: the strip at 200 % alone is 68 MB of pixels.
toolkit::TMemoryDIB& unpacked(int index, int percent) {
    static std::map<std::pair<int, int>, std::unique_ptr<toolkit::TMemoryDIB>> cache;
    auto& image = cache[{index, percent}];
    if (!image) {
        const auto packed = editorart::packedImage(index, percent);
        image = surfaceFrom(packed.data(), packed.size());
    }
    return *image;
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

TEST(ArtScale, EdgesRoundHalfUpSoTouchingBoxesStillTouch) {
    for (int percent : {100, 125, 150, 175, 200, 300}) {
        for (int x = -1000; x <= 20000; ++x) {
            // The rule in floating point; x * percent is exact in a double here.
            const int expected = int(std::floor(double(x) * percent / 100.0 + 0.5));
            ASSERT_EQ(expected, scaled(x, percent)) << x << " at " << percent << " %";
        }
    }
    // A box's size is the distance of its rounded edges, not its rounded size: at 150 % the
    // one-pixel boxes at 0 and 1 become 2 and 1 pixels wide, and halves round up.
    EXPECT_EQ(2, scaled(1, 150) - scaled(0, 150));
    EXPECT_EQ(1, scaled(2, 150) - scaled(1, 150));
    EXPECT_EQ(-1, scaled(-1, 150));
    EXPECT_EQ(737, scaled(491, 150));
}

TEST(ArtScale, OutOfRangeInputsHaveDefinedResults) {
    EXPECT_EQ(0, scaled(100, 0));
    EXPECT_EQ(0, scaled(100, -150));
    EXPECT_EQ(std::numeric_limits<int>::max(), scaled(std::numeric_limits<int>::max(), 200));
    EXPECT_EQ(std::numeric_limits<int>::min(), scaled(std::numeric_limits<int>::min(), 200));
    EXPECT_EQ(std::numeric_limits<int>::max() / 2 + 1, scaled(std::numeric_limits<int>::max(), 50));
}

TEST(EditorArt, EveryStreamIsPackedWithDibLzhAndUnpacksToItsScaledSize) {
    const std::uint8_t lzhIdentifier[16] = {0xFC, 0x10, 0x0C, 0xBC, 0x45, 0xE0, 0xE7, 0x41,
                                            0xA3, 0x7C, 0xB8, 0x6A, 0xF2, 0x13, 0x20, 0xB8};
    for (int percent : editorart::kScales) {
        for (int i = 0; i < editorart::kImageCount; ++i) {
            const Expected& item = kList[i];
            SCOPED_TRACE(trace(item, percent));
            const auto packed = editorart::packedImage(i, percent);
            ASSERT_GT(packed.size(), 30u);
            EXPECT_EQ(0, std::memcmp(packed.data(), "DIBCMP", 6));
            EXPECT_EQ(0, std::memcmp(packed.data() + 6, lzhIdentifier, 16));
            const int width = widthAt(item, percent), height = scaled(item.height, percent);
            const std::uint32_t raw = 4 + std::uint32_t(width) * height * 4;
            EXPECT_EQ(raw, le32(packed.data() + 22));
            EXPECT_EQ(raw, le32(packed.data() + 26)); // the LZH payload repeats the count
            EXPECT_LT(packed.size(), raw);
            const auto& image = unpacked(i, percent);
            EXPECT_EQ(width, image.Width());
            EXPECT_EQ(height, image.Height());
        }
    }
    // The default is the 100 % set.
    for (int i = 0; i < editorart::kImageCount; ++i)
        EXPECT_EQ(editorart::packedImage(i).data(), editorart::packedImage(i, 100).data());
}

TEST(EditorArt, IndicesAndDensitiesOutsideTheSetsHaveNoStream) {
    for (int percent : editorart::kScales) {
        EXPECT_TRUE(editorart::packedImage(-1, percent).empty());
        EXPECT_TRUE(editorart::packedImage(editorart::kImageCount, percent).empty());
    }
    for (int percent : {0, -100, 99, 125, 149, 201, 300})
        EXPECT_TRUE(editorart::packedImage(0, percent).empty()) << percent;
}

TEST(EditorArt, BackgroundIsOpaqueAndOnlyTheSqueezedFigureChangesFromFrameToFrame) {
    constexpr int kFrames = 27;
    for (int percent : editorart::kScales) {
        SCOPED_TRACE(trace(kList[0], percent));
        const auto& strip = unpacked(0, percent);
        const int width = frameWidth(kList[0], percent);
        ASSERT_EQ(kFrames * width, strip.Width());
        for (int y = 0; y < strip.Height(); ++y)
            for (int x = 0; x < strip.Width(); ++x)
                ASSERT_EQ(255, pixel(strip, x, y)[3]) << "at " << x << ", " << y;
        // The figure lives in the free middle of the window; the rest stays put so that
        // turning the knob never moves anything under the other controls.
        const int left = scaled(160, percent), right = scaled(430, percent);
        const int top = scaled(8, percent), bottom = scaled(270, percent);
        int changedFrames = 0;
        for (int frame = 1; frame < kFrames; ++frame) {
            bool changed = false;
            for (int y = 0; y < strip.Height(); ++y) {
                const std::uint8_t* here = pixel(strip, frame * width, y);
                const std::uint8_t* before = pixel(strip, (frame - 1) * width, y);
                for (int x = 0; x < width; ++x, here += 4, before += 4) {
                    const bool same = std::memcmp(here, before, 4) == 0;
                    if (x < left || x >= right || y < top || y >= bottom) {
                        ASSERT_TRUE(same) << "frame " << frame << " at " << x << ", " << y;
                    }
                    changed = changed || !same;
                }
            }
            changedFrames += changed;
        }
        EXPECT_EQ(kFrames - 1, changedFrames);
    }
}

TEST(EditorArt, SmallPicturesHaveStraightAlphaWithSoftEdges) {
    for (int percent : editorart::kScales) {
        for (int i = 1; i < editorart::kImageCount; ++i) {
            SCOPED_TRACE(trace(kList[i], percent));
            const auto& image = unpacked(i, percent);
            int clear = 0, solid = 0, partial = 0, brighterThanAlpha = 0;
            for (int y = 0; y < image.Height(); ++y) {
                for (int x = 0; x < image.Width(); ++x) {
                    const std::uint8_t* p = pixel(image, x, y);
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
            EXPECT_EQ(0, pixel(image, 0, 0)[3]) << "top left corner";
            EXPECT_EQ(0, pixel(image, image.Width() - 1, image.Height() - 1)[3]) << "bottom right";
            EXPECT_GT(clear, 0);
            EXPECT_GT(partial, 0);
            if (i != 3) {
                EXPECT_GT(solid, 0); // the caption is thin text only
            }
            EXPECT_GT(brighterThanAlpha, 0);
        }
    }
}

TEST(EditorArt, CaptionTextFitsInsideItsImage) {
    for (int percent : editorart::kScales) {
        const auto& caption = unpacked(3, percent);
        for (int y = 0; y < caption.Height(); ++y) {
            EXPECT_EQ(0, pixel(caption, 0, y)[3]) << percent << " %, left column, row " << y;
            EXPECT_EQ(0, pixel(caption, caption.Width() - 1, y)[3])
                << percent << " %, right column, row " << y;
        }
    }
}

TEST(EditorArt, ListenButtonHasTwoDifferentStatesOfEqualWidth) {
    for (int percent : editorart::kScales) {
        SCOPED_TRACE(trace(kList[5], percent));
        const auto& listen = unpacked(5, percent);
        const int width = frameWidth(kList[5], percent), height = listen.Height();
        ASSERT_EQ(2 * width, listen.Width());
        int differing = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                differing += std::memcmp(pixel(listen, x, y), pixel(listen, width + x, y), 4) != 0;
        EXPECT_GT(differing, width * height / 4);
        // Both states share the button's outline: the corners are clear in each.
        EXPECT_EQ(0, pixel(listen, 0, 0)[3]);
        EXPECT_EQ(0, pixel(listen, width, 0)[3]);
        EXPECT_EQ(0, pixel(listen, width - 1, height - 1)[3]);
        EXPECT_EQ(0, pixel(listen, 2 * width - 1, height - 1)[3]);
    }
}

// Premultiplied channel c (0..2 colour, 3 alpha) of a pixel, 0..255.
int premultiplied(const toolkit::TMemoryDIB& image, int x, int y, int c) {
    const std::uint8_t* p = pixel(image, x, y);
    return c == 3 ? p[3] : (p[c] * p[3] + 127) / 255;
}

// Neighbouring pixels (across and down) whose premultiplied channels differ by more than 160
// of 255: hard edges. An upscale that blends neighbours halves each step of its source.
int hardSteps(const toolkit::TMemoryDIB& image) {
    int steps = 0;
    for (int y = 0; y + 1 < image.Height(); ++y)
        for (int x = 0; x + 1 < image.Width(); ++x)
            for (int c = 0; c < 4; ++c) {
                const int v = premultiplied(image, x, y, c);
                steps += std::abs(v - premultiplied(image, x + 1, y, c)) > 160;
                steps += std::abs(v - premultiplied(image, x, y + 1, c)) > 160;
            }
    return steps;
}

TEST(EditorArt, LargerDensitiesAreDrawnNotResampled) {
    for (int i : {1, 4}) { // the EQ's ticks and labels, the banner's title
        SCOPED_TRACE(kList[i].name);
        const auto& small = unpacked(i, 100);
        const auto& large = unpacked(i, 200);
        ASSERT_EQ(2 * small.Width(), large.Width());
        ASSERT_EQ(2 * small.Height(), large.Height());
        // Averaged over 2 x 2 blocks the 200 % picture is the 100 % one, drawn again: close
        // everywhere on average, but not equal as it would be for a pixel-doubled copy.
        double difference = 0;
        int unequal = 0;
        for (int y = 0; y < small.Height(); ++y) {
            for (int x = 0; x < small.Width(); ++x) {
                for (int c = 0; c < 4; ++c) {
                    const int sum = premultiplied(large, 2 * x, 2 * y, c) +
                                    premultiplied(large, 2 * x + 1, 2 * y, c) +
                                    premultiplied(large, 2 * x, 2 * y + 1, c) +
                                    premultiplied(large, 2 * x + 1, 2 * y + 1, c);
                    const int d = std::abs((sum + 2) / 4 - premultiplied(small, x, y, c));
                    difference += d;
                    unequal += d > 2;
                }
            }
        }
        const int values = small.Width() * small.Height() * 4;
        EXPECT_LT(difference / values, 4.0);
        EXPECT_GT(unequal, values / 100);
        // Edges stay one pixel sharp at every density, so the larger pictures have at least
        // as many hard steps (their edges are longer), which no blending upscale keeps.
        const int hard100 = hardSteps(small);
        EXPECT_GT(hard100, 50);
        EXPECT_GE(hardSteps(unpacked(i, 150)), hard100);
        EXPECT_GE(hardSteps(large), hard100);
    }
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
    for (int percent : editorart::kScales) {
        const std::string folder = std::string(WADLING_ART_DIR) +
                                   (percent == 100 ? "/" : "/" + std::to_string(percent) + "/");
        for (int i = 0; i < editorart::kImageCount; ++i) {
            SCOPED_TRACE(trace(kList[i], percent));
            const Bytes png = dibpack::ReadPngAsRecord(folder + kList[i].stem + ".png");
            EXPECT_TRUE(png == recordOf(unpacked(i, percent))) << "pixels differ from the PNG";
        }
    }
}

#endif

// With the pixels equal to the PNGs', this also shows that packing the PNGs gives the embedded
// bytes. One test per density, so that a parallel run spreads the packing.
void expectPackingBackGivesTheEmbeddedBytesAt(int percent) {
    for (int i = 0; i < editorart::kImageCount; ++i) {
        SCOPED_TRACE(trace(kList[i], percent));
        const auto embedded = editorart::packedImage(i, percent);
        EXPECT_TRUE(storedData(unpacked(i, percent)) == Bytes(embedded.begin(), embedded.end()));
    }
}

TEST(EditorArt, UnpackedPicturesPackBackToTheEmbeddedBytesAt100) {
    expectPackingBackGivesTheEmbeddedBytesAt(100);
}

TEST(EditorArt, UnpackedPicturesPackBackToTheEmbeddedBytesAt150) {
    expectPackingBackGivesTheEmbeddedBytesAt(150);
}

TEST(EditorArt, UnpackedPicturesPackBackToTheEmbeddedBytesAt200) {
    expectPackingBackGivesTheEmbeddedBytesAt(200);
}

} // namespace
