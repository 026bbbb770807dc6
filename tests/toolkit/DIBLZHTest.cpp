#include "toolkit/DIBLZH.h"

#include "LZHReference.h"
#include "PackingTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace toolkit;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes pack(const Bytes& in) {
    Bytes out(in.size() + 64);
    TLZHStream codec;
    out.resize(codec.Pack(in.data(), in.size(), out.data(), out.size()));
    return out;
}

Bytes unpack(const Bytes& payload, std::size_t length) {
    Bytes out(length, 0xCC);
    TLZHStream codec;
    codec.Unpack(payload.data(), payload.size(), out.data(), out.size());
    return out;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

} // namespace

// Streams worked out bit by bit from the initial tree, where node n's parent is 314 + n / 2
// and every node's bit is its parity.
TEST(LZHCode, SingleLiteralIsItsNineBitPathFromTheInitialTree) {
    // 'A' (65): nodes 625 623 619 610 592 557 487 346 65 give 1 1 1 0 0 1 1 0 1.
    const Bytes payload = {1, 0, 0, 0, 0xE6, 0x80};
    EXPECT_EQ(unpack(payload, 1), text("A"));
    EXPECT_EQ(pack(text("A")), payload);
}

TEST(LZHCode, FirstSymbolMayCopyFromTheInitialWindow) {
    // Length symbol 256 (3 bytes) is 10001100; position 0 is 000 000000: three spaces.
    EXPECT_EQ(unpack({3, 0, 0, 0, 0x8C, 0x00, 0x00}, 3), text("   "));
    // Position 4037 (upper 63: 11111111, lower 5: 000101) starts at ring index 4094: the two
    // never-written bytes before the write position, then a space from the wrap to index 0.
    EXPECT_EQ(unpack({3, 0, 0, 0, 0x8C, 0xFF, 0x14}, 3), (Bytes{0, 0, 0x20}));
}

TEST(LZHCode, MatchRunningPastTheCountIsCutThere) {
    // The three-byte copy of spaces with a count of 2.
    const Bytes got = unpack({2, 0, 0, 0, 0x8C, 0x00, 0x00}, 2);
    EXPECT_EQ(got, text("  "));
}

TEST(LZHCode, TruncatedPayloadReadsZerosAndStillFillsTheCount) {
    Bytes payload = pack(packingtest::smoothRecord(60, 20));
    payload.resize(payload.size() / 2);
    const std::size_t length = 4 + 60 * 20 * 4;
    const Bytes got = unpack(payload, length);
    EXPECT_EQ(got.size(), length);
    EXPECT_EQ(got, lzhref::Decode(payload));
    // Only the count: everything decodes from zero bits.
    EXPECT_EQ(unpack({5, 0, 0, 0}, 5), lzhref::Decode({5, 0, 0, 0}));
}

TEST(LZHCode, CountThatDiffersFromTheRecordLengthIsRefused) {
    const Bytes payload = pack(text("hello hello hello"));
    Bytes out(16);
    TLZHStream codec;
    EXPECT_THROW(codec.Unpack(payload.data(), payload.size(), out.data(), out.size()),
                 ElzhException);
    EXPECT_THROW(codec.Unpack(payload.data(), 2, out.data(), out.size()), ElzhException);
}

TEST(LZHCode, EmptyInputIsTheCountAlone) {
    EXPECT_EQ(pack({}), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(unpack({0, 0, 0, 0}, 0), Bytes{});
    EXPECT_EQ(unpack({}, 0), Bytes{});
}

TEST(LZHCode, LongRunStartsWithALiteralThenOverlappingMatches) {
    const Bytes run(1000, 'A');
    const Bytes payload = pack(run);
    // The literal 'A' first (111001101 ...), and the whole run in very few bytes.
    ASSERT_GE(payload.size(), 6u);
    EXPECT_EQ(payload[4], 0xE6);
    EXPECT_EQ(payload[5] & 0x80, 0x80);
    EXPECT_LT(payload.size(), 60u);
    EXPECT_EQ(unpack(payload, run.size()), run);
}

TEST(LZHCode, PackingThatDoesNotFitRaisesTheDesignedMessage) {
    const Bytes noise = packingtest::randomBytes(5000, 3);
    Bytes out(noise.size());
    TLZHStream codec;
    try {
        codec.Pack(noise.data(), noise.size(), out.data(), out.size());
        FAIL() << "random bytes packed smaller";
    } catch (const ElzhException& e) {
        EXPECT_STREQ(e.what(), "Compressed file is larger than the original.");
    }
    EXPECT_THROW(codec.Pack(noise.data(), 3, out.data(), 3), ElzhException);
}

// The fast codec against a plain transcription of the reference coder.
class LZHAgainstReference : public ::testing::TestWithParam<int> {};

Bytes referenceCase(int which) {
    switch (which) {
    case 0:
        return text("x");
    case 1:
        return text("abcabcabcabcabcabcabc, the quick brown fox jumps over the lazy dog");
    case 2:
        return Bytes(255, 7);
    case 3:
        return Bytes(256, 0x20); // the window's own fill value
    case 4:
        return packingtest::randomBytes(3000, 11);
    case 5:
        return packingtest::smoothRecord(491, 40); // many matches
    case 6:
        return packingtest::noisyRecord(300, 60, 5); // mostly literals, several rebuilds
    case 7: {
        // Long stretches of repeats and wraps of the window over many rebuilds.
        Bytes v = packingtest::randomBytes(70000, 17);
        for (std::size_t i = 0; i < v.size(); ++i)
            if ((i / 5000) % 2 == 0) v[i] = std::uint8_t(i % 61);
        return v;
    }
    case 8: {
        Bytes v(5000);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = std::uint8_t((i * i) >> 7);
        return v;
    }
    default:
        return Bytes(61, 0); // the mirror region and a short look-ahead
    }
}

TEST_P(LZHAgainstReference, EncoderBytesAndDecoderOutputAgree) {
    const Bytes input = referenceCase(GetParam());
    const Bytes expected = lzhref::Encode(input);
    Bytes out(expected.size() + 16);
    TLZHStream codec;
    const std::size_t n = codec.Pack(input.data(), input.size(), out.data(), out.size());
    out.resize(n);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(lzhref::Decode(expected), input);
    EXPECT_EQ(unpack(expected, input.size()), input);
}

INSTANTIATE_TEST_SUITE_P(Inputs, LZHAgainstReference, ::testing::Range(0, 10));

TEST(LZHCode, GarbagePayloadsDecodeLikeTheReference) {
    for (unsigned seed = 0; seed < 40; ++seed) {
        Bytes payload = packingtest::randomBytes(seed * 37, seed);
        const std::uint32_t count = 1 + seed * 1000;
        Bytes full(4 + payload.size());
        full[0] = std::uint8_t(count);
        full[1] = std::uint8_t(count >> 8);
        std::copy(payload.begin(), payload.end(), full.begin() + 4);
        EXPECT_EQ(unpack(full, count), lzhref::Decode(full)) << "seed " << seed;
    }
}
