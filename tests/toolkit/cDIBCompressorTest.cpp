#include "toolkit/cDIBCompressor.h"
#include "toolkit/DIBLZH.h"
#include "toolkit/cDIBSettings.h"
#include "toolkit/cDIBStandardCompressors.h"

#include "PackingTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

using namespace toolkit;
using runtime::TMemoryStream;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::uint8_t kLZHStoredId[16] = {0xFC, 0x10, 0x0C, 0xBC, 0x45, 0xE0, 0xE7, 0x41,
                                       0xA3, 0x7C, 0xB8, 0x6A, 0xF2, 0x13, 0x20, 0xB8};

Bytes contents(TMemoryStream& s) {
    return Bytes(s.Memory(), s.Memory() + s.Size());
}

TMemoryStream streamOf(const Bytes& b) {
    TMemoryStream s;
    if (!b.empty()) s.WriteBuffer(b.data(), b.size());
    s.SetPosition(0);
    return s;
}

Bytes packWith(const char* guid, const Bytes& raw) {
    SetCurrentDIBCompressor(guid != nullptr ? FindDIBCompressor(guid) : nullptr);
    TMemoryStream in = streamOf(raw);
    TMemoryStream out;
    PackDIBData(nullptr, in, out);
    SetCurrentDIBCompressor(nullptr);
    return contents(out);
}

Bytes unpackAll(const Bytes& packed) {
    TMemoryStream in = streamOf(packed);
    TMemoryStream out;
    UnpackDIBData(nullptr, in, out);
    return contents(out);
}

Bytes header(const std::uint8_t* id, std::uint32_t length) {
    Bytes h = {'D', 'I', 'B', 'C', 'M', 'P'};
    h.insert(h.end(), id, id + 16);
    for (int i = 0; i < 4; ++i)
        h.push_back(std::uint8_t(length >> (8 * i)));
    return h;
}

Bytes rleId() {
    const auto b = runtime::StringToGUID(kRLECompressorGUID).ToBytes();
    return Bytes(b.begin(), b.end());
}

std::size_t rlePack(const Bytes& in, Bytes& out) {
    out.assign(in.size(), 0);
    return Shuffle4RLEPack(in.data(), in.size(), out.data());
}

} // namespace

TEST(DIBRegistry, StartsWithRunLengthThenLZHAndFindsByExactText) {
    ASSERT_GE(DIBCompressorCount(), 2);
    EXPECT_EQ(DIBCompressors(0)->GetDisplayName(), "Shuffle4 RLE");
    EXPECT_EQ(DIBCompressors(1)->GetDisplayName(), "DIB LZH");
    EXPECT_EQ(DIBCompressors(-1), nullptr);
    EXPECT_EQ(FindDIBCompressor("{BC0C10FC-E045-41E7-A37C-B86AF21320B8}"), DIBCompressors(1));
    EXPECT_EQ(FindDIBCompressor("{bc0c10fc-e045-41e7-a37c-b86af21320b8}"), nullptr);
    EXPECT_EQ(FindDIBCompressor(""), nullptr);
    EXPECT_EQ(CurrentDIBCompressor(), nullptr);
}

