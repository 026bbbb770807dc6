#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

TEST(PlatformSystem, LibraryFilePathNamesAnExistingFile) {
    const std::string path = platform::libraryFilePath();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
}

TEST(PlatformSystem, DecimalSeparatorIsPrintablePunctuation) {
    const char sep = platform::decimalSeparator();
    EXPECT_TRUE(sep == '.' || sep == ',' || sep == '\'' || sep == ' ') << int(sep);
}

// Sizes around a page and around the 2 MiB alignment: the block comes zeroed, every byte of it
// can be written, and blocks alive together do not overlap.
TEST(PlatformSystem, LargeBlocksAreZeroWritableToTheirLastByteAndApart) {
    const std::size_t sizes[] = {0,       1, 4095, 4097, (2u << 20) - 1, 2u << 20, (2u << 20) + 1,
                                 17128064};
    std::vector<std::pair<std::uint8_t*, std::size_t>> blocks;
    for (std::size_t bytes : sizes) {
        auto* block = static_cast<std::uint8_t*>(platform::allocateLargeBlock(bytes));
        ASSERT_NE(block, nullptr) << bytes;
        const std::size_t n = std::max<std::size_t>(bytes, 1);
        EXPECT_EQ(block[0], 0) << bytes;
        EXPECT_EQ(block[n - 1], 0) << bytes;
        EXPECT_EQ(block[n / 2], 0) << bytes;
        std::memset(block, 0xA5, n);
        blocks.emplace_back(block, n);
    }
    for (const auto& [block, n] : blocks) {
        EXPECT_EQ(block[0], 0xA5) << n;
        EXPECT_EQ(block[n - 1], 0xA5) << n;
        for (const auto& [other, m] : blocks) {
            if (other == block) continue;
            EXPECT_TRUE(other + m <= block || block + n <= other) << n << " " << m;
        }
    }
    for (const auto& [block, n] : blocks)
        platform::releaseLargeBlock(block, n);
    platform::releaseLargeBlock(nullptr, 100); // nothing to give back
}
