#pragma once
// The LZHUF scheme: LZ77 over a 4096-byte window (matches of 3 to 60 bytes) with an adaptive
// Huffman code for literals and lengths and a fixed prefix code for match positions.
// Payload: the unpacked byte count (32-bit little-endian), then the bit stream, most
// significant bit first, the last byte zero-filled.

#include "runtime/Exception.h"

#include <cstddef>
#include <cstdint>

namespace toolkit {

class ElzhException : public runtime::Exception {
public:
    using runtime::Exception::Exception;
};

/// One packing or unpacking over memory buffers. Its tables live for the call only.
class TLZHStream {
public:
    /// Writes the payload of length source bytes into destination (capacity bytes) and returns
    /// its length. The output is the same, byte for byte, as the published reference encoder's.
    /// Raises ElzhException "Compressed file is larger than the original." when the payload
    /// would not fit.
    std::size_t Pack(const std::uint8_t* source, std::size_t length, std::uint8_t* destination,
                     std::size_t capacity);
    /// Unpacks exactly length bytes. Payload bytes past its end read as 0; a match that would
    /// run past length is cut there. Raises ElzhException when the payload's count differs
    /// from length.
    void Unpack(const std::uint8_t* payload, std::size_t payloadLength, std::uint8_t* destination,
                std::size_t length);
};

} // namespace toolkit