TEST(DIBRegistry, CompressorsDescribeThemselves) {
    TAbstractDIBCompressor* rle = DIBCompressors(0);
    TAbstractDIBCompressor* lzh = DIBCompressors(1);
    EXPECT_EQ(rle->GetDescription(),
              "Shuffle4 RLE\r\n\r\nShuffles the RGBA values from\r\nRGBA,RGBA,RGBA,RGBA to\r\n"
              "RRRR,GGGG,BBBB,AAAA\r\nin order to create higher repitition,\r\nand then performs "
              "a simple RLE compression");
    EXPECT_EQ(lzh->GetDescription(),
              "Uses LZH compression to compress the graphics,\r\nCompression is slow, "
              "decompression is not so slow, but the savings in size are very large.");
    runtime::TGUID id;
    lzh->GetGUID(id);
    EXPECT_EQ(0, std::memcmp(id.ToBytes().data(), kLZHStoredId, 16));
    EXPECT_TRUE(lzh->CanDecompress(id));
    EXPECT_FALSE(rle->CanDecompress(id));

    struct Bare : TAbstractDIBCompressor {
        void GetGUID(runtime::TGUID& g) const override { g = {}; }
        std::size_t Compress(TAbstractSuperDIB*, const std::uint8_t*, std::size_t,
                             std::uint8_t*) override {
            return 0;
        }
        void Decompress(TAbstractSuperDIB*, const runtime::TGUID&, const std::uint8_t*,
                        std::uint8_t*, std::size_t, std::size_t) override {}
        std::string GetDisplayName() const override { return "bare"; }
    } bare;
    EXPECT_EQ(bare.GetDescription(), "No information supplied");
    EXPECT_EQ(bare.GetAuthor(), "No information supplied");
    EXPECT_EQ(bare.GetAuthorEMail(), "");
    EXPECT_EQ(bare.GetWebsite(), "");
}

TEST(DIBSettings, ChoosesTheCurrentCompressorAndForgetsItWhenDestroyed) {
    {
        TDIBSettings settings(nullptr);
        EXPECT_EQ(settings.DIBCompressor(), "");
        settings.SetDIBCompressor(kLZHCompressorGUID);
        EXPECT_EQ(CurrentDIBCompressor(), FindDIBCompressor(kLZHCompressorGUID));
        EXPECT_EQ(settings.DIBCompressor(), kLZHCompressorGUID);
        settings.SetDIBCompressor("{00000000-0000-0000-0000-000000000000}");
        EXPECT_EQ(CurrentDIBCompressor(), nullptr);
        EXPECT_EQ(settings.DIBCompressor(), "");
        settings.SetDIBCompressor(kRLECompressorGUID);
        EXPECT_EQ(settings.DIBCompressor(), kRLECompressorGUID);
    }
    EXPECT_EQ(CurrentDIBCompressor(), nullptr);
}

TEST(DIBPacking, WithoutACompressorTheRecordIsWrittenRaw) {
    const Bytes raw = packingtest::smoothRecord(10, 10);
    EXPECT_EQ(packWith(nullptr, raw), raw);
}

TEST(DIBPacking, LZHWritesTheHeaderThenThePayloadAndUnpacksBack) {
    const Bytes raw = packingtest::smoothRecord(491, 12);
    const Bytes packed = packWith(kLZHCompressorGUID, raw);
    ASSERT_GT(packed.size(), 30u);
    ASSERT_LT(packed.size(), raw.size());
    const Bytes expectedHeader = header(kLZHStoredId, std::uint32_t(raw.size()));
    EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 26), expectedHeader);
    // The payload repeats the count.
    EXPECT_EQ(Bytes(packed.begin() + 26, packed.begin() + 30),
              Bytes(expectedHeader.begin() + 22, expectedHeader.end()));
    EXPECT_EQ(unpackAll(packed), raw);
}

TEST(DIBPacking, DataThatWillNotShrinkIsStoredRaw) {
    const Bytes noise = packingtest::randomBytes(4000, 9);
    EXPECT_EQ(packWith(kLZHCompressorGUID, noise), noise);
    EXPECT_EQ(packWith(kRLECompressorGUID, noise), noise);
    EXPECT_EQ(packWith(kLZHCompressorGUID, Bytes{}), Bytes{});
    EXPECT_EQ(packWith(kRLECompressorGUID, Bytes{}), Bytes{});
    EXPECT_EQ(packWith(kRLECompressorGUID, Bytes{5}), Bytes{5});
}

TEST(DIBPacking, PackingReadsFromTheRawStreamsPosition) {
    Bytes raw(400, 9);
    raw[0] = 1;
    TMemoryStream in = streamOf(raw);
    in.SetPosition(1);
    SetCurrentDIBCompressor(FindDIBCompressor(kRLECompressorGUID));
    TMemoryStream out;
    PackDIBData(nullptr, in, out);
    SetCurrentDIBCompressor(nullptr);
    EXPECT_EQ(unpackAll(contents(out)), Bytes(399, 9));
}

