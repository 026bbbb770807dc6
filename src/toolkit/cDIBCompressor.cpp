#include "toolkit/cDIBCompressor.h"

#include "toolkit/cDIBStandardCompressors.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace toolkit {

namespace {

constexpr char kSignature[6] = {'D', 'I', 'B', 'C', 'M', 'P'};

struct Registry {
    std::vector<std::unique_ptr<TAbstractDIBCompressor>> compressors;
    TAbstractDIBCompressor* current = nullptr;
};

// The standard compressors join when the registry is first used rather than from a static
// initialiser of their own unit: the linker drops unreferenced objects of a static library.
Registry& registry() {
    static Registry instance = [] {
        Registry r;
        r.compressors.push_back(std::make_unique<TRLEDIBCompressor>());
        r.compressors.push_back(std::make_unique<TLZHDIBCompressor>());
        return r;
    }();
    return instance;
}

std::vector<std::uint8_t> allocate(std::size_t length) {
    return runtime::AllocateOrRaise<EDIBCompressError>(
        [length] {
            return "Not enough memory for an image record of " + std::to_string(length) + " bytes.";
        },
        [length] { return std::vector<std::uint8_t>(length); });
}

std::size_t remainingBytes(runtime::TStream& stream) {
    const std::int64_t n = stream.Remaining();
    if (static_cast<std::uint64_t>(n) > std::numeric_limits<std::size_t>::max())
        throw EDIBCompressError("Image data too large for this build.");
    return static_cast<std::size_t>(n);
}

} // namespace

bool TAbstractDIBCompressor::CanDecompress(const runtime::TGUID& identifier) const {
    runtime::TGUID own;
    GetGUID(own);
    return runtime::GUIDToString(identifier) == runtime::GUIDToString(own);
}

void RegisterDIBCompressor(std::unique_ptr<TAbstractDIBCompressor> compressor) {
    if (compressor) registry().compressors.push_back(std::move(compressor));
}

TAbstractDIBCompressor* FindDIBCompressor(std::string_view text) {
    auto& list = registry().compressors;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        runtime::TGUID id;
        (*it)->GetGUID(id);
        if (runtime::GUIDToString(id) == text) return it->get();
    }
    return nullptr;
}

int DIBCompressorCount() {
    return static_cast<int>(registry().compressors.size());
}

TAbstractDIBCompressor* DIBCompressors(int index) {
    auto& list = registry().compressors;
    if (index < 0 || index >= static_cast<int>(list.size())) return nullptr;
    return list[static_cast<std::size_t>(index)].get();
}

TAbstractDIBCompressor* CurrentDIBCompressor() {
    return registry().current;
}

void SetCurrentDIBCompressor(TAbstractDIBCompressor* compressor) {
    registry().current = compressor;
}

void PackDIBData(TAbstractSuperDIB* image, runtime::TStream& raw, runtime::TStream& target) {
    const std::size_t n = remainingBytes(raw);
    TAbstractDIBCompressor* compressor = CurrentDIBCompressor();
    // The header holds the length in 32 bits: a longer record can only be stored raw.
    if (compressor == nullptr || n > std::numeric_limits<std::uint32_t>::max()) {
        target.CopyFrom(raw, static_cast<std::int64_t>(n));
        return;
    }
    std::vector<std::uint8_t> source = allocate(n);
    if (n > 0) raw.ReadBuffer(source.data(), n);
    std::vector<std::uint8_t> packed = allocate(n);
    const std::size_t payload = compressor->Compress(image, source.data(), n, packed.data());
    if (payload == 0 || payload > n) {
        if (n > 0) target.WriteBuffer(source.data(), n);
        return;
    }
    runtime::TGUID id;
    compressor->GetGUID(id);
    target.WriteBuffer(kSignature, sizeof kSignature);
    target.WriteBuffer(id.ToBytes().data(), 16);
    target.WriteUInt32LE(static_cast<std::uint32_t>(n));
    target.WriteBuffer(packed.data(), payload);
}

