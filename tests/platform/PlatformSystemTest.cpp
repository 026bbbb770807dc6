#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
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

namespace {

constexpr std::size_t kTableBytes = 256 * 1024;
// Constant data with a pattern, as the packed pictures are: read-only, from the file.
constexpr auto kTable = [] {
    std::array<std::uint8_t, kTableBytes> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint8_t>(i * 31 + i / 4096 + 7);
    return table;
}();

} // namespace

// Dropped file pages read back as they were; ranges that hold no whole page, no range and
// ranges that run past the address space change nothing (a written neighbour would be lost).
TEST(PlatformSystem, DroppedFilePagesReadBackAndOnlyWholePagesInsideTheRangeAreDropped) {
    const std::vector<std::uint8_t> copy(kTable.begin(), kTable.end());
    platform::dropFilePages(kTable.data() + 1, kTable.size() - 3);
    EXPECT_TRUE(std::equal(kTable.begin(), kTable.end(), copy.begin()));
    platform::dropFilePages(kTable.data(), kTable.size());
    EXPECT_TRUE(std::equal(kTable.begin(), kTable.end(), copy.begin()));

    const std::size_t page = 4096; // at least a page on every system we build for
    auto* written = static_cast<std::uint8_t*>(platform::allocateLargeBlock(4 * page));
    ASSERT_NE(written, nullptr);
    std::memset(written, 0x5A, 4 * page);
    platform::dropFilePages(written + 1, page - 1);     // inside one page, not the whole of it
    platform::dropFilePages(written + 7, 2);            // a few bytes
    platform::dropFilePages(nullptr, 4 * page);         // no range
    platform::dropFilePages(written + 1, SIZE_MAX - 1); // past the end of the address space
    EXPECT_EQ(std::count(written, written + 4 * page, 0x5A), std::ptrdiff_t(4 * page));
    platform::releaseLargeBlock(written, 4 * page);
}
