// The stored `Data` property of a surface: the raw record (width, height, pixels), packed; and
// pictures unpacked straight into pixel blocks, kept by memory surfaces or shared among them.
#include "toolkit/cDIBKernels.h"

#include "runtime/Streams.h"
#include "toolkit/cDIBCompressor.h"

#include <cstring>

namespace toolkit {

using namespace dib;

namespace {

/// A stream's record unpacked into a block whose pixels follow the record's header.
struct UnpackedRecord {
    std::unique_ptr<TDIBPixelBlock> block;
    std::size_t length = 0; ///< of the whole record
    int width = 0, height = 0;

    /// The pixel bytes the header asks for; raises EDIBError when the record holds fewer.
    std::size_t pixelBytes() const {
        const auto bytes =
            static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4u;
        if (length < 4 || length - 4 < bytes) throw EDIBError("Image data is too short");
        return static_cast<std::size_t>(bytes);
    }
};

UnpackedRecord unpackRecord(TAbstractSuperDIB* image, runtime::TStream& stream) {
    UnpackedRecord r;
    r.length = UnpackedDIBLength(stream);
    r.block =
        runtime::AllocateOrRaise<EDIBCompressError>("Not enough memory to unpack the image.", [&] {
            return std::make_unique<TDIBPixelBlock>(std::max<std::size_t>(r.length, 4) - 4);
        });
    UnpackDIBDataTo(image, stream, r.block->Record(), r.length);
    if (r.length >= 4) {
        const std::uint8_t* header = r.block->Record();
        r.width = header[0] | (header[1] << 8);
        r.height = header[2] | (header[3] << 8);
    }
    return r;
}

} // namespace

void TAbstractSuperDIB::WriteData(runtime::TStream& stream) {
    if (pixels_ == nullptr) return; // a surface without pixels stores no Data
    runtime::TMemoryStream raw;
    raw.WriteUInt16LE(width_);
    raw.WriteUInt16LE(height_);
    raw.WriteBuffer(pixels_, byteCount());
    raw.SetPosition(0);
    PackDIBData(this, raw, stream);
}

void TAbstractSuperDIB::ReadData(runtime::TStream& stream) {
    runtime::TMemoryStream raw;
    UnpackDIBData(this, stream, raw);
    ReadRecord(raw.Memory(), static_cast<std::size_t>(raw.Size()));
}

void TAbstractSuperDIB::ReadRecord(const std::uint8_t* record, std::size_t size) {
    if (size < 4) throw EDIBError("Image data is too short");
    const int w = record[0] | (record[1] << 8);
    const int h = record[2] | (record[3] << 8);
    const auto bytes = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) * 4u;
    // Checked before anything changes: a short record leaves the surface as it was.
    if (size - 4 < bytes) throw EDIBError("Image data is too short");
    SetSize(w, h);
    ensureWritable(false);
    if (bytes == 0)
        std::memset(pixels_, 0, byteCount());
    else
        std::memcpy(pixels_, record + 4, static_cast<std::size_t>(bytes));
    Changed();
}

void TCustomMemoryDIB::ReadData(runtime::TStream& stream) {
    if (stream.Remaining() == 0) return;
    UnpackedRecord r = unpackRecord(this, stream);
    // A record without pixels makes a cleared surface of at least 1 x 1, and a borrower of the
    // record's size writes its lender's pixels: ReadRecord's rules.
    if (r.pixelBytes() == 0 || Borrowing()) {
        ReadRecord(r.block->Record(), r.length);
        return;
    }
    replacePixels(r.width, r.height, nullptr, [&] {
        block_ = std::move(r.block);
        return block_->Pixels();
    });
    Changed();
}

void TCustomMemoryDIB::WriteData(runtime::TStream& stream) {
    if (!StoreData) return;
    TAbstractSuperDIB::WriteData(stream);
}

void TCustomMemoryDIB::SharePicture(const TDIBSharedPicture& picture) {
    const auto bytes =
        static_cast<std::uint64_t>(picture.Width) * std::uint64_t(picture.Height) * 4u;
    if (!picture.Pixels || picture.Width < 1 || picture.Height < 1 || picture.Width > kMaxSide ||
        picture.Height > kMaxSide || picture.Pixels->PixelBytes() < bytes)
        throw EDIBError("The picture has not the pixels of its size");
    replacePixels(picture.Width, picture.Height, picture.Pixels, nullptr);
    Changed();
}

TDIBSharedPicture UnpackDIBPicture(std::span<const std::uint8_t> stream) {
    runtime::TReadOnlyMemoryStream source(stream.data(), stream.size());
    UnpackedRecord r = unpackRecord(nullptr, source);
    if (r.pixelBytes() > 0) return {std::move(r.block), r.width, r.height};
    // As ReadRecord makes it: cleared pixels, at least 1 x 1.
    TDIBSharedPicture cleared{nullptr, std::max(r.width, 1), std::max(r.height, 1)};
    auto block = std::make_unique<TDIBPixelBlock>(std::size_t(cleared.Width) * cleared.Height * 4);
    std::memset(block->Pixels(), 0, block->PixelBytes());
    cleared.Pixels = std::move(block);
    return cleared;
}

} // namespace toolkit