namespace {

/// What a stream holds from its position: a raw record, or a packed one read up to its payload.
struct StreamHead {
    bool packed = false;
    TAbstractDIBCompressor* decompressor = nullptr;
    runtime::TGUID id;
    std::uint32_t rawLength = 0;
};

/// Reads the header of a packed stream (a raw record leaves the position where it was).
StreamHead readHead(runtime::TStream& source) {
    const std::int64_t start = source.Position();
    StreamHead head;
    std::uint8_t header[kDIBHeaderLength];
    if (source.Remaining() >= static_cast<std::int64_t>(kDIBHeaderLength)) {
        source.ReadBuffer(header, sizeof kSignature);
        head.packed = std::memcmp(header, kSignature, sizeof kSignature) == 0;
        if (head.packed)
            source.ReadBuffer(header + sizeof kSignature, kDIBHeaderLength - sizeof kSignature);
        else
            source.SetPosition(start);
    }
    if (!head.packed) return head;
    head.id = runtime::TGUID::FromBytes(header + 6);
    head.rawLength = std::uint32_t(header[22]) | (std::uint32_t(header[23]) << 8) |
                     (std::uint32_t(header[24]) << 16) | (std::uint32_t(header[25]) << 24);
    auto& list = registry().compressors;
    for (auto it = list.rbegin(); it != list.rend() && head.decompressor == nullptr; ++it)
        if ((*it)->CanDecompress(head.id)) head.decompressor = it->get();
    if (head.decompressor == nullptr)
        throw EDIBCompressError("Could not find a suitable decompressor.");
    if (head.rawLength > kMaxRawDIBLength)
        throw EDIBCompressError("Packed image declares " + std::to_string(head.rawLength) +
                                " bytes, more than the limit of " +
                                std::to_string(kMaxRawDIBLength) + ".");
    return head;
}

/// Unpacks the payload, which runs from source's position to its end, into rawLength bytes.
/// A memory stream's payload is read where it lies.
void unpackPayload(TAbstractSuperDIB* image, const StreamHead& head, runtime::TStream& source,
                   std::uint8_t* destination) {
    const std::size_t n = remainingBytes(source);
    if (auto* memory = dynamic_cast<runtime::TCustomMemoryStream*>(&source)) {
        const auto at = static_cast<std::size_t>(memory->Position());
        // A position past the end has nothing left to point into.
        const std::uint8_t* payload = n > 0 ? memory->Memory() + at : memory->Memory();
        head.decompressor->Decompress(image, head.id, payload, destination, n, head.rawLength);
        memory->SetPosition(static_cast<std::int64_t>(at + n));
        return;
    }
    std::vector<std::uint8_t> payload = allocate(n);
    if (!payload.empty()) source.ReadBuffer(payload.data(), payload.size());
    head.decompressor->Decompress(image, head.id, payload.data(), destination, payload.size(),
                                  head.rawLength);
}

} // namespace

void UnpackDIBData(TAbstractSuperDIB* image, runtime::TStream& source,
                   runtime::TStream& rawTarget) {
    const StreamHead head = readHead(source);
    if (!head.packed) {
        rawTarget.CopyFrom(source, static_cast<std::int64_t>(remainingBytes(source)));
        return;
    }
    // A memory stream target takes the record in place, without a second 17 MB buffer.
    if (auto* memory = dynamic_cast<runtime::TMemoryStream*>(&rawTarget)) {
        const std::int64_t at = memory->Position();
        const std::int64_t oldSize = memory->Size();
        memory->SetSize(std::max(oldSize, at + std::int64_t{head.rawLength}));
        try {
            unpackPayload(image, head, source, memory->Memory() + at);
        } catch (...) {
            memory->SetSize(oldSize); // a refused stream leaves the target as it was
            memory->SetPosition(at);
            throw;
        }
        memory->SetPosition(at + head.rawLength);
        return;
    }
    std::vector<std::uint8_t> record = allocate(head.rawLength);
    unpackPayload(image, head, source, record.data());
    if (!record.empty()) rawTarget.WriteBuffer(record.data(), record.size());
}

std::size_t UnpackedDIBLength(runtime::TStream& source) {
    const std::int64_t start = source.Position();
    try {
        const StreamHead head = readHead(source);
        const std::size_t length = head.packed ? head.rawLength : remainingBytes(source);
        source.SetPosition(start);
        return length;
    } catch (...) {
        source.SetPosition(start);
        throw;
    }
}

void UnpackDIBDataTo(TAbstractSuperDIB* image, runtime::TStream& source, std::uint8_t* destination,
                     std::size_t length) {
    const StreamHead head = readHead(source);
    if (!head.packed) {
        if (remainingBytes(source) != length)
            throw EDIBCompressError("The image record is not the length asked for.");
        if (length > 0) source.ReadBuffer(destination, length);
        return;
    }
    if (head.rawLength != length)
        throw EDIBCompressError("The image record is not the length asked for.");
    unpackPayload(image, head, source, destination);
}

} // namespace toolkit
