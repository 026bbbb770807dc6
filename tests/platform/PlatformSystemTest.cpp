#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(PlatformSystem, LibraryFilePathNamesAnExistingFile) {
    const std::string path = platform::libraryFilePath();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
}

TEST(PlatformSystem, DecimalSeparatorIsPrintablePunctuation) {
    const char sep = platform::decimalSeparator();
    EXPECT_TRUE(sep == '.' || sep == ',' || sep == '\'' || sep == ' ') << int(sep);
}