TEST(DIBUnpacking, ShortOrUnsignedDataIsTheRawRecord) {
    const Bytes shortPacked = Bytes{'D', 'I', 'B', 'C', 'M', 'P', 1, 2, 3};
    EXPECT_EQ(unpackAll(shortPacked), shortPacked);
    Bytes unsigned26(26, 'x');
    EXPECT_EQ(unpackAll(unsigned26), unsigned26);
    EXPECT_EQ(unpackAll({}), Bytes{});

    // From the source's position, not from its start.
    TMemoryStream in = streamOf(Bytes{0xAA, 0xBB, 1, 2, 3});
    in.SetPosition(2);
    TMemoryStream out;
    UnpackDIBData(nullptr, in, out);
    EXPECT_EQ(contents(out), (Bytes{1, 2, 3}));
}

TEST(DIBUnpacking, UnknownCompressorIsRefusedWithTheDesignedMessage) {
    const std::uint8_t unknown[16] = {1, 2, 3};
    Bytes packed = header(unknown, 10);
    packed.resize(40);
    try {
        unpackAll(packed);
        FAIL();
    } catch (const EDIBCompressError& e) {
        EXPECT_STREQ(e.what(), "Could not find a suitable decompressor.");
    }
}

TEST(DIBUnpacking, AbsurdDeclaredLengthIsRefusedBeforeAllocating) {
    Bytes packed = header(kLZHStoredId, 0xFFFFFFF0u);
    packed.insert(packed.end(), {0xF0, 0xFF, 0xFF, 0xFF});
    EXPECT_THROW(unpackAll(packed), EDIBCompressError);
    Bytes rle = header(rleId().data(), kMaxRawDIBLength + 1);
    EXPECT_THROW(unpackAll(rle), EDIBCompressError);
}

TEST(DIBUnpacking, HeaderLengthThatDisagreesWithTheLZHCountIsRefused) {
    const Bytes raw = packingtest::smoothRecord(20, 20);
    Bytes packed = packWith(kLZHCompressorGUID, raw);
    packed[22] ^= 1;
    TMemoryStream in = streamOf(packed);
    TMemoryStream out;
    out.WriteUInt16LE(0xABCD);
    EXPECT_THROW(UnpackDIBData(nullptr, in, out), ElzhException);
    // The target keeps what it had, and nothing more.
    EXPECT_EQ(contents(out), (Bytes{0xCD, 0xAB}));
    EXPECT_EQ(out.Position(), 2);
}

TEST(DIBUnpacking, WritesAtTheTargetsPositionWhateverTheStreamKind) {
    const Bytes raw = packingtest::smoothRecord(30, 7);
    const Bytes packed = packWith(kLZHCompressorGUID, raw);
    TMemoryStream in = streamOf(packed);
    TMemoryStream out;
    out.WriteUInt32LE(0x01020304);
    UnpackDIBData(nullptr, in, out);
    EXPECT_EQ(out.Position(), std::int64_t(4 + raw.size()));
    const Bytes got = contents(out);
    EXPECT_EQ(Bytes(got.begin() + 4, got.end()), raw);

    // A stream that is not a memory stream takes the record through WriteBuffer.
    struct Sink : runtime::TStream {
        Bytes data;
        std::size_t Read(void*, std::size_t) override { return 0; }
        std::size_t Write(const void* b, std::size_t n) override {
            auto* p = static_cast<const std::uint8_t*>(b);
            data.insert(data.end(), p, p + n);
            return n;
        }
        std::int64_t Seek(std::int64_t, runtime::TSeekOrigin) override {
            return std::int64_t(data.size());
        }
    } sink;
    in.SetPosition(0);
    UnpackDIBData(nullptr, in, sink);
    EXPECT_EQ(sink.data, raw);
}

