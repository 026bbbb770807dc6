// The stored `Data` property of a surface: the raw record (width, height, pixels), packed.
#include "toolkit/cDIB.h"

#include "runtime/Streams.h"
#include "toolkit/cDIBCompressor.h"

#include <cstring>

namespace toolkit {

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
    if (bytes == 0)
        std::memset(pixels_, 0, byteCount());
    else
        std::memcpy(pixels_, record + 4, static_cast<std::size_t>(bytes));
    Changed();
}

void TCustomMemoryDIB::ReadData(runtime::TStream& stream) {
    if (stream.Remaining() == 0) return;
    TAbstractSuperDIB::ReadData(stream);
}

void TCustomMemoryDIB::WriteData(runtime::TStream& stream) {
    if (!StoreData) return;
    TAbstractSuperDIB::WriteData(stream);
}

} // namespace toolkit
