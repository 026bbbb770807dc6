#include "toolkit/cDIBStandardCompressors.h"

#include "toolkit/DIBLZH.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace toolkit {

namespace {

// The error policy of both compressors. Packing never raises: whatever stops it (the payload
// would not fit, memory runs short) answers 0 and the image is stored raw, which loses nothing.
// Unpacking raises, since its caller cannot recover the pixels: a payload it cannot read raises
// the codec's error, a work buffer that cannot be had EDIBCompressError.
template <class Pack>
std::size_t packedLengthOrRaw(Pack&& pack) noexcept {
    try {
        return pack();
    } catch (...) {
        return 0;
    }
}

std::vector<std::uint8_t> workBuffer(std::size_t length) {
    return runtime::AllocateOrRaise<EDIBCompressError>(
        "Not enough memory to unpack the image.",
        [length] { return std::vector<std::uint8_t>(length); });
}

// Plane k takes the bytes at k, k + 4, k + 8, ...; the 1 to 3 bytes past the last whole group
// of four follow the planes unchanged.
void shuffle(const std::uint8_t* in, std::size_t length, std::uint8_t* out) {
    const std::size_t q = length / 4;
    for (std::size_t i = 0; i < q; ++i) {
        out[i] = in[4 * i];
        out[q + i] = in[4 * i + 1];
        out[2 * q + i] = in[4 * i + 2];
        out[3 * q + i] = in[4 * i + 3];
    }
    if (length > 4 * q) std::memcpy(out + 4 * q, in + 4 * q, length - 4 * q);
}

void unshuffle(const std::uint8_t* in, std::size_t length, std::uint8_t* out) {
    const std::size_t q = length / 4;
    for (std::size_t i = 0; i < q; ++i) {
        out[4 * i] = in[i];
        out[4 * i + 1] = in[q + i];
        out[4 * i + 2] = in[2 * q + i];
        out[4 * i + 3] = in[3 * q + i];
    }
    if (length > 4 * q) std::memcpy(out + 4 * q, in + 4 * q, length - 4 * q);
}

} // namespace

std::size_t Shuffle4RLEPack(const std::uint8_t* source, std::size_t length,
                            std::uint8_t* destination) {
    return packedLengthOrRaw([&]() -> std::size_t {
        std::vector<std::uint8_t> planes = workBuffer(length);
        shuffle(source, length, planes.data());
        const std::size_t budget = length / 2; // pairs
        std::size_t pairs = 0;
        std::size_t at = 0;
        while (at < length) {
            if (pairs == budget) return 0;
            const std::uint8_t value = planes[at];
            std::size_t run = 1;
            while (run < 255 && at + run < length && planes[at + run] == value)
                ++run;
            destination[2 * pairs] = static_cast<std::uint8_t>(run);
            destination[2 * pairs + 1] = value;
            ++pairs;
            at += run;
        }
        return 2 * pairs;
    });
}

void Shuffle4RLEUnpack(const std::uint8_t* source, std::size_t sourceLength,
                       std::uint8_t* destination, std::size_t destinationLength) {
    std::vector<std::uint8_t> planes = workBuffer(destinationLength);
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < sourceLength && at < destinationLength; i += 2) {
        const std::size_t run = std::min<std::size_t>(source[i], destinationLength - at);
        std::memset(planes.data() + at, source[i + 1], run);
        at += run;
    }
    unshuffle(planes.data(), destinationLength, destination);
}

// TRLEDIBCompressor

void TRLEDIBCompressor::GetGUID(runtime::TGUID& identifier) const {
    identifier = runtime::StringToGUID(kRLECompressorGUID);
}

std::size_t TRLEDIBCompressor::Compress(TAbstractSuperDIB*, const std::uint8_t* source,
                                        std::size_t length, std::uint8_t* destination) {
    return Shuffle4RLEPack(source, length, destination);
}

void TRLEDIBCompressor::Decompress(TAbstractSuperDIB*, const runtime::TGUID&,
                                   const std::uint8_t* source, std::uint8_t* destination,
                                   std::size_t sourceLength, std::size_t destinationLength) {
    Shuffle4RLEUnpack(source, sourceLength, destination, destinationLength);
}

std::string TRLEDIBCompressor::GetDescription() const {
    return "Shuffle4 RLE\r\n\r\nShuffles the RGBA values from\r\nRGBA,RGBA,RGBA,RGBA "
           "to\r\nRRRR,GGGG,BBBB,AAAA\r\nin order to create higher repitition,\r\nand then "
           "performs a simple RLE compression";
}

// TLZHDIBCompressor

void TLZHDIBCompressor::GetGUID(runtime::TGUID& identifier) const {
    identifier = runtime::StringToGUID(kLZHCompressorGUID);
}

std::size_t TLZHDIBCompressor::Compress(TAbstractSuperDIB*, const std::uint8_t* source,
                                        std::size_t length, std::uint8_t* destination) {
    return packedLengthOrRaw(
        [&] { return TLZHStream().Pack(source, length, destination, length); });
}

void TLZHDIBCompressor::Decompress(TAbstractSuperDIB*, const runtime::TGUID&,
                                   const std::uint8_t* source, std::uint8_t* destination,
                                   std::size_t sourceLength, std::size_t destinationLength) {
    TLZHStream codec;
    codec.Unpack(source, sourceLength, destination, destinationLength);
}

std::string TLZHDIBCompressor::GetDescription() const {
    return "Uses LZH compression to compress the graphics,\r\nCompression is slow, decompression "
           "is not so slow, but the savings in size are very large.";
}

} // namespace toolkit
