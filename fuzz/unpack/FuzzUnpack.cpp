// Untrusted packed image streams into UnpackDIBData, and straight into a memory surface's own
// pixels, which must agree with it (the same record, or a refusal by both); the same bytes as a
// raw record through both compressors and back, which must give them back unchanged.

#include "toolkit/DIBLZH.h"
#include "toolkit/cDIB.h"
#include "toolkit/cDIBCompressor.h"
#include "toolkit/cDIBStandardCompressors.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Declared lengths between this and the refusal limit are legal but slow to fill; the fuzzer
// spends its time better on the stream's structure.
constexpr std::uint32_t kFuzzRawLimit = 1u << 20;

void unpackUntrusted(const std::uint8_t* data, std::size_t size) {
    if (size >= toolkit::kDIBHeaderLength && std::memcmp(data, "DIBCMP", 6) == 0) {
        const std::uint32_t length = std::uint32_t(data[22]) | (std::uint32_t(data[23]) << 8) |
                                     (std::uint32_t(data[24]) << 16) |
                                     (std::uint32_t(data[25]) << 24);
        if (length > kFuzzRawLimit && length <= toolkit::kMaxRawDIBLength) return;
    }
    runtime::TReadOnlyMemoryStream in(data, size);
    runtime::TMemoryStream out;
    bool refused = false;
    try {
        toolkit::UnpackDIBData(nullptr, in, out);
    } catch (const runtime::Exception&) {
        refused = true; // a clear refusal is a defined outcome
    }
    // A memory surface unpacks in place; the surface it makes is what the record says.
    runtime::TReadOnlyMemoryStream again(data, size);
    toolkit::TMemoryDIB surface;
    try {
        surface.ReadData(again);
    } catch (const runtime::Exception&) {
        if (!refused && out.Size() >= 4) {
            const std::uint8_t* r = out.Memory();
            const std::uint64_t w = r[0] | (r[1] << 8), h = r[2] | (r[3] << 8);
            if (w * h * 4 <= std::uint64_t(out.Size() - 4)) std::abort(); // a readable record
        }
        return;
    }
    if (size == 0) return; // an empty stream leaves the surface alone
    if (refused || out.Size() < 4) std::abort();
    const std::uint8_t* r = out.Memory();
    const int w = r[0] | (r[1] << 8), h = r[2] | (r[3] << 8);
    if (w == 0 || h == 0) return; // a cleared surface of at least 1 x 1
    if (surface.Width() != w || surface.Height() != h ||
        std::memcmp(static_cast<const toolkit::TMemoryDIB&>(surface).Bits(), r + 4,
                    std::size_t(w) * std::size_t(h) * 4) != 0)
        std::abort();
}

void roundTrip(const char* guid, const std::uint8_t* data, std::size_t size) {
    toolkit::SetCurrentDIBCompressor(toolkit::FindDIBCompressor(guid));
    runtime::TReadOnlyMemoryStream raw(data, size);
    runtime::TMemoryStream packed;
    toolkit::PackDIBData(nullptr, raw, packed);
    toolkit::SetCurrentDIBCompressor(nullptr);
    packed.SetPosition(0);
    runtime::TMemoryStream back;
    toolkit::UnpackDIBData(nullptr, packed, back);
    if (back.Size() != static_cast<std::int64_t>(size) ||
        (size > 0 && std::memcmp(back.Memory(), data, size) != 0))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unpackUntrusted(data, size);
    // Streams that start with the signature would not come back as raw bytes by design.
    if (size < toolkit::kDIBHeaderLength || std::memcmp(data, "DIBCMP", 6) != 0) {
        roundTrip(toolkit::kRLECompressorGUID, data, size);
        roundTrip(toolkit::kLZHCompressorGUID, data, size);
    }
    return 0;
}
