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
    raw.SetPosition(0);
    if (raw.Size() < 4) throw EDIBError("Image data is too short");
    const int w = raw.ReadUInt16LE();
    const int h = raw.ReadUInt16LE();
    const auto bytes = static_cast<std::int64_t>(w) * h * 4;
    // Checked before anything changes: a short record leaves the surface as it was.
    if (raw.Remaining() < bytes) throw EDIBError("Image data is too short");
    SetSize(w, h);
    if (bytes == 0)
        std::memset(pixels_, 0, byteCount());
    else
        raw.ReadBuffer(pixels_, static_cast<std::size_t>(bytes));
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
