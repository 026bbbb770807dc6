#include "runtime/BinaryStreams.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace runtime;

namespace {

std::vector<std::uint8_t> bytesOf(const TMemoryStream& stream) {
    return {stream.Memory(), stream.Memory() + stream.MemorySize()};
}

} // namespace

TEST(BinaryStreams, IntegersAreWrittenLowByteFirstInTheirOwnWidth) {
    TMemoryStream stream;
    TBinaryWriter out(stream);
    out.WriteUInt8(0x01);
    out.WriteUInt16(0x0302);
    out.WriteUInt32(0x07060504);
    out.WriteUInt64(0x0F0E0D0C0B0A0908);
    std::vector<std::uint8_t> expected;
    for (std::uint8_t b = 1; b <= 15; ++b)
        expected.push_back(b);
    EXPECT_EQ(bytesOf(stream), expected);
}

TEST(BinaryStreams, WhatIsWrittenReadsBackIncludingTheExtremes) {
    TMemoryStream stream;
    TBinaryWriter out(stream);
    out.WriteUInt8(0xFF);
    out.WriteUInt16(0xFFFE);
    out.WriteUInt32(0x80000001u);
    out.WriteUInt64(std::numeric_limits<std::uint64_t>::max() - 1);
    out.WriteText(std::string("a\0b", 3));
    stream.SetPosition(0);
    TBinaryReader in(stream);
    EXPECT_EQ(in.ReadUInt8(), 0xFF);
    EXPECT_EQ(in.ReadUInt16(), 0xFFFE);
    EXPECT_EQ(in.ReadUInt32(), 0x80000001u);
    EXPECT_EQ(in.ReadUInt64(), std::numeric_limits<std::uint64_t>::max() - 1);
    EXPECT_EQ(in.ReadText(3), std::string("a\0b", 3));
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST(BinaryStreams, AnIntegerCutShortByTheEndRaisesAReadError) {
    const std::uint8_t bytes[] = {1, 2, 3};
    TReadOnlyMemoryStream stream(bytes, sizeof bytes);
    TBinaryReader in(stream);
    EXPECT_THROW(in.ReadUInt32(), EReadError);
    TReadOnlyMemoryStream empty(nullptr, 0);
    EXPECT_THROW(TBinaryReader(empty).ReadUInt8(), EReadError);
}

TEST(BinaryStreams, ATextOrSkipLongerThanWhatIsLeftIsRefusedBeforeAnythingIsRead) {
    const std::uint8_t bytes[] = {'a', 'b', 'c', 'd'};
    TReadOnlyMemoryStream stream(bytes, sizeof bytes);
    TBinaryReader in(stream);
    in.Skip(1);
    // A damaged length as large as a 32-bit field holds must not be allocated.
    EXPECT_THROW(in.ReadText(0xFFFFFFFFu), EReadError);
    EXPECT_THROW(in.ReadText(4), EReadError);
    EXPECT_THROW(in.Skip(4), EReadError);
    EXPECT_EQ(stream.Position(), 1);
    EXPECT_EQ(in.ReadText(3), "bcd");
}

TEST(BinaryStreams, SkipMovesOnAndRemainingIsZeroPastTheEnd) {
    const std::uint8_t bytes[] = {9, 8, 7, 6, 5};
    TReadOnlyMemoryStream stream(bytes, sizeof bytes);
    TBinaryReader in(stream);
    in.Skip(3);
    EXPECT_EQ(in.Remaining(), 2u);
    EXPECT_EQ(in.ReadUInt8(), 6);
    stream.SetPosition(10);
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(in.ReadText(0), "");
}

TEST(BinaryStreams, AStreamThatTakesNoMoreBytesRaisesAWriteError) {
    std::uint8_t block[3] = {};
    TReadOnlyMemoryStream full(block, sizeof block);
    TBinaryWriter out(full);
    EXPECT_THROW(out.WriteUInt16(1), EWriteError);
}