TEST(DIBUnpacking, TheLastRegisteredCompressorForAnIdentifierWins) {
    // The registry keeps it for the rest of the program: it counts into a static.
    static int calls = 0;
    struct CountingRLE : TRLEDIBCompressor {
        void Decompress(TAbstractSuperDIB* image, const runtime::TGUID& id, const std::uint8_t* s,
                        std::uint8_t* d, std::size_t sl, std::size_t dl) override {
            ++calls;
            TRLEDIBCompressor::Decompress(image, id, s, d, sl, dl);
        }
    };
    auto mine = std::make_unique<CountingRLE>();
    TAbstractDIBCompressor* added = mine.get();
    RegisterDIBCompressor(std::move(mine));
    EXPECT_EQ(FindDIBCompressor(kRLECompressorGUID), added);
    const Bytes raw(64, 3);
    const Bytes packed = packWith(kRLECompressorGUID, raw);
    EXPECT_EQ(unpackAll(packed), raw);
    EXPECT_EQ(calls, 1);
}

TEST(Shuffle4RLE, RunOf255ThenADifferentByteIsTwoPairs) {
    Bytes in(256, 'v');
    in[255] = 'w'; // the last byte of the alpha plane
    Bytes out;
    ASSERT_EQ(rlePack(in, out), 4u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{255, 'v', 1, 'w'}));
    Bytes run256(256, 'v');
    ASSERT_EQ(rlePack(run256, out), 4u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{255, 'v', 1, 'v'}));
}

TEST(Shuffle4RLE, PlanesAreTakenEveryFourthByte) {
    const Bytes in = {1, 2, 3, 4, 1, 2, 3, 4};
    Bytes out;
    // Four runs of two: exactly the budget of length / 2 pairs, so the payload equals length.
    ASSERT_EQ(rlePack(in, out), 8u);
    EXPECT_EQ(out, (Bytes{2, 1, 2, 2, 2, 3, 2, 4}));
    Bytes back(8);
    Shuffle4RLEUnpack(out.data(), 8, back.data(), 8);
    EXPECT_EQ(back, in);
}

TEST(Shuffle4RLE, AllDifferentBytesDoNotFit) {
    Bytes in(256);
    for (int i = 0; i < 256; ++i)
        in[i] = std::uint8_t(i);
    Bytes out;
    EXPECT_EQ(rlePack(in, out), 0u);
    EXPECT_EQ(rlePack(Bytes{7}, out), 0u);
}

TEST(Shuffle4RLE, LengthsThatAreNotAMultipleOfFourKeepTheirLastBytes) {
    for (std::size_t n = 2; n < 12; ++n) {
        Bytes in(n, 0);
        in[n - 1] = 5; // the tail byte for every n that is not a multiple of 4
        Bytes out;
        const std::size_t packed = rlePack(in, out);
        if (packed == 0) continue; // too short to shrink
        Bytes back(n, 0xEE);
        Shuffle4RLEUnpack(out.data(), packed, back.data(), n);
        EXPECT_EQ(back, in) << n;
    }
    const Bytes seven = {1, 2, 3, 4, 9, 9, 9};
    Bytes planes;
    const Bytes row(700, 0);
    Bytes big = row;
    big.insert(big.end(), seven.begin(), seven.end());
    ASSERT_GT(rlePack(big, planes), 0u);
    Bytes back(big.size());
    Shuffle4RLEUnpack(planes.data(), rlePack(big, planes), back.data(), back.size());
    EXPECT_EQ(back, big);
}

TEST(Shuffle4RLE, UnpackingCutsOverlongPairsAndZeroFillsShortOnes) {
    // (255, 9) into 8 bytes: every byte 9, nothing written past the end.
    Bytes big(12, 0x77);
    Shuffle4RLEUnpack(Bytes{255, 9}.data(), 2, big.data(), 8);
    EXPECT_EQ(big, (Bytes{9, 9, 9, 9, 9, 9, 9, 9, 0x77, 0x77, 0x77, 0x77}));
    // Pairs for 2 of 8 bytes, and an odd trailing byte that is ignored.
    Bytes part(8, 0x77);
    Shuffle4RLEUnpack(Bytes{2, 9, 4}.data(), 3, part.data(), 8);
    EXPECT_EQ(part, (Bytes{9, 0, 0, 0, 9, 0, 0, 0}));
}

