#include "runtime/Streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <numeric>

using namespace runtime;

namespace {

std::filesystem::path scratchFile(const char* name) {
    const auto dir = std::filesystem::temp_directory_path() / "wadling_runtime_tests";
    std::filesystem::create_directories(dir);
    return dir / name;
}

} // namespace

TEST(MemoryStream, WritesGrowTheStreamAndReadsComeBackInOrder) {
    TMemoryStream s;
    std::vector<std::uint8_t> data(100000);
    std::iota(data.begin(), data.end(), 0);
    s.WriteBuffer(data.data(), data.size());
    EXPECT_EQ(s.Size(), 100000);
    EXPECT_EQ(s.Position(), 100000);
    s.SetPosition(0);
    std::vector<std::uint8_t> back(data.size());
    s.ReadBuffer(back.data(), back.size());
    EXPECT_EQ(back, data);
    EXPECT_EQ(s.Read(back.data(), 1), 0u);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
    TMemoryStream s;
    s.Seek(10, TSeekOrigin::soBeginning);
    const std::uint8_t b = 7;
    s.WriteBuffer(&b, 1);
    ASSERT_EQ(s.Size(), 11);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(s.Memory()[i], 0);
    EXPECT_EQ(s.Memory()[10], 7);
}

TEST(MemoryStream, ShortReadRaisesReadErrorAndBadSeekRaisesStreamError) {
    TMemoryStream s;
    s.WriteUInt16LE(0x1234);
    s.SetPosition(0);
    std::uint8_t buf[4];
    EXPECT_THROW(s.ReadBuffer(buf, 3), EReadError);
    EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    EXPECT_THROW(s.Seek(-3, TSeekOrigin::soEnd), EStreamError);
    EXPECT_EQ(s.Seek(-2, TSeekOrigin::soEnd), 0);
}

TEST(MemoryStream, LittleEndianHelpersUseTheStoredByteOrder) {
    TMemoryStream s;
    s.WriteUInt32LE(0x11223344);
    s.WriteUInt16LE(0xA1B2);
    ASSERT_EQ(s.Size(), 6);
    const std::uint8_t expected[6] = {0x44, 0x33, 0x22, 0x11, 0xB2, 0xA1};
    EXPECT_EQ(std::memcmp(s.Memory(), expected, 6), 0);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadUInt32LE(), 0x11223344u);
    EXPECT_EQ(s.ReadUInt16LE(), 0xA1B2u);
}

TEST(MemoryStream, ShrinkingClampsThePositionAndRemainingCountsFromIt) {
    TMemoryStream s;
    s.SetSize(50);
    s.SetPosition(40);
    EXPECT_EQ(s.Remaining(), 10);
    s.SetSize(20);
    EXPECT_EQ(s.Position(), 20);
    EXPECT_EQ(s.Remaining(), 0);
    s.SetPosition(30);
    EXPECT_EQ(s.Remaining(), 0);
    EXPECT_THROW(s.SetSize(-1), EStreamError);
}

TEST(MemoryStream, CopyFromCopiesExactlyTheCountOrRaises) {
    TMemoryStream src;
    src.WriteUInt32LE(0xDEADBEEF);
    src.SetPosition(1);
    TMemoryStream dst;
    dst.CopyFrom(src, 2);
    ASSERT_EQ(dst.Size(), 2);
    EXPECT_EQ(dst.Memory()[0], 0xBE);
    EXPECT_EQ(dst.Memory()[1], 0xAD);
    EXPECT_THROW(dst.CopyFrom(src, 2), EReadError);
}

TEST(ReadOnlyMemoryStream, ReadsTheViewAndRefusesWrites) {
    const std::uint8_t block[3] = {1, 2, 3};
    TReadOnlyMemoryStream s(block, sizeof block);
    EXPECT_EQ(s.Size(), 3);
    std::uint8_t b[3];
    s.ReadBuffer(b, 3);
    EXPECT_EQ(b[2], 3);
    s.SetPosition(0);
    EXPECT_THROW(s.WriteBuffer(b, 1), EWriteError);
    EXPECT_THROW(s.SetSize(1), EStreamError);
    EXPECT_EQ(block[0], 1);
}

TEST(FileStream, RoundTripsThroughAFileAndAppendsInReadWriteMode) {
    const auto path = scratchFile("roundtrip.bin");
    {
        TMemoryStream m;
        m.WriteUInt32LE(42);
        m.SaveToFile(path);
    }
    {
        TFileStream f(path, TFileMode::fmOpenReadWrite);
        EXPECT_EQ(f.Size(), 4);
        f.Seek(0, TSeekOrigin::soEnd);
        f.WriteUInt16LE(7);
    }
    TMemoryStream back;
    back.LoadFromFile(path);
    ASSERT_EQ(back.Size(), 6);
    EXPECT_EQ(back.ReadUInt32LE(), 42u);
    EXPECT_EQ(back.ReadUInt16LE(), 7u);
    std::filesystem::remove(path);
}

TEST(FileStream, MissingFileNamesTheFileInTheError) {
    const auto path = scratchFile("does-not-exist.bin");
    std::filesystem::remove(path);
    try {
        TFileStream f(path, TFileMode::fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("Cannot open file \""), std::string::npos) << e.what();
        EXPECT_NE(e.Message().find("does-not-exist.bin"), std::string::npos) << e.what();
    }
    EXPECT_THROW(TFileStream(scratchFile("no-such-dir/x/y.bin"), TFileMode::fmCreate),
                 EFCreateError);
}

TEST(FileStream, ReadOnlyStreamRefusesWrites) {
    const auto path = scratchFile("readonly.bin");
    TMemoryStream().SaveToFile(path);
    {
        TFileStream f(path, TFileMode::fmOpenRead);
        const std::uint8_t b = 1;
        EXPECT_THROW(f.WriteBuffer(&b, 1), EWriteError);
    }
    std::filesystem::remove(path);
}
