#pragma once
// The packed image stream: "DIBCMP", the compressor's 16-byte identifier, the raw record length
// (32-bit little-endian), then the compressor's payload. Anything shorter than the 26-byte
// header, or without the signature, is a raw image record. Also the process-wide registry of
// compressors and the current compressor used for writing.

#include "runtime/Components.h"
#include "runtime/Exception.h"
#include "runtime/GUID.h"
#include "runtime/Streams.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace toolkit {

class TAbstractSuperDIB;

class EDIBCompressError : public runtime::Exception {
public:
    using runtime::Exception::Exception;
};

/// Largest raw image record that unpacking will allocate: 256 MiB, fifteen times the editor's
/// largest image. A stream that declares more is refused before anything is allocated.
inline constexpr std::uint32_t kMaxRawDIBLength = 256u * 1024u * 1024u;

/// Size of the header in front of a packed payload.
inline constexpr std::size_t kDIBHeaderLength = 26;

class TAbstractDIBCompressor : public runtime::TPersistent {
public:
    std::string ClassName() const override { return "TAbstractDIBCompressor"; }

    virtual void GetGUID(runtime::TGUID& identifier) const = 0;
    /// True when identifier, as GUID text, equals this compressor's identifier text.
    virtual bool CanDecompress(const runtime::TGUID& identifier) const;
    /// Packs length bytes of source into destination (length bytes long); returns the payload
    /// length, or 0 when the payload would not fit (the image is then stored raw).
    virtual std::size_t Compress(TAbstractSuperDIB* image, const std::uint8_t* source,
                                 std::size_t length, std::uint8_t* destination) = 0;
    /// Unpacks sourceLength payload bytes into exactly destinationLength bytes; raises on
    /// payloads it cannot read.
    virtual void Decompress(TAbstractSuperDIB* image, const runtime::TGUID& identifier,
                            const std::uint8_t* source, std::uint8_t* destination,
                            std::size_t sourceLength, std::size_t destinationLength) = 0;
    virtual std::string GetDisplayName() const = 0;
    virtual std::string GetDescription() const { return "No information supplied"; }
    virtual std::string GetAuthor() const { return "No information supplied"; }
    virtual std::string GetAuthorEMail() const { return ""; }
    virtual std::string GetWebsite() const { return ""; }
};

/// Appends to the registry, which owns the compressor from then on. The registry starts with
/// the two standard compressors, run-length first, then LZH.
void RegisterDIBCompressor(std::unique_ptr<TAbstractDIBCompressor> compressor);
/// The last registered compressor whose identifier text equals text exactly, or nullptr.
TAbstractDIBCompressor* FindDIBCompressor(std::string_view text);
int DIBCompressorCount();
/// Registered compressor at index (registration order), or nullptr.
TAbstractDIBCompressor* DIBCompressors(int index);

/// The compressor PackDIBData writes with; nullptr (none) at start-up: images are then raw.
TAbstractDIBCompressor* CurrentDIBCompressor();
void SetCurrentDIBCompressor(TAbstractDIBCompressor* compressor);

/// Writes the packed form of the raw record that raw holds from its position to its end.
void PackDIBData(TAbstractSuperDIB* image, runtime::TStream& raw, runtime::TStream& target);
/// Writes the raw record that source holds, from its position to its end, packed or raw.
/// Raises EDIBCompressError for an unknown compressor or an absurd declared length, and the
/// compressor's error for a payload it cannot read.
void UnpackDIBData(TAbstractSuperDIB* image, runtime::TStream& source, runtime::TStream& rawTarget);
/// The length of the raw record that source holds from its position (the declared length of a
/// packed stream, else the bytes left), without moving the position. Raises as UnpackDIBData for
/// an unknown compressor or an absurd declared length.
std::size_t UnpackedDIBLength(runtime::TStream& source);
/// UnpackDIBData straight into `destination`, which holds exactly `length` bytes, the
/// UnpackedDIBLength of source: no stream or payload copy in between.
void UnpackDIBDataTo(TAbstractSuperDIB* image, runtime::TStream& source, std::uint8_t* destination,
                     std::size_t length);

} // namespace toolkit
