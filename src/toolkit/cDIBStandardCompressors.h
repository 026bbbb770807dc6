#pragma once
// The two compressors the toolkit carries: "Shuffle4 RLE" and "DIB LZH".

#include "toolkit/cDIBCompressor.h"

namespace toolkit {

/// Splits the record into its four byte planes (blue, green, red, alpha for pixels), then codes
/// runs as (count 1..255, value) pairs. A length that is not a multiple of 4 keeps its last 1 to
/// 3 bytes, unshuffled, after the four planes.
class TRLEDIBCompressor : public TAbstractDIBCompressor {
public:
    std::string ClassName() const override { return "TRLEDIBCompressor"; }
    void GetGUID(runtime::TGUID& identifier) const override;
    std::size_t Compress(TAbstractSuperDIB* image, const std::uint8_t* source, std::size_t length,
                         std::uint8_t* destination) override;
    /// Pairs that would write past destinationLength are cut there; bytes that no pair reaches
    /// stay 0; an odd last payload byte is ignored.
    void Decompress(TAbstractSuperDIB* image, const runtime::TGUID& identifier,
                    const std::uint8_t* source, std::uint8_t* destination, std::size_t sourceLength,
                    std::size_t destinationLength) override;
    std::string GetDisplayName() const override { return "Shuffle4 RLE"; }
    std::string GetDescription() const override;
    std::string GetAuthor() const override { return "Reedmoor"; }
};

/// The LZHUF scheme (DIBLZH.h). Packing failures of every kind store the image raw.
class TLZHDIBCompressor : public TAbstractDIBCompressor {
public:
    std::string ClassName() const override { return "TLZHDIBCompressor"; }
    void GetGUID(runtime::TGUID& identifier) const override;
    std::size_t Compress(TAbstractSuperDIB* image, const std::uint8_t* source, std::size_t length,
                         std::uint8_t* destination) override;
    void Decompress(TAbstractSuperDIB* image, const runtime::TGUID& identifier,
                    const std::uint8_t* source, std::uint8_t* destination, std::size_t sourceLength,
                    std::size_t destinationLength) override;
    std::string GetDisplayName() const override { return "DIB LZH"; }
    std::string GetDescription() const override;
    std::string GetAuthor() const override { return "Reedmoor"; }
};

/// Identifier texts of the two standard compressors.
inline constexpr const char* kRLECompressorGUID = "{CABA9056-7349-43A4-B010-3764FBFAC230}";
inline constexpr const char* kLZHCompressorGUID = "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}";

/// Shuffle4 RLE's steps on their own, for tests and tools: pairs-coded length or 0.
std::size_t Shuffle4RLEPack(const std::uint8_t* source, std::size_t length,
                            std::uint8_t* destination);
void Shuffle4RLEUnpack(const std::uint8_t* source, std::size_t sourceLength,
                       std::uint8_t* destination, std::size_t destinationLength);

} // namespace toolkit
