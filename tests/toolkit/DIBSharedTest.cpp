// Pictures unpacked straight into pixel blocks, kept by one memory surface or shown read-only by
// many: whatever changes a surface's pixels copies a shared picture first, so that every other
// surface showing it keeps it.
#include "toolkit/cDIB.h"
#include "toolkit/cDIBCompressor.h"
#include "toolkit/cDIBStandardCompressors.h"

#include "runtime/Streams.h"

#include "PackingTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace toolkit;
using Bytes = std::vector<std::uint8_t>;

namespace {

/// A raw record, packed with the compressor `guid` (none: raw).
Bytes stored(const Bytes& record, const char* guid) {
    TAbstractDIBCompressor* const before = CurrentDIBCompressor();
    SetCurrentDIBCompressor(guid != nullptr ? FindDIBCompressor(guid) : nullptr);
    runtime::TReadOnlyMemoryStream in(record.data(), record.size());
    runtime::TMemoryStream out;
    PackDIBData(nullptr, in, out);
    SetCurrentDIBCompressor(before);
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

/// Width, height and the pixels of a record.
Bytes record(int width, int height, const Bytes& pixels) {
    Bytes r(4 + pixels.size());
    r[0] = std::uint8_t(width);
    r[1] = std::uint8_t(width >> 8);
    r[2] = std::uint8_t(height);
    r[3] = std::uint8_t(height >> 8);
    std::copy(pixels.begin(), pixels.end(), r.begin() + 4);
    return r;
}

/// The surface's pixels, read without asking for writable ones.
Bytes pixelsOf(const TAbstractSuperDIB& d) {
    const std::uint8_t* p = d.Bits();
    return p ? Bytes(p, p + std::size_t(d.Width()) * d.Height() * 4) : Bytes{};
}

Bytes pixelsOf(const Bytes& record) {
    return Bytes(record.begin() + 4, record.end());
}

std::uint32_t pixelAt(const TAbstractSuperDIB& d, int x, int y) {
    std::uint32_t v;
    std::memcpy(&v, d.RowPointer(y) + x * 4, 4);
    return v;
}

const Bytes& picture() {
    static const Bytes r = packingtest::smoothRecord(30, 7);
    return r;
}

} // namespace

TEST(DIBSharedPicture, SurfacesShowingAPictureReadTheOnePixelBlock) {
    const TDIBSharedPicture p = UnpackDIBPicture(stored(picture(), kLZHCompressorGUID));
    ASSERT_EQ(p.Width, 30);
    ASSERT_EQ(p.Height, 7);
    TMemoryDIB a, b(5, 5);
    int changes = 0;
    a.OnChange = [&](runtime::TPersistent*) { ++changes; };
    a.SharePicture(p);
    b.SharePicture(p);
    EXPECT_EQ(changes, 1);
    for (const TMemoryDIB* d : {&a, &b}) {
        EXPECT_EQ(d->Width(), 30);
        EXPECT_EQ(d->Height(), 7);
        EXPECT_TRUE(d->PixelsShared());
        EXPECT_EQ(d->Bits(), p.Pixels->Pixels()) << "no copy";
        EXPECT_EQ(pixelsOf(*d), pixelsOf(picture()));
    }
    // Reading, drawing from and storing a shared picture copies nothing.
    TMemoryDIB target(30, 7);
    a.Draw(0, 0, 30, 7, target);
    EXPECT_EQ(a.TransparentColor(), platform::SwapRedBlue(pixelAt(a, 0, 6) & 0xFFFFFF));
    runtime::TMemoryStream data;
    a.WriteData(data);
    EXPECT_TRUE(a.PixelsShared());
    EXPECT_EQ(std::as_const(a).Bits(), p.Pixels->Pixels());
}

// Each way of writing pixels, on one of two surfaces showing a picture: the writer gets a copy
// (with the picture where the write did not reach), the other keeps the picture itself.
TEST(DIBSharedPicture, EveryWriteCopiesThePictureFirstAndTheOtherHoldersKeepIt) {
    const TDIBSharedPicture p = UnpackDIBPicture(picture());
    const std::uint32_t mark = 0x12345678;
    TMemoryDIB small(2, 2);
    small.Fill(0x00FF00);
    const Bytes sameSize = record(30, 7, Bytes(30 * 7 * 4, 0x5A));
    const std::vector<std::pair<std::string, std::function<void(TMemoryDIB&)>>> writes = {
        {"RowPointer", [&](TMemoryDIB& d) { std::memcpy(d.RowPointer(3) + 8, &mark, 4); }},
        {"Bits", [&](TMemoryDIB& d) { std::memcpy(d.Bits() + (3 * 30 + 2) * 4, &mark, 4); }},
        {"FillRect", [](TMemoryDIB& d) { d.FillRect(0x0000FF, 2, 3, 1, 1); }},
        {"Draw onto it", [&](TMemoryDIB& d) { small.Draw(2, 3, 1, 1, d); }},
        {"SetAlpha", [](TMemoryDIB& d) { d.SetAlpha(3); }},
        {"StretchFrom", [&](TMemoryDIB& d) { d.StretchFrom(small); }},
        {"Assign", [&](TMemoryDIB& d) { d.Assign(&small); }},
        {"ReadRecord", [&](TMemoryDIB& d) { d.ReadRecord(sameSize.data(), sameSize.size()); }},
        {"ReadData",
         [&](TMemoryDIB& d) {
             runtime::TReadOnlyMemoryStream in(sameSize.data(), sameSize.size());
             d.ReadData(in);
         }},
    };
    for (const auto& [name, write] : writes) {
        TMemoryDIB writer, other;
        writer.SharePicture(p);
        other.SharePicture(p);
        const Bytes before = pixelsOf(writer);
        write(writer);
        EXPECT_FALSE(writer.PixelsShared()) << name;
        EXPECT_NE(std::as_const(writer).Bits(), p.Pixels->Pixels()) << name;
        EXPECT_NE(pixelsOf(writer), before) << name << ": the write is in the copy";
        EXPECT_TRUE(other.PixelsShared()) << name;
        EXPECT_EQ(pixelsOf(other), pixelsOf(picture())) << name;
    }
    // Writes that reach one pixel keep the picture everywhere else.
    for (std::size_t k = 0; k < 4; ++k) {
        TMemoryDIB writer;
        writer.SharePicture(p);
        writes[k].second(writer);
        Bytes expected = pixelsOf(picture());
        Bytes got = pixelsOf(writer);
        const std::size_t at = (std::size_t(6 - 3) * 30 + 2) * 4; // (2, 3), rows bottom-up
        std::memset(expected.data() + at, 0, 4);
        std::memset(got.data() + at, 0, 4);
        EXPECT_EQ(got, expected) << writes[k].first;
    }
}

TEST(DIBSharedPicture, ABorrowerOfASharingSurfaceFollowsTheCopyItsWriteMakes) {
    const TDIBSharedPicture p = UnpackDIBPicture(picture());
    TMemoryDIB lender, other, scratch;
    lender.SharePicture(p);
    other.SharePicture(p);
    scratch.ShareFrom(lender);
    EXPECT_TRUE(scratch.PixelsShared());
    EXPECT_EQ(std::as_const(scratch).Bits(), p.Pixels->Pixels());

    const std::uint32_t mark = 0xCAFEF00D;
    std::memcpy(scratch.RowPointer(0), &mark, 4);
    EXPECT_FALSE(lender.PixelsShared());
    EXPECT_EQ(std::as_const(scratch).Bits(), std::as_const(lender).Bits())
        << "the borrower follows its lender's copy";
    EXPECT_EQ(pixelAt(lender, 0, 0), mark);
    EXPECT_EQ(pixelsOf(other), pixelsOf(picture()));

    // A lender assigned from its own borrower keeps its pixels, shared or not.
    TMemoryDIB lender2, scratch2;
    lender2.SharePicture(p);
    scratch2.ShareFrom(lender2);
    lender2.Assign(&scratch2);
    EXPECT_EQ(pixelsOf(lender2), pixelsOf(picture()));
    EXPECT_FALSE(lender2.PixelsShared());
}

TEST(DIBSharedPicture, ThePixelsGoWithTheirLastHolder) {
    TDIBSharedPicture p = UnpackDIBPicture(picture());
    const std::weak_ptr<const TDIBPixelBlock> block = p.Pixels;
    auto a = std::make_unique<TMemoryDIB>();
    TMemoryDIB b;
    a->SharePicture(p);
    b.SharePicture(p);
    p = {};
    a.reset();
    EXPECT_FALSE(block.expired());
    EXPECT_EQ(pixelsOf(b), pixelsOf(picture()));
    b.SetSize(3, 3);
    EXPECT_TRUE(block.expired());
}

TEST(DIBSharedPicture, APictureWithoutThePixelsOfItsSizeIsRefusedAndChangesNothing) {
    TMemoryDIB d(2, 2);
    d.Fill(0x010203);
    const Bytes before = pixelsOf(d);
    const TDIBSharedPicture none;
    const TDIBSharedPicture small{std::make_shared<TDIBPixelBlock>(15), 2, 2};
    const TDIBSharedPicture empty{std::make_shared<TDIBPixelBlock>(16), 0, 4};
    for (const TDIBSharedPicture* p : {&none, &small, &empty}) {
        EXPECT_THROW(d.SharePicture(*p), EDIBError);
        EXPECT_EQ(d.Width(), 2);
        EXPECT_EQ(pixelsOf(d), before);
    }
}

// A memory surface unpacks straight into its own block; a system surface (TWinDIB) still goes
// through a record and a copy. Both must show the same for every stored form and odd record.
TEST(DIBReadDataInPlace, AMemorySurfaceShowsWhatTheCopyingPathShows) {
    Bytes trailing = picture();
    trailing.insert(trailing.end(), {9, 9, 9});
    const Bytes noWidth{0, 0, 5, 0}; // width 0, height 5: a cleared 1 x 5
    for (const Bytes* r : std::initializer_list<const Bytes*>{&picture(), &trailing, &noWidth})
        for (const char* guid :
             {kLZHCompressorGUID, kRLECompressorGUID, static_cast<const char*>(nullptr)}) {
            const Bytes s = stored(*r, guid);
            runtime::TReadOnlyMemoryStream in(s.data(), s.size());
            TMemoryDIB inPlace(3, 3);
            inPlace.ReadData(in);
            EXPECT_EQ(in.Position(), in.Size());
            in.SetPosition(0);
            TWinDIB copied;
            copied.ReadData(in);
            const TDIBSharedPicture shared = UnpackDIBPicture(s);
            const std::string what = std::to_string(r->size()) + (guid ? guid : " raw");
            ASSERT_EQ(inPlace.Width(), copied.Width()) << what;
            ASSERT_EQ(inPlace.Height(), copied.Height()) << what;
            EXPECT_EQ(pixelsOf(inPlace), pixelsOf(copied)) << what;
            EXPECT_FALSE(inPlace.PixelsShared()) << what;
            ASSERT_EQ(shared.Width, copied.Width()) << what;
            ASSERT_EQ(shared.Height, copied.Height()) << what;
            EXPECT_EQ(std::memcmp(shared.Pixels->Pixels(), copied.Bits(), pixelsOf(copied).size()),
                      0)
                << what;
        }
}

TEST(DIBReadDataInPlace, ShortOrDamagedRecordsAreRefusedAndLeaveTheSurfaceAsItWas) {
    const Bytes shortRecord = record(100, 100, Bytes(16, 1));
    Bytes damaged = stored(picture(), kLZHCompressorGUID);
    damaged[22] ^= 1; // the declared length disagrees with the payload's own count
    const Bytes tiny{7, 0};
    for (const Bytes* s : std::initializer_list<const Bytes*>{&shortRecord, &damaged, &tiny}) {
        TMemoryDIB d(2, 2);
        d.Fill(0x0A0B0C);
        const Bytes before = pixelsOf(d);
        runtime::TReadOnlyMemoryStream in(s->data(), s->size());
        EXPECT_THROW(d.ReadData(in), runtime::Exception) << s->size();
        EXPECT_EQ(d.Width(), 2);
        EXPECT_EQ(pixelsOf(d), before);
        EXPECT_THROW(UnpackDIBPicture(*s), runtime::Exception) << s->size();
    }
}

// As when the record was copied into the same buffer: a read of the same size keeps borrowers
// and a partial clip rectangle, a borrower's read writes its lender's pixels, and another size
// takes the borrowed pixels away.
TEST(DIBReadDataInPlace, BorrowersAndTheClipFollowAReadOfTheSameSizeOnly) {
    TMemoryDIB lender(30, 7), borrower;
    lender.Fill(0);
    lender.SetClipRect({1, 1, 5, 5});
    borrower.ShareFrom(lender);
    const Bytes s = stored(picture(), kLZHCompressorGUID);
    runtime::TReadOnlyMemoryStream in(s.data(), s.size());
    lender.ReadData(in);
    ASSERT_TRUE(borrower.HasPixels());
    EXPECT_EQ(pixelsOf(borrower), pixelsOf(picture()));
    EXPECT_EQ(lender.ClipRect(), (platform::TRect{1, 1, 5, 5}));

    // A borrower that reads a record of its size writes its lender's pixels, as it always did.
    const Bytes grey = record(30, 7, Bytes(30 * 7 * 4, 0x77));
    runtime::TReadOnlyMemoryStream in3(grey.data(), grey.size());
    borrower.ReadData(in3);
    EXPECT_EQ(std::as_const(borrower).Bits(), std::as_const(lender).Bits());
    EXPECT_EQ(pixelsOf(lender), pixelsOf(grey));

    const Bytes other = record(4, 4, Bytes(64, 3));
    runtime::TReadOnlyMemoryStream in2(other.data(), other.size());
    lender.ReadData(in2);
    EXPECT_FALSE(borrower.HasPixels());
    EXPECT_EQ(lender.ClipRect(), (platform::TRect{1, 1, 3, 3}));
}