TEST(Shuffle4RLE, ImageRecordsRoundTripThroughTheContainer) {
    const Bytes raw = packingtest::smoothRecord(64, 32);
    const Bytes packed = packWith(kRLECompressorGUID, raw);
    ASSERT_LT(packed.size(), raw.size());
    EXPECT_EQ(Bytes(packed.begin() + 6, packed.begin() + 22), rleId());
    EXPECT_EQ(unpackAll(packed), raw);
}

namespace {

/// Reads whatever bytes it was given, without being a memory stream.
struct PlainStream : runtime::TStream {
    explicit PlainStream(Bytes bytes) : data(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = std::min(count, data.size() - std::min(at, data.size()));
        if (n > 0) std::memcpy(buffer, data.data() + at, n);
        at += n;
        return n;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, runtime::TSeekOrigin origin) override {
        if (origin == runtime::TSeekOrigin::soBeginning) at = std::size_t(offset);
        if (origin == runtime::TSeekOrigin::soCurrent) at += std::size_t(offset);
        if (origin == runtime::TSeekOrigin::soEnd) at = data.size() + std::size_t(offset);
        return std::int64_t(at);
    }
    Bytes data;
    std::size_t at = 0;
};

/// The record unpacked in place from a stream positioned at `from`: asks its length (which must
/// not move the stream), then unpacks exactly that many bytes.
Bytes unpackInPlace(runtime::TStream& in, std::int64_t from) {
    in.SetPosition(from);
    const std::size_t length = UnpackedDIBLength(in);
    EXPECT_EQ(in.Position(), from) << "asking the length moves nothing";
    Bytes out(length, 0xEE);
    UnpackDIBDataTo(nullptr, in, out.data(), out.size());
    EXPECT_EQ(in.Position(), in.Size()) << "the whole stream is read";
    return out;
}

} // namespace

// Every kind of stream a surface reads from (owning and viewing memory streams, which are read
// where they lie, and other streams, which are copied): packed either way or raw, from the
// stream's position, the same record as UnpackDIBData gives.
TEST(DIBUnpacking, InPlaceGivesTheSameRecordFromEveryKindOfStream) {
    const Bytes raw = packingtest::smoothRecord(30, 7);
    for (const Bytes& stored :
         {packWith(kLZHCompressorGUID, raw), packWith(kRLECompressorGUID, raw), raw}) {
        Bytes prefixed{1, 2, 3};
        prefixed.insert(prefixed.end(), stored.begin(), stored.end());
        TMemoryStream owning = streamOf(prefixed);
        EXPECT_EQ(unpackInPlace(owning, 3), raw) << stored.size();
        runtime::TReadOnlyMemoryStream viewing(prefixed.data(), prefixed.size());
        EXPECT_EQ(unpackInPlace(viewing, 3), raw) << stored.size();
        PlainStream plain(prefixed);
        EXPECT_EQ(unpackInPlace(plain, 3), raw) << stored.size();
        EXPECT_EQ(unpackAll(stored), raw) << stored.size();
    }
}

TEST(DIBUnpacking, InPlaceRefusesAnotherLengthAndTheLengthQueryRefusesAsUnpacking) {
    const Bytes raw = packingtest::smoothRecord(9, 4);
    for (const Bytes& stored : {packWith(kLZHCompressorGUID, raw), raw}) {
        TMemoryStream in = streamOf(stored);
        Bytes out(raw.size() + 1);
        EXPECT_THROW(UnpackDIBDataTo(nullptr, in, out.data(), out.size()), EDIBCompressError);
    }
    const std::uint8_t unknown[16] = {1, 2, 3};
    Bytes packed = header(unknown, 10);
    packed.resize(40);
    TMemoryStream in = streamOf(packed);
    EXPECT_THROW(UnpackedDIBLength(in), EDIBCompressError);
    EXPECT_EQ(in.Position(), 0);
    TMemoryStream absurd = streamOf(header(kLZHStoredId, kMaxRawDIBLength + 1));
    EXPECT_THROW(UnpackedDIBLength(absurd), EDIBCompressError);
}
